// The repaired clip's structure: a new self-contained QuickTime file laid out as a recorder writes
// one, 'ftyp', 'mdat' and then 'moov', whose movie header is the template's with the recovered
// sample tables (stts, ctts, stss, stsc, stsz, stco or co64), the sample descriptions as stored,
// durations that say what was recovered and edit lists made to fit or left out. Its media is the
// recovered samples' bytes in their order, copied while the walk goes on (RepairClip).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "movie/repair/template/TemplateLayout.h"
#include "movie/repair/write/RecoveredMedia.h"

namespace movie::repair {

struct RecoveredTrack {
    TrackKind kind = TrackKind::Other;
    uint32_t codec = 0;
    uint64_t frames = 0;         // video frames, or sound frames (PCM and IMA4 frames, AAC frames)
    uint64_t mediaDuration = 0;  // in the track's time scale
    double seconds = 0;
};

class RepairedMovieWriter {
public:
    RepairedMovieWriter(const TemplateLayout& layout, const RecoveredMedia& media);

    // The file's first bytes, written before the walk: 'ftyp', a 'free' atom that puts the media at
    // the place within a memory page it has at `sourceStart` in the damaged file (the kernel then
    // copies whole pages), and an 'mdat' header whose 64-bit size MediaSize gives later.
    static std::vector<uint8_t> FileStart(uint64_t sourceStart);
    const std::vector<RecoveredTrack>& Tracks() const { return tracks_; }
    // The 'mdat' size for the last 8 bytes of FileStart, big-endian.
    std::vector<uint8_t> MediaSize() const;
    // The 'moov' that follows the media, its chunk offsets for media starting at `payloadStart`.
    std::vector<uint8_t> MovieHeader(uint64_t payloadStart) const;

private:
    struct Table {
        int track = -1;  // in the template
        bool video = false;
        std::vector<uint32_t> sizes;  // per sample; one entry when all are alike
        uint64_t sampleCount = 0;
        std::vector<std::pair<uint64_t, uint32_t>> chunks;  // source offset, samples
        uint32_t delta = 0;
        std::vector<uint32_t> keys;          // 1-based sync samples; empty: all are
        std::vector<int32_t> composition;    // per sample; empty: none
        uint64_t mediaDuration = 0;
        bool edit = false;
        int64_t editMediaTime = 0;
        bool editShifts = false;  // the edit only moves composition times back (it trims nothing)
    };
    void BuildVideo();
    void BuildSound();
    std::vector<uint8_t> Moov(uint64_t payloadStart, bool wide) const;
    void PutTrack(class AtomBuffer& out, const uint8_t* trak, size_t size, const Table& t, uint64_t payloadStart,
                  bool wide) const;
    void PutTables(AtomBuffer& out, const Table& t, uint64_t payloadStart, bool wide) const;
    uint64_t NewOffset(uint64_t sourceOffset) const;
    uint64_t TrackDuration(const Table& t) const;  // in the movie's time scale

    const TemplateLayout& layout_;
    const RecoveredMedia& media_;
    std::vector<Table> tables_;
    std::vector<RecoveredTrack> tracks_;
    // The copied stretches of the damaged file, in order: source offset, bytes, offset in the payload.
    struct Range { uint64_t source, bytes, payload; };
    std::vector<Range> ranges_;
    uint64_t payloadBytes_ = 0;
};

}  // namespace movie::repair
