#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "catalogue/ClipRecord.h"
#include "catalogue/Format.h"
#include "catalogue/Selection.h"

namespace {

ClipRecord Clip(const char* name, uint64_t size, int32_t seconds)
{
    ClipRecord record;
    record.name = name;
    record.size = size;
    record.seconds = seconds;
    return record;
}

TEST(ClipCatalogueTest, AppendKeepsOrderAnIdentityOfRecords)
{
    ClipCatalogue catalogue;
    catalogue.Append(Clip("a.mov", 1, 1));
    catalogue.Append(Clip("b.mov", 2, 2));
    catalogue.Append(Clip("c.mov", 3, 3));
    EXPECT_EQ(catalogue.Count(), 3u);
    EXPECT_EQ(catalogue.order, (std::vector<int32_t>{0, 1, 2}));
    catalogue.Clear();
    EXPECT_EQ(catalogue.Count(), 0u);
    EXPECT_TRUE(catalogue.order.empty());
    catalogue.Append(Clip("d.mov", 4, 4));
    EXPECT_EQ(catalogue.order, (std::vector<int32_t>{0}));
}

TEST(ClipCatalogueTest, RowsMapThroughOrderWithBothIndexingsBounded)
{
    ClipCatalogue catalogue;
    catalogue.Append(Clip("a.mov", 1, 1));
    catalogue.Append(Clip("b.mov", 2, 2));
    catalogue.order = {1, 0, 2, -1};
    ASSERT_NE(catalogue.RecordAtRow(0), nullptr);
    EXPECT_EQ(catalogue.RecordAtRow(0)->name, "b.mov");
    EXPECT_EQ(catalogue.RecordAtRow(1)->name, "a.mov");
    EXPECT_EQ(catalogue.IndexAtRow(1), 0);
    for (const int row : {-1, 2, 3, 4, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}) {
        EXPECT_EQ(catalogue.RecordAtRow(row), nullptr) << row;
        EXPECT_EQ(catalogue.IndexAtRow(row), -1) << row;
    }
    // Records are values: editing through a row changes the stored record only.
    ClipRecord copy = *catalogue.RecordAtRow(0);
    catalogue.RecordAtRow(0)->name = "renamed.mov";
    EXPECT_EQ(copy.name, "b.mov");
    EXPECT_EQ(catalogue.records[1].name, "renamed.mov");
}

TEST(ClipSecondsTest, TruncatesAndRefusesBadTimeScales)
{
    EXPECT_EQ(ClipSeconds(9090, 100), 90);
    EXPECT_EQ(ClipSeconds(599, 600), 0);
    EXPECT_EQ(ClipSeconds(std::numeric_limits<int32_t>::max(), 1), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ClipSeconds(1000, 0), 0);
    EXPECT_EQ(ClipSeconds(std::numeric_limits<int32_t>::min(), -1), 0);
    EXPECT_EQ(ClipSeconds(-600, 600), 0);
}

TEST(CalendarToTimeValueTest, OrdersLikeTheCalendar)
{
    EXPECT_EQ(CalendarToTimeValue(1970, 1, 1, 0, 0, 0), 0);
    EXPECT_EQ(CalendarToTimeValue(2004, 3, 14, 13, 5, 9), 1079269509);
    EXPECT_EQ(CalendarToTimeValue(2000, 2, 29, 0, 0, 0) + 86400, CalendarToTimeValue(2000, 3, 1, 0, 0, 0));
    EXPECT_LT(CalendarToTimeValue(1900, 1, 1, 0, 0, 0), 0);
    EXPECT_LT(CalendarToTimeValue(2038, 1, 19, 3, 14, 7), CalendarToTimeValue(2038, 1, 19, 3, 14, 8));
    EXPECT_EQ(CalendarToTimeValue(2099, 12, 31, 23, 59, 59) - CalendarToTimeValue(2099, 12, 31, 0, 0, 0), 86399);
    EXPECT_EQ(CalendarToTimeValue(1899, 12, 31, 23, 59, 59), 0);
    EXPECT_EQ(CalendarToTimeValue(1601, 1, 1, 0, 0, 0), 0);
}

ClipCatalogue Device()
{
    ClipCatalogue catalogue;
    catalogue.Append(Clip("a.mov", 3ull << 30, 40));
    catalogue.Append(Clip("b.mov", 3ull << 30, 30));
    catalogue.Append(Clip("c.mov", 1024, 90000));
    catalogue.Append(Clip("d.mov", 1, std::numeric_limits<int32_t>::max()));
    catalogue.order = {3, 2, 1, 0};
    return catalogue;
}

TEST(SelectionSummaryTest, SumsRecordsOfTheSelectedRows)
{
    const ClipCatalogue catalogue = Device();
    const SelectionSummary none = SummariseSelection(catalogue, {});
    EXPECT_EQ(none.selected, 0);
    EXPECT_FALSE(none.pluralCaptions);

    const SelectionSummary one = SummariseSelection(catalogue, {1}); // row 1 is c.mov
    EXPECT_EQ(one.selected, 1);
    EXPECT_FALSE(one.pluralCaptions);
    EXPECT_EQ(one.totalBytes, 1024u);
    EXPECT_EQ(one.totalSeconds, 90000);

    const SelectionSummary two = SummariseSelection(catalogue, {2, 3}); // b.mov and a.mov
    EXPECT_TRUE(two.pluralCaptions);
    EXPECT_EQ(two.totalBytes, 6ull << 30);
    EXPECT_EQ(two.totalSeconds, 70);
    EXPECT_EQ(FormatSelectionStatus("%d of %d selected, %s, %s total", two, catalogue.Count()),
              "2 of 4 selected, 00:01:10, 6.000 GB total");
}

TEST(SelectionSummaryTest, DurationSumsPassTwoToThe31Seconds)
{
    const ClipCatalogue catalogue = Device();
    const SelectionSummary all = SummariseSelection(catalogue, {0, 1, 2, 3});
    EXPECT_EQ(all.totalSeconds, int64_t{std::numeric_limits<int32_t>::max()} + 90070);
    EXPECT_EQ(FormatSelectionStatus("%d of %d selected, %s, %s total", all, catalogue.Count()),
              "4 of 4 selected, 596548:15:17, 6.000 GB total");
    const SelectionSummary day = SummariseSelection(catalogue, {1, 3});
    EXPECT_EQ(FormatSelectionStatus("%d %d %s", day, 0), "2 0 25:00:40");
}

TEST(SelectionSummaryTest, RowsWithoutRecordCountButAddNothing)
{
    ClipCatalogue catalogue = Device();
    catalogue.order.push_back(17);
    const SelectionSummary summary = SummariseSelection(catalogue, {1, 4, 9, -1});
    EXPECT_EQ(summary.selected, 4);
    EXPECT_EQ(summary.totalBytes, 1024u);
    EXPECT_EQ(summary.totalSeconds, 90000);
}

TEST(SelectionStatusTest, FormatFromTheCatalogueCannotMisreadArguments)
{
    SelectionSummary summary;
    summary.selected = 3;
    summary.totalBytes = 1536;
    summary.totalSeconds = 61;
    EXPECT_EQ(FormatSelectionStatus("%d von %d ausgew\xE4hlt, %s, %s gesamt", summary, 12),
              "3 von 12 ausgew\xE4hlt, 00:01:01, 1.512 KB gesamt");
    EXPECT_EQ(FormatSelectionStatus("100%% %d", summary, 12), "100% 3");
    // Conversions out of place or beyond the four values stay as written.
    EXPECT_EQ(FormatSelectionStatus("%s %d %d %s %s %d %n %", summary, 12), "%s 3 12 00:01:01 1.512 KB %d %n %");
}

} // namespace
