#include "movie/playback/PlaybackClock.h"

#include <algorithm>

namespace movie {

void PlaybackClock::Start(int64_t counterMicros) {
    startCounter_ = counterMicros;
    lastDevice_ = 0;
    counterAtDevice_ = 0;
    last_ = 0;
}

int64_t PlaybackClock::Elapsed(int64_t counterMicros, int64_t deviceMicros) {
    const int64_t counter = counterMicros - startCounter_;
    int64_t value = 0;
    if (deviceMicros >= 0) {
        if (deviceMicros != lastDevice_) {
            lastDevice_ = deviceMicros;
            counterAtDevice_ = counter;
        }
        const int64_t since = counter - counterAtDevice_;
        // Between the device's steps the counter fills in a little; a device that stopped
        // moving (a stalled output) hands over to the counter without a jump.
        value = lastDevice_ + (since <= kStallMicros ? std::min(since, kStepMicros)
                                                     : kStepMicros + (since - kStallMicros));
    } else {
        // No sound, or it has ended: the counter carries on from where the device stopped.
        value = lastDevice_ + (counter - counterAtDevice_);
    }
    value = std::min(value, counter + kLeadMicros);
    last_ = std::max(last_, value);
    return last_;
}

}  // namespace movie
