// Builds atoms in memory: big-endian fields, and nesting whose sizes are filled in when an atom ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace movie::repair {

class AtomBuffer {
public:
    void Begin(uint32_t type);
    void BeginFull(uint32_t type, uint8_t version, uint32_t flags);
    void End();
    void Put8(uint8_t v) { bytes_.push_back(v); }
    void Put16(uint16_t v);
    void Put32(uint32_t v);
    void Put64(uint64_t v);
    void Put(const uint8_t* data, size_t size) { bytes_.insert(bytes_.end(), data, data + size); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    size_t Size() const { return bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
    std::vector<size_t> open_;
};

}  // namespace movie::repair
