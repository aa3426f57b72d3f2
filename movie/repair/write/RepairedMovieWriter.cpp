#include "movie/repair/write/RepairedMovieWriter.h"

#include <algorithm>
#include <limits>

#include "movie/repair/write/AtomBuffer.h"

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
// times and the duration (time scale; or track id and a reserved word).
void PutTimedHeader(AtomBuffer& out, const Child& c, int idFields, uint64_t duration) {
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
    out.Put(b + p, 4 * size_t(idFields));
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

}  // namespace

RepairedMovieWriter::RepairedMovieWriter(const TemplateLayout& layout, const RecoveredMedia& media)
    : layout_(layout), media_(media) {
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
    BuildSound();
}

void RepairedMovieWriter::BuildVideo() {
    const VideoLayout& l = layout_.Video();
    if (l.track < 0 || media_.video.empty()) return;
    const std::vector<RecoveredVideoSample>& in = media_.video;
    Table t;
    t.track = l.track;
    t.video = true;
    t.delta = std::max<uint32_t>(1, l.delta);
    t.sampleCount = in.size();
    bool alike = true, allKeys = true;
    for (size_t i = 0; i < in.size(); ++i) {
        alike = alike && in[i].size == in[0].size;
        allKeys = allKeys && in[i].key;
        const bool continues = i > 0 && in[i - 1].offset + in[i - 1].size == in[i].offset;
        if (continues) ++t.chunks.back().second;
        else t.chunks.push_back({in[i].offset, 1});
    }
    if (alike) t.sizes = {in[0].size};
    else
        for (const RecoveredVideoSample& r : in) t.sizes.push_back(r.size);
    if (!allKeys)
        for (size_t i = 0; i < in.size(); ++i)
            if (in[i].key) t.keys.push_back(uint32_t(i + 1));

    // Presentation order: epoch after epoch, and within one by the stream's picture order.
    std::vector<size_t> byOrder(in.size());
    for (size_t i = 0; i < in.size(); ++i) byOrder[i] = i;
    std::stable_sort(byOrder.begin(), byOrder.end(), [&in](size_t a, size_t b) { return in[a].time < in[b].time; });
    int64_t delay = 0;
    std::vector<int64_t> shown(in.size());
    for (size_t rank = 0; rank < byOrder.size(); ++rank) {
        shown[byOrder[rank]] = int64_t(rank);
        delay = std::max(delay, int64_t(byOrder[rank]) - int64_t(rank));
    }
    bool reordered = false;
    for (size_t i = 0; i < in.size(); ++i) reordered = reordered || shown[i] != int64_t(i);
    if (reordered) {
        for (size_t i = 0; i < in.size(); ++i)
            t.composition.push_back(int32_t((shown[i] - int64_t(i) + delay) * int64_t(t.delta)));
    }
    t.mediaDuration = uint64_t(in.size()) * t.delta;
    const EditShape e = layout_.Edits(l.track);
    if (reordered && delay > 0) {
        // The first frame presented starts the track, as the template's edit did for its own delay.
        t.edit = true;
        t.editMediaTime = delay * int64_t(t.delta);
        t.editShifts = true;
    } else if (e.present && !l.hasCompositionOffsets && uint64_t(e.mediaTime) < t.mediaDuration) {
        t.edit = true;
        t.editMediaTime = e.mediaTime;
    }
    tables_.push_back(std::move(t));
    tracks_.push_back({TrackKind::Video, l.codec, in.size(), tables_.back().mediaDuration,
                       double(tables_.back().mediaDuration) / std::max<uint32_t>(1, l.timeScale)});
}

void RepairedMovieWriter::BuildSound() {
    const SoundLayout& l = layout_.Sound();
    if (l.track < 0 || media_.sound.empty()) return;
    Table t;
    t.track = l.track;
    t.delta = std::max<uint32_t>(1, l.delta);
    for (const RecoveredSoundChunk& c : media_.sound) {
        t.chunks.push_back({c.offset, c.samples});
        t.sampleCount += c.samples;
    }
    if (l.family == SoundFamily::Aac) t.sizes = media_.frameSizes;
    else t.sizes = {l.sampleSize ? l.sampleSize : l.unitBytes / std::max<uint32_t>(1, l.samplesPerUnit)};
    t.mediaDuration = t.sampleCount * t.delta;
    const EditShape e = layout_.Edits(l.track);
    if (e.present && uint64_t(e.mediaTime) < t.mediaDuration) {
        t.edit = true;
        t.editMediaTime = e.mediaTime;
    }
    tables_.push_back(std::move(t));
    const uint64_t duration = tables_.back().mediaDuration;
    const uint64_t frames = l.rate && l.timeScale != l.rate ? Rescale(duration, l.rate, l.timeScale) : duration;
    tracks_.push_back({TrackKind::Sound, l.codec, frames, duration, double(duration) / std::max<uint32_t>(1, l.timeScale)});
}

uint64_t RepairedMovieWriter::NewOffset(uint64_t sourceOffset) const {
    auto r = std::upper_bound(ranges_.begin(), ranges_.end(), sourceOffset,
                              [](uint64_t o, const Range& range) { return o < range.source; });
    if (r == ranges_.begin()) return 0;
    --r;
    return r->payload + (sourceOffset - r->source);
}

uint64_t RepairedMovieWriter::TrackDuration(const Table& t) const {
    const Track& track = layout_.Template().tracks[size_t(t.track)];
    // Composition offsets end the last frame `delay` later than its decode time: all frames show.
    const uint64_t shown = t.edit && !t.editShifts ? t.mediaDuration - uint64_t(t.editMediaTime) : t.mediaDuration;
    return Rescale(shown, layout_.Template().timeScale, track.mediaTimeScale);
}

void RepairedMovieWriter::PutTables(AtomBuffer& out, const Table& t, uint64_t payloadStart, bool wide) const {
    out.BeginFull(FourCC("stts"), 0, 0);
    out.Put32(1);
    out.Put32(uint32_t(t.sampleCount));
    out.Put32(t.delta);
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
        if (runs.empty() || runs.back().second != t.chunks[c].second) runs.push_back({uint32_t(c + 1), t.chunks[c].second});
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
    for (const auto& chunk : t.chunks) {
        const uint64_t o = payloadStart + NewOffset(chunk.first);
        wide ? out.Put64(o) : out.Put32(uint32_t(o));
    }
    out.End();
}

void RepairedMovieWriter::PutTrack(AtomBuffer& out, const uint8_t* trak, size_t size, const Table& t,
                                   uint64_t payloadStart, bool wide) const {
    const Track& track = layout_.Template().tracks[size_t(t.track)];
    out.Begin(FourCC("trak"));
    for (const Child& c : Children(trak, size)) {
        if (c.type == FourCC("tkhd")) {
            PutTimedHeader(out, c, 2, TrackDuration(t));
            if (t.edit) {
                const uint64_t segment = TrackDuration(t);
                const bool wideEdit = segment > std::numeric_limits<uint32_t>::max() ||
                                      t.editMediaTime > std::numeric_limits<int32_t>::max();
                out.Begin(FourCC("edts"));
                out.BeginFull(FourCC("elst"), wideEdit ? 1 : 0, 0);
                out.Put32(1);
                wideEdit ? out.Put64(segment) : out.Put32(uint32_t(segment));
                wideEdit ? out.Put64(uint64_t(t.editMediaTime)) : out.Put32(uint32_t(t.editMediaTime));
                out.Put32(0x10000);
                out.End();
                out.End();
            }
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
                    out.Put(m.atom, m.size);
                }
            }
            out.End();
        } else if (c.type != FourCC("edts") && c.type != FourCC("tref") && c.type != FourCC("udta") &&
                   c.type != FourCC("meta")) {
            out.Put(c.atom, c.size);
        }
    }
    out.End();
}

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
            PutTimedHeader(out, c, 1, longest);
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
    size.Put64(payloadBytes_ + 16);
    return size.Bytes();
}

std::vector<uint8_t> RepairedMovieWriter::MovieHeader(uint64_t payloadStart) const {
    uint64_t lastChunk = 0;
    for (const Table& t : tables_)
        if (!t.chunks.empty()) lastChunk = std::max(lastChunk, NewOffset(t.chunks.back().first));
    return Moov(payloadStart, payloadStart + lastChunk > std::numeric_limits<uint32_t>::max());
}

}  // namespace movie::repair
