// Playback logic without a window: the transport, the clock, the bar's geometry and texts, and
// the stand-in media the Windows tests compare the screen and the sound against.
#include <gtest/gtest.h>

#include <vector>

#include "movie/playback/ControlBarLayout.h"
#include "tests/support/GeneratedMedia.h"
#include "movie/playback/PlaybackClock.h"
#include "movie/playback/Transport.h"

using movie::BarRect;
using movie::ControlBarLayout;
using movie::PlaybackClock;
using movie::Transport;

namespace {

constexpr int64_t kSecond = 1000000;

TEST(Transport, PlaysToTheEndStopsOnTheLastInstantAndStartsOverFromThere) {
    Transport t(1200, 600);  // 2 s
    EXPECT_FALSE(t.Playing());
    ASSERT_TRUE(t.Play());
    EXPECT_FALSE(t.Advance(kSecond / 2));
    EXPECT_EQ(t.Position(), 300);
    EXPECT_EQ(t.ShownTime(), 300);
    EXPECT_TRUE(t.Advance(5 * kSecond));
    EXPECT_FALSE(t.Playing());
    EXPECT_EQ(t.Position(), 1200);
    EXPECT_EQ(t.ShownTime(), 1199) << "the last frame stays, not the time past it";
    EXPECT_FALSE(t.Advance(6 * kSecond)) << "a stopped transport does not move";

    ASSERT_TRUE(t.Play());
    EXPECT_EQ(t.Position(), 0);
    EXPECT_FALSE(t.Advance(kSecond));
    EXPECT_EQ(t.Position(), 600);
}

TEST(Transport, SeeksStayInTheMovieAndPlayingGoesOnFromThem) {
    Transport t(1200, 600);
    t.Seek(-5);
    EXPECT_EQ(t.Position(), 0);
    t.Seek(99999);
    EXPECT_TRUE(t.AtEnd());
    t.Seek(600);
    ASSERT_TRUE(t.Play());
    EXPECT_FALSE(t.Advance(kSecond / 4));
    EXPECT_EQ(t.Position(), 750);
    t.Seek(100);  // the clock restarts with the seek
    EXPECT_FALSE(t.Advance(kSecond / 2));
    EXPECT_EQ(t.Position(), 400);
    t.Pause();
    EXPECT_FALSE(t.Advance(kSecond));
    EXPECT_EQ(t.Position(), 400);
}

TEST(Transport, AMovieOfNoLengthDoesNotPlayAndHugeTimesDoNotOverflow) {
    Transport empty(0, 600);
    EXPECT_FALSE(empty.Play());
    EXPECT_FALSE(empty.Playing());
    EXPECT_EQ(empty.ShownTime(), 0);
    Transport negative(-10, 0);
    EXPECT_EQ(negative.Duration(), 0);

    // Three hours at a 90 kHz scale: the product of microseconds and scale passes 64 bits.
    Transport longMovie(int64_t(90000) * 3 * 3600, 90000);
    EXPECT_EQ(longMovie.FromMicros(int64_t(3) * 3600 * kSecond), int64_t(90000) * 3 * 3600);
    EXPECT_EQ(longMovie.FromMicros(1), 0);
    ASSERT_TRUE(longMovie.Play());
    EXPECT_TRUE(longMovie.Advance(INT64_MAX));
    EXPECT_EQ(longMovie.Position(), longMovie.Duration());
}

TEST(PlaybackClock, WithoutSoundTheCounterRuns) {
    PlaybackClock clock;
    clock.Start(5 * kSecond);
    EXPECT_EQ(clock.Elapsed(5 * kSecond, -1), 0);
    EXPECT_EQ(clock.Elapsed(5 * kSecond + 123456, -1), 123456);
}

TEST(PlaybackClock, FollowsTheDeviceFillsItsStepsAndNeverRunsBackwards) {
    PlaybackClock clock;
    clock.Start(0);
    // The device has played nothing yet: the counter may run ahead by one step, no more.
    EXPECT_EQ(clock.Elapsed(10000, 0), 10000);
    EXPECT_EQ(clock.Elapsed(90000, 0), PlaybackClock::kStepMicros);
    // It starts late: the picture waits for it rather than going back.
    EXPECT_EQ(clock.Elapsed(100000, 20000), PlaybackClock::kStepMicros);
    EXPECT_EQ(clock.Elapsed(130000, 50000), 50000);
    // Between two reports, the counter fills in.
    EXPECT_EQ(clock.Elapsed(150000, 50000), 70000);
    EXPECT_EQ(clock.Elapsed(160000, 120000), 120000);
}

TEST(PlaybackClock, AStalledOrEndedDeviceHandsOverToTheCounter) {
    PlaybackClock stalled;
    stalled.Start(0);
    EXPECT_EQ(stalled.Elapsed(100000, 100000), 100000);
    const int64_t atStall = 100000 + PlaybackClock::kStallMicros;
    const int64_t held = stalled.Elapsed(atStall, 100000);
    EXPECT_EQ(held, 100000 + PlaybackClock::kStepMicros);
    EXPECT_EQ(stalled.Elapsed(atStall + 300000, 100000), held + 300000) << "no jump, then the counter's pace";

    PlaybackClock ended;
    ended.Start(0);
    EXPECT_EQ(ended.Elapsed(500000, 490000), 490000);
    EXPECT_EQ(ended.Elapsed(510000, -1), 500000);
    EXPECT_EQ(ended.Elapsed(900000, -1), 890000);
}

TEST(PlaybackClock, ADeviceFasterThanRealTimeDoesNotHurryThePicture) {
    PlaybackClock clock;
    clock.Start(0);
    EXPECT_EQ(clock.Elapsed(100000, 400000), 100000 + PlaybackClock::kLeadMicros);
    EXPECT_EQ(clock.Elapsed(200000, 800000), 200000 + PlaybackClock::kLeadMicros);
    EXPECT_EQ(clock.Elapsed(300000, -1), 300000 + PlaybackClock::kLeadMicros) << "nor after its sound ended";
}

TEST(ControlBarLayout, ButtonLeftTimeRightSliderBetween) {
    const ControlBarLayout layout(BarRect{470, 385, 828, 415}, 60);
    EXPECT_EQ(layout.Button(), (BarRect{470, 385, 500, 415}));
    EXPECT_EQ(layout.Time(), (BarRect{762, 385, 822, 415}));
    EXPECT_EQ(layout.Slider(), (BarRect{506, 385, 756, 415}));
    EXPECT_EQ(layout.HitTest(471, 386), ControlBarLayout::Part::Button);
    EXPECT_EQ(layout.HitTest(600, 414), ControlBarLayout::Part::Slider);
    EXPECT_EQ(layout.HitTest(790, 400), ControlBarLayout::Part::None);
    EXPECT_EQ(layout.HitTest(600, 415), ControlBarLayout::Part::None);

    // Too narrow for everything: nothing gets a negative size or overlaps the button.
    const ControlBarLayout narrow(BarRect{0, 0, 40, 30}, 200);
    for (const BarRect& r : {narrow.Button(), narrow.Slider(), narrow.Time()}) {
        EXPECT_GE(r.Width(), 0);
        EXPECT_GE(r.left, narrow.Button().left);
    }
    EXPECT_EQ(narrow.TimeAt(20, 600), 0);
}

TEST(ControlBarLayout, TheThumbTravelsTheSliderAndPointsBackToItsTime) {
    const ControlBarLayout layout(BarRect{470, 385, 828, 415}, 60);
    const int64_t duration = 90000 * 125;  // 2:05 at 90 kHz
    const BarRect start = layout.Thumb(0, duration), end = layout.Thumb(duration, duration);
    EXPECT_EQ(start.left, layout.Slider().left);
    EXPECT_EQ(end.right, layout.Slider().right);
    EXPECT_EQ(layout.Thumb(-100, duration), start);
    EXPECT_EQ(layout.Thumb(duration * 2, duration), end);
    EXPECT_EQ(start.Height(), ControlBarLayout::kThumbHeight);
    // One pixel of travel is duration / travel units: a click lands within that of the thumb's time.
    const int64_t pixel = duration / (layout.Slider().Width() - ControlBarLayout::kThumbWidth);
    for (int64_t t : {int64_t(0), duration / 3, duration / 2, duration - 1, duration}) {
        const BarRect thumb = layout.Thumb(t, duration);
        EXPECT_NEAR(double(layout.TimeAt((thumb.left + thumb.right) / 2, duration)), double(t), double(pixel)) << t;
    }
    EXPECT_EQ(layout.TimeAt(0, duration), 0);
    EXPECT_EQ(layout.TimeAt(5000, duration), duration);
    EXPECT_EQ(layout.TimeAt(600, 0), 0);
}

TEST(ControlBarLayout, TimeTextIsMinutesAndSeconds) {
    EXPECT_EQ(movie::TimeText(0, 1200, 600), "0:00 / 0:02");
    EXPECT_EQ(movie::TimeText(599, 1199, 600), "0:00 / 0:01") << "whole seconds, truncated";
    EXPECT_EQ(movie::TimeText(61 * 1000 + 999, 7200 * 1000, 1000), "1:01 / 120:00");
    EXPECT_EQ(movie::TimeText(-5, 3, 0), "0:00 / 0:03");
}

// The stand-in pictures take the movie's own frame times, so timing tests see a real clip's pace.
TEST(GeneratedMedia, PicturesFollowTheClipsFramesAndNameThemByColour) {
    auto clip = std::make_shared<movie::Movie>();
    ASSERT_EQ(movie::ReadMovieFile(std::string(TEST_DATA_DIR) + "/corpus/mjpeg_pcm_600.mov", *clip),
              movie::ReadResult::Ok);
    movie::GeneratedDecoders decoders;
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
    const movie::Rgb top = movie::GeneratedPictures::Top(2), bottom = movie::GeneratedPictures::Bottom(2);
    EXPECT_EQ((std::vector<uint8_t>{pixels[0], pixels[1], pixels[2], pixels[3]}),
              (std::vector<uint8_t>{top.b, top.g, top.r, 0xFF}));
    EXPECT_EQ(pixels[3 * 32 + 12 + 2], bottom.r);
    EXPECT_EQ(pixels[16], 0xEE) << "nothing past the asked width";
    EXPECT_FALSE(pictures->FrameAt(5000, 4, 4, pixels.data(), 32));
    for (size_t a = 0; a < 256; ++a)
        for (size_t b = a + 1; b < 256; ++b) ASSERT_FALSE(movie::GeneratedPictures::Top(a) == movie::GeneratedPictures::Top(b));

    // A movie without tracks gets pictures only when asked, at the fallback rate.
    auto bare = std::make_shared<movie::Movie>();
    bare->timeScale = 1000;
    bare->duration = 1000;
    EXPECT_EQ(decoders.OpenPictures(bare, ""), nullptr);
    movie::GeneratedDecoders::Options options;
    options.withoutTracks = true;
    options.fallbackRate = 30;
    auto uniform = movie::GeneratedDecoders(options).OpenPictures(bare, "");
    ASSERT_NE(uniform, nullptr);
    ASSERT_TRUE(uniform->SpanAt(510, span));
    EXPECT_EQ(span.start, 500);  // frame 15 of 30 a second
    EXPECT_EQ(span.end, 534);
}

TEST(GeneratedMedia, SoundStartsAtTheAskedTimeAndEndsWithTheMovie) {
    movie::GeneratedSound sound(600, 1200, movie::SoundFormat{48000, 2});
    ASSERT_TRUE(sound.Start(300, movie::SoundFormat{8000, 1}));
    std::vector<int16_t> samples(10000);
    ASSERT_EQ(sound.Read(samples.data(), 10000), 10000u);  // 0.5 s of 2 s at 8 kHz: 4000 of 16000 frames
    EXPECT_EQ(samples[0], movie::GeneratedSound::Sample(4000, 0, 8000));
    EXPECT_EQ(sound.Read(samples.data(), 10000), 2000u);
    EXPECT_EQ(samples[1999], movie::GeneratedSound::Sample(15999, 0, 8000));
    EXPECT_EQ(sound.Read(samples.data(), 10), 0u);
    EXPECT_FALSE(sound.Start(0, movie::SoundFormat{48000, 6}));
    // A few frames name their place: no other start within the movie gives the same eight.
    const int64_t at = 777;
    int matches = 0;
    for (int64_t k = 0; k < 96000; ++k) {
        bool same = true;
        for (int i = 0; i < 8 && same; ++i) same = movie::GeneratedSound::Sample(k + i, 1, 48000) == movie::GeneratedSound::Sample(at + i, 1, 48000);
        matches += same;
    }
    EXPECT_EQ(matches, 1);
}

}  // namespace
