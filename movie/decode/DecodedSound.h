// The sound of a movie's sound track as the controller asks for it, from our FFmpeg decoder.
// Portable.
#pragma once

#include <memory>
#include <string>

#include "movie/decode/MediaSource.h"
#include "movie/decode/SoundDecoder.h"

namespace movie {

class DecodedSound final : public SoundSource {
public:
    // Null when the movie has no sound track or its codec does not decode here.
    static std::unique_ptr<DecodedSound> Open(const std::shared_ptr<const Movie>& movie, const std::string& path);

    SoundFormat Format() const override { return format_; }
    bool Start(int64_t time, SoundFormat format) override;
    size_t Read(int16_t* samples, size_t frames) override;

private:
    DecodedSound(std::shared_ptr<const Movie> movie, std::string path, int track, SoundFormat format,
                 std::unique_ptr<SoundDecoder> decoder);

    std::shared_ptr<const Movie> movie_;
    std::string path_;
    int track_;
    SoundFormat format_;
    // Made for the output format that Start asks for; the one made at opening serves the sound's own.
    std::unique_ptr<SoundDecoder> decoder_;
};

}  // namespace movie
