#include "catalogue/DiskDisplay.h"

#include <cinttypes>
#include <cstdio>
#include <limits>

#include "catalogue/Format.h"

namespace {

// Rounds to double precision. x87 code (the 32-bit build) otherwise keeps the quotient at 80 bits
// and truncates it: 18874368 bytes at the default rate (5 s as a double) read as 4 s.
double AsDouble(double value)
{
    volatile double stored = value;
    return stored;
}

} // namespace

std::string FormatRemainingTime(uint64_t freeBytes, const std::vector<ClipRecord>& records)
{
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    uint64_t totalBytes = 0;
    uint64_t totalSeconds = 0; // at most 2^31 per record: no wrap for any realistic count
    for (const ClipRecord& record : records) {
        totalBytes = record.size > kMax - totalBytes ? kMax : totalBytes + record.size;
        if (record.seconds > 0)
            totalSeconds += static_cast<uint64_t>(record.seconds);
    }
    if (totalSeconds == 0)
        totalSeconds = 1;

    const uint64_t wholeRate = totalBytes / totalSeconds;
    double rate = AsDouble(static_cast<double>(wholeRate));
    if (rate == AsDouble(static_cast<double>(totalBytes)))
        rate = kDefaultByteRate;

    uint64_t whole = 0;
    if (rate > 0) {
        const double t = AsDouble(AsDouble(static_cast<double>(freeBytes)) / rate);
        // 2^64 itself is representable as a double but not as uint64_t.
        whole = t >= 18446744073709551616.0 ? kMax : static_cast<uint64_t>(t);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%02" PRIu64 ":%02d:%02d", whole / 3600, static_cast<int>(whole % 3600 / 60),
                  static_cast<int>(whole % 60));
    return text;
}

int DiskPercent(uint64_t freeBytes, uint64_t totalBytes)
{
    if (totalBytes == 0)
        return 0;
    if (freeBytes >= totalBytes)
        return 100;
    if (freeBytes <= std::numeric_limits<uint64_t>::max() / 100)
        return static_cast<int>(freeBytes * 100 / totalBytes);
    // free * 100 would wrap (and 32-bit targets have no 128-bit type): add free to itself
    // 100 times modulo total, counting the wraps past total. free < total keeps every step exact.
    int percent = 0;
    uint64_t remainder = 0;
    for (int i = 0; i < 100; ++i) {
        if (freeBytes >= totalBytes - remainder) {
            remainder = freeBytes - (totalBytes - remainder);
            ++percent;
        } else {
            remainder += freeBytes;
        }
    }
    return percent;
}

std::string DiskSpaceText(uint64_t freeBytes, const std::vector<ClipRecord>& records, const std::string& freeSuffix)
{
    return FormatRemainingTime(freeBytes, records) + ", " + FormatSize(freeBytes) + freeSuffix;
}

DiskDisplay MakeDiskDisplay(uint64_t freeBytes, uint64_t totalBytes, const std::vector<ClipRecord>& records,
                            const std::string& freeSuffix)
{
    return DiskDisplay{DiskPercent(freeBytes, totalBytes), DiskSpaceText(freeBytes, records, freeSuffix)};
}
