#include "catalogue/ClipSort.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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

namespace {

// A record's text key laid out for fast comparison. All keys share their first `common` bytes;
// the next eight bytes, big-endian and zero padded, decide most comparisons without touching the
// text. Kept at 16 bytes: the sort moves these around.
struct TextEntry {
    uint64_t prefix;
    uint32_t length; // of the key
    uint32_t slot;   // position in the sort's input: its key offset and record index
};

// True when the text holds a double-byte character (a lead byte with a byte after it); without
// one, its values are its bytes.
bool HasDoubleByte(std::string_view text, const LeadBytes& leadBytes)
{
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (leadBytes.isLead[static_cast<unsigned char>(text[i])])
            return true;
    return false;
}

// Appends the name as a byte string whose plain byte order is the order of CompareNames: one
// code per character, order-preserving and prefix-free. When every lead byte is 0x81 or above
// (every real double-byte code page) a byte below 0x80 stays itself, another single byte b becomes
// 0x80 b and a double-byte character its two bytes; otherwise every character becomes its value
// in two bytes, big-endian.
void AppendNameKey(std::string& buffer, std::string_view name, const LeadBytes& leadBytes, bool highLeads)
{
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (leadBytes.isLead[c] && i + 1 < name.size()) {
            buffer += static_cast<char>(c);
            buffer += name[++i];
        } else if (highLeads && c < 0x80) {
            buffer += static_cast<char>(c);
        } else {
            buffer += static_cast<char>(highLeads ? 0x80 : 0x00);
            buffer += static_cast<char>(c);
        }
    }
}

void SortByText(int32_t* first, int32_t* last, const std::vector<ClipRecord>& records, int sortKey,
                const LeadBytes& leadBytes)
{
    const size_t count = static_cast<size_t>(last - first);
    const std::vector<int32_t> indices(first, last);
    // The texts, gathered once: the records are visited in row order, which is no order in memory.
    std::string buffer;
    buffer.reserve(count * 16);
    std::vector<size_t> offsets;
    offsets.reserve(count);
    std::vector<TextEntry> entries;
    entries.reserve(count);
    bool doubleBytes = false;
    for (size_t slot = 0; slot < count; ++slot) {
        const ClipRecord& record = records[static_cast<size_t>(indices[slot])];
        const std::string& text = sortKey == kSortByName ? record.name : record.durationText;
        offsets.push_back(buffer.size());
        buffer += text;
        entries.push_back({0, static_cast<uint32_t>(text.size()), static_cast<uint32_t>(slot)});
        doubleBytes = doubleBytes || (sortKey == kSortByName && leadBytes.any && HasDoubleByte(text, leadBytes));
    }
    // Names with double-byte characters are compared by value: re-encode all of them.
    if (doubleBytes) {
        const bool highLeads = std::none_of(leadBytes.isLead.begin(), leadBytes.isLead.begin() + 0x81,
                                            [](bool isLead) { return isLead; });
        std::string encoded;
        encoded.reserve(buffer.size() * 2);
        for (size_t slot = 0; slot < count; ++slot) {
            const std::string_view name = std::string_view(buffer).substr(offsets[slot], entries[slot].length);
            offsets[slot] = encoded.size();
            AppendNameKey(encoded, name, leadBytes, highLeads);
            entries[slot].length = static_cast<uint32_t>(encoded.size() - offsets[slot]);
        }
        buffer.swap(encoded);
    }
    const std::string_view keys(buffer);

    size_t common = count == 0 ? 0 : entries.front().length;
    const std::string_view firstKey = keys.substr(0, common);
    for (size_t slot = 0; slot < count; ++slot) {
        const std::string_view key = keys.substr(offsets[slot], std::min<size_t>(entries[slot].length, common));
        common = static_cast<size_t>(std::mismatch(key.begin(), key.end(), firstKey.begin()).first - key.begin());
    }
    for (TextEntry& entry : entries) {
        for (size_t i = common; i < common + 8; ++i) {
            const unsigned char byte = i < entry.length ? static_cast<unsigned char>(keys[offsets[entry.slot] + i]) : 0;
            entry.prefix = entry.prefix << 8 | byte;
        }
    }
    const size_t known = common + 8; // bytes that equal prefixes have in common (padding included)
    std::stable_sort(entries.begin(), entries.end(), [&keys, &offsets, known](const TextEntry& a, const TextEntry& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        // A key that ends within the known bytes is the beginning of the other (zero padding
        // matched the other's bytes): the shorter one comes first.
        if (std::min(a.length, b.length) <= known)
            return a.length < b.length;
        return keys.substr(offsets[a.slot] + known, a.length - known)
                   .compare(keys.substr(offsets[b.slot] + known, b.length - known)) < 0;
    });
    for (const TextEntry& entry : entries)
        *first++ = indices[entry.slot];
}

template <class Key>
void SortByNumber(int32_t* first, int32_t* last, const std::vector<ClipRecord>& records,
                  Key (*keyOf)(const ClipRecord&))
{
    std::vector<std::pair<Key, int32_t>> entries;
    entries.reserve(static_cast<size_t>(last - first));
    for (const int32_t* it = first; it != last; ++it)
        entries.emplace_back(keyOf(records[static_cast<size_t>(*it)]), *it);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : entries)
        *first++ = entry.second;
}

} // namespace

// Every key is a strict weak order, and a stable sort by one leaves equal keys in their current
// order, which is where the neighbour exchanges leave them too: the stable order is unique.
void SortOrder(std::vector<int32_t>& order, const std::vector<ClipRecord>& records, int sortKey,
               const LeadBytes& leadBytes)
{
    if (sortKey < kSortByName || sortKey > kSortByDuration || order.size() < 2)
        return;

    const auto valid = [&records](int32_t index) {
        return index >= 0 && static_cast<size_t>(index) < records.size();
    };
    const auto validEnd = std::stable_partition(order.begin(), order.end(), valid);
    int32_t* const first = order.data();
    int32_t* const last = first + (validEnd - order.begin());

    switch (sortKey) {
    case kSortBySize:
        SortByNumber<uint64_t>(first, last, records, [](const ClipRecord& r) { return r.size; });
        break;
    case kSortByDate:
        SortByNumber<int64_t>(first, last, records, [](const ClipRecord& r) { return r.modified; });
        break;
    default:
        SortByText(first, last, records, sortKey, leadBytes);
        break;
    }
}
