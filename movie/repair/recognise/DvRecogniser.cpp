#include "movie/repair/recognise/DvRecogniser.h"

namespace movie::repair {

namespace {

constexpr uint32_t kBlock = 80;
constexpr uint32_t kSequenceBytes = 150 * kBlock;

enum Section : uint8_t { kHeader = 0, kSubcode = 1, kVaux = 2, kAudio = 3, kVideo = 4 };

// A DIF block id: section type, sequence, channel and block number.
bool BlockIs(const uint8_t* b, Section section, uint32_t sequence, uint32_t channel, uint8_t number) {
    return (b[0] >> 5) == section && (b[1] >> 4) == sequence && ((b[1] >> 3) & 1) == channel && b[2] == number;
}

// The first DIF block of a frame: a header block of sequence 0, channel 0.
bool FrameHeader(const uint8_t* b) { return BlockIs(b, kHeader, 0, 0, 0) && (b[3] & 0x7F) == 0x3F; }

// The blocks at the start of a DIF sequence: header, two subcode, three VAUX, audio, video.
bool SequenceStart(const uint8_t* b, uint32_t sequence, uint32_t channel) {
    static const Section kOrder[8] = {kHeader, kSubcode, kSubcode, kVaux, kVaux, kVaux, kAudio, kVideo};
    static const uint8_t kNumber[8] = {0, 0, 1, 0, 1, 2, 0, 0};
    for (int i = 0; i < 8; ++i)
        if (!BlockIs(b + i * kBlock, kOrder[i], sequence, channel, kNumber[i])) return false;
    return true;
}

// Two BCD digits under `mask`; false when either is no decimal digit or the value passes `limit`.
bool Bcd(uint8_t byte, uint8_t mask, uint8_t limit, uint8_t& value) {
    const uint8_t b = byte & mask, tens = b >> 4, units = b & 0x0F;
    value = uint8_t(tens * 10 + units);
    return tens <= 9 && units <= 9 && value < limit;
}

// The time code pack (0x13) of a frame's subcode, as recorders write it into the SSYBs of the
// first sequence's two subcode blocks; unwritten packs are all ones.
bool SubcodeTimecode(const uint8_t* firstBlocks, VideoStamp& stamp) {
    for (int block = 1; block <= 2; ++block) {
        for (int ssyb = 0; ssyb < 6; ++ssyb) {
            const uint8_t* pack = firstBlocks + block * kBlock + 3 + ssyb * 8 + 3;
            if (pack[0] != 0x13) continue;
            uint8_t frames, seconds, minutes, hours;
            if (!Bcd(pack[1], 0x3F, 30, frames) || !Bcd(pack[2], 0x7F, 60, seconds) ||
                !Bcd(pack[3], 0x7F, 60, minutes) || !Bcd(pack[4], 0x3F, 24, hours))
                continue;
            stamp.hasTimecode = true;
            stamp.dropFrame = pack[1] & 0x40;
            stamp.hours = hours;
            stamp.minutes = minutes;
            stamp.seconds = seconds;
            stamp.frames = frames;
            return true;
        }
    }
    return false;
}

}  // namespace

DvRecogniser::DvRecogniser(const VideoLayout& layout)
    : frameBytes_(layout.dvFrameBytes), dv625_(layout.dv625), sequences_(layout.dv625 ? 12 : 10),
      channels_(layout.dvFrameBytes / ((layout.dv625 ? 12 : 10) * kSequenceBytes)) {}

bool DvRecogniser::MayStart(const uint8_t* p) const { return FrameHeader(p) && (p[3] >> 7) == (dv625_ ? 1 : 0); }

VideoMatch DvRecogniser::Match(MediaWindow& w, uint64_t pos, uint64_t end) {
    VideoMatch m;
    if (pos >= end) return m;
    const uint64_t available = end - pos;
    if (available < 8 * kBlock) {
        const uint8_t* b = w.Get(pos, size_t(std::min<uint64_t>(available, 4)));
        if (b && available >= 4 && MayStart(b)) m.kind = VideoMatch::CutOff;
        return m;
    }
    const uint8_t* b = w.Get(pos, 8 * kBlock, MediaWindow::kScan);
    if (!b || !MayStart(b) || !SequenceStart(b, 0, 0)) return m;
    if (available < frameBytes_) {
        m.kind = VideoMatch::CutOff;
        return m;
    }
    SubcodeTimecode(b, m.stamp);
    // Every sequence of every channel starts as a sequence does, and the frame's last block is the
    // last sequence's last video block: a frame cut short, or zeroed or overwritten over more than
    // a sequence's 12000 bytes anywhere, fails here.
    // A frame that starts here but is not whole is a damaged (or cut-off) sample.
    m.kind = VideoMatch::CutOff;
    const uint32_t lastSequence = sequences_ - 1, lastChannel = channels_ - 1;
    for (uint32_t channel = 0; channel < channels_; ++channel) {
        for (uint32_t sequence = channel == 0 ? 1 : 0; sequence < sequences_; ++sequence) {
            const uint64_t at = pos + (uint64_t(channel) * sequences_ + sequence) * kSequenceBytes;
            const uint8_t* start = w.Get(at, 8 * kBlock, MediaWindow::kScan);
            if (!start || !SequenceStart(start, sequence, channel)) return m;
        }
    }
    const uint8_t* tail = w.Get(pos + frameBytes_ - kBlock, 4, 4);
    if (!tail || !BlockIs(tail, kVideo, lastSequence, lastChannel, 134)) return m;
    m.kind = VideoMatch::Whole;
    m.size = frameBytes_;
    m.width = 720;
    m.height = dv625_ ? 576 : 480;
    return m;
}

bool DvRecogniser::EndsSample(MediaWindow& w, uint64_t pos) {
    if (pos < kBlock) return false;
    const uint8_t* b = w.Get(pos - kBlock, 4);
    return b && BlockIs(b, kVideo, sequences_ - 1, channels_ - 1, 134);
}

std::string DvRecogniser::Sniff(MediaWindow& w, uint64_t pos, uint64_t end) {
    if (end <= pos || end - pos < 8 * kBlock) return "";
    const uint8_t* b = w.Get(pos, 8 * kBlock);
    if (!b || !FrameHeader(b) || !SequenceStart(b, 0, 0)) return "";
    const bool is625 = b[3] >> 7;
    const uint64_t channelBytes = uint64_t(is625 ? 12 : 10) * kSequenceBytes;
    // At 50 Mbit/s the second channel's first sequence follows the first channel's.
    const uint8_t* second = end - pos >= channelBytes + 8 * kBlock ? w.Get(pos + channelBytes, 8 * kBlock) : nullptr;
    const bool dv50 = second && SequenceStart(second, 0, 1);
    return std::string(dv50 ? "DV50 " : "DV ") + (is625 ? "625/50" : "525/60");
}

}  // namespace movie::repair
