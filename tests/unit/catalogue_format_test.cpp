#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>
#include <string>

#include "catalogue/Format.h"

namespace {

struct SizeCase {
    uint64_t bytes;
    const char* text;
};

TEST(FormatSizeTest, ShowsLargestUnitWithNextUnitCountAsFraction)
{
    const SizeCase cases[] = {
        {0, "0.000 bytes"},
        {1023, "1023.000 bytes"},
        {1024, "1.000 KB"},
        {1536, "1.512 KB"},
        {1048575, "1024.023 KB"},
        {1572864, "1.512 MB"},
        {1610612736, "1.512 GB"},
        {2146435072, "2.023 GB"},
        {2147483648, "2.000 GB"},
        {4700000000, "4.386 GB"},
        {1099511627776, "1.000 TB"},
        {1099511627776 + 512ull * 1073741824, "1.512 TB"},
    };
    for (const SizeCase& c : cases)
        EXPECT_EQ(FormatSize(c.bytes), c.text) << c.bytes;
}

TEST(FormatSizeTest, LowerUnitsDoNotLeakIntoFraction)
{
    // 1 GB + 1023 KB + 1023 bytes: no whole MB, so the fraction is 0.
    EXPECT_EQ(FormatSize(1073741824ull + 1023 * 1024 + 1023), "1.000 GB");
    // Beyond 4 GiB the whole 64-bit count is used.
    EXPECT_EQ(FormatSize(6ull << 30), "6.000 GB");
}

TEST(FormatSizeTest, LargestCountFitsItsBuffer)
{
    // 2^64 - 1 is 16777215 TB + 1023 GB + ...
    EXPECT_EQ(FormatSize(std::numeric_limits<uint64_t>::max()), "16777216.023 TB");
}

TEST(FormatSizeTest, PointDoesNotFollowTheNumericLocale)
{
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "no de_DE.UTF-8 locale";
    const std::string text = FormatSize(1610612736);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(text, "1.512 GB");
}

TEST(FormatDurationTest, HoursMinutesSecondsWithGrowingHours)
{
    const struct {
        int32_t seconds;
        const char* text;
    } cases[] = {
        {0, "00:00:00"},   {59, "00:00:59"},  {90, "00:01:30"},       {3599, "00:59:59"},
        {3661, "01:01:01"}, {86399, "23:59:59"}, {90000, "25:00:00"}, {360000, "100:00:00"},
        {std::numeric_limits<int32_t>::max(), "596523:14:07"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDuration(c.seconds), c.text) << c.seconds;
}

TEST(FormatDurationTest, NegativeCountsReadAsZero)
{
    EXPECT_EQ(FormatDuration(-1), "00:00:00");
    EXPECT_EQ(FormatDuration(std::numeric_limits<int32_t>::min()), "00:00:00");
    EXPECT_EQ(FormatDuration64(std::numeric_limits<int64_t>::min()), "00:00:00");
}

TEST(FormatDurationTest, SixtyFourBitCountsKeepCountingHours)
{
    EXPECT_EQ(FormatDuration64(int64_t{1} << 31), "596523:14:08");
    EXPECT_EQ(FormatDuration64(std::numeric_limits<int64_t>::max()), "2562047788015215:30:07");
}

} // namespace
