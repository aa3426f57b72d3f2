// The repaired clip's structure: a new self-contained QuickTime file laid out as a recorder writes
// one, 'ftyp', 'mdat' and then 'moov', whose movie header is the template's with the recovered
// sample tables (stts, ctts, stss, stsc, stsz, stco or co64), the sample descriptions as stored,
// durations that say what was recovered and edit lists made to fit. Every sample is placed at its
// own time in the recording: video frames through their presentation times (the frame before a
// lost one held), sound with silence where sound was lost. Its media is the recovered samples'
// bytes in their order, copied while the walk goes on (RepairClip), then the media the writer adds
// (AddedMedia): that silence and the timecode sample.
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
    int templateTrack = -1;      // the template's track it is written as
    int sound = -1;              // sound: which of the template's sound tracks (an index of its Sounds())
    uint64_t frames = 0;         // video frames, or sound frames (PCM and IMA4 frames, AAC frames)
    uint64_t mediaDuration = 0;  // in the track's time scale
    double seconds = 0;
    double silence = 0;          // sound: seconds of silence put where sound was lost
    double unfilled = 0;         // sound: seconds lost that no silence could stand for (a format it
                                 // cannot be made in): the sound after them plays that much early
    std::string timecode;        // timecode: its start, as text
};

class RepairedMovieWriter {
public:
    RepairedMovieWriter(const TemplateLayout& layout, const RecoveredMedia& media);

    // The file's first bytes, written before the walk: 'ftyp', a 'free' atom that puts the media at
    // the place within a memory page it has at `sourceStart` in the damaged file (the kernel then
    // copies whole pages), and an 'mdat' header whose 64-bit size MediaSize gives later.
    static std::vector<uint8_t> FileStart(uint64_t sourceStart);
    // The tracks written, in the movie's order.
    const std::vector<RecoveredTrack>& Tracks() const { return tracks_; }
    // What the media holds after the copied samples, in the same 'mdat': silence and the timecode
    // sample. The sample tables point into it.
    const std::vector<uint8_t>& AddedMedia() const { return added_; }
    // The 'mdat' size for the last 8 bytes of FileStart, big-endian: copied and added media.
    std::vector<uint8_t> MediaSize() const;
    // The 'moov' that follows the media, its chunk offsets for media starting at `payloadStart`.
    std::vector<uint8_t> MovieHeader(uint64_t payloadStart) const;

private:
    struct Chunk {
        uint64_t offset;   // in the damaged file, or (added) in AddedMedia
        uint32_t samples;
        bool added;
    };
    struct Table {
        int track = -1;  // in the template
        TrackKind kind = TrackKind::Other;
        uint32_t mediaScale = 1;
        std::vector<uint32_t> sizes;  // per sample; one entry when all are alike
        uint64_t sampleCount = 0;
        std::vector<Chunk> chunks;
        std::vector<Track::TimeToSample> stts;
        std::vector<uint32_t> keys;        // 1-based sync samples; empty: all are
        std::vector<int32_t> composition;  // per sample; empty: none
        uint64_t mediaDuration = 0;
        // The edit list: `delay` media units of nothing (an empty edit), then `shown` media units
        // from `editMediaTime`; without `edit`, the media as it is.
        uint64_t delay = 0;
        bool edit = false;
        int64_t editMediaTime = 0;
        uint64_t shown = 0;
    };
    void BuildVideo();
    void BuildSound(size_t index);
    void BuildTimecode();
    // Adds `bytes` to the added media (once: the same bytes are shared) and gives their offset there.
    uint64_t Add(const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> Moov(uint64_t payloadStart, bool wide) const;
    void PutTrack(class AtomBuffer& out, const uint8_t* trak, size_t size, const Table& t, uint64_t payloadStart,
                  bool wide) const;
    void PutEdits(AtomBuffer& out, const Table& t) const;
    void PutReferences(AtomBuffer& out, const uint8_t* tref, size_t size, const Table& t) const;
    void PutTables(AtomBuffer& out, const Table& t, uint64_t payloadStart, bool wide) const;
    uint64_t NewOffset(const Chunk& c, uint64_t payloadStart) const;
    uint64_t ToMovie(uint64_t mediaTime, const Table& t) const;
    uint64_t TrackDuration(const Table& t) const;  // in the movie's time scale
    bool Written(uint32_t trackId) const;

    const TemplateLayout& layout_;
    const RecoveredMedia& media_;
    std::vector<Table> tables_;  // in the template's track order
    std::vector<RecoveredTrack> tracks_;
    std::vector<uint8_t> added_;
    std::vector<std::pair<uint64_t, uint64_t>> addedBlocks_;  // offset, bytes: what Add shares
    uint32_t movieScale_ = 1;
    uint32_t timecodeId_ = 0;  // the timecode track written, by id; 0 without one
    // The copied stretches of the damaged file, in order: source offset, bytes, offset in the payload.
    struct Range { uint64_t source, bytes, payload; };
    std::vector<Range> ranges_;
    uint64_t payloadBytes_ = 0;
};

}  // namespace movie::repair
