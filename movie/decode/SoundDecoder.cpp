#include "movie/decode/SoundDecoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
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

constexpr uint32_t kMaxSampleBytes = 16u << 20;
// Constant-rate sound is read in packets of about this many frames, whatever its chunks hold.
constexpr uint32_t kFramesPerRead = 4096;
// Packets decoded ahead of a start point inside compressed sound: AAC's overlapping transform
// needs the packet before the first one heard.
constexpr size_t kAacPreroll = 2;
constexpr size_t kNone = std::numeric_limits<size_t>::max();

}  // namespace

class SoundDecoder::Impl {
public:
    Impl(const Movie& movie, std::unique_ptr<ByteSource> source, int rate, int channels, int trackIndex);

    void Seek(uint64_t movieTime);
    size_t Read(int16_t* out, size_t frames);

    bool hasTrack = false;
    Track track;
    TrackTimeline timeline;
    std::unique_ptr<TrackCodec> codec;
    av::CodecContext ctx;
    int outRate = 0, outChannels = 0;
    uint64_t position = 0;  // output frames from movie time 0

private:
    void EnterSegment();
    void StartMediaAt(int64_t mediaTime);
    bool FeedNext();
    void Pump();
    void Consume(const AVFrame* frame);
    bool EnsureResampler(const AVFrame* frame);
    void Resample(const uint8_t* const* in, int count);
    void FlushResampler();
    void AppendSilence(uint64_t outputFrames);
    uint64_t OutputFrameOf(uint64_t movieTime) const { return ScaleTime(movieTime, uint64_t(outRate), timeline.MovieTimeScale()); }

    std::unique_ptr<ByteSource> source_;
    bool chunkMode_ = false;  // constant-rate sound counted one sample per frame: read by chunks
    uint64_t endOut_ = 0;

    size_t segment_ = kNone;
    uint64_t segmentEndOut_ = 0;
    bool segmentSilent_ = false;
    int64_t mediaNext_ = 0, mediaEnd_ = 0;  // media units: the next sound wanted, and where the segment's ends
    int64_t counted_ = 0;                   // where the next decoded frame starts when it carries no time
    bool inputEnded_ = false, mediaDone_ = false;
    size_t nextChunk_ = 0;
    uint64_t chunkFrame_ = 0;  // frames of nextChunk_ already read
    size_t nextSample_ = 0;

    av::Packet packet_{av_packet_alloc()};
    av::Frame frame_{av_frame_alloc()};
    av::Resampler resampler_;
    AVSampleFormat inFormat_ = AV_SAMPLE_FMT_NONE;
    int inRate_ = 0, inChannels_ = 0;
    bool duplicateMono_ = false;
    std::vector<int16_t> converted_;
    std::vector<int16_t> fifo_;
    size_t fifoRead_ = 0;  // frames of fifo_ already handed out
};

SoundDecoder::Impl::Impl(const Movie& movie, std::unique_ptr<ByteSource> source, int rate, int channels,
                         int trackIndex)
    : timeline(Track{}, movie.timeScale), outRate(rate), outChannels(channels), source_(std::move(source)) {
    QuietFfmpegLog();
    const int index = FindTrack(movie, TrackKind::Sound, trackIndex);
    if (index < 0 || !source_ || !packet_ || !frame_) return;
    hasTrack = true;
    track = movie.tracks[size_t(index)];
    timeline = TrackTimeline(track, movie.timeScale);
    codec = std::make_unique<TrackCodec>(track);
    if (rate < 8000 || rate > 192000 || channels < 1 || channels > 2 || !codec->Supported()) return;
    chunkMode_ = codec->FramesPerUnit() > 0 && track.stts.size() == 1 && track.stts[0].delta == 1;
    ctx = codec->Open();
    if (!ctx) return;
    ctx->pkt_timebase = AVRational{1, int(std::min<uint32_t>(track.mediaTimeScale, INT32_MAX))};
    endOut_ = OutputFrameOf(timeline.End());
}

void SoundDecoder::Impl::Seek(uint64_t movieTime) {
    position = std::min(OutputFrameOf(movieTime), endOut_);
    segment_ = kNone;
}

// Sets the pipeline up for the segment holding `position`.
void SoundDecoder::Impl::EnterSegment() {
    const auto& segments = timeline.Segments();
    segment_ = kNone;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (position < OutputFrameOf(segments[i].movieEnd)) {
            segment_ = i;
            break;
        }
    }
    if (segment_ == kNone) return;
    const TrackTimeline::Segment& s = segments[segment_];
    segmentEndOut_ = OutputFrameOf(s.movieEnd);
    fifo_.clear();
    fifoRead_ = 0;
    resampler_.reset();
    // A dwell or reverse segment has no sound to give; neither has an empty edit.
    segmentSilent_ = s.mediaStart < 0 || s.rate <= 0;
    if (segmentSilent_) return;
    const uint64_t scale = timeline.MediaTimeScale();
    const uint64_t startOut = OutputFrameOf(s.movieStart);
    const uint64_t intoSegment = ScaleTime(position > startOut ? position - startOut : 0, scale, uint64_t(outRate));
    const uint64_t length = ScaleTime(s.movieEnd - s.movieStart, scale, timeline.MovieTimeScale());
    const uint64_t room = uint64_t(std::numeric_limits<int64_t>::max()) - uint64_t(s.mediaStart);
    mediaEnd_ = s.mediaStart + int64_t(std::min(length, room));
    StartMediaAt(s.mediaStart + int64_t(std::min(intoSegment, room)));
}

void SoundDecoder::Impl::StartMediaAt(int64_t mediaTime) {
    avcodec_flush_buffers(ctx.get());
    inputEnded_ = false;
    mediaDone_ = false;
    mediaNext_ = mediaTime;
    if (chunkMode_) {
        // One sample per frame from media time 0: the sample index is the media time.
        const uint64_t unit = codec->FramesPerUnit();
        ChunkInfo c;
        for (nextChunk_ = 0; nextChunk_ < track.ChunkCount(); ++nextChunk_) {
            if (!track.Chunk(nextChunk_, c)) continue;
            if (uint64_t(mediaTime) < c.firstSample + c.sampleCount) break;
        }
        chunkFrame_ = 0;
        if (nextChunk_ < track.ChunkCount() && uint64_t(mediaTime) > c.firstSample)
            chunkFrame_ = (uint64_t(mediaTime) - c.firstSample) / unit * unit;
        counted_ = int64_t(c.firstSample + chunkFrame_);
        return;
    }
    // The last sample starting at or before mediaTime, by bisection over decode times.
    size_t lo = 0, hi = track.SampleCount();
    SampleInfo s;
    while (hi - lo > 1) {
        const size_t mid = lo + (hi - lo) / 2;
        if (track.Sample(mid, s) && int64_t(s.time) <= mediaTime)
            lo = mid;
        else
            hi = mid;
    }
    const size_t preroll = codec->Id() == AV_CODEC_ID_AAC ? kAacPreroll : 0;
    nextSample_ = lo > preroll ? lo - preroll : 0;
    counted_ = track.Sample(nextSample_, s) ? int64_t(s.time) : 0;
}

// Sends the next packet that the segment needs; false when there is none.
bool SoundDecoder::Impl::FeedNext() {
    uint64_t offset = 0, bytes = 0;
    int64_t pts = 0;
    if (chunkMode_) {
        const uint64_t unit = codec->FramesPerUnit(), unitBytes = codec->BytesPerUnit();
        for (;; ++nextChunk_, chunkFrame_ = 0) {
            ChunkInfo c;
            if (nextChunk_ >= track.ChunkCount()) return false;
            if (!track.Chunk(nextChunk_, c) || chunkFrame_ + unit > c.sampleCount) continue;
            if (int64_t(c.firstSample + chunkFrame_) >= mediaEnd_) return false;
            const uint64_t frames = std::min<uint64_t>((c.sampleCount - chunkFrame_) / unit * unit,
                                                       (kFramesPerRead + unit - 1) / unit * unit);
            offset = c.offset + chunkFrame_ / unit * unitBytes;
            bytes = frames / unit * unitBytes;
            pts = int64_t(c.firstSample + chunkFrame_);
            chunkFrame_ += frames;
            break;
        }
    } else {
        SampleInfo s;
        for (;; ++nextSample_) {
            if (nextSample_ >= track.SampleCount()) return false;
            if (!track.Sample(nextSample_, s) || s.size == 0 || s.size > kMaxSampleBytes) continue;
            if (int64_t(s.time) >= mediaEnd_) return false;
            offset = s.offset;
            bytes = s.size;
            pts = int64_t(s.time);
            ++nextSample_;
            break;
        }
    }
    uint64_t end;
    if (bytes == 0 || bytes > kMaxSampleBytes || __builtin_add_overflow(offset, bytes, &end) || end > track.dataEnd) {
        // What cannot be read is skipped (a chunk past the end of the file, whole); the gap is
        // filled with silence.
        if (chunkMode_) chunkFrame_ = std::numeric_limits<uint32_t>::max();
        return true;
    }
    av_packet_unref(packet_.get());
    if (av_new_packet(packet_.get(), int(bytes)) < 0) return true;
    if (!source_->ReadAt(offset, packet_->data, size_t(bytes))) return true;
    packet_->pts = packet_->dts = pts;
    avcodec_send_packet(ctx.get(), packet_.get());  // a refused (damaged) packet is skipped too
    return true;
}

// Moves the pipeline on by one decoded frame, or ends the segment's media.
void SoundDecoder::Impl::Pump() {
    const int r = avcodec_receive_frame(ctx.get(), frame_.get());
    if (r == 0) {
        Consume(frame_.get());
        av_frame_unref(frame_.get());
        return;
    }
    if (r != AVERROR_EOF && mediaNext_ < mediaEnd_) {
        if (FeedNext()) return;
        if (!inputEnded_) {
            avcodec_send_packet(ctx.get(), nullptr);
            inputEnded_ = true;
            return;
        }
    }
    FlushResampler();
    mediaDone_ = true;
}

// Keeps the part of a decoded frame that lies in [mediaNext_, mediaEnd_), with silence for a gap
// before it (samples that could not be read or decoded).
void SoundDecoder::Impl::Consume(const AVFrame* f) {
    const int64_t scale = timeline.MediaTimeScale();
    const int rate = f->sample_rate > 0 ? f->sample_rate : ctx->sample_rate;
    if (rate <= 0 || f->nb_samples <= 0) return;
    const int64_t start = f->pts != AV_NOPTS_VALUE ? f->pts : counted_;
    const int64_t end = start + int64_t(ScaleTime(uint64_t(f->nb_samples), uint64_t(scale), uint64_t(rate)));
    counted_ = end;
    if (start > mediaNext_) {
        const int64_t gapEnd = std::min(start, mediaEnd_);
        FlushResampler();
        AppendSilence(ScaleTime(uint64_t(gapEnd - mediaNext_), uint64_t(outRate), uint64_t(scale)));
        mediaNext_ = gapEnd;
    }
    const int64_t from = std::max(start, mediaNext_), to = std::min(end, mediaEnd_);
    if (to <= from || !EnsureResampler(f)) return;
    const int skip = int(std::min<uint64_t>(ScaleTime(uint64_t(from - start), uint64_t(rate), uint64_t(scale)),
                                            uint64_t(f->nb_samples)));
    const int keep = int(std::min<uint64_t>(ScaleTime(uint64_t(to - from), uint64_t(rate), uint64_t(scale)),
                                            uint64_t(f->nb_samples - skip)));
    const AVSampleFormat format = AVSampleFormat(f->format);
    const int bytes = av_get_bytes_per_sample(format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int channels = f->ch_layout.nb_channels;
    std::vector<const uint8_t*> in(planar ? size_t(channels) : 1);
    for (size_t c = 0; c < in.size(); ++c)
        in[c] = f->extended_data[c] + size_t(skip) * size_t(bytes) * (planar ? 1 : size_t(channels));
    Resample(in.data(), keep);
    mediaNext_ = to;
}

bool SoundDecoder::Impl::EnsureResampler(const AVFrame* f) {
    const int channels = f->ch_layout.nb_channels;
    if (channels <= 0 || channels > 64) return false;
    if (resampler_ && f->format == inFormat_ && f->sample_rate == inRate_ && channels == inChannels_) return true;
    FlushResampler();
    AVChannelLayout inLayout{};
    if (f->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_copy(&inLayout, &f->ch_layout) < 0)
        av_channel_layout_default(&inLayout, channels);
    // A mono track goes to both speakers at full level: resampled as mono, then doubled.
    duplicateMono_ = channels == 1 && outChannels == 2;
    AVChannelLayout outLayout{};
    av_channel_layout_default(&outLayout, duplicateMono_ ? 1 : outChannels);
    SwrContext* raw = nullptr;
    const int r = swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_S16, outRate, &inLayout,
                                      AVSampleFormat(f->format), f->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    resampler_.reset(raw);
    if (r < 0 || swr_init(resampler_.get()) < 0) {
        resampler_.reset();
        return false;
    }
    inFormat_ = AVSampleFormat(f->format);
    inRate_ = f->sample_rate;
    inChannels_ = channels;
    return true;
}

// Converts `count` input frames (or, with `in` null, what the resampler still holds) into the FIFO.
void SoundDecoder::Impl::Resample(const uint8_t* const* in, int count) {
    const int room = swr_get_out_samples(resampler_.get(), count);
    if (room <= 0) return;
    const int produced_channels = duplicateMono_ ? 1 : outChannels;
    converted_.resize(size_t(room) * size_t(produced_channels));
    uint8_t* out = reinterpret_cast<uint8_t*>(converted_.data());
    const int produced = swr_convert(resampler_.get(), &out, room, const_cast<const uint8_t**>(in), count);
    if (produced <= 0) return;
    if (!duplicateMono_) {
        fifo_.insert(fifo_.end(), converted_.begin(), converted_.begin() + ptrdiff_t(produced) * outChannels);
        return;
    }
    for (int i = 0; i < produced; ++i) fifo_.insert(fifo_.end(), 2, converted_[size_t(i)]);
}

void SoundDecoder::Impl::FlushResampler() {
    if (!resampler_) return;
    Resample(nullptr, 0);
    resampler_.reset();
}

void SoundDecoder::Impl::AppendSilence(uint64_t outputFrames) {
    // Never more than the segment can still use.
    const uint64_t queued = fifo_.size() / size_t(outChannels) - fifoRead_;
    const uint64_t left = segmentEndOut_ > position + queued ? segmentEndOut_ - position - queued : 0;
    fifo_.insert(fifo_.end(), size_t(std::min(outputFrames, left)) * size_t(outChannels), int16_t(0));
}

size_t SoundDecoder::Impl::Read(int16_t* out, size_t frames) {
    if (!ctx || !out) return 0;
    size_t done = 0;
    const size_t ch = size_t(outChannels);
    while (done < frames && position < endOut_) {
        if (segment_ == kNone || position >= segmentEndOut_) {
            EnterSegment();
            if (segment_ == kNone) break;
        }
        const uint64_t want = std::min<uint64_t>(frames - done, segmentEndOut_ - position);
        size_t queued = fifo_.size() / ch - fifoRead_;
        if (queued == 0 && !segmentSilent_ && !mediaDone_) {
            Pump();
            continue;
        }
        size_t n;
        if (queued > 0) {
            n = size_t(std::min<uint64_t>(want, queued));
            std::memcpy(out + done * ch, fifo_.data() + fifoRead_ * ch, n * ch * sizeof(int16_t));
            fifoRead_ += n;
            if (fifoRead_ * ch == fifo_.size()) {
                fifo_.clear();
                fifoRead_ = 0;
            }
        } else {
            n = size_t(want);  // an empty edit, or media that ends before its segment does
            std::memset(out + done * ch, 0, n * ch * sizeof(int16_t));
        }
        done += n;
        position += n;
    }
    return done;
}

SoundDecoder::SoundDecoder(const Movie& movie, std::unique_ptr<ByteSource> source, int rate, int channels,
                           int trackIndex)
    : impl_(std::make_unique<Impl>(movie, std::move(source), rate, channels, trackIndex)) {}
SoundDecoder::~SoundDecoder() = default;

bool SoundDecoder::HasSound() const { return impl_->hasTrack; }
bool SoundDecoder::Supported() const { return impl_->ctx != nullptr; }
uint32_t SoundDecoder::Codec() const { return impl_->hasTrack ? impl_->track.codec : 0; }
int SoundDecoder::Rate() const { return impl_->outRate; }
int SoundDecoder::Channels() const { return impl_->outChannels; }
uint64_t SoundDecoder::Duration() const { return impl_->timeline.End(); }
void SoundDecoder::Seek(uint64_t movieTime) { impl_->Seek(movieTime); }
size_t SoundDecoder::Read(int16_t* out, size_t frames) { return impl_->Read(out, frames); }
uint64_t SoundDecoder::Position() const { return impl_->position; }

}  // namespace movie
