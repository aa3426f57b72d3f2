#include "movie/repair/HostSystem.h"

#include <windows.h>

namespace movie::repair {

// A console handle has a console mode; a file or a pipe has none. A file dropped onto the exe gets
// a console of its own, which counts too.
bool StandardOutputIsConsole() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

// The ANSI calls: the paths are in the code page the program's other file calls take.
bool FreeSpace(const std::string& folder, uint64_t& bytes, std::string& drive) {
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(folder.empty() ? nullptr : folder.c_str(), &available, nullptr, nullptr)) return false;
    bytes = available.QuadPart;
    char root[MAX_PATH + 1] = {};
    drive = GetVolumePathNameA(folder.empty() ? "." : folder.c_str(), root, sizeof root) ? root : folder;
    return true;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace movie::repair
