// The clipinfo command: prints each movie's time scale, duration, natural box, tracks and start timecode.
// Kept in the library so the tests run it in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "movie/container/MovieReader.h"

namespace movie {

// Runs clipinfo with its arguments (without the program name). Returns the exit status:
// 0 all files read, 1 some file was not a movie or could not be read, 2 usage error.
int RunClipInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// A fourcc as text; bytes outside printable ASCII are written as \xNN. "-" for 0.
std::string FourCCText(uint32_t code);

// A string as a JSON string literal, quotes included.
std::string JsonString(const std::string& s);

}  // namespace movie
