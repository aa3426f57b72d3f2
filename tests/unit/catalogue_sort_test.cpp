#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/ClipSort.h"

namespace {

// The order's definition: n passes of neighbour exchanges, exchanging when the upper row is
// strictly greater. SortOrder must produce exactly this.
void NeighbourExchangeSort(std::vector<int32_t>& order, const std::vector<ClipRecord>& records, int key,
                           const LeadBytes& lead)
{
    const size_t n = order.size();
    for (size_t pass = 0; pass < n; ++pass)
        for (size_t i = 0; i + 1 < n; ++i)
            if (RecordGreater(records.at(static_cast<size_t>(order[i])), records.at(static_cast<size_t>(order[i + 1])),
                              key, lead))
                std::swap(order[i], order[i + 1]);
}

// Code page 932's lead bytes.
const LeadBytes& Cp932()
{
    static const LeadBytes table =
        LeadBytes::From([](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); });
    return table;
}

std::vector<ClipRecord> Named(std::initializer_list<const char*> names)
{
    std::vector<ClipRecord> records;
    for (const char* name : names) {
        ClipRecord record;
        record.name = name;
        records.push_back(record);
    }
    return records;
}

std::vector<int32_t> Identity(size_t n)
{
    std::vector<int32_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    return order;
}

// Names in row order after sorting `records` (scan order first) by `key`.
std::vector<std::string> SortedNames(const std::vector<ClipRecord>& records, int key,
                                     const LeadBytes& lead = LeadBytes{})
{
    std::vector<int32_t> order = Identity(records.size());
    SortOrder(order, records, key, lead);
    std::vector<std::string> names;
    for (const int32_t index : order)
        names.push_back(records[static_cast<size_t>(index)].name);
    return names;
}

using Names = std::vector<std::string>;

TEST(ClipSortTest, NamesCompareAsUnsignedBytesCaseSensitive)
{
    EXPECT_EQ(SortedNames(Named({"a.mov", "B.mov"}), kSortByName), (Names{"B.mov", "a.mov"}));
    EXPECT_EQ(SortedNames(Named({"clip.mov", "Clip.mov"}), kSortByName), (Names{"Clip.mov", "clip.mov"}));
    EXPECT_EQ(SortedNames(Named({"alpha.mov", "Zeta.mov"}), kSortByName), (Names{"Zeta.mov", "alpha.mov"}));
    // A byte above 0x7F is greater than any ASCII byte (unsigned), and a prefix comes first.
    EXPECT_EQ(SortedNames(Named({"\xE9t\xE9.mov", "zoo.mov", "clip.mov2", "clip.mov"}), kSortByName),
              (Names{"clip.mov", "clip.mov2", "zoo.mov", "\xE9t\xE9.mov"}));
}

TEST(ClipSortTest, DoubleByteCharactersCompareAsOneValue)
{
    // Half-width katakana 0xB1 is one value (0xB1); 0x81 0x40 is one value 0x8140. Byte by byte
    // the double-byte name would come first.
    EXPECT_EQ(SortedNames(Named({"\x81\x40.mov", "\xB1.mov"}), kSortByName, Cp932()),
              (Names{"\xB1.mov", "\x81\x40.mov"}));
    EXPECT_EQ(SortedNames(Named({"\x81\x40.mov", "\xB1.mov"}), kSortByName),
              (Names{"\x81\x40.mov", "\xB1.mov"}));
    // A trail byte that is itself a lead byte value belongs to the character before it:
    // 0x81 0x81 is one value, then 0xB1 (single) against 0x8140 (double).
    EXPECT_EQ(SortedNames(Named({"\x81\x81\x81\x40", "\x81\x81\xB1"}), kSortByName, Cp932()),
              (Names{"\x81\x81\xB1", "\x81\x81\x81\x40"}));
}

TEST(ClipSortTest, LeadByteAtEndCountsAsSingleValueWithoutOverread)
{
    // Exact-size heap buffers so that a read past the end is caught by the address sanitizer.
    const auto compare = [](std::string a, std::string b) {
        const std::vector<char> left(a.begin(), a.end());
        const std::vector<char> right(b.begin(), b.end());
        return CompareNames(std::string_view(left.data(), left.size()), std::string_view(right.data(), right.size()),
                            Cp932());
    };
    EXPECT_LT(compare("ab\x82", "ab\x82 "), 0); // 0x82 < 0x8220
    EXPECT_GT(compare("ab\x82", "ab\x41"), 0);  // 0x82 > 0x41
    EXPECT_EQ(compare("\x82", "\x82"), 0);
    EXPECT_LT(compare("", "\x82"), 0);
    EXPECT_GT(compare("\x82\x9F", "\x82"), 0);
}

TEST(ClipSortTest, SizesCompareAsWhole64BitCounts)
{
    std::vector<ClipRecord> records = Named({"five", "three", "small"});
    records[0].size = 5ull << 30; // low 32 bits 0x40000000
    records[1].size = 3ull << 30; // low 32 bits 0xC0000000
    records[2].size = 1;
    EXPECT_EQ(SortedNames(records, kSortBySize), (Names{"small", "three", "five"}));
    records[2].size = std::numeric_limits<uint64_t>::max(); // not negative
    EXPECT_EQ(SortedNames(records, kSortBySize), (Names{"three", "five", "small"}));
}

TEST(ClipSortTest, DatesCompareSigned)
{
    std::vector<ClipRecord> records = Named({"late", "zero", "early"});
    records[0].modified = 1100000000;
    records[1].modified = 0;
    records[2].modified = -86400;
    EXPECT_EQ(SortedNames(records, kSortByDate), (Names{"early", "zero", "late"}));
}

TEST(ClipSortTest, DurationsCompareAsText)
{
    std::vector<ClipRecord> records = Named({"short", "long", "longer", "empty"});
    records[0].durationText = "00:00:59";
    records[1].durationText = "99:59:59";
    records[2].durationText = "100:00:00";
    records[3].durationText = "";
    EXPECT_EQ(SortedNames(records, kSortByDuration), (Names{"empty", "short", "longer", "long"}));
}

TEST(ClipSortTest, EqualKeysKeepThePreviousOrder)
{
    std::vector<ClipRecord> records = Named({"a", "b", "c", "d", "e"});
    const uint64_t sizes[] = {200, 100, 200, 100, 200};
    const int64_t dates[] = {50, 40, 30, 40, 10};
    for (size_t i = 0; i < records.size(); ++i) {
        records[i].size = sizes[i];
        records[i].modified = dates[i];
    }
    std::vector<int32_t> order = Identity(records.size());
    SortOrder(order, records, kSortByDate);
    EXPECT_EQ(order, (std::vector<int32_t>{4, 2, 1, 3, 0})); // b and d tie: scan order
    SortOrder(order, records, kSortBySize);
    EXPECT_EQ(order, (std::vector<int32_t>{1, 3, 4, 2, 0})); // by size, then by date
    SortOrder(order, records, kSortBySize);
    EXPECT_EQ(order, (std::vector<int32_t>{1, 3, 4, 2, 0})); // sorting again changes nothing
}

TEST(ClipSortTest, UnknownKeysAndTinyListsLeaveOrderAlone)
{
    std::vector<ClipRecord> records = Named({"b", "a", "c"});
    for (const int key : {-1, 4, 1000}) {
        std::vector<int32_t> order = {2, 0, 1};
        SortOrder(order, records, key);
        EXPECT_EQ(order, (std::vector<int32_t>{2, 0, 1})) << key;
    }
    std::vector<int32_t> empty;
    SortOrder(empty, {}, kSortByName);
    EXPECT_TRUE(empty.empty());
}

TEST(ClipSortTest, IndicesOutsideRecordsMoveLastWithoutBeingRead)
{
    const std::vector<ClipRecord> records = Named({"b", "a"});
    std::vector<int32_t> order = {7, 0, -1, 1, 2};
    SortOrder(order, records, kSortByName);
    EXPECT_EQ(order, (std::vector<int32_t>{1, 0, 7, -1, 2}));
}

// Records whose every key comes from a small domain, so that ties are common.
std::vector<ClipRecord> RandomRecords(std::mt19937& random, size_t n)
{
    static const char kNameBytes[] = {'a', 'B', 'b', '.', '\x7F', '\x80', '\x81', '\x40', '\xB1', '\xE0', '\xFC', '\x5C'};
    static const uint64_t kSizes[] = {0, 1, 3ull << 30, 5ull << 30, 1ull << 63, std::numeric_limits<uint64_t>::max()};
    static const int64_t kDates[] = {std::numeric_limits<int64_t>::min(), -5, 0, 1, 1100000000,
                                     std::numeric_limits<int64_t>::max()};
    static const char* const kDurations[] = {"",          "00:00:01",   "00:00:0",  "99:59:59",
                                             "100:00:00", "100:00:001", "100:00:0", "\xFF"};
    const auto pick = [&random](size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random); };

    // Shared beginnings and long tails reach the comparisons past the first eight bytes.
    static const char* const kNameStarts[] = {"", "clip", "clip000", "\x81\x40\x81\x40\x81"};
    const char* const start = kNameStarts[pick(std::size(kNameStarts))];
    const size_t maxTail = pick(2) == 0 ? 3 : 14;

    std::vector<ClipRecord> records(n);
    for (ClipRecord& record : records) {
        record.name = pick(8) == 0 ? "" : start;
        const size_t length = pick(maxTail + 1);
        for (size_t i = 0; i < length; ++i)
            record.name += kNameBytes[pick(sizeof kNameBytes)];
        record.size = kSizes[pick(std::size(kSizes))];
        record.modified = kDates[pick(std::size(kDates))];
        record.durationText = kDurations[pick(std::size(kDurations))];
    }
    return records;
}

// An odd table with lead bytes below 0x80 ('B' and '\\'), to cover every way of laying out keys.
const LeadBytes& LowLeads()
{
    static const LeadBytes table = LeadBytes::From([](unsigned char b) { return b == 'B' || b == 0x5C || b == 0xE0; });
    return table;
}

TEST(ClipSortTest, MatchesNeighbourExchangesOnRandomLists)
{
    const LeadBytes singleByte;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        std::mt19937 random(seed);
        for (const size_t n : {0u, 1u, 2u, 3u, 7u, 31u, 100u, 300u}) {
            if (n == 300 && seed % 4 != 0)
                continue; // the reference is quadratic
            const std::vector<ClipRecord> records = RandomRecords(random, n);
            std::vector<int32_t> start = Identity(n);
            std::shuffle(start.begin(), start.end(), random);
            for (int key = kSortByName; key <= kSortByDuration; ++key) {
                for (const LeadBytes* lead : {&singleByte, &Cp932(), &LowLeads()}) {
                    if (key != kSortByName && lead != &singleByte)
                        continue;
                    std::vector<int32_t> expected = start;
                    NeighbourExchangeSort(expected, records, key, *lead);
                    std::vector<int32_t> actual = start;
                    SortOrder(actual, records, key, *lead);
                    ASSERT_EQ(actual, expected) << "seed " << seed << " n " << n << " key " << key
                                                << (lead == &singleByte ? "" : lead == &Cp932() ? " cp932" : " low");
                    std::vector<int32_t> sorted = actual;
                    std::sort(sorted.begin(), sorted.end());
                    ASSERT_EQ(sorted, Identity(n)); // still a permutation
                }
            }
        }
    }
}

} // namespace
