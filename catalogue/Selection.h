// The selection panel's summary of the selected rows of the clip list. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/ClipRecord.h"

struct SelectionSummary {
    int selected = 0;          // the rows given, valid or not: the list's own count
    uint64_t totalBytes = 0;   // sum of sizes of the valid rows, saturating at 2^64 - 1
    int64_t totalSeconds = 0;  // sum of (non-negative) seconds of the valid rows, 64-bit: no wrap at 2^31
    bool pluralCaptions = false; // the buttons read "...Files..." (two or more rows selected)
};

// Sums up the selected rows (list row numbers, mapped through the catalogue's order); a row
// without a record is counted as selected but adds nothing.
SelectionSummary SummariseSelection(const ClipCatalogue& catalogue, const std::vector<int>& rows);

// The status line: `format` (the catalogue's "%d of %d selected, %s, %s total") filled with the
// number of selected rows, the number of records, FormatDuration64 of the seconds and FormatSize
// of the bytes. Only %d, %s and %% are expanded, each taking the next value of that list; a
// conversion that does not match the next value, or comes after all four, is copied as written,
// so a faulty translation can never read a wrong argument.
std::string FormatSelectionStatus(const std::string& format, const SelectionSummary& summary, size_t recordCount);
