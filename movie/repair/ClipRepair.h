// Brings back a recording cut off before its movie header was written: finds its media, checks a
// template fits it, walks it and writes a new clip. Portable; the command around it is
// RunClipRepair (RepairCommand.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "movie/container/MovieReader.h"
#include "movie/repair/template/TemplateLayout.h"
#include "movie/repair/write/InputFile.h"
#include "movie/repair/write/RecoveredMedia.h"
#include "movie/repair/write/RepairedMovieWriter.h"

namespace movie::repair {

enum class ClipState {
    Healthy,     // it reads as a movie
    CutOff,      // no usable movie header, but media data: what cliprepair repairs
    Unreadable,  // it cannot be opened, or holds neither
};

// What the file at `path` is; for a cut-off file, where its media lies (`start`, `end`).
ClipState InspectClip(const std::string& path, uint64_t* start = nullptr, uint64_t* end = nullptr);
// The media's extent in a file with an 'mdat': from its first byte to where its size says, when
// what follows is an atom, else to the end of the file (a recorder cut off leaves 0, a
// preallocated size or garbage in the size field).
bool MediaExtent(ByteSource& file, uint64_t& start, uint64_t& end);

// Whether the damaged media fits the template, judged from its first megabytes: "" when it does,
// else why not, naming what differs (codec, frame size, sound format).
std::string CheckFit(const TemplateLayout& layout, ByteSource& damaged, uint64_t start, uint64_t end);

enum class RepairOutcome { Repaired, NothingRecoverable, WriteFailed };

struct RepairReport {
    RecoveredMedia media;  // what the walk found (its index, and bytes as media, cut off, skipped)
    std::vector<RecoveredTrack> tracks;
    std::string message;   // why, when not repaired
};

// How far a repair is: `done` of the media's `total` bytes walked and copied. Called often, from
// the repairing thread.
using RepairProgressSink = std::function<void(uint64_t done, uint64_t total)>;

// Walks the damaged file's media with the template and writes the new clip to `outputPath`
// (which must not exist). The damaged file is only read.
RepairOutcome RepairClip(const std::string& damagedPath, const TemplateLayout& layout, const std::string& outputPath,
                         RepairReport& report, const RepairProgressSink& progress = nullptr);

// An upper bound of the size of the clip RepairClip writes from the media [start, end) of the
// damaged clip `damaged` with `layout`: the media up to where its recorded bytes end (not the
// zeros a preallocated file holds after them), its movie header (as large for its media as the
// template's is for its own) and the silence it may add. Known before anything is written.
uint64_t RepairedSizeBound(const TemplateLayout& layout, ByteSource& damaged, uint64_t start, uint64_t end);

}  // namespace movie::repair
