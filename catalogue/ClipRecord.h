// The clip catalogue of one device folder: the records as the folder scan found them and the
// row order of the list. Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One clip. Owns its texts; copied and assigned by value.
struct ClipRecord {
    uint64_t size = 0;        // file size in bytes
    int64_t modified = 0;     // local last-write time as a time value (CalendarToTimeValue); date sort key
    std::string name;         // file name without folder
    std::string sizeText;     // FormatSize(size)
    std::string durationText; // FormatDuration(seconds)
    std::string dateText;     // locale date and time text
    std::string fullPath;     // device folder followed directly by name
    int32_t seconds = 0;      // whole seconds of the movie (ClipSeconds)
};

// records: in scan order, never reordered. order: list row r shows records[order[r]];
// after a scan and after every sort, order is a permutation of 0 .. records.size()-1.
struct ClipCatalogue {
    std::vector<ClipRecord> records;
    std::vector<int32_t> order;

    void Clear();
    // Appends the record and its index to order (the scan's only way to add a clip).
    void Append(ClipRecord record);
    // Index into records shown at list row `row`, or -1 when the row or the index it holds is
    // out of range.
    int32_t IndexAtRow(int row) const;
    // The record at list row `row`, or nullptr when out of range (both indexings are tested).
    const ClipRecord* RecordAtRow(int row) const;
    ClipRecord* RecordAtRow(int row);
    size_t Count() const { return records.size(); }
};

// Whole seconds of a movie: duration / timeScale, truncated. A time scale of 0 or less, or a
// negative duration (neither comes from a sound movie), gives 0 instead of a fault.
int32_t ClipSeconds(int32_t duration, int32_t timeScale);

// Seconds since 1970-01-01 of a calendar date and time, read as is (no time zone, no daylight
// saving), so equal fields give equal values and later fields larger ones. Years before 1900
// give 0. Month 1-12, day 1-31; out-of-range fields are clamped into those ranges.
int64_t CalendarToTimeValue(int year, int month, int day, int hour, int minute, int second);
