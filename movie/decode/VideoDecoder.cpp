#include "movie/decode/VideoDecoder.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "movie/decode/FfmpegHandles.h"
#include "movie/decode/FfmpegLog.h"
#include "movie/decode/TrackCodec.h"
#include "movie/decode/TrackTimeline.h"

namespace movie {

namespace {

// Beyond these a track is treated as damaged: a sample index for days of video, a frame far
// larger than any the device records.
constexpr size_t kMaxIndexedSamples = size_t(1) << 22;
constexpr uint32_t kMaxSampleBytes = 64u << 20;
constexpr int kMaxPictureSide = 8192;

// The JPEG-range pixel formats are the plain ones with full-range levels.
AVPixelFormat PlainFormat(AVPixelFormat f, bool& fullRange) {
    switch (f) {
        case AV_PIX_FMT_YUVJ420P: fullRange = true; return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P: fullRange = true; return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P: fullRange = true; return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P: fullRange = true; return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P: fullRange = true; return AV_PIX_FMT_YUV411P;
        default: return f;
    }
}

}  // namespace

class VideoDecoder::Impl {
public:
    Impl(const Movie& movie, std::unique_ptr<ByteSource> source, int trackIndex);

    Status FrameAt(uint64_t movieTime, int width, int height, Picture& out);
    uint64_t NextFrameTime(uint64_t movieTime) const;
    uint64_t FrameStartTime(uint64_t movieTime) const;

    bool hasTrack = false;
    Track track;
    TrackTimeline timeline;
    std::unique_ptr<TrackCodec> codec;
    av::CodecContext ctx;

private:
    struct Entry {
        int64_t pts;
        uint32_t sample;
    };
    size_t TargetFor(int64_t mediaTime) const;
    size_t KeyFrameAtOrBefore(size_t sample) const;
    void Restart(size_t fromSample);
    void Decode(int64_t targetPts);
    void Feed(size_t sample);
    void StripRowPadding();
    bool Convert(int width, int height);

    std::unique_ptr<ByteSource> source_;
    std::vector<Entry> order_;   // samples by presentation time
    std::vector<uint32_t> keys_; // key-frame samples, 0-based, ascending
    av::Packet packet_{av_packet_alloc()};
    av::Frame scratch_{av_frame_alloc()}, current_{av_frame_alloc()}, ahead_{av_frame_alloc()};
    bool haveCurrent_ = false, haveAhead_ = false;
    int64_t currentPts_ = 0, aheadPts_ = 0, lastFedPts_ = 0;
    size_t nextFeed_ = 0;
    bool streaming_ = false;  // the decoder holds the state left by feeding samples up to nextFeed_
    bool drained_ = false;    // it was told the stream ended: flush before feeding again

    av::Scaler scaler_;
    av::Buffer pixels_;
    size_t pixelsSize_ = 0;
    bool converted_ = false;
    int64_t convertedPts_ = 0;
    int convertedWidth_ = 0, convertedHeight_ = 0;
};

VideoDecoder::Impl::Impl(const Movie& movie, std::unique_ptr<ByteSource> source, int trackIndex)
    : timeline(Track{}, movie.timeScale), source_(std::move(source)) {
    QuietFfmpegLog();
    const int index = FindTrack(movie, TrackKind::Video, trackIndex);
    if (index < 0 || !source_ || !packet_ || !scratch_ || !current_ || !ahead_) return;
    hasTrack = true;
    track = movie.tracks[size_t(index)];
    timeline = TrackTimeline(track, movie.timeScale);
    codec = std::make_unique<TrackCodec>(track);
    if (!codec->Supported()) return;

    const size_t count = std::min(track.SampleCount(), kMaxIndexedSamples);
    order_.reserve(count);
    SampleInfo s;
    for (size_t n = 0; n < count; ++n)
        if (track.Sample(n, s)) order_.push_back({int64_t(s.time) + s.compositionOffset, uint32_t(n)});
    std::stable_sort(order_.begin(), order_.end(), [](const Entry& a, const Entry& b) { return a.pts < b.pts; });
    if (track.hasSyncTable) {
        for (uint32_t k : track.syncSamples)
            if (k >= 1 && k <= count) keys_.push_back(k - 1);
    }
    if (!order_.empty()) ctx = codec->Open();
    if (ctx) ctx->pkt_timebase = AVRational{1, int(std::min<uint32_t>(track.mediaTimeScale, INT32_MAX))};
}

size_t VideoDecoder::Impl::TargetFor(int64_t mediaTime) const {
    auto it = std::upper_bound(order_.begin(), order_.end(), mediaTime,
                               [](int64_t t, const Entry& e) { return t < e.pts; });
    return it == order_.begin() ? 0 : size_t(it - order_.begin()) - 1;
}

size_t VideoDecoder::Impl::KeyFrameAtOrBefore(size_t sample) const {
    if (!track.hasSyncTable) return sample;  // every sample is a key frame
    auto it = std::upper_bound(keys_.begin(), keys_.end(), uint32_t(sample));
    return it == keys_.begin() ? 0 : *(it - 1);
}

void VideoDecoder::Impl::Restart(size_t fromSample) {
    avcodec_flush_buffers(ctx.get());
    av_frame_unref(ahead_.get());
    haveAhead_ = false;
    haveCurrent_ = false;
    nextFeed_ = fromSample;
    streaming_ = true;
    drained_ = false;
}

void VideoDecoder::Impl::Feed(size_t n) {
    SampleInfo s;
    if (!track.Sample(n, s) || s.size == 0 || s.size > kMaxSampleBytes) return;
    av_packet_unref(packet_.get());
    if (av_new_packet(packet_.get(), int(s.size)) < 0) return;
    if (!source_->ReadAt(s.offset, packet_->data, s.size)) return;  // unreadable: skipped
    StripRowPadding();
    packet_->pts = int64_t(s.time) + s.compositionOffset;
    packet_->dts = int64_t(s.time);
    packet_->duration = s.duration;
    if (s.keyFrame) packet_->flags |= AV_PKT_FLAG_KEY;
    lastFedPts_ = packet_->pts;
    avcodec_send_packet(ctx.get(), packet_.get());  // a refused (damaged) sample is skipped
}

// Uncompressed rows padded to some alignment (the sample divides into equal rows longer than the
// pixels need) are packed tight: the raw decoder guesses only a 4-byte alignment.
void VideoDecoder::Impl::StripRowPadding() {
    const uint64_t row = codec->RawRowBytes(), rows = track.sampleHeight;
    const uint64_t size = uint64_t(packet_->size);
    if (row == 0 || rows == 0 || size % rows != 0 || size / rows <= row) return;
    const uint64_t stride = size / rows;
    for (uint64_t y = 1; y < rows; ++y) std::memmove(packet_->data + y * row, packet_->data + y * stride, row);
    av_shrink_packet(packet_.get(), int(row * rows));
}

// Decodes until the frame presented at targetPts is current, or the stream has nothing more
// before it; frames arrive in presentation order, so the first one past the target is kept aside.
void VideoDecoder::Impl::Decode(int64_t targetPts) {
    const size_t count = track.SampleCount() < kMaxIndexedSamples ? track.SampleCount() : kMaxIndexedSamples;
    for (;;) {
        if (haveAhead_) {
            if (aheadPts_ > targetPts) return;
            std::swap(current_, ahead_);
            av_frame_unref(ahead_.get());
            currentPts_ = aheadPts_;
            haveCurrent_ = true;
            haveAhead_ = false;
        }
        if (haveCurrent_ && currentPts_ == targetPts) return;
        const int r = avcodec_receive_frame(ctx.get(), scratch_.get());
        if (r == 0) {
            int64_t pts = scratch_->pts;
            if (pts == AV_NOPTS_VALUE) pts = scratch_->best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE) pts = lastFedPts_;
            av_frame_move_ref(ahead_.get(), scratch_.get());
            aheadPts_ = pts;
            haveAhead_ = true;
            continue;
        }
        if (r == AVERROR_EOF) {
            streaming_ = false;
            return;
        }
        if (nextFeed_ < count) {
            Feed(nextFeed_++);
        } else if (!drained_) {
            avcodec_send_packet(ctx.get(), nullptr);
            drained_ = true;
        } else {
            streaming_ = false;
            return;
        }
    }
}

bool VideoDecoder::Impl::Convert(int width, int height) {
    const AVFrame* f = current_.get();
    if (converted_ && convertedPts_ == currentPts_ && convertedWidth_ == width && convertedHeight_ == height)
        return true;
    converted_ = false;
    if (f->width <= 0 || f->height <= 0 || f->format < 0) return false;
    bool fullRange = f->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format = PlainFormat(AVPixelFormat(f->format), fullRange);
    scaler_.reset(sws_getCachedContext(scaler_.release(), f->width, f->height, format, width, height,
                                       AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler_) return false;
    const int* coefficients = sws_getCoefficients(f->colorspace);
    sws_setColorspaceDetails(scaler_.get(), coefficients, fullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             0, 1 << 16, 1 << 16);
    const size_t stride = size_t(width) * 4;
    const size_t bytes = stride * size_t(height);
    if (bytes > pixelsSize_) {
        pixels_.reset(static_cast<uint8_t*>(av_malloc(bytes)));
        pixelsSize_ = pixels_ ? bytes : 0;
        if (!pixels_) return false;
    }
    uint8_t* dst[4] = {pixels_.get(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(stride), 0, 0, 0};
    if (sws_scale(scaler_.get(), f->data, f->linesize, 0, f->height, dst, dstStride) != height) return false;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    if (desc && (desc->flags & AV_PIX_FMT_FLAG_ALPHA)) {
        for (size_t i = 3; i < bytes; i += 4) pixels_.get()[i] = 0xFF;  // opaque, whatever the source says
    }
    converted_ = true;
    convertedPts_ = currentPts_;
    convertedWidth_ = width;
    convertedHeight_ = height;
    return true;
}

VideoDecoder::Status VideoDecoder::Impl::FrameAt(uint64_t movieTime, int width, int height, Picture& out) {
    out = Picture{};
    if (!hasTrack) return Status::Empty;
    if (!ctx) return codec && codec->Supported() && order_.empty() ? Status::Empty : Status::Unsupported;
    if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) return Status::Failed;
    if (timeline.End() == 0) return Status::Empty;
    if (movieTime >= timeline.End()) movieTime = timeline.End() - 1;
    int64_t mediaTime;
    if (!timeline.MediaTimeAt(movieTime, mediaTime)) return Status::Empty;

    const Entry target = order_[TargetFor(mediaTime)];
    if (!(haveCurrent_ && currentPts_ == target.pts)) {
        const size_t key = KeyFrameAtOrBefore(target.sample);
        // Going on is cheaper than a restart once the decoder has reached the wanted frame's key
        // frame and has not yet shown a frame past it.
        const bool goOn = streaming_ && !drained_ && nextFeed_ >= key && (!haveCurrent_ || currentPts_ < target.pts);
        if (!goOn) Restart(key);
        Decode(target.pts);
    }
    if (!haveCurrent_ || !Convert(width, height)) return Status::Failed;
    out.pixels = pixels_.get();
    out.width = width;
    out.height = height;
    out.stride = size_t(width) * 4;
    const size_t shown = TargetFor(currentPts_);
    out.sample = order_[shown].sample;
    return Status::Shown;
}

uint64_t VideoDecoder::Impl::NextFrameTime(uint64_t movieTime) const {
    const uint64_t end = timeline.End();
    if (movieTime >= end) return end;
    const TrackTimeline::Segment* segment = timeline.SegmentAt(movieTime);
    int64_t mediaTime;
    if (!order_.empty() && timeline.MediaTimeAt(movieTime, mediaTime)) {
        const size_t shown = TargetFor(mediaTime);
        uint64_t next;
        if (shown + 1 < order_.size() && timeline.MovieTimeOf(order_[shown + 1].pts, movieTime, next) &&
            next > movieTime)
            return next;
    }
    return segment ? segment->movieEnd : end;
}

uint64_t VideoDecoder::Impl::FrameStartTime(uint64_t movieTime) const {
    const TrackTimeline::Segment* segment = timeline.SegmentAt(movieTime);
    if (!segment) return movieTime;
    int64_t mediaTime;
    uint64_t start;
    if (!order_.empty() && timeline.MediaTimeAt(movieTime, mediaTime) &&
        timeline.MovieTimeOf(order_[TargetFor(mediaTime)].pts, segment->movieStart, start) && start <= movieTime)
        return start;
    return segment->movieStart;
}

VideoDecoder::VideoDecoder(const Movie& movie, std::unique_ptr<ByteSource> source, int trackIndex)
    : impl_(std::make_unique<Impl>(movie, std::move(source), trackIndex)) {}
VideoDecoder::~VideoDecoder() = default;

bool VideoDecoder::HasVideo() const { return impl_->hasTrack; }
bool VideoDecoder::Supported() const { return impl_->ctx != nullptr; }
uint32_t VideoDecoder::Codec() const { return impl_->hasTrack ? impl_->track.codec : 0; }
int VideoDecoder::Width() const { return impl_->track.sampleWidth; }
int VideoDecoder::Height() const { return impl_->track.sampleHeight; }
uint64_t VideoDecoder::Duration() const { return impl_->timeline.End(); }

bool VideoDecoder::Presents(uint64_t movieTime) const {
    int64_t mediaTime;
    return impl_->timeline.MediaTimeAt(movieTime, mediaTime);
}
uint64_t VideoDecoder::FrameStartTime(uint64_t movieTime) const { return impl_->FrameStartTime(movieTime); }

VideoDecoder::Status VideoDecoder::FrameAt(uint64_t movieTime, int width, int height, Picture& out) {
    return impl_->FrameAt(movieTime, width, height, out);
}

uint64_t VideoDecoder::NextFrameTime(uint64_t movieTime) const { return impl_->NextFrameTime(movieTime); }

}  // namespace movie
