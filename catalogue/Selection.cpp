#include "catalogue/Selection.h"

#include <limits>

#include "catalogue/Format.h"

SelectionSummary SummariseSelection(const ClipCatalogue& catalogue, const std::vector<int>& rows)
{
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    SelectionSummary summary;
    summary.selected = static_cast<int>(rows.size());
    summary.pluralCaptions = rows.size() >= 2;
    for (const int row : rows) {
        const ClipRecord* record = catalogue.RecordAtRow(row);
        if (!record)
            continue;
        summary.totalBytes = record->size > kMax - summary.totalBytes ? kMax : summary.totalBytes + record->size;
        if (record->seconds > 0)
            summary.totalSeconds += record->seconds;
    }
    return summary;
}

std::string FormatSelectionStatus(const std::string& format, const SelectionSummary& summary, size_t recordCount)
{
    const std::string numbers[2] = {std::to_string(summary.selected), std::to_string(recordCount)};
    const std::string texts[2] = {FormatDuration64(summary.totalSeconds), FormatSize(summary.totalBytes)};
    // The values in the order the format takes them: 'd', 'd', 's', 's'.
    constexpr char kKinds[4] = {'d', 'd', 's', 's'};
    const std::string* values[4] = {&numbers[0], &numbers[1], &texts[0], &texts[1]};

    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        const char kind = format[i + 1];
        if (kind == '%') {
            out += '%';
            ++i;
        } else if (next < 4 && kind == kKinds[next]) {
            out += *values[next++];
            ++i;
        } else {
            out += '%';
        }
    }
    return out;
}
