// Sound stored in units of constant size: PCM ('twos', 'sowt', 'raw ', 'lpcm', 'in24', 'in32',
// 'fl32', ...) one frame a unit, IMA4 64 frames a unit per channel. The bytes cannot say where a
// chunk of it ends; the walk takes that from the template's chunk sizes or from the video around
// it. IMA4 can say a little: each packet's header repeats the decoder's state where the packet
// before it ended.
#pragma once

#include <cstdint>
#include <vector>

#include "movie/repair/recognise/MediaWindow.h"
#include "movie/repair/template/TemplateLayout.h"

namespace movie::repair {

class ConstantSound {
public:
    explicit ConstantSound(const SoundLayout& layout);

    uint32_t UnitBytes() const { return unitBytes_; }
    uint32_t SamplesPerUnit() const { return samplesPerUnit_; }
    // The template's chunk sizes in bytes, most frequent first, and the largest.
    const std::vector<uint32_t>& Candidates() const { return candidates_; }
    uint32_t Largest() const { return largest_; }
    // `bytes` from `pos` without the trailing zero bytes, rounded up to whole units, then down to
    // whole units of what is there.
    uint64_t WithoutTrailingZeros(MediaWindow& w, uint64_t pos, uint64_t bytes) const;
    // How much sound is stored in the last bytes of [pos, pos + span) (after a sample whose end the
    // video cannot tell): for IMA4 the run of packets, back from the end, each continuing the
    // state the one before it left; for PCM the template's usual chunk when one is expected.
    uint64_t SoundAtEnd(MediaWindow& w, uint64_t pos, uint64_t span, bool expectSound);
    // 16-bit PCM: how many times smoother the sound at `pos` reads in the other byte order than in
    // the template's (above 1: the other order fits better). 0 when it cannot be told.
    double OtherByteOrderFit(MediaWindow& w, uint64_t pos, uint64_t bytes) const;

private:
    struct ImaState {
        int predictor = 0;
        int step = 0;
    };
    // The state an IMA4 packet starts from (its header) and ends with; false for an impossible header.
    static bool ImaPacket(const uint8_t* p, ImaState& start, ImaState& end);
    static bool Continues(const ImaState& after, const ImaState& next);

    bool ima_;
    bool bigEndian_;
    uint32_t unitBytes_, samplesPerUnit_, channels_, bytesPerSample_;
    std::vector<uint32_t> candidates_;
    uint32_t largest_;
};

}  // namespace movie::repair
