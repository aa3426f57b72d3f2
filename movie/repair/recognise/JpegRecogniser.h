// Motion-JPEG samples: 'jpeg' and 'mjpa' run from SOI to EOI, parsed marker segment by marker
// segment and through the entropy-coded data ('mjpa' and interlaced 'jpeg' hold two fields, each
// an SOI..EOI image); 'mjpb' has no markers and is measured by its field headers.
#pragma once

#include "movie/repair/recognise/VideoRecogniser.h"

namespace movie::repair {

class JpegRecogniser : public VideoRecogniser {
public:
    explicit JpegRecogniser(const VideoLayout& layout);
    VideoMatch Match(MediaWindow& w, uint64_t pos, uint64_t end) override;
    // An image's end marker right before `pos` ('mjpb' has none to tell by).
    bool EndsSample(MediaWindow& w, uint64_t pos) override;
    bool ChecksWholeSample() const override { return true; }
    // "Motion-JPEG WxH" when an image starts at `pos`, else "".
    static std::string Sniff(MediaWindow& w, uint64_t pos, uint64_t end);

protected:
    size_t ProbeBytes() const override { return 8; }
    bool MayStart(const uint8_t* p) const override;

private:
    struct Field {
        VideoMatch::Kind kind = VideoMatch::None;
        uint64_t size = 0;
        uint32_t width = 0, height = 0;
        uint64_t nextField = 0;  // 'mjpa': the second field's offset from this one's SOI, 0 if none
    };
    static Field ParseField(MediaWindow& w, uint64_t pos, uint64_t end, uint64_t limit);
    Field ParseFieldB(MediaWindow& w, uint64_t pos, uint64_t end) const;
    VideoMatch MatchB(MediaWindow& w, uint64_t pos, uint64_t end);
    // The field or fields from `pos`, as their markers and headers give them.
    VideoMatch MatchImages(MediaWindow& w, uint64_t pos, uint64_t end);

    bool markerless_;
    uint32_t height_;
    uint64_t limit_;  // no sample is larger than this
};

}  // namespace movie::repair
