#include "movie/container/MovieWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "movie/container/FileReplace.h"
#include "movie/container/MovieReader.h"

namespace movie {

namespace {

constexpr size_t kCopyBlock = 1u << 20;
constexpr int kMaxDepth = 8;

void Put32(std::vector<uint8_t>& v, uint32_t x) {
    const uint8_t b[4] = {uint8_t(x >> 24), uint8_t(x >> 16), uint8_t(x >> 8), uint8_t(x)};
    v.insert(v.end(), b, b + 4);
}
void Put64(std::vector<uint8_t>& v, uint64_t x) {
    Put32(v, uint32_t(x >> 32));
    Put32(v, uint32_t(x));
}
uint32_t Get32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// Appends an atom header for a body of `bodySize` bytes: 32-bit size when it fits, else 64-bit.
void PutHeader(std::vector<uint8_t>& v, uint32_t type, uint64_t bodySize) {
    if (bodySize + 8 <= std::numeric_limits<uint32_t>::max()) {
        Put32(v, uint32_t(bodySize + 8));
        Put32(v, type);
    } else {
        Put32(v, 1);
        Put32(v, type);
        Put64(v, bodySize + 16);
    }
}

struct ChunkCopy {
    size_t track;
    size_t chunk;
    uint64_t sourceOffset;
    uint64_t size;
    uint64_t newOffset;
};

class Fail {
public:
    explicit Fail(std::string* e) : e_(e) {}
    bool operator()(const std::string& why) const {
        if (e_) *e_ = why;
        return false;
    }

private:
    std::string* e_;
};

// Rebuilds the 'moov' body: containers on the path to the chunk offset tables are rewritten with
// new sizes, the tables replaced by `newOffsets`; every other atom is copied byte for byte.
class MoovRebuilder {
public:
    MoovRebuilder(const std::vector<std::vector<uint64_t>>& newOffsets, bool wide) : offsets_(newOffsets), wide_(wide) {}

    bool Build(const uint8_t* body, size_t size, std::vector<uint8_t>& out) {
        track_ = 0;
        return Children(body, size, FourCC("moov"), out, 0);
    }

private:
    static bool IsPathContainer(uint32_t parent, uint32_t type) {
        return (parent == FourCC("moov") && type == FourCC("trak")) ||
               (parent == FourCC("trak") && type == FourCC("mdia")) ||
               (parent == FourCC("mdia") && type == FourCC("minf")) ||
               (parent == FourCC("minf") && type == FourCC("stbl"));
    }

    bool Children(const uint8_t* p, size_t size, uint32_t parentType, std::vector<uint8_t>& out, int depth) {
        if (depth > kMaxDepth) return false;
        size_t pos = 0;
        bool wroteTable = false;
        while (size - pos >= 8) {
            uint64_t atomSize = Get32(p + pos);
            size_t header = 8;
            if (atomSize == 1) {
                if (size - pos < 16) return false;
                atomSize = (uint64_t(Get32(p + pos + 8)) << 32) | Get32(p + pos + 12);
                header = 16;
            } else if (atomSize == 0) {
                atomSize = size - pos;
            }
            if (atomSize < header || atomSize > size - pos) return false;
            const uint32_t type = Get32(p + pos + 4);
            const uint8_t* body = p + pos + header;
            const size_t bodySize = size_t(atomSize) - header;
            if (IsPathContainer(parentType, type)) {
                const size_t trackIndex = track_;
                std::vector<uint8_t> inner;
                if (!Children(body, bodySize, type, inner, depth + 1)) return false;
                PutHeader(out, type, inner.size());
                out.insert(out.end(), inner.begin(), inner.end());
                if (type == FourCC("trak")) track_ = trackIndex + 1;
            } else if (parentType == FourCC("stbl") && (type == FourCC("stco") || type == FourCC("co64"))) {
                if (!wroteTable) WriteTable(out);
                wroteTable = true;
            } else {
                out.insert(out.end(), p + pos, p + pos + size_t(atomSize));
            }
            pos += size_t(atomSize);
        }
        // Keep a short terminator (QuickTime's 32-bit zero) as it was.
        out.insert(out.end(), p + pos, p + size);
        return true;
    }

    void WriteTable(std::vector<uint8_t>& out) {
        static const std::vector<uint64_t> kNone;
        const std::vector<uint64_t>& o = track_ < offsets_.size() ? offsets_[track_] : kNone;
        PutHeader(out, wide_ ? FourCC("co64") : FourCC("stco"), 8 + o.size() * (wide_ ? 8 : 4));
        Put32(out, 0);
        Put32(out, uint32_t(o.size()));
        for (uint64_t x : o) {
            if (wide_) Put64(out, x);
            else Put32(out, uint32_t(x));
        }
    }

    const std::vector<std::vector<uint64_t>>& offsets_;
    bool wide_;
    size_t track_ = 0;
};

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};

}  // namespace

bool WriteSelfContainedMovie(const std::string& sourcePath, const std::string& destPath, std::string* error) {
    Fail fail(error);
    std::unique_ptr<FileSource> src = FileSource::Open(sourcePath);
    if (!src) return fail("cannot open " + sourcePath);
    Movie m;
    ReadResult r = ReadMovie(*src, m);
    if (r != ReadResult::Ok) return fail(sourcePath + ": " + ResultText(r));
    if (m.fragmented) return fail("movie fragments are not supported");
    for (const Track& t : m.tracks)
        if (!t.selfContained) return fail("the media of a track is in another file");

    // Every chunk of every track, with its size from the samples it holds.
    std::vector<ChunkCopy> chunks;
    for (size_t ti = 0; ti < m.tracks.size(); ++ti) {
        const Track& t = m.tracks[ti];
        std::vector<uint64_t> sizes(t.chunkOffsets.size(), 0);
        SampleInfo s;
        for (size_t n = 0; n < t.SampleCount(); ++n) {
            if (!t.Sample(n, s)) return fail("a sample table is damaged");
            if (s.offset != t.chunkOffsets[s.chunk] + sizes[s.chunk])
                return fail("a sample table is damaged");
            sizes[s.chunk] += s.size;
        }
        for (size_t c = 0; c < sizes.size(); ++c) chunks.push_back({ti, c, t.chunkOffsets[c], sizes[c], 0});
    }
    // Keep the original interleaving of the tracks' chunks.
    std::stable_sort(chunks.begin(), chunks.end(),
                     [](const ChunkCopy& a, const ChunkCopy& b) { return a.sourceOffset < b.sourceOffset; });
    uint64_t mdatPayload = 0;
    for (const ChunkCopy& c : chunks) mdatPayload += c.size;  // each chunk lies within the source

    std::vector<uint8_t> moovBody(size_t(m.moovSize));
    if (!src->ReadAt(m.moovOffset, moovBody.data(), moovBody.size())) return fail("cannot read " + sourcePath);
    const size_t moovHeader = Get32(moovBody.data()) == 1 ? 16 : 8;
    const uint8_t* oldMoov = moovBody.data() + moovHeader;
    const size_t oldMoovSize = moovBody.size() - moovHeader;

    std::vector<uint8_t> head;
    PutHeader(head, FourCC("ftyp"), 12);
    Put32(head, FourCC("qt  "));
    Put32(head, 0x20050300);
    Put32(head, FourCC("qt  "));
    const uint64_t mdatHeader = mdatPayload + 8 > std::numeric_limits<uint32_t>::max() ? 16 : 8;

    // The moov's size depends only on the table width, so lay out with 32-bit tables first and
    // widen only when an offset does not fit.
    std::vector<std::vector<uint64_t>> newOffsets(m.tracks.size());
    for (size_t ti = 0; ti < m.tracks.size(); ++ti) newOffsets[ti].assign(m.tracks[ti].chunkOffsets.size(), 0);
    std::vector<uint8_t> moov;
    bool wide = false;
    for (;;) {
        moov.clear();
        if (!MoovRebuilder(newOffsets, wide).Build(oldMoov, oldMoovSize, moov)) return fail("the movie header is damaged");
        uint64_t pos = head.size() + moov.size() + 8 + mdatHeader;
        if (moov.size() + 8 > std::numeric_limits<uint32_t>::max()) pos += 8;
        uint64_t last = pos;
        for (ChunkCopy& c : chunks) {
            c.newOffset = pos;
            newOffsets[c.track][c.chunk] = pos;
            last = pos;
            pos += c.size;
        }
        if (wide || last <= std::numeric_limits<uint32_t>::max()) break;
        wide = true;
    }
    moov.clear();
    MoovRebuilder(newOffsets, wide).Build(oldMoov, oldMoovSize, moov);
    PutHeader(head, FourCC("moov"), moov.size());
    head.insert(head.end(), moov.begin(), moov.end());
    if (mdatHeader == 16) {
        Put32(head, 1);
        Put32(head, FourCC("mdat"));
        Put64(head, mdatPayload + 16);
    } else {
        Put32(head, uint32_t(mdatPayload + 8));
        Put32(head, FourCC("mdat"));
    }

    const std::string temp = destPath + ".clipharbor-tmp";
    std::unique_ptr<FILE, FileCloser> out(std::fopen(temp.c_str(), "wb"));
    if (!out) return fail("cannot create " + temp);
    bool ok = std::fwrite(head.data(), 1, head.size(), out.get()) == head.size();
    std::vector<uint8_t> buffer;
    for (const ChunkCopy& c : chunks) {
        if (!ok) break;
        uint64_t done = 0;
        while (ok && done < c.size) {
            size_t n = size_t(std::min<uint64_t>(kCopyBlock, c.size - done));
            if (buffer.size() < n) buffer.resize(n);
            ok = src->ReadAt(c.sourceOffset + done, buffer.data(), n) &&
                 std::fwrite(buffer.data(), 1, n, out.get()) == n;
            done += n;
        }
    }
    ok = ok && std::fflush(out.get()) == 0 && !std::ferror(out.get());
    ok = std::fclose(out.release()) == 0 && ok;
    src.reset();  // the source may be the destination: let go of it before replacing
    if (!ok || !ReplaceFileWith(temp, destPath)) {
        std::remove(temp.c_str());
        return fail(ok ? "cannot replace " + destPath : "cannot write " + temp);
    }
    return true;
}

}  // namespace movie
