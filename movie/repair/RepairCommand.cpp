#include "movie/repair/RepairCommand.h"

#include <algorithm>
#include <cstdio>

#include "movie/repair/ClipRepair.h"
#include "movie/repair/DvMediaLayout.h"
#include "movie/repair/FolderFiles.h"
#include "movie/repair/template/TemplateLayout.h"
#include "movie/repair/write/OutputFile.h"

namespace movie::repair {

namespace {

const char kUsage[] =
    "usage: cliprepair DAMAGED [--like HEALTHY] [-o OUT]\n"
    "Brings back a clip whose recording was cut off (power lost, disk pulled out) before its movie\n"
    "header was written. The damaged file is only read; the repaired clip is a new file,\n"
    "NAME-repaired.mov beside it unless -o names another. No existing file is overwritten.\n"
    "  --like HEALTHY  a healthy clip recorded the same way, taken as the template; without it the\n"
    "                  newest clip in the damaged file's folder that fits is taken; where none\n"
    "                  fits a DV recording, its layout is read from its own media. The two files\n"
    "                  may be given in either order.\n"
    "  -o OUT          the repaired clip's name\n"
    "Exit status: 0 a clip that plays was written; 1 nothing could be recovered or written;\n"
    "2 usage error; 3 the file is not damaged; 4 no template fits and the media is\n"
    "no DV.\n";

#ifdef _WIN32
constexpr char kSeparators[] = "/\\";
#else
constexpr char kSeparators[] = "/";
#endif

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of(kSeparators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string RepairedName(const std::string& damaged) {
    const std::string folder = FolderOf(damaged);
    std::string name = damaged.substr(folder.size());
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return folder + name + "-repaired.mov";
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", s);
    return text;
}

// Lines of a console's 80 columns: what a user reads in the window of a file dropped onto the exe.
// A time in the recording: "m:ss.ss".
std::string RecordingTime(double seconds) {
    char text[32];
    const long whole = long(seconds / 60);
    std::snprintf(text, sizeof text, "%ld:%05.2f", whole, seconds - double(whole) * 60);
    return text;
}

// Lines of a console's 80 columns: what a user reads in the window of a file dropped onto the exe.
void PrintReport(std::ostream& out, const std::string& damaged, const std::string& output,
                 const std::string& templateNote, const TemplateLayout& layout, const RepairReport& r) {
    const char kIndent[] = "            ";
    out << "Repaired " << damaged << "\n";
    if (layout.FromMedia()) {
        out << "  template: none: layout taken from the media (no healthy clip)\n";
        if (!layout.SoundLeftOut().empty())
            out << "  sound:    left out: its format could not be told for certain\n"
                << kIndent << "(" << layout.SoundLeftOut() << ")\n";
    } else {
        out << "  template: " << layout.Path() << "\n" << kIndent << "(" << templateNote << ")\n";
    }
    bool timecode = false;
    for (const RecoveredTrack& t : r.tracks) {
        if (t.kind == TrackKind::Video) {
            out << "  video:    " << t.frames << " frames, " << Seconds(t.seconds) << " s\n" << kIndent << layout.VideoText() << "\n";
        } else if (t.kind == TrackKind::Sound) {
            out << "  sound:    " << t.frames << " sample frames, " << Seconds(t.seconds) << " s\n"
                << kIndent << layout.SoundText(size_t(std::max(t.sound, 0))) << "\n";
            if (t.silence > 0) out << kIndent << Seconds(t.silence) << " s of silence where sound was lost\n";
            if (t.unfilled > 0)
                out << kIndent << Seconds(t.unfilled) << " s lost that no silence stands for: what follows plays early\n";
        } else {
            out << "  timecode: " << t.timecode << " (" << r.media.timecode.source << ")\n";
            timecode = true;
        }
    }
    if (layout.Timecode().track >= 0 && !timecode)
        out << "  timecode: none: the recording's start time is not in what was recovered\n"
            << kIndent << "(the template's is never copied)\n";
    out << "  media:    " << r.media.mediaBytes << " bytes recovered\n";
    out << kIndent << r.media.cutOffBytes << " bytes of a cut-off last sample dropped\n";
    out << kIndent << r.media.skippedBytes << " bytes skipped\n";
    if (r.media.skippedBytes > 0)
        out << kIndent << "(" << r.media.skippedStretches << (r.media.skippedStretches == 1 ? " stretch" : " stretches")
            << " of zeros or bytes that fit no track)\n";
    // Each damaged stretch: where, when, and what the recording lost there.
    constexpr size_t kListed = 20;
    for (size_t i = 0; i < r.media.damage.size() && i < kListed; ++i) {
        const DamagedStretch& d = r.media.damage[i];
        out << (i == 0 ? "  damage:   " : kIndent) << "at byte " << d.offset << ", " << d.bytes << " bytes, "
            << RecordingTime(d.time) << " into the recording:\n"
            << kIndent << "  " << d.framesLost << (d.framesLost == 1 ? " frame" : " frames") << " and "
            << Seconds(d.soundLost) << " s of sound lost" << (d.estimated ? " (time from the byte rate)" : "") << "\n";
    }
    if (r.media.damage.size() > kListed)
        out << kIndent << "and " << r.media.damage.size() - kListed << " more damaged stretches\n";
    out << "Wrote " << output << "\n";
}

}  // namespace

int RunClipRepair(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> files;
    std::string like, output;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            out << kUsage;
            return kRepaired;
        }
        if (a == "--like" || a == "-o") {
            if (i + 1 >= args.size() || !(a == "--like" ? like : output).empty()) {
                err << "cliprepair: " << a << " needs one file name\n" << kUsage;
                return kUsageError;
            }
            (a == "--like" ? like : output) = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            err << "cliprepair: unknown option " << a << "\n" << kUsage;
            return kUsageError;
        } else {
            files.push_back(a);
        }
    }
    if (!like.empty()) files.push_back(like);
    if (files.empty() || files.size() > 2) {
        err << kUsage;
        return kUsageError;
    }

    // Which file is damaged: either may come first.
    std::string damaged, healthy;
    uint64_t start = 0, end = 0;
    for (const std::string& f : files) {
        uint64_t s = 0, e = 0;
        switch (InspectClip(f, &s, &e)) {
            case ClipState::Unreadable:
                err << "cliprepair: " << f << ": cannot be read as a recording (no movie header and no media data)\n";
                return kNotRepaired;
            case ClipState::Healthy:
                if (!healthy.empty()) {
                    err << "cliprepair: neither " << healthy << " nor " << f
                        << " is damaged: both read as movies, nothing to repair\n";
                    return kNotDamaged;
                }
                healthy = f;
                break;
            case ClipState::CutOff:
                if (!damaged.empty()) {
                    err << "cliprepair: " << damaged << " and " << f
                        << " are both cut off: give a healthy clip recorded the same way as the template\n";
                    return kNotRepaired;
                }
                damaged = f;
                start = s;
                end = e;
                break;
        }
    }
    if (damaged.empty()) {
        err << "cliprepair: " << healthy << " is not damaged: it has its movie header and reads as a movie\n";
        return kNotDamaged;
    }
    if (output.empty()) output = RepairedName(damaged);
    if (PathExists(output)) {
        err << "cliprepair: " << output << " exists: it is not overwritten (name another with -o)\n";
        return kNotRepaired;
    }

    std::unique_ptr<FileSource> source = FileSource::Open(damaged);
    if (!source) {
        err << "cliprepair: " << damaged << ": cannot be opened\n";
        return kNotRepaired;
    }
    TemplateLayout layout;
    std::string why, note;
    if (!healthy.empty()) {
        if (!layout.Load(healthy, why)) {
            err << "cliprepair: " << healthy << " cannot serve as the template: " << why << "\n";
            return kNoTemplate;
        }
        why = CheckFit(layout, *source, start, end);
        if (!why.empty()) {
            err << "cliprepair: the template " << healthy << " does not fit " << damaged << ": " << why << "\n";
            return kNoTemplate;
        }
        if (like.empty() || like == damaged) note = "given";
        else note = like == healthy ? "given with --like" : "given";
    } else {
        std::vector<std::string> reasons;
        bool found = false;
        for (const std::string& candidate : FilesNewestFirst(FolderOf(damaged))) {
            if (candidate == damaged) continue;
            if (InspectClip(candidate) != ClipState::Healthy) continue;
            TemplateLayout trial;
            if (!trial.Load(candidate, why)) {
                reasons.push_back(candidate + ": " + why);
                continue;
            }
            why = CheckFit(trial, *source, start, end);
            if (why.empty()) {
                layout = std::move(trial);
                found = true;
                break;
            }
            reasons.push_back(candidate + ": " + why);
        }
        // DV describes itself: without a template, its layout is taken from the media.
        DvMediaLayout media;
        if (!found && media.Read(*source, start, end) && media.Describe(layout, why)) found = true;
        if (!found) {
            if (reasons.empty())
                err << "cliprepair: no healthy clip in the folder of " << damaged
                    << " to take as the template: give one recorded the same way with --like\n";
            else
                err << "cliprepair: no clip in the folder of " << damaged << " fits it as a template:\n";
            for (const std::string& r : reasons) err << "  " << r << "\n";
            return kNoTemplate;
        }
        note = "the newest clip in the folder that fits";
    }
    source.reset();

    RepairReport report;
    switch (RepairClip(damaged, layout, output, report)) {
        case RepairOutcome::Repaired: PrintReport(out, damaged, output, note, layout, report); return kRepaired;
        case RepairOutcome::NothingRecoverable:
            err << "cliprepair: nothing can be recovered from " << damaged << ": " << report.message << "\n";
            return kNotRepaired;
        case RepairOutcome::WriteFailed:
            err << "cliprepair: " << report.message << "\n";
            return kNotRepaired;
    }
    return kNotRepaired;
}

}  // namespace movie::repair
