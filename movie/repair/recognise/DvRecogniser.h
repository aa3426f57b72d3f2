// DV frames ('dvc ', 'dvcp', 'dvpp', 'dv5n', 'dv5p'): a fixed size for their system, each a run of
// DIF sequences of 150 blocks of 80 bytes whose block ids are checked at the frame's start, at its
// last sequence and at its last block.
#pragma once

#include "movie/repair/recognise/VideoRecogniser.h"

namespace movie::repair {

class DvRecogniser : public VideoRecogniser {
public:
    explicit DvRecogniser(const VideoLayout& layout);
    VideoMatch Match(MediaWindow& w, uint64_t pos, uint64_t end) override;
    // A frame of this system (whole or not) ends right before `pos`: its last DIF block does.
    bool EndsSample(MediaWindow& w, uint64_t pos) override;
    bool ChecksWholeSample() const override { return true; }
    // "DV 525/60", "DV 625/50" (with "DV50" for 50 Mbit/s) when a DV frame starts at `pos`, else "".
    static std::string Sniff(MediaWindow& w, uint64_t pos, uint64_t end);

protected:
    size_t ProbeBytes() const override { return 4; }
    bool MayStart(const uint8_t* p) const override;

private:
    uint32_t frameBytes_;
    bool dv625_;
    uint32_t sequences_;  // DIF sequences per channel
    uint32_t channels_;   // 2 at 50 Mbit/s
};

}  // namespace movie::repair
