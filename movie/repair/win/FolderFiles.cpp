#include "movie/repair/FolderFiles.h"

#include <windows.h>

#include "win/FindHandle.h"

namespace movie::repair {

// The ANSI search: names come back in the code page the program's other file calls take (the
// standard library's paths would give UTF-8 here, naming no file).
std::vector<std::string> FilesNewestFirst(const std::string& folder) {
    std::vector<std::pair<int64_t, std::string>> found;
    WIN32_FIND_DATAA entry;
    win::FindHandle search;
    for (bool more = search.First(folder + "*", entry); more; more = search.Next(entry)) {
        if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) continue;
        const FILETIME& t = entry.ftLastWriteTime;
        found.push_back({int64_t((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime), folder + entry.cFileName});
    }
    return NewestFirst(std::move(found));
}

}  // namespace movie::repair
