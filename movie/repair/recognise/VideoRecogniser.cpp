#include "movie/repair/recognise/VideoRecogniser.h"

#include <algorithm>
#include <cstring>

namespace movie::repair {

namespace {

constexpr size_t kBlock = 256u << 10;

}  // namespace

uint64_t VideoRecogniser::Find(MediaWindow& w, uint64_t from, uint64_t limit, uint64_t end) {
    const size_t probe = ProbeBytes();
    limit = std::min(limit, end);
    uint64_t pos = from;
    while (pos < limit) {
        // A block of candidate positions and the probe bytes after the last of them.
        const size_t positions = size_t(std::min<uint64_t>(kBlock, limit - pos));
        const size_t want = size_t(std::min<uint64_t>(positions + probe, end - pos));
        const uint8_t* d = w.Get(pos, want, MediaWindow::kScan);
        if (!d) return limit;
        const size_t checkable = want >= probe ? std::min(positions, want - probe + 1) : 0;
        for (size_t i = 0; i < checkable; ++i) {
            if (d[i] == 0 && i + 16 < checkable) {
                // Runs of zeros (a preallocated tail) are passed over a word at a time, stopping a
                // little before their end: a length prefix may begin with zeros.
                size_t j = i;
                while (j + 8 <= checkable) {
                    uint64_t word;
                    std::memcpy(&word, d + j, 8);
                    if (word != 0) break;
                    j += 8;
                }
                if (j > i + 8) {
                    i = j - 8;
                    continue;
                }
            }
            if (!MayStart(d + i)) continue;
            const uint64_t at = pos + i;
            if (Match(w, at, end).kind != VideoMatch::None) return at;
            // Match may have moved the window: fetch the block again.
            d = w.Get(pos, want, MediaWindow::kScan);
            if (!d) return limit;
        }
        if (checkable == 0) {
            // Fewer bytes than a probe needs remain: try each position as it is.
            for (uint64_t at = pos; at < limit; ++at)
                if (Match(w, at, end).kind != VideoMatch::None) return at;
            return limit;
        }
        pos += checkable;
    }
    return limit;
}

}  // namespace movie::repair
