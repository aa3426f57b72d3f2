// The one file-system step the portable writer cannot express in standard C++ with ANSI paths.
#pragma once

#include <string>

namespace movie {

// Puts `from` in place of `to`, replacing `to` if it exists. False on failure, and then `to` is
// unchanged.
bool ReplaceFileWith(const std::string& from, const std::string& to);

}  // namespace movie
