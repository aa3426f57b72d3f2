// Where playback stands in a movie: the position in movie time, whether it plays, and how it
// moves on as time passes. Portable; the controller feeds it elapsed time from its clock.
#pragma once

#include <cstdint>

namespace movie {

class Transport {
public:
    // duration in units of timeScale; a negative duration counts as 0, a time scale of 0 as 1.
    Transport(int64_t duration, uint32_t timeScale);

    int64_t Duration() const { return duration_; }
    uint32_t TimeScale() const { return timeScale_; }
    int64_t Position() const { return position_; }
    bool Playing() const { return playing_; }
    bool AtEnd() const { return position_ >= duration_; }

    // Plays from the position, or from 0 when it stands at the end. False (and nothing
    // changes) for a movie of no length.
    bool Play();
    void Pause();
    // Moves to `time`, kept within the movie; a playing transport plays on from there.
    void Seek(int64_t time);
    // Moves a playing transport to `elapsedMicros` after its last Play or Seek; at the end it
    // stops there. True when this call reached the end.
    bool Advance(int64_t elapsedMicros);
    // The movie time whose frame is shown: the position, and at the end the movie's last instant.
    int64_t ShownTime() const;

    // Movie time units for a span of microseconds, rounded down.
    int64_t FromMicros(int64_t micros) const;

private:
    int64_t duration_;
    uint32_t timeScale_;
    int64_t position_ = 0;
    int64_t anchor_ = 0;  // the position at the last Play or Seek
    bool playing_ = false;
};

}  // namespace movie
