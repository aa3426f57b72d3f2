// Finds a video sample's boundaries again from the media itself, codec by codec. Nothing is
// assumed that the bytes can check.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "movie/repair/recognise/MediaWindow.h"
#include "movie/repair/recognise/VideoStamp.h"
#include "movie/repair/template/TemplateLayout.h"

namespace movie::repair {

struct VideoMatch {
    enum Kind {
        None,    // no sample of the track starts here
        Whole,   // a whole sample of `size` bytes starts here
        CutOff,  // a sample starts here but its bytes run past the end of the data
    };
    Kind kind = None;
    uint64_t size = 0;
    bool key = true;
    // The sample's end is where the next sample starts (MPEG-4): sound stored after it lies within
    // `size`, and the walk splits it off.
    bool openEnded = false;
    // The picture size the bitstream gives (0 where it gives none).
    uint32_t width = 0, height = 0;
    // What the sample's bytes say about its time.
    VideoStamp stamp;
};

class VideoRecogniser {
public:
    virtual ~VideoRecogniser() = default;
    // Whether a sample starts at `pos`, given that the media ends at `end`. No side effects.
    virtual VideoMatch Match(MediaWindow& w, uint64_t pos, uint64_t end) = 0;
    // The first position in [from, limit) where a sample starts (Whole or CutOff); `limit` if none.
    uint64_t Find(MediaWindow& w, uint64_t from, uint64_t limit, uint64_t end);
    // Records a sample the walk keeps, in file order (MPEG-4 headers carry over to later samples).
    virtual void Keep(VideoMatch& m) { (void)m; }
    // Whether a sample's bytes plainly end right before `pos` (a DV frame's last block, a JPEG
    // image's end marker): where damage ends inside a picture, what follows it is whole again.
    virtual bool EndsSample(MediaWindow& w, uint64_t pos) { (void)w, (void)pos; return false; }
    // Whether the recogniser checks a sample to its last byte, so that garbage right after a whole
    // one did not begin inside it.
    virtual bool ChecksWholeSample() const { return false; }

protected:
    // Bytes a quick look at a candidate position needs, and that look: false rules `p` out.
    virtual size_t ProbeBytes() const = 0;
    virtual bool MayStart(const uint8_t* p) const = 0;
};

}  // namespace movie::repair
