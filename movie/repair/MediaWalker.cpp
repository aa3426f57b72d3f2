#include "movie/repair/MediaWalker.h"

#include <algorithm>

namespace movie::repair {

namespace {

// Sound is looked for this far past the largest chunk the template has.
constexpr uint64_t kReachSlack = 64u << 10;
constexpr size_t kAacFramesPerScan = 16;

bool AllZero(const uint8_t* d, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (d[i]) return false;
    return true;
}

}  // namespace

MediaWalker::MediaWalker(const TemplateLayout& layout, MediaWindow& window) : layout_(layout), w_(window) {
    if (layout.Video().track >= 0) video_ = MakeVideoRecogniser(layout.Video());
    const SoundLayout& s = layout.Sound();
    if (s.track >= 0 && (s.family == SoundFamily::Pcm || s.family == SoundFamily::Ima4))
        constant_ = std::make_unique<ConstantSound>(s);
    if (s.track >= 0 && s.family == SoundFamily::Aac) {
        aac_ = std::make_unique<AacFrameScanner>(s.config);
        if (!aac_->Ready()) aac_.reset();
    }
}

VideoMatch MediaWalker::MatchVideo(uint64_t pos, uint64_t end) {
    if (!video_) return {};
    if (haveCache_ && cachePos_ == pos && cacheEnd_ == end) return cache_;
    cache_ = video_->Match(w_, pos, end);
    cachePos_ = pos;
    cacheEnd_ = end;
    haveCache_ = true;
    return cache_;
}

bool MediaWalker::SampleStartsAt(uint64_t pos, uint64_t end) {
    if (video_) return MatchVideo(pos, end).kind == VideoMatch::Whole;
    std::vector<uint32_t> frames;
    if (aac_) return MeasureAac(pos, end, frames) > 0;
    return constant_ != nullptr;
}

void MediaWalker::KeepVideo(uint64_t pos, uint64_t size, VideoMatch m, RecoveredMedia& out) {
    video_->Keep(m);
    if (out.video.empty()) {
        out.videoWidth = m.width;
        out.videoHeight = m.height;
    }
    RecoveredVideoSample v;
    v.offset = pos;
    v.size = uint32_t(size);
    v.key = m.key;
    v.time = int64_t(out.video.size()) * int64_t(std::max<uint32_t>(1, layout_.Video().delta));
    v.epoch = m.epoch;
    v.order = m.order;
    out.video.push_back(v);
    out.mediaBytes += size;
    if (kept_) kept_(pos, size);
    ++videoSinceSound_;
}

void MediaWalker::KeepSound(uint64_t pos, uint64_t bytes, uint32_t samples, RecoveredMedia& out) {
    RecoveredSoundChunk c;
    c.offset = pos;
    c.bytes = uint32_t(bytes);
    c.samples = samples;
    c.firstFrame = uint32_t(out.frameSizes.size());
    c.track = 0;
    c.time = soundTime_;
    soundTime_ += int64_t(samples) * int64_t(std::max<uint32_t>(1, layout_.Sound().delta));
    out.sound.push_back(c);
    out.mediaBytes += bytes;
    if (kept_) kept_(pos, bytes);
    videoSinceSound_ = 0;
}

void MediaWalker::Skip(uint64_t from, uint64_t to, RecoveredMedia& out) {
    if (to <= from) return;
    out.skippedBytes += to - from;
    ++out.skippedStretches;
}

uint64_t MediaWalker::MeasureConstant(uint64_t pos, uint64_t end, bool afterVideo, uint64_t& next, bool& resync) {
    const uint32_t unit = constant_->UnitBytes();
    resync = false;
    if (!video_) {
        const uint64_t bytes = constant_->WithoutTrailingZeros(w_, pos, (end - pos) / unit * unit);
        next = pos + bytes;
        resync = true;
        return bytes;
    }
    // A chunk of a size the template uses, with a video sample right after it.
    for (uint32_t c : constant_->Candidates()) {
        if (end - pos < c) continue;
        if (MatchVideo(pos + c, end).kind != VideoMatch::None) {
            next = pos + c;
            return c;
        }
    }
    // Else the bytes up to the next video sample, if that is about as far as a chunk goes.
    const uint64_t largest = constant_->Largest();
    const uint64_t reach = std::min(end, pos + largest * 2 + kReachSlack);
    const uint64_t q = video_->Find(w_, pos + 1, reach, end);
    if (q < reach) {
        const uint64_t gap = q - pos;
        next = q;
        if (gap <= largest + largest / 2 + unit) return gap / unit * unit;
        // Farther: sound, then damage (zeros where the recorder wrote nothing).
        return afterVideo ? constant_->WithoutTrailingZeros(w_, pos, std::min(gap, largest) / unit * unit) : 0;
    }
    // Nothing recognisable in reach: the chunk after the last video sample, up to the cut.
    resync = true;
    if (!afterVideo) {
        next = pos;
        return 0;
    }
    const uint64_t bytes = constant_->WithoutTrailingZeros(w_, pos, std::min(end - pos, largest) / unit * unit);
    next = pos + bytes;
    return bytes;
}

uint64_t MediaWalker::MeasureAac(uint64_t pos, uint64_t end, std::vector<uint32_t>& frames) {
    uint64_t p = pos;
    for (;;) {
        const size_t want = size_t(std::min<uint64_t>(end - p, aac_->MaxFrameBytes() * (kAacFramesPerScan + 1)));
        if (want == 0) break;
        const uint8_t* d = w_.Get(p, want, MediaWindow::kScan);
        if (!d) break;
        std::vector<uint32_t> lengths;
        if (aac_->Scan(d, want, kAacFramesPerScan, lengths) == 0) break;
        for (uint32_t length : lengths) {
            // A video sample where a frame would start ends the chunk; zeros are not sound.
            if (p != pos && MatchVideo(p, end).kind != VideoMatch::None) return p - pos;
            d = w_.Get(p, length);
            if (!d || AllZero(d, length)) return p - pos;
            frames.push_back(length);
            p += length;
        }
        if (p != pos && MatchVideo(p, end).kind != VideoMatch::None) break;
    }
    return p - pos;
}

bool MediaWalker::KeepOpenEnded(uint64_t pos, uint64_t span, VideoMatch m, bool cutTail, RecoveredMedia& out) {
    // Zeros at the end longer than any chunk are where the recorder wrote nothing.
    const uint64_t end = pos + span;
    uint64_t used = LastNonZero(pos, end) - pos;
    if (!constant_ || end - (pos + used) <= constant_->Largest()) used = span;
    uint64_t sound = 0, rest = 0;
    if (constant_) {
        const bool expect = layout_.Interleaved() && videoSinceSound_ + 1 >= layout_.Video().samplesPerChunk;
        // At the cut the sound may end in a partial unit: try each way of leaving one off.
        const uint32_t tries = cutTail ? constant_->UnitBytes() : 1;
        for (uint32_t r = 0; r < tries && r < used; ++r) {
            const uint64_t s = constant_->SoundAtEnd(w_, pos, used - r, expect && !cutTail);
            if (s > sound) {
                sound = s;
                rest = r;
            }
        }
    }
    if (cutTail && sound == 0) return false;  // nothing shows the video sample ended
    const uint64_t video = used - rest - sound;
    if (video == 0) return false;
    m.kind = VideoMatch::Whole;
    m.size = video;
    KeepVideo(pos, video, m, out);
    if (sound > 0)
        KeepSound(pos + video, sound, uint32_t(sound / constant_->UnitBytes() * constant_->SamplesPerUnit()), out);
    out.cutOffBytes += rest;
    Skip(pos + used, end, out);
    return true;
}

uint64_t MediaWalker::FindConfirmed(uint64_t from, uint64_t end) {
    for (uint64_t q = video_->Find(w_, from, end, end); q < end; q = video_->Find(w_, q + 1, end, end)) {
        const VideoMatch m = MatchVideo(q, end);
        if (m.kind != VideoMatch::Whole) continue;
        const uint64_t p = q + m.size;
        if (p >= end || MatchVideo(p, end).kind != VideoMatch::None) return q;
        if (constant_) {
            // Only a chunk of a size the template uses: any video start within reach would be
            // found in random bytes too often.
            for (uint32_t c : constant_->Candidates())
                if (end - p <= c || MatchVideo(p + c, end).kind != VideoMatch::None) return q;
        } else if (aac_) {
            std::vector<uint32_t> frames;
            const uint64_t bytes = MeasureAac(p, end, frames);
            if (bytes > 0 && (p + bytes >= end || MatchVideo(p + bytes, end).kind != VideoMatch::None)) return q;
        }
    }
    return end;
}

uint64_t MediaWalker::LastNonZero(uint64_t from, uint64_t end) {
    uint64_t p = end;
    while (p > from) {
        const size_t n = size_t(std::min<uint64_t>(p - from, MediaWindow::kScan));
        const uint8_t* d = w_.Get(p - n, n, MediaWindow::kScan);
        if (!d) return end;
        for (size_t i = n; i > 0; --i)
            if (d[i - 1]) return p - n + i;
        p -= n;
    }
    return from;
}

void MediaWalker::Walk(uint64_t start, uint64_t end, uint64_t stopAt, RecoveredMedia& out, Kept kept) {
    kept_ = std::move(kept);
    out = RecoveredMedia{};
    soundTime_ = 0;
    out.dataStart = start;
    out.dataEnd = end;
    haveCache_ = false;
    uint64_t pos = start;
    bool afterVideo = false;
    while (pos < end && pos < stopAt && !w_.Failed()) {
        if (video_) {
            const VideoMatch m = MatchVideo(pos, end);
            if (m.kind == VideoMatch::Whole) {
                if (m.openEnded) KeepOpenEnded(pos, m.size, m, false, out);
                else KeepVideo(pos, m.size, m, out);
                pos += m.size;
                afterVideo = true;
                continue;
            }
            if (m.kind == VideoMatch::CutOff && m.openEnded && stopAt >= end &&
                KeepOpenEnded(pos, end - pos, m, true, out)) {
                pos = end;
                break;
            }
            if (m.kind == VideoMatch::CutOff) {
                // A sample starts here but does not end: damaged, if a whole one follows; else the
                // last (a start inside it that is cut off too, such as its second field, is part of it).
                const uint64_t next = FindConfirmed(pos + 1, end);
                if (next < end) {
                    Skip(pos, next, out);
                    pos = next;
                    afterVideo = false;
                    continue;
                }
                break;
            }
        }
        if (constant_) {
            uint64_t next = pos;
            bool resync = false;
            const uint64_t bytes = MeasureConstant(pos, end, afterVideo, next, resync);
            if (bytes > 0) {
                KeepSound(pos, bytes, uint32_t(bytes / constant_->UnitBytes() * constant_->SamplesPerUnit()), out);
                if (!resync) {
                    Skip(pos + bytes, next, out);
                    pos = next;
                    afterVideo = false;
                    continue;
                }
                pos += bytes;
            } else if (!resync && next > pos) {
                Skip(pos, next, out);
                pos = next;
                afterVideo = false;
                continue;
            }
        } else if (aac_) {
            std::vector<uint32_t> frames;
            const uint64_t bytes = MeasureAac(pos, end, frames);
            if (bytes > 0) {
                KeepSound(pos, bytes, uint32_t(frames.size()), out);
                out.frameSizes.insert(out.frameSizes.end(), frames.begin(), frames.end());
                pos += bytes;
                afterVideo = false;
                continue;
            }
        }
        if (pos >= end || pos >= stopAt) break;
        // Nothing recognisable here: on to the next video sample.
        const uint64_t next = video_ ? FindConfirmed(pos + 1, end) : end;
        if (next >= end) break;
        Skip(pos, next, out);
        pos = next;
        afterVideo = false;
    }
    if (pos < end && pos < stopAt) {
        // The rest holds no whole sample: the last one, cut off, then zeros.
        const uint64_t lastByte = LastNonZero(pos, end);
        out.cutOffBytes += lastByte - pos;
        if (end > lastByte) {
            out.skippedBytes += end - lastByte;
            ++out.skippedStretches;
        }
        pos = end;
    }
    out.dataEnd = std::min(pos, end);
}

double MediaWalker::OtherByteOrderFit(const RecoveredMedia& media) {
    if (!constant_) return 0;
    double sum = 0;
    int n = 0;
    for (size_t i = 0; i < media.sound.size() && n < 8; ++i) {
        const double f = constant_->OtherByteOrderFit(w_, media.sound[i].offset, media.sound[i].bytes);
        if (f > 0) {
            sum += f;
            ++n;
        }
    }
    return n ? sum / n : 0;
}

}  // namespace movie::repair
