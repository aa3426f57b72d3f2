// The H.264 parameter sets a repair needs to read slice headers: from the template's 'avcC', and
// any the stream carries itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace movie::repair {

struct AvcSps {
    uint32_t log2MaxFrameNum = 4;
    uint32_t pocType = 0;
    uint32_t log2MaxPocLsb = 4;
    bool frameMbsOnly = true;
    bool separateColourPlane = false;
    uint32_t widthMbs = 0, heightMbs = 0;  // the frame's, in macroblocks
};

struct AvcPps {
    uint32_t spsId = 0;
    bool bottomFieldPicOrderPresent = false;
};

// What a slice header says up to its picture order count.
struct AvcSlice {
    uint8_t type = 0;  // NAL unit type, 1 or 5
    uint8_t refIdc = 0;
    uint32_t firstMb = 0;
    uint32_t sliceType = 0;
    uint32_t ppsId = 0;
    uint32_t frameNum = 0;
    bool field = false, bottom = false;
    uint32_t idrPicId = 0;
    uint32_t pocLsb = 0;
    bool hasPoc = false;
};

class AvcParameters {
public:
    // Reads an 'avcC' body: the NAL length size and the parameter sets. False when malformed.
    bool ParseConfig(const std::vector<uint8_t>& avcC);
    int LengthSize() const { return lengthSize_; }
    // Parses an SPS or PPS NAL unit (header byte included); false when it does not parse. With
    // `replace` false a set whose id is known already is left as it was.
    bool AddSps(const uint8_t* nal, size_t size, bool replace = true);
    bool AddPps(const uint8_t* nal, size_t size, bool replace = true);
    // Parses the start of a slice NAL unit (header byte included; the first bytes are enough);
    // false when it names no known parameter set or a field is out of range.
    bool ParseSlice(const uint8_t* nal, size_t size, AvcSlice& out) const;
    const AvcSps* SpsOfPps(uint32_t ppsId) const;

private:
    int lengthSize_ = 4;
    std::map<uint32_t, AvcSps> sps_;
    std::map<uint32_t, AvcPps> pps_;
};

// A NAL unit's payload with the emulation-prevention bytes (00 00 03) removed, at most `limit` bytes.
std::vector<uint8_t> UnescapeNal(const uint8_t* data, size_t size, size_t limit);

}  // namespace movie::repair
