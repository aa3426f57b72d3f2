// FFmpeg's log goes to stderr; a GUI program has none and damaged clips would flood a console.
// Internal to the movie library.
#pragma once

namespace movie {

// Silences FFmpeg's log for the whole process (once; later calls do nothing).
void QuietFfmpegLog();

}  // namespace movie
