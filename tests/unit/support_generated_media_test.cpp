// The stand-in media the Windows tests compare the screen and the sound against: frames that name
// themselves by colour at the clip's own pace, and a tone that names its place.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "movie/container/MovieReader.h"
#include "tests/support/GeneratedMedia.h"

namespace {

// The stand-in pictures take the movie's own frame times, so timing tests see a real clip's pace.
TEST(GeneratedMedia, PicturesFollowTheClipsFramesAndNameThemByColour) {
    auto clip = std::make_shared<movie::Movie>();
    ASSERT_EQ(movie::ReadMovieFile(std::string(TEST_DATA_DIR) + "/corpus/mjpeg_pcm_600.mov", *clip),
              movie::ReadResult::Ok);
    testsupport::GeneratedDecoders decoders;
    auto pictures = decoders.OpenPictures(clip, "");
    ASSERT_NE(pictures, nullptr);
    movie::FrameSpan span;
    ASSERT_TRUE(pictures->SpanAt(0, span));
    EXPECT_EQ(span.start, 0);
    EXPECT_EQ(span.end, 60);  // 10 frames a second at a 600 scale
    ASSERT_TRUE(pictures->SpanAt(1199, span));
    EXPECT_EQ(span.start, 1140);
    EXPECT_EQ(span.end, 1200);
    EXPECT_FALSE(pictures->SpanAt(1200, span));

    std::vector<uint8_t> pixels(4 * 4 * 8, 0xEE);  // 4 x 4 pixels in rows of 8 pixels
    ASSERT_TRUE(pictures->FrameAt(130, 4, 4, pixels.data(), 32));
    const testsupport::Rgb top = testsupport::GeneratedPictures::Top(2), bottom = testsupport::GeneratedPictures::Bottom(2);
    EXPECT_EQ((std::vector<uint8_t>{pixels[0], pixels[1], pixels[2], pixels[3]}),
              (std::vector<uint8_t>{top.b, top.g, top.r, 0xFF}));
    EXPECT_EQ(pixels[3 * 32 + 12 + 2], bottom.r);
    EXPECT_EQ(pixels[16], 0xEE) << "nothing past the asked width";
    EXPECT_FALSE(pictures->FrameAt(5000, 4, 4, pixels.data(), 32));
    for (size_t a = 0; a < 256; ++a)
        for (size_t b = a + 1; b < 256; ++b) ASSERT_FALSE(testsupport::GeneratedPictures::Top(a) == testsupport::GeneratedPictures::Top(b));

    // A movie without tracks gets pictures only when asked, at the fallback rate.
    auto bare = std::make_shared<movie::Movie>();
    bare->timeScale = 1000;
    bare->duration = 1000;
    EXPECT_EQ(decoders.OpenPictures(bare, ""), nullptr);
    testsupport::GeneratedDecoders::Options options;
    options.withoutTracks = true;
    options.fallbackRate = 30;
    auto uniform = testsupport::GeneratedDecoders(options).OpenPictures(bare, "");
    ASSERT_NE(uniform, nullptr);
    ASSERT_TRUE(uniform->SpanAt(510, span));
    EXPECT_EQ(span.start, 500);  // frame 15 of 30 a second
    EXPECT_EQ(span.end, 534);
}

TEST(GeneratedMedia, SoundStartsAtTheAskedTimeAndEndsWithTheMovie) {
    testsupport::GeneratedSound sound(600, 1200, movie::SoundFormat{48000, 2});
    ASSERT_TRUE(sound.Start(300, movie::SoundFormat{8000, 1}));
    std::vector<int16_t> samples(10000);
    ASSERT_EQ(sound.Read(samples.data(), 10000), 10000u);  // 0.5 s of 2 s at 8 kHz: 4000 of 16000 frames
    EXPECT_EQ(samples[0], testsupport::GeneratedSound::Sample(4000, 0, 8000));
    EXPECT_EQ(sound.Read(samples.data(), 10000), 2000u);
    EXPECT_EQ(samples[1999], testsupport::GeneratedSound::Sample(15999, 0, 8000));
    EXPECT_EQ(sound.Read(samples.data(), 10), 0u);
    EXPECT_FALSE(sound.Start(0, movie::SoundFormat{48000, 6}));
    // A few frames name their place: no other start within the movie gives the same eight.
    const int64_t at = 777;
    int matches = 0;
    for (int64_t k = 0; k < 96000; ++k) {
        bool same = true;
        for (int i = 0; i < 8 && same; ++i) same = testsupport::GeneratedSound::Sample(k + i, 1, 48000) == testsupport::GeneratedSound::Sample(at + i, 1, 48000);
        matches += same;
    }
    EXPECT_EQ(matches, 1);
}

}  // namespace
