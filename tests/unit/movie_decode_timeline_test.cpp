// Movie time to media time through edit lists, and the arithmetic under it.
#include <gtest/gtest.h>

#include <limits>

#include "movie/decode/TrackTimeline.h"

using movie::Track;
using movie::TrackTimeline;

namespace {

Track TrackWith(std::vector<Track::Edit> edits, uint32_t mediaScale = 1000) {
    Track t;
    t.mediaTimeScale = mediaScale;
    t.edits = std::move(edits);
    t.hasEditList = !t.edits.empty();
    return t;
}

}  // namespace

TEST(TrackTimeline, MapsSegmentsEmptyEditsAndDwells) {
    // Movie at 600 a second, media at 1000: an empty second, a second of media from 2.5 s, a
    // half-second still at media 0.1 s; a zero-length edit is dropped.
    const TrackTimeline tl(TrackWith({{600, -1, 0x10000}, {0, 7, 0x10000}, {600, 2500, 0x10000}, {300, 100, 0}}), 600);
    ASSERT_EQ(tl.Segments().size(), 3u);
    EXPECT_EQ(tl.End(), 1500u);
    int64_t media = -2;
    EXPECT_FALSE(tl.MediaTimeAt(599, media));
    ASSERT_TRUE(tl.MediaTimeAt(600, media));
    EXPECT_EQ(media, 2500);
    ASSERT_TRUE(tl.MediaTimeAt(900, media));
    EXPECT_EQ(media, 3000);
    ASSERT_TRUE(tl.MediaTimeAt(1499, media));
    EXPECT_EQ(media, 100);
    EXPECT_FALSE(tl.MediaTimeAt(1500, media));

    // Back from media to movie time: rounded up, within the segment holding the start point.
    uint64_t movieTime = 0;
    ASSERT_TRUE(tl.MovieTimeOf(3001, 600, movieTime));
    EXPECT_EQ(movieTime, 901u);  // 900 presents media 3000, 901 presents 3001.6
    EXPECT_FALSE(tl.MovieTimeOf(3600, 600, movieTime));  // past the segment's end
    EXPECT_FALSE(tl.MovieTimeOf(200, 1200, movieTime));  // a still frame never moves on

    // Without an edit list: one segment over the track's duration, or its media's.
    Track plain = TrackWith({});
    plain.mediaDuration = 2000;
    EXPECT_EQ(TrackTimeline(plain, 600).End(), 1200u);
    plain.duration = 900;
    EXPECT_EQ(TrackTimeline(plain, 600).End(), 900u);
}

TEST(TrackTimeline, ScaleTimeIsExactAndNeverWraps) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    EXPECT_EQ(movie::ScaleTime(1001, 48000, 30000), 1601u);
    // Past 64 bits in the product, exact when the result fits.
    EXPECT_EQ(movie::ScaleTime(uint64_t(1) << 62, 600, 90000), (uint64_t(1) << 62) / 150);
    EXPECT_EQ(movie::ScaleTime(kMax, 3, 3), kMax);
    EXPECT_EQ(movie::ScaleTime(kMax, kMax, 1), kMax);  // saturates
    EXPECT_EQ(movie::ScaleTime(5, 7, 0), 0u);
}
