// Gives every sample a walk recovered its own time in the recording. Between damaged stretches the
// samples follow each other; across one, what was lost is worked out from what the media says:
// DV frames and PCM sound by their constant sizes (the stretch's bytes are whole frames and whole
// sound frames), time codes in the DV subcode and MPEG-4 GOV headers, H.264 picture order counts
// and the recorder's key-frame rhythm; failing those, the byte rate. Sound resumes where the
// recorder's interleave puts it: a recorder writes its chunks in the order of their start times,
// so a run of sound before a video sample began no later than that sample and ended no earlier.
// Video frames that depend on lost data (H.264 and MPEG-4 up to the next key frame) are left out.
#pragma once

#include <cstdint>
#include <vector>

#include "movie/repair/recognise/VideoStamp.h"
#include "movie/repair/template/TemplateLayout.h"
#include "movie/repair/write/RecoveredMedia.h"

namespace movie::repair {

class RecordingTimeline {
public:
    explicit RecordingTimeline(const TemplateLayout& layout);

    // Sets each sample's time in `media`, removes the video samples (and their stamps) that depend
    // on lost data, fills in what each damaged stretch lost, and takes a DV recording's start
    // timecode from its first frame's subcode.
    void Place(RecoveredMedia& media, std::vector<VideoStamp>& stamps);

private:
    struct Segment;
    struct Track;
    enum class Codec { Constant, Avc, Mpeg4 };

    // Presentation slots (or MPEG-4 times) of one segment's frames, relative to its own origin,
    // and which of them depend on what came before the segment.
    void ReadVideo(Segment& seg, const std::vector<VideoStamp>& stamps, const Segment* before) const;
    // The first decode index and the sound origins of segment `s`, given those before it.
    void Resolve(std::vector<Segment>& segs, size_t s, const RecoveredMedia& media,
                 const std::vector<VideoStamp>& stamps) const;
    // The sound origin of each track in a segment whose first video sample decodes at `decode`:
    // where the recorder's interleave puts it, on the track's chunk grid, never before `earliest`.
    // False for a track without a constraint (then the typical lead is used).
    bool PlaceSound(const Segment& seg, size_t track, int64_t decode, int64_t earliest, int64_t& origin) const;
    double VideoSeconds(double units) const;
    double SoundSeconds(size_t track, double units) const;

    const TemplateLayout& layout_;
    Codec codec_;
    int64_t delta_;        // video media units a frame
    int64_t pocStep_ = 2;  // H.264: picture order count from one frame to the next
    double frameBytes_;    // DV: every frame's size; 0 for video of varying size
};

}  // namespace movie::repair
