#include "movie/container/MovieReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace movie {

namespace {

// A 'moov' larger than this is refused: real ones are kilobytes to a few megabytes.
constexpr uint64_t kMaxMoovSize = 64u << 20;
// Bounds the top-level walk over a file of many tiny atoms.
constexpr uint32_t kMaxTopLevelAtoms = 1u << 16;
// Bounds recursion where atoms nest freely (sample description extensions).
constexpr int kMaxDepth = 8;
// A Track costs far more memory than the 8 bytes of an empty 'trak': cap their number so a
// hostile moov cannot turn megabytes into gigabytes. Other tables cost at most 8 bytes of memory
// per byte of the file (4-bit compact sample sizes), most of them 1 or 2.
constexpr size_t kMaxTracks = 1024;

bool AddU64(uint64_t a, uint64_t b, uint64_t& r) { return !__builtin_add_overflow(a, b, &r); }
bool MulU64(uint64_t a, uint64_t b, uint64_t& r) { return !__builtin_mul_overflow(a, b, &r); }

uint16_t Be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
uint32_t Be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
uint64_t Be64(const uint8_t* p) { return (uint64_t(Be32(p)) << 32) | Be32(p + 4); }

// MPEG-4 descriptor length: 1 to 4 bytes of 7 bits each.
bool DescriptorLength(const std::vector<uint8_t>& b, size_t& pos, size_t& length) {
    length = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= b.size()) return false;
        const uint8_t c = b[pos++];
        length = (length << 7) | (c & 0x7F);
        if (!(c & 0x80)) return length <= b.size() - pos;
    }
    return false;
}

struct Span {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// Sequential big-endian reads within a span; every read is bounds-checked.
class Cursor {
public:
    explicit Cursor(Span s) : s_(s) {}
    size_t Remaining() const { return s_.size - pos_; }
    size_t Position() const { return pos_; }
    bool Skip(size_t n) {
        if (n > Remaining()) return false;
        pos_ += n;
        return true;
    }
    bool U8(uint8_t& v) {
        if (Remaining() < 1) return false;
        v = s_.data[pos_++];
        return true;
    }
    bool U16(uint16_t& v) {
        if (Remaining() < 2) return false;
        v = Be16(s_.data + pos_);
        pos_ += 2;
        return true;
    }
    bool U32(uint32_t& v) {
        if (Remaining() < 4) return false;
        v = Be32(s_.data + pos_);
        pos_ += 4;
        return true;
    }
    bool U64(uint64_t& v) {
        if (Remaining() < 8) return false;
        v = Be64(s_.data + pos_);
        pos_ += 8;
        return true;
    }
    // Reads a version 0 (32-bit) or version 1 (64-bit) field.
    bool Sized(bool wide, uint64_t& v) {
        if (wide) return U64(v);
        uint32_t v32;
        if (!U32(v32)) return false;
        v = v32;
        return true;
    }
    // Checks that `count` entries of `entrySize` bytes fit in what is left.
    bool Fits(uint64_t count, uint64_t entrySize) const {
        uint64_t total;
        return MulU64(count, entrySize, total) && total <= Remaining();
    }

private:
    Span s_;
    size_t pos_ = 0;
};

struct Atom {
    uint32_t type = 0;
    Span body;
};

// Iterates the child atoms of a body. Fewer than 8 trailing bytes end the list (QuickTime writes
// 32-bit zero terminators); a child whose size is below its header or beyond its parent sets bad.
class AtomIter {
public:
    explicit AtomIter(Span parent) : p_(parent) {}
    bool Next(Atom& a) {
        size_t rem = p_.size - pos_;
        if (rem < 8) return false;
        const uint8_t* h = p_.data + pos_;
        uint64_t size = Be32(h);
        size_t header = 8;
        if (size == 1) {
            if (rem < 16) return Fail();
            size = Be64(h + 8);
            header = 16;
        } else if (size == 0) {
            size = rem;
        }
        if (size < header || size > rem) return Fail();
        a.type = Be32(h + 4);
        a.body = {h + header, size_t(size) - header};
        pos_ += size_t(size);
        return true;
    }
    bool Bad() const { return bad_; }

private:
    bool Fail() {
        bad_ = true;
        return false;
    }
    Span p_;
    size_t pos_ = 0;
    bool bad_ = false;
};

// Finds the first child of the given type; false if absent or the children are malformed.
bool FindChild(Span parent, uint32_t type, Span& body, bool& bad) {
    AtomIter it(parent);
    Atom a;
    while (it.Next(a)) {
        if (a.type == type) {
            body = a.body;
            return true;
        }
    }
    bad = bad || it.Bad();
    return false;
}

bool ReadFullHeader(Cursor& c, uint8_t& version, uint32_t& flags) {
    uint32_t vf;
    if (!c.U32(vf)) return false;
    version = uint8_t(vf >> 24);
    flags = vf & 0xFFFFFF;
    return true;
}

// Reads a table's full-atom header and entry count, and checks that the entries fit.
bool ReadTableCount(Cursor& c, uint64_t entrySize, uint32_t& count) {
    uint8_t version;
    uint32_t flags;
    return ReadFullHeader(c, version, flags) && c.U32(count) && c.Fits(count, entrySize);
}

// Movie and media headers share their start: version, created, modified, time scale, duration
// (32-bit times in version 0, 64-bit in version 1). A time scale of 0 is refused.
ReadResult ReadTimeHeader(Span body, uint32_t& scale, uint64_t& duration) {
    Cursor c(body);
    uint8_t version;
    uint32_t flags;
    if (!ReadFullHeader(c, version, flags) || version > 1) return ReadResult::Malformed;
    bool wide = version == 1;
    uint64_t created, modified;
    if (!c.Sized(wide, created) || !c.Sized(wide, modified) || !c.U32(scale) || !c.Sized(wide, duration))
        return ReadResult::Malformed;
    return scale == 0 ? ReadResult::BadTimeScale : ReadResult::Ok;
}

ReadResult ParseMvhd(Span body, Movie& m) {
    uint32_t scale;
    uint64_t duration;
    ReadResult r = ReadTimeHeader(body, scale, duration);
    if (r != ReadResult::Ok) return r;
    m.timeScale = scale;
    m.duration = duration;
    return ReadResult::Ok;
}

ReadResult ParseTkhd(Span body, Track& t) {
    Cursor c(body);
    uint8_t version;
    uint32_t flags;
    if (!ReadFullHeader(c, version, flags) || version > 1) return ReadResult::Malformed;
    bool wide = version == 1;
    uint64_t created, modified, duration;
    uint32_t id, reserved;
    if (!c.Sized(wide, created) || !c.Sized(wide, modified) || !c.U32(id) || !c.U32(reserved) ||
        !c.Sized(wide, duration))
        return ReadResult::Malformed;
    // reserved 8, layer 2, alternate group 2, volume 2, reserved 2
    if (!c.Skip(16)) return ReadResult::Malformed;
    for (int32_t& v : t.matrix) {
        uint32_t u;
        if (!c.U32(u)) return ReadResult::Malformed;
        v = int32_t(u);
    }
    uint32_t w, h;
    if (!c.U32(w) || !c.U32(h)) return ReadResult::Malformed;
    t.id = id;
    t.duration = duration;
    t.enabled = (flags & 1) != 0;
    t.width = w / 65536.0;
    t.height = h / 65536.0;
    return ReadResult::Ok;
}

ReadResult ParseMdhd(Span body, Track& t) {
    uint32_t scale;
    uint64_t duration;
    ReadResult r = ReadTimeHeader(body, scale, duration);
    if (r != ReadResult::Ok) return r;
    t.mediaTimeScale = scale;
    t.mediaDuration = duration;
    return ReadResult::Ok;
}

ReadResult ParseHdlr(Span body, Track& t) {
    Cursor c(body);
    uint8_t version;
    uint32_t flags, componentType, subtype;
    if (!ReadFullHeader(c, version, flags) || !c.U32(componentType) || !c.U32(subtype))
        return ReadResult::Malformed;
    t.handler = subtype;
    t.kind = subtype == FourCC("vide") ? TrackKind::Video
             : subtype == FourCC("soun") ? TrackKind::Sound
                                         : TrackKind::Other;
    return ReadResult::Ok;
}

ReadResult ParseElst(Span body, Track& t) {
    Cursor c(body);
    uint8_t version;
    uint32_t flags, count;
    if (!ReadFullHeader(c, version, flags) || version > 1 || !c.U32(count)) return ReadResult::Malformed;
    const uint64_t entrySize = version == 1 ? 20 : 12;
    if (!c.Fits(count, entrySize)) return ReadResult::Malformed;
    t.edits.clear();
    t.edits.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        Track::Edit e{};
        uint32_t rate = 0;
        if (version == 1) {
            uint64_t mediaTime = 0;
            c.U64(e.segmentDuration);
            c.U64(mediaTime);
            e.mediaTime = int64_t(mediaTime);
        } else {
            uint32_t d = 0, mediaTime = 0;
            c.U32(d);
            c.U32(mediaTime);
            e.segmentDuration = d;
            e.mediaTime = int32_t(mediaTime);
        }
        c.U32(rate);
        e.mediaRate = int32_t(rate);
        t.edits.push_back(e);
    }
    uint64_t total = 0;
    for (const Track::Edit& e : t.edits)
        if (!AddU64(total, e.segmentDuration, total)) return ReadResult::Malformed;
    t.hasEditList = true;
    return ReadResult::Ok;
}

bool IsCodecConfig(uint32_t type) {
    static constexpr uint32_t kTypes[] = {FourCC("avcC"), FourCC("hvcC"), FourCC("av1C"), FourCC("vpcC"),
                                          FourCC("esds"), FourCC("glbl"), FourCC("dvcC"), FourCC("alac")};
    return std::find(std::begin(kTypes), std::end(kTypes), type) != std::end(kTypes);
}

// Looks through a sample description's extension atoms, one 'wave' level deep (QuickTime sound
// descriptions keep 'esds' and 'enda' inside 'wave'), for the first decoder configuration and an
// endianness mark. Sloppy extensions are ignored rather than refused: they do not affect the
// movie's structure.
void ScanExtensions(Span ext, Track& t, int depth) {
    if (depth > kMaxDepth) return;
    AtomIter it(ext);
    Atom a;
    while (it.Next(a)) {
        if (IsCodecConfig(a.type)) {
            if (!t.codecConfigType) {
                t.codecConfigType = a.type;
                t.codecConfig.assign(a.body.data, a.body.data + a.body.size);
            }
        } else if (a.type == FourCC("enda")) {
            if (a.body.size >= 2) t.littleEndian = (a.body.data[1] & 0xFF) == 1;
        } else if (a.type == FourCC("wave")) {
            ScanExtensions(a.body, t, depth + 1);
        }
    }
}

ReadResult ParseStsd(Span body, Track& t) {
    Cursor c(body);
    uint8_t version;
    uint32_t flags, count;
    if (!ReadFullHeader(c, version, flags) || !c.U32(count)) return ReadResult::Malformed;
    if (count == 0) return ReadResult::Ok;
    if (!c.Fits(count, 16)) return ReadResult::Malformed;
    uint32_t size, format;
    size_t start = c.Position();
    if (!c.U32(size) || !c.U32(format)) return ReadResult::Malformed;
    if (size < 16 || size - 8 > c.Remaining()) return ReadResult::Malformed;
    t.codec = format;
    Span entry{body.data + start, size};
    Cursor e(entry);
    e.Skip(16);  // size, format, reserved 6, data reference index 2
    size_t extAt = 0;
    if (t.kind == TrackKind::Video) {
        uint16_t w, h, depth;
        // version, revision, vendor, temporal quality, spatial quality; after the size: resolution,
        // data size, frame count and compressor name, then depth and colour table id.
        if (e.Skip(16) && e.U16(w) && e.U16(h) && e.Skip(46) && e.U16(depth) && e.Skip(2)) {
            t.sampleWidth = w;
            t.sampleHeight = h;
            t.depth = depth;
            extAt = 86;
        }
    } else if (t.kind == TrackKind::Sound) {
        uint16_t soundVersion, channels, bits;
        uint32_t rate;
        if (e.U16(soundVersion) && e.Skip(6) && e.U16(channels) && e.U16(bits) && e.Skip(4) && e.U32(rate)) {
            t.channels = channels;
            t.sampleBits = bits;
            t.sampleRate = rate >> 16;
            t.soundVersion = soundVersion;
            extAt = 36;
            uint32_t samplesPerPacket, bytesPerPacket, bytesPerFrame, bytesPerSample;
            if (soundVersion == 1 && e.U32(samplesPerPacket) && e.U32(bytesPerPacket) && e.U32(bytesPerFrame) &&
                e.U32(bytesPerSample)) {
                t.samplesPerPacket = samplesPerPacket;
                t.bytesPerFrame = bytesPerFrame;
                extAt = 52;
            } else if (soundVersion == 2) {
                uint32_t structSize, channels2, always, bits2, flags, packetBytes, packetFrames;
                uint64_t rateBits;
                if (e.U32(structSize) && e.U64(rateBits) && e.U32(channels2) && e.U32(always) && e.U32(bits2) &&
                    e.U32(flags) && e.U32(packetBytes) && e.U32(packetFrames)) {
                    t.lpcmFlags = flags;
                    t.bytesPerFrame = packetBytes;
                    t.samplesPerPacket = packetFrames;
                    double r;
                    std::memcpy(&r, &rateBits, sizeof r);
                    // The comparison also rejects NaN.
                    t.sampleRate = (r >= 0 && r < 4294967296.0) ? uint32_t(r) : 0;
                    t.channels = uint16_t(std::min<uint32_t>(channels2, 0xFFFF));
                    t.sampleBits = uint16_t(std::min<uint32_t>(bits2, 0xFFFF));
                    extAt = 72;
                } else {
                    extAt = 0;
                }
            }
        }
    } else if (t.handler == FourCC("tmcd") && format == FourCC("tmcd")) {
        // reserved, flags, time scale, frame duration, frames a second; a name may follow
        Track::TimecodeDescription d;
        if (e.Skip(4) && e.U32(d.flags) && e.U32(d.timeScale) && e.U32(d.frameDuration) && e.U8(d.frames)) {
            t.timecode = d;
            t.hasTimecode = d.timeScale > 0 && d.frameDuration > 0 && d.frames > 0;
        }
    }
    if (extAt > 0 && extAt < entry.size) ScanExtensions({entry.data + extAt, entry.size - extAt}, t, 0);
    return ReadResult::Ok;
}

ReadResult ParseStts(Span body, Track& t) {
    Cursor c(body);
    uint32_t count;
    if (!ReadTableCount(c, 8, count)) return ReadResult::Malformed;
    t.stts.resize(count);
    for (auto& e : t.stts) {
        c.U32(e.count);
        c.U32(e.delta);
    }
    return ReadResult::Ok;
}

ReadResult ParseStsc(Span body, Track& t) {
    Cursor c(body);
    uint32_t count;
    if (!ReadTableCount(c, 12, count)) return ReadResult::Malformed;
    t.stsc.resize(count);
    for (auto& e : t.stsc) {
        c.U32(e.firstChunk);
        c.U32(e.samplesPerChunk);
        c.U32(e.descriptionIndex);
    }
    return ReadResult::Ok;
}

ReadResult ParseStsz(Span body, Track& t) {
    Cursor c(body);
    uint8_t version;
    uint32_t flags, uniform, count;
    if (!ReadFullHeader(c, version, flags) || !c.U32(uniform) || !c.U32(count)) return ReadResult::Malformed;
    t.uniformSampleSize = uniform;
    t.sampleCount = count;
    t.sizes.clear();
    if (uniform != 0) return ReadResult::Ok;
    if (!c.Fits(count, 4)) return ReadResult::Malformed;
    t.sizes.resize(count);
    for (uint32_t& s : t.sizes) c.U32(s);
    return ReadResult::Ok;
}

// Compact sample sizes: 4, 8 or 16 bits each.
ReadResult ParseStz2(Span body, Track& t) {
    Cursor c(body);
    uint8_t version;
    uint32_t flags, packed, count;
    if (!ReadFullHeader(c, version, flags) || !c.U32(packed) || !c.U32(count)) return ReadResult::Malformed;
    uint32_t fieldBits = packed & 0xFF;
    if (fieldBits != 4 && fieldBits != 8 && fieldBits != 16) return ReadResult::Malformed;
    uint64_t bytes = (uint64_t(count) * fieldBits + 7) / 8;
    if (bytes > c.Remaining()) return ReadResult::Malformed;
    t.uniformSampleSize = 0;
    t.sampleCount = count;
    t.sizes.resize(count);
    const uint8_t* p = body.data + c.Position();
    for (uint32_t i = 0; i < count; ++i) {
        if (fieldBits == 16)
            t.sizes[i] = Be16(p + 2 * size_t(i));
        else if (fieldBits == 8)
            t.sizes[i] = p[i];
        else
            t.sizes[i] = i % 2 == 0 ? p[i / 2] >> 4 : p[i / 2] & 0x0F;
    }
    return ReadResult::Ok;
}

ReadResult ParseChunkOffsets(Span body, Track& t, bool wide) {
    Cursor c(body);
    uint32_t count;
    if (!ReadTableCount(c, wide ? 8 : 4, count)) return ReadResult::Malformed;
    t.chunkOffsets.resize(count);
    for (uint64_t& o : t.chunkOffsets) c.Sized(wide, o);
    return ReadResult::Ok;
}

ReadResult ParseCtts(Span body, Track& t) {
    Cursor c(body);
    uint32_t count;
    if (!ReadTableCount(c, 8, count)) return ReadResult::Malformed;
    t.ctts.resize(count);
    for (auto& e : t.ctts) {
        uint32_t offset = 0;
        c.U32(e.count);
        c.U32(offset);
        e.offset = int32_t(offset);  // version 0 is unsigned on paper, yet writers store negative values
    }
    return ReadResult::Ok;
}

ReadResult ParseStss(Span body, Track& t) {
    Cursor c(body);
    uint32_t count;
    if (!ReadTableCount(c, 4, count)) return ReadResult::Malformed;
    t.syncSamples.resize(count);
    for (uint32_t& s : t.syncSamples) c.U32(s);
    std::sort(t.syncSamples.begin(), t.syncSamples.end());  // a set; sorted for lookup
    t.hasSyncTable = true;
    return ReadResult::Ok;
}

ReadResult ParseStbl(Span stbl, Track& t) {
    AtomIter it(stbl);
    Atom a;
    while (it.Next(a)) {
        ReadResult r = ReadResult::Ok;
        switch (a.type) {
            case FourCC("stsd"): r = ParseStsd(a.body, t); break;
            case FourCC("stts"): r = ParseStts(a.body, t); break;
            case FourCC("stsc"): r = ParseStsc(a.body, t); break;
            case FourCC("stsz"): r = ParseStsz(a.body, t); break;
            case FourCC("stz2"): r = ParseStz2(a.body, t); break;
            case FourCC("stco"): r = ParseChunkOffsets(a.body, t, false); break;
            case FourCC("co64"): r = ParseChunkOffsets(a.body, t, true); break;
            case FourCC("stss"): r = ParseStss(a.body, t); break;
            case FourCC("ctts"): r = ParseCtts(a.body, t); break;
            default: break;
        }
        if (r != ReadResult::Ok) return r;
    }
    return it.Bad() ? ReadResult::Malformed : ReadResult::Ok;
}

// Data references: the media is in this file when every entry carries flag 1.
ReadResult ParseDinf(Span dinf, Track& t) {
    Span dref;
    bool bad = false;
    if (!FindChild(dinf, FourCC("dref"), dref, bad)) return bad ? ReadResult::Malformed : ReadResult::Ok;
    Cursor c(dref);
    uint8_t version;
    uint32_t flags, count;
    if (!ReadFullHeader(c, version, flags) || !c.U32(count) || !c.Fits(count, 12)) return ReadResult::Malformed;
    AtomIter it({dref.data + c.Position(), c.Remaining()});
    Atom a;
    for (uint32_t i = 0; i < count && it.Next(a); ++i) {
        Cursor e(a.body);
        uint8_t v;
        uint32_t f;
        if (!ReadFullHeader(e, v, f)) return ReadResult::Malformed;
        if (!(f & 1)) t.selfContained = false;
    }
    return it.Bad() ? ReadResult::Malformed : ReadResult::Ok;
}

ReadResult ParseTrak(Span trak, Track& t) {
    // The handler decides how the sample description reads, so find it before the tables.
    bool bad = false;
    Span mdia, minf, body;
    bool haveMdia = FindChild(trak, FourCC("mdia"), mdia, bad);
    if (haveMdia && FindChild(mdia, FourCC("hdlr"), body, bad)) {
        ReadResult r = ParseHdlr(body, t);
        if (r != ReadResult::Ok) return r;
    }
    AtomIter it(trak);
    Atom a;
    while (it.Next(a)) {
        ReadResult r = ReadResult::Ok;
        if (a.type == FourCC("tkhd")) {
            r = ParseTkhd(a.body, t);
        } else if (a.type == FourCC("edts")) {
            if (FindChild(a.body, FourCC("elst"), body, bad)) r = ParseElst(body, t);
        }
        if (r != ReadResult::Ok) return r;
    }
    if (it.Bad() || bad) return ReadResult::Malformed;
    if (!haveMdia) return ReadResult::Ok;

    AtomIter mi(mdia);
    while (mi.Next(a)) {
        ReadResult r = ReadResult::Ok;
        if (a.type == FourCC("mdhd")) r = ParseMdhd(a.body, t);
        if (r != ReadResult::Ok) return r;
    }
    if (mi.Bad()) return ReadResult::Malformed;
    if (FindChild(mdia, FourCC("minf"), minf, bad)) {
        if (FindChild(minf, FourCC("dinf"), body, bad)) {
            ReadResult r = ParseDinf(body, t);
            if (r != ReadResult::Ok) return r;
        }
        if (FindChild(minf, FourCC("stbl"), body, bad)) {
            ReadResult r = ParseStbl(body, t);
            if (r != ReadResult::Ok) return r;
        }
    }
    if (bad) return ReadResult::Malformed;
    // Without a media header there is no timing to give samples: present the track empty.
    if (t.mediaTimeScale == 0) {
        t.sampleCount = 0;
        t.sizes.clear();
    }
    return ReadResult::Ok;
}

ReadResult ParseMoov(Span moov, Movie& m, uint64_t fileSize) {
    bool haveHeader = false;
    AtomIter it(moov);
    Atom a;
    while (it.Next(a)) {
        switch (a.type) {
            case FourCC("cmov"): return ReadResult::Compressed;
            case FourCC("mvhd"): {
                if (haveHeader) break;
                ReadResult r = ParseMvhd(a.body, m);
                if (r != ReadResult::Ok) return r;
                haveHeader = true;
                break;
            }
            case FourCC("trak"): {
                if (m.tracks.size() >= kMaxTracks) return ReadResult::Malformed;
                Track& t = m.tracks.emplace_back();
                t.dataEnd = fileSize;
                ReadResult r = ParseTrak(a.body, t);
                if (r != ReadResult::Ok) return r;
                break;
            }
            case FourCC("mvex"): m.fragmented = true; break;
            default: break;
        }
    }
    if (it.Bad()) return ReadResult::Malformed;
    if (!haveHeader) return ReadResult::NotMovie;

    bool anyEdits = false;
    uint64_t longest = 0;
    for (const Track& t : m.tracks) {
        anyEdits = anyEdits || t.hasEditList;
        longest = std::max(longest, t.PresentationDuration());
        if (t.kind == TrackKind::Video && t.enabled) {
            // 16.16 to whole pixels, rounded; the doubles hold the exact stored values.
            m.naturalWidth = std::max<int32_t>(m.naturalWidth, int32_t((uint64_t(t.width * 65536.0) + 0x8000) >> 16));
            m.naturalHeight =
                std::max<int32_t>(m.naturalHeight, int32_t((uint64_t(t.height * 65536.0) + 0x8000) >> 16));
        }
    }
    if (anyEdits) m.duration = longest;
    return ReadResult::Ok;
}

// Counts what the reader takes from the source, whatever the source.
class CountingReader {
public:
    explicit CountingReader(ByteSource& s) : s_(s) {}
    bool ReadAt(uint64_t offset, void* dst, size_t count) {
        if (!s_.ReadAt(offset, dst, count)) return false;
        bytes_ += count;
        return true;
    }
    uint64_t Bytes() const { return bytes_; }

private:
    ByteSource& s_;
    uint64_t bytes_ = 0;
};

}  // namespace

uint64_t Track::PresentationDuration() const {
    if (!hasEditList) return duration;
    uint64_t total = 0;
    for (const Edit& e : edits) total += e.segmentDuration;  // overflow ruled out when read
    return total;
}

bool Track::Sample(size_t n, SampleInfo& out) const {
    if (n >= sampleCount) return false;
    if (uniformSampleSize == 0 && n >= sizes.size()) return false;
    const uint64_t index = n;
    const uint32_t size = uniformSampleSize ? uniformSampleSize : sizes[n];

    // Decode time: restart from the cursor when it lies before n, else from the top.
    SampleCursor& c = cursor_;
    if (index < c.sttsFirstSample || c.sttsEntry >= stts.size()) {
        c.sttsEntry = 0;
        c.sttsFirstSample = 0;
        c.sttsFirstTime = 0;
    }
    for (;;) {
        if (c.sttsEntry >= stts.size()) return false;
        const TimeToSample& e = stts[c.sttsEntry];
        if (index - c.sttsFirstSample < e.count) break;
        c.sttsFirstSample += e.count;
        c.sttsFirstTime += uint64_t(e.count) * e.delta;  // < 2^32 entries * 2^64: wraps only on absurd tables
        ++c.sttsEntry;
    }
    const uint32_t delta = stts[c.sttsEntry].delta;
    const uint64_t time = c.sttsFirstTime + (index - c.sttsFirstSample) * delta;

    // Chunk: stsc entries cover runs of chunks that hold the same number of samples.
    if (index < c.stscFirstSample || c.stscEntry >= stsc.size()) {
        c.stscEntry = 0;
        c.stscFirstSample = 0;
    }
    uint64_t chunk = 0, inChunk = 0;
    for (;;) {
        if (c.stscEntry >= stsc.size()) return false;
        const SampleToChunk& e = stsc[c.stscEntry];
        if (e.firstChunk == 0 || e.samplesPerChunk == 0) return false;
        const bool last = c.stscEntry + 1 == stsc.size();
        uint64_t endChunk = last ? uint64_t(chunkOffsets.size()) + 1 : stsc[c.stscEntry + 1].firstChunk;
        if (endChunk <= e.firstChunk) return false;  // chunks must ascend
        uint64_t runSamples;
        if (!MulU64(endChunk - e.firstChunk, e.samplesPerChunk, runSamples)) return false;
        uint64_t rel = index - c.stscFirstSample;
        if (rel < runSamples) {
            chunk = e.firstChunk + rel / e.samplesPerChunk;  // 1-based
            inChunk = rel % e.samplesPerChunk;
            break;
        }
        if (last) return false;
        c.stscFirstSample += runSamples;
        ++c.stscEntry;
    }
    if (chunk > chunkOffsets.size()) return false;

    uint64_t offset;
    if (c.haveLast && n == c.lastSample + 1 && chunk == c.lastChunk && inChunk > 0) {
        offset = c.lastOffset;
        if (!AddU64(offset, uniformSampleSize ? uniformSampleSize : sizes[n - 1], offset)) return false;
    } else {
        uint64_t before = 0;
        if (uniformSampleSize) {
            before = inChunk * uniformSampleSize;
        } else {
            for (size_t k = n - size_t(inChunk); k < n; ++k) before += sizes[k];
        }
        if (!AddU64(chunkOffsets[size_t(chunk - 1)], before, offset)) return false;
    }
    uint64_t end;
    if (!AddU64(offset, size, end) || end > dataEnd) return false;

    c.haveLast = true;
    c.lastSample = n;
    c.lastChunk = uint32_t(chunk);
    c.lastOffset = offset;

    out.offset = offset;
    out.size = size;
    out.time = time;
    out.duration = delta;
    out.chunk = uint32_t(chunk - 1);
    out.keyFrame = !hasSyncTable || std::binary_search(syncSamples.begin(), syncSamples.end(), uint32_t(n + 1));

    // Composition offset; samples the table does not reach have none.
    out.compositionOffset = 0;
    if (index < c.cttsFirstSample || c.cttsEntry >= ctts.size()) {
        c.cttsEntry = 0;
        c.cttsFirstSample = 0;
    }
    while (c.cttsEntry < ctts.size() && index - c.cttsFirstSample >= ctts[c.cttsEntry].count) {
        c.cttsFirstSample += ctts[c.cttsEntry].count;
        ++c.cttsEntry;
    }
    if (c.cttsEntry < ctts.size()) out.compositionOffset = ctts[c.cttsEntry].offset;
    return true;
}

bool Track::Chunk(size_t chunkIndex, ChunkInfo& out) const {
    if (chunkIndex >= chunkOffsets.size() || stsc.empty()) return false;
    const uint64_t wanted = uint64_t(chunkIndex) + 1;  // stsc counts chunks from 1
    ChunkCursor& c = chunkCursor_;
    if (wanted < c.chunk || c.chunk == 0 || c.stscEntry >= stsc.size()) {
        c.stscEntry = 0;
        c.chunk = stsc[0].firstChunk;
        c.firstSample = 0;
        if (c.chunk != 1) return false;  // the table must start at chunk 1
    }
    // Walks run by run (a whole run at a time), then within the run to the wanted chunk.
    for (;;) {
        const SampleToChunk& e = stsc[c.stscEntry];
        const bool last = c.stscEntry + 1 == stsc.size();
        const uint64_t runEnd = last ? uint64_t(chunkOffsets.size()) + 1 : stsc[c.stscEntry + 1].firstChunk;
        if (runEnd <= e.firstChunk || c.chunk < e.firstChunk) return false;  // chunks must ascend
        if (wanted < runEnd) {
            uint64_t skip;
            if (!MulU64(wanted - c.chunk, e.samplesPerChunk, skip) || !AddU64(c.firstSample, skip, c.firstSample))
                return false;
            c.chunk = wanted;
            break;
        }
        if (last) return false;
        uint64_t skip;
        if (!MulU64(runEnd - c.chunk, e.samplesPerChunk, skip) || !AddU64(c.firstSample, skip, c.firstSample))
            return false;
        c.chunk = runEnd;
        ++c.stscEntry;
    }
    if (c.firstSample >= sampleCount) return false;
    out.offset = chunkOffsets[chunkIndex];
    out.firstSample = c.firstSample;
    out.sampleCount = uint32_t(std::min<uint64_t>(stsc[c.stscEntry].samplesPerChunk, sampleCount - c.firstSample));
    return out.sampleCount > 0;
}

const char* ResultText(ReadResult r) {
    switch (r) {
        case ReadResult::Ok: return "ok";
        case ReadResult::IoError: return "cannot be opened or read";
        case ReadResult::NotMovie: return "not a movie (no movie header)";
        case ReadResult::Malformed: return "damaged movie structure";
        case ReadResult::BadTimeScale: return "time scale of 0";
        case ReadResult::Compressed: return "compressed movie header is not supported";
    }
    return "unknown error";
}

ReadResult ReadMovie(ByteSource& source, Movie& out) {
    out = Movie{};
    CountingReader in(source);
    const uint64_t fileSize = source.Size();
    uint64_t pos = 0;
    bool found = false;
    while (!found && pos < fileSize && out.topLevelAtoms < kMaxTopLevelAtoms) {
        if (fileSize - pos < 8) break;  // trailing bytes too short for an atom
        uint8_t h[16];
        if (!in.ReadAt(pos, h, 8)) return ReadResult::IoError;
        ++out.topLevelAtoms;
        uint64_t size = Be32(h);
        uint64_t header = 8;
        const uint32_t type = Be32(h + 4);
        if (size == 1) {
            if (fileSize - pos < 16) break;
            if (!in.ReadAt(pos + 8, h + 8, 8)) return ReadResult::IoError;
            size = Be64(h + 8);
            header = 16;
        } else if (size == 0) {
            size = fileSize - pos;
        }
        if (size < header) break;  // not an atom: the walk cannot go on
        uint64_t end;
        const bool fits = AddU64(pos, size, end) && end <= fileSize;
        if (type == FourCC("moov")) {
            if (!fits || size - header > kMaxMoovSize) return ReadResult::Malformed;
            std::vector<uint8_t> body(size_t(size - header));
            if (!body.empty() && !in.ReadAt(pos + header, body.data(), body.size())) return ReadResult::IoError;
            out.moovOffset = pos;
            out.moovSize = size;
            ReadResult r = ParseMoov({body.data(), body.size()}, out, fileSize);
            out.bytesRead = in.Bytes();
            if (r != ReadResult::Ok) return r;
            found = true;
        }
        if (!fits) break;  // e.g. an 'mdat' cut short: nothing after it can be found
        pos = end;
    }
    out.bytesRead = in.Bytes();
    return found ? ReadResult::Ok : ReadResult::NotMovie;
}

int FindTrack(const Movie& movie, TrackKind kind, int wanted) {
    if (wanted >= 0)
        return size_t(wanted) < movie.tracks.size() && movie.tracks[size_t(wanted)].kind == kind ? wanted : -1;
    int fallback = -1;
    for (size_t i = 0; i < movie.tracks.size(); ++i) {
        const Track& t = movie.tracks[i];
        if (t.kind != kind || t.SampleCount() == 0) continue;
        if (t.enabled) return int(i);
        if (fallback < 0) fallback = int(i);
    }
    return fallback;
}

bool ParseEsds(const std::vector<uint8_t>& esds, uint8_t& objectType, std::vector<uint8_t>& info) {
    size_t pos = 4;  // version and flags
    size_t length;
    if (esds.size() < pos + 1 || esds[pos++] != 0x03 || !DescriptorLength(esds, pos, length)) return false;
    if (esds.size() - pos < 3) return false;
    const uint8_t flags = esds[pos + 2];
    pos += 3;  // ES id, flags
    if (flags & 0x80) pos += 2;  // depends on an ES id
    if (flags & 0x40) {          // URL
        if (pos >= esds.size()) return false;
        pos += 1 + size_t(esds[pos]);
    }
    if (flags & 0x20) pos += 2;  // OCR ES id
    if (pos >= esds.size() || esds[pos++] != 0x04 || !DescriptorLength(esds, pos, length) || length < 13) return false;
    objectType = esds[pos];
    const size_t configEnd = pos + length;
    pos += 13;  // object type, stream type, buffer size, max and average bit rate
    if (pos < configEnd && esds[pos] == 0x05) {
        ++pos;
        if (!DescriptorLength(esds, pos, length) || pos + length > configEnd) return false;
        info.assign(esds.begin() + long(pos), esds.begin() + long(pos + length));
    } else {
        info.clear();
    }
    return true;
}

bool FindMediaData(ByteSource& source, MediaData& out) {
    out = MediaData{};
    const uint64_t fileSize = source.Size();
    uint64_t pos = 0;
    for (uint32_t atoms = 0; atoms < kMaxTopLevelAtoms && fileSize - pos >= 8; ++atoms) {
        uint8_t h[16];
        if (!source.ReadAt(pos, h, 8)) return false;
        uint64_t size = Be32(h);
        uint64_t header = 8;
        if (size == 1) {
            if (fileSize - pos < 16 || !source.ReadAt(pos + 8, h + 8, 8)) return false;
            size = Be64(h + 8);
            header = 16;
        }
        uint64_t end;
        const bool fits = size != 0 && size >= header && AddU64(pos, size, end) && end <= fileSize;
        if (Be32(h + 4) == FourCC("mdat")) {
            out.headerOffset = pos;
            out.dataOffset = pos + header;
            out.declaredSize = size;
            out.sizeFits = fits;
            out.bytesPresent = (fits ? end : fileSize) - out.dataOffset;
            return true;
        }
        if (!fits) return false;
        pos = end;
    }
    return false;
}

ReadResult ReadMovieFile(const std::string& path, Movie& out) {
    out = Movie{};
    std::unique_ptr<FileSource> file = FileSource::Open(path);
    if (!file) return ReadResult::IoError;
    return ReadMovie(*file, out);
}

bool MemorySource::ReadAt(uint64_t offset, void* dst, size_t count) {
    if (offset > size_ || count > size_ - offset) return false;
    if (count) std::memcpy(dst, data_ + offset, count);
    return true;
}

std::unique_ptr<FileSource> FileSource::Open(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return nullptr;
#ifdef _WIN32
    struct _stati64 st;
    bool regular = _fstati64(_fileno(f), &st) == 0 && (st.st_mode & _S_IFREG);
#else
    struct stat st;
    bool regular = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
#endif
    if (!regular || st.st_size < 0) {
        std::fclose(f);
        return nullptr;
    }
    // Unbuffered: the reader asks for exactly what it needs, and the count is what was read.
    std::setvbuf(f, nullptr, _IONBF, 0);
    std::unique_ptr<FileSource> src(new FileSource());
    src->file_ = f;
    src->size_ = uint64_t(st.st_size);
    return src;
}

FileSource::~FileSource() {
    if (file_) std::fclose(static_cast<FILE*>(file_));
}

bool FileSource::ReadAt(uint64_t offset, void* dst, size_t count) {
    if (offset > size_ || count > size_ - offset) return false;
    if (count == 0) return true;
    FILE* f = static_cast<FILE*>(file_);
#ifdef _WIN32
    if (offset > uint64_t(std::numeric_limits<long long>::max()) || _fseeki64(f, (long long)offset, SEEK_SET) != 0)
        return false;
#else
    if (offset > uint64_t(std::numeric_limits<off_t>::max()) || fseeko(f, off_t(offset), SEEK_SET) != 0)
        return false;
#endif
    size_t got = std::fread(dst, 1, count, f);
    bytesRead_ += got;
    return got == count;
}

}  // namespace movie
