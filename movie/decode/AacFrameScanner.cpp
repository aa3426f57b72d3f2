#include "movie/decode/AacFrameScanner.h"

#include <algorithm>
#include <cstring>

#include "movie/container/MovieReader.h"
#include "movie/decode/AacDecoderCalls.h"

namespace movie {

class AacFrameScanner::Impl {
public:
    explicit Impl(const std::vector<uint8_t>& esds) {
        uint8_t objectType = 0;
        std::vector<uint8_t> config;
        // The decoder is loaded only for a configuration that is AAC at all.
        if (!ParseEsds(esds, objectType, config) || config.empty() || !(av_ = AacDecoderCalls::Get())) return;
        const AVCodec* codec = av_->findDecoder(AV_CODEC_ID_AAC);
        if (!codec) return;
        ContextPtr ctx(av_->allocContext(codec), ContextFree{av_});
        if (!ctx) return;
        ctx->extradata = static_cast<uint8_t*>(av_->mallocz(config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!ctx->extradata) return;
        std::memcpy(ctx->extradata, config.data(), config.size());
        ctx->extradata_size = int(config.size());
        if (av_->open(ctx.get(), codec, nullptr) < 0) return;
        channels_ = std::max(1, ctx->ch_layout.nb_channels);
        ctx_ = std::move(ctx);
        packet_ = PacketPtr(av_->packetAlloc(), PacketFree{av_});
        frame_ = FramePtr(av_->frameAlloc(), FrameFree{av_});
    }

    bool Ready() const { return ctx_ && packet_ && frame_; }
    // Raw AAC allows 6144 bits per channel in a frame.
    size_t MaxFrameBytes() const { return 768 * size_t(std::min(channels_, 8)); }

    // With one packet holding several frames, the decoder reports with each frame the bytes of the
    // packet left when that frame began (AVFrame.pkt_size): the differences are the frames' lengths.
    size_t Scan(const uint8_t* data, size_t size, size_t maxFrames, std::vector<uint32_t>& lengths) {
        if (!Ready() || size == 0 || maxFrames == 0) return 0;
        size = std::min(size, MaxFrameBytes() * (maxFrames + 1));
        std::vector<size_t> starts;
        if (!Send(data, size)) return 0;
        while (starts.size() <= maxFrames && av_->receiveFrame(ctx_.get(), frame_.get()) == 0) {
            if (frame_->nb_samples <= 0 || frame_->pkt_size <= 0 || size_t(frame_->pkt_size) > size) break;
            starts.push_back(size - size_t(frame_->pkt_size));
        }
        av_->frameUnref(frame_.get());
        if (starts.empty() || starts[0] != 0) return 0;
        size_t found = 0;
        for (size_t i = 0; i + 1 < starts.size() && found < maxFrames; ++i) {
            const size_t length = starts[i + 1] - starts[i];
            if (length == 0 || length > MaxFrameBytes()) return found;
            lengths.push_back(uint32_t(length));
            ++found;
        }
        // The last frame: the shortest length that decodes (a shorter one runs out of bits).
        if (found < maxFrames && found + 1 == starts.size()) {
            const size_t start = starts.back();
            size_t low = 1, high = std::min(size - start, MaxFrameBytes());
            if (!DecodesAlone(data + start, high)) return found;
            while (low < high) {
                const size_t mid = low + (high - low) / 2;
                if (DecodesAlone(data + start, mid)) high = mid;
                else low = mid + 1;
            }
            lengths.push_back(uint32_t(high));
            ++found;
        }
        return found;
    }

private:
    bool Send(const uint8_t* data, size_t size) {
        av_->flushBuffers(ctx_.get());
        av_->packetUnref(packet_.get());
        if (size > size_t(INT32_MAX) - AV_INPUT_BUFFER_PADDING_SIZE || av_->newPacket(packet_.get(), int(size)) < 0)
            return false;
        std::memcpy(packet_->data, data, size);
        return av_->sendPacket(ctx_.get(), packet_.get()) == 0;
    }

    bool DecodesAlone(const uint8_t* data, size_t size) {
        if (!Send(data, size)) return false;
        const bool ok = av_->receiveFrame(ctx_.get(), frame_.get()) == 0 && frame_->nb_samples > 0;
        av_->frameUnref(frame_.get());
        return ok;
    }

    // FFmpeg's objects, each freed through the calls that made it.
    struct ContextFree {
        const AacDecoderCalls* av;
        void operator()(AVCodecContext* p) const { av->freeContext(&p); }
    };
    struct PacketFree {
        const AacDecoderCalls* av;
        void operator()(AVPacket* p) const { av->packetFree(&p); }
    };
    struct FrameFree {
        const AacDecoderCalls* av;
        void operator()(AVFrame* p) const { av->frameFree(&p); }
    };
    using ContextPtr = std::unique_ptr<AVCodecContext, ContextFree>;
    using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
    using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

    const AacDecoderCalls* av_ = nullptr;
    ContextPtr ctx_{nullptr, ContextFree{nullptr}};
    PacketPtr packet_{nullptr, PacketFree{nullptr}};
    FramePtr frame_{nullptr, FrameFree{nullptr}};
    int channels_ = 2;
};

AacFrameScanner::AacFrameScanner(const std::vector<uint8_t>& esds) : impl_(std::make_unique<Impl>(esds)) {}
AacFrameScanner::~AacFrameScanner() = default;
bool AacFrameScanner::Ready() const { return impl_->Ready(); }
size_t AacFrameScanner::MaxFrameBytes() const { return impl_->MaxFrameBytes(); }
size_t AacFrameScanner::Scan(const uint8_t* data, size_t size, size_t maxFrames, std::vector<uint32_t>& lengths) {
    return impl_->Scan(data, size, maxFrames, lengths);
}

}  // namespace movie
