// The repaired clip's structure, and what a player sees in it. Past 4 GB: 64-bit chunk offsets and
// media size, the media placed within a page as in the damaged file, and a movie that reads back
// with every sample where the copy puts it. From recovered samples given by hand over real clips'
// bytes: each frame at its own time, silence where sound was lost with the sound after it at its
// own time, the recording's timecode, every sound track with its own bytes and names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <numeric>

#include "ffmpeg_reference.h"
#include "movie/container/ClipInfo.h"
#include "movie/container/MovieReader.h"
#include "movie/container/Timecode.h"
#include "movie/decode/SoundDecoder.h"
#include "movie/decode/VideoDecoder.h"
#include "movie/repair/write/RepairedMovieWriter.h"
#include "movie/repair/write/Silence.h"
#include "movie_builders.h"
#include "repair_clips.h"

using namespace moviebuild;

TEST(RepairedMovieWriter, WidensOffsetsAndTheMediaSizePast4GB) {
    // A DV template; recovered: eight frames of 1 GB with sound chunks between them, and 4096
    // samples of sound lost before the fifth (only the header is built, nothing copied).
    MovieLayout layout;
    layout.tracks[0].sampleEntry = VideoEntry("dvcp", 720, 576);
    TrackLayout sound;
    sound.handler = "soun";
    sound.sampleEntry = SoundEntry("twos", 0, 2, 16, 48000);
    sound.mediaScale = 48000;
    sound.delta = 1;
    sound.sampleSizes.assign(64, 4);
    sound.samplesPerChunk = 64;
    layout.tracks.push_back(sound);
    const Bytes file = BuildMovie(layout);
    movie::Movie m;
    ASSERT_EQ(Read(file, m), movie::ReadResult::Ok);
    movie::repair::TemplateLayout t;
    std::string why;
    ASSERT_TRUE(t.Build(m, Bytes(file.begin() + long(m.moovOffset), file.begin() + long(m.moovOffset + m.moovSize)), why))
        << why;

    movie::repair::RecoveredMedia media;
    uint64_t at = 36;
    for (int i = 0; i < 8; ++i) {
        media.video.push_back({at, 1u << 30, true, i * 60});
        at += 1u << 30;
        media.sound.push_back({at, 8192, 2048, 0, 0, i * 2048 + (i >= 4 ? 4096 : 0)});
        at += 8192 + 100;  // 100 bytes skipped after each chunk
    }
    const movie::repair::RepairedMovieWriter writer(t, media);
    // The file as RepairClip lays it out: its start, the media (absent here), the movie header.
    Bytes start = movie::repair::RepairedMovieWriter::FileStart(36);
    const Bytes size = writer.MediaSize(), moov = writer.MovieHeader(start.size());
    std::copy(size.begin(), size.end(), start.end() - 8);
    movie::MemorySource startSource(start.data(), start.size());
    movie::MediaData md;
    ASSERT_TRUE(movie::FindMediaData(startSource, md));
    EXPECT_EQ(md.dataOffset, start.size()) << "the media follows the file's start";
    EXPECT_EQ(md.dataOffset % 4096, 36u) << "where it was within a page in the damaged file";
    EXPECT_EQ(md.declaredSize, 8 * ((1ull << 30) + 8192) + 4096 * 4 + 16) << "a 64-bit size";
    movie::MemorySource moovSource(moov.data(), moov.size());
    movie::Movie back;
    ASSERT_EQ(movie::ReadMovie(moovSource, back), movie::ReadResult::Ok);
    ASSERT_EQ(back.tracks.size(), 2u);

    const movie::Track& v = back.tracks[0];
    const movie::Track& s = back.tracks[1];
    ASSERT_EQ(v.chunkOffsets.size(), 8u);
    ASSERT_EQ(s.chunkOffsets.size(), 9u);
    const uint64_t copied = 8 * ((1ull << 30) + 8192);
    for (uint64_t i = 0; i < 8; ++i) {
        // Copied back to back: the skipped bytes are gone.
        EXPECT_EQ(v.chunkOffsets[i], start.size() + i * ((1ull << 30) + 8192));
        EXPECT_EQ(s.chunkOffsets[i + (i >= 4)], start.size() + i * ((1ull << 30) + 8192) + (1ull << 30));
    }
    // The silence follows the copied media.
    EXPECT_EQ(s.chunkOffsets[4], start.size() + copied);
    EXPECT_EQ(writer.AddedMedia(), Bytes(4096 * 4, 0));
    EXPECT_EQ(v.uniformSampleSize, 1u << 30);
    EXPECT_EQ(s.SampleCount(), 8u * 2048 + 4096);
    EXPECT_EQ(v.mediaDuration, 8u * 60);
    EXPECT_EQ(s.mediaDuration, 8u * 2048 + 4096);
    EXPECT_EQ(back.duration, 8u * 60) << "the longest track, in the movie's time scale";
    ASSERT_EQ(writer.Tracks().size(), 2u);
    EXPECT_EQ(writer.Tracks()[0].frames, 8u);
    EXPECT_DOUBLE_EQ(writer.Tracks()[1].seconds, (8 * 2048 + 4096) / 48000.0);
    EXPECT_DOUBLE_EQ(writer.Tracks()[1].silence, 4096 / 48000.0);
}

namespace {

namespace fs = std::filesystem;
namespace mr = movie::repair;
using repairclips::MakeClip;
using repairclips::ReadLayout;
using Samples = std::vector<int16_t>;

mr::TemplateLayout LoadTemplate(const std::string& path) {
    mr::TemplateLayout l;
    std::string why;
    EXPECT_TRUE(l.Load(path, why)) << path << ": " << why;
    return l;
}

// Writes the clip RepairClip writes for `media` found in `source`: its start, the recovered
// samples in file order, the media the writer adds, the movie header.
void WriteRepaired(const mr::TemplateLayout& layout, const Bytes& source, const mr::RecoveredMedia& media,
                   const std::string& path) {
    const mr::RepairedMovieWriter writer(layout, media);
    Bytes file = mr::RepairedMovieWriter::FileStart(36);
    const size_t start = file.size();
    std::vector<std::pair<uint64_t, uint64_t>> pieces;
    for (const mr::RecoveredVideoSample& v : media.video) pieces.push_back({v.offset, v.size});
    for (const mr::RecoveredSoundChunk& s : media.sound) pieces.push_back({s.offset, s.bytes});
    std::sort(pieces.begin(), pieces.end());
    for (const auto& [offset, size] : pieces)
        file.insert(file.end(), source.begin() + long(offset), source.begin() + long(offset + size));
    Append(file, writer.AddedMedia());
    const Bytes size = writer.MediaSize(), moov = writer.MovieHeader(start);
    std::copy(size.begin(), size.end(), file.begin() + long(start) - 8);
    Append(file, moov);
    repairclips::Save(path, file);
}

// A track's samples as the walk gives them: presentation times from its first frame shown (its
// edit's start), in its media units.
std::vector<mr::RecoveredVideoSample> VideoSamples(const movie::Track& t) {
    const int64_t start = t.hasEditList && !t.edits.empty() && t.edits[0].mediaTime > 0 ? t.edits[0].mediaTime : 0;
    std::vector<mr::RecoveredVideoSample> out;
    movie::SampleInfo s;
    for (size_t n = 0; n < t.SampleCount() && t.Sample(n, s); ++n)
        out.push_back({s.offset, s.size, s.keyFrame, int64_t(s.time) + s.compositionOffset - start});
    return out;
}

// Its chunks, with their bytes (a constant-size format's units, or AAC frames) and decode times.
std::vector<mr::RecoveredSoundChunk> SoundChunks(const movie::Track& t, const mr::SoundLayout& l, int track,
                                                 std::vector<uint32_t>* frameSizes) {
    std::vector<mr::RecoveredSoundChunk> out;
    movie::ChunkInfo c;
    movie::SampleInfo s;
    for (size_t i = 0; i < t.ChunkCount() && t.Chunk(i, c) && t.Sample(size_t(c.firstSample), s); ++i) {
        uint64_t bytes = 0;
        if (l.unitBytes > 0) {
            bytes = uint64_t(c.sampleCount) / l.samplesPerUnit * l.unitBytes;
        } else {
            movie::SampleInfo f;
            for (uint64_t n = c.firstSample; n < c.firstSample + c.sampleCount && t.Sample(size_t(n), f); ++n) bytes += f.size;
        }
        out.push_back({c.offset, uint32_t(bytes), c.sampleCount, uint32_t(c.firstSample), track, int64_t(s.time)});
    }
    if (frameSizes)
        for (size_t n = 0; n < t.SampleCount() && t.Sample(n, s); ++n) frameSizes->push_back(s.size);
    return out;
}

int Track(const movie::Movie& m, movie::TrackKind kind) { return movie::FindTrack(m, kind); }

// ffmpeg's frames of a clip's video in presentation order, each with its time as the file gives it
// (no shift to start at 0; in units of 1/tbDen) and its MD5.
struct Frame {
    int64_t pts;
    std::string md5;
};
std::vector<Frame> Frames(const std::string& clip, int64_t& tbDen) {
    const Bytes text = reference::Ffmpeg("-copyts -i '" + clip + "' -map 0:v:0 -fps_mode passthrough -enc_time_base -1 -f framemd5 -");
    std::istringstream lines(std::string(text.begin(), text.end()));
    std::vector<Frame> frames;
    for (std::string line; std::getline(lines, line);) {
        long long num = 0, den = 0, dts, pts;
        char hash[64];
        if (std::sscanf(line.c_str(), "#tb 0: %lld/%lld", &num, &den) == 2) {
            EXPECT_EQ(num, 1);
            tbDen = den;
        } else if (std::sscanf(line.c_str(), "0, %lld, %lld, %*d, %*d, %63s", &dts, &pts, hash) == 3) {
            frames.push_back({pts, hash});
        }
    }
    return frames;
}

// Runs a shell command; its standard error, and its standard output as bytes.
Bytes Shell(const std::string& command, std::string& err) {
    const std::string errFile = (fs::temp_directory_path() / ("clipharbor_err_" + std::to_string(::getpid()))).string();
    Bytes out;
    if (FILE* pipe = popen((command + " 2>'" + errFile + "'").c_str(), "r")) {
        uint8_t buffer[1 << 16];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.insert(out.end(), buffer, buffer + n);
        pclose(pipe);
    }
    const Bytes e = repairclips::Load(errFile);
    err.assign(e.begin(), e.end());
    fs::remove(errFile);
    return out;
}

std::string Probe(const std::string& clip, const std::string& entries) {
    std::string err;
    const Bytes out = Shell("ffprobe -v error -show_entries " + entries + " -of compact '" + clip + "'", err);
    return std::string(out.begin(), out.end());
}

Samples Decoded(const std::string& clip, int track) {
    const Bytes raw = reference::Ffmpeg("-i '" + clip + "' -map 0:a:" + std::to_string(track) + " -f s16le -");
    Samples s(raw.size() / 2);
    if (!s.empty()) std::memcpy(s.data(), raw.data(), s.size() * 2);
    return s;
}

Samples OwnDecoded(const std::string& clip, int track, int rate, int channels) {
    movie::Movie m;
    EXPECT_EQ(movie::ReadMovieFile(clip, m), movie::ReadResult::Ok);
    movie::SoundDecoder d(m, movie::FileSource::Open(clip), rate, channels, track);
    EXPECT_TRUE(d.Supported());
    Samples all, buffer(4096 * size_t(channels));
    for (size_t n; (n = d.Read(buffer.data(), 4096)) > 0;) all.insert(all.end(), buffer.begin(), buffer.begin() + long(n) * channels);
    return all;
}

// Sound frames [from, to) of the decoded output, lost in the repaired clip.
struct Lost {
    uint64_t from, to;
};
// The repaired sound is silent where sound was lost and the original's everywhere else, at the
// same place; `edge` frames after each end of a loss may differ (a transform codec's overlap), and
// samples by up to `tolerance` (IMA4 keeps its predictor's low bits from the packet before).
void ExpectSilenceInPlace(const Samples& original, const Samples& repaired, int channels,
                          const std::vector<Lost>& lost, uint64_t edge, int tolerance, const std::string& what) {
    SCOPED_TRACE(what);
    // The ends may differ by what the original's edit trims of its last packet, and by rounding to
    // the movie's time scale.
    const size_t slack = 1100 * size_t(channels);
    ASSERT_LE(repaired.size(), original.size() + slack);
    ASSERT_GE(repaired.size() + slack, original.size());
    const uint64_t frames = std::min(repaired.size(), original.size()) / size_t(channels);
    std::vector<char> silent(frames, 0), free(frames, 1);
    for (const Lost& l : lost) {
        for (uint64_t f = l.from + (l.from > 0 ? edge : 0); f < std::min(l.to, frames); ++f) silent[f] = 1;
        for (uint64_t f = l.from; f < std::min(l.to + edge, frames); ++f) free[f] = 0;
    }
    uint64_t silentFrames = 0, compared = 0;
    for (uint64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            const size_t i = size_t(f) * size_t(channels) + size_t(c);
            if (silent[f]) {
                ASSERT_EQ(repaired[i], 0) << "frame " << f << " should be silent";
                silentFrames += c == 0;
            } else if (free[f]) {
                ASSERT_LE(std::abs(repaired[i] - original[i]), tolerance) << "frame " << f << ": " << repaired[i] << " for " << original[i];
                compared += c == 0;
            }
        }
    EXPECT_EQ(silentFrames > 0, !lost.empty());
    EXPECT_GT(compared, frames / 2);
}

}  // namespace

TEST(RepairedClipTimes, EveryFrameShowsAtItsOwnTimeWithTheFrameBeforeAHoleHeld) {
    // H.264 with B-frames (presentation order differs from decode order) and Motion-JPEG (it does
    // not). Lost: the recording's first frames, and a stretch in the middle; each stretch begins at a
    // key frame, so that every frame kept decodes.
    struct Clip {
        const char* name;
        const char* codec;
    };
    for (const Clip& clip : {Clip{"h264_bframes", "-c:v libx264 -preset veryfast -g 15 -bf 2 -threads 1 -pix_fmt yuv420p"},
                             Clip{"mjpeg", "-c:v mjpeg -q:v 5"}}) {
        SCOPED_TRACE(clip.name);
        const std::string name = std::string("times_") + clip.name;
        const std::string original =
            MakeClip(name + ".mov", "-f lavfi -i testsrc=size=160x120:rate=30:duration=3 " + std::string(clip.codec));
        const std::string templateClip =
            MakeClip(name + "_template.mov", "-f lavfi -i testsrc2=size=160x120:rate=30:duration=1 " + std::string(clip.codec));
        const repairclips::Layout o = ReadLayout(original);
        const movie::Track& ov = o.movie.tracks[size_t(Track(o.movie, movie::TrackKind::Video))];
        const mr::TemplateLayout layout = LoadTemplate(templateClip);
        ASSERT_EQ(layout.Video().timeScale, ov.mediaTimeScale);

        const std::vector<mr::RecoveredVideoSample> all = VideoSamples(ov);
        std::vector<size_t> keys;
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i].key) keys.push_back(i);
        if (keys.size() == all.size()) keys = {0, 4, 20, 27};
        ASSERT_GE(keys.size(), 4u);
        const bool reordered = !ov.ctts.empty();
        EXPECT_EQ(reordered, std::string(clip.name) == "h264_bframes");
        mr::RecoveredMedia media;
        std::vector<size_t> kept;  // the original's samples, in the repaired clip's order
        for (size_t i = 0; i < all.size(); ++i)
            if (!(i < keys[1]) && !(i >= keys[2] && i < keys[3])) {
                media.video.push_back(all[i]);
                kept.push_back(i);
            }
        fs::path folder = repairclips::ClipFolder() / ("writer-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        const std::string repaired = (folder / (name + "-repaired.mov")).string();
        WriteRepaired(layout, o.file, media, repaired);

        // ffmpeg shows each kept frame at its time in the recording, as the original showed it.
        int64_t tbOriginal = 0, tbRepaired = 0;
        std::map<int64_t, std::string> originalAt;
        for (const Frame& f : Frames(original, tbOriginal)) originalAt[f.pts] = f.md5;
        std::vector<Frame> expected;
        for (const mr::RecoveredVideoSample& v : media.video) expected.push_back({v.time, originalAt[v.time]});
        std::sort(expected.begin(), expected.end(), [](const Frame& a, const Frame& b) { return a.pts < b.pts; });
        const std::vector<Frame> got = Frames(repaired, tbRepaired);
        ASSERT_EQ(tbOriginal, int64_t(ov.mediaTimeScale));
        ASSERT_EQ(tbRepaired, tbOriginal);
        ASSERT_EQ(got.size(), expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].pts, expected[i].pts) << "frame " << i;
            EXPECT_EQ(got[i].md5, expected[i].md5) << "frame " << i << " at " << got[i].pts;
        }

        // Our reader and decoder show the same frame at each time; nothing before the first frame
        // kept, and in the hole the frame before it.
        movie::Movie r;
        ASSERT_EQ(movie::ReadMovieFile(repaired, r), movie::ReadResult::Ok);
        const int rv = Track(r, movie::TrackKind::Video);
        const movie::Track& tv = r.tracks[size_t(rv)];
        EXPECT_EQ(tv.ctts.empty(), !reordered) << "composition offsets only where the order differs";
        EXPECT_EQ(tv.duration, tv.PresentationDuration());
        EXPECT_EQ(r.duration, tv.duration);
        movie::VideoDecoder a(o.movie, movie::FileSource::Open(original), Track(o.movie, movie::TrackKind::Video));
        movie::VideoDecoder b(r, movie::FileSource::Open(repaired), rv);
        ASSERT_TRUE(a.Supported() && b.Supported());
        const int64_t half = int64_t(layout.Video().delta / 2);
        auto movieTime = [half](const movie::Movie& m, const movie::Track& t, int64_t time) {
            return uint64_t(time + half) * m.timeScale / t.mediaTimeScale;
        };
        movie::VideoDecoder::Picture pa, pb;
        EXPECT_EQ(b.FrameAt(movieTime(r, tv, media.video.front().time) / 2, 32, 24, pb), movie::VideoDecoder::Status::Empty)
            << "the lost start shows nothing";
        std::vector<size_t> byTime(kept.size());
        std::iota(byTime.begin(), byTime.end(), size_t(0));
        std::sort(byTime.begin(), byTime.end(), [&media](size_t x, size_t y) { return media.video[x].time < media.video[y].time; });
        for (size_t rank = 0; rank < byTime.size(); ++rank) {
            const size_t j = byTime[rank];
            const int64_t time = media.video[j].time;
            ASSERT_EQ(a.FrameAt(movieTime(o.movie, ov, time), 32, 24, pa), movie::VideoDecoder::Status::Shown);
            ASSERT_EQ(b.FrameAt(movieTime(r, tv, time), 32, 24, pb), movie::VideoDecoder::Status::Shown);
            ASSERT_EQ(pa.sample, kept[j]);
            ASSERT_EQ(pb.sample, j) << "at " << time;
            ASSERT_EQ(std::memcmp(pa.pixels, pb.pixels, 32 * 24 * 4), 0) << "at " << time;
            if (rank + 1 < byTime.size() && media.video[byTime[rank + 1]].time > time + int64_t(layout.Video().delta)) {
                // A hole: this frame stays until the next one kept.
                const int64_t inHole = (time + media.video[byTime[rank + 1]].time) / 2;
                ASSERT_EQ(b.FrameAt(movieTime(r, tv, inHole), 32, 24, pb), movie::VideoDecoder::Status::Shown);
                EXPECT_EQ(pb.sample, j) << "the frame before the hole is held";
            }
        }
        fs::remove_all(folder);
    }
}

TEST(RepairedClipSound, LostSoundIsSilenceOfItsLengthAndTheSoundAfterItKeepsItsTime) {
    // Lost: the first sound chunk (silence from the start) and two chunks in the middle.
    struct Format {
        const char* name;
        const char* args;
        int channels;
    };
    for (const Format& f : {Format{"twos", "-c:a pcm_s16be -ac 2", 2}, Format{"raw8", "-c:a pcm_u8", 1},
                            Format{"ima4", "-c:a adpcm_ima_qt -ac 2", 2}, Format{"aac_lc", "-c:a aac -b:a 96k -aac_pns 0", 1}}) {
        SCOPED_TRACE(f.name);
        auto clip = [&f](bool templateClip) {
            char args[512];
            std::snprintf(args, sizeof args,
                          "-f lavfi -i %s=size=64x48:rate=25:duration=%d -f lavfi -i sine=frequency=%d:sample_rate=44100:duration=%d "
                          "-c:v mjpeg %s",
                          templateClip ? "testsrc2" : "testsrc", templateClip ? 1 : 3, templateClip ? 330 : 440,
                          templateClip ? 1 : 3, f.args);
            return MakeClip(std::string("silence_") + f.name + (templateClip ? "_template.mov" : ".mov"), args);
        };
        const std::string original = clip(false);
        const mr::TemplateLayout layout = LoadTemplate(clip(true));
        const repairclips::Layout o = ReadLayout(original);
        const movie::Track& os = o.movie.tracks[size_t(Track(o.movie, movie::TrackKind::Sound))];
        ASSERT_EQ(layout.Sounds().size(), 1u);
        ASSERT_EQ(os.mediaTimeScale, 44100u);
        const bool aac = layout.Sound().family == mr::SoundFamily::Aac;

        mr::RecoveredMedia media;
        media.video = VideoSamples(o.movie.tracks[size_t(Track(o.movie, movie::TrackKind::Video))]);
        const std::vector<mr::RecoveredSoundChunk> chunks = SoundChunks(os, layout.Sound(), 0, &media.frameSizes);
        const size_t n = chunks.size();
        ASSERT_GE(n, 8u);
        const int64_t priming = os.hasEditList && !os.edits.empty() ? os.edits[0].mediaTime : 0;
        std::vector<Lost> lost;
        for (size_t i = 0; i < n; ++i) {
            if (i != 0 && i != n / 2 && i != n / 2 + 1) {
                media.sound.push_back(chunks[i]);
                continue;
            }
            const uint64_t from = uint64_t(std::max<int64_t>(0, chunks[i].time - priming));
            const uint64_t to = uint64_t(chunks[i + 1].time - priming);
            if (!lost.empty() && lost.back().to == from) lost.back().to = to;
            else lost.push_back({from, to});
        }
        const fs::path folder = repairclips::ClipFolder() / ("writer-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        const std::string repaired = (folder / (std::string("silence_") + f.name + "-repaired.mov")).string();
        WriteRepaired(layout, o.file, media, repaired);

        // AAC: the frame before and after a loss decode with the silence's overlap. (The encoder's
        // noise substitution is off: its noise would follow another random sequence after a loss.)
        const uint64_t edge = aac ? 1024 : 0;
        const int tolerance = layout.Sound().family == mr::SoundFamily::Ima4 ? 0x7F : 0;
        ExpectSilenceInPlace(Decoded(original, 0), Decoded(repaired, 0), f.channels, lost, edge, tolerance, "ffmpeg");
        ExpectSilenceInPlace(OwnDecoded(original, -1, 44100, f.channels), OwnDecoded(repaired, -1, 44100, f.channels),
                             f.channels, lost, edge, tolerance, "our decoder");
        // The silence is written once and shared: a fraction of the sound it stands for.
        const mr::RepairedMovieWriter writer(layout, media);
        const mr::RecoveredTrack& sound = writer.Tracks()[1];
        EXPECT_NEAR(sound.silence, double(lost[0].to + priming + lost[1].to - lost[1].from) / 44100, 1024 / 44100.0);
        uint64_t lostBytes = 0;
        for (size_t i : {size_t(0), n / 2, n / 2 + 1}) lostBytes += chunks[i].bytes;
        EXPECT_LT(writer.AddedMedia().size(), lostBytes);
        fs::remove_all(folder);
    }
}

TEST(RepairedClipSound, ASilentAacFrameDecodesToSilenceInEveryChannelConfiguration) {
    const fs::path folder = repairclips::ClipFolder() / ("writer-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const int channels[] = {0, 1, 2, 3, 4, 5, 6, 8};
    struct Config {
        int objectType, channelConfig;
        Bytes asc;
        int frameLength;
    };
    std::vector<Config> configs;
    // 44100 Hz (index 4).
    for (int c = 1; c <= 7; ++c) configs.push_back({2, c, U16(uint16_t(2 << 11 | 4 << 7 | c << 3)), 1024});
    configs.push_back({1, 2, U16(uint16_t(1 << 11 | 4 << 7 | 2 << 3)), 1024});  // Main
    // SBR signalled explicitly, 24000 Hz doubled to 48000, around an LC core.
    configs.push_back({5, 2, {0x2B, 0x11, 0x88}, 2048});
    for (const Config& k : configs) {
        SCOPED_TRACE("object type " + std::to_string(k.objectType) + ", channel configuration " + std::to_string(k.channelConfig));
        const Bytes& asc = k.asc;
        const Bytes frame = mr::SilentAacFrame(asc);
        ASSERT_FALSE(frame.empty());
        // A clip of 20 such frames, their 'esds' as QuickTime stores it.
        const Bytes esds = MakeFullAtom(
            "esds", 0, 0,
            Cat({U8(3), U8(uint8_t(23 + asc.size())), U16(1), U8(0), U8(4), U8(uint8_t(15 + asc.size())), U8(0x40), U8(0x15),
                 Zeros(3), U32(0), U32(0), U8(5), U8(uint8_t(asc.size())), asc, U8(6), U8(1), U8(2)}));
        MovieLayout m;
        m.tracks[0].handler = "soun";
        m.tracks[0].sampleEntry = SoundEntry("mp4a", 0, uint16_t(channels[k.channelConfig]), 16, 44100, esds);
        m.tracks[0].mediaScale = 44100;
        m.tracks[0].delta = 1024;
        m.tracks[0].sampleSizes.assign(20, uint32_t(frame.size()));
        m.tracks[0].samplesPerChunk = 20;
        Bytes file = BuildMovie(m);
        for (size_t i = 0; i < 20; ++i) std::copy(frame.begin(), frame.end(), file.begin() + 28 + long(i * frame.size()));
        const std::string path = (folder / "silent.mov").string();
        repairclips::Save(path, file);
        std::string err;
        const Bytes out = Shell("ffmpeg -nostdin -v error -i '" + path + "' -f s16le -", err);
        EXPECT_EQ(err, "");
        EXPECT_EQ(out.size(), 20u * size_t(k.frameLength) * 2 * size_t(channels[k.channelConfig]));
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0; }));
    }
    // Configurations it cannot build for.
    EXPECT_TRUE(mr::SilentAacFrame(U16(2 << 11 | 4 << 7 | 0 << 3)).empty()) << "channels from a program configuration";
    EXPECT_TRUE(mr::SilentAacFrame(U16(17 << 11 | 4 << 7 | 2 << 3)).empty()) << "error resilient";
    EXPECT_TRUE(mr::SilentAacFrame({0x12}).empty()) << "cut short";
    fs::remove_all(folder);
}

TEST(Timecode, FrameNumbersAndTheirTextDropFrameIncluded) {
    const movie::TimecodeFormat df = movie::TimecodeFormat::FromFlags(1, 30), df60 = movie::TimecodeFormat::FromFlags(1, 60);
    const movie::TimecodeFormat pal = movie::TimecodeFormat::FromFlags(2, 25);
    // 29.97: two numbers skipped at each minute but every tenth.
    EXPECT_EQ(movie::TimecodeText(1799, df), "00:00:59;29");
    EXPECT_EQ(movie::TimecodeText(1800, df), "00:01:00;02");
    EXPECT_EQ(movie::TimecodeText(17982, df), "00:10:00;00");
    EXPECT_EQ(movie::TimecodeText(107892, df), "01:00:00;00");
    EXPECT_EQ(movie::TimecodeText(3597, df60), "00:00:59;57");
    EXPECT_EQ(movie::TimecodeText(3600, df60), "00:01:00;04");
    EXPECT_EQ(movie::TimecodeText(93604, pal), "01:02:24:04");
    EXPECT_EQ(movie::TimecodeText(24 * 3600 * 25 + 1, pal), "00:00:00:01") << "wraps at 24 hours";
    EXPECT_EQ(movie::TimecodeText(-1, pal), "23:59:59:24");
    EXPECT_EQ(movie::TimecodeText(-26, movie::TimecodeFormat::FromFlags(4, 25)), "-00:00:01:01");
    EXPECT_EQ(movie::TimecodeText(5, movie::TimecodeFormat{}), "");
    for (const movie::TimecodeFormat& f : {df, df60, pal})
        for (int64_t n = 0; n < 40000; n += 7) {
            int64_t back = -1;
            ASSERT_TRUE(movie::ParseTimecode(movie::TimecodeText(n, f), f, back)) << n;
            ASSERT_EQ(back, n);
        }
    int64_t n;
    EXPECT_FALSE(movie::ParseTimecode("00:01:00;01", df, n)) << "a number drop frame skips";
    EXPECT_TRUE(movie::ParseTimecode("00:10:00;00", df, n));
    EXPECT_FALSE(movie::ParseTimecode("00:00:00:25", pal, n));
    EXPECT_FALSE(movie::ParseTimecode("00:60:00:00", pal, n));
    EXPECT_FALSE(movie::ParseTimecode("1:2:3", pal, n));
    EXPECT_FALSE(movie::ParseTimecode("01:02:03:04x", pal, n));
}

TEST(RepairedClipTimecode, TheTemplateTellsItsShapeAndWhereItsSampleLies) {
    // Its sample first in the media (as ffmpeg and GStreamer's qtmux write it), or after the video.
    for (bool first : {true, false}) {
        MovieLayout m;
        TrackLayout tc;
        tc.handler = "tmcd";
        tc.sampleEntry = TimecodeEntry(2, 25, 1, 25);
        tc.sampleSizes = {8};
        tc.mediaScale = 25;
        tc.delta = 100;
        m.tracks.insert(first ? m.tracks.begin() : m.tracks.end(), tc);
        const Bytes file = BuildMovie(m);
        movie::Movie movie;
        ASSERT_EQ(Read(file, movie), movie::ReadResult::Ok);
        mr::TemplateLayout layout;
        std::string why;
        ASSERT_TRUE(layout.Build(movie, Bytes(file.begin() + long(movie.moovOffset), file.end()), why)) << why;
        const mr::TimecodeLayout& t = layout.Timecode();
        EXPECT_EQ(t.track, first ? 0 : 1);
        EXPECT_EQ(t.flags, 2u);
        EXPECT_EQ(t.timeScale, 25u);
        EXPECT_EQ(t.frameDuration, 1u);
        EXPECT_EQ(t.frames, 25);
        EXPECT_EQ(t.sampleSize, 8u);
        EXPECT_EQ(t.sampleAtMediaStart, first);

        // The repaired clip's sample: the recording's frame number in 8 bytes.
        mr::RecoveredMedia media;
        media.video.push_back({100, 50, true, 0});
        media.timecode = {true, 0x123456789, "DV subcode"};
        const mr::RepairedMovieWriter writer(layout, media);
        EXPECT_EQ(writer.AddedMedia(), U64(0x123456789));
        ASSERT_EQ(writer.Tracks().size(), 2u);
        EXPECT_EQ(writer.Tracks()[first ? 0 : 1].timecode, movie::TimecodeText(0x123456789, movie::TimecodeFormat::FromFlags(2, 25)));
    }
}

TEST(RepairedClipTimecode, TheRecordingsStartNeverTheTemplates) {
    // Timecode tracks as ffmpeg writes them: 29.97 drop frame, the sample the media's first bytes.
    const std::string recorded = "-f lavfi -i testsrc=size=160x120:rate=30000/1001:duration=2 -f lavfi -i "
                                 "sine=sample_rate=48000:duration=2 -c:v mpeg4 -c:a pcm_s16be -timecode '10:00:00;00'";
    const std::string templated = "-f lavfi -i testsrc2=size=160x120:rate=30000/1001:duration=1 -f lavfi -i "
                                  "sine=sample_rate=48000:duration=1 -c:v mpeg4 -c:a pcm_s16be -timecode '01:02:03;04'";
    const std::string original = MakeClip("timecode.mov", recorded), templateClip = MakeClip("timecode_template.mov", templated);
    const mr::TemplateLayout layout = LoadTemplate(templateClip);
    const mr::TimecodeLayout& tc = layout.Timecode();
    ASSERT_GE(tc.track, 0);
    EXPECT_EQ(tc.timeScale, 30000u);
    EXPECT_EQ(tc.frameDuration, 1001u);
    EXPECT_EQ(tc.frames, 30u);
    EXPECT_EQ(tc.flags & 1, 1u);
    EXPECT_EQ(tc.sampleSize, 4u);
    EXPECT_TRUE(tc.sampleAtMediaStart);

    const repairclips::Layout o = ReadLayout(original);
    mr::RecoveredMedia media;
    media.video = VideoSamples(o.movie.tracks[size_t(Track(o.movie, movie::TrackKind::Video))]);
    media.sound = SoundChunks(o.movie.tracks[size_t(Track(o.movie, movie::TrackKind::Sound))], layout.Sound(), 0, nullptr);
    movie::MemorySource source(o.file.data(), o.file.size());
    movie::MovieTimecode start;
    ASSERT_TRUE(movie::ReadMovieTimecode(o.movie, source, start));
    media.timecode = {true, start.frameNumber, "the recorder's timecode sample"};
    const fs::path folder = repairclips::ClipFolder() / ("writer-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string repaired = (folder / "timecode-repaired.mov").string(), without = (folder / "no-timecode.mov").string();
    WriteRepaired(layout, o.file, media, repaired);

    // ffmpeg reads it on the timecode track and, through the video's reference, on the video.
    EXPECT_EQ(Probe(repaired, "stream=codec_type:stream_tags=timecode"),
              "stream|codec_type=video|tag:timecode=10:00:00;00\nstream|codec_type=audio\n"
              "stream|codec_type=data|tag:timecode=10:00:00;00\n");
    std::ostringstream out, err;
    EXPECT_EQ(movie::RunClipInfo({repaired}, out, err), 0) << err.str();
    EXPECT_EQ(out.str().substr(out.str().rfind('\t')), "\t10:00:00;00\n");
    // The track lasts as long as the movie.
    movie::Movie r;
    ASSERT_EQ(movie::ReadMovieFile(repaired, r), movie::ReadResult::Ok);
    ASSERT_EQ(r.tracks.size(), 3u);
    EXPECT_EQ(r.tracks[2].handler, movie::FourCC("tmcd"));
    EXPECT_EQ(r.tracks[2].duration, r.duration);
    EXPECT_EQ(r.tracks[2].SampleCount(), 1u);

    // Without the recording's start: no timecode track, and nothing refers to one.
    media.timecode = {};
    WriteRepaired(layout, o.file, media, without);
    ASSERT_EQ(movie::ReadMovieFile(without, r), movie::ReadResult::Ok);
    ASSERT_EQ(r.tracks.size(), 2u);
    const Bytes bytes = repairclips::Load(without);
    EXPECT_EQ(std::search(bytes.begin() + long(r.moovOffset), bytes.end(), std::begin("tref"), std::end("tref") - 1), bytes.end());
    EXPECT_EQ(Probe(without, "stream=codec_type:stream_tags=timecode"), "stream|codec_type=video\nstream|codec_type=audio\n");
    fs::remove_all(folder);
}

TEST(RepairedClipSound, EachSoundTrackGetsItsOwnChunksAndKeepsItsNames) {
    // Two sound tracks, named and one in another language; the second loses a chunk.
    const char* args = "-f lavfi -i %s=size=64x48:rate=25:duration=%d -f lavfi -i sine=frequency=%d:sample_rate=48000:duration=%d "
                       "-f lavfi -i sine=frequency=%d:sample_rate=48000:duration=%d -map 0 -map 1 -map 2 -c:v mjpeg "
                       "-c:a pcm_s16be -metadata:s:a:0 handler_name=Left -metadata:s:a:1 handler_name=Right "
                       "-metadata:s:a:1 language=fra -metadata:s:a:1 title=Backing";
    char made[600], templated[600];
    std::snprintf(made, sizeof made, args, "testsrc", 2, 440, 2, 660, 2);
    std::snprintf(templated, sizeof templated, args, "testsrc2", 1, 330, 1, 550, 1);
    const std::string original = MakeClip("two_sounds.mov", made);
    const mr::TemplateLayout layout = LoadTemplate(MakeClip("two_sounds_template.mov", templated));
    ASSERT_EQ(layout.Sounds().size(), 2u);
    const repairclips::Layout o = ReadLayout(original);
    ASSERT_EQ(o.movie.tracks.size(), 3u);
    mr::RecoveredMedia media;
    media.video = VideoSamples(o.movie.tracks[0]);
    std::vector<mr::RecoveredSoundChunk> first = SoundChunks(o.movie.tracks[1], layout.Sounds()[0], 0, nullptr);
    std::vector<mr::RecoveredSoundChunk> second = SoundChunks(o.movie.tracks[2], layout.Sounds()[1], 1, nullptr);
    ASSERT_GE(second.size(), 6u);
    const size_t gone = second.size() / 2;
    const Lost lost{uint64_t(second[gone].time), uint64_t(second[gone + 1].time)};
    second.erase(second.begin() + long(gone));
    media.sound = first;
    media.sound.insert(media.sound.end(), second.begin(), second.end());
    std::sort(media.sound.begin(), media.sound.end(), [](const auto& a, const auto& b) { return a.offset < b.offset; });
    const fs::path folder = repairclips::ClipFolder() / ("writer-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string repaired = (folder / "two-sounds-repaired.mov").string();
    WriteRepaired(layout, o.file, media, repaired);

    EXPECT_EQ(Probe(repaired, "stream=codec_type:stream_tags=handler_name,language"),
              "stream|codec_type=video|tag:handler_name=VideoHandler\nstream|codec_type=audio|tag:handler_name=Left\n"
              "stream|codec_type=audio|tag:language=fra|tag:handler_name=Right\n");
    const Bytes bytes = repairclips::Load(repaired);
    const std::string name = "nameBacking";  // the track's user data
    movie::Movie r;
    ASSERT_EQ(movie::ReadMovieFile(repaired, r), movie::ReadResult::Ok);
    const auto at = std::search(bytes.begin(), bytes.end(), name.begin(), name.end());
    EXPECT_TRUE(at != bytes.end() && at - bytes.begin() > long(r.moovOffset)) << "the second sound track's name is kept";
    ExpectSilenceInPlace(Decoded(original, 0), Decoded(repaired, 0), 1, {}, 0, 0, "the first track, whole");
    ExpectSilenceInPlace(Decoded(original, 1), Decoded(repaired, 1), 1, {lost}, 0, 0, "the second track");
    ExpectSilenceInPlace(OwnDecoded(original, 2, 48000, 1), OwnDecoded(repaired, 2, 48000, 1), 1, {lost}, 0, 0,
                         "the second track, our decoder");
    fs::remove_all(folder);
}
