#include "movie/repair/recognise/AvcRecogniser.h"

#include <algorithm>

namespace movie::repair {

namespace {

constexpr size_t kHeaderBytes = 40;  // enough of a slice for its header up to the order count
constexpr int kMaxNals = 4096;

}  // namespace

AvcRecogniser::AvcRecogniser(const VideoLayout& layout)
    // No sample of a recording is far larger than the largest of its template: a bound that rules
    // out most of the lengths random bytes would give.
    : ready_(params_.ParseConfig(layout.config)),
      nalLimit_(std::max<uint64_t>(uint64_t(layout.largestSample) * 8, 1u << 20)),
      sampleLimit_(std::max<uint64_t>(uint64_t(layout.largestSample) * 8, 2u << 20)) {}

bool AvcRecogniser::ReadLength(const uint8_t* p, uint64_t& length) const {
    length = 0;
    for (int i = 0; i < params_.LengthSize(); ++i) length = (length << 8) | p[i];
    return length > 0;
}

AvcRecogniser::Nal AvcRecogniser::Classify(uint8_t header, uint64_t length) const {
    if ((header & 0x80) || length > nalLimit_) return Nal::Invalid;
    const uint8_t type = header & 0x1F, ref = (header >> 5) & 3;
    switch (type) {
        case 1: return length >= 2 ? Nal::Slice : Nal::Invalid;
        case 5: return ref != 0 && length >= 2 ? Nal::Slice : Nal::Invalid;
        case 7:
        case 8: return ref != 0 && length >= 2 ? Nal::StartsUnit : Nal::Invalid;
        case 6: return ref == 0 && length >= 2 ? Nal::StartsUnit : Nal::Invalid;
        case 9: return ref == 0 && length == 2 ? Nal::StartsUnit : Nal::Invalid;
        case 10:
        case 11: return ref == 0 && length == 1 ? Nal::Trailing : Nal::Invalid;
        case 12: return ref == 0 ? Nal::Trailing : Nal::Invalid;
        default: return Nal::Invalid;
    }
}

bool AvcRecogniser::MayStart(const uint8_t* p) const {
    uint64_t length;
    if (!ReadLength(p, length)) return false;
    const Nal n = Classify(p[params_.LengthSize()], length);
    return n == Nal::Slice || n == Nal::StartsUnit;
}

VideoMatch AvcRecogniser::Match(MediaWindow& w, uint64_t pos, uint64_t end) {
    VideoMatch m;
    if (!ready_ || pos >= end) return m;
    const size_t prefix = size_t(params_.LengthSize());
    bool sawSlice = false;
    AvcSlice first, last;
    int fields = 0;
    uint64_t p = pos;
    // The access unit ends at p: a sample if it held a picture.
    auto ends = [&]() {
        if (!sawSlice) return m;
        m.kind = VideoMatch::Whole;
        m.size = p - pos;
        VideoStamp& t = m.stamp;
        t.idr = first.type == 5;
        t.idrPicId = first.idrPicId;
        m.key = t.idr;
        t.refIdc = first.refIdc;
        const AvcSps* sps = params_.SpsOfPps(first.ppsId);
        t.pocBits = first.hasPoc && sps ? uint8_t(sps->log2MaxPocLsb) : 0;
        t.pocLsb = first.pocLsb;
        t.frameNum = first.frameNum;
        t.frameNumBits = sps ? uint8_t(sps->log2MaxFrameNum) : 0;
        return m;
    };
    auto cut = [&]() {
        m.kind = VideoMatch::CutOff;
        return m;
    };
    for (int count = 0; count < kMaxNals; ++count) {
        if (end - p < prefix + 1) return ends();
        const uint8_t* h = w.Get(p, prefix + 1);
        if (!h) return m;
        uint64_t length;
        if (!ReadLength(h, length)) return ends();
        const uint8_t header = h[prefix];
        const Nal kind = Classify(header, length);
        if (kind == Nal::Invalid || (kind == Nal::StartsUnit && sawSlice)) return ends();
        if (p - pos + prefix + length > sampleLimit_) return ends();
        const uint64_t available = end - p - prefix;
        const bool complete = length <= available;
        if (kind == Nal::Slice) {
            const size_t look = size_t(std::min<uint64_t>({length, available, kHeaderBytes}));
            // Too little left to read the slice header: a sample cut off at its start.
            if (!complete && look < kHeaderBytes && !sawSlice) return cut();
            const uint8_t* s = w.Get(p + prefix, look);
            AvcSlice slice;
            if (!s || !params_.ParseSlice(s, look, slice)) return ends();
            if (!sawSlice) {
                if (slice.firstMb != 0) return m;
                first = slice;
                fields = slice.field ? 1 : 0;
            } else {
                const bool samePicture = slice.firstMb > last.firstMb && slice.ppsId == last.ppsId &&
                                         slice.frameNum == last.frameNum && slice.type == last.type &&
                                         slice.field == last.field && slice.bottom == last.bottom;
                // The second field of a pair shares the sample with the first.
                const bool secondField = slice.firstMb == 0 && slice.field && fields == 1 &&
                                         slice.bottom != first.bottom && slice.frameNum == first.frameNum;
                if (secondField) fields = 2;
                else if (!samePicture) return ends();
            }
            if (!complete) return cut();
            // A NAL unit ends with its stop bit: a last byte of zero is a unit whose end was never
            // written (zeros where the recorder stopped).
            const uint8_t* tail = w.Get(p + prefix + length - 1, 1);
            if (!tail || *tail == 0) return cut();
            // Three zero bytes never stand in a NAL unit (an encoder escapes them): a slice with
            // them was overwritten with zeros in part.
            if (w.HasZeroRun(p + prefix, length, 3)) return cut();
            last = slice;
            sawSlice = true;
        } else if (!complete) {
            // What is cut off after a picture belongs to the next sample or to sound.
            return sawSlice ? ends() : cut();
        } else if (const uint8_t type = header & 0x1F; type == 7 || type == 8) {
            // Parameter sets the stream carries itself; those of the template are kept.
            const size_t n = size_t(std::min<uint64_t>(length, 1024));
            if (const uint8_t* ps = w.Get(p + prefix, n))
                type == 7 ? params_.AddSps(ps, n, false) : params_.AddPps(ps, n, false);
        }
        p += prefix + length;
    }
    return m;  // thousands of NAL units without a picture's end: not this stream
}

}  // namespace movie::repair
