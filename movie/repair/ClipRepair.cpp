#include "movie/repair/ClipRepair.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "movie/repair/MediaWalker.h"
#include "movie/repair/RecordingTimeline.h"
#include "movie/repair/recognise/MediaWindow.h"
#include "movie/repair/recognise/VideoRecognisers.h"
#include "movie/repair/write/MediaCopier.h"
#include "movie/repair/write/OutputFile.h"

namespace movie::repair {

namespace {

// The template check looks at this much of the media.
constexpr uint64_t kFitLook = 16u << 20;

bool PlausibleAtomType(const uint8_t* t) {
    for (int i = 0; i < 4; ++i)
        if (!((t[i] >= 'a' && t[i] <= 'z') || (t[i] >= 'A' && t[i] <= 'Z') || (t[i] >= '0' && t[i] <= '9') || t[i] == ' '))
            return false;
    return true;
}

// Where a damaged clip's recorded bytes end, at most: a preallocated file holds zeros after them.
// Looks at blocks going back from `end`, each twice as far back as the one before, then halves the
// stretch between the last block of zeros and the first with data; the answer is the start of a
// block of zeros (the media holds none but where it was damaged: there the answer may fall short,
// which the write still finds out).
uint64_t RecordedEnd(ByteSource& file, uint64_t start, uint64_t end) {
    constexpr uint64_t kBlock = 64u << 10;
    std::vector<uint8_t> block(kBlock);
    bool unreadable = false;
    const auto zeros = [&](uint64_t at) {
        const size_t n = size_t(std::min<uint64_t>(kBlock, end - at));
        if (!file.ReadAt(at, block.data(), n)) unreadable = true;
        return !unreadable && std::all_of(block.begin(), block.begin() + long(n), [](uint8_t b) { return b == 0; });
    };
    uint64_t zerosFrom = end, data = start;
    for (uint64_t back = kBlock; back <= end - start; back *= 2) {
        if (!zeros(end - back)) {
            data = end - back;
            break;
        }
        zerosFrom = end - back;
    }
    while (!unreadable && zerosFrom - data > kBlock) {
        const uint64_t middle = data + (zerosFrom - data) / 2;
        (zeros(middle) ? zerosFrom : data) = middle;
    }
    return unreadable ? end : zerosFrom;
}

std::string Rounded(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", v);
    return text;
}

}  // namespace

bool MediaExtent(ByteSource& file, uint64_t& start, uint64_t& end) {
    MediaData md;
    if (!FindMediaData(file, md)) return false;
    start = md.dataOffset;
    end = file.Size();
    if (md.sizeFits) {
        // Believe the size only when an atom or the end of the file follows it.
        const uint64_t atomEnd = md.headerOffset + md.declaredSize;
        uint8_t h[8];
        if (atomEnd == end) return true;
        if (end - atomEnd >= 8 && file.ReadAt(atomEnd, h, 8)) {
            const uint32_t size = uint32_t(h[0]) << 24 | uint32_t(h[1]) << 16 | uint32_t(h[2]) << 8 | h[3];
            if ((size == 0 || size == 1 || size >= 8) && PlausibleAtomType(h + 4)) end = atomEnd;
        }
    }
    return start <= end;
}

ClipState InspectClip(const std::string& path, uint64_t* start, uint64_t* end) {
    std::unique_ptr<FileSource> file = FileSource::Open(path);
    if (!file) return ClipState::Unreadable;
    Movie m;
    if (ReadMovie(*file, m) == ReadResult::Ok && !m.tracks.empty()) return ClipState::Healthy;
    uint64_t s = 0, e = 0;
    if (!MediaExtent(*file, s, e)) return ClipState::Unreadable;
    if (start) *start = s;
    if (end) *end = e;
    return ClipState::CutOff;
}

std::string CheckFit(const TemplateLayout& layout, ByteSource& damaged, uint64_t start, uint64_t end) {
    MediaWindow window(damaged);
    MediaWalker walker(layout, window);
    // A 64-bit size field of 1 may be garbage: then the media starts after the 8-byte header.
    if (start >= 16 && !walker.SampleStartsAt(start, end) && walker.SampleStartsAt(start - 8, end)) start -= 8;
    RecoveredMedia look;
    walker.Walk(start, end, std::min(end, start + kFitLook), look);
    const VideoLayout& v = layout.Video();
    const SoundLayout& s = layout.Sound();

    // What the media starts with, past any zeros.
    uint64_t first = start;
    while (first < end && first < start + kFitLook) {
        const uint8_t* b = window.Get(first, 1, MediaWindow::kScan);
        if (!b || *b != 0) break;
        ++first;
    }
    if (first >= end || (first >= start + kFitLook && look.video.empty() && look.sound.empty()))
        return "";  // nothing but zeros to judge by: nothing is recovered either
    const std::string seen = SniffVideo(window, first, end);
    if (v.track < 0) {
        if (!seen.empty()) return "codec: the damaged clip's media holds " + seen + " video; the template has none";
    } else if (look.video.empty()) {
        if (seen.empty())
            return "codec: no " + layout.VideoText() + " frame is found in the damaged clip's media";
        // The same kind of video that is not recognised with the template's sizes: a frame size.
        const std::string kind = layout.VideoText().substr(0, layout.VideoText().find_first_of(" ("));
        const bool sameKind = seen.rfind(kind, 0) == 0;
        return std::string(sameKind ? "frame size" : "codec") + ": the damaged clip's video is " + seen +
               "; the template's is " + layout.VideoText();
    } else if (look.videoWidth && look.videoHeight &&
               (look.videoWidth != v.width || look.videoHeight != v.height)) {
        return "frame size: the damaged clip's pictures are " + std::to_string(look.videoWidth) + "x" +
               std::to_string(look.videoHeight) + "; the template's are " + std::to_string(v.width) + "x" +
               std::to_string(v.height) + " (" + layout.VideoText() + ")";
    }
    if (s.track < 0 || v.track < 0) return "";

    // Sound: as much of it a second as the template's, in its byte order.
    const double videoSeconds = double(look.video.size()) * v.delta / std::max<uint32_t>(1, v.timeScale);
    const bool enough = videoSeconds >= 1.0 && look.video.size() >= 10;
    if (enough && look.sound.empty() && layout.Interleaved())
        return "sound format: there is no " + layout.SoundText() + " between the damaged clip's video frames";
    if (enough && s.family == SoundFamily::Aac) {
        const double perSecond = double(look.frameSizes.size()) / videoSeconds;
        const double expected = double(s.timeScale) / std::max<uint32_t>(1, s.delta);
        if (std::fabs(perSecond / expected - 1) > 0.1)
            return "sound format: the damaged clip has about " + Rounded(perSecond) +
                   " AAC frames a second where the template's sound, " + layout.SoundText() + ", has " + Rounded(expected);
    } else if (enough && s.bytesPerSecond > 0) {
        // Everything between one video frame and the next counts, sound the template's sizes leave
        // out too; but not the long stretches where zeros or damage replace whole frames. Every
        // sound track's bytes are stored there.
        double bytesPerSecond = 0;
        std::string sounds;
        for (size_t k = 0; k < layout.Sounds().size(); ++k) {
            bytesPerSecond += layout.Sounds()[k].bytesPerSecond;
            sounds += (k ? " and " : "") + layout.SoundText(k);
        }
        uint64_t longestRun = 0;
        for (uint64_t r : layout.RunBytes()) longestRun = std::max(longestRun, r);
        const uint64_t ordinary = std::max<uint64_t>(longestRun, s.largestChunk) * 4 + (64u << 10);
        uint64_t between = 0, frames = 0;
        for (size_t i = 0; i + 1 < look.video.size(); ++i) {
            const uint64_t gap = look.video[i + 1].offset - (look.video[i].offset + look.video[i].size);
            if (gap > ordinary) continue;
            between += gap;
            ++frames;
        }
        const double perSecond = double(between) * v.timeScale / (double(std::max<uint64_t>(frames, 1)) * v.delta);
        const double ratio = perSecond / bytesPerSecond;
        if (ratio < 0.8 || ratio > 1.25)
            return "sound format: the damaged clip stores about " + Rounded(perSecond) +
                   " bytes of sound a second where the template's sound, " + sounds + ", stores " +
                   Rounded(bytesPerSecond) + " (another rate, channel count or sample size)";
        if (walker.OtherByteOrderFit(look) > 4)
            return "sound format: the damaged clip's sound reads as " +
                   std::string(s.bigEndian ? "little-endian" : "big-endian") + " samples where the template's sound is " +
                   layout.SoundText();
    }
    return "";
}

RepairOutcome RepairClip(const std::string& damagedPath, const TemplateLayout& layout, const std::string& outputPath,
                         RepairReport& report, const RepairProgressSink& progress) {
    report = RepairReport{};
    std::unique_ptr<InputFile> input = InputFile::Open(damagedPath);
    uint64_t start = 0, end = 0;
    if (!input || !MediaExtent(*input, start, end)) {
        report.message = "cannot read the damaged clip's media";
        return RepairOutcome::NothingRecoverable;
    }
    MediaWindow window(*input);
    MediaWalker walker(layout, window);
    if (start >= 16 && !walker.SampleStartsAt(start, end) && walker.SampleStartsAt(start - 8, end)) start -= 8;
    if (PathExists(outputPath)) {
        report.message = outputPath + " exists: it is not overwritten";
        return RepairOutcome::WriteFailed;
    }

    // The media is copied as the walk keeps it; the movie header follows it.
    std::unique_ptr<OutputFile> out = OutputFile::Create(outputPath, report.message);
    if (!out) return RepairOutcome::WriteFailed;
    const std::vector<uint8_t> head = RepairedMovieWriter::FileStart(start);
    out->Reserve(head.size() + (end - start) + (1u << 20));
    bool written = out->Write(head.data(), head.size());
    MediaCopier copier(damagedPath, *out);
    // Progress: the walk's place, less what the copy has still to write.
    uint64_t walked = 0;
    const auto tell = [&] {
        if (progress) progress(walked - std::min(walked, copier.Behind()), end - start);
    };
    walker.Walk(start, end, end, report.media, [&](uint64_t offset, uint64_t bytes) {
        copier.Add(offset, bytes);
        walked = offset + bytes - start;
        tell();
    });
    walked = end - start;
    written = copier.Finish(tell) && written;
    if (progress) progress(end - start, end - start);
    std::vector<VideoStamp> stamps = walker.Stamps();
    RecordingTimeline(layout).Place(report.media, stamps);
    const RecoveredMedia& media = report.media;
    if (window.Failed()) {
        report.message = "cannot read the damaged clip";
        return RepairOutcome::NothingRecoverable;
    }
    if ((layout.Video().track >= 0 && media.video.empty()) || (media.video.empty() && media.sound.empty())) {
        report.message = layout.Video().track >= 0 ? "no whole video frame is in the damaged clip's media"
                                                   : "no whole sound chunk is in the damaged clip's media";
        return RepairOutcome::NothingRecoverable;
    }
    RepairedMovieWriter writer(layout, media);
    report.tracks = writer.Tracks();
    // The media the writer adds (silence, the timecode sample) ends the 'mdat'; the header follows.
    const std::vector<uint8_t>& added = writer.AddedMedia();
    const std::vector<uint8_t> moov = writer.MovieHeader(head.size()), size = writer.MediaSize();
    written = written && out->Write(added.data(), added.size()) && out->Write(moov.data(), moov.size()) &&
              out->WriteAt(head.size() - size.size(), size.data(), size.size());
    if (!written) {
        report.message = "cannot write " + outputPath + " (is the disk full?)";
        return RepairOutcome::WriteFailed;  // the temporary file goes with `out`
    }
    if (!out->Commit(report.message)) return RepairOutcome::WriteFailed;
    // It must read back as a movie with what was recovered, or it is not kept.
    Movie check;
    bool plays = ReadMovieFile(outputPath, check) == ReadResult::Ok && check.tracks.size() == report.tracks.size();
    for (size_t i = 0; plays && i < report.tracks.size(); ++i)
        plays = check.tracks[i].kind == report.tracks[i].kind &&
                check.tracks[i].mediaDuration == report.tracks[i].mediaDuration;
    if (!plays) {
        std::remove(outputPath.c_str());
        report.message = "the written clip does not read back as a movie";
        return RepairOutcome::WriteFailed;
    }
    return RepairOutcome::Repaired;
}

uint64_t RepairedSizeBound(const TemplateLayout& layout, ByteSource& damaged, uint64_t start, uint64_t end) {
    end = RecordedEnd(damaged, start, end);
    const uint64_t media = end - std::min(start, end);
    // The header's tables grow with the samples: scaled from the template's header and media.
    uint64_t header = media / 64;
    std::unique_ptr<FileSource> file = FileSource::Open(layout.Path());
    MediaData md;
    if (file && FindMediaData(*file, md) && md.bytesPresent > 0)
        header = uint64_t(double(layout.MoovBytes().size()) * double(media) / double(md.bytesPresent));
    // The file's start, the silence put in where sound was lost (within the damaged bytes it
    // stands for, which are not copied) and the timecode sample: a margin.
    return RepairedMovieWriter::FileStart(start).size() + media + header + media / 1024 + (1u << 20);
}

}  // namespace movie::repair
