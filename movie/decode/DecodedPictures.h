// The pictures of a movie's video track as the controller asks for them, from our FFmpeg decoder.
// Portable.
#pragma once

#include <memory>
#include <string>

#include "movie/decode/MediaSource.h"
#include "movie/decode/VideoDecoder.h"

namespace movie {

class DecodedPictures final : public PictureSource {
public:
    // Null when the movie has no video track or its codec does not decode here.
    static std::unique_ptr<DecodedPictures> Open(const std::shared_ptr<const Movie>& movie, const std::string& path);

    bool SpanAt(int64_t time, FrameSpan& span) override;
    bool FrameAt(int64_t time, int width, int height, uint8_t* pixels, size_t stride) override;

private:
    DecodedPictures(std::shared_ptr<const Movie> movie, std::unique_ptr<VideoDecoder> decoder);
    // True when a frame is presented at `time` (inside the track, not in an empty edit). The
    // decoder counts movie time unsigned; a time before the movie presents nothing.
    bool Presented(int64_t time) const;

    std::shared_ptr<const Movie> movie_;
    std::unique_ptr<VideoDecoder> decoder_;
};

}  // namespace movie
