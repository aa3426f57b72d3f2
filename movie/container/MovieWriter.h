// Writes a movie as a new self-contained QuickTime file: 'ftyp', 'moov', then one 'mdat' holding
// every track's samples. Portable (no Windows headers).
#pragma once

#include <string>

namespace movie {

// Reads `sourcePath` and writes it self-contained to `destPath`: the samples of every track are
// copied into the new 'mdat' in their original interleaving and the chunk offsets rewritten (co64
// when an offset needs it); all other 'moov' atoms are kept as they were. The file is written
// under a temporary name beside `destPath` and renamed over it only when complete: on failure
// `destPath` is untouched, no partial file is left and `*error` (if given) says why.
// `sourcePath` and `destPath` may name the same file.
bool WriteSelfContainedMovie(const std::string& sourcePath, const std::string& destPath, std::string* error);

}  // namespace movie
