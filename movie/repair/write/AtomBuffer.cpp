#include "movie/repair/write/AtomBuffer.h"

namespace movie::repair {

void AtomBuffer::Begin(uint32_t type) {
    open_.push_back(bytes_.size());
    Put32(0);
    Put32(type);
}

void AtomBuffer::BeginFull(uint32_t type, uint8_t version, uint32_t flags) {
    Begin(type);
    Put32((uint32_t(version) << 24) | (flags & 0xFFFFFF));
}

void AtomBuffer::End() {
    const size_t at = open_.back();
    open_.pop_back();
    const uint32_t size = uint32_t(bytes_.size() - at);
    bytes_[at] = uint8_t(size >> 24);
    bytes_[at + 1] = uint8_t(size >> 16);
    bytes_[at + 2] = uint8_t(size >> 8);
    bytes_[at + 3] = uint8_t(size);
}

void AtomBuffer::Put16(uint16_t v) {
    Put8(uint8_t(v >> 8));
    Put8(uint8_t(v));
}

void AtomBuffer::Put32(uint32_t v) {
    Put16(uint16_t(v >> 16));
    Put16(uint16_t(v));
}

void AtomBuffer::Put64(uint64_t v) {
    Put32(uint32_t(v >> 32));
    Put32(uint32_t(v));
}

}  // namespace movie::repair
