#include "movie/container/FileReplace.h"

#include <windows.h>

namespace movie {

// rename() on Windows refuses an existing target; this replaces it in one step.
bool ReplaceFileWith(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace movie
