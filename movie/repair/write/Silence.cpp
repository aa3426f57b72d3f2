#include "movie/repair/write/Silence.h"

#include "movie/repair/recognise/BitReader.h"

namespace movie::repair {

namespace {

// Writes bits most-significant first.
class BitWriter {
public:
    void Put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (bits_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_.back() |= uint8_t(0x80 >> (bits_ % 8));
            ++bits_;
        }
    }
    // Pads with zeros to a whole byte.
    std::vector<uint8_t> Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t bits_ = 0;
};

enum Element : uint32_t { kSce = 0, kCpe = 1, kLfe = 3, kEnd = 7 };

// A long-window channel stream without bands: nothing follows its side information.
void PutSilentChannel(BitWriter& w) {
    w.Put(100, 8);  // global gain: any value, no band uses it
    w.Put(0, 1);    // reserved
    w.Put(0, 2);    // window sequence: one long window
    w.Put(0, 1);    // window shape
    w.Put(0, 6);    // max_sfb: no bands, so no sections, scale factors or spectral data
    w.Put(0, 1);    // predictor (Main) or long-term prediction (LTP) data: none
    w.Put(0, 1);    // pulse data
    w.Put(0, 1);    // temporal noise shaping
    w.Put(0, 1);    // gain control
}

}  // namespace

std::vector<uint8_t> SilentAacFrame(const std::vector<uint8_t>& config) {
    BitReader r(config.data(), config.size());
    auto objectType = [&r] {
        const uint32_t t = r.Bits(5);
        return t == 31 ? 32 + r.Bits(6) : t;
    };
    auto skipRate = [&r] {
        if (r.Bits(4) == 0xF) r.Skip(24);
    };
    uint32_t type = objectType();
    skipRate();
    const uint32_t channels = r.Bits(4);
    if (type == 5 || type == 29) {  // SBR or PS signalled explicitly: the core follows
        skipRate();
        type = objectType();
    }
    if (!r.Ok() || (type != 1 && type != 2 && type != 4) || channels < 1 || channels > 7) return {};

    // The channel elements of each configuration, in order.
    static const std::vector<Element> kElements[8] = {
        {},
        {kSce},
        {kCpe},
        {kSce, kCpe},
        {kSce, kCpe, kSce},
        {kSce, kCpe, kCpe},
        {kSce, kCpe, kCpe, kLfe},
        {kSce, kCpe, kCpe, kCpe, kLfe},
    };
    BitWriter w;
    uint32_t tags[8] = {};  // each kind of element numbers its own instances
    for (Element e : kElements[channels]) {
        w.Put(e, 3);
        w.Put(tags[e]++, 4);
        if (e == kCpe) {
            w.Put(0, 1);  // no common window: each channel has its own side information
            PutSilentChannel(w);
        }
        PutSilentChannel(w);
    }
    w.Put(kEnd, 3);
    return w.Bytes();
}

std::vector<uint8_t> SilentAacFrameOf(const SoundLayout& layout) {
    uint8_t objectType = 0;
    std::vector<uint8_t> info;
    if (layout.family != SoundFamily::Aac || !ParseEsds(layout.config, objectType, info) || (objectType != 0x40 && (objectType < 0x66 || objectType > 0x68)))
        return {};
    return SilentAacFrame(info);
}

std::vector<uint8_t> SilentUnits(const SoundLayout& layout, const Track& track, uint64_t units) {
    if (layout.unitBytes == 0 || (layout.family != SoundFamily::Pcm && layout.family != SoundFamily::Ima4)) return {};
    uint8_t fill = 0;  // signed and float samples, and IMA4: a packet of zeros starts at 0 and stays there
    const uint32_t k = layout.codec;
    const bool oneByte = layout.family == SoundFamily::Pcm && layout.unitBytes == layout.channels;
    if (k == FourCC("ulaw")) fill = 0xFF;
    else if (k == FourCC("alaw")) fill = 0xD5;
    else if (oneByte && (k == FourCC("raw ") || k == FourCC("NONE") || (k == FourCC("lpcm") && !(track.lpcmFlags & 4))))
        fill = 0x80;  // unsigned 8-bit
    return std::vector<uint8_t>(size_t(units * layout.unitBytes), fill);
}

}  // namespace movie::repair
