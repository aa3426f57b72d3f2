#include "movie/decode/FfmpegDecoders.h"

#include "movie/decode/DecodedPictures.h"
#include "movie/decode/DecodedSound.h"

namespace movie {

std::unique_ptr<PictureSource> FfmpegDecoders::OpenPictures(const std::shared_ptr<const Movie>& movie,
                                                            const std::string& path) {
    return DecodedPictures::Open(movie, path);
}

std::unique_ptr<SoundSource> FfmpegDecoders::OpenSound(const std::shared_ptr<const Movie>& movie,
                                                       const std::string& path) {
    return DecodedSound::Open(movie, path);
}

std::shared_ptr<MediaDecoders> DefaultMediaDecoders() { return std::make_shared<FfmpegDecoders>(); }

}  // namespace movie
