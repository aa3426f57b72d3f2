#include "movie/playback/Transport.h"

#include <algorithm>

namespace movie {

Transport::Transport(int64_t duration, uint32_t timeScale)
    : duration_(std::max<int64_t>(duration, 0)), timeScale_(timeScale ? timeScale : 1) {}

bool Transport::Play() {
    if (duration_ == 0) return false;
    if (AtEnd()) position_ = 0;
    anchor_ = position_;
    playing_ = true;
    return true;
}

void Transport::Pause() { playing_ = false; }

void Transport::Seek(int64_t time) {
    position_ = std::clamp<int64_t>(time, 0, duration_);
    anchor_ = position_;
}

bool Transport::Advance(int64_t elapsedMicros) {
    if (!playing_) return false;
    const int64_t elapsed = FromMicros(std::max<int64_t>(elapsedMicros, 0));
    // Past the end (or so far that the sum would overflow) means the end.
    if (elapsed >= duration_ - anchor_) {
        position_ = duration_;
        playing_ = false;
        return true;
    }
    position_ = anchor_ + elapsed;
    return false;
}

int64_t Transport::ShownTime() const { return AtEnd() ? std::max<int64_t>(duration_ - 1, 0) : position_; }

// Split so that hours of microseconds times a large time scale stay within 64 bits.
int64_t Transport::FromMicros(int64_t micros) const {
    constexpr int64_t kMicros = 1000000;
    return micros / kMicros * timeScale_ + micros % kMicros * timeScale_ / kMicros;
}

}  // namespace movie
