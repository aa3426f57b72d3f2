// MPEG-4 Part 2 samples ('mp4v'): a sample is the headers before one VOP and that VOP, found by
// their start codes; it ends where the next sample's start code is, so sound stored after a VOP
// lies within the measured span (the match says so and the walk splits it off). VOP headers are
// checked against the template's video object layer: coding type and marker bits.
#pragma once

#include "movie/repair/recognise/VideoRecogniser.h"

namespace movie::repair {

class Mpeg4Recogniser : public VideoRecogniser {
public:
    explicit Mpeg4Recogniser(const VideoLayout& layout);
    VideoMatch Match(MediaWindow& w, uint64_t pos, uint64_t end) override;
    // "MPEG-4" when a VOP or its headers start at `pos`, else "".
    static std::string Sniff(MediaWindow& w, uint64_t pos, uint64_t end);

protected:
    size_t ProbeBytes() const override { return 4; }
    bool MayStart(const uint8_t* p) const override;

private:
    // Whether the VOP header after a start code at `pos` checks out; its coding type and time go
    // into `stamp`.
    bool VopHeader(MediaWindow& w, uint64_t pos, uint64_t end, VideoStamp& stamp) const;
    // Whether a start code at `pos` opens a sample, its header checked: sound stored between
    // samples may hold 00 00 01 by chance.
    bool OpensSampleAt(MediaWindow& w, uint64_t pos, uint64_t end) const;
    // The next start code (00 00 01) at or after `from`, or `stop`.
    static uint64_t NextStartCode(MediaWindow& w, uint64_t from, uint64_t stop);
    // The next start code at or after `from` that opens a sample; `end` if none.
    uint64_t NextSampleStart(MediaWindow& w, uint64_t from, uint64_t end) const;

    int timeBits_ = 0;  // bits of vop_time_increment; 0 when the layer is unknown
    uint32_t resolution_ = 0;  // vop_time_increment_resolution
    uint32_t width_ = 0, height_ = 0;
    uint64_t limit_;
};

}  // namespace movie::repair
