// Bounded, windowed reads of a damaged file's media: the walk looks at a few bytes here and there
// (headers, markers) and scans stretches sequentially, never holding more than one window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "movie/container/MovieReader.h"

namespace movie::repair {

class MediaWindow {
public:
    // How much a refill reads at least: a peek reads little (the walk skips most sample bytes
    // unread); a scan reads ahead in large blocks.
    static constexpr size_t kPeek = 4096;
    static constexpr size_t kScan = 1u << 20;

    // A window of `capacity` bytes (at least kScan), or of the source's size when that is smaller.
    explicit MediaWindow(ByteSource& source, size_t capacity = 4u << 20);

    uint64_t Size() const { return size_; }
    // `count` bytes at `offset`, valid until the next call; null when they run past the end, when
    // `count` exceeds the capacity or the read fails (then Failed() is true).
    const uint8_t* Get(uint64_t offset, size_t count, size_t ahead = kPeek);
    // As many bytes as are available at `offset`, up to `want` (at most the capacity); 0 at the end.
    size_t GetSome(uint64_t offset, size_t want, const uint8_t*& data, size_t ahead = kScan);
    // Whether [offset, offset + count) holds `run` zero bytes in a row (coded pictures never do:
    // zeros there were written in place of them). False when the bytes cannot be read.
    bool HasZeroRun(uint64_t offset, uint64_t count, size_t run);
    bool Failed() const { return failed_; }
    uint64_t BytesRead() const { return bytesRead_; }

private:
    bool Fill(uint64_t offset, size_t count, size_t ahead);

    ByteSource& source_;
    uint64_t size_;
    size_t capacity_;
    std::unique_ptr<uint8_t[]> buffer_;
    uint64_t base_ = 0;
    size_t length_ = 0;
    bool failed_ = false;
    uint64_t bytesRead_ = 0;
};

}  // namespace movie::repair
