#include "movie/repair/write/RepairedMovieWriter.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "movie/container/Timecode.h"
#include "movie/repair/write/AtomBuffer.h"
#include "movie/repair/write/Silence.h"

namespace movie::repair {

namespace {

uint32_t Be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }
uint64_t Be64(const uint8_t* p) { return (uint64_t(Be32(p)) << 32) | Be32(p + 4); }

// Child atoms of a body, as spans; what does not parse as an atom ends the list.
struct Child {
    uint32_t type;
    const uint8_t* atom;  // header included
    size_t size;
    const uint8_t* body;
    size_t bodySize;
};
std::vector<Child> Children(const uint8_t* p, size_t size) {
    std::vector<Child> out;
    size_t pos = 0;
    while (size - pos >= 8) {
        uint64_t atomSize = Be32(p + pos);
        size_t header = 8;
        if (atomSize == 1) {
            if (size - pos < 16) break;
            atomSize = Be64(p + pos + 8);
            header = 16;
        } else if (atomSize == 0) {
            atomSize = size - pos;
        }
        if (atomSize < header || atomSize > size - pos) break;
        out.push_back({Be32(p + pos + 4), p + pos, size_t(atomSize), p + pos + header, size_t(atomSize) - header});
        pos += size_t(atomSize);
    }
    return out;
}

// A movie, track or media header with a new duration, widened to version 1 when the duration or
// the header's own fields need 64 bits. `idFields` is the count of 32-bit fields between the
// times and the duration (time scale; or track id and a reserved word); `scale`, when not 0,
// replaces the first of them (a movie's time scale).
void PutTimedHeader(AtomBuffer& out, const Child& c, int idFields, uint64_t duration, uint32_t scale = 0) {
    const uint8_t* b = c.body;
    const bool wideIn = c.bodySize > 0 && b[0] == 1;
    const size_t timeBytes = wideIn ? 8 : 4;
    const size_t need = 4 + 2 * timeBytes + 4 * size_t(idFields) + timeBytes;
    if (c.bodySize < need || b[0] > 1) {
        out.Put(c.atom, c.size);  // not one we can read: as it was
        return;
    }
    const bool wideOut = wideIn || duration > std::numeric_limits<uint32_t>::max();
    out.BeginFull(c.type, wideOut ? 1 : 0, Be32(b) & 0xFFFFFF);
    size_t p = 4;
    for (int i = 0; i < 2; ++i, p += timeBytes) {
        const uint64_t t = wideIn ? Be64(b + p) : Be32(b + p);
        wideOut ? out.Put64(t) : out.Put32(uint32_t(t));
    }
    if (scale != 0) {
        out.Put32(scale);
        out.Put(b + p + 4, 4 * size_t(idFields - 1));
    } else {
        out.Put(b + p, 4 * size_t(idFields));
    }
    p += 4 * size_t(idFields) + timeBytes;
    wideOut ? out.Put64(duration) : out.Put32(uint32_t(duration));
    out.Put(b + p, c.bodySize - p);
    out.End();
}

// value * to / from, rounded to nearest, without overflow short of the result's own (then the
// largest value): the quotient and the remainder scale apart.
uint64_t Rescale(uint64_t value, uint32_t to, uint32_t from) {
    if (from == 0) return 0;
    uint64_t whole;
    if (__builtin_mul_overflow(value / from, uint64_t(to), &whole)) return std::numeric_limits<uint64_t>::max();
    const uint64_t part = ((value % from) * to + from / 2) / from;  // < 2^64: both factors are below 2^32
    return __builtin_add_overflow(whole, part, &whole) ? std::numeric_limits<uint64_t>::max() : whole;
}

// Whether a track's 'meta' locates items by file offsets ('iloc'), which point into the template.
bool LocatesItems(const Child& meta) {
    // QuickTime's 'meta' holds atoms directly; the ISO one after a version and flags.
    for (size_t skip : {size_t(0), size_t(4)}) {
        if (meta.bodySize < skip) continue;
        for (const Child& c : Children(meta.body + skip, meta.bodySize - skip))
            if (c.type == FourCC("iloc")) return true;
    }
    return false;
}

void AppendRun(std::vector<Track::TimeToSample>& runs, uint32_t delta) {
    if (!runs.empty() && runs.back().delta == delta && runs.back().count < std::numeric_limits<uint32_t>::max())
        ++runs.back().count;
    else
        runs.push_back({1, delta});
}

uint32_t Clamp32(int64_t v) { return uint32_t(std::clamp<int64_t>(v, 0, std::numeric_limits<uint32_t>::max())); }

}  // namespace

RepairedMovieWriter::RepairedMovieWriter(const TemplateLayout& layout, const RecoveredMedia& media)
    : layout_(layout), media_(media), movieScale_(std::max<uint32_t>(1, layout.Template().timeScale)) {
    // The recovered samples in file order, stretches of them back to back copied as one.
    size_t v = 0, s = 0;
    while (v < media.video.size() || s < media.sound.size()) {
        const bool takeVideo = s >= media.sound.size() ||
                               (v < media.video.size() && media.video[v].offset < media.sound[s].offset);
        const uint64_t offset = takeVideo ? media.video[v].offset : media.sound[s].offset;
        const uint64_t bytes = takeVideo ? media.video[v].size : media.sound[s].bytes;
        takeVideo ? ++v : ++s;
        if (!ranges_.empty() && ranges_.back().source + ranges_.back().bytes == offset) ranges_.back().bytes += bytes;
        else ranges_.push_back({offset, bytes, payloadBytes_});
        payloadBytes_ += bytes;
    }
    BuildVideo();
    for (size_t i = 0; i < layout.Sounds().size(); ++i) BuildSound(i);
    BuildTimecode();
    // The movie's order is the template's.
    std::vector<size_t> order(tables_.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [this](size_t a, size_t b) { return tables_[a].track < tables_[b].track; });
    std::vector<Table> tables;
    std::vector<RecoveredTrack> tracks;
    for (size_t i : order) {
        tables.push_back(std::move(tables_[i]));
        tracks.push_back(std::move(tracks_[i]));
    }
    tables_ = std::move(tables);
    tracks_ = std::move(tracks);
}

void RepairedMovieWriter::BuildVideo() {
    const VideoLayout& l = layout_.Video();
    if (l.track < 0 || media_.video.empty()) return;
    const std::vector<RecoveredVideoSample>& in = media_.video;
    const size_t n = in.size();
    Table t;
    t.track = l.track;
    t.kind = TrackKind::Video;
    t.mediaScale = std::max<uint32_t>(1, l.timeScale);
    const int64_t delta = std::max<uint32_t>(1, l.delta);
    t.sampleCount = n;
    bool alike = true, allKeys = true;
    for (size_t i = 0; i < n; ++i) {
        alike = alike && in[i].size == in[0].size;
        allKeys = allKeys && in[i].key;
        const bool continues = i > 0 && in[i - 1].offset + in[i - 1].size == in[i].offset;
        if (continues) ++t.chunks.back().samples;
        else t.chunks.push_back({in[i].offset, 1, false});
    }
    if (alike) t.sizes = {in[0].size};
    else
        for (const RecoveredVideoSample& r : in) t.sizes.push_back(r.size);
    if (!allKeys)
        for (size_t i = 0; i < n; ++i)
            if (in[i].key) t.keys.push_back(uint32_t(i + 1));

    // Each frame is shown at its own time until the next frame's (the frame before a lost one is
    // held), the last one for the usual duration. Two frames are never shown at one time: a
    // later one in presentation order moves on by one unit.
    std::vector<size_t> byTime(n);
    std::iota(byTime.begin(), byTime.end(), size_t(0));
    std::stable_sort(byTime.begin(), byTime.end(), [&in](size_t a, size_t b) { return in[a].time < in[b].time; });
    std::vector<int64_t> shown(n), times(n);
    for (size_t rank = 0; rank < n; ++rank) {
        int64_t time = in[byTime[rank]].time;
        if (rank > 0 && time <= times[rank - 1]) time = times[rank - 1] + 1;
        times[rank] = time;
        shown[byTime[rank]] = time;
    }
    // The i-th sample in decode order decodes at the i-th presentation time, all of them `lead`
    // earlier than they are shown, so that no sample decodes after it is shown.
    int64_t lead = 0;
    for (size_t i = 0; i < n; ++i) lead = std::max(lead, times[i] - shown[i]);
    for (size_t i = 0; i < n; ++i) AppendRun(t.stts, i + 1 < n ? Clamp32(times[i + 1] - times[i]) : uint32_t(delta));
    if (lead > 0)
        for (size_t i = 0; i < n; ++i)
            t.composition.push_back(int32_t(std::min<int64_t>(shown[i] - times[i] + lead, std::numeric_limits<int32_t>::max())));
    for (const Track::TimeToSample& r : t.stts) t.mediaDuration += uint64_t(r.count) * r.delta;
    // The first frame shown starts the track's media; the time before it, when the recording's
    // first frames were lost, shows nothing.
    t.delay = uint64_t(std::max<int64_t>(0, times[0]));
    t.edit = t.delay > 0 || lead > 0;
    t.editMediaTime = lead;
    t.shown = t.mediaDuration;
    // An empty edit the movie's time scale cannot say exactly would move every frame: the video's
    // own time scale can.
    if (t.delay > 0 && t.delay * movieScale_ % t.mediaScale != 0) movieScale_ = t.mediaScale;
    tracks_.push_back({TrackKind::Video, l.codec, l.track, -1, n, t.mediaDuration,
                       double(t.mediaDuration) / t.mediaScale, 0, 0, ""});
    tables_.push_back(std::move(t));
}

void RepairedMovieWriter::BuildSound(size_t index) {
    const SoundLayout& l = layout_.Sounds()[index];
    std::vector<const RecoveredSoundChunk*> chunks;
    for (const RecoveredSoundChunk& c : media_.sound)
        if (c.track == int(index)) chunks.push_back(&c);
    if (l.track < 0 || chunks.empty() || l.leftOut) return;
    const Track& track = layout_.Template().tracks[size_t(l.track)];
    Table t;
    t.track = l.track;
    t.kind = TrackKind::Sound;
    t.mediaScale = std::max<uint32_t>(1, l.timeScale);
    const uint32_t delta = std::max<uint32_t>(1, l.delta);
    const bool aac = l.family == SoundFamily::Aac;
    // Silence comes in units: AAC frames, or the constant-size format's units; `unitTime` media
    // units and `unitSamples` entries of the sample table each.
    const uint64_t unitSamples = aac ? 1 : std::max<uint32_t>(1, l.samplesPerUnit);
    const uint64_t unitTime = unitSamples * delta;
    const std::vector<uint8_t> silentFrame = aac ? SilentAacFrameOf(l) : std::vector<uint8_t>{};
    const bool fills = aac ? !silentFrame.empty() : !SilentUnits(l, track, 1).empty();

    // Where time jumps, sound was lost: silence of that length, rounded to whole units.
    std::vector<uint64_t> gaps(chunks.size(), 0);
    int64_t at = 0;
    uint64_t largestGap = 0, unfilled = 0;
    for (size_t k = 0; k < chunks.size(); ++k) {
        const int64_t time = chunks[k]->time;
        if (time > at && fills) {
            gaps[k] = (uint64_t(time - at) + unitTime / 2) / unitTime;
            largestGap = std::max(largestGap, gaps[k]);
            at += int64_t(gaps[k] * unitTime);
        } else if (time > at) {
            unfilled += uint64_t(time - at);
            at = time;
        }
        at += int64_t(uint64_t(chunks[k]->samples) * delta);
    }
    // One block of silence serves every gap of the track: each gap is chunks of at most a block.
    const uint64_t blockUnits =
        std::min<uint64_t>(largestGap, aac ? 64 : std::max<uint64_t>(1, t.mediaScale / 2 / unitTime));
    uint64_t block = 0;
    if (blockUnits > 0) {
        std::vector<uint8_t> bytes;
        if (aac)
            for (uint64_t i = 0; i < blockUnits; ++i) bytes.insert(bytes.end(), silentFrame.begin(), silentFrame.end());
        else
            bytes = SilentUnits(l, track, blockUnits);
        block = Add(bytes);
    }

    uint64_t silentUnits = 0;
    for (size_t k = 0; k < chunks.size(); ++k) {
        for (uint64_t left = gaps[k]; left > 0;) {
            const uint64_t piece = std::min(left, blockUnits);
            t.chunks.push_back({block, uint32_t(piece * unitSamples), true});
            t.sampleCount += piece * unitSamples;
            if (aac) t.sizes.insert(t.sizes.end(), size_t(piece), uint32_t(silentFrame.size()));
            left -= piece;
            silentUnits += piece;
        }
        const RecoveredSoundChunk& c = *chunks[k];
        t.chunks.push_back({c.offset, c.samples, false});
        t.sampleCount += c.samples;
        if (aac)
            for (uint64_t f = c.firstFrame; f < uint64_t(c.firstFrame) + c.samples; ++f)
                t.sizes.push_back(f < media_.frameSizes.size() ? media_.frameSizes[size_t(f)] : 0);
    }
    if (!aac) t.sizes = {l.sampleSize ? l.sampleSize : l.unitBytes / std::max<uint32_t>(1, l.samplesPerUnit)};
    for (uint64_t left = t.sampleCount; left > 0;) {
        const uint32_t count = uint32_t(std::min<uint64_t>(left, std::numeric_limits<uint32_t>::max()));
        t.stts.push_back({count, delta});
        left -= count;
    }
    t.mediaDuration = t.sampleCount * delta;
    // The template's edit (an AAC encoder's priming left out) applies as it did.
    const EditShape e = layout_.Edits(l.track);
    if (e.present && uint64_t(e.mediaTime) < t.mediaDuration) {
        t.edit = true;
        t.editMediaTime = e.mediaTime;
        t.shown = t.mediaDuration - uint64_t(e.mediaTime);
    }
    const uint64_t frames = l.rate && l.timeScale != l.rate ? Rescale(t.mediaDuration, l.rate, l.timeScale) : t.mediaDuration;
    tracks_.push_back({TrackKind::Sound, l.codec, l.track, int(index), frames, t.mediaDuration,
                       double(t.mediaDuration) / t.mediaScale, double(silentUnits * unitTime) / t.mediaScale,
                       double(unfilled) / t.mediaScale, ""});
    tables_.push_back(std::move(t));
}

void RepairedMovieWriter::BuildTimecode() {
    const TimecodeLayout& tc = layout_.Timecode();
    if (tc.track < 0 || !media_.timecode.found || tables_.empty()) return;
    const Track& track = layout_.Template().tracks[size_t(tc.track)];
    Table t;
    t.track = tc.track;
    t.kind = TrackKind::Other;
    t.mediaScale = std::max<uint32_t>(1, track.mediaTimeScale);
    // One sample, the recording's start as a big-endian frame number, lasting as long as the movie.
    const uint32_t size = tc.sampleSize == 8 ? 8 : 4;
    std::vector<uint8_t> sample(size);
    for (uint32_t i = 0; i < size; ++i) sample[i] = uint8_t(uint64_t(media_.timecode.frameNumber) >> (8 * (size - 1 - i)));
    t.chunks.push_back({Add(sample), 1, true});
    t.sizes = {size};
    t.sampleCount = 1;
    uint64_t longest = 0;
    for (const Table& other : tables_) longest = std::max(longest, TrackDuration(other));
    t.mediaDuration = std::clamp<uint64_t>(Rescale(longest, t.mediaScale, movieScale_), 1, std::numeric_limits<uint32_t>::max());
    t.stts.push_back({1, uint32_t(t.mediaDuration)});
    timecodeId_ = track.id;
    tracks_.push_back({TrackKind::Other, track.codec, tc.track, -1, 1, t.mediaDuration,
                       double(t.mediaDuration) / t.mediaScale, 0, 0,
                       TimecodeText(media_.timecode.frameNumber, TimecodeFormat::FromFlags(tc.flags, tc.frames))});
    tables_.push_back(std::move(t));
}

uint64_t RepairedMovieWriter::Add(const std::vector<uint8_t>& bytes) {
    for (const auto& [offset, size] : addedBlocks_)
        if (size == bytes.size() && std::equal(bytes.begin(), bytes.end(), added_.begin() + long(offset))) return offset;
    const uint64_t offset = added_.size();
    added_.insert(added_.end(), bytes.begin(), bytes.end());
    addedBlocks_.push_back({offset, bytes.size()});
    return offset;
}

uint64_t RepairedMovieWriter::NewOffset(const Chunk& c, uint64_t payloadStart) const {
    if (c.added) return payloadStart + payloadBytes_ + c.offset;
    auto r = std::upper_bound(ranges_.begin(), ranges_.end(), c.offset,
                              [](uint64_t o, const Range& range) { return o < range.source; });
    if (r == ranges_.begin()) return payloadStart;
    --r;
    return payloadStart + r->payload + (c.offset - r->source);
}

uint64_t RepairedMovieWriter::ToMovie(uint64_t mediaTime, const Table& t) const {
    return Rescale(mediaTime, movieScale_, t.mediaScale);
}

uint64_t RepairedMovieWriter::TrackDuration(const Table& t) const {
    return ToMovie(t.delay, t) + ToMovie(t.edit ? t.shown : t.mediaDuration, t);
}

bool RepairedMovieWriter::Written(uint32_t trackId) const {
    for (const Table& t : tables_)
        if (layout_.Template().tracks[size_t(t.track)].id == trackId) return true;
    return false;
}

void RepairedMovieWriter::PutTables(AtomBuffer& out, const Table& t, uint64_t payloadStart, bool wide) const {
    out.BeginFull(FourCC("stts"), 0, 0);
    out.Put32(uint32_t(t.stts.size()));
    for (const Track::TimeToSample& r : t.stts) {
        out.Put32(r.count);
        out.Put32(r.delta);
    }
    out.End();
    if (!t.composition.empty()) {
        std::vector<std::pair<uint32_t, int32_t>> runs;
        for (int32_t c : t.composition) {
            if (!runs.empty() && runs.back().second == c) ++runs.back().first;
            else runs.push_back({1, c});
        }
        out.BeginFull(FourCC("ctts"), 0, 0);
        out.Put32(uint32_t(runs.size()));
        for (const auto& [count, offset] : runs) {
            out.Put32(count);
            out.Put32(uint32_t(offset));
        }
        out.End();
    }
    if (!t.keys.empty()) {
        out.BeginFull(FourCC("stss"), 0, 0);
        out.Put32(uint32_t(t.keys.size()));
        for (uint32_t k : t.keys) out.Put32(k);
        out.End();
    }
    std::vector<std::pair<uint32_t, uint32_t>> runs;  // first chunk (1-based), samples per chunk
    for (size_t c = 0; c < t.chunks.size(); ++c)
        if (runs.empty() || runs.back().second != t.chunks[c].samples) runs.push_back({uint32_t(c + 1), t.chunks[c].samples});
    out.BeginFull(FourCC("stsc"), 0, 0);
    out.Put32(uint32_t(runs.size()));
    for (const auto& [first, samples] : runs) {
        out.Put32(first);
        out.Put32(samples);
        out.Put32(1);
    }
    out.End();
    out.BeginFull(FourCC("stsz"), 0, 0);
    if (t.sizes.size() == 1) {
        out.Put32(t.sizes[0]);
        out.Put32(uint32_t(t.sampleCount));
    } else {
        out.Put32(0);
        out.Put32(uint32_t(t.sizes.size()));
        for (uint32_t s : t.sizes) out.Put32(s);
    }
    out.End();
    out.BeginFull(wide ? FourCC("co64") : FourCC("stco"), 0, 0);
    out.Put32(uint32_t(t.chunks.size()));
    for (const Chunk& chunk : t.chunks) {
        const uint64_t o = NewOffset(chunk, payloadStart);
        wide ? out.Put64(o) : out.Put32(uint32_t(o));
    }
    out.End();
}

void RepairedMovieWriter::PutEdits(AtomBuffer& out, const Table& t) const {
    if (!t.edit && t.delay == 0) return;
    struct Entry { uint64_t duration; int64_t mediaTime; };
    std::vector<Entry> entries;
    if (t.delay > 0) entries.push_back({ToMovie(t.delay, t), -1});
    entries.push_back({ToMovie(t.edit ? t.shown : t.mediaDuration, t), t.edit ? t.editMediaTime : 0});
    bool wideEdit = false;
    for (const Entry& e : entries)
        wideEdit = wideEdit || e.duration > std::numeric_limits<uint32_t>::max() ||
                   e.mediaTime > std::numeric_limits<int32_t>::max();
    out.Begin(FourCC("edts"));
    out.BeginFull(FourCC("elst"), wideEdit ? 1 : 0, 0);
    out.Put32(uint32_t(entries.size()));
    for (const Entry& e : entries) {
        wideEdit ? out.Put64(e.duration) : out.Put32(uint32_t(e.duration));
        wideEdit ? out.Put64(uint64_t(e.mediaTime)) : out.Put32(uint32_t(e.mediaTime));
        out.Put32(0x10000);
    }
    out.End();
    out.End();
}

// The template's track references to tracks that are written, and the video's to its timecode.
void RepairedMovieWriter::PutReferences(AtomBuffer& out, const uint8_t* tref, size_t size, const Table& t) const {
    std::vector<std::pair<uint32_t, std::vector<uint32_t>>> kept;
    if (tref) {
        for (const Child& c : Children(tref, size)) {
            std::vector<uint32_t> ids;
            for (size_t i = 0; i + 4 <= c.bodySize; i += 4)
                if (Written(Be32(c.body + i))) ids.push_back(Be32(c.body + i));
            if (!ids.empty()) kept.push_back({c.type, ids});
        }
    }
    const bool refersToTimecode =
        std::any_of(kept.begin(), kept.end(), [](const auto& k) { return k.first == FourCC("tmcd"); });
    if (t.kind == TrackKind::Video && timecodeId_ != 0 && !refersToTimecode) kept.push_back({FourCC("tmcd"), {timecodeId_}});
    if (kept.empty()) return;
    out.Begin(FourCC("tref"));
    for (const auto& [type, ids] : kept) {
        out.Begin(type);
        for (uint32_t id : ids) out.Put32(id);
        out.End();
    }
    out.End();
}

void RepairedMovieWriter::PutTrack(AtomBuffer& out, const uint8_t* trak, size_t size, const Table& t,
                                   uint64_t payloadStart, bool wide) const {
    const Track& track = layout_.Template().tracks[size_t(t.track)];
    const std::vector<Child> children = Children(trak, size);
    const Child* tref = nullptr;
    for (const Child& c : children)
        if (c.type == FourCC("tref")) tref = &c;
    out.Begin(FourCC("trak"));
    for (const Child& c : children) {
        if (c.type == FourCC("tkhd")) {
            PutTimedHeader(out, c, 2, TrackDuration(t));
            PutEdits(out, t);
            PutReferences(out, tref ? tref->body : nullptr, tref ? tref->bodySize : 0, t);
        } else if (c.type == FourCC("mdia")) {
            out.Begin(FourCC("mdia"));
            for (const Child& m : Children(c.body, c.bodySize)) {
                if (m.type == FourCC("mdhd")) {
                    PutTimedHeader(out, m, 1, t.mediaDuration);
                } else if (m.type == FourCC("minf")) {
                    out.Begin(FourCC("minf"));
                    for (const Child& i : Children(m.body, m.bodySize)) {
                        if (i.type == FourCC("stbl")) {
                            out.Begin(FourCC("stbl"));
                            for (const Child& s : Children(i.body, i.bodySize))
                                if (s.type == FourCC("stsd")) out.Put(s.atom, s.size);
                            PutTables(out, t, payloadStart, wide);
                            out.End();
                        } else if (i.type == FourCC("dinf") && !track.selfContained) {
                            // The media is in this file now, whatever the template referred to.
                            out.Begin(FourCC("dinf"));
                            out.BeginFull(FourCC("dref"), 0, 0);
                            out.Put32(1);
                            out.BeginFull(FourCC("url "), 0, 1);
                            out.End();
                            out.End();
                            out.End();
                        } else {
                            out.Put(i.atom, i.size);
                        }
                    }
                    out.End();
                } else {
                    out.Put(m.atom, m.size);  // the handler with its name, and the rest
                }
            }
            out.End();
        } else if (c.type == FourCC("meta") && LocatesItems(c)) {
            // Items at the template's file offsets are not in this file.
        } else if (c.type != FourCC("edts") && c.type != FourCC("tref")) {
            out.Put(c.atom, c.size);  // the track's user data (its name) included
        }
    }
    out.End();
}

// The movie's own user data and metadata are left out: they tell of the template's recording
// (its date, place, title), not of this one.
std::vector<uint8_t> RepairedMovieWriter::Moov(uint64_t payloadStart, bool wide) const {
    const std::vector<uint8_t>& moov = layout_.MoovBytes();
    std::vector<Child> top = Children(moov.data(), moov.size());
    AtomBuffer out;
    if (top.empty()) return {};
    uint64_t longest = 0;
    for (const Table& t : tables_) longest = std::max(longest, TrackDuration(t));
    out.Begin(FourCC("moov"));
    size_t trackIndex = 0;
    for (const Child& c : Children(top[0].body, top[0].bodySize)) {
        if (c.type == FourCC("mvhd")) {
            PutTimedHeader(out, c, 1, longest, movieScale_);
        } else if (c.type == FourCC("trak")) {
            for (const Table& t : tables_)
                if (size_t(t.track) == trackIndex) PutTrack(out, c.body, c.bodySize, t, payloadStart, wide);
            ++trackIndex;
        }
    }
    out.End();
    return out.Bytes();
}

std::vector<uint8_t> RepairedMovieWriter::FileStart(uint64_t sourceStart) {
    constexpr uint64_t kPage = 4096;
    constexpr uint64_t kFtyp = 20, kMdatHeader = 16;
    uint64_t padding = (sourceStart - (kFtyp + kMdatHeader)) % kPage;
    if (padding > 0 && padding < 8) padding += kPage;  // an atom has 8 bytes at least
    AtomBuffer start;
    start.Begin(FourCC("ftyp"));
    start.Put32(FourCC("qt  "));
    start.Put32(0x20050300);
    start.Put32(FourCC("qt  "));
    start.End();
    if (padding > 0) {
        start.Begin(FourCC("free"));
        start.Put(std::vector<uint8_t>(padding - 8).data(), padding - 8);
        start.End();
    }
    start.Put32(1);
    start.Put32(FourCC("mdat"));
    start.Put64(kMdatHeader);  // no media yet
    return start.Bytes();
}

std::vector<uint8_t> RepairedMovieWriter::MediaSize() const {
    AtomBuffer size;
    size.Put64(payloadBytes_ + added_.size() + 16);
    return size.Bytes();
}

std::vector<uint8_t> RepairedMovieWriter::MovieHeader(uint64_t payloadStart) const {
    uint64_t last = 0;
    for (const Table& t : tables_)
        for (const Chunk& c : t.chunks) last = std::max(last, NewOffset(c, payloadStart));
    return Moov(payloadStart, last > std::numeric_limits<uint32_t>::max());
}

}  // namespace movie::repair
