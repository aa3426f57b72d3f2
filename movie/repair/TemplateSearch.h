// Which healthy clip a damaged clip is repaired with: the ones the user named first, then the
// clips of the damaged clip's own folder, newest first, the first whose layout the media fits.
// Kept across the clips of one run, so that a folder's clips are listed and judged once.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "movie/container/MovieReader.h"
#include "movie/repair/template/TemplateLayout.h"

namespace movie::repair {

class TemplateSearch {
public:
    // `given`: healthy clips the user named, tried first in their order; with `onlyGiven` (a
    // template named with --like) no other is tried.
    TemplateSearch(std::vector<std::string> given, bool onlyGiven);

    // Finds the template for the cut-off clip `damaged`, whose media lies in [start, end) of
    // `source`: "" and the template in `layout`, with `note` saying how it was chosen; else what
    // the user is told (one or more lines, each ending in a line break).
    std::string Find(const std::string& damaged, ByteSource& source, uint64_t start, uint64_t end, TemplateLayout& layout,
                     std::string& note);

private:
    // The candidates of `folder`: newest first, clips this program repaired before after the
    // others, none of the given ones.
    const std::vector<std::string>& Candidates(const std::string& folder);

    std::vector<std::string> given_;
    bool onlyGiven_;
    std::map<std::string, std::vector<std::string>> folders_;
    std::map<std::string, std::string> unusable_;  // clips that are no template, with why ("" not healthy)
};

// The folder part of `path`, with its separator; "" for a bare name.
std::string FolderOf(const std::string& path);
// Whether `path` names a clip this program wrote: NAME-repaired.mov.
bool IsRepairedName(const std::string& path);
// Whether `path` names a file this program is still writing, or left behind when stopped.
bool IsTemporaryName(const std::string& path);

}  // namespace movie::repair
