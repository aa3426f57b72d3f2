#include "movie/FileReplace.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdio>
#endif

namespace movie {

bool ReplaceFileWith(const std::string& from, const std::string& to) {
#ifdef _WIN32
    // rename() on Windows refuses an existing target; this replaces it in one step.
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace movie
