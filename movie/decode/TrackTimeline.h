// A track's place on the movie timeline: its edit list as segments, and movie time to media time.
// Portable; no FFmpeg. The decoders use it, and so can the controller (durations, frame steps).
#pragma once

#include <cstdint>
#include <vector>

#include "movie/container/MovieReader.h"

namespace movie {

class TrackTimeline {
public:
    struct Segment {
        uint64_t movieStart = 0, movieEnd = 0;  // movie time-scale units, end exclusive
        int64_t mediaStart = -1;                // media time-scale units; -1: an empty edit (nothing)
        int32_t rate = 0x10000;                 // 16.16 media rate; 0 holds the frame at mediaStart
    };

    // Without an edit list the track is one segment from movie time 0 over its duration (tkhd's,
    // or the media duration where tkhd gives none). Segments of zero length are dropped.
    TrackTimeline(const Track& track, uint32_t movieTimeScale);

    const std::vector<Segment>& Segments() const { return segments_; }
    uint64_t End() const { return segments_.empty() ? 0 : segments_.back().movieEnd; }
    uint32_t MovieTimeScale() const { return movieScale_; }
    uint32_t MediaTimeScale() const { return mediaScale_; }

    // The segment holding movieTime; nullptr at or past End().
    const Segment* SegmentAt(uint64_t movieTime) const;
    // The media time presented at movieTime; false in an empty edit or at or past End().
    bool MediaTimeAt(uint64_t movieTime, int64_t& mediaTime) const;
    // The first movie time at or after `from` at which `mediaTime` is presented within the segment
    // holding `from`; false when the segment ends first (or holds a still frame).
    bool MovieTimeOf(int64_t mediaTime, uint64_t from, uint64_t& movieTime) const;

private:
    std::vector<Segment> segments_;
    uint32_t movieScale_ = 1, mediaScale_ = 1;
};

// a * b / c rounded down, for non-negative values; saturates instead of overflowing. c > 0.
uint64_t ScaleTime(uint64_t a, uint64_t b, uint64_t c);

// The movie's duration in seconds (0 for a movie without a time scale).
double DurationSeconds(const Movie& movie);

}  // namespace movie
