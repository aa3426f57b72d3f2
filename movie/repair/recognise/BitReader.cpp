#include "movie/repair/recognise/BitReader.h"

namespace movie::repair {

uint32_t BitReader::Bits(int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) {
        if (pos_ >= size_ * 8) {
            ok_ = false;
            return 0;
        }
        v = (v << 1) | ((data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1);
        ++pos_;
    }
    return v;
}

void BitReader::Skip(size_t count) {
    if (count > Left()) {
        ok_ = false;
        pos_ = size_ * 8;
    } else {
        pos_ += count;
    }
}

uint32_t BitReader::Ue() {
    int zeros = 0;
    while (!Bit()) {
        if (!ok_ || ++zeros > 31) {
            ok_ = false;
            return 0;
        }
    }
    return zeros == 0 ? 0 : (1u << zeros) - 1 + Bits(zeros);
}

int32_t BitReader::Se() {
    const uint32_t k = Ue();
    return k & 1 ? int32_t((k + 1) / 2) : -int32_t(k / 2);
}

}  // namespace movie::repair
