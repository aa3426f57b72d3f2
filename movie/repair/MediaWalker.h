// Walks a damaged file's media from its start and finds each sample again from the bytes: video
// samples by their codec's recogniser, sound between them by the template's chunk sizes, its
// units and (AAC) the decoder. Zeros and bytes that fit no track are skipped up to the next sample
// that is recognised; the last sample, cut off, is left out.
#pragma once

#include <functional>
#include <memory>

#include "movie/decode/AacFrameScanner.h"
#include "movie/repair/recognise/ConstantSound.h"
#include "movie/repair/recognise/MediaWindow.h"
#include "movie/repair/recognise/VideoRecognisers.h"
#include "movie/repair/template/TemplateLayout.h"
#include "movie/repair/write/RecoveredMedia.h"

namespace movie::repair {

class MediaWalker {
public:
    MediaWalker(const TemplateLayout& layout, MediaWindow& window);

    // Called with each sample's (or sound chunk's) bytes as the walk keeps them, in file order.
    using Kept = std::function<void(uint64_t offset, uint64_t bytes)>;

    // Walks [start, end) into `out`. With `stopAt` below `end` the walk stops at the first sample
    // boundary at or past it (a look at the beginning, to see whether the template fits).
    void Walk(uint64_t start, uint64_t end, uint64_t stopAt, RecoveredMedia& out, Kept kept = nullptr);
    // Whether a sample of the template's tracks can be recognised at `pos`.
    bool SampleStartsAt(uint64_t pos, uint64_t end);
    // 16-bit PCM: how much better the kept sound fits the other byte order (see ConstantSound).
    double OtherByteOrderFit(const RecoveredMedia& media);

private:
    VideoMatch MatchVideo(uint64_t pos, uint64_t end);
    void KeepVideo(uint64_t pos, uint64_t size, VideoMatch m, RecoveredMedia& out);
    void KeepSound(uint64_t pos, uint64_t bytes, uint32_t samples, RecoveredMedia& out);
    // Sound at `pos`: its bytes, and where the walk goes on (past bytes it skips). `resync`: the
    // walk must look for the next sample from there, as nothing recognisable was in reach.
    uint64_t MeasureConstant(uint64_t pos, uint64_t end, bool afterVideo, uint64_t& next, bool& resync);
    uint64_t MeasureAac(uint64_t pos, uint64_t end, std::vector<uint32_t>& frames);
    // A sample whose end the video cannot tell (MPEG-4), spanning [pos, pos + span): keeps the
    // video and the sound stored after it, skips zeros after them; `cutTail` (the data ends in
    // the span) lets the sound end in a partial unit. False when no whole sample is found.
    bool KeepOpenEnded(uint64_t pos, uint64_t span, VideoMatch m, bool cutTail, RecoveredMedia& out);
    void Skip(uint64_t from, uint64_t to, RecoveredMedia& out);
    // The next whole video sample at or after `from` that what follows it confirms (a video
    // sample, directly or after a sound chunk of the template's sizes or of AAC frames): a sample
    // found after bytes that fit nothing may be chance.
    uint64_t FindConfirmed(uint64_t from, uint64_t end);
    uint64_t LastNonZero(uint64_t from, uint64_t end);

    const TemplateLayout& layout_;
    MediaWindow& w_;
    std::unique_ptr<VideoRecogniser> video_;
    std::unique_ptr<ConstantSound> constant_;
    std::unique_ptr<AacFrameScanner> aac_;
    bool haveCache_ = false;
    uint64_t cachePos_ = 0, cacheEnd_ = 0;
    VideoMatch cache_;
    uint32_t videoSinceSound_ = 0;
    int64_t soundTime_ = 0;
    Kept kept_;
};

}  // namespace movie::repair
