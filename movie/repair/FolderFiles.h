// The files of a folder, for the template search: listed by the system's own calls, so that a name
// in the user's code page (Windows) or in UTF-8 (elsewhere) comes back exactly as the file calls
// take it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace movie::repair {

// The plain files of `folder` (a path ending in a separator, or empty for the current folder), as
// `folder` + name, newest first (last-write time; equal times by name). Empty when the folder
// cannot be read.
std::vector<std::string> FilesNewestFirst(const std::string& folder);

// Paths with their last-write times (any unit that orders them), newest first.
inline std::vector<std::string> NewestFirst(std::vector<std::pair<int64_t, std::string>> files) {
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::vector<std::string> paths;
    for (auto& f : files) paths.push_back(std::move(f.second));
    return paths;
}

}  // namespace movie::repair
