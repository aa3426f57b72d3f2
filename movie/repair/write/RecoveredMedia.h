// What a walk over a damaged file's media found: an index of the samples it recovered, each at its
// own time in the recording (one entry per video sample and per sound chunk, plus one size per AAC
// frame), the stretches where media was lost and what was lost there, the recording's start
// timecode where the media tells it, and what it made of the rest of the bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace movie::repair {

struct RecoveredVideoSample {
    uint64_t offset = 0;
    uint32_t size = 0;
    bool key = true;
    // When it is shown: the presentation time in the video track's media units, counted from the
    // recording's first frame shown (0). Samples come in decode (file) order; times may jump over
    // frames that were lost, and the frame before such a hole is held.
    int64_t time = 0;
};

struct RecoveredSoundChunk {
    uint64_t offset = 0;
    uint32_t bytes = 0;
    uint32_t samples = 0;     // entries of the sample table
    uint32_t firstFrame = 0;  // AAC: index of its first frame in frameSizes
    int track = 0;            // which of the template's sound tracks (an index of its Sounds())
    // When its first sample plays: the decode time in the track's media units, counted from the
    // recording's first sound sample (0). A track's chunks come in time order; where the time
    // jumps, sound was lost and the repaired clip holds silence of that length.
    int64_t time = 0;
};

// A stretch of the file where media was lost: zeros, bytes that fit no track, a damaged sample.
struct DamagedStretch {
    uint64_t offset = 0, bytes = 0;  // in the damaged file
    double time = 0;                 // where in the recording it begins, in seconds
    uint64_t framesLost = 0;         // video frames lost there, and those left out after it because
                                     // they depend on lost data (up to the next key frame)
    double soundLost = 0;            // seconds of sound lost there (silence in the repaired clip)
    bool estimated = false;          // the time lost follows from the byte rate, not from the media
};

// The recording's start timecode, as the media tells it.
struct RecoveredTimecode {
    bool found = false;
    int64_t frameNumber = 0;  // the timecode track's sample value (frames counted as its layout counts)
    std::string source;       // "DV subcode" or "the recorder's timecode sample"
};

struct RecoveredMedia {
    std::vector<RecoveredVideoSample> video;
    std::vector<RecoveredSoundChunk> sound;
    std::vector<uint32_t> frameSizes;  // AAC: each frame's bytes, in order (all sound tracks)
    std::vector<DamagedStretch> damage;
    RecoveredTimecode timecode;
    uint64_t dataStart = 0, dataEnd = 0;  // the stretch walked
    uint64_t mediaBytes = 0;    // in recovered samples
    uint64_t cutOffBytes = 0;   // of the last sample, cut off by the end of the data
    uint64_t skippedBytes = 0;  // zeros and bytes that fit no track
    uint32_t skippedStretches = 0;
    // What the bitstream said, for checking the template: the first video sample's picture size.
    uint32_t videoWidth = 0, videoHeight = 0;
};

}  // namespace movie::repair
