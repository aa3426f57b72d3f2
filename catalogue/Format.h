// Text forms of sizes and durations shown in the clip list, the status line and the disk display.
// Portable: no Windows headers (the locale date text is built on the Windows side).
#pragma once

#include <cstdint>
#include <string>

// "%3.3f %s": the largest non-zero unit of TB, GB, MB, KB (powers of 1024) plus the count of the
// next smaller unit times 0.001, so 1 GB + 512 MB reads "1.512 GB" and 1 GB + 1023 MB "2.023 GB".
// Below 1 KB: the byte count, e.g. "1023.000 bytes". At most 259 characters. The point is a
// point under any C numeric locale.
std::string FormatSize(uint64_t bytes);

// "%02d:%02d:%02d" hours, minutes, seconds; hours grow beyond two digits ("100:00:00").
// A negative count reads "00:00:00".
std::string FormatDuration(int32_t seconds);

// As FormatDuration, for sums that may pass 2^31 seconds: hours keep growing.
std::string FormatDuration64(int64_t seconds);
