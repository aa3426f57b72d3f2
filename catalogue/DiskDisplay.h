// The disk display: the share of the device that is free and the recording time left,
// estimated from the byte rate of the clips already on it. Portable: the disk queries are
// made on the Windows side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/ClipRecord.h"

// Used when the clips give no usable rate: 3.6 MiB per second.
inline constexpr double kDefaultByteRate = 3774873.6;

// Recording time left for `freeBytes` at the clips' average rate, "%02d:%02d:%02d":
// rate = (sum of sizes) / (sum of seconds) in whole bytes per second, the sum of seconds taken
// as 1 when it is 0; when that rate equals the sum of sizes (no clips, or under a second of
// them in total, or exactly one second) the default rate is used instead. A rate of 0 (fewer
// bytes than seconds) gives "00:00:00". Negative `seconds` of a record count as 0. The hours
// field keeps growing for any time, also beyond 2^31 seconds.
std::string FormatRemainingTime(uint64_t freeBytes, const std::vector<ClipRecord>& records);

// Free share of the disk in whole percent, free * 100 / total truncated, exact for any 64-bit
// values. A total of 0 gives 0 (an empty bar); free above total gives 100.
int DiskPercent(uint64_t freeBytes, uint64_t totalBytes);

// The text of the disk display: remaining time, ", ", FormatSize(freeBytes), then `freeSuffix`
// (the catalogue's " free", with its leading blank).
std::string DiskSpaceText(uint64_t freeBytes, const std::vector<ClipRecord>& records, const std::string& freeSuffix);

// What the window shows of a device's disk: the gauge's position and the text beside it.
struct DiskDisplay {
    int percent = 0;
    std::string text;
};

DiskDisplay MakeDiskDisplay(uint64_t freeBytes, uint64_t totalBytes, const std::vector<ClipRecord>& records,
                            const std::string& freeSuffix);
