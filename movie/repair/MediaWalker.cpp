#include "movie/repair/MediaWalker.h"

#include <algorithm>

namespace movie::repair {

namespace {

// A video sample is looked for this far past the longest run of sound the template has.
constexpr uint64_t kReachSlack = 64u << 10;
constexpr size_t kAacFramesPerScan = 16;
// Run sizes of the template tried first for where the next video sample is.
constexpr size_t kRunTries = 8;
// A decomposition of a run into chunks of the template's sizes looks this many chunks deep.
constexpr int kMaxChunksInRun = 24;

bool AllZero(const uint8_t* d, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (d[i]) return false;
    return true;
}

double Seconds(uint64_t samples, const SoundLayout& l) {
    return l.timeScale ? double(samples) * std::max<uint32_t>(1, l.delta) / l.timeScale : 0;
}

}  // namespace

MediaWalker::MediaWalker(const TemplateLayout& layout, MediaWindow& window)
    : layout_(layout), sounds_(layout.Sounds()), w_(window), windows_(layout.NewWindows()) {
    if (layout.Video().track >= 0) video_ = MakeVideoRecogniser(layout.Video());
    for (const SoundLayout& s : sounds_) {
        if (s.family == SoundFamily::Pcm || s.family == SoundFamily::Ima4) {
            constant_.push_back(std::make_unique<ConstantSound>(s));
            unitBytesAll_ += s.unitBytes;
        } else {
            constant_.push_back(nullptr);
            if (s.family == SoundFamily::Aac && !aac_) {
                aac_ = std::make_unique<AacFrameScanner>(s.config);
                if (!aac_->Ready()) aac_.reset();
            }
        }
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
    return !constant_.empty() && constant_.front() != nullptr;
}

void MediaWalker::KeepVideo(uint64_t pos, uint64_t size, VideoMatch m, RecoveredMedia& out) {
    video_->Keep(m);
    bool lost = awaitingKey_;
    if (awaitingKey_ && m.key) {
        awaitingKey_ = lost = false;
        afterKey_ = layout_.Video().family == VideoFamily::Mpeg4;
    } else if (afterKey_) {
        lost = m.stamp.hasVopTime && m.stamp.vopType == 2;
        afterKey_ = lost;
    }
    m.stamp.dependsOnLost = lost;
    RecoveredVideoSample v;
    v.offset = pos;
    v.size = uint32_t(size);
    v.key = m.key;
    out.video.push_back(v);
    stamps_.push_back(m.stamp);
    windows_.Video();
    videoInStretch_ = true;
    ++videoSinceSound_;
    if (m.stamp.dependsOnLost) {
        // Not part of the repaired clip: counted with the bytes that fit no track.
        out.skippedBytes += size;
        return;
    }
    if (out.video.size() == 1 || (out.videoWidth == 0 && m.width)) {
        out.videoWidth = m.width;
        out.videoHeight = m.height;
    }
    out.mediaBytes += size;
    HandPending();
    pending_ = true;
    pendingPos_ = pos;
    pendingSize_ = size;
}

void MediaWalker::Hand(uint64_t offset, uint64_t bytes) {
    HandPending();
    if (kept_) kept_(offset, bytes);
}

void MediaWalker::HandPending() {
    if (!pending_) return;
    pending_ = false;
    if (kept_) kept_(pendingPos_, pendingSize_);
}

void MediaWalker::KeepSound(uint64_t pos, const Chunk& chunk, RecoveredMedia& out) {
    RecoveredSoundChunk c;
    c.offset = pos;
    c.bytes = uint32_t(chunk.bytes);
    c.samples = chunk.samples;
    c.firstFrame = uint32_t(out.frameSizes.size());
    c.track = chunk.track;
    out.sound.push_back(c);
    windows_.Sound(size_t(chunk.track), int64_t(chunk.samples) * std::max<uint32_t>(1, sounds_[size_t(chunk.track)].delta));
    out.mediaBytes += chunk.bytes;
    Hand(pos, chunk.bytes);
    videoSinceSound_ = 0;
    lastTrack_ = chunk.track;
}

void MediaWalker::Damage(uint64_t from, uint64_t to, RecoveredMedia& out) {
    if (to <= from) return;
    // Bytes that are not zeros, right after a picture whose end only its own length fields give:
    // the garbage may have begun inside it.
    const uint8_t* first = w_.Get(from, 1);
    if (pending_ && pendingPos_ + pendingSize_ == from && first && *first != 0 && !video_->ChecksWholeSample() &&
        !out.video.empty() && out.video.back().offset == pendingPos_) {
        pending_ = false;
        out.mediaBytes -= pendingSize_;
        out.video.pop_back();
        stamps_.pop_back();
        from = pendingPos_;
    }
    DamagedStretch d;
    d.offset = from;
    d.bytes = to - from;
    out.damage.push_back(d);
    out.skippedBytes += to - from;
    ++out.skippedStretches;
    lastTrack_ = -1;  // what follows starts a round of the tracks afresh
    windows_ = layout_.NewWindows();
    videoInStretch_ = false;
    const VideoFamily family = layout_.Video().family;
    awaitingKey_ = family == VideoFamily::Avc || family == VideoFamily::Mpeg4;
    afterKey_ = false;
}

bool MediaWalker::SplitConstant(uint64_t bytes, std::vector<Chunk>& chunks) const {
    const size_t tracks = sounds_.size();
    const auto chunkOf = [this](int t, uint64_t b) {
        const SoundLayout& l = sounds_[size_t(t)];
        return Chunk{t, b, uint32_t(b / l.unitBytes * l.samplesPerUnit)};
    };
    if (tracks == 1) {
        if (bytes % sounds_[0].unitBytes != 0) return false;
        chunks.push_back(chunkOf(0, bytes));
        return true;
    }
    // Chunks of the template's sizes, the tracks taking turns in its order.
    const int first = NextTrack();
    std::vector<Chunk> path;
    std::function<bool(uint64_t, int)> fill = [&](uint64_t at, int track) {
        if (at == bytes) return path.size() % tracks == 0;  // whole rounds
        if (int(path.size()) >= kMaxChunksInRun) return false;
        for (uint32_t size : sounds_[size_t(track)].chunkBytes) {
            if (size == 0 || at + size > bytes) continue;
            path.push_back(chunkOf(track, size));
            if (fill(at + size, (track + 1) % int(tracks))) return true;
            path.pop_back();
        }
        return false;
    };
    if (fill(0, first)) {
        chunks.insert(chunks.end(), path.begin(), path.end());
        return true;
    }
    // Else one round of equal length in every track (the recorder's last round, or sizes the
    // template did not show).
    if (unitBytesAll_ == 0 || bytes % unitBytesAll_ != 0) return false;
    const uint64_t units = bytes / unitBytesAll_;
    for (size_t i = 0; i < tracks; ++i) {
        const int t = int((size_t(first) + i) % tracks);
        chunks.push_back(chunkOf(t, units * sounds_[size_t(t)].unitBytes));
    }
    return true;
}

bool MediaWalker::SoundRun(uint64_t pos, uint64_t to, std::vector<Chunk>& chunks, std::vector<uint32_t>& aacFrames,
                           bool inOrder) {
    chunks.clear();
    aacFrames.clear();
    if (to <= pos) return true;
    if (sounds_.empty()) return false;
    const uint64_t bytes = to - pos;
    // However the run is cut into chunks, no track holds much more sound than the template's runs.
    const double frame = layout_.Video().timeScale
                             ? double(std::max<uint32_t>(1, layout_.Video().delta)) / layout_.Video().timeScale
                             : 0.04;
    const double longest = layout_.LongestRun() * 1.1 + frame + 0.01;
    if (aac_) {
        const uint64_t measured = MeasureAac(pos, to, aacFrames);
        if (measured != bytes) return false;
        chunks.push_back({0, bytes, uint32_t(aacFrames.size())});
    } else if (constant_.front() == nullptr || !SplitConstant(bytes, chunks)) {
        return false;
    }
    std::vector<uint64_t> samples(sounds_.size(), 0);
    for (const Chunk& c : chunks) samples[size_t(c.track)] += c.samples;
    for (size_t t = 0; t < sounds_.size(); ++t)
        if (Seconds(samples[t], sounds_[t]) > longest) return false;
    if (!inOrder || !layout_.InterleavedByTime()) return true;
    InterleaveWindows trial = windows_;
    for (const Chunk& c : chunks)
        trial.Sound(size_t(c.track), int64_t(c.samples) * std::max<uint32_t>(1, sounds_[size_t(c.track)].delta));
    return trial.Video();
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

uint64_t MediaWalker::LongestRunBytes() const {
    uint64_t longest = 0;
    for (uint64_t r : layout_.RunBytes()) longest = std::max(longest, r);
    for (const auto& c : constant_)
        if (c) longest = std::max<uint64_t>(longest, c->Largest());
    return longest;
}

uint64_t MediaWalker::NextVideoInReach(uint64_t pos, uint64_t end) {
    const std::vector<uint64_t>& runs = layout_.RunBytes();
    for (size_t i = 0; i < runs.size() && i < kRunTries; ++i)
        if (runs[i] > 0 && runs[i] < end - pos && MatchVideo(pos + runs[i], end).kind != VideoMatch::None)
            return pos + runs[i];
    const uint64_t reach = std::min(end, pos + LongestRunBytes() * 2 + kReachSlack);
    const uint64_t q = video_->Find(w_, pos + 1, reach, end);
    return q < reach ? q : end;
}

uint64_t MediaWalker::SoundBeforeCut(uint64_t pos, uint64_t end, std::vector<Chunk>& chunks,
                                     std::vector<uint32_t>& aacFrames) {
    chunks.clear();
    aacFrames.clear();
    if (sounds_.empty()) return 0;
    if (aac_) {
        const uint64_t bytes = MeasureAac(pos, end, aacFrames);
        if (bytes > 0) chunks.push_back({0, bytes, uint32_t(aacFrames.size())});
        return bytes;
    }
    // As much as one run holds at most; what the cut leaves of a unit, and zeros after the sound
    // (a preallocated tail), are not sound.
    const int t = NextTrack();
    const ConstantSound* c = constant_[size_t(t)].get();
    if (!c) return 0;
    const uint64_t most = LongestRunBytes();
    const uint64_t bytes = c->WithoutTrailingZeros(w_, pos, std::min(end - pos, most) / c->UnitBytes() * c->UnitBytes());
    if (bytes == 0) return 0;
    if (sounds_.size() == 1) {
        chunks.push_back({0, bytes, uint32_t(bytes / c->UnitBytes() * c->SamplesPerUnit())});
        return bytes;
    }
    // Several tracks: the chunks of the template's sizes that fit, in turn; a chunk cut short is lost.
    uint64_t at = 0;
    for (int track = t; int(chunks.size()) < kMaxChunksInRun; track = (track + 1) % int(sounds_.size())) {
        const SoundLayout& l = sounds_[size_t(track)];
        const uint64_t size = l.chunkBytes.empty() ? 0 : l.chunkBytes.front();
        if (size == 0 || at + size > bytes) break;
        chunks.push_back({track, size, uint32_t(size / l.unitBytes * l.samplesPerUnit)});
        at += size;
    }
    return at;
}

uint64_t MediaWalker::SoundBeforeZeros(uint64_t pos, uint64_t to, std::vector<Chunk>& chunks, std::vector<uint32_t>& aacFrames) {
    chunks.clear();
    aacFrames.clear();
    if (aac_) {
        // Frames up to the first that is zeros.
        const uint64_t bytes = MeasureAac(pos, to, aacFrames);
        const uint8_t* after = bytes > 0 && to - pos - bytes >= 64 ? w_.Get(pos + bytes, 64) : nullptr;
        if (!after || !AllZero(after, 64)) {
            aacFrames.clear();
            return 0;
        }
        chunks.push_back({0, bytes, uint32_t(aacFrames.size())});
        return bytes;
    }
    if (constant_.empty() || !constant_.front()) return 0;
    const std::vector<uint64_t> sizes = SoundRunSizes();
    const size_t probe = 256;
    for (uint64_t size : sizes) {
        if (size == 0 || size + probe > to - pos) continue;
        const uint8_t* after = w_.Get(pos + size, probe);
        if (!after || !AllZero(after, probe)) continue;
        const uint8_t* last = w_.Get(pos + size - 4, 4);
        if (!last || AllZero(last, 4)) continue;
        std::vector<Chunk> split;
        if (SplitConstant(size, split)) {
            chunks = std::move(split);
            return size;
        }
    }
    return 0;
}

// Every size a run of sound between two pictures may have in the template, largest first.
std::vector<uint64_t> MediaWalker::SoundRunSizes() const {
    std::vector<uint64_t> sizes(layout_.RunBytes().begin(), layout_.RunBytes().end());
    for (const SoundLayout& l : sounds_) sizes.insert(sizes.end(), l.chunkBytes.begin(), l.chunkBytes.end());
    std::sort(sizes.begin(), sizes.end(), std::greater<>());
    return sizes;
}

uint64_t MediaWalker::SoundAfterDamage(uint64_t from, uint64_t to, std::vector<Chunk>& chunks) {
    chunks.clear();
    if (aac_ || constant_.empty() || !constant_.front()) return 0;
    const std::vector<uint64_t> sizes = SoundRunSizes();
    const size_t probe = 64;
    for (uint64_t size : sizes) {
        if (size == 0 || size + probe > to - from) continue;
        const uint64_t at = to - size;
        const uint8_t* before = w_.Get(at - probe, probe);
        const bool plainEnd = (before && AllZero(before, probe)) || video_->EndsSample(w_, at);
        if (!plainEnd || w_.HasZeroRun(at, size, 256)) continue;
        std::vector<Chunk> split;
        const int last = lastTrack_;
        lastTrack_ = -1;  // a run after damage starts with the first track
        const bool fits = SplitConstant(size, split);
        lastTrack_ = last;
        if (fits) {
            chunks = std::move(split);
            return size;
        }
    }
    return 0;
}

bool MediaWalker::KeepOpenEnded(uint64_t pos, uint64_t span, VideoMatch m, bool cutTail, RecoveredMedia& out) {
    const ConstantSound* constant = constant_.empty() ? nullptr : constant_.front().get();
    // Zeros at the end longer than any chunk are where the recorder wrote nothing.
    const uint64_t end = pos + span;
    uint64_t used = LastNonZero(pos, end) - pos;
    if (!constant || end - (pos + used) <= constant->Largest()) used = span;
    uint64_t sound = 0, rest = 0;
    if (constant) {
        const bool expect = layout_.Interleaved() && videoSinceSound_ + 1 >= layout_.Video().samplesPerChunk;
        // At the cut the sound may end in a partial unit: try each way of leaving one off.
        const uint32_t tries = cutTail ? constant->UnitBytes() : 1;
        for (uint32_t r = 0; r < tries && r < used; ++r) {
            const uint64_t s = constant_.front()->SoundAtEnd(w_, pos, used - r, expect && !cutTail);
            if (s > sound) {
                sound = s;
                rest = r;
            }
        }
    }
    if (cutTail && sound == 0) return false;  // nothing shows the video sample ended
    const uint64_t video = used - rest - sound;
    if (video == 0) return false;
    // A picture far larger than the template's, or with zeros in it, was overwritten: the span is
    // damage (its end is where the next picture starts).
    if (!cutTail && (video > std::max<uint64_t>(uint64_t(layout_.Video().largestSample) * 3, 1u << 20) ||
                     w_.HasZeroRun(pos, video, 4))) {
        Damage(pos, end, out);
        return true;
    }
    m.kind = VideoMatch::Whole;
    m.size = video;
    KeepVideo(pos, video, m, out);
    if (sound > 0)
        KeepSound(pos + video, {0, sound, uint32_t(sound / constant->UnitBytes() * constant->SamplesPerUnit())}, out);
    out.cutOffBytes += rest;
    // Zeros after them, longer than any chunk: the recorder's blocks never written, or zeroed.
    if (end > pos + used) Damage(pos + used, end, out);
    return true;
}

uint64_t MediaWalker::FindConfirmed(uint64_t from, uint64_t end) {
    std::vector<Chunk> chunks;
    std::vector<uint32_t> frames;
    for (uint64_t q = video_->Find(w_, from, end, end); q < end; q = video_->Find(w_, q + 1, end, end)) {
        const VideoMatch m = MatchVideo(q, end);
        if (m.kind != VideoMatch::Whole) continue;
        const uint64_t p = q + m.size;
        if (p >= end || MatchVideo(p, end).kind != VideoMatch::None) return q;
        if (sounds_.empty()) continue;
        // Only sound the recorder could have stored: any video start within reach would be found
        // in random bytes too often.
        const uint64_t r = NextVideoInReach(p, end);
        if (r < end ? SoundRun(p, r, chunks, frames, false) : end - p <= LongestRunBytes()) return q;
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

uint64_t MediaWalker::TakeTimecodeSample(uint64_t pos, uint64_t end, RecoveredMedia& out) {
    const TimecodeLayout& t = layout_.Timecode();
    const uint32_t n = t.sampleSize;
    if (t.track < 0 || !t.sampleAtMediaStart || (n != 4 && n != 8) || end - pos <= n) return pos;
    if (SampleStartsAt(pos, end) || !SampleStartsAt(pos + n, end)) return pos;
    const uint8_t* d = w_.Get(pos, n);
    if (!d) return pos;
    int64_t value = 0;
    for (uint32_t i = 0; i < n; ++i) value = (value << 8) | d[i];
    // A start within a day of frames, as a timecode track counts them.
    const int64_t day = int64_t(std::max<uint8_t>(t.frames, 1)) * 86400;
    if (value < 0 || value >= day) return pos;
    out.timecode.found = true;
    out.timecode.frameNumber = value;
    out.timecode.source = "the recorder's timecode sample";
    out.mediaBytes += n;
    return pos + n;
}

void MediaWalker::Walk(uint64_t start, uint64_t end, uint64_t stopAt, RecoveredMedia& out, Kept kept) {
    kept_ = std::move(kept);
    out = RecoveredMedia{};
    pending_ = false;
    stamps_.clear();
    out.dataStart = start;
    out.dataEnd = end;
    haveCache_ = false;
    lastTrack_ = -1;
    videoSinceSound_ = 0;
    videoInStretch_ = false;
    awaitingKey_ = afterKey_ = false;
    windows_ = layout_.NewWindows();
    uint64_t pos = TakeTimecodeSample(start, end, out);
    std::vector<Chunk> chunks;
    std::vector<uint32_t> frames;
    const auto keepRun = [&](uint64_t at) {
        for (const Chunk& c : chunks) {
            KeepSound(at, c, out);
            if (aac_) out.frameSizes.insert(out.frameSizes.end(), frames.begin(), frames.end());
            at += c.bytes;
        }
        return at;
    };
    while (pos < end && pos < stopAt && !w_.Failed()) {
        if (!video_) {
            // Sound alone, one track: all of it up to the cut (nothing to find the way back by after
            // damage without video).
            if (aac_) {
                const uint64_t bytes = MeasureAac(pos, end, frames);
                if (bytes > 0) chunks = {{0, bytes, uint32_t(frames.size())}};
            } else if (const ConstantSound* c = constant_.front().get()) {
                const uint64_t bytes = c->WithoutTrailingZeros(w_, pos, (end - pos) / c->UnitBytes() * c->UnitBytes());
                if (bytes > 0) chunks = {{0, bytes, uint32_t(bytes / c->UnitBytes() * c->SamplesPerUnit())}};
            }
            pos = keepRun(pos);
            break;
        }
        const VideoMatch m = MatchVideo(pos, end);
        if (m.kind == VideoMatch::Whole) {
            if (m.openEnded) KeepOpenEnded(pos, m.size, m, false, out);
            else KeepVideo(pos, m.size, m, out);
            pos += m.size;
            continue;
        }
        if (m.kind == VideoMatch::CutOff && m.openEnded && stopAt >= end && KeepOpenEnded(pos, end - pos, m, true, out)) {
            pos = end;
            break;
        }
        if (m.kind == VideoMatch::CutOff) {
            // A sample starts here but does not end: damaged, if a whole one follows; else the
            // last (a start inside it that is cut off too, such as its second field, is part of it).
            const uint64_t next = FindConfirmed(pos + 1, end);
            if (next >= end) break;
            const uint64_t after = SoundAfterDamage(pos, next, chunks);
            Damage(pos, next - after, out);
            pos = keepRun(next - after);
            continue;
        }
        // Between video samples: the sound of every track, or damage. Sound comes after a video
        // sample (or first, where the recorder starts with it): bytes before any video that are
        // no video sample are damage up to the first sample that is one.
        const bool soundDue = videoInStretch_ || (pos == start && layout_.StartsWithSound());
        const uint64_t q = soundDue ? NextVideoInReach(pos, end) : end;
        if (q < end && SoundRun(pos, q, chunks, frames, true)) {
            pos = keepRun(pos);
            continue;
        }
        const uint64_t next = FindConfirmed(pos + 1, end);
        if (next >= end) {
            // No whole video sample follows: the sound before the cut.
            if (!soundDue || SoundBeforeCut(pos, end, chunks, frames) == 0) break;
            pos = keepRun(pos);
            continue;
        }
        if (soundDue && SoundRun(pos, next, chunks, frames, true)) {
            pos = keepRun(pos);
            continue;
        }
        if (soundDue && SoundBeforeZeros(pos, next, chunks, frames) > 0) pos = keepRun(pos);
        const uint64_t after = SoundAfterDamage(pos, next, chunks);
        Damage(pos, next - after, out);
        pos = keepRun(next - after);
    }
    HandPending();
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
    double sum = 0;
    int n = 0;
    for (size_t i = 0; i < media.sound.size() && n < 8; ++i) {
        const ConstantSound* c = constant_[size_t(media.sound[i].track)].get();
        if (!c) continue;
        const double f = c->OtherByteOrderFit(w_, media.sound[i].offset, media.sound[i].bytes);
        if (f > 0) {
            sum += f;
            ++n;
        }
    }
    return n ? sum / n : 0;
}

}  // namespace movie::repair
