// What a walk over a damaged file's media found: an index of the samples it recovered (one entry
// per video sample and per sound chunk, plus one size per AAC frame) and what it made of the rest.
#pragma once

#include <cstdint>
#include <vector>

namespace movie::repair {

struct RecoveredVideoSample {
    uint64_t offset = 0;
    uint32_t size = 0;
    bool key = true;
    uint32_t epoch = 0;  // samples of one epoch are presented in `order`, epochs one after another
    int64_t order = 0;
};

struct RecoveredSoundChunk {
    uint64_t offset = 0;
    uint32_t bytes = 0;
    uint32_t samples = 0;     // entries of the sample table
    uint32_t firstFrame = 0;  // AAC: index of its first frame in frameSizes
};

struct RecoveredMedia {
    std::vector<RecoveredVideoSample> video;
    std::vector<RecoveredSoundChunk> sound;
    std::vector<uint32_t> frameSizes;  // AAC: each frame's bytes, in order
    uint64_t dataStart = 0, dataEnd = 0;  // the stretch walked
    uint64_t mediaBytes = 0;    // in recovered samples
    uint64_t cutOffBytes = 0;   // of the last sample, cut off by the end of the data
    uint64_t skippedBytes = 0;  // zeros and bytes that fit no track
    uint32_t skippedStretches = 0;
    // What the bitstream said, for checking the template: the first video sample's picture size.
    uint32_t videoWidth = 0, videoHeight = 0;
};

}  // namespace movie::repair
