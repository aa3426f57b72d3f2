// Reads bits most-significant first from a byte span, H.264 exp-Golomb codes included; reading
// past the end sets a flag and yields zeros, so a parser checks Ok() once after a run of reads.
#pragma once

#include <cstddef>
#include <cstdint>

namespace movie::repair {

class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint32_t Bits(int count);  // 0 to 32 bits
    bool Bit() { return Bits(1) != 0; }
    void Skip(size_t count);
    uint32_t Ue();  // unsigned exp-Golomb; codes longer than 32 bits set the failure flag
    int32_t Se();
    bool Ok() const { return ok_; }
    size_t Position() const { return pos_; }  // in bits
    size_t Left() const { return pos_ < size_ * 8 ? size_ * 8 - pos_ : 0; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace movie::repair
