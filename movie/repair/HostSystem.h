// What the repair asks of the system around it: whether its standard output is a console (where a
// progress line can be drawn in place), and the free space of a drive. Each platform has its own
// file (HostSystem.cpp, win/HostSystem.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace movie::repair {

// True when the standard output is a console or terminal a user watches; false when it is
// redirected to a file or a pipe.
bool StandardOutputIsConsole();

// The bytes this process may still write on the drive that holds `folder` (a path ending in a
// separator, or empty for the current folder), and in `drive` how to name that drive to a user
// (the folder itself here; its root, such as "M:\", on Windows). False when it cannot be told.
bool FreeSpace(const std::string& folder, uint64_t& bytes, std::string& drive);

// Whether `path` names a folder.
bool IsFolder(const std::string& path);

}  // namespace movie::repair
