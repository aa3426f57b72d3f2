#include "movie/repair/recognise/JpegRecogniser.h"

#include <algorithm>
#include <cstring>

namespace movie::repair {

namespace {

uint16_t Be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
uint32_t Be32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }

bool IsFrameMarker(uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

// Whether `m` may follow a marker segment in an image: every marker with a length, EOI, and none
// of the standalone codes that belong in entropy data only.
bool IsSegmentMarker(uint8_t m) { return m >= 0xC0 && m != 0xFF && m != 0xD8 && !(m >= 0xD0 && m <= 0xD7); }

constexpr uint64_t kSmallest = 64;  // no real image is smaller

}  // namespace

JpegRecogniser::JpegRecogniser(const VideoLayout& layout)
    : markerless_(layout.codec == FourCC("mjpb")), height_(layout.height),
      limit_(std::max<uint64_t>(uint64_t(layout.largestSample) * 8, 16u << 20)) {}

bool JpegRecogniser::MayStart(const uint8_t* p) const {
    if (markerless_) return std::memcmp(p + 4, "mjpg", 4) == 0;
    return p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF && IsSegmentMarker(p[3]);
}

// One image from its SOI: marker segments, then entropy-coded data up to the next marker, until EOI.
JpegRecogniser::Field JpegRecogniser::ParseField(MediaWindow& w, uint64_t pos, uint64_t end, uint64_t limit) {
    Field f;
    const uint64_t stop = std::min(end, pos + limit);
    const uint8_t* b = w.Get(pos, size_t(std::min<uint64_t>(4, end - pos)));
    if (!b || end - pos < 4 || b[0] != 0xFF || b[1] != 0xD8 || b[2] != 0xFF) return f;
    bool frame = false, scan = false;
    uint64_t p = pos + 2;
    auto cut = [&]() {
        // Out of data inside a plausible image: cut off, unless the size bound ran out first.
        f.kind = stop == end ? VideoMatch::CutOff : VideoMatch::None;
        return f;
    };
    for (;;) {
        // A marker, after any fill bytes.
        const uint8_t* m = w.Get(p, size_t(std::min<uint64_t>(2, stop - p)));
        if (!m || stop - p < 2) return cut();
        if (m[0] != 0xFF) return f;
        if (m[1] == 0xFF) {
            ++p;
            continue;
        }
        const uint8_t code = m[1];
        if (code == 0xD9) {
            if (!frame || !scan) return f;
            f.kind = VideoMatch::Whole;
            f.size = p + 2 - pos;
            return f;
        }
        if (!IsSegmentMarker(code)) return f;
        if (stop - p < 4) return cut();
        const uint8_t* h = w.Get(p, 4);
        if (!h) return f;
        const uint16_t length = Be16(h + 2);
        if (length < 2) return f;
        if (stop - p - 2 < length) return cut();
        const uint64_t body = p + 4, next = p + 2 + length;
        if (IsFrameMarker(code)) {
            const uint8_t* s = w.Get(body, 6);
            if (!s || length < 8 || s[0] == 0 || s[5] == 0 || length != 8 + 3 * s[5]) return f;
            f.height = Be16(s + 1);
            f.width = Be16(s + 3);
            if (f.width == 0) return f;
            frame = true;
        } else if (code == 0xE1 && length >= 2 + 16) {
            const uint8_t* s = w.Get(body, 16);
            if (s && std::memcmp(s + 4, "mjpg", 4) == 0) f.nextField = Be32(s + 16 - 4);
        } else if (code == 0xDA) {
            const uint8_t* s = w.Get(body, 1);
            if (!frame || !s || s[0] == 0 || s[0] > 4 || length != 6 + 2 * s[0]) return f;
            scan = true;
            // Entropy-coded data: 0xFF is followed by a stuffed 0x00 or a restart marker, and
            // the first other marker ends it.
            uint64_t q = next;
            for (;;) {
                const uint8_t* d;
                const size_t n = w.GetSome(q, size_t(std::min<uint64_t>(stop - q, MediaWindow::kScan)), d);
                if (n == 0) return cut();
                const uint8_t* ff = static_cast<const uint8_t*>(std::memchr(d, 0xFF, n));
                if (!ff) {
                    q += n;
                    continue;
                }
                q += uint64_t(ff - d);
                const uint8_t* pair = w.Get(q, size_t(std::min<uint64_t>(2, stop - q)));
                if (!pair || stop - q < 2) return cut();
                if (pair[1] == 0x00 || (pair[1] >= 0xD0 && pair[1] <= 0xD7)) {
                    q += 2;
                    continue;
                }
                break;
            }
            p = q;
            continue;
        }
        p = next;
    }
}

// An 'mjpb' field header: reserved word, 'mjpg', field size, padded size, next field, then the
// offsets of the tables, the frame header, the scan header and the data, all within the field.
JpegRecogniser::Field JpegRecogniser::ParseFieldB(MediaWindow& w, uint64_t pos, uint64_t end) const {
    Field f;
    if (end - pos < 36) {
        const uint8_t* b = w.Get(pos, size_t(end - pos));
        if (b && end - pos >= 8 && std::memcmp(b + 4, "mjpg", 4) == 0) f.kind = VideoMatch::CutOff;
        return f;
    }
    const uint8_t* b = w.Get(pos, 36);
    if (!b || std::memcmp(b + 4, "mjpg", 4) != 0) return f;
    const uint32_t fieldSize = Be32(b + 8), padded = Be32(b + 12), sof = Be32(b + 28), sos = Be32(b + 32);
    if (fieldSize < 36 || padded < fieldSize || padded > limit_ || sof == 0 || sof + 7 > fieldSize || sos >= fieldSize)
        return f;
    if (end - pos < padded) {
        f.kind = VideoMatch::CutOff;
        return f;
    }
    const uint8_t* s = w.Get(pos + sof, 7);
    if (!s) return f;
    f.height = Be16(s + 3);
    f.width = Be16(s + 5);
    f.nextField = Be32(b + 16);
    f.size = padded;
    f.kind = f.width ? VideoMatch::Whole : VideoMatch::None;
    return f;
}

VideoMatch JpegRecogniser::MatchB(MediaWindow& w, uint64_t pos, uint64_t end) {
    VideoMatch m;
    Field first = ParseFieldB(w, pos, end);
    m.kind = first.kind;
    if (first.kind != VideoMatch::Whole) return m;
    m.size = first.size;
    m.width = first.width;
    m.height = first.height;
    if (first.nextField != 0) {
        if (first.nextField < first.size || first.nextField > limit_ || pos + first.nextField >= end) {
            m.kind = first.nextField < first.size ? VideoMatch::None : VideoMatch::CutOff;
            return m;
        }
        Field second = ParseFieldB(w, pos + first.nextField, end);
        m.kind = second.kind;
        m.size = first.nextField + second.size;
        m.height += second.height;
    }
    return m;
}

VideoMatch JpegRecogniser::Match(MediaWindow& w, uint64_t pos, uint64_t end) {
    VideoMatch m = MatchImages(w, pos, end);
    // An encoder never writes a kilobyte of zeros into a picture: such an image was overwritten
    // in part (zeros where blocks of the recording were lost).
    if (m.kind == VideoMatch::Whole && w.HasZeroRun(pos, m.size, 1024)) m.kind = VideoMatch::CutOff;
    return m;
}

VideoMatch JpegRecogniser::MatchImages(MediaWindow& w, uint64_t pos, uint64_t end) {
    if (pos >= end) return {};
    if (markerless_) return MatchB(w, pos, end);
    VideoMatch m;
    Field first = ParseField(w, pos, end, limit_);
    m.kind = first.kind;
    if (first.kind != VideoMatch::Whole || first.size < kSmallest) {
        if (first.kind == VideoMatch::Whole) m.kind = VideoMatch::None;
        return m;
    }
    m.size = first.size;
    m.width = first.width;
    m.height = first.height;
    // A field image (half the description's height) is followed by its second field: where its
    // header says ('mjpa'), else right after the first, past any padding.
    if (first.height * 2 <= uint32_t(height_) + 1) {
        uint64_t second = first.nextField >= first.size ? pos + first.nextField : pos + first.size;
        if (first.nextField < first.size) {
            for (int pad = 0; pad < 16 && second < end; ++pad, ++second) {
                const uint8_t* b = w.Get(second, 1);
                if (!b || b[0] != 0x00) break;
            }
        }
        if (second >= end) {
            m.kind = VideoMatch::CutOff;
            return m;
        }
        Field f2 = ParseField(w, second, end, limit_);
        m.kind = f2.kind;
        if (f2.kind != VideoMatch::Whole) return m;
        m.size = second + f2.size - pos;
        m.height = first.height + f2.height;
    }
    return m;
}

bool JpegRecogniser::EndsSample(MediaWindow& w, uint64_t pos) {
    if (markerless_ || pos < 2) return false;
    const uint8_t* b = w.Get(pos - 2, 2);
    return b && b[0] == 0xFF && b[1] == 0xD9;
}

std::string JpegRecogniser::Sniff(MediaWindow& w, uint64_t pos, uint64_t end) {
    Field f = ParseField(w, pos, end, 64u << 20);
    if (f.kind == VideoMatch::None || f.width == 0) return "";
    return "Motion-JPEG " + std::to_string(f.width) + "x" + std::to_string(f.height);
}

}  // namespace movie::repair
