// Reading a device folder into the clip catalogue, and the locale date text of its records.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "catalogue/ClipRecord.h"

class MoviePlayer;

// Appends one record per clip of `root` (a device folder ending in a backslash) in the order the
// directory search returns them. A file counts as a clip when its name has a dot and the player
// opens it as a movie. A folder that cannot be searched adds nothing.
void ReadMediaFolder(const std::string& root, MoviePlayer& player, ClipCatalogue& catalogue);

// "short date" + " " + "time" in the user's locale (time format without user overrides).
std::string FormatDateTime(const SYSTEMTIME& local);
