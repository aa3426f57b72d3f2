// Ordering of the clip list's rows by a column. Portable: the ANSI code page's lead bytes come
// from the Windows side as a table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "catalogue/ClipRecord.h"

// Sort keys, one per list column.
enum ClipSortKey : int {
    kSortByName = 0,     // name as a multibyte string of the ANSI code page
    kSortBySize = 1,     // size, unsigned 64-bit
    kSortByDate = 2,     // modified, signed 64-bit
    kSortByDuration = 3, // durationText as unsigned bytes
};

// Which bytes start a double-byte character in the ANSI code page. Default: none (a single-byte
// code page). Build it with From, which keeps `any` in step with the table; the Windows side
// fills it once, e.g. LeadBytes::From([](unsigned char b) { return IsDBCSLeadByte(b) != FALSE; }).
struct LeadBytes {
    std::array<bool, 256> isLead{};
    bool any = false; // some byte is a lead byte

    template <class Predicate>
    static LeadBytes From(Predicate isLeadByte)
    {
        LeadBytes table;
        for (int b = 0; b < 256; ++b) {
            table.isLead[static_cast<size_t>(b)] = isLeadByte(static_cast<unsigned char>(b));
            table.any = table.any || table.isLead[static_cast<size_t>(b)];
        }
        return table;
    }
};

// Compares two names character by character by code value, case-sensitive: a single byte is its
// unsigned value, a lead byte and its trail byte one value (lead * 256 + trail); a lead byte at
// the end of the text counts as a single byte. A name that is the beginning of the other comes
// first. Returns <0, 0 or >0.
int CompareNames(std::string_view a, std::string_view b, const LeadBytes& leadBytes);

// True when record a is strictly greater than record b under the key; never for an unknown key.
bool RecordGreater(const ClipRecord& a, const ClipRecord& b, int sortKey, const LeadBytes& leadBytes);

// Sorts the row order ascending by the key, stable with respect to the current order: exactly the
// order that repeated exchanges of neighbours when the upper is strictly greater produce, in
// O(n log n). An unknown key leaves the order unchanged. `order` is meant to be a permutation of
// 0 .. records.size()-1; entries outside records are never dereferenced: they move after all
// valid ones, keeping their relative order.
void SortOrder(std::vector<int32_t>& order, const std::vector<ClipRecord>& records, int sortKey,
               const LeadBytes& leadBytes = LeadBytes{});
