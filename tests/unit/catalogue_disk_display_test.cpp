#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "catalogue/DiskDisplay.h"

namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

ClipRecord Clip(uint64_t size, int32_t seconds)
{
    ClipRecord record;
    record.size = size;
    record.seconds = seconds;
    return record;
}

TEST(RemainingTimeTest, EstimatesFromClipsOrDefaultRate)
{
    const std::vector<ClipRecord> none;
    const std::vector<ClipRecord> two = {Clip(1073741824, 290), Clip(536870912, 150)}; // 3660483 B/s
    EXPECT_EQ(FormatRemainingTime(10737418240, none), "00:47:24");
    EXPECT_EQ(FormatRemainingTime(2147483648, none), "00:09:28");
    EXPECT_EQ(FormatRemainingTime(7516192768, two), "00:34:13");
    EXPECT_EQ(FormatRemainingTime(0, none), "00:00:00");
    EXPECT_EQ(FormatRemainingTime(0, two), "00:00:00");
}

TEST(RemainingTimeTest, UnusableRatesFallBackToDefault)
{
    // 10737418240 bytes at the default rate: 2844 s.
    const uint64_t free = 10737418240;
    // Exactly one second of clips: the rate equals the total size.
    EXPECT_EQ(FormatRemainingTime(free, {Clip(1000000, 1)}), "00:47:24");
    // Clips shorter than a second in total (T = 0 is taken as 1).
    EXPECT_EQ(FormatRemainingTime(free, {Clip(5000000, 0), Clip(7000000, 0)}), "00:47:24");
    // No bytes at all: rate 0 equals the total 0.
    EXPECT_EQ(FormatRemainingTime(free, {Clip(0, 100)}), "00:47:24");
    // Two seconds of clips give a real rate: 500000 B/s.
    EXPECT_EQ(FormatRemainingTime(free, {Clip(1000000, 2)}), "05:57:54");
}

TEST(RemainingTimeTest, WholeSecondsAtTheDefaultRateAreNotCutShort)
{
    // 18874368 bytes is 5 s at 3.6 MiB/s; the quotient in double precision is exactly 5.
    EXPECT_EQ(FormatRemainingTime(18874368, {}), "00:00:05");
    EXPECT_EQ(FormatRemainingTime(18874368ull * 1000, {}), "01:23:20");
    EXPECT_EQ(FormatRemainingTime(18874368ull * 123457, {}), "171:28:05");
}

TEST(RemainingTimeTest, ZeroRateGivesZeroTimeWithoutDividing)
{
    // Fewer bytes than seconds: whole rate 0, but the total is not 0.
    EXPECT_EQ(FormatRemainingTime(10737418240, {Clip(50, 100)}), "00:00:00");
    EXPECT_EQ(FormatRemainingTime(kMax, {Clip(1, 2)}), "00:00:00");
}

TEST(RemainingTimeTest, HugeTimesKeepCountingHours)
{
    // 1 byte per second: the time is the free byte count itself, far beyond 2^31 s.
    EXPECT_EQ(FormatRemainingTime(uint64_t{1} << 40, {Clip(2, 2)}), "305419896:36:16");
    // The whole 64-bit range: t is 2^64 as a double and saturates.
    EXPECT_EQ(FormatRemainingTime(kMax, {Clip(2, 2)}), "5124095576030431:00:15");
}

TEST(RemainingTimeTest, NegativeSecondsAndOverflowingSizesAreContained)
{
    // A negative duration adds nothing: the rate is that of the other clip (1000 B/s).
    EXPECT_EQ(FormatRemainingTime(3600000, {Clip(10000, 10), Clip(0, -5)}), "01:00:00");
    // Sizes that would wrap the sum saturate instead of giving a small rate.
    // (A wrapped sum of 1 byte would give rate 0 and 00:00:00.)
    EXPECT_EQ(FormatRemainingTime(kMax, {Clip(kMax, 1), Clip(2, 1)}), "00:00:02");
}

TEST(DiskPercentTest, TruncatedFreeShare)
{
    EXPECT_EQ(DiskPercent(10737418240, 42949672960), 25);
    EXPECT_EQ(DiskPercent(0, 42949672960), 0);
    EXPECT_EQ(DiskPercent(42949672960, 42949672960), 100);
    EXPECT_EQ(DiskPercent(42949672959, 42949672960), 99);
    EXPECT_EQ(DiskPercent(1, 3), 33);
    EXPECT_EQ(DiskPercent(2, 3), 66);
}

TEST(DiskPercentTest, EdgeTotals)
{
    EXPECT_EQ(DiskPercent(0, 0), 0);
    EXPECT_EQ(DiskPercent(5, 0), 0);
    EXPECT_EQ(DiskPercent(7, 5), 100);
    EXPECT_EQ(DiskPercent(kMax, kMax), 100);
}

TEST(DiskPercentTest, ExactWhereFreeTimesHundredWouldWrap)
{
    EXPECT_EQ(DiskPercent(kMax / 2, kMax), 49); // (2^63 - 1) * 100 / (2^64 - 1) = 49.99...
    EXPECT_EQ(DiskPercent(kMax - 1, kMax), 99);
    EXPECT_EQ(DiskPercent(kMax / 4 * 3, kMax / 4 * 4), 75);
    EXPECT_EQ(DiskPercent((kMax / 100) * 33 + 7, kMax / 100 * 100), 33);
    EXPECT_EQ(DiskPercent(uint64_t{1} << 62, (uint64_t{1} << 62) + 1), 99);
}

TEST(DiskSpaceTextTest, JoinsTimeSizeAndSuffix)
{
    EXPECT_EQ(DiskSpaceText(10737418240, {}, " free"), "00:47:24, 10.000 GB free");
    EXPECT_EQ(DiskSpaceText(0, {}, " frei"), "00:00:00, 0.000 bytes frei");
}

} // namespace
