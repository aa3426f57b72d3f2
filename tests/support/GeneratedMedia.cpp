#include "tests/support/GeneratedMedia.h"

#include <algorithm>
#include <cmath>

namespace testsupport {

using namespace movie;

namespace {

const Track* FirstTrack(const Movie& movie, TrackKind kind) {
    for (const Track& track : movie.tracks)
        if (track.kind == kind && track.enabled && track.SampleCount() > 0 && track.mediaTimeScale > 0) return &track;
    return nullptr;
}

// value in units of `from` per second, in units of `to`; split so large values stay in 64 bits.
int64_t Rescale(int64_t value, int64_t from, int64_t to) { return value / from * to + value % from * to / from; }

}  // namespace

GeneratedPictures::GeneratedPictures(std::shared_ptr<const Movie> movie, int fallbackRate) : movie_(std::move(movie)) {
    const int64_t duration = static_cast<int64_t>(std::min<uint64_t>(movie_->duration, INT64_MAX / 2));
    const int64_t scale = std::max<uint32_t>(movie_->timeScale, 1);
    if (const Track* video = FirstTrack(*movie_, TrackKind::Video)) {
        SampleInfo sample;
        for (size_t n = 0; n < video->SampleCount() && video->Sample(n, sample); ++n) {
            if (sample.time >= uint64_t(INT64_MAX / 2)) break;
            const int64_t start = Rescale(static_cast<int64_t>(sample.time), video->mediaTimeScale, scale);
            if (start >= duration) break;
            if (starts_.empty() || start > starts_.back()) starts_.push_back(start);
        }
    } else {
        const int64_t rate = std::max(fallbackRate, 1);
        for (int64_t n = 0;; ++n) {
            const int64_t start = (n * scale + rate - 1) / rate;
            if (start >= duration) break;
            starts_.push_back(start);
        }
    }
    end_ = duration;
}

long GeneratedPictures::FrameIndexAt(int64_t time) const {
    if (starts_.empty() || time < starts_.front() || time >= end_) return -1;
    return static_cast<long>(std::upper_bound(starts_.begin(), starts_.end(), time) - starts_.begin()) - 1;
}

bool GeneratedPictures::SpanAt(int64_t time, FrameSpan& span) {
    const long n = FrameIndexAt(time);
    if (n < 0) return false;
    span.start = starts_[static_cast<size_t>(n)];
    span.end = static_cast<size_t>(n) + 1 < starts_.size() ? starts_[static_cast<size_t>(n) + 1] : end_;
    return true;
}

Rgb GeneratedPictures::Top(size_t n) {
    return Rgb{static_cast<uint8_t>((n * 47 + 16) % 256), static_cast<uint8_t>((n * 23 + 128) % 256), 64};
}

Rgb GeneratedPictures::Bottom(size_t n) {
    const Rgb top = Top(n);
    return Rgb{static_cast<uint8_t>(255 - top.r), static_cast<uint8_t>(255 - top.g), 192};
}

bool GeneratedPictures::FrameAt(int64_t time, int width, int height, uint8_t* pixels, size_t stride) {
    const long n = FrameIndexAt(time);
    if (n < 0 || width <= 0 || height <= 0 || pixels == nullptr) return false;
    for (int y = 0; y < height; ++y) {
        const Rgb c = y < height / 2 ? Top(static_cast<size_t>(n)) : Bottom(static_cast<size_t>(n));
        uint8_t* row = pixels + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            row[4 * x] = c.b;
            row[4 * x + 1] = c.g;
            row[4 * x + 2] = c.r;
            row[4 * x + 3] = 0xFF;
        }
    }
    return true;
}

GeneratedSound::GeneratedSound(uint32_t timeScale, int64_t duration, SoundFormat format)
    : timeScale_(std::max<uint32_t>(timeScale, 1)), duration_(std::max<int64_t>(duration, 0)), format_(format) {}

bool GeneratedSound::Start(int64_t time, SoundFormat format) {
    if (format.rate <= 0 || format.channels < 1 || format.channels > 2) return false;
    playing_ = format;
    next_ = Rescale(std::clamp<int64_t>(time, 0, duration_), timeScale_, format.rate);
    endFrame_ = Rescale(duration_, timeScale_, format.rate);
    return true;
}

size_t GeneratedSound::Read(int16_t* samples, size_t frames) {
    if (playing_.rate == 0 || next_ >= endFrame_) return 0;
    const size_t count = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(frames), endFrame_ - next_));
    for (size_t i = 0; i < count; ++i, ++next_)
        for (int c = 0; c < playing_.channels; ++c)
            samples[i * static_cast<size_t>(playing_.channels) + static_cast<size_t>(c)] = Sample(next_, c, playing_.rate);
    return count;
}

int16_t GeneratedSound::Sample(int64_t frame, int channel, int rate) {
    const double kPi = 3.14159265358979323846;
    const double frequency = channel == 0 ? 440.0 : 660.0;
    const double tone = 6000.0 * std::sin(2.0 * kPi * frequency * static_cast<double>(frame) / rate);
    // A small hash of the frame and channel: a few frames of it do not repeat.
    uint32_t h = static_cast<uint32_t>(frame) * 2654435761u ^ static_cast<uint32_t>(channel + 1) * 40503u;
    h ^= h >> 15;
    h *= 2246822519u;
    h ^= h >> 13;
    return static_cast<int16_t>(std::lround(tone) + static_cast<int>(h % 512) - 256);
}

std::unique_ptr<PictureSource> GeneratedDecoders::OpenPictures(const std::shared_ptr<const Movie>& movie,
                                                               const std::string&) {
    if (!movie || !options_.pictures) return nullptr;
    if (!options_.withoutTracks && !FirstTrack(*movie, TrackKind::Video)) return nullptr;
    return std::make_unique<GeneratedPictures>(movie, options_.fallbackRate);
}

std::unique_ptr<SoundSource> GeneratedDecoders::OpenSound(const std::shared_ptr<const Movie>& movie,
                                                          const std::string&) {
    if (!movie || !options_.sound) return nullptr;
    if (!options_.withoutTracks && !FirstTrack(*movie, TrackKind::Sound)) return nullptr;
    return std::make_unique<GeneratedSound>(movie->timeScale,
                                            static_cast<int64_t>(std::min<uint64_t>(movie->duration, INT64_MAX / 2)),
                                            options_.soundFormat);
}

}  // namespace testsupport
