// What a video sample's own bytes say about its time, codec by codec: the walk keeps this beside
// each sample and the recording's timeline (RecordingTimeline) turns it into presentation times.
#pragma once

#include <cstdint>

namespace movie::repair {

struct VideoStamp {
    // The walk's verdict: the sample refers to frames that were lost (H.264 and MPEG-4 after
    // damage, up to the next key frame), so it is neither copied nor shown.
    bool dependsOnLost = false;
    // H.264: the slice header's picture order and frame number.
    bool idr = false;
    uint32_t idrPicId = 0;
    uint8_t refIdc = 0;
    uint32_t pocLsb = 0;
    uint8_t pocBits = 0;  // bits of pocLsb; 0 where the stream gives no order (decode order holds)
    uint32_t frameNum = 0;
    uint8_t frameNumBits = 0;
    // MPEG-4: the VOP's coding type (0 I, 1 P, 2 B) and its time: whole seconds counted on from the
    // time base of the anchor before it (modulo_time_base), the increment within the second in
    // units of `resolution`; with a GOV header in the sample, that header's absolute second.
    bool hasVopTime = false;
    uint8_t vopType = 0;
    uint32_t vopSeconds = 0;
    uint32_t vopIncrement = 0;
    uint32_t resolution = 0;
    bool hasGov = false;
    uint32_t govSecond = 0;
    // DV: the subcode's time code pack, where the recorder wrote one.
    bool hasTimecode = false;
    bool dropFrame = false;
    uint8_t hours = 0, minutes = 0, seconds = 0, frames = 0;
};

}  // namespace movie::repair
