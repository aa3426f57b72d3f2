#include "movie/repair/recognise/AvcParameters.h"

#include <algorithm>

#include "movie/repair/recognise/BitReader.h"

namespace movie::repair {

namespace {

bool HighProfile(uint32_t profile) {
    switch (profile) {
        case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118: case 128: case 138: case 139:
        case 134: case 135: return true;
        default: return false;
    }
}

void SkipScalingList(BitReader& r, int size) {
    int last = 8, next = 8;
    for (int j = 0; j < size && r.Ok(); ++j) {
        if (next != 0) next = (last + r.Se() + 256) % 256;
        last = next == 0 ? last : next;
    }
}

}  // namespace

std::vector<uint8_t> UnescapeNal(const uint8_t* data, size_t size, size_t limit) {
    std::vector<uint8_t> out;
    out.reserve(std::min(size, limit));
    int zeros = 0;
    for (size_t i = 0; i < size && out.size() < limit; ++i) {
        if (zeros >= 2 && data[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = data[i] == 0 ? zeros + 1 : 0;
        out.push_back(data[i]);
    }
    return out;
}

bool AvcParameters::ParseConfig(const std::vector<uint8_t>& c) {
    if (c.size() < 7 || c[0] != 1) return false;
    lengthSize_ = (c[4] & 3) + 1;
    if (lengthSize_ == 3) return false;
    size_t pos = 5;
    for (int kind = 0; kind < 2; ++kind) {
        if (pos >= c.size()) return false;
        const int count = kind == 0 ? c[pos] & 0x1F : c[pos];
        ++pos;
        for (int i = 0; i < count; ++i) {
            if (c.size() - pos < 2) return false;
            const size_t len = size_t(c[pos] << 8 | c[pos + 1]);
            pos += 2;
            if (c.size() - pos < len) return false;
            const bool ok = kind == 0 ? AddSps(c.data() + pos, len) : AddPps(c.data() + pos, len);
            if (!ok) return false;
            pos += len;
        }
    }
    return !sps_.empty() && !pps_.empty();
}

bool AvcParameters::AddSps(const uint8_t* nal, size_t size, bool replace) {
    if (size < 4 || (nal[0] & 0x1F) != 7) return false;
    const std::vector<uint8_t> p = UnescapeNal(nal + 1, size - 1, 1024);
    BitReader r(p.data(), p.size());
    const uint32_t profile = r.Bits(8);
    r.Skip(16);  // constraint flags, level
    const uint32_t id = r.Ue();
    AvcSps s;
    if (HighProfile(profile)) {
        const uint32_t chroma = r.Ue();
        if (chroma > 3) return false;
        if (chroma == 3) s.separateColourPlane = r.Bit();
        r.Ue();  // luma and chroma bit depths
        r.Ue();
        r.Skip(1);
        if (r.Bit()) {
            for (int i = 0; i < (chroma != 3 ? 8 : 12) && r.Ok(); ++i)
                if (r.Bit()) SkipScalingList(r, i < 6 ? 16 : 64);
        }
    }
    s.log2MaxFrameNum = r.Ue() + 4;
    s.pocType = r.Ue();
    if (s.pocType == 0) {
        s.log2MaxPocLsb = r.Ue() + 4;
    } else if (s.pocType == 1) {
        r.Skip(1);
        r.Se();
        r.Se();
        const uint32_t cycle = r.Ue();
        if (cycle > 255) return false;
        for (uint32_t i = 0; i < cycle; ++i) r.Se();
    }
    r.Ue();  // reference frames
    r.Skip(1);
    s.widthMbs = r.Ue() + 1;
    const uint32_t mapUnits = r.Ue() + 1;
    s.frameMbsOnly = r.Bit();
    s.heightMbs = mapUnits * (s.frameMbsOnly ? 1 : 2);
    if (!r.Ok() || id > 31 || s.log2MaxFrameNum > 16 || s.pocType > 2 || s.log2MaxPocLsb > 16 || s.widthMbs > 1024 ||
        s.heightMbs > 1024)
        return false;
    if (replace || !sps_.count(id)) sps_[id] = s;
    return true;
}

bool AvcParameters::AddPps(const uint8_t* nal, size_t size, bool replace) {
    if (size < 2 || (nal[0] & 0x1F) != 8) return false;
    const std::vector<uint8_t> p = UnescapeNal(nal + 1, size - 1, 64);
    BitReader r(p.data(), p.size());
    const uint32_t id = r.Ue();
    AvcPps pps;
    pps.spsId = r.Ue();
    r.Skip(1);  // entropy coding mode
    pps.bottomFieldPicOrderPresent = r.Bit();
    if (!r.Ok() || id > 255 || !sps_.count(pps.spsId)) return false;
    if (replace || !pps_.count(id)) pps_[id] = pps;
    return true;
}

const AvcSps* AvcParameters::SpsOfPps(uint32_t ppsId) const {
    auto p = pps_.find(ppsId);
    if (p == pps_.end()) return nullptr;
    auto s = sps_.find(p->second.spsId);
    return s == sps_.end() ? nullptr : &s->second;
}

bool AvcParameters::ParseSlice(const uint8_t* nal, size_t size, AvcSlice& out) const {
    if (size < 2) return false;
    out.type = nal[0] & 0x1F;
    out.refIdc = (nal[0] >> 5) & 3;
    const std::vector<uint8_t> p = UnescapeNal(nal + 1, size - 1, 48);
    BitReader r(p.data(), p.size());
    out.firstMb = r.Ue();
    out.sliceType = r.Ue();
    out.ppsId = r.Ue();
    if (!r.Ok() || out.sliceType > 9) return false;
    const AvcSps* sps = SpsOfPps(out.ppsId);
    if (!sps || out.firstMb >= sps->widthMbs * sps->heightMbs) return false;
    // An IDR picture holds I (or SI) slices only.
    if (out.type == 5 && out.sliceType % 5 != 2 && out.sliceType % 5 != 4) return false;
    if (sps->separateColourPlane) r.Skip(2);
    out.frameNum = r.Bits(int(sps->log2MaxFrameNum));
    if (out.type == 5 && out.frameNum != 0) return false;
    out.field = out.bottom = false;
    if (!sps->frameMbsOnly) {
        out.field = r.Bit();
        if (out.field) out.bottom = r.Bit();
    }
    out.idrPicId = out.type == 5 ? r.Ue() : 0;
    out.hasPoc = sps->pocType == 0;
    if (out.hasPoc) out.pocLsb = r.Bits(int(sps->log2MaxPocLsb));
    return r.Ok();
}

}  // namespace movie::repair
