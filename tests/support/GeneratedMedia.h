// Stand-in decoders for tests and benchmarks: pictures and sound computed from the movie time,
// so that what reaches the screen or the sound device can be checked exactly. Frames follow the
// movie's first video track (its sample times, edit lists ignored), or a fixed rate for a movie
// without one; each frame is two flat halves whose colours name the frame.
#pragma once

#include <memory>
#include <vector>

#include "movie/decode/MediaSource.h"

namespace testsupport {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

class GeneratedPictures final : public movie::PictureSource {
public:
    // fallbackRate: frames per second for a movie without a usable video track.
    GeneratedPictures(std::shared_ptr<const movie::Movie> movie, int fallbackRate);
    bool SpanAt(int64_t time, movie::FrameSpan& span) override;
    bool FrameAt(int64_t time, int width, int height, uint8_t* pixels, size_t stride) override;

    // The colours of frame n (0-based): its top half and its bottom half.
    static Rgb Top(size_t n);
    static Rgb Bottom(size_t n);
    // The frame shown at `time`, -1 for none.
    long FrameIndexAt(int64_t time) const;
    size_t FrameCount() const { return starts_.size(); }

private:
    std::shared_ptr<const movie::Movie> movie_;
    std::vector<int64_t> starts_;  // movie time at which each frame starts, ascending
    int64_t end_ = 0;              // the movie time at which the last frame ends
};

class GeneratedSound final : public movie::SoundSource {
public:
    GeneratedSound(uint32_t timeScale, int64_t duration, movie::SoundFormat format);
    movie::SoundFormat Format() const override { return format_; }
    bool Start(int64_t time, movie::SoundFormat format) override;
    size_t Read(int16_t* samples, size_t frames) override;

    // Sample `channel` of frame `frame` (counted from movie time 0) at `rate`: a tone plus a
    // little noise that depends on the frame, so that any few frames tell where they come from.
    static int16_t Sample(int64_t frame, int channel, int rate);

private:
    uint32_t timeScale_;
    int64_t duration_;
    movie::SoundFormat format_;
    movie::SoundFormat playing_{};
    int64_t next_ = 0;      // next frame to read
    int64_t endFrame_ = 0;  // first frame past the movie's end
};

// Pictures for movies with a video track, sound for movies with a sound track; `pictures` or
// `sound` false leaves that kind out, as for a codec nobody decodes.
class GeneratedDecoders final : public movie::MediaDecoders {
public:
    struct Options {
        bool pictures = true;
        bool sound = true;
        // Also for movies without such a track (a movie made in memory with only a natural box).
        bool withoutTracks = false;
        int fallbackRate = 25;
        movie::SoundFormat soundFormat{48000, 2};
    };
    GeneratedDecoders() = default;
    explicit GeneratedDecoders(Options options) : options_(options) {}
    std::unique_ptr<movie::PictureSource> OpenPictures(const std::shared_ptr<const movie::Movie>& movie,
                                                const std::string& path) override;
    std::unique_ptr<movie::SoundSource> OpenSound(const std::shared_ptr<const movie::Movie>& movie,
                                           const std::string& path) override;

private:
    Options options_;
};

}  // namespace testsupport
