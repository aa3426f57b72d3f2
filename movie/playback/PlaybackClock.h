// Time since playback started, in microseconds: the sound device's position while sound plays,
// the performance counter otherwise. Portable: the caller reads both and passes them in.
#pragma once

#include <cstdint>

namespace movie {

class PlaybackClock {
public:
    // How far past the device's last reported position the counter may carry the time (the
    // device reports in steps); after kStallMicros without a new position the device counts as
    // stalled and the counter runs on alone.
    static constexpr int64_t kStepMicros = 40000;
    static constexpr int64_t kStallMicros = 500000;
    // A device never runs ahead of the counter by more than this; one that does (a virtual
    // output that takes sound faster than it plays) does not hurry the picture.
    static constexpr int64_t kLeadMicros = 250000;

    // Playback (re)starts now; `counterMicros` is the counter's reading.
    void Start(int64_t counterMicros);
    // The time since Start. deviceMicros: sound played since Start, negative when no sound plays
    // (none, or it has ended). Never less than an earlier answer since Start.
    int64_t Elapsed(int64_t counterMicros, int64_t deviceMicros);

private:
    int64_t startCounter_ = 0;
    int64_t lastDevice_ = 0;      // the device's last new position (0 at Start)
    int64_t counterAtDevice_ = 0; // the counter (since Start) when it was reported
    int64_t last_ = 0;
};

}  // namespace movie
