// The repair of damaged copies of device-like clips: cut at many points, the 'mdat' size 0,
// preallocated past the end or garbage, a zeroed tail and zeros inside. The repaired clip must
// hold every whole frame before the damage, byte for byte the original's, and the sound up to
// there; the damaged file stays as it was and nothing but the repaired clip is left beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "ffmpeg_reference.h"
#include "movie/container/MovieReader.h"
#include "movie/decode/SoundDecoder.h"
#include "movie/decode/VideoDecoder.h"
#include "movie/repair/MediaWalker.h"
#include "movie_builders.h"
#include "repair_clips.h"

using namespace repairclips;

namespace {

struct Damage {
    std::string name;
    Bytes file;
    uint64_t cut;                      // media after this offset is gone
    uint64_t zeroFrom = 0, zeroTo = 0;  // a stretch of zeros inside
    bool recoverable = true;
};

bool Spoiled(const Piece& p, const Damage& d) { return p.offset < d.zeroTo && p.offset + p.size > d.zeroFrom; }

// Every damage kind for one clip. `at` is a point two thirds into the media, inside a video frame.
std::vector<Damage> Damages(const Layout& l) {
    const Bytes& f = l.file;
    auto cutAt = [&f](uint64_t n) { return Bytes(f.begin(), f.begin() + long(n)); };
    std::vector<Damage> d;
    const Piece& midVideo = l.video[l.video.size() / 2];
    d.push_back({"cut inside a video frame", cutAt(midVideo.offset + midVideo.size / 2), midVideo.offset + midVideo.size / 2});
    // The middle of a sound chunk: halfway between a sound sample and the next video sample.
    const Piece& sound = l.sound[l.sound.size() / 2];
    uint64_t nextVideo = l.mdatEnd;
    for (const Piece& v : l.video)
        if (v.offset > sound.offset) {
            nextVideo = v.offset;
            break;
        }
    const uint64_t inSound = sound.offset + (nextVideo - sound.offset) / 2;
    d.push_back({"cut inside a sound chunk", cutAt(inSound), inSound});
    d.push_back({"cut right after the mdat header", cutAt(l.mdatHeader + 8), l.mdatHeader + 8, 0, 0, false});
    d.push_back({"cut at the last byte", cutAt(l.mdatEnd - 1), l.mdatEnd - 1});
    d.push_back({"the whole media without its movie header", cutAt(l.mdatEnd), l.mdatEnd});

    const Piece& late = l.video[l.video.size() * 2 / 3];
    const uint64_t at = late.offset + late.size / 2;
    for (const auto& [name, size] : {std::pair<const char*, uint32_t>{"mdat size 0", 0},
                                     {"mdat size preallocated past the end", 0x7FFF0000},
                                     {"mdat size garbage", 0x00001234}}) {
        Damage x{name, cutAt(at), at};
        Put32(x.file, l.mdatHeader, size);
        d.push_back(x);
    }
    Damage tail{"a zeroed tail", cutAt(at), at};
    Put32(tail.file, l.mdatHeader, uint32_t(std::min<uint64_t>(tail.file.size() + (3u << 20), 0xFFFFFFF0)));
    tail.file.resize(tail.file.size() + (3u << 20), 0);
    d.push_back(tail);
    // Three frames and what lies between them never written.
    const size_t k = l.video.size() / 3;
    Damage zeros{"zeros inside", cutAt(at), at, l.video[k].offset, l.video[k + 3].offset};
    std::fill(zeros.file.begin() + long(zeros.zeroFrom), zeros.file.begin() + long(zeros.zeroTo), 0);
    Put32(zeros.file, l.mdatHeader, 0);
    d.push_back(zeros);
    return d;
}

class RepairDamagedClip : public ::testing::TestWithParam<Pair> {};

TEST_P(RepairDamagedClip, BringsBackEveryWholeFrameBeforeTheDamage) {
    const Pair& pair = GetParam();
    const std::string original = PairClip(pair), templateClip = PairClip(pair, true);
    const Layout o = ReadLayout(original);
    ASSERT_GT(o.video.size(), 30u);
    const bool mpeg4 = std::string(pair.name).rfind("mpeg4", 0) == 0;
    const movie::Track& videoTrack = o.movie.tracks[size_t(movie::FindTrack(o.movie, movie::TrackKind::Video))];
    uint32_t videoDelta = videoTrack.stts[0].delta;
    const bool reordering = mpeg4 || std::string(pair.name).rfind("h264", 0) == 0;

    for (const Damage& d : Damages(o)) {
        SCOPED_TRACE(std::string(pair.name) + ": " + d.name);
        TempFolder folder;
        const std::string damaged = folder / "Clip.mov", repaired = folder / "Clip-repaired.mov";
        Save(damaged, d.file);
        const Outcome r = ClipRepair({damaged, "--like", templateClip});
        EXPECT_EQ(Load(damaged), d.file) << "the damaged file was changed";
        if (!d.recoverable) {
            EXPECT_EQ(r.status, 1) << r.out << r.err;
            EXPECT_NE(r.err.find("nothing can be recovered"), std::string::npos) << r.err;
            EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
            continue;
        }
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 2)
            << "only the repaired clip is added";

        // Expected: each whole video frame before the cut and outside the zeros (an MPEG-4 frame's
        // end shows only by the sound that follows it), but for H.264 and MPEG-4 none after the
        // zeros before the next key frame (they refer to frames that are lost); and the sound up
        // to the last of them.
        std::vector<Piece> frames, sound;
        bool waitForKey = false;
        for (size_t i = 0; i < o.video.size(); ++i) {
            const Piece& v = o.video[i];
            if (reordering && d.zeroTo > 0 && v.offset >= d.zeroTo && !waitForKey && (i == 0 || o.video[i - 1].offset < d.zeroTo))
                waitForKey = true;
            movie::SampleInfo info;
            videoTrack.Sample(i, info);
            if (waitForKey && info.keyFrame) waitForKey = false;
            if (v.offset + v.size + (mpeg4 ? 68 : 0) <= d.cut && !Spoiled(v, d) && !waitForKey) frames.push_back(v);
        }
        for (const Piece& s : o.sound)
            if (!Spoiled(s, d) && s.offset < d.cut) sound.push_back(s);
        ASSERT_FALSE(frames.empty());
        uint64_t soundBefore = 0;
        for (const Piece& s : sound)
            if (s.offset + s.size <= frames.back().offset) soundBefore += s.size;

        const Layout r2 = ReadLayout(repaired);
        ASSERT_EQ(r2.video.size(), frames.size()) << r.out;
        for (size_t i = 0; i < frames.size(); ++i)
            ASSERT_EQ(Slice(r2.file, r2.video[i]), Slice(o.file, frames[i])) << "frame " << i;
        // The sound copied from the damaged file (the silence standing for lost sound follows the
        // copied media) is the original's, in order.
        unsigned long long recovered = 0, cutOff = 0, skipped = 0;
        ASSERT_EQ(std::sscanf(r.out.c_str() + r.out.find("media:"),
                              "media: %llu bytes recovered %llu bytes of a cut-off last sample dropped %llu bytes skipped",
                              &recovered, &cutOff, &skipped),
                  3);
        std::vector<Piece> copiedSound;
        for (const Piece& p : r2.sound)
            if (p.offset < r2.mdatData + recovered) copiedSound.push_back(p);
        const Bytes gotSound = Joined(r2.file, copiedSound), allSound = Joined(o.file, sound);
        EXPECT_GE(gotSound.size(), soundBefore) << "sound is missing before the last frame";
        ASSERT_LE(gotSound.size(), allSound.size());
        EXPECT_TRUE(std::equal(gotSound.begin(), gotSound.end(), allSound.begin())) << "the sound differs";

        // The headers say what was recovered: the video lasts as the original's up to the end of
        // the last frame recovered (frames lost inside are held, not dropped from the time line).
        const movie::Track& v = r2.movie.tracks[size_t(movie::FindTrack(r2.movie, movie::TrackKind::Video))];
        const auto presentedEnd = [](const movie::Movie& m, const movie::Track& t, const std::vector<Piece>& kept) {
            std::set<uint64_t> offsets;
            for (const Piece& p : kept) offsets.insert(p.offset);
            const int64_t edit = t.hasEditList && !t.edits.empty() ? t.edits[0].mediaTime : 0;
            int64_t last = 0;
            movie::SampleInfo s;
            for (size_t n = 0; n < t.SampleCount() && t.Sample(n, s); ++n)
                if (offsets.count(s.offset))
                    last = std::max<int64_t>(last, int64_t(s.time) + s.compositionOffset - edit + s.duration);
            return double(last) / t.mediaTimeScale;
            (void)m;
        };
        EXPECT_NEAR(double(v.PresentationDuration()) / r2.movie.timeScale, presentedEnd(o.movie, videoTrack, frames),
                    1.0 / videoTrack.mediaTimeScale + 1.0 / r2.movie.timeScale);
        (void)videoDelta;
        uint64_t longest = 0;
        for (const movie::Track& t : r2.movie.tracks) {
            EXPECT_EQ(t.duration, t.PresentationDuration());
            longest = std::max(longest, t.duration);
        }
        EXPECT_EQ(r2.movie.duration, longest);
        EXPECT_NE(r.out.find("  video:    " + std::to_string(frames.size()) + " frames"), std::string::npos) << r.out;
        // Every byte of the media is told: recovered, cut off or skipped; the new media is what
        // was recovered and the silence after it.
        EXPECT_EQ(recovered + cutOff + skipped, d.file.size() - o.mdatHeader - 8);
        uint64_t copied = 0;
        for (const Piece& p : r2.video) copied += p.size;
        for (const Piece& p : copiedSound) copied += p.size;
        EXPECT_EQ(recovered, copied);
        EXPECT_EQ(r.out.find("silence") == std::string::npos, r2.mdatEnd - r2.mdatData == recovered) << r.out;
    }
}

// The ffmpeg command's frames of a clip in the order it presents them: each frame's MD5 and the
// index of the sample it came from (by the sample's file offset).
std::vector<std::pair<size_t, std::string>> PresentedFrames(const std::string& clip, const std::vector<Piece>& samples) {
    std::map<uint64_t, size_t> index;
    for (size_t i = 0; i < samples.size(); ++i) index[samples[i].offset] = i;
    const Bytes md5 = reference::Ffmpeg("-i '" + clip + "' -map 0:v:0 -fps_mode passthrough -f framemd5 -");
    const std::string probe =
        "ffprobe -v error -select_streams v:0 -show_entries frame=pkt_pos -of default=noprint_wrappers=1 '" + clip + "'";
    std::vector<uint64_t> offsets;
    if (FILE* pipe = popen(probe.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, pipe))
            if (std::strncmp(line, "pkt_pos=", 8) == 0) offsets.push_back(std::strtoull(line + 8, nullptr, 10));
        pclose(pipe);
    }
    std::vector<std::pair<size_t, std::string>> frames;
    std::istringstream lines(std::string(md5.begin(), md5.end()));
    size_t n = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::string hash = line.substr(line.find_last_of(' ') + 1);
        const size_t sample = n < offsets.size() && index.count(offsets[n]) ? index[offsets[n]] : SIZE_MAX;
        frames.push_back({sample, hash});
        ++n;
    }
    EXPECT_EQ(n, offsets.size()) << clip;
    return frames;
}

// The movie time in the middle of sample n's presentation, through the track's edit.
uint64_t MidPresentation(const movie::Movie& m, const movie::Track& t, size_t n) {
    movie::SampleInfo s;
    EXPECT_TRUE(t.Sample(n, s));
    const int64_t start = t.hasEditList && !t.edits.empty() ? t.edits[0].mediaTime : 0;
    const int64_t media = int64_t(s.time) + s.compositionOffset - start + s.duration / 2;
    return uint64_t(media) * m.timeScale / t.mediaTimeScale;
}

std::vector<int16_t> SoundOf(const std::string& clip, int rate) {
    const Bytes raw = reference::Ffmpeg("-i '" + clip + "' -map 0:a:0 -ar " + std::to_string(rate) + " -f s16le -");
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    return samples;
}

TEST_P(RepairDamagedClip, ItsFramesAndSoundDecodeAsTheOriginalsDo) {
    const Pair& pair = GetParam();
    const std::string original = PairClip(pair), templateClip = PairClip(pair, true);
    const Layout o = ReadLayout(original);
    const Piece& v = o.video[o.video.size() * 3 / 5];
    TempFolder folder;
    const std::string damaged = folder / "Clip.mov", repaired = folder / "Clip-repaired.mov";
    Save(damaged, Bytes(o.file.begin(), o.file.begin() + long(v.offset + v.size / 2)));
    const Outcome r = ClipRepair({damaged, "--like", templateClip});
    ASSERT_EQ(r.status, 0) << r.err;
    const Layout fixed = ReadLayout(repaired);
    const size_t n = fixed.video.size();
    ASSERT_GT(n, o.video.size() / 2);

    // ffmpeg presents the repaired clip's frames as it presents those samples of the original.
    std::vector<std::pair<size_t, std::string>> expected;
    for (const auto& f : PresentedFrames(original, o.video))
        if (f.first < n) expected.push_back(f);
    EXPECT_EQ(PresentedFrames(repaired, fixed.video), expected);

    // So do our own reader and decoders, frame by frame.
    const int vo = movie::FindTrack(o.movie, movie::TrackKind::Video), vr = movie::FindTrack(fixed.movie, movie::TrackKind::Video);
    movie::VideoDecoder a(o.movie, movie::FileSource::Open(original), vo), b(fixed.movie, movie::FileSource::Open(repaired), vr);
    ASSERT_TRUE(a.Supported() && b.Supported());
    for (size_t i = 0; i < n; ++i) {
        movie::VideoDecoder::Picture pa, pb;
        ASSERT_EQ(a.FrameAt(MidPresentation(o.movie, o.movie.tracks[size_t(vo)], i), 64, 48, pa), movie::VideoDecoder::Status::Shown);
        ASSERT_EQ(b.FrameAt(MidPresentation(fixed.movie, fixed.movie.tracks[size_t(vr)], i), 64, 48, pb),
                  movie::VideoDecoder::Status::Shown);
        ASSERT_EQ(pa.sample, i);
        ASSERT_EQ(pb.sample, i);
        ASSERT_EQ(std::memcmp(pa.pixels, pb.pixels, 64 * 48 * 4), 0) << "frame " << i;
    }

    // The sound decodes to the original's up to where it stops.
    const std::vector<int16_t> whole = SoundOf(original, pair.soundRate), back = SoundOf(repaired, pair.soundRate);
    ASSERT_GT(back.size(), size_t(pair.soundRate));
    ASSERT_LE(back.size(), whole.size());
    EXPECT_TRUE(std::equal(back.begin(), back.end(), whole.begin()));
}

// JPEG images of half the template's height, as interlaced cameras store their two fields.
std::vector<Bytes> FieldImages() {
    const Bytes stream = Load(MakeClip("fields.mjpeg", "-f lavfi -i testsrc=size=320x240:rate=30:duration=0.2 -c:v mjpeg -f mjpeg"));
    std::vector<Bytes> images;
    for (size_t i = 0; i + 3 < stream.size(); ++i) {
        if (stream[i] == 0xFF && stream[i + 1] == 0xD8 && stream[i + 2] == 0xFF) images.emplace_back();
        if (!images.empty()) images.back().push_back(stream[i]);
    }
    images.back().insert(images.back().end(), stream.end() - 3, stream.end());
    return images;
}

// The samples a walk finds in `media` with a video-only template of codec `codec` (320x480).
movie::repair::RecoveredMedia WalkFields(const char* codec, const Bytes& media) {
    moviebuild::MovieLayout layout;
    layout.tracks[0].sampleEntry = moviebuild::VideoEntry(codec, 320, 480);
    const Bytes file = moviebuild::BuildMovie(layout);
    movie::Movie m;
    EXPECT_EQ(moviebuild::Read(file, m), movie::ReadResult::Ok);
    movie::repair::TemplateLayout t;
    std::string why;
    EXPECT_TRUE(t.Build(m, Bytes(file.begin() + long(m.moovOffset), file.begin() + long(m.moovOffset + m.moovSize)), why))
        << why;
    movie::MemorySource source(media.data(), media.size());
    movie::repair::MediaWindow window(source);
    movie::repair::MediaWalker walker(t, window);
    movie::repair::RecoveredMedia found;
    walker.Walk(0, media.size(), media.size(), found);
    return found;
}

TEST(RepairMotionJpeg, FindsBothFieldsOfASample) {
    const std::vector<Bytes> f = FieldImages();
    ASSERT_GE(f.size(), 6u);
    // 'mjpa': the second field right after the first, past zero padding, or where the first
    // field's APP1 'mjpg' header says; the last sample is cut inside its second field.
    Bytes media;
    std::vector<uint64_t> sizes;
    for (int i = 0; i < 3; ++i) {
        const size_t before = media.size();
        Bytes first = f[size_t(2 * i)];
        if (i == 1) {
            Bytes app1 = moviebuild::Cat({moviebuild::U16(0xFFE1), moviebuild::U16(2 + 40), moviebuild::Zeros(4),
                                          moviebuild::Type("mjpg"), moviebuild::Zeros(8)});
            const uint32_t next = uint32_t(first.size() + app1.size() + 6);
            moviebuild::Append(app1, moviebuild::Cat({moviebuild::U32(next), moviebuild::Zeros(20)}));
            first.insert(first.begin() + 2, app1.begin(), app1.end());
        }
        moviebuild::Append(media, first);
        media.resize(media.size() + (i == 1 ? 6 : 2), 0);
        moviebuild::Append(media, f[size_t(2 * i + 1)]);
        sizes.push_back(media.size() - before);
    }
    const size_t cutAt = media.size() + f[0].size() + f[1].size() / 2;
    moviebuild::Append(media, f[0]);
    moviebuild::Append(media, f[1]);
    media.resize(cutAt);
    movie::repair::RecoveredMedia found = WalkFields("mjpa", media);
    ASSERT_EQ(found.video.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(found.video[i].size, sizes[i]) << i;
    EXPECT_EQ(found.videoHeight, 480u);
    EXPECT_EQ(found.cutOffBytes, cutAt - (sizes[0] + sizes[1] + sizes[2]));

    // 'mjpb': no markers; each field's header gives its padded size and where the next field is.
    auto field = [](uint32_t padded, uint32_t next, uint8_t fill) {
        Bytes b = moviebuild::Cat({moviebuild::Zeros(4), moviebuild::Type("mjpg"), moviebuild::U32(padded - 10),
                                   moviebuild::U32(padded), moviebuild::U32(next), moviebuild::U32(0), moviebuild::U32(0),
                                   moviebuild::U32(36), moviebuild::U32(50),
                                   // frame header at 36: length, precision, height, width
                                   moviebuild::U16(11), moviebuild::U8(8), moviebuild::U16(240), moviebuild::U16(320)});
        b.resize(padded, fill);
        return b;
    };
    Bytes b = moviebuild::Cat({field(1000, 1000, 1), field(1200, 0, 2), field(900, 904, 3), moviebuild::Zeros(4),
                               field(800, 0, 4), field(1000, 1000, 5)});
    found = WalkFields("mjpb", b);
    ASSERT_EQ(found.video.size(), 2u);
    EXPECT_EQ(found.video[0].size, 2200u);
    EXPECT_EQ(found.video[1].size, 1704u);
    EXPECT_EQ(found.cutOffBytes, 1000u);  // its second field is missing
}

INSTANTIATE_TEST_SUITE_P(Pairs, RepairDamagedClip, ::testing::ValuesIn(kPairs),
                         [](const ::testing::TestParamInfo<Pair>& p) { return std::string(p.param.name); });

}  // namespace
