// How FFmpeg decodes a track: which decoder, with what configuration, and for constant-rate sound
// how many bytes hold how many frames. Internal to the movie library.
#pragma once

#include <cstdint>
#include <vector>

#include "movie/container/MovieReader.h"
#include "movie/decode/FfmpegHandles.h"

namespace movie {

class TrackCodec {
public:
    explicit TrackCodec(const Track& track);

    bool Supported() const { return id_ != AV_CODEC_ID_NONE; }
    AVCodecID Id() const { return id_; }
    // A decoder context configured for the track and opened; null when that fails.
    av::CodecContext Open() const;

    // Constant-rate sound (PCM, IMA4): a packet unit of framesPerUnit frames in bytesPerUnit bytes
    // (all channels). 0 for anything else.
    uint32_t FramesPerUnit() const { return framesPerUnit_; }
    // Uncompressed 'raw ' video: the bytes of one unpadded row; 0 for anything else.
    uint32_t RawRowBytes() const { return rawRowBytes_; }
    uint32_t BytesPerUnit() const { return bytesPerUnit_; }

    // The DecoderSpecificInfo of an 'esds' body, and its object type; false when the descriptors
    // do not hold one within their bounds.
    static bool ParseEsds(const std::vector<uint8_t>& esds, uint8_t& objectType, std::vector<uint8_t>& info);

private:
    void MapVideo(const Track& track);
    void MapSound(const Track& track);

    AVCodecID id_ = AV_CODEC_ID_NONE;
    uint32_t tag_ = 0;
    int bitsPerCodedSample_ = 0;
    int width_ = 0, height_ = 0;
    int channels_ = 0, sampleRate_ = 0;
    uint32_t framesPerUnit_ = 0, bytesPerUnit_ = 0;
    uint32_t rawRowBytes_ = 0;
    std::vector<uint8_t> extradata_;
};

}  // namespace movie
