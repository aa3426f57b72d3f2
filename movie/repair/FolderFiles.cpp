#include "movie/repair/FolderFiles.h"

#include <filesystem>
#include <system_error>

namespace movie::repair {

std::vector<std::string> FilesNewestFirst(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::pair<int64_t, std::string>> found;
    fs::directory_iterator it(fs::path(folder.empty() ? "." : folder), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code fileError;
        if (!it->is_regular_file(fileError)) continue;
        const fs::file_time_type time = it->last_write_time(fileError);
        if (!fileError)
            found.push_back({int64_t(time.time_since_epoch().count()), folder + it->path().filename().string()});
    }
    return NewestFirst(std::move(found));
}

}  // namespace movie::repair
