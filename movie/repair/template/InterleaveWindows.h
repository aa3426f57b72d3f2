// Where each sound track's time stands against the video's, from the order a recorder wrote its
// chunks in. Recorders write each chunk when it is the oldest data they hold: a run of a track's
// sound followed by a video sample began no later than that sample's decode time, and ended no
// earlier. Over one stretch of media (its samples fed in file order) this narrows, for each track,
// the window in which its first chunk began, in seconds after the stretch's first video sample.
// Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace movie::repair {

class InterleaveWindows {
public:
    // unitSeconds: per sound track, the seconds of one media unit; frameSeconds: a video frame's;
    // decision: per track, the media units the recorder decides the order by (its sound buffer,
    // where it joins several into one chunk), 0 where it decides by whole chunks.
    InterleaveWindows(std::vector<double> unitSeconds, double frameSeconds, std::vector<int64_t> decision = {});

    // A chunk of `units` media units of `track`, next in file order.
    void Sound(size_t track, int64_t units);
    // A video sample, next in file order: it closes the runs of sound before it. False when a
    // window is left empty (the sound before it cannot have been written in order of time).
    bool Video();

    bool Constrained(size_t track) const { return tracks_[track].constrained; }
    double Lo(size_t track) const { return tracks_[track].lo; }
    double Hi(size_t track) const { return tracks_[track].hi; }
    // The decode time, after the first video sample's, of the video sample due when the track's
    // first chunk came (for a track without a window: where its sound most likely began).
    double FirstChunkAfter(size_t track) const { return tracks_[track].firstAfter; }
    int64_t VideoSamples() const { return videos_; }

    // A muxer's rounding of times: how far a chunk may stray from the order of start times.
    static constexpr double kTolerance = 0.002;

private:
    struct Track {
        double unitSeconds = 0;
        int64_t decision = 0;
        int64_t soFar = 0, last = 0;  // units held, and in the last chunk
        bool inRun = false, constrained = false, started = false;
        double lo = -std::numeric_limits<double>::infinity(), hi = std::numeric_limits<double>::infinity();
        double firstAfter = 0;
    };
    std::vector<Track> tracks_;
    double frameSeconds_;
    int64_t videos_ = 0;
};

}  // namespace movie::repair
