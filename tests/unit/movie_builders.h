// In-memory builders for movie files, one function per atom, so each test states exactly the
// bytes it means.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "movie/container/MovieReader.h"

namespace moviebuild {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& to, const Bytes& b) { to.insert(to.end(), b.begin(), b.end()); }
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes r;
    for (const Bytes& p : parts) Append(r, p);
    return r;
}
inline Bytes U8(uint8_t v) { return {v}; }
inline Bytes U16(uint16_t v) { return {uint8_t(v >> 8), uint8_t(v)}; }
inline Bytes U32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }
inline Bytes U64(uint64_t v) { return Cat({U32(uint32_t(v >> 32)), U32(uint32_t(v))}); }
inline Bytes Type(const char* t) { return Bytes(t, t + 4); }
inline Bytes Zeros(size_t n) { return Bytes(n, 0); }

inline Bytes MakeAtom(const char* type, const Bytes& body) {
    return Cat({U32(uint32_t(body.size() + 8)), Type(type), body});
}
// The same with the 64-bit size form (size field 1).
inline Bytes MakeAtom64(const char* type, const Bytes& body) {
    return Cat({U32(1), Type(type), U64(body.size() + 16), body});
}
inline Bytes MakeFullAtom(const char* type, uint8_t version, uint32_t flags, const Bytes& body) {
    return MakeAtom(type, Cat({U32((uint32_t(version) << 24) | flags), body}));
}

inline Bytes Matrix() {
    return Cat({U32(0x10000), U32(0), U32(0), U32(0), U32(0x10000), U32(0), U32(0), U32(0), U32(0x40000000)});
}

inline Bytes Mvhd(uint8_t version, uint32_t scale, uint64_t duration) {
    Bytes times = version == 1 ? Cat({U64(0), U64(0), U32(scale), U64(duration)})
                               : Cat({U32(0), U32(0), U32(scale), U32(uint32_t(duration))});
    return MakeFullAtom("mvhd", version, 0,
                        Cat({times, U32(0x10000), U16(0x100), Zeros(10), Matrix(), Zeros(24), U32(2)}));
}

inline Bytes Tkhd(uint8_t version, uint32_t id, uint64_t duration, uint32_t width16, uint32_t height16,
                  uint32_t flags = 0xF) {
    Bytes times = version == 1 ? Cat({U64(0), U64(0), U32(id), U32(0), U64(duration)})
                               : Cat({U32(0), U32(0), U32(id), U32(0), U32(uint32_t(duration))});
    return MakeFullAtom("tkhd", version, flags, Cat({times, Zeros(16), Matrix(), U32(width16), U32(height16)}));
}

inline Bytes Mdhd(uint8_t version, uint32_t scale, uint64_t duration) {
    Bytes times = version == 1 ? Cat({U64(0), U64(0), U32(scale), U64(duration)})
                               : Cat({U32(0), U32(0), U32(scale), U32(uint32_t(duration))});
    return MakeFullAtom("mdhd", version, 0, Cat({times, U16(0), U16(0)}));
}

inline Bytes Hdlr(const char* handler) {
    return MakeFullAtom("hdlr", 0, 0, Cat({Type("mhlr"), Type(handler), Zeros(12), U8(0)}));
}

inline Bytes VideoEntry(const char* codec, uint16_t w, uint16_t h, const Bytes& extensions = {}) {
    return MakeAtom(codec, Cat({Zeros(6), U16(1), Zeros(16), U16(w), U16(h), U32(0x480000), U32(0x480000),
                                U32(0), U16(1), Zeros(32), U16(24), U16(0xFFFF), extensions}));
}

// Sound description, version 0 or 1 (the later adds four 32-bit fields).
inline Bytes SoundEntry(const char* codec, uint16_t version, uint16_t channels, uint16_t bits, uint32_t rate,
                        const Bytes& extensions = {}) {
    Bytes v1 = version == 1 ? Cat({U32(1024), U32(0), U32(4), U32(2)}) : Bytes{};
    return MakeAtom(codec, Cat({Zeros(6), U16(1), U16(version), U16(0), U32(0), U16(channels), U16(bits), U16(0),
                                U16(0), U32(rate << 16), v1, extensions}));
}

// Timecode description: flags, the count's time scale, frame duration and frames a second.
inline Bytes TimecodeEntry(uint32_t flags, uint32_t scale, uint32_t frameDuration, uint8_t frames,
                           const Bytes& extensions = {}) {
    return MakeAtom("tmcd", Cat({Zeros(6), U16(1), U32(0), U32(flags), U32(scale), U32(frameDuration), U8(frames), U8(0),
                                 extensions}));
}

inline Bytes Stsd(const Bytes& entry) { return MakeFullAtom("stsd", 0, 0, Cat({U32(1), entry})); }

struct Run { uint32_t count, delta; };
inline Bytes Stts(std::initializer_list<Run> runs) {
    Bytes b = U32(uint32_t(runs.size()));
    for (const Run& r : runs) Append(b, Cat({U32(r.count), U32(r.delta)}));
    return MakeFullAtom("stts", 0, 0, b);
}
struct ChunkRun { uint32_t firstChunk, samplesPerChunk; };
inline Bytes Stsc(std::initializer_list<ChunkRun> runs) {
    Bytes b = U32(uint32_t(runs.size()));
    for (const ChunkRun& r : runs) Append(b, Cat({U32(r.firstChunk), U32(r.samplesPerChunk), U32(1)}));
    return MakeFullAtom("stsc", 0, 0, b);
}
inline Bytes Stsz(uint32_t uniform, const std::vector<uint32_t>& sizes, uint32_t count) {
    Bytes b = Cat({U32(uniform), U32(count)});
    for (uint32_t s : sizes) Append(b, U32(s));
    return MakeFullAtom("stsz", 0, 0, b);
}
inline Bytes Stco(const std::vector<uint64_t>& offsets, bool wide) {
    Bytes b = U32(uint32_t(offsets.size()));
    for (uint64_t o : offsets) Append(b, wide ? U64(o) : U32(uint32_t(o)));
    return MakeFullAtom(wide ? "co64" : "stco", 0, 0, b);
}
inline Bytes Stss(const std::vector<uint32_t>& keys) {
    Bytes b = U32(uint32_t(keys.size()));
    for (uint32_t k : keys) Append(b, U32(k));
    return MakeFullAtom("stss", 0, 0, b);
}
struct EditEntry { uint64_t duration; int64_t mediaTime; };
inline Bytes Edts(uint8_t version, std::initializer_list<EditEntry> edits) {
    Bytes b = U32(uint32_t(edits.size()));
    for (const EditEntry& e : edits)
        Append(b, version == 1 ? Cat({U64(e.duration), U64(uint64_t(e.mediaTime)), U32(0x10000)})
                               : Cat({U32(uint32_t(e.duration)), U32(uint32_t(e.mediaTime)), U32(0x10000)}));
    return MakeAtom("edts", MakeFullAtom("elst", version, 0, b));
}

// A whole track: one sample per chunk unless samplesPerChunk says otherwise; each sample's bytes
// are filled with its index so copies can be told apart.
struct TrackLayout {
    const char* handler = "vide";
    Bytes sampleEntry = VideoEntry("jpeg", 160, 120);
    uint32_t mediaScale = 600;
    uint32_t delta = 60;
    std::vector<uint32_t> sampleSizes = {100, 50, 75, 20};
    uint32_t samplesPerChunk = 1;
    uint32_t width16 = 160u << 16, height16 = 120u << 16;
    uint32_t tkhdFlags = 0xF;
    uint64_t tkhdDuration = 240;
    uint8_t version = 0;
    bool co64 = false;
    std::vector<uint32_t> keyFrames;  // empty: no stss
    Bytes edts;                       // empty: no edit list
    Bytes extraStbl;                  // appended to stbl (e.g. unknown atoms)
};

struct MovieLayout {
    uint32_t timeScale = 600;
    uint64_t duration = 240;
    uint8_t version = 0;
    std::vector<TrackLayout> tracks = {TrackLayout{}};
    bool moovFirst = false;
    bool ftyp = true;
    bool moov64 = false;     // 64-bit size form for moov
    bool mdat64 = false;     // 64-bit size form for mdat
    bool lastSizeZero = false;  // the last top-level atom written with size 0
    Bytes extraMoov;         // appended inside moov
    Bytes beforeFirst;       // top-level atoms written first (after ftyp)
};

inline Bytes TrackSampleBytes(const TrackLayout& t, size_t trackIndex) {
    Bytes b;
    for (size_t i = 0; i < t.sampleSizes.size(); ++i) b.insert(b.end(), t.sampleSizes[i], uint8_t(trackIndex * 64 + i));
    return b;
}

inline Bytes TrakAtom(const TrackLayout& t, uint32_t id, uint64_t dataStart) {
    std::vector<uint64_t> offsets;
    uint64_t pos = dataStart;
    for (size_t i = 0; i < t.sampleSizes.size(); ++i) {
        if (i % t.samplesPerChunk == 0) offsets.push_back(pos);
        pos += t.sampleSizes[i];
    }
    Bytes stbl = Cat({Stsd(t.sampleEntry), Stts({{uint32_t(t.sampleSizes.size()), t.delta}}),
                      Stsc({{1, t.samplesPerChunk}}), Stsz(0, t.sampleSizes, uint32_t(t.sampleSizes.size())),
                      Stco(offsets, t.co64)});
    if (!t.keyFrames.empty()) Append(stbl, Stss(t.keyFrames));
    Append(stbl, t.extraStbl);
    uint64_t mediaDuration = uint64_t(t.delta) * t.sampleSizes.size();
    Bytes dref = MakeFullAtom("dref", 0, 0, Cat({U32(1), MakeFullAtom("alis", 0, 1, {})}));
    Bytes minf = MakeAtom("minf", Cat({MakeAtom("dinf", dref), MakeAtom("stbl", stbl)}));
    Bytes mdia = MakeAtom("mdia", Cat({Mdhd(t.version, t.mediaScale, mediaDuration), Hdlr(t.handler), minf}));
    return MakeAtom("trak", Cat({Tkhd(t.version, id, t.tkhdDuration, t.width16, t.height16, t.tkhdFlags), t.edts, mdia}));
}

inline Bytes MoovAtom(const MovieLayout& m, uint64_t dataStart) {
    Bytes body = Mvhd(m.version, m.timeScale, m.duration);
    uint64_t pos = dataStart;
    for (size_t i = 0; i < m.tracks.size(); ++i) {
        Append(body, TrakAtom(m.tracks[i], uint32_t(i + 1), pos));
        pos += TrackSampleBytes(m.tracks[i], i).size();
    }
    Append(body, m.extraMoov);
    return m.moov64 ? MakeAtom64("moov", body) : MakeAtom("moov", body);
}

inline Bytes ZeroSizeField(Bytes atom) {
    atom[0] = atom[1] = atom[2] = atom[3] = 0;
    return atom;
}

// The whole file. Sample data of track i follows that of track i-1 in one mdat.
inline Bytes BuildMovie(const MovieLayout& m) {
    Bytes head = m.ftyp ? MakeAtom("ftyp", Cat({Type("qt  "), U32(0x200), Type("qt  ")})) : Bytes{};
    Append(head, m.beforeFirst);
    Bytes media;
    for (size_t i = 0; i < m.tracks.size(); ++i) Append(media, TrackSampleBytes(m.tracks[i], i));
    const size_t mdatHeader = m.mdat64 ? 16 : 8;
    Bytes mdat = m.mdat64 ? MakeAtom64("mdat", media) : MakeAtom("mdat", media);
    if (m.moovFirst) {
        size_t moovSize = MoovAtom(m, 0).size();
        Bytes moov = MoovAtom(m, head.size() + moovSize + mdatHeader);
        if (m.lastSizeZero && !m.mdat64) mdat = ZeroSizeField(mdat);
        return Cat({head, moov, mdat});
    }
    Bytes moov = MoovAtom(m, head.size() + mdatHeader);
    if (m.lastSizeZero && !m.moov64) moov = ZeroSizeField(moov);
    return Cat({head, mdat, moov});
}

inline movie::ReadResult Read(const Bytes& file, movie::Movie& m) {
    movie::MemorySource src(file.data(), file.size());
    return movie::ReadMovie(src, m);
}

}  // namespace moviebuild
