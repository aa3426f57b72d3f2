#include "movie/repair/recognise/Mpeg4Recogniser.h"

#include <algorithm>
#include <cstring>

#include "movie/repair/recognise/BitReader.h"

namespace movie::repair {

namespace {

constexpr uint8_t kVosStart = 0xB0, kUserData = 0xB2, kGovStart = 0xB3, kVoStart = 0xB5, kVopStart = 0xB6;

// Start codes that may open a sample: VOS, visual object, GOV, VOP, video object and layer.
bool OpensSample(uint8_t code) {
    return code == kVosStart || code == kVoStart || code == kGovStart || code == kVopStart || code <= 0x2F;
}

// The video object layer header: the bits of vop_time_increment and, for rectangular shapes,
// the picture size. False when it does not parse.
// A GOV header's time code as the second of the day it names; false when it does not check out.
bool GovSecond(const uint8_t* p, uint32_t& second) {
    BitReader r(p, 3);
    const uint32_t hours = r.Bits(5), minutes = r.Bits(6);
    const bool marker = r.Bit();
    const uint32_t seconds = r.Bits(6);
    second = (hours * 60 + minutes) * 60 + seconds;
    return hours < 24 && minutes < 60 && marker && seconds < 60;
}

bool ParseVol(const uint8_t* p, size_t n, int& timeBits, uint32_t& width, uint32_t& height, uint32_t* resolutionOut = nullptr) {
    BitReader r(p, n);
    r.Skip(1);  // random accessible
    r.Skip(8);  // object type
    int verid = 1;
    if (r.Bit()) {
        verid = int(r.Bits(4));
        r.Skip(3);
    }
    if (r.Bits(4) == 0xF) r.Skip(16);  // extended pixel aspect ratio
    if (r.Bit()) {                     // control parameters
        r.Skip(3);
        if (r.Bit()) r.Skip(79);  // buffer and rate parameters, with their markers
    }
    const uint32_t shape = r.Bits(2);
    if (shape == 3 && verid != 1) r.Skip(4);
    if (!r.Bit()) return false;
    const uint32_t resolution = r.Bits(16);
    if (!r.Bit() || resolution == 0) return false;
    timeBits = 1;
    while ((1u << timeBits) < resolution) ++timeBits;
    if (resolutionOut) *resolutionOut = resolution;
    if (r.Bit()) r.Skip(size_t(timeBits));  // fixed rate
    if (shape == 0) {
        if (!r.Bit()) return false;
        width = r.Bits(13);
        if (!r.Bit()) return false;
        height = r.Bits(13);
        if (!r.Bit()) return false;
    }
    return r.Ok();
}

}  // namespace

Mpeg4Recogniser::Mpeg4Recogniser(const VideoLayout& layout)
    : limit_(std::max<uint64_t>(uint64_t(layout.largestSample) * 8, 16u << 20)) {
    uint8_t objectType = 0;
    std::vector<uint8_t> info;
    if (!ParseEsds(layout.config, objectType, info)) return;
    for (size_t i = 0; i + 4 < info.size(); ++i) {
        if (info[i] == 0 && info[i + 1] == 0 && info[i + 2] == 1 && info[i + 3] >= 0x20 && info[i + 3] <= 0x2F) {
            if (!ParseVol(info.data() + i + 4, info.size() - i - 4, timeBits_, width_, height_, &resolution_)) timeBits_ = 0;
            break;
        }
    }
}

bool Mpeg4Recogniser::MayStart(const uint8_t* p) const { return p[0] == 0 && p[1] == 0 && p[2] == 1 && OpensSample(p[3]); }

bool Mpeg4Recogniser::VopHeader(MediaWindow& w, uint64_t pos, uint64_t end, VideoStamp& stamp) const {
    const size_t n = size_t(std::min<uint64_t>(end - pos, 16));
    const uint8_t* p = w.Get(pos, n);
    if (!p || n < 5) return false;
    BitReader r(p + 4, n - 4);
    const uint32_t type = r.Bits(2);
    if (type == 3) return false;  // sprite VOPs are not recorded by cameras
    stamp.vopType = uint8_t(type);
    if (timeBits_ == 0) return r.Ok();
    uint32_t seconds = 0;
    for (; r.Bit(); ++seconds)
        if (seconds > 60 || !r.Ok()) return false;
    if (!r.Bit()) return false;
    stamp.vopSeconds = seconds;
    stamp.vopIncrement = r.Bits(timeBits_);
    stamp.resolution = resolution_;
    stamp.hasVopTime = resolution_ > 0 && stamp.vopIncrement < resolution_;
    return r.Bit() && r.Ok();
}

bool Mpeg4Recogniser::OpensSampleAt(MediaWindow& w, uint64_t pos, uint64_t end) const {
    if (end - pos < 5) return false;
    const size_t n = size_t(std::min<uint64_t>(end - pos, 64));
    const uint8_t* p = w.Get(pos, n);
    if (!p || !MayStart(p)) return false;
    const uint8_t code = p[3];
    if (code == kVopStart) {
        VideoStamp stamp;
        return VopHeader(w, pos, end, stamp);
    }
    if (code == kGovStart) {
        uint32_t second = 0;
        return n >= 7 && GovSecond(p + 4, second);
    }
    if (code >= 0x20) {  // a video object layer
        int bits = 0;
        uint32_t width = 0, height = 0;
        return ParseVol(p + 4, n - 4, bits, width, height);
    }
    // A sequence or visual object start is followed closely by the next header.
    const uint64_t next = NextStartCode(w, pos + 4, std::min(end, pos + 64));
    if (next + 4 > end) return false;
    const uint8_t* q = w.Get(next, 4);
    if (!q) return false;
    if (code == kVosStart) return q[3] == kVoStart || q[3] == kUserData;
    if (code == kVoStart) return q[3] <= 0x1F || q[3] == kUserData;
    return q[3] >= 0x20 && q[3] <= 0x2F && OpensSampleAt(w, next, end);  // a video object: its layer follows
}

uint64_t Mpeg4Recogniser::NextStartCode(MediaWindow& w, uint64_t from, uint64_t stop) {
    uint64_t q = from;
    while (q + 3 <= stop) {
        const size_t want = size_t(std::min<uint64_t>(stop - q, MediaWindow::kScan));
        const uint8_t* d = w.Get(q, want, MediaWindow::kScan);
        if (!d) return stop;
        for (size_t i = 0; i + 3 <= want;) {
            const uint8_t* one = static_cast<const uint8_t*>(std::memchr(d + i + 2, 0x01, want - i - 2));
            if (!one) break;
            const size_t k = size_t(one - d);
            if (d[k - 1] == 0 && d[k - 2] == 0) return q + k - 2;
            i = k - 1;
        }
        if (want < 3) break;
        q += want - 2;  // a start code may straddle the block's end
    }
    return stop;
}

uint64_t Mpeg4Recogniser::NextSampleStart(MediaWindow& w, uint64_t from, uint64_t end) const {
    const uint64_t stop = std::min(end, from + limit_);
    for (uint64_t q = from;; q += 1) {
        q = NextStartCode(w, q, stop);
        if (q >= stop) return end;
        if (OpensSampleAt(w, q, end)) return q;
    }
}

VideoMatch Mpeg4Recogniser::Match(MediaWindow& w, uint64_t pos, uint64_t end) {
    VideoMatch m;
    m.openEnded = true;
    if (pos >= end || !OpensSampleAt(w, pos, end)) return m;
    // Headers (and their user data) before the VOP, whose start code must come soon.
    uint64_t vop = pos;
    for (int codes = 0;; ++codes) {
        const uint8_t* s = w.Get(vop, 4);
        if (!s) return m;
        if (s[3] == kVopStart) break;
        if (s[3] == kGovStart && end - vop >= 7)
            if (const uint8_t* g = w.Get(vop + 4, 3)) m.stamp.hasGov = GovSecond(g, m.stamp.govSecond);
        if (codes == 16) return m;
        vop = NextStartCode(w, vop + 4, std::min(end, vop + 65536));
        if (vop + 5 > end) {
            m.kind = VideoMatch::CutOff;
            return m;
        }
    }
    if (!VopHeader(w, vop, end, m.stamp)) return m;
    const uint64_t next = NextSampleStart(w, vop + 4, end);
    if (next >= end) {
        m.kind = VideoMatch::CutOff;
        return m;
    }
    m.kind = VideoMatch::Whole;
    m.size = next - pos;
    m.key = m.stamp.vopType == 0;
    m.width = width_;
    m.height = height_;
    return m;
}

std::string Mpeg4Recogniser::Sniff(MediaWindow& w, uint64_t pos, uint64_t end) {
    if (end <= pos || end - pos < 5) return "";
    const uint8_t* p = w.Get(pos, 5);
    if (!p || p[0] != 0 || p[1] != 0 || p[2] != 1) return "";
    return p[3] == kVopStart || p[3] == kGovStart || p[3] == kVosStart || p[3] <= 0x2F ? "MPEG-4" : "";
}

}  // namespace movie::repair
