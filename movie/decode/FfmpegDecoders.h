// The decoders the program plays with: our FFmpeg video and sound decoders behind the sources the
// controller asks for. Portable.
#pragma once

#include "movie/decode/MediaSource.h"

namespace movie {

class FfmpegDecoders final : public MediaDecoders {
public:
    std::unique_ptr<PictureSource> OpenPictures(const std::shared_ptr<const Movie>& movie,
                                                const std::string& path) override;
    std::unique_ptr<SoundSource> OpenSound(const std::shared_ptr<const Movie>& movie, const std::string& path) override;
};

}  // namespace movie
