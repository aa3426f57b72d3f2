// Timecode as a timecode track counts it: a frame number, and the HH:MM:SS:FF text an editor shows
// for it (';' before the frames where frame numbers are dropped, as at 29.97 and 59.94 frames a
// second). Portable.
#pragma once

#include <cstdint>
#include <string>

#include "movie/container/MovieReader.h"

namespace movie {

struct TimecodeFormat {
    uint32_t frames = 0;       // frames counted per second (24, 25, 30, 60, ...): the FF field's range
    bool dropFrame = false;    // at each minute but every tenth the first frames/15 numbers are skipped
    bool wraps24h = false;     // the count starts again after 23:59:59
    bool negativeOk = false;   // frame numbers below 0 are shown with a '-'

    // From a timecode description's flags (1 drop frame, 2 wraps at 24 hours, 4 negative times).
    static TimecodeFormat FromFlags(uint32_t flags, uint32_t frames);
    // Whether frames are dropped: asked for, and a count that drops whole numbers (30, 60, ...).
    bool Drops() const { return dropFrame && frames >= 15 && frames % 15 == 0; }
};

struct TimecodeFields {
    bool negative = false;
    uint64_t hours = 0;
    uint32_t minutes = 0, seconds = 0, frames = 0;
};

// The fields a frame number stands for; false for a format without frames.
bool TimecodeFieldsOf(int64_t frameNumber, const TimecodeFormat& format, TimecodeFields& out);
// The frame number of `fields`; false when they name no frame of the format (a field out of
// range, or a number a drop-frame count skips).
bool FrameNumberOf(const TimecodeFields& fields, const TimecodeFormat& format, int64_t& frameNumber);

// "01:02:03:04", or "01:02:03;04" for a drop-frame count; "" for a format without frames.
std::string TimecodeText(int64_t frameNumber, const TimecodeFormat& format);
// The frame number of such a text (either separator before the frames); false when it is none.
bool ParseTimecode(const std::string& text, const TimecodeFormat& format, int64_t& frameNumber);

// A movie's start timecode: its first timecode track's one sample, a big-endian frame number of 4
// bytes (8 where the sample is that long), read through `file`.
struct MovieTimecode {
    int track = -1;
    TimecodeFormat format;
    int64_t frameNumber = 0;
};
bool ReadMovieTimecode(const Movie& movie, ByteSource& file, MovieTimecode& out);

}  // namespace movie
