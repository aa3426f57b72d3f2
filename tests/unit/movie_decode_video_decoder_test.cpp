// The video decoder against the ffmpeg command's decode of the same frames, plus seeking, edit
// lists, damaged samples and codecs we do not decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <filesystem>

#include "ffmpeg_reference.h"
#include "movie/container/MovieReader.h"
#include "movie/decode/VideoDecoder.h"
#include "movie_builders.h"

using movie::Movie;
using movie::VideoDecoder;
using reference::Bytes;
using reference::kCorpus;

namespace {

struct Clip {
    const char* name;
    double fps;
    int frames;  // presented frames
    int width, height;  // size asked for
};

// Every video clip of the corpus, at the preview size, its own size, and sizes up and down.
const Clip kClips[] = {
    {"dv_pal_pcm.mov", 25, 4, 358, 266},
    {"dv_ntsc_pcm.mov", 30000.0 / 1001, 4, 358, 266},
    {"mjpeg_pcm_600.mov", 10, 20, 160, 120},
    {"mjpeg_pcm_90000_front.mov", 15, 15, 97, 71},
    {"h264_aac_30000.mov", 30, 90, 160, 120},
    {"h264_aac_90000_front.mp4", 25, 50, 320, 240},
    {"mpeg4_1000.mov", 12, 24, 160, 120},
    {"raw_rgb_600.mov", 5, 5, 64, 48},
    {"h264_edit_late.mov", 10, 15, 160, 120},
};

struct Opened {
    Movie movie;
    std::unique_ptr<VideoDecoder> decoder;
};

Opened Open(const std::string& name) {
    Opened o;
    EXPECT_EQ(movie::ReadMovieFile(kCorpus + name, o.movie), movie::ReadResult::Ok) << name;
    o.decoder = std::make_unique<VideoDecoder>(o.movie, movie::FileSource::Open(kCorpus + name));
    return o;
}

// The middle of frame k on the movie timeline.
uint64_t MidFrame(const Movie& m, double fps, int k) { return uint64_t((k + 0.5) / fps * m.timeScale); }

// Our frame k against ffmpeg's frame k, decoded at the same size.
void ExpectFrameMatches(VideoDecoder& d, const Movie& m, const Clip& c, int k) {
    SCOPED_TRACE(std::string(c.name) + " frame " + std::to_string(k));
    VideoDecoder::Picture p;
    ASSERT_EQ(d.FrameAt(MidFrame(m, c.fps, k), c.width, c.height, p), VideoDecoder::Status::Shown);
    ASSERT_EQ(p.width, c.width);
    ASSERT_EQ(p.height, c.height);
    ASSERT_EQ(p.stride, size_t(c.width) * 4);
    const Bytes expected = reference::FrameBgra(c.name, std::max(0.0, k / c.fps - 0.001), c.width, c.height);
    ASSERT_EQ(expected.size(), size_t(c.width) * c.height * 4);
    EXPECT_GE(reference::Psnr(p.pixels, expected.data(), size_t(c.width) * c.height), 40.0);
    for (size_t i = 3; i < expected.size(); i += 4) ASSERT_EQ(p.pixels[i], 0xFF) << "alpha at " << i;
}

}  // namespace

TEST(VideoDecoder, FramesMatchFfmpegForwardsAndBackwards) {
    for (const Clip& c : kClips) {
        Opened o = Open(c.name);
        ASSERT_TRUE(o.decoder->Supported()) << c.name;
        const int mid = c.frames / 2, last = c.frames - 1;
        for (int k : {mid, 0, last, mid + 1 < c.frames ? mid + 1 : 0, 1}) ExpectFrameMatches(*o.decoder, o.movie, c, k);
    }
}

TEST(VideoDecoder, SeeksBetweenKeyFramesToTheFrameAtThatTime) {
    // H.264 with B-frames (reordered) and a single key frame: every request but the first lands
    // between key frames, in both directions.
    const Clip& c = kClips[4];
    Opened o = Open(c.name);
    for (int k : {45, 10, 11, 80, 3, 89, 44}) ExpectFrameMatches(*o.decoder, o.movie, c, k);
}

TEST(VideoDecoder, PlaybackStepsThroughEveryFrameInPresentationOrder) {
    for (const Clip& c : kClips) {
        SCOPED_TRACE(c.name);
        Opened o = Open(c.name);
        VideoDecoder& d = *o.decoder;
        std::vector<size_t> shown;
        VideoDecoder::Picture p;
        for (uint64_t t = 0; t < d.Duration(); t = d.NextFrameTime(t)) {
            ASSERT_EQ(d.FrameAt(t, 32, 24, p), VideoDecoder::Status::Shown) << t;
            shown.push_back(p.sample);
            ASSERT_LT(shown.size(), size_t(c.frames) + 1);
        }
        EXPECT_EQ(shown.size(), size_t(c.frames));
        EXPECT_EQ(std::set<size_t>(shown.begin(), shown.end()).size(), shown.size());  // each frame once
        // Past the end the last frame stays.
        ASSERT_EQ(d.FrameAt(d.Duration() + 1000, 32, 24, p), VideoDecoder::Status::Shown);
        EXPECT_EQ(p.sample, shown.back());
    }
}

TEST(VideoDecoder, EditListStartsThePresentationLater) {
    const Clip& c = kClips[8];
    Opened o = Open(c.name);
    const movie::Track& t = o.movie.tracks[0];
    ASSERT_TRUE(t.hasEditList);
    ASSERT_EQ(t.edits.size(), 1u);
    EXPECT_GT(t.edits[0].mediaTime, 0);
    // The frame at movie time 0 is the media's frame at 0.5 s, not its first frame.
    VideoDecoder::Picture p;
    ASSERT_EQ(o.decoder->FrameAt(0, c.width, c.height, p), VideoDecoder::Status::Shown);
    EXPECT_EQ(p.sample, 5u);
    const size_t pixels = size_t(c.width) * c.height;
    const Bytes mediaStart = reference::FrameBgra(c.name, 0, c.width, c.height, true);
    ASSERT_EQ(mediaStart.size(), pixels * 4);
    EXPECT_LT(reference::Psnr(p.pixels, mediaStart.data(), pixels), 30.0);
    ExpectFrameMatches(*o.decoder, o.movie, c, 0);
    EXPECT_EQ(o.decoder->Duration(), uint64_t(o.movie.timeScale) * 3 / 2);
}

TEST(VideoDecoder, DamagedSamplesAreSkipped) {
    // Motion-JPEG frame 7 overwritten with zeros: no picture start, so the decoder refuses it and
    // frame 6 stays presented; the frames around it still decode.
    const Clip& c = kClips[2];
    Bytes file = reference::ReadFile(kCorpus + c.name);
    Movie m;
    {
        movie::MemorySource probe(file.data(), file.size());
        ASSERT_EQ(movie::ReadMovie(probe, m), movie::ReadResult::Ok);
    }
    movie::SampleInfo s;
    ASSERT_TRUE(m.tracks[0].Sample(7, s));
    std::fill(file.begin() + long(s.offset), file.begin() + long(s.offset + s.size), 0);
    VideoDecoder d(m, std::make_unique<movie::MemorySource>(file.data(), file.size()));
    VideoDecoder::Picture p;
    ASSERT_EQ(d.FrameAt(MidFrame(m, c.fps, 6), 80, 60, p), VideoDecoder::Status::Shown);
    EXPECT_EQ(p.sample, 6u);
    ASSERT_EQ(d.FrameAt(MidFrame(m, c.fps, 7), 80, 60, p), VideoDecoder::Status::Shown);
    EXPECT_EQ(p.sample, 6u);
    ExpectFrameMatches(d, m, c, 8);

    // Straight to the damaged frame: nothing before it was decoded, so there is nothing to show.
    VideoDecoder fresh(m, std::make_unique<movie::MemorySource>(file.data(), file.size()));
    EXPECT_EQ(fresh.FrameAt(MidFrame(m, c.fps, 7), 80, 60, p), VideoDecoder::Status::Failed);

    // H.264 with garbage in a reference frame: concealed or skipped, never a crash.
    const Clip& h = kClips[4];
    file = reference::ReadFile(kCorpus + h.name);
    movie::MemorySource probe(file.data(), file.size());
    ASSERT_EQ(movie::ReadMovie(probe, m), movie::ReadResult::Ok);
    for (size_t n : {0, 5, 30}) {
        ASSERT_TRUE(m.tracks[0].Sample(n, s));
        for (uint64_t i = s.offset + 4; i < s.offset + s.size; i += 3) file[i] ^= 0x5A;
    }
    VideoDecoder broken(m, std::make_unique<movie::MemorySource>(file.data(), file.size()));
    for (int k : {0, 40, 6, 89}) broken.FrameAt(MidFrame(m, h.fps, k), 64, 48, p);
}

TEST(VideoDecoder, CorruptFilesNeverCrashIt) {
    size_t opened = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(TEST_DATA_DIR) + "/bad")) {
        SCOPED_TRACE(entry.path().filename().string());
        Movie m;
        if (movie::ReadMovieFile(entry.path().string(), m) != movie::ReadResult::Ok) continue;
        ++opened;
        VideoDecoder d(m, movie::FileSource::Open(entry.path().string()));
        VideoDecoder::Picture p;
        for (uint64_t t : {uint64_t(0), m.duration / 2, m.duration, uint64_t(0)}) {
            const VideoDecoder::Status s = d.FrameAt(t, 40, 30, p);
            if (s == VideoDecoder::Status::Shown) {
                ASSERT_NE(p.pixels, nullptr);
            }
        }
    }
    EXPECT_GE(opened, 2u);  // the readable-* files
}

TEST(VideoDecoder, ReportsWhatItCannotShow) {
    using namespace moviebuild;
    // A codec we do not decode, and one we do whose sample is no picture.
    MovieLayout layout;
    layout.tracks[0].sampleEntry = VideoEntry("xyz1", 160, 120);
    Bytes file = BuildMovie(layout);
    Movie m;
    ASSERT_EQ(Read(file, m), movie::ReadResult::Ok);
    VideoDecoder unknown(m, std::make_unique<movie::MemorySource>(file.data(), file.size()));
    VideoDecoder::Picture p;
    EXPECT_TRUE(unknown.HasVideo());
    EXPECT_FALSE(unknown.Supported());
    EXPECT_EQ(unknown.Codec(), movie::FourCC("xyz1"));
    EXPECT_EQ(unknown.FrameAt(0, 32, 24, p), VideoDecoder::Status::Unsupported);
    EXPECT_EQ(p.pixels, nullptr);

    layout.tracks[0].sampleEntry = VideoEntry("jpeg", 160, 120);
    file = BuildMovie(layout);
    ASSERT_EQ(Read(file, m), movie::ReadResult::Ok);
    VideoDecoder junk(m, std::make_unique<movie::MemorySource>(file.data(), file.size()));
    EXPECT_TRUE(junk.Supported());
    EXPECT_EQ(junk.FrameAt(0, 32, 24, p), VideoDecoder::Status::Failed);
    EXPECT_EQ(junk.FrameAt(0, 0, 24, p), VideoDecoder::Status::Failed);  // no such picture size

    // A sound-only movie has no video; an empty edit shows nothing.
    Movie sound;
    ASSERT_EQ(movie::ReadMovieFile(kCorpus + "audio_pcm.mov", sound), movie::ReadResult::Ok);
    VideoDecoder none(sound, movie::FileSource::Open(kCorpus + "audio_pcm.mov"));
    EXPECT_FALSE(none.HasVideo());
    EXPECT_EQ(none.FrameAt(0, 32, 24, p), VideoDecoder::Status::Empty);

    layout.tracks[0].edts = Edts(0, {{120, -1}, {240, 0}});
    layout.duration = layout.tracks[0].tkhdDuration = 360;
    file = BuildMovie(layout);
    ASSERT_EQ(Read(file, m), movie::ReadResult::Ok);
    VideoDecoder late(m, std::make_unique<movie::MemorySource>(file.data(), file.size()));
    EXPECT_EQ(late.FrameAt(60, 32, 24, p), VideoDecoder::Status::Empty);
    EXPECT_EQ(late.NextFrameTime(60), 120u);
    EXPECT_FALSE(late.Presents(0));
    EXPECT_FALSE(late.Presents(119));
    EXPECT_TRUE(late.Presents(120));
    EXPECT_TRUE(late.Presents(359));
    EXPECT_FALSE(late.Presents(360)) << "past the track";
    EXPECT_FALSE(none.Presents(0));
}

TEST(VideoDecoder, UncompressedRowsMayBePadded) {
    using namespace moviebuild;
    // 5 x 3 pixels of 24-bit RGB: rows of 15 bytes, stored tight or padded (to 16, or to 18).
    for (uint32_t stride : {15u, 16u, 18u}) {
        SCOPED_TRACE(stride);
        MovieLayout layout;
        layout.tracks[0].sampleEntry = VideoEntry("raw ", 5, 3);
        layout.tracks[0].sampleSizes = {stride * 3};
        layout.tracks[0].width16 = 5u << 16;
        layout.tracks[0].height16 = 3u << 16;
        Bytes file = BuildMovie(layout);
        Movie m;
        ASSERT_EQ(Read(file, m), movie::ReadResult::Ok);
        movie::SampleInfo s;
        ASSERT_TRUE(m.tracks[0].Sample(0, s));
        for (uint32_t y = 0; y < 3; ++y) {
            for (uint32_t x = 0; x < stride; ++x) {
                uint8_t* p = &file[s.offset + y * stride + x];
                *p = x >= 15 ? 0xEE : x % 3 == 0 ? uint8_t(x / 3 * 50) : x % 3 == 1 ? uint8_t(y * 100) : 7;
            }
        }
        VideoDecoder d(m, std::make_unique<movie::MemorySource>(file.data(), file.size()));
        VideoDecoder::Picture p;
        ASSERT_EQ(d.FrameAt(0, 5, 3, p), VideoDecoder::Status::Shown);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                const uint8_t* px = p.pixels + size_t(y) * p.stride + size_t(x) * 4;
                EXPECT_EQ(px[0], 7) << x << "," << y;
                EXPECT_EQ(px[1], y * 100) << x << "," << y;
                EXPECT_EQ(px[2], x * 50) << x << "," << y;
                EXPECT_EQ(px[3], 0xFF);
            }
        }
    }
}
