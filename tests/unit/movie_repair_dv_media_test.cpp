// cliprepair on a cut-off DV clip alone in its folder: the layout read from the media must give the
// clip its template gives (the same samples, sound format and times), sound that cannot be told
// for certain is left out and the report says so, and video recorded alone stays alone.
#include <gtest/gtest.h>

#include <cmath>

#include "movie/repair/template/TemplateLayout.h"
#include "repair_clips.h"

using namespace repairclips;

namespace {

// `clip` cut off inside the frame 80% of the way through, saved as `file`.
void CutAt80(const std::string& clip, const std::string& file) {
    const Layout o = ReadLayout(clip);
    const Piece& v = o.video[o.video.size() * 4 / 5];
    Save(file, Bytes(o.file.begin(), o.file.begin() + long(v.offset + 5000)));
}

const movie::Track* TrackOf(const Layout& l, movie::TrackKind kind) {
    const int i = movie::FindTrack(l.movie, kind);
    return i < 0 ? nullptr : &l.movie.tracks[size_t(i)];
}

// Each sample's place, bytes and time in seconds.
struct Samples {
    std::vector<Piece> pieces;
    std::vector<double> times;
};
Samples SamplesOf(const movie::Track& t) {
    Samples s;
    movie::SampleInfo info;
    for (size_t n = 0; n < t.SampleCount() && t.Sample(n, info); ++n) {
        s.pieces.push_back({info.offset, info.size});
        s.times.push_back(double(info.time) / t.mediaTimeScale);
    }
    return s;
}

// The repaired clip without a template against the one with it, track kind by track kind.
void ExpectSameClip(const std::string& withTemplate, const std::string& own) {
    const Layout a = ReadLayout(withTemplate), b = ReadLayout(own);
    ASSERT_EQ(a.movie.tracks.size(), b.movie.tracks.size());
    for (movie::TrackKind kind : {movie::TrackKind::Video, movie::TrackKind::Sound}) {
        const movie::Track *x = TrackOf(a, kind), *y = TrackOf(b, kind);
        ASSERT_TRUE(x && y);
        EXPECT_EQ(x->codec, y->codec);
        EXPECT_EQ(x->sampleWidth, y->sampleWidth);
        EXPECT_EQ(x->sampleHeight, y->sampleHeight);
        EXPECT_EQ(x->channels, y->channels);
        EXPECT_EQ(x->sampleBits, y->sampleBits);
        EXPECT_EQ(x->sampleRate, y->sampleRate);
        const Samples sx = SamplesOf(*x), sy = SamplesOf(*y);
        ASSERT_EQ(sx.pieces.size(), sy.pieces.size());
        EXPECT_EQ(Joined(a.file, sx.pieces), Joined(b.file, sy.pieces)) << "the samples' bytes";
        for (size_t i = 0; i < sx.times.size(); ++i)
            if (std::fabs(sx.times[i] - sy.times[i]) > 1e-6) {
                ADD_FAILURE() << "sample " << i << " at " << sy.times[i] << " s, with the template at " << sx.times[i];
                break;
            }
        EXPECT_NEAR(double(x->mediaDuration) / x->mediaTimeScale, double(y->mediaDuration) / y->mediaTimeScale, 1e-6);
    }
}

}  // namespace

TEST(ClipRepairWithoutTemplate, DvGivesTheClipItsTemplateGives) {
    // PAL with big-endian sound, NTSC with little-endian, DVCPRO50.
    for (const char* name : {"dv625_twos", "dv525_sowt", "dv50_twos"}) {
        SCOPED_TRACE(name);
        TempFolder alone, given;
        CutAt80(PairClip(PairNamed(name)), alone / "Clip.mov");
        CutAt80(PairClip(PairNamed(name)), given / "Clip.mov");
        const Outcome own = ClipRepair({alone / "Clip.mov"});
        ASSERT_EQ(own.status, 0) << own.err;
        EXPECT_NE(own.out.find("  template: none: layout taken from the media (no healthy clip)\n"), std::string::npos)
            << own.out;
        EXPECT_EQ(own.out.find("left out"), std::string::npos) << own.out;
        EXPECT_NE(own.out.find("0 bytes skipped"), std::string::npos) << own.out;
        const Outcome with = ClipRepair({given / "Clip.mov", "--like", PairClip(PairNamed(name), true)});
        ASSERT_EQ(with.status, 0) << with.err;
        ExpectSameClip(given / "Clip-repaired.mov", alone / "Clip-repaired.mov");
    }
}

TEST(ClipRepairWithoutTemplate, DamageWhereTheSoundIsMeasuredDoesNotMisleadIt) {
    // Two frames and the sound between them overwritten with random bytes, then zeros over three.
    const Layout o = ReadLayout(PairClip(PairNamed("dv625_twos")));
    Bytes file(o.file.begin(), o.file.begin() + long(o.video[44].offset + 5000));
    std::mt19937 random(7);
    for (uint64_t i = o.video[10].offset; i < o.video[12].offset; ++i) file[i] = uint8_t(random());
    std::fill(file.begin() + long(o.video[20].offset), file.begin() + long(o.video[23].offset), 0);
    TempFolder alone, given;
    Save(alone / "Clip.mov", file);
    Save(given / "Clip.mov", file);
    const Outcome own = ClipRepair({alone / "Clip.mov"});
    ASSERT_EQ(own.status, 0) << own.err;
    EXPECT_EQ(own.out.find("left out"), std::string::npos) << own.out;
    const Outcome with = ClipRepair({given / "Clip.mov", "--like", PairClip(PairNamed("dv625_twos"), true)});
    ASSERT_EQ(with.status, 0) << with.err;
    ExpectSameClip(given / "Clip-repaired.mov", alone / "Clip-repaired.mov");
}

TEST(ClipRepairWithoutTemplate, SoundThatCannotBeToldIsLeftOutAndVideoAloneStaysAlone) {
    struct Case {
        const char* file;
        const char* sound;  // ffmpeg's arguments
        const char* why;    // "" where there is no sound
    };
    const Case cases[] = {
        // Silence: every byte zero, no byte order to tell.
        {"dv625_zeros.mov", "-f lavfi -i anullsrc=r=48000:cl=stereo -c:a pcm_s16be", "(its byte order)"},
        // Four channels a track are as many bytes as two tracks of two.
        {"dv625_4ch.mov", "-f lavfi -i sine=frequency=330:sample_rate=32000 -ac 4 -c:a pcm_s16be",
         "(four channels or two tracks of two)"},
        // Two tracks of one channel, their chunks taking turns, read as one of two.
        {"dv625_two_mono.mov",
         "-f lavfi -i sine=frequency=440:sample_rate=48000 -f lavfi -i sine=frequency=660:sample_rate=48000 "
         "-map 0:v -map 1:a -map 2:a -c:a pcm_s16be",
         "(one track of two channels or two of one)"},
        {"dv625_silent.mov", "-an", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string clip =
            MakeClip(c.file, "-f lavfi -i testsrc=size=720x576:rate=25:duration=2 " + std::string(c.sound) +
                                 " -t 2 -c:v dvvideo -pix_fmt yuv420p");
        TempFolder alone;
        CutAt80(clip, alone / "Clip.mov");
        const Outcome r = ClipRepair({alone / "Clip.mov"});
        ASSERT_EQ(r.status, 0) << r.err;
        const bool sound = *c.why != 0;
        EXPECT_EQ(r.out.find("  sound:    left out: its format could not be told for certain\n            " +
                             std::string(c.why) + "\n") != std::string::npos,
                  sound)
            << r.out;
        EXPECT_EQ(r.out.find("sample frames"), std::string::npos) << r.out;
        // Every frame before the cut, the sound between them walked past, not taken for damage.
        EXPECT_NE(r.out.find("video:    40 frames, 1.60 s"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("damage:"), std::string::npos) << r.out;
        const Layout repaired = ReadLayout(alone / "Clip-repaired.mov"), original = ReadLayout(clip);
        ASSERT_EQ(repaired.movie.tracks.size(), 1u);
        ASSERT_EQ(repaired.video.size(), 40u);
        EXPECT_EQ(Joined(repaired.file, repaired.video),
                  Joined(original.file, std::vector<Piece>(original.video.begin(), original.video.begin() + 40)));
    }
}

TEST(ClipRepairWithoutTemplate, ReadsTheSoundsRateChannelsAndByteOrder) {
    struct Case {
        const char* file;
        const char* video;
        const char* sound;
    };
    const Case cases[] = {
        {"dv625_32k_2s.mov", "size=720x576:rate=25", "-ar 32000 -ac 2 -c:a pcm_s16be"},
        {"dv525_44k_mono_2s.mov", "size=720x480:rate=30000/1001", "-ar 44100 -ac 1 -c:a pcm_s16le"},
        {"dv625_48k_mono_2s.mov", "size=720x576:rate=25", "-ar 48000 -ac 1 -c:a pcm_s16be"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string clip = MakeClip(c.file, "-f lavfi -i testsrc=" + std::string(c.video) +
                                                      ":duration=2 -f lavfi -i sine=frequency=440:sample_rate=48000 -t 2 "
                                                      "-c:v dvvideo -pix_fmt " +
                                                      (std::string(c.video).find("480") != std::string::npos ? "yuv411p " : "yuv420p ") +
                                                      c.sound);
        TempFolder alone;
        CutAt80(clip, alone / "Clip.mov");
        const Outcome r = ClipRepair({alone / "Clip.mov"});
        ASSERT_EQ(r.status, 0) << r.err;
        const Layout original = ReadLayout(clip), repaired = ReadLayout(alone / "Clip-repaired.mov");
        const movie::Track *x = TrackOf(original, movie::TrackKind::Sound), *y = TrackOf(repaired, movie::TrackKind::Sound);
        ASSERT_TRUE(x && y) << r.out;
        EXPECT_EQ(movie::repair::CodecName(y->codec), movie::repair::CodecName(x->codec));
        EXPECT_EQ(y->channels, x->channels);
        EXPECT_EQ(y->sampleRate, x->sampleRate);
        EXPECT_EQ(y->sampleBits, 16);
        // The sound up to the cut, byte for byte.
        const Bytes sound = Joined(repaired.file, repaired.sound), before = Joined(original.file, original.sound);
        ASSERT_GT(sound.size(), before.size() / 2);
        EXPECT_TRUE(std::equal(sound.begin(), sound.end(), before.begin()));
    }
}
