#include "Format.h"

#include <cinttypes>
#include <cstdio>

std::string FormatSize(uint64_t bytes)
{
    constexpr uint64_t kKB = 1024;
    constexpr uint64_t kMB = kKB * 1024;
    constexpr uint64_t kGB = kMB * 1024;
    constexpr uint64_t kTB = kGB * 1024;

    // Every part but TB is below 1024; TB is at most 2^24 - 1, so all fit 32 bits.
    const uint32_t tb = static_cast<uint32_t>(bytes / kTB);
    const uint32_t gb = static_cast<uint32_t>(bytes % kTB / kGB);
    const uint32_t mb = static_cast<uint32_t>(bytes % kGB / kMB);
    const uint32_t kb = static_cast<uint32_t>(bytes % kMB / kKB);
    const uint32_t rest = static_cast<uint32_t>(bytes % kKB);

    double value;
    const char* unit;
    if (tb != 0) {
        value = tb + gb * 0.001;
        unit = "TB";
    } else if (gb != 0) {
        value = gb + mb * 0.001;
        unit = "GB";
    } else if (mb != 0) {
        value = mb + kb * 0.001;
        unit = "MB";
    } else if (kb != 0) {
        value = kb + rest * 0.001;
        unit = "KB";
    } else {
        value = rest;
        unit = "bytes";
    }
    char text[260];
    std::snprintf(text, sizeof text, "%3.3f %s", value, unit);
    return text;
}

std::string FormatDuration(int32_t seconds)
{
    return FormatDuration64(seconds);
}

std::string FormatDuration64(int64_t seconds)
{
    if (seconds < 0)
        seconds = 0;
    char text[64];
    std::snprintf(text, sizeof text, "%02" PRId64 ":%02d:%02d", seconds / 3600, static_cast<int>(seconds % 3600 / 60),
                  static_cast<int>(seconds % 60));
    return text;
}
