// What the controller needs from decoding: pictures and sound of one movie by movie time (units
// of the movie's time scale). Portable; the decoders behind it are chosen by a MediaDecoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "movie/container/MovieReader.h"

namespace movie {

// The movie times [start, end) during which one frame stays on screen.
struct FrameSpan {
    int64_t start = 0;
    int64_t end = 0;
};

class PictureSource {
public:
    virtual ~PictureSource() = default;
    // The span of the frame shown at `time`; false when no frame is shown then.
    virtual bool SpanAt(int64_t time, FrameSpan& span) = 0;
    // Puts the frame shown at `time`, scaled to width x height, into `pixels`: rows top-down,
    // `stride` bytes apart, each pixel the bytes B, G, R, 0xFF. False when it has none (no frame
    // then, or a sample it cannot read or decode); the pixels are then untouched.
    virtual bool FrameAt(int64_t time, int width, int height, uint8_t* pixels, size_t stride) = 0;
};

struct SoundFormat {
    int rate = 0;      // frames per second
    int channels = 0;  // 1 or more
};

class SoundSource {
public:
    virtual ~SoundSource() = default;
    // The sound's own rate and channel count, which it gives at no cost of conversion.
    virtual SoundFormat Format() const = 0;
    // The next Read gives the sound from movie time `time` on, at `format` (channels 1 or 2).
    // False when it cannot give that format.
    virtual bool Start(int64_t time, SoundFormat format) = 0;
    // Up to `frames` frames of interleaved signed 16-bit samples; fewer only where the sound
    // ends, 0 after its end.
    virtual size_t Read(int16_t* samples, size_t frames) = 0;
};

// Makes the sources for a movie read from the file at `path`; the sources keep open what they
// need of the file and hold `movie` while they live. Null when the movie has no such track or
// none that can be decoded.
class MediaDecoders {
public:
    virtual ~MediaDecoders() = default;
    virtual std::unique_ptr<PictureSource> OpenPictures(const std::shared_ptr<const Movie>& movie,
                                                        const std::string& path) = 0;
    virtual std::unique_ptr<SoundSource> OpenSound(const std::shared_ptr<const Movie>& movie,
                                                   const std::string& path) = 0;
};

// The decoders the program plays with (FFmpegDecoders). A controller given none plays a movie's
// time with an even fill in its frame, silently.
std::shared_ptr<MediaDecoders> DefaultMediaDecoders();

}  // namespace movie
