#include "movie/repair/recognise/ConstantSound.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace movie::repair {

namespace {

constexpr uint32_t kImaPacket = 34;
constexpr int kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,    31,
    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,   130,   143,
    157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,   544,   598,   658,
    724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,
    3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487, 12635, 13899,
    15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kImaIndex[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
// The decoder's predictor after a packet differs from the next header's by the header's rounding
// (7 bits) and the first packet's rounding carried along.
constexpr int kPredictorSlack = 256;

}  // namespace

ConstantSound::ConstantSound(const SoundLayout& layout)
    : ima_(layout.family == SoundFamily::Ima4), bigEndian_(layout.bigEndian), unitBytes_(layout.unitBytes), samplesPerUnit_(layout.samplesPerUnit),
      channels_(std::max<uint32_t>(1, layout.channels)),
      bytesPerSample_(layout.family == SoundFamily::Pcm ? layout.unitBytes / std::max<uint32_t>(1, layout.channels) : 0),
      largest_(0) {
    for (uint32_t c : layout.chunkBytes)
        if (unitBytes_ && c % unitBytes_ == 0) candidates_.push_back(c);
    for (uint32_t c : candidates_) largest_ = std::max(largest_, c);
    if (largest_ == 0) largest_ = unitBytes_ * 4096;
}

uint64_t ConstantSound::WithoutTrailingZeros(MediaWindow& w, uint64_t pos, uint64_t bytes) const {
    uint64_t kept = bytes;
    while (kept > 0) {
        const size_t step = size_t(std::min<uint64_t>(kept, 65536));
        const uint8_t* d = w.Get(pos + kept - step, step);
        if (!d) return 0;
        size_t i = step;
        while (i > 0 && d[i - 1] == 0) --i;
        if (i > 0) {
            kept -= step - i;
            break;
        }
        kept -= step;
    }
    kept = (kept + unitBytes_ - 1) / unitBytes_ * unitBytes_;
    return std::min(kept, bytes / unitBytes_ * unitBytes_);
}

bool ConstantSound::ImaPacket(const uint8_t* p, ImaState& start, ImaState& end) {
    const int header = (p[0] << 8) | p[1];
    start.predictor = int16_t(header & 0xFF80);
    start.step = header & 0x7F;
    if (start.step > 88) return false;
    end = start;
    for (uint32_t i = 2; i < kImaPacket; ++i) {
        for (int nibble : {p[i] & 0x0F, p[i] >> 4}) {
            const int stepSize = kImaSteps[end.step];
            int diff = stepSize >> 3;
            if (nibble & 4) diff += stepSize;
            if (nibble & 2) diff += stepSize >> 1;
            if (nibble & 1) diff += stepSize >> 2;
            end.predictor = std::clamp(nibble & 8 ? end.predictor - diff : end.predictor + diff, -32768, 32767);
            end.step = std::clamp(end.step + kImaIndex[nibble & 7], 0, 88);
        }
    }
    return true;
}

bool ConstantSound::Continues(const ImaState& after, const ImaState& next) {
    return after.step == next.step && std::abs(after.predictor - next.predictor) <= kPredictorSlack;
}

uint64_t ConstantSound::SoundAtEnd(MediaWindow& w, uint64_t pos, uint64_t span, bool expectSound) {
    if (!ima_) {
        if (!expectSound) return 0;
        for (uint32_t c : candidates_)
            if (c < span) return c;
        return 0;
    }
    // Units back from the end while each continues the one before it; a unit of the video
    // before them continues one by chance about once in ten thousand.
    const uint64_t most = std::min<uint64_t>((span - 1) / unitBytes_, uint64_t(largest_) * 2 / unitBytes_ + 2);
    if (most == 0) return 0;
    const uint8_t* d = w.Get(pos + span - most * unitBytes_, size_t(most * unitBytes_));
    if (!d) return 0;
    std::vector<ImaState> starts(most * channels_), ends(most * channels_);
    uint64_t units = 0;
    for (uint64_t u = most; u-- > 0;) {
        bool ok = true;
        for (uint32_t ch = 0; ok && ch < channels_; ++ch) {
            const size_t k = size_t(u * channels_ + ch);
            ok = ImaPacket(d + k * kImaPacket, starts[k], ends[k]) &&
                 (u + 1 == most || Continues(ends[k], starts[k + channels_]));
        }
        if (!ok) break;
        ++units;
    }
    return units >= 2 ? units * unitBytes_ : 0;  // one unit alone proves nothing
}

double ConstantSound::OtherByteOrderFit(MediaWindow& w, uint64_t pos, uint64_t bytes) const {
    if (bytesPerSample_ != 2 || bytes < 64) return 0;
    const size_t n = size_t(std::min<uint64_t>(bytes, 65536)) / unitBytes_ * unitBytes_;
    const uint8_t* d = w.Get(pos, n);
    if (!d) return 0;
    // Sound changes little from one frame to the next read in its own byte order.
    double big = 0, little = 0;
    for (size_t i = unitBytes_; i + 1 < n; i += 2) {
        const size_t j = i - unitBytes_;
        big += std::abs(int16_t((d[i] << 8) | d[i + 1]) - int16_t((d[j] << 8) | d[j + 1]));
        little += std::abs(int16_t((d[i + 1] << 8) | d[i]) - int16_t((d[j + 1] << 8) | d[j]));
    }
    return bigEndian_ ? big / std::max(1.0, little) : little / std::max(1.0, big);
}

}  // namespace movie::repair
