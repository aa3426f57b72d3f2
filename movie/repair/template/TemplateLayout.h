// What a repair takes from a healthy clip recorded the same way: each track's sample description,
// time scales, sample durations, key-frame and reordering habits, chunking pattern and headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "movie/container/MovieReader.h"
#include "movie/repair/template/InterleaveWindows.h"

namespace movie::repair {

enum class VideoFamily { None, Dv, Jpeg, Avc, Mpeg4, Unsupported };
enum class SoundFamily { None, Pcm, Ima4, Aac, Unsupported };

struct VideoLayout {
    int track = -1;  // index in the template's movie
    uint32_t codec = 0;
    VideoFamily family = VideoFamily::None;
    uint16_t width = 0, height = 0;  // the sample description's
    uint32_t timeScale = 0;
    uint32_t delta = 0;              // the usual sample duration
    uint32_t dvFrameBytes = 0;       // DV: the frame size of the codec's system
    bool dv625 = false;              // DV: 625/50 rather than 525/60
    uint32_t largestSample = 0;
    uint32_t samplesPerChunk = 1;    // the usual number of video samples in a chunk
    bool hasCompositionOffsets = false;
    std::vector<uint8_t> config;     // avcC or esds body, as stored
};

struct SoundLayout {
    int track = -1;
    uint32_t codec = 0;
    SoundFamily family = SoundFamily::None;
    uint32_t timeScale = 0;
    uint32_t delta = 0;              // media units per sample (1 for PCM, 64 for IMA4 packets, 1024 for AAC)
    uint16_t channels = 0, bits = 0;
    uint32_t rate = 0;
    bool bigEndian = true, isFloat = false;  // PCM
    // Constant-size sound: a unit of `unitFrames` frames in `unitBytes` bytes (all channels), and
    // how many samples of the sample table one unit is.
    uint32_t unitBytes = 0, unitFrames = 0, samplesPerUnit = 0;
    uint32_t sampleSize = 0;         // the sample table's constant size (constant-size sound)
    std::vector<uint32_t> chunkBytes;  // sizes of the template's sound chunks, most frequent first
    // Sample-table entries every chunk holds a whole number of (the recorder's sound buffer, or its
    // chunk): a chunk starts at a multiple of it in the track.
    uint32_t grid = 1;
    uint32_t largestChunk = 0;       // bytes
    double bytesPerSecond = 0;       // of the stored sound
    std::vector<uint8_t> config;     // esds body (AAC)
    // Walked as sound, but not written into the repaired clip: its format could not be told.
    bool leftOut = false;
};

// The template's timecode track ('tmcd'): how its one sample counts frames. The repaired clip gets
// a track of this shape with the recording's own start time, never the template's.
struct TimecodeLayout {
    int track = -1;              // index in the template's movie; -1: none
    uint32_t timeScale = 0;      // the description's time scale and frame duration
    uint32_t frameDuration = 0;
    uint8_t frames = 0;          // frames counted per second (24, 25, 30, ...)
    uint32_t flags = 0;          // 1 drop frame, 2 wraps at 24 hours, 4 negative times, 8 a counter
    uint32_t sampleSize = 4;     // the sample's bytes (a 32-bit frame number; 8 where it is 64-bit)
    // The recorder stores its sample ahead of the first video sample, as the media's first bytes.
    bool sampleAtMediaStart = false;
};

struct EditShape {
    bool present = false;
    int64_t mediaTime = 0;  // the one segment's start, in media units
};

class TemplateLayout {
public:
    // Reads the template's movie; false (and `why`) when it is no healthy clip a repair can follow.
    bool Load(const std::string& path, std::string& why);
    // The same from a movie already read and its header's bytes (tests, fuzzing).
    bool Build(const Movie& movie, std::vector<uint8_t> moovBytes, std::string& why);
    // The same from a movie that describes what the damaged media itself shows, no healthy clip
    // (DvMediaLayout). `soundLeftOut`, when not empty, says why its sound tracks are walked but
    // left out of the repaired clip.
    bool BuildFromMedia(const Movie& movie, std::vector<uint8_t> moovBytes, const std::string& soundLeftOut,
                        std::string& why);

    // Whether the layout was taken from the media rather than from a healthy clip (Path() is then
    // empty), and why its sound is left out ("" when it is kept).
    bool FromMedia() const { return fromMedia_; }
    const std::string& SoundLeftOut() const { return soundLeftOut_; }

    const std::string& Path() const { return path_; }
    const Movie& Template() const { return movie_; }
    const std::vector<uint8_t>& MoovBytes() const { return moov_; }
    const VideoLayout& Video() const { return video_; }
    // The sound tracks with samples, in the template's track order; their chunks follow each other
    // in that order where the recorder interleaves them.
    const std::vector<SoundLayout>& Sounds() const { return sounds_; }
    // The first sound track (a layout with track -1 when there is none).
    const SoundLayout& Sound() const { return sounds_.empty() ? kNoSound : sounds_.front(); }
    const TimecodeLayout& Timecode() const { return timecode_; }
    EditShape Edits(int track) const;
    // Whether the template's sound chunks follow each video chunk, as a device interleaves them.
    bool Interleaved() const { return interleaved_; }
    // The bytes of sound (all tracks) the template stores between one video chunk and the next,
    // each size once, most frequent first; and the longest such run in seconds of sound.
    const std::vector<uint64_t>& RunBytes() const { return runBytes_; }
    double LongestRun() const { return longestRun_; }
    // Whether the template's chunks were written in the order of their start times (see
    // InterleaveWindows): then a damaged clip's sound can be placed by that order too.
    bool InterleavedByTime() const { return byTime_; }
    // Whether the template's media begins with sound rather than video.
    bool StartsWithSound() const { return startsWithSound_; }
    // The offset of a track's times on the clock the recorder interleaved by, in seconds: its edit's
    // start where the recorder ordered chunks by the times it presents, 0 where by decode times.
    double ClockOffset(int track) const { return editedClock_ ? EditSeconds(track) : 0; }
    // Empty windows for the template's sound tracks against its video, at the finest grain the
    // template's own order bears out (its sound buffers, else its chunks).
    InterleaveWindows NewWindows() const { return Windows(byBuffer_); }
    // "DV 625/50 ('dvcp') 720x576", "16-bit big-endian PCM ('twos'), 2 channels, 48000 Hz": for messages.
    std::string VideoText() const;
    std::string SoundText(size_t index = 0) const;

private:
    void MapVideo(const Track& t, int index);
    static SoundLayout MapSound(const Track& t, int index);
    void MeasureChunks();
    InterleaveWindows Windows(bool byBuffer) const;
    double EditSeconds(int track) const;
    void MapTimecode();

    std::string path_;
    bool fromMedia_ = false;
    std::string soundLeftOut_;
    Movie movie_;
    std::vector<uint8_t> moov_;
    static const SoundLayout kNoSound;
    VideoLayout video_;
    std::vector<SoundLayout> sounds_;
    TimecodeLayout timecode_;
    bool interleaved_ = false;
    std::vector<uint64_t> runBytes_;
    double longestRun_ = 0;
    bool byTime_ = false;
    bool startsWithSound_ = false;
    bool byBuffer_ = false;
    bool editedClock_ = true;  // the order holds buffer by buffer (the grid), not only chunk by chunk
};

// A fourcc as four characters, e.g. "dvc ".
std::string CodecName(uint32_t fourcc);

}  // namespace movie::repair
