#include "movie/repair/HostSystem.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace movie::repair {

bool StandardOutputIsConsole() { return ::isatty(STDOUT_FILENO) == 1; }

bool FreeSpace(const std::string& folder, uint64_t& bytes, std::string& drive) {
    drive = folder.empty() ? "./" : folder;
    struct statvfs fs;
    if (::statvfs(drive.c_str(), &fs) != 0) return false;
    bytes = uint64_t(fs.f_bavail) * uint64_t(fs.f_frsize);  // what an unprivileged writer may use
    return true;
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace movie::repair
