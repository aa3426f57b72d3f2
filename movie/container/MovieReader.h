// Portable QuickTime / ISO-BMFF movie reader. No Windows headers: builds into the exe and natively.
// It never trusts a number from the file; every failure is a result value, never a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace movie {

// Random-access bytes. Reads past the end fail; a short read is a failure.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    virtual bool ReadAt(uint64_t offset, void* dst, size_t count) = 0;
};

// A file opened read-only by its (ANSI / UTF-8) path; counts the bytes it reads.
class FileSource : public ByteSource {
public:
    static std::unique_ptr<FileSource> Open(const std::string& path);
    ~FileSource() override;
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* dst, size_t count) override;
    uint64_t BytesRead() const { return bytesRead_; }

private:
    FileSource() = default;
    void* file_ = nullptr;
    uint64_t size_ = 0;
    uint64_t bytesRead_ = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* dst, size_t count) override;

private:
    const uint8_t* data_;
    size_t size_;
};

enum class ReadResult {
    Ok,
    IoError,       // the file could not be opened or read
    NotMovie,      // no movie header, or the file is not of the family at all
    Malformed,     // a size, count or offset that the bytes cannot back
    BadTimeScale,  // a movie time scale of 0
    Compressed,    // compressed movie header ('cmov')
};
const char* ResultText(ReadResult r);

enum class TrackKind { Video, Sound, Other };

struct SampleInfo {
    uint64_t offset = 0;   // file offset of the sample's bytes
    uint32_t size = 0;
    uint64_t time = 0;     // decode time in media time-scale units
    uint32_t duration = 0;
    uint32_t chunk = 0;    // 0-based chunk index (stco/co64 entry)
    bool keyFrame = true;
    int32_t compositionOffset = 0;  // presentation time minus decode time (ctts), media units
};

// A chunk: a run of samples stored back to back from one file offset.
struct ChunkInfo {
    uint64_t offset = 0;       // file offset of the chunk's first byte
    uint64_t firstSample = 0;  // 0-based index of its first sample
    uint32_t sampleCount = 0;  // samples in it, clamped to the track's sample count
};

struct Track {
    uint32_t id = 0;
    TrackKind kind = TrackKind::Other;
    uint32_t handler = 0;          // 'vide', 'soun', ...
    uint32_t codec = 0;            // fourcc of the first sample description, 0 if none
    uint32_t mediaTimeScale = 0;
    uint64_t mediaDuration = 0;    // in media time-scale units
    uint64_t duration = 0;         // track duration in movie time-scale units (tkhd)
    bool enabled = true;           // tkhd flag 1
    bool selfContained = true;     // every data reference is "in this file" (dref flag 1)
    double width = 0, height = 0;  // track dimensions (tkhd, 16.16)
    int32_t matrix[9] = {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
    // First sample description's details.
    uint16_t sampleWidth = 0, sampleHeight = 0;             // video
    uint16_t channels = 0, sampleBits = 0;                  // sound, as the description stores them
                                                            // (ISO files store 2 for AAC: see esds)
    uint32_t sampleRate = 0;                                // sound, whole Hz
    uint32_t codecConfigType = 0;                           // 'avcC', 'esds', ... or 0
    std::vector<uint8_t> codecConfig;                       // that atom's body, as stored
    uint16_t depth = 0;                                     // video: bits per pixel (+32: grey)
    // Sound description version 1 and 2 fields (0 when the description does not carry them).
    uint16_t soundVersion = 0;
    uint32_t samplesPerPacket = 0;  // v1 samples per packet; v2 LPCM frames per packet
    uint32_t bytesPerFrame = 0;     // v1 bytes per frame (all channels); v2 bytes per packet
    uint32_t lpcmFlags = 0;         // v2 format-specific flags (float 1, big-endian 2, signed 4)
    bool littleEndian = false;      // an 'enda' extension marks the samples little-endian
    // A timecode track's description ('tmcd'): how its sample's frame number counts.
    struct TimecodeDescription {
        uint32_t flags = 0;          // 1 drop frame, 2 wraps at 24 hours, 4 negative times, 8 a counter
        uint32_t timeScale = 0;      // the count's own time scale and frame duration in it
        uint32_t frameDuration = 0;
        uint8_t frames = 0;          // frames counted per second (the FF field's range)
    };
    TimecodeDescription timecode;
    bool hasTimecode = false;       // a 'tmcd' description whose time scale, duration and count are set

    // Edit list (elst), as stored; segment durations are in movie time-scale units.
    struct Edit { uint64_t segmentDuration; int64_t mediaTime; int32_t mediaRate; };
    std::vector<Edit> edits;
    bool hasEditList = false;
    // Track length as presented: the sum of the edit segments with an edit list, else duration.
    uint64_t PresentationDuration() const;

    // Sample tables, as stored.
    struct TimeToSample { uint32_t count, delta; };
    struct SampleToChunk { uint32_t firstChunk, samplesPerChunk, descriptionIndex; };
    std::vector<TimeToSample> stts;
    std::vector<SampleToChunk> stsc;
    uint32_t uniformSampleSize = 0;  // stsz sample size; 0 means sizes[] holds each
    uint32_t sampleCount = 0;
    std::vector<uint32_t> sizes;
    std::vector<uint64_t> chunkOffsets;  // stco or co64
    std::vector<uint32_t> syncSamples;   // stss, 1-based, sorted; without the table every sample is a key frame
    bool hasSyncTable = false;
    struct CompositionOffset { uint32_t count; int32_t offset; };
    std::vector<CompositionOffset> ctts;  // composition offsets; read as signed whatever the version
    uint64_t dataEnd = 0;  // size of the file the offsets point into; samples must end within it

    size_t SampleCount() const { return sampleCount; }
    // Sample n (0-based): its file offset, size, time and key-frame flag. False when n is out of
    // range, the tables do not reach it or its bytes would end past dataEnd. Sequential access is
    // O(1) per sample (a small cursor remembers the last position); random access walks the tables.
    bool Sample(size_t n, SampleInfo& out) const;

    size_t ChunkCount() const { return chunkOffsets.size(); }
    // Chunk c (0-based): its offset, first sample and sample count. False when c is out of range
    // or the sample-to-chunk table does not reach it. Chunk c+1 right after chunk c is O(1).
    bool Chunk(size_t c, ChunkInfo& out) const;

private:
    struct SampleCursor {
        size_t sttsEntry = 0; uint64_t sttsFirstSample = 0; uint64_t sttsFirstTime = 0;
        size_t stscEntry = 0; uint64_t stscFirstSample = 0;
        bool haveLast = false; size_t lastSample = 0; uint32_t lastChunk = 0; uint64_t lastOffset = 0;
        size_t cttsEntry = 0; uint64_t cttsFirstSample = 0;
    };
    struct ChunkCursor { size_t stscEntry = 0; uint64_t chunk = 0; uint64_t firstSample = 0; };
    mutable SampleCursor cursor_;
    mutable ChunkCursor chunkCursor_;
};

struct Movie {
    uint32_t timeScale = 0;  // units per second, never 0 for a movie that was read
    uint64_t duration = 0;   // in timeScale units (presentation duration where edit lists give one)
    // Natural box in pixels: the largest width and the largest height among the enabled video
    // tracks' tkhd dimensions, rounded (0,0 when there is none). Track matrices are not applied.
    int32_t naturalWidth = 0, naturalHeight = 0;
    std::vector<Track> tracks;  // one per 'trak', in file order
    bool fragmented = false;    // 'mvex' present: samples live in movie fragments (not read)
    uint64_t moovOffset = 0, moovSize = 0;  // the 'moov' atom, header included
    uint32_t topLevelAtoms = 0;             // top-level atom headers read
    uint64_t bytesRead = 0;  // bytes the reader took from the source
};

// Reads the movie structure: the top-level atom headers and the 'moov', never the media data.
// Duration: the movie header's, unless some track has an edit list; then the longest track
// presentation (edit-list sum, or tkhd duration for a track without one), as QuickTime derives it.
// On failure `out` is left in an unspecified but valid state.
ReadResult ReadMovie(ByteSource& source, Movie& out);
// Track `wanted` when it is of that kind, or with -1 the first enabled track of the kind that has
// samples (else the first of the kind that has samples); -1 when there is none.
int FindTrack(const Movie& movie, TrackKind kind, int wanted = -1);
ReadResult ReadMovieFile(const std::string& path, Movie& out);

// The DecoderSpecificInfo of an 'esds' body, and its object type; false when the descriptors do not
// hold one within their bounds.
bool ParseEsds(const std::vector<uint8_t>& esds, uint8_t& objectType, std::vector<uint8_t>& info);

// The first top-level 'mdat' atom, as the headers before it lead to it. Its size field is reported,
// not trusted: a recording cut off by power loss leaves 0, a preallocated size or garbage there.
struct MediaData {
    uint64_t headerOffset = 0;  // the atom's first byte
    uint64_t dataOffset = 0;    // its first media byte, after an 8- or 16-byte header
    uint64_t declaredSize = 0;  // the header's size, header included (0: to the end of the file)
    uint64_t bytesPresent = 0;  // media bytes the file holds from dataOffset, to the atom's end or the file's
    bool sizeFits = false;      // the declared size ends within the file
};
// False when the top-level walk meets no 'mdat' (or cannot read the file).
bool FindMediaData(ByteSource& source, MediaData& out);

inline constexpr uint32_t FourCC(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
           uint32_t(uint8_t(s[3]));
}

}  // namespace movie
