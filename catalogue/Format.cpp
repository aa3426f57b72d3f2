#include "catalogue/Format.h"

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

    // The value is a whole count plus a count below 1024 times 0.001, so "%3.3f" of it is exactly
    // the count, a point and the smaller count in three digits. Integers keep the point a point
    // whatever numeric locale the process has set.
    uint32_t whole;
    uint32_t thousandths;
    const char* unit;
    if (tb != 0) {
        whole = tb + gb / 1000;
        thousandths = gb % 1000;
        unit = "TB";
    } else if (gb != 0) {
        whole = gb + mb / 1000;
        thousandths = mb % 1000;
        unit = "GB";
    } else if (mb != 0) {
        whole = mb + kb / 1000;
        thousandths = kb % 1000;
        unit = "MB";
    } else if (kb != 0) {
        whole = kb + rest / 1000;
        thousandths = rest % 1000;
        unit = "KB";
    } else {
        whole = rest;
        thousandths = 0;
        unit = "bytes";
    }
    char text[260];
    std::snprintf(text, sizeof text, "%u.%03u %s", static_cast<unsigned>(whole), static_cast<unsigned>(thousandths),
                  unit);
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
