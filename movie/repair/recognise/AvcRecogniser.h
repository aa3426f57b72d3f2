// H.264 samples ('avc1'): NAL units behind the length prefix the template's 'avcC' gives, one
// access unit per sample. An access unit ends where the next begins (a delimiter, parameter set,
// SEI or the first slice of another picture) or where the bytes stop being NAL units of the
// stream; slice headers are checked against the parameter sets. IDR pictures are key frames; each
// sample is stamped with its picture order count and frame number.
#pragma once

#include "movie/repair/recognise/AvcParameters.h"
#include "movie/repair/recognise/VideoRecogniser.h"

namespace movie::repair {

class AvcRecogniser : public VideoRecogniser {
public:
    explicit AvcRecogniser(const VideoLayout& layout);
    VideoMatch Match(MediaWindow& w, uint64_t pos, uint64_t end) override;

protected:
    size_t ProbeBytes() const override { return size_t(params_.LengthSize()) + 1; }
    bool MayStart(const uint8_t* p) const override;

private:
    enum class Nal { Invalid, Slice, StartsUnit, Trailing };
    Nal Classify(uint8_t header, uint64_t length) const;
    bool ReadLength(const uint8_t* p, uint64_t& length) const;

    AvcParameters params_;
    bool ready_;
    uint64_t nalLimit_, sampleLimit_;
};

}  // namespace movie::repair
