#include "movie/repair/recognise/MediaWindow.h"

#include <algorithm>

namespace movie::repair {

MediaWindow::MediaWindow(ByteSource& source, size_t capacity)
    // Never larger than the whole source: no request can need more.
    : source_(source), size_(source.Size()),
      capacity_(size_t(std::min<uint64_t>(std::max<size_t>(capacity, kScan), std::max<uint64_t>(size_, kPeek)))),
      buffer_(new uint8_t[capacity_]) {}

bool MediaWindow::Fill(uint64_t offset, size_t count, size_t ahead) {
    const size_t want = size_t(std::min<uint64_t>(std::max(count, std::min(ahead, capacity_)), size_ - offset));
    if (!source_.ReadAt(offset, buffer_.get(), want)) {
        failed_ = true;
        length_ = 0;
        return false;
    }
    bytesRead_ += want;
    base_ = offset;
    length_ = want;
    return true;
}

const uint8_t* MediaWindow::Get(uint64_t offset, size_t count, size_t ahead) {
    if (offset > size_ || count > size_ - offset || count > capacity_) return nullptr;
    if (offset < base_ || offset - base_ > length_ || count > length_ - (offset - base_)) {
        if (!Fill(offset, count, ahead)) return nullptr;
    }
    return buffer_.get() + (offset - base_);
}

size_t MediaWindow::GetSome(uint64_t offset, size_t want, const uint8_t*& data, size_t ahead) {
    if (offset >= size_) return 0;
    const size_t count = size_t(std::min<uint64_t>({want, size_ - offset, capacity_}));
    if (count == 0) return 0;
    // Take what the window already holds rather than refilling for the rest.
    if (offset >= base_ && offset - base_ < length_) {
        data = buffer_.get() + (offset - base_);
        return std::min(count, size_t(length_ - (offset - base_)));
    }
    data = Get(offset, count, std::max(ahead, count));
    return data ? count : 0;
}

bool MediaWindow::HasZeroRun(uint64_t offset, uint64_t count, size_t run) {
    size_t zeros = 0;
    while (count > 0) {
        const uint8_t* d = nullptr;
        const size_t n = GetSome(offset, size_t(std::min<uint64_t>(count, kScan)), d);
        if (n == 0) return false;
        for (size_t i = 0; i < n; ++i) {
            if (d[i] != 0) {
                zeros = 0;
                continue;
            }
            if (++zeros >= run) return true;
        }
        offset += n;
        count -= n;
    }
    return false;
}

}  // namespace movie::repair
