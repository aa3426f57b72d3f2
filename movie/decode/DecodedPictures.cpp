#include "movie/decode/DecodedPictures.h"

#include <cstring>

namespace movie {

std::unique_ptr<DecodedPictures> DecodedPictures::Open(const std::shared_ptr<const Movie>& movie,
                                                       const std::string& path) {
    const int track = movie ? FindTrack(*movie, TrackKind::Video) : -1;
    if (track < 0) return nullptr;
    auto file = FileSource::Open(path);
    if (!file) return nullptr;
    auto decoder = std::make_unique<VideoDecoder>(*movie, std::move(file), track);
    if (!decoder->Supported()) return nullptr;
    return std::unique_ptr<DecodedPictures>(new DecodedPictures(movie, std::move(decoder)));
}

DecodedPictures::DecodedPictures(std::shared_ptr<const Movie> movie, std::unique_ptr<VideoDecoder> decoder)
    : movie_(std::move(movie)), decoder_(std::move(decoder)) {}

bool DecodedPictures::Presented(int64_t time) const {
    return time >= 0 && decoder_->Presents(static_cast<uint64_t>(time));
}

bool DecodedPictures::SpanAt(int64_t time, FrameSpan& span) {
    if (!Presented(time)) return false;
    const uint64_t at = static_cast<uint64_t>(time);
    span.start = static_cast<int64_t>(decoder_->FrameStartTime(at));
    span.end = static_cast<int64_t>(decoder_->NextFrameTime(at));
    if (span.end <= time) span.end = time + 1;
    return true;
}

bool DecodedPictures::FrameAt(int64_t time, int width, int height, uint8_t* pixels, size_t stride) {
    if (!Presented(time) || pixels == nullptr || width < 1 || height < 1 || stride < size_t(width) * 4) return false;
    VideoDecoder::Picture picture;
    if (decoder_->FrameAt(static_cast<uint64_t>(time), width, height, picture) != VideoDecoder::Status::Shown)
        return false;
    const size_t row = size_t(width) * 4;
    for (int y = 0; y < height; ++y)
        std::memcpy(pixels + size_t(y) * stride, picture.pixels + size_t(y) * picture.stride, row);
    return true;
}

}  // namespace movie
