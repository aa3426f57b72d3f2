#include "movie/decode/DecodedSound.h"

#include <algorithm>

namespace movie {

namespace {
std::unique_ptr<SoundDecoder> MakeDecoder(const Movie& movie, const std::string& path, int track, SoundFormat format) {
    auto file = FileSource::Open(path);
    if (!file) return nullptr;
    auto decoder = std::make_unique<SoundDecoder>(movie, std::move(file), format.rate, format.channels, track);
    return decoder->Supported() ? std::move(decoder) : nullptr;
}
}  // namespace

std::unique_ptr<DecodedSound> DecodedSound::Open(const std::shared_ptr<const Movie>& movie, const std::string& path) {
    const int track = movie ? FindTrack(*movie, TrackKind::Sound) : -1;
    if (track < 0) return nullptr;
    const Track& t = movie->tracks[static_cast<size_t>(track)];
    // The sound's own rate and up to two channels, within what the decoder gives out.
    const SoundFormat format{static_cast<int>(std::clamp<uint32_t>(t.sampleRate, 8000, 192000)),
                             std::clamp<int>(t.channels, 1, 2)};
    auto decoder = MakeDecoder(*movie, path, track, format);
    if (!decoder) return nullptr;
    return std::unique_ptr<DecodedSound>(new DecodedSound(movie, path, track, format, std::move(decoder)));
}

DecodedSound::DecodedSound(std::shared_ptr<const Movie> movie, std::string path, int track, SoundFormat format,
                           std::unique_ptr<SoundDecoder> decoder)
    : movie_(std::move(movie)), path_(std::move(path)), track_(track), format_(format), decoder_(std::move(decoder)) {}

bool DecodedSound::Start(int64_t time, SoundFormat format) {
    if (format.rate < 8000 || format.rate > 192000 || format.channels < 1 || format.channels > 2) return false;
    if (!decoder_ || decoder_->Rate() != format.rate || decoder_->Channels() != format.channels) {
        decoder_ = MakeDecoder(*movie_, path_, track_, format);
        if (!decoder_) return false;
    }
    decoder_->Seek(static_cast<uint64_t>(std::max<int64_t>(time, 0)));
    return true;
}

size_t DecodedSound::Read(int16_t* samples, size_t frames) { return decoder_ ? decoder_->Read(samples, frames) : 0; }

}  // namespace movie
