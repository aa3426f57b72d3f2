// Walks a damaged file's media from its start and finds each sample again from the bytes: video
// samples by their codec's recogniser, and between them the sound of every track the template
// has, whatever the size of its chunks (PCM and IMA4 in whole units, AAC frame by frame). Bytes
// between two video samples that are no sound of the recording (zeros, garbage, samples damaged
// or lost) make a damaged stretch; the recording's timeline (RecordingTimeline) then places what
// follows it at its own time. The recorder's timecode sample, where it stores one at the start of
// the media, is read; the last sample, cut off, is left out.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "movie/decode/AacFrameScanner.h"
#include "movie/repair/recognise/ConstantSound.h"
#include "movie/repair/recognise/MediaWindow.h"
#include "movie/repair/recognise/VideoRecognisers.h"
#include "movie/repair/recognise/VideoStamp.h"
#include "movie/repair/template/TemplateLayout.h"
#include "movie/repair/write/RecoveredMedia.h"

namespace movie::repair {

class MediaWalker {
public:
    MediaWalker(const TemplateLayout& layout, MediaWindow& window);

    // Called with each sample's (or sound chunk's) bytes as the walk keeps them, in file order.
    using Kept = std::function<void(uint64_t offset, uint64_t bytes)>;

    // Walks [start, end) into `out` (times not yet set: RecordingTimeline does that). With
    // `stopAt` below `end` the walk stops at the first sample boundary at or past it (a look at the
    // beginning, to see whether the template fits).
    void Walk(uint64_t start, uint64_t end, uint64_t stopAt, RecoveredMedia& out, Kept kept = nullptr);
    // What each kept video sample's bytes say about its time, one per out.video entry.
    const std::vector<VideoStamp>& Stamps() const { return stamps_; }
    // Whether a sample of the template's tracks can be recognised at `pos`.
    bool SampleStartsAt(uint64_t pos, uint64_t end);
    // 16-bit PCM: how much better the kept sound fits the other byte order (see ConstantSound).
    double OtherByteOrderFit(const RecoveredMedia& media);

private:
    struct Chunk {
        int track;
        uint64_t bytes;
        uint32_t samples;
    };

    VideoMatch MatchVideo(uint64_t pos, uint64_t end);
    void KeepVideo(uint64_t pos, uint64_t size, VideoMatch m, RecoveredMedia& out);
    void KeepSound(uint64_t pos, const Chunk& c, RecoveredMedia& out);
    // The next video sample after the sound that starts at `pos`, found quickly: past a run of the
    // template's usual sizes, or within reach of the longest run; `end` when none is in reach.
    uint64_t NextVideoInReach(uint64_t pos, uint64_t end);
    // The most bytes of sound the template stores between two video samples.
    uint64_t LongestRunBytes() const;
    // Whether [pos, to) is the sound the recorder stored between two video samples: every track's
    // chunks, in the template's order, whole units of a plausible length. Their chunks in `chunks`.
    // With `inOrder`, the run must also keep the recorder's order of start times with what came
    // before it in this stretch of media (see InterleaveWindows).
    bool SoundRun(uint64_t pos, uint64_t to, std::vector<Chunk>& chunks, std::vector<uint32_t>& aacFrames,
                  bool inOrder);
    bool SplitConstant(uint64_t bytes, std::vector<Chunk>& chunks) const;
    std::vector<uint64_t> SoundRunSizes() const;
    uint64_t MeasureAac(uint64_t pos, uint64_t end, std::vector<uint32_t>& frames);
    // The sound after the last video sample, up to the cut: whole units, trailing zeros left out.
    uint64_t SoundBeforeCut(uint64_t pos, uint64_t end, std::vector<Chunk>& chunks, std::vector<uint32_t>& aacFrames);
    // A sample whose end the video cannot tell (MPEG-4), spanning [pos, pos + span): keeps the
    // video and the sound stored after it, skips zeros after them; `cutTail` (the data ends in
    // the span) lets the sound end in a partial unit. False when no whole sample is found.
    bool KeepOpenEnded(uint64_t pos, uint64_t span, VideoMatch m, bool cutTail, RecoveredMedia& out);
    // Before a stretch of zeros (a recorder's unwritten blocks): the whole chunks of sound that end
    // where the zeros begin. Their bytes, 0 when there are none.
    uint64_t SoundBeforeZeros(uint64_t pos, uint64_t to, std::vector<Chunk>& chunks, std::vector<uint32_t>& aacFrames);
    // After a stretch of damage, right before the video sample at `to`: whole chunks of sound that
    // begin where the damage plainly ends (zeros, or a DV frame's last block). Their bytes.
    uint64_t SoundAfterDamage(uint64_t from, uint64_t to, std::vector<Chunk>& chunks);
    // Bytes that are no sound of the recording: a damaged stretch, before the sample at `to`.
    void Damage(uint64_t from, uint64_t to, RecoveredMedia& out);
    // The next whole video sample at or after `from` that what follows it confirms (a video
    // sample, directly or after a run of sound): a sample found after bytes that fit nothing may be
    // chance.
    uint64_t FindConfirmed(uint64_t from, uint64_t end);
    uint64_t LastNonZero(uint64_t from, uint64_t end);
    // The recorder's timecode sample at the media's start, where the template says it stores one.
    uint64_t TakeTimecodeSample(uint64_t pos, uint64_t end, RecoveredMedia& out);
    // The sound track whose chunk is due next, in the template's order.
    int NextTrack() const { return sounds_.empty() ? 0 : (lastTrack_ + 1) % int(sounds_.size()); }

    const TemplateLayout& layout_;
    const std::vector<SoundLayout>& sounds_;
    MediaWindow& w_;
    std::unique_ptr<VideoRecogniser> video_;
    std::vector<std::unique_ptr<ConstantSound>> constant_;  // one per PCM or IMA4 sound track
    std::unique_ptr<AacFrameScanner> aac_;                   // the (one) AAC track's frames
    uint64_t unitBytesAll_ = 0;  // a unit of every constant sound track together
    bool haveCache_ = false;
    uint64_t cachePos_ = 0, cacheEnd_ = 0;
    VideoMatch cache_;
    uint32_t videoSinceSound_ = 0;
    int lastTrack_ = -1;
    bool videoInStretch_ = false;  // a video sample was kept since the start or the last damage
    // After damage, H.264 and MPEG-4 samples refer to lost frames until a key frame; MPEG-4 B
    // frames right after that key frame refer to the anchor before it, lost too.
    bool awaitingKey_ = false, afterKey_ = false;
    InterleaveWindows windows_;  // of the stretch since the last damage
    std::vector<VideoStamp> stamps_;
    Kept kept_;
    // The last video sample kept, not yet handed to `kept_`: garbage that starts right after it
    // may have started inside it (its last unit's length lies in the garbage).
    bool pending_ = false;
    uint64_t pendingPos_ = 0, pendingSize_ = 0;
    void Hand(uint64_t offset, uint64_t bytes);
    void HandPending();
};

}  // namespace movie::repair
