#include "catalogue/Selection.h"

#include <limits>

#include "catalogue/Format.h"
#include "framework/MessageText.h"

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
    return FillMessage(format, {{'d', std::to_string(summary.selected)},
                                {'d', std::to_string(recordCount)},
                                {'s', FormatDuration64(summary.totalSeconds)},
                                {'s', FormatSize(summary.totalBytes)}});
}
