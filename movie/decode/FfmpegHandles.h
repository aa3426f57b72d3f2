// Owning handles for the FFmpeg objects the decoders hold: each frees its object the FFmpeg way.
// Internal to the movie library (its public headers do not include FFmpeg).
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace movie::av {

struct CodecContextFree { void operator()(AVCodecContext* p) const { avcodec_free_context(&p); } };
struct FrameFree { void operator()(AVFrame* p) const { av_frame_free(&p); } };
struct PacketFree { void operator()(AVPacket* p) const { av_packet_free(&p); } };
struct ScalerFree { void operator()(SwsContext* p) const { sws_freeContext(p); } };
struct ResamplerFree { void operator()(SwrContext* p) const { swr_free(&p); } };
struct BufferFree { void operator()(uint8_t* p) const { av_free(p); } };

using CodecContext = std::unique_ptr<AVCodecContext, CodecContextFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;
using Scaler = std::unique_ptr<SwsContext, ScalerFree>;
using Resampler = std::unique_ptr<SwrContext, ResamplerFree>;
using Buffer = std::unique_ptr<uint8_t, BufferFree>;

}  // namespace movie::av
