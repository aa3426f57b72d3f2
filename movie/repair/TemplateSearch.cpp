#include "movie/repair/TemplateSearch.h"

#include "movie/repair/DvMediaLayout.h"

#include <algorithm>

#include "movie/repair/ClipRepair.h"
#include "movie/repair/FolderFiles.h"

namespace movie::repair {

namespace {

#ifdef _WIN32
constexpr char kSeparators[] = "/\\";
#else
constexpr char kSeparators[] = "/";
#endif

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of(kSeparators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsRepairedName(const std::string& path) { return EndsWith(path, "-repaired.mov"); }

bool IsTemporaryName(const std::string& path) {
    return path.find(".cliprepair-", FolderOf(path).size()) != std::string::npos;
}

TemplateSearch::TemplateSearch(std::vector<std::string> given, bool onlyGiven)
    : given_(std::move(given)), onlyGiven_(onlyGiven) {}

const std::vector<std::string>& TemplateSearch::Candidates(const std::string& folder) {
    const auto known = folders_.find(folder);
    if (known != folders_.end()) return known->second;
    std::vector<std::string> files;
    for (std::string& f : FilesNewestFirst(folder))
        if (!IsTemporaryName(f) && std::find(given_.begin(), given_.end(), f) == given_.end()) files.push_back(std::move(f));
    // A clip repaired before has a header this program wrote, around media that may hold silence
    // and a timecode sample the recorder never stored there: the recorder's own clips are the
    // truer template.
    std::stable_partition(files.begin(), files.end(), [](const std::string& f) { return !IsRepairedName(f); });
    return folders_[folder] = std::move(files);
}

std::string TemplateSearch::Find(const std::string& damaged, ByteSource& source, uint64_t start, uint64_t end,
                                 TemplateLayout& layout, std::string& note) {
    std::vector<std::string> tried = given_;
    if (!onlyGiven_)
        for (const std::string& c : Candidates(FolderOf(damaged)))
            if (c != damaged) tried.push_back(c);
    std::vector<std::string> reasons;
    bool givenPassed = false;
    for (size_t i = 0; i < tried.size(); ++i) {
        const std::string& candidate = tried[i];
        const bool given = i < given_.size();
        std::string why;
        const auto bad = unusable_.find(candidate);
        if (bad != unusable_.end()) {
            why = bad->second;
        } else if (!given && InspectClip(candidate) != ClipState::Healthy) {
            unusable_[candidate] = "";
        } else {
            TemplateLayout trial;
            if (!trial.Load(candidate, why)) {
                if (onlyGiven_) return candidate + " cannot serve as the template: " + why + "\n";
                unusable_[candidate] = why;
            } else if ((why = CheckFit(trial, source, start, end)).empty()) {
                layout = std::move(trial);
                if (given) note = onlyGiven_ ? "given with --like" : "given";
                else if (IsRepairedName(candidate)) note = "repaired before: no recorder's own clip in the folder fits";
                else note = givenPassed ? "the newest clip in the folder that fits; the one given does not"
                                        : "the newest clip in the folder that fits";
                return "";
            }
            if (onlyGiven_) return "the template " + candidate + " does not fit " + damaged + ": " + why + "\n";
        }
        if (!why.empty()) reasons.push_back(candidate + ": " + why);
        givenPassed = givenPassed || given;
    }
    // DV describes itself: without a template that fits, its layout is taken from the media.
    DvMediaLayout media;
    std::string why;
    if (media.Read(source, start, end) && media.Describe(layout, why)) {
        note = "";
        return "";
    }
    if (reasons.empty())
        return "no healthy clip in the folder of " + damaged +
               " to take as the template: give one recorded the same way with --like\n";
    std::string text = std::string("no clip ") + (given_.empty() ? "" : "given or ") + "in the folder of " + damaged +
                       " fits it as a template:\n";
    for (const std::string& r : reasons) text += "  " + r + "\n";
    return text;
}

}  // namespace movie::repair
