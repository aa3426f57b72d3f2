// The program's decoders as the controller sees them: frame spans that tile the movie's time
// (edit lists included), the frame shown anywhere inside a span, what has no source at all, and
// sound started anywhere at any output format.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "movie/container/MovieReader.h"
#include "movie/decode/FfmpegDecoders.h"

namespace {

const std::string kCorpus = std::string(TEST_DATA_DIR) + "/corpus/";

std::shared_ptr<const movie::Movie> Load(const std::string& clip) {
    auto m = std::make_shared<movie::Movie>();
    EXPECT_EQ(movie::ReadMovieFile(kCorpus + clip, *m), movie::ReadResult::Ok) << clip;
    return m;
}

std::vector<uint8_t> Frame(movie::PictureSource& pictures, int64_t time) {
    std::vector<uint8_t> pixels(64 * 48 * 4, 0);
    EXPECT_TRUE(pictures.FrameAt(time, 64, 48, pixels.data(), 64 * 4)) << time;
    return pixels;
}

TEST(DecodedSources, FrameSpansTileTheMovieAndHoldOneFrameEach) {
    movie::FfmpegDecoders decoders;
    // DV PAL: four frames over 0.16 s; H.264 whose edit list starts its presentation at media
    // 0.5 s, between key frames: 15 of its 20 frames are shown.
    for (auto [clip, frames] : {std::pair{"dv_pal_pcm.mov", 4}, std::pair{"h264_edit_late.mov", 15}}) {
        SCOPED_TRACE(clip);
        auto movie = Load(clip);
        auto pictures = decoders.OpenPictures(movie, kCorpus + clip);
        ASSERT_NE(pictures, nullptr);
        const int64_t end = int64_t(movie->duration);
        int count = 0;
        std::vector<uint8_t> previous;
        movie::FrameSpan span;
        for (int64_t t = 0; t < end; t = span.end, ++count) {
            ASSERT_TRUE(pictures->SpanAt(t, span)) << t;
            EXPECT_EQ(span.start, t);
            ASSERT_GT(span.end, t);
            // Asked for in the middle of its span, a frame is the one its span began with.
            movie::FrameSpan middle;
            ASSERT_TRUE(pictures->SpanAt((span.start + span.end - 1) / 2, middle));
            EXPECT_EQ(middle.start, span.start);
            EXPECT_EQ(middle.end, span.end);
            const std::vector<uint8_t> first = Frame(*pictures, span.start);
            EXPECT_EQ(Frame(*pictures, span.end - 1), first);
            EXPECT_NE(first, previous) << "a new span shows a new frame";
            previous = first;
        }
        EXPECT_EQ(count, frames);
        EXPECT_FALSE(pictures->SpanAt(end, span));
        EXPECT_FALSE(pictures->SpanAt(-1, span));
        std::vector<uint8_t> untouched(64 * 48 * 4, 7);
        EXPECT_FALSE(pictures->FrameAt(end, 64, 48, untouched.data(), 64 * 4));
        EXPECT_EQ(untouched, std::vector<uint8_t>(64 * 48 * 4, 7));
    }
}

TEST(DecodedSources, NoSourceWithoutATrackOrAFile) {
    movie::FfmpegDecoders decoders;
    EXPECT_EQ(decoders.OpenPictures(Load("audio_pcm.mov"), kCorpus + "audio_pcm.mov"), nullptr);
    EXPECT_EQ(decoders.OpenSound(Load("mpeg4_1000.mov"), kCorpus + "mpeg4_1000.mov"), nullptr);
    EXPECT_EQ(decoders.OpenPictures(Load("mpeg4_1000.mov"), kCorpus + "missing.mov"), nullptr);
    EXPECT_NE(decoders.OpenPictures(Load("mpeg4_1000.mov"), kCorpus + "mpeg4_1000.mov"), nullptr);
}

TEST(DecodedSources, SoundStartsAnywhereAtTheFormatAskedFor) {
    movie::FfmpegDecoders decoders;
    auto movie = Load("dv_pal_pcm.mov");
    auto sound = decoders.OpenSound(movie, kCorpus + "dv_pal_pcm.mov");
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->Format().rate, 48000);
    EXPECT_EQ(sound->Format().channels, 2);
    const double seconds = double(movie->duration) / movie->timeScale;
    auto total = [&](movie::SoundFormat format) {
        std::vector<int16_t> buffer(1024 * size_t(format.channels));
        size_t frames = 0;
        for (size_t n; (n = sound->Read(buffer.data(), 1024)) > 0;) frames += n;
        return frames;
    };
    for (movie::SoundFormat format : {movie::SoundFormat{48000, 2}, movie::SoundFormat{8000, 1}}) {
        ASSERT_TRUE(sound->Start(0, format));
        EXPECT_NEAR(double(total(format)), seconds * format.rate, format.rate / 100.0);
        ASSERT_TRUE(sound->Start(int64_t(movie->duration) / 2, format));
        EXPECT_NEAR(double(total(format)), seconds * format.rate / 2, format.rate / 100.0);
    }
    EXPECT_FALSE(sound->Start(0, movie::SoundFormat{48000, 6}));
}

}  // namespace
