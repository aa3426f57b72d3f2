// The layout of a DV recording read from its own media, for when no healthy clip recorded the same
// way is at hand. DV describes itself: each frame's DIF header gives the system (525/60 or 625/50),
// the second channel of a frame its 50 Mbit/s, and its VAUX a 16:9 picture. The sound the recorder stored between the
// frames is measured: its bytes a second against the video's time give the PCM rate and channel
// count (16-bit), every run of it a whole number of sample frames; the byte order is the one in
// which the signal changes least from one sample frame to the next. What the media shows is
// described as a movie a recorder of that kind writes (one sound chunk per run between frames), so
// that the walk follows it as it follows a template. Sound that cannot be told for certain is
// still walked past as sound but left out of the repaired clip. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "movie/container/MovieReader.h"
#include "movie/repair/template/TemplateLayout.h"

namespace movie::repair {

class DvMediaLayout {
public:
    // Reads the media [start, end) of `source` from its first DV frame; false when none is found
    // near its start.
    bool Read(ByteSource& source, uint64_t start, uint64_t end);
    // The layout a template would give; false (and `why`) when it cannot be built.
    bool Describe(TemplateLayout& layout, std::string& why) const;

    // What was found: the system, the sound's bytes a second, and why the sound is left out ("" when
    // it is kept or there is none).
    bool Dv625() const { return dv625_; }
    bool Dv50() const { return dv50_; }
    double SoundBytesPerSecond() const { return bytesPerSecond_; }
    const std::string& SoundLeftOut() const { return soundLeftOut_; }

private:
    struct Run {
        uint64_t offset, bytes;
    };
    void MeasureSound(ByteSource& source);
    bool TellByteOrder(ByteSource& source, uint32_t unit, bool& bigEndian) const;
    // Whether two-channel sound looks like two tracks of one channel each, chunk after chunk.
    bool TwoTracksOfOne(ByteSource& source) const;
    std::vector<uint8_t> Moov() const;

    bool dv625_ = false, dv50_ = false;
    bool wide_ = false;  // a 16:9 picture
    uint64_t dataEnd_ = 0;
    // Stretches of the media between damage: the offsets of their whole frames in file order, and
    // the sound after each frame but the last (bytes 0 where none).
    struct Segment {
        std::vector<uint64_t> frames;
        std::vector<Run> runs;
    };
    std::vector<Segment> segments_;
    double bytesPerSecond_ = 0;
    // The sound as it is described: rate, channels, byte order (a stand-in where it is left out).
    uint32_t rate_ = 0;
    uint16_t channels_ = 0;
    uint32_t unit_ = 0;  // bytes of a sample frame
    bool bigEndian_ = true;
    std::string soundLeftOut_;
};

}  // namespace movie::repair
