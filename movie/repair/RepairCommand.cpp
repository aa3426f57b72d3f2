#include "movie/repair/RepairCommand.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

#include "movie/repair/ClipRepair.h"
#include "movie/repair/FolderFiles.h"
#include "movie/repair/HostSystem.h"
#include "movie/repair/RepairProgress.h"
#include "movie/repair/TemplateSearch.h"
#include "movie/repair/template/TemplateLayout.h"
#include "movie/repair/write/OutputFile.h"

namespace movie::repair {

namespace {

const char kUsage[] =
    "usage: cliprepair DAMAGED... [--like HEALTHY] [-o OUT]\n"
    "       cliprepair FOLDER...\n"
    "Brings back clips whose recording was cut off (power lost, disk pulled out)\n"
    "before their movie header was written. A damaged file is only read; its\n"
    "repaired clip is a new file, NAME-repaired.mov beside it unless -o names\n"
    "another. No existing file is overwritten.\n"
    "Files and folders may be mixed, in any order: every cut-off clip among the\n"
    "files and in the folders is repaired, each with its own template. Healthy\n"
    "clips among the files are the templates tried first, then the clips of the\n"
    "damaged clip's folder, newest first; where none fits a DV recording, its\n"
    "layout is read from its own media.\n"
    "  --like HEALTHY  the one template for every damaged clip: a healthy clip\n"
    "                  recorded the same way\n"
    "  -o OUT          the repaired clip's name (with one damaged clip only)\n"
    "Exit status: 0 repaired; 1 nothing could be recovered or written; 2 usage\n"
    "error; 3 not damaged; 4 no template fits and the media is no DV. With several\n"
    "clips, the worst of theirs: 1, then 4, then 3, then 0.\n";

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string RepairedName(const std::string& damaged) {
    const std::string folder = FolderOf(damaged);
    std::string name = damaged.substr(folder.size());
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return folder + name + "-repaired.mov";
}

// Sizes as a user reads them: "850 KB", "7.9 MB", "312 MB", "1.4 GB".
std::string SizeText(uint64_t bytes) {
    char text[32];
    const double kb = double(bytes) / 1024, mb = kb / 1024, gb = mb / 1024;
    if (gb >= 1) std::snprintf(text, sizeof text, "%.1f GB", gb);
    else if (mb >= 10) std::snprintf(text, sizeof text, "%.0f MB", mb);
    else if (mb >= 1) std::snprintf(text, sizeof text, "%.1f MB", mb);
    else std::snprintf(text, sizeof text, "%.0f KB", std::max(kb, 1.0));
    return text;
}

// How bad an exit status is, for the worst of several: a clip not recovered or not written, then
// no template, then nothing to repair, then repaired.
int Severity(int status) {
    switch (status) {
        case kNotRepaired: return 4;
        case kNoTemplate: return 3;
        case kNotDamaged: return 2;
        case kUsageError: return 5;
        default: return 0;
    }
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", s);
    return text;
}

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

// One clip of the command line or of a folder, and what became of it.
struct ClipJob {
    std::string path;
    ClipState state = ClipState::Unreadable;
    uint64_t start = 0, end = 0;  // a cut-off clip's media
    int status = kRepaired;
    std::string result;           // its line in the summary
    std::string templatePath;     // the template it was repaired with
};

// The progress line, drawn over itself on the console: `shown` is the length of what is on the
// line now; returns the new length.
size_t DrawLine(std::ostream& out, const std::string& text, size_t shown) {
    out << '\r' << text;
    if (shown > text.size()) out << std::string(shown - text.size(), ' ');
    out.flush();
    return std::max(shown, text.size());
}

// Blanks the progress line, so that what follows starts on a clean line.
void ClearLine(std::ostream& out, size_t shown) {
    if (shown == 0) return;
    out << '\r' << std::string(shown, ' ') << '\r';
    out.flush();
}

// Repairs one clip of the run (the `index`th of `count` cut-off clips, 0 when it is the only one):
// its report to `out`, its errors to `err`, its status and summary line in `job`.
void RepairJob(ClipJob& job, const std::string& namedOutput, TemplateSearch& search, const CommandHost& host, size_t index,
               size_t count, std::ostream& out, std::ostream& err) {
    const auto fail = [&](int status, const std::string& result, const std::string& message) {
        job.status = status;
        job.result = result;
        err << "cliprepair: " << message << "\n";
    };
    if (job.state != ClipState::CutOff) {
        if (!FileSource::Open(job.path)) fail(kNotRepaired, "cannot be opened", job.path + ": cannot be opened");
        else
            fail(kNotRepaired, "not a recording",
                 job.path + ": cannot be read as a recording (no movie header and no media data)");
        return;
    }
    const std::string output = namedOutput.empty() ? RepairedName(job.path) : namedOutput;
    const std::string outputName =
        FolderOf(output) == FolderOf(job.path) ? output.substr(FolderOf(output).size()) : output;
    if (PathExists(output)) {
        fail(kNotRepaired, "output exists: " + outputName,
             output + " exists: it is not overwritten" +
                 (count > 1 ? " (move it away to repair the clip again)" : " (name another with -o)"));
        return;
    }
    std::unique_ptr<FileSource> source = FileSource::Open(job.path);
    if (!source) {
        fail(kNotRepaired, "cannot be opened", job.path + ": cannot be opened");
        return;
    }
    TemplateLayout layout;
    std::string note;
    const std::string why = search.Find(job.path, *source, job.start, job.end, layout, note);
    if (!why.empty()) {
        job.status = kNoTemplate;
        job.result = "no template fits";
        err << "cliprepair: " << why;
        return;
    }
    job.templatePath = layout.Path();

    // Room for the new clip, known before anything is written.
    uint64_t free = 0;
    std::string drive;
    const uint64_t needed = RepairedSizeBound(layout, *source, job.start, job.end);
    source.reset();
    if (host.freeSpace && host.freeSpace(FolderOf(output), free, drive) && free < needed) {
        fail(kNotRepaired, "no room on " + drive,
             "not enough room on " + drive + " for " + output + ": it needs about " + SizeText(needed) + ", and " +
                 SizeText(free) + " is free. Nothing was written; " +
                 (count > 1 ? "make room, or repair the clip on its own with -o OUT on another drive"
                            : "name a repaired clip on another drive with -o OUT"));
        return;
    }

    std::optional<RepairProgress> progress;
    size_t shown = 0;
    RepairProgressSink sink;
    if (host.console && host.clock) {
        std::string label = job.path.substr(FolderOf(job.path).size());
        if (count > 1) label = "[" + std::to_string(index) + "/" + std::to_string(count) + "] " + label;
        progress.emplace(label, host.clock());
        sink = [&](uint64_t done, uint64_t total) {
            if (progress->Update(done, total, host.clock())) shown = DrawLine(out, progress->Line(), shown);
        };
    }
    RepairReport report;
    const RepairOutcome outcome = RepairClip(job.path, layout, output, report, sink);
    ClearLine(out, shown);
    switch (outcome) {
        case RepairOutcome::Repaired:
            PrintReport(out, job.path, output, note, layout, report);
            job.status = kRepaired;
            job.result = "repaired -> " + outputName;
            return;
        case RepairOutcome::NothingRecoverable:
            fail(kNotRepaired, "nothing recoverable", "nothing can be recovered from " + job.path + ": " + report.message);
            return;
        case RepairOutcome::WriteFailed:
            fail(kNotRepaired, "not written", report.message);
            return;
    }
}

}  // namespace

CommandHost SystemHost() {
    CommandHost host;
    host.console = StandardOutputIsConsole();
    host.clock = [] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    };
    host.freeSpace = FreeSpace;
    return host;
}

int RunClipRepair(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CommandHost host = SystemHost();
    host.console = false;
    return RunClipRepair(args, out, err, host);
}

int RunClipRepair(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const CommandHost& host) {
    std::vector<std::string> named;
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
            named.push_back(a);
        }
    }
    if (!like.empty()) named.push_back(like);
    if (named.empty()) {
        err << kUsage;
        return kUsageError;
    }

    // What each argument is: a cut-off clip to repair, a healthy one to take as a template, a
    // folder whose cut-off clips are repaired. A file that is none of these is a clip not repaired.
    std::vector<ClipJob> jobs;
    std::vector<std::string> healthy, folders;
    const auto add = [&jobs](const std::string& path, ClipJob job) {
        for (const ClipJob& j : jobs)
            if (j.path == path) return;
        job.path = path;
        jobs.push_back(std::move(job));
    };
    for (const std::string& f : named) {
        if (f != like && IsFolder(f)) {
            const std::string folder = f.back() == kSeparator || f.back() == '/' ? f : f + kSeparator;
            folders.push_back(folder);
            std::vector<std::string> files = FilesNewestFirst(folder);
            std::sort(files.begin(), files.end());
            for (const std::string& clip : files) {
                if (IsTemporaryName(clip)) continue;
                ClipJob job;
                job.state = InspectClip(clip, &job.start, &job.end);
                // Files that are no recording (notes, pictures) are passed over; one that cannot be
                // opened may be a clip.
                if (job.state == ClipState::CutOff || (job.state == ClipState::Unreadable && !FileSource::Open(clip)))
                    add(clip, job);
            }
            continue;
        }
        ClipJob job;
        job.state = InspectClip(f, &job.start, &job.end);
        if (job.state == ClipState::Healthy) {
            if (std::find(healthy.begin(), healthy.end(), f) == healthy.end()) healthy.push_back(f);
        } else {
            add(f, job);
        }
    }
    size_t damagedCount = 0;
    for (const ClipJob& j : jobs) damagedCount += j.state == ClipState::CutOff;
    if (jobs.empty()) {
        if (!folders.empty())
            err << "cliprepair: no cut-off clip in " << folders.front() << (folders.size() > 1 ? " or the other folders" : "")
                << ": nothing to repair\n";
        else if (healthy.size() == 1)
            err << "cliprepair: " << healthy.front() << " is not damaged: it has its movie header and reads as a movie\n";
        else if (healthy.size() == 2)
            err << "cliprepair: neither " << healthy[0] << " nor " << healthy[1]
                << " is damaged: both read as movies, nothing to repair\n";
        else
            err << "cliprepair: none of the " << healthy.size() << " clips is damaged: all read as movies, nothing to repair\n";
        return kNotDamaged;
    }
    if (!output.empty() && damagedCount > 1) {
        err << "cliprepair: -o names one repaired clip, but " << damagedCount
            << " cut-off clips are to be repaired: leave -o out, and each is written beside its damaged clip as "
               "NAME-repaired.mov\n";
        return kUsageError;
    }

    // A healthy clip named with --like is the one template; healthy clips among the files are
    // tried first (--like may also name the damaged clip, with the template among the files).
    const bool likeHealthy = !like.empty() && std::find(healthy.begin(), healthy.end(), like) != healthy.end();
    TemplateSearch search(likeHealthy ? std::vector<std::string>{like} : healthy, likeHealthy);
    size_t repaired = 0, index = 0;
    for (ClipJob& job : jobs) {
        if (job.state == ClipState::CutOff) ++index;
        RepairJob(job, output, search, host, index, damagedCount, out, err);
        if (job.status == kRepaired) ++repaired;
        if (jobs.size() > 1 && job.status == kRepaired) out << "\n";  // between the reports
        out.flush();
    }

    int status = kRepaired;
    for (const ClipJob& j : jobs)
        if (Severity(j.status) > Severity(status)) status = j.status;
    if (jobs.size() > 1) {
        out << "Summary: " << jobs.size() << " clips, " << repaired << " repaired\n";
        for (const ClipJob& j : jobs) out << "  " << j.path << ": " << j.result << "\n";
        // Healthy clips named are templates, not clips that failed.
        for (const std::string& h : healthy) {
            const auto uses = std::count_if(jobs.begin(), jobs.end(), [&h](const ClipJob& j) { return j.templatePath == h; });
            out << "  " << h << ": healthy, "
                << (uses > 0 ? "the template of " + std::to_string(uses) + (uses == 1 ? " clip" : " clips")
                             : std::string("a template that fits none"))
                << "\n";
        }
    }
    return status;
}

}  // namespace movie::repair
