// Sound that decodes to silence, in a template's sound format: what the repaired clip holds where
// sound was lost, so that the sound after it plays at its own time.
#pragma once

#include <cstdint>
#include <vector>

#include "movie/container/MovieReader.h"
#include "movie/repair/template/TemplateLayout.h"

namespace movie::repair {

// One raw AAC frame (no ADTS header) that decodes to silence for the stream the AudioSpecificConfig
// describes: each channel element of its channel configuration (1 to 7) with no spectral bands,
// then the end element. Empty when the configuration is not one this can build for (an object type
// other than Main, LC or LTP, as the core of SBR or PS too, or channels given by a program
// configuration).
std::vector<uint8_t> SilentAacFrame(const std::vector<uint8_t>& audioSpecificConfig);

// `units` of the constant-size format of `layout` (PCM or IMA4; `track` is its template track) as
// silence: zero samples, 0x80 for unsigned 8-bit, the codes of zero for A-law and mu-law, and IMA4
// packets that start at 0 and never step. Empty for other formats.
std::vector<uint8_t> SilentUnits(const SoundLayout& layout, const Track& track, uint64_t units);

// Silence for an AAC track: its frame, from the track's 'esds'; empty when none can be built.
std::vector<uint8_t> SilentAacFrameOf(const SoundLayout& layout);

}  // namespace movie::repair
