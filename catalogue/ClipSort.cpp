#include "ClipSort.h"

#include <algorithm>

int CompareNames(std::string_view a, std::string_view b, const LeadBytes& leadBytes)
{
    if (!leadBytes.any)
        return a.compare(b); // char_traits<char> compares as unsigned char

    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const unsigned ca = static_cast<unsigned char>(a[i]);
        const unsigned cb = static_cast<unsigned char>(b[j]);
        unsigned va = ca;
        unsigned vb = cb;
        ++i;
        ++j;
        if (leadBytes.isLead[ca] && i < a.size())
            va = ca * 256 + static_cast<unsigned char>(a[i++]);
        if (leadBytes.isLead[cb] && j < b.size())
            vb = cb * 256 + static_cast<unsigned char>(b[j++]);
        if (va != vb)
            return va < vb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

bool RecordGreater(const ClipRecord& a, const ClipRecord& b, int sortKey, const LeadBytes& leadBytes)
{
    switch (sortKey) {
    case kSortByName:
        return CompareNames(a.name, b.name, leadBytes) > 0;
    case kSortBySize:
        return a.size > b.size;
    case kSortByDate:
        return a.modified > b.modified;
    case kSortByDuration:
        return std::string_view(a.durationText).compare(b.durationText) > 0;
    default:
        return false;
    }
}

void SortOrder(std::vector<int32_t>& order, const std::vector<ClipRecord>& records, int sortKey,
               const LeadBytes& leadBytes)
{
    if (sortKey < kSortByName || sortKey > kSortByDuration || order.size() < 2)
        return;

    const auto valid = [&records](int32_t index) {
        return index >= 0 && static_cast<size_t>(index) < records.size();
    };
    // A stable sort by "b strictly greater than a" keeps equal keys in their current order, which
    // is where the neighbour exchanges leave them too: the stable order of a strict weak order is
    // unique. Invalid entries form one class greater than every record.
    std::stable_sort(order.begin(), order.end(), [&](int32_t lhs, int32_t rhs) {
        const bool lhsValid = valid(lhs);
        const bool rhsValid = valid(rhs);
        if (!lhsValid || !rhsValid)
            return lhsValid && !rhsValid;
        return RecordGreater(records[static_cast<size_t>(rhs)], records[static_cast<size_t>(lhs)], sortKey,
                             leadBytes);
    });
}
