// Comparing BGRA pictures; shared by the native and the Windows decoder tests.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace reference {

// Peak signal-to-noise ratio over the B, G and R bytes of two BGRA pictures; 99 when identical.
inline double Psnr(const uint8_t* a, const uint8_t* b, size_t pixels) {
    double sum = 0;
    for (size_t i = 0; i < pixels * 4; ++i) {
        if (i % 4 == 3) continue;
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    if (sum == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 / (sum / double(pixels * 3)));
}

}  // namespace reference
