// Playback logic without a window: the transport, the clock, the bar's geometry and texts.
#include <gtest/gtest.h>

#include <vector>

#include "movie/playback/ControlBarLayout.h"
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

}  // namespace
