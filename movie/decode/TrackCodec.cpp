#include "movie/decode/TrackCodec.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace movie {

namespace {

// FFmpeg's tags put the first character in the low byte; ours in the high byte.
uint32_t AvTag(uint32_t fourcc) { return __builtin_bswap32(fourcc); }

bool IsOneOf(uint32_t v, std::initializer_list<const char*> codes) {
    return std::any_of(codes.begin(), codes.end(), [v](const char* c) {
        return v == ((uint32_t(uint8_t(c[0])) << 24) | (uint32_t(uint8_t(c[1])) << 16) |
                     (uint32_t(uint8_t(c[2])) << 8) | uint32_t(uint8_t(c[3])));
    });
}

// PCM decoder for a sample layout: bits per sample, float or integer, endianness, signedness.
AVCodecID PcmCodec(int bits, bool isFloat, bool bigEndian, bool isSigned) {
    if (isFloat) {
        if (bits == 32) return bigEndian ? AV_CODEC_ID_PCM_F32BE : AV_CODEC_ID_PCM_F32LE;
        if (bits == 64) return bigEndian ? AV_CODEC_ID_PCM_F64BE : AV_CODEC_ID_PCM_F64LE;
        return AV_CODEC_ID_NONE;
    }
    switch (bits) {
        case 8: return isSigned ? AV_CODEC_ID_PCM_S8 : AV_CODEC_ID_PCM_U8;
        case 16: return bigEndian ? AV_CODEC_ID_PCM_S16BE : AV_CODEC_ID_PCM_S16LE;
        case 24: return bigEndian ? AV_CODEC_ID_PCM_S24BE : AV_CODEC_ID_PCM_S24LE;
        case 32: return bigEndian ? AV_CODEC_ID_PCM_S32BE : AV_CODEC_ID_PCM_S32LE;
        default: return AV_CODEC_ID_NONE;
    }
}

}  // namespace

bool TrackCodec::ParseEsds(const std::vector<uint8_t>& esds, uint8_t& objectType, std::vector<uint8_t>& info) {
    return movie::ParseEsds(esds, objectType, info);
}

TrackCodec::TrackCodec(const Track& track) {
    if (track.kind == TrackKind::Video) MapVideo(track);
    if (track.kind == TrackKind::Sound) MapSound(track);
}

void TrackCodec::MapVideo(const Track& t) {
    const uint32_t c = t.codec;
    tag_ = AvTag(c);
    width_ = t.sampleWidth;
    height_ = t.sampleHeight;
    if (IsOneOf(c, {"dvc ", "dvcp", "dvpp", "dv5n", "dv5p", "dvh5", "dvh6", "dvhp", "dvhq", "dvh3", "AVdv"})) {
        id_ = AV_CODEC_ID_DVVIDEO;
    } else if (IsOneOf(c, {"jpeg", "mjpa", "AVDJ", "dmb1"})) {
        id_ = AV_CODEC_ID_MJPEG;
    } else if (IsOneOf(c, {"avc1", "avc3"})) {
        id_ = AV_CODEC_ID_H264;
        if (t.codecConfigType == FourCC("avcC")) extradata_ = t.codecConfig;
    } else if (IsOneOf(c, {"mp4v", "XVID", "xvid", "DIVX", "DX50", "FMP4"})) {
        id_ = AV_CODEC_ID_MPEG4;
        uint8_t objectType;
        std::vector<uint8_t> info;
        if (t.codecConfigType == FourCC("esds") && ParseEsds(t.codecConfig, objectType, info)) extradata_ = info;
    } else if (IsOneOf(c, {"h263", "s263", "H263"})) {
        id_ = AV_CODEC_ID_H263;
    } else if (IsOneOf(c, {"raw ", "2vuy", "yuv2", "yuvs"})) {
        // The raw decoder picks the pixel layout from the tag, and for 'raw ' from the depth.
        id_ = AV_CODEC_ID_RAWVIDEO;
        bitsPerCodedSample_ = c == FourCC("raw ") ? (t.depth ? t.depth : 24) : 16;
        if (c == FourCC("raw ") && bitsPerCodedSample_ <= 32)
            rawRowBytes_ = (uint32_t(width_) * uint32_t(bitsPerCodedSample_) + 7) / 8;
    }
}

void TrackCodec::MapSound(const Track& t) {
    const uint32_t c = t.codec;
    tag_ = AvTag(c);
    channels_ = t.channels;
    sampleRate_ = int(std::min<uint32_t>(t.sampleRate, std::numeric_limits<int>::max()));
    const int bits = t.sampleBits;
    const bool le = t.littleEndian;
    if (c == FourCC("twos")) {
        id_ = PcmCodec(bits, false, true, true);
    } else if (c == FourCC("sowt")) {
        id_ = PcmCodec(bits, false, false, true);
    } else if (c == FourCC("raw ") || c == FourCC("NONE") || c == 0) {
        id_ = bits == 16 ? AV_CODEC_ID_PCM_S16BE : PcmCodec(bits, false, true, false);
    } else if (c == FourCC("in24")) {
        id_ = PcmCodec(24, false, !le, true);
    } else if (c == FourCC("in32")) {
        id_ = PcmCodec(32, false, !le, true);
    } else if (c == FourCC("fl32")) {
        id_ = PcmCodec(32, true, !le, true);
    } else if (c == FourCC("fl64")) {
        id_ = PcmCodec(64, true, !le, true);
    } else if (c == FourCC("lpcm")) {
        // Format flags: float 1, big-endian 2, signed integer 4.
        const uint32_t f = t.lpcmFlags;
        id_ = PcmCodec(bits, f & 1, f & 2, f & 4);
    } else if (c == FourCC("ulaw")) {
        id_ = AV_CODEC_ID_PCM_MULAW;
    } else if (c == FourCC("alaw")) {
        id_ = AV_CODEC_ID_PCM_ALAW;
    } else if (c == FourCC("ima4")) {
        id_ = AV_CODEC_ID_ADPCM_IMA_QT;
    } else if (c == FourCC("mp4a")) {
        uint8_t objectType = 0;
        std::vector<uint8_t> info;
        const bool haveConfig = t.codecConfigType == FourCC("esds") && ParseEsds(t.codecConfig, objectType, info);
        // MPEG-4 audio, or MPEG-2 AAC (main, LC, SSR); other object types (MP3) are not built.
        if (haveConfig && (objectType == 0x40 || (objectType >= 0x66 && objectType <= 0x68))) {
            id_ = AV_CODEC_ID_AAC;
            extradata_ = info;
        }
    }
    if (channels_ <= 0 || channels_ > 64 || sampleRate_ <= 0) {
        // AAC carries its own layout and rate in its configuration; the others need the description's.
        if (id_ != AV_CODEC_ID_AAC) id_ = AV_CODEC_ID_NONE;
        channels_ = std::clamp(channels_, 0, 64);
    }
    if (id_ == AV_CODEC_ID_ADPCM_IMA_QT) {
        framesPerUnit_ = 64;
        bytesPerUnit_ = 34 * uint32_t(channels_);
    } else if (const int pcmBits = av_get_bits_per_sample(id_); pcmBits > 0 && id_ != AV_CODEC_ID_NONE) {
        framesPerUnit_ = 1;
        bytesPerUnit_ = uint32_t(pcmBits / 8) * uint32_t(channels_);
    }
}

av::CodecContext TrackCodec::Open() const {
    if (!Supported()) return nullptr;
    const AVCodec* codec = avcodec_find_decoder(id_);
    if (!codec) return nullptr;
    av::CodecContext ctx(avcodec_alloc_context3(codec));
    if (!ctx) return nullptr;
    ctx->codec_tag = tag_;
    ctx->bits_per_coded_sample = bitsPerCodedSample_;
    if (codec->type == AVMEDIA_TYPE_VIDEO) {
        ctx->width = width_;
        ctx->height = height_;
        // Slice threads only: frame threads would hold frames back and complicate exact seeking.
        ctx->thread_type = FF_THREAD_SLICE;
        ctx->thread_count = 0;
    } else {
        ctx->sample_rate = sampleRate_;
        if (channels_ > 0) av_channel_layout_default(&ctx->ch_layout, channels_);
        if (bytesPerUnit_ > 0 && bytesPerUnit_ <= uint32_t(std::numeric_limits<int>::max()))
            ctx->block_align = int(bytesPerUnit_);
    }
    if (!extradata_.empty()) {
        ctx->extradata = static_cast<uint8_t*>(av_mallocz(extradata_.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!ctx->extradata) return nullptr;
        std::memcpy(ctx->extradata, extradata_.data(), extradata_.size());
        ctx->extradata_size = int(extradata_.size());
    }
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return nullptr;
    return ctx;
}

}  // namespace movie
