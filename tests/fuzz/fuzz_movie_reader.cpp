// Feeds arbitrary bytes to the movie reader, then walks every track's samples (up to a bound)
// forwards and a few backwards, so the sample-table arithmetic is exercised too.
#include <cstddef>
#include <cstdint>

#include "movie/container/MovieReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    movie::MemorySource source(data, size);
    movie::Movie m;
    if (movie::ReadMovie(source, m) != movie::ReadResult::Ok) return 0;
    if (m.timeScale == 0) __builtin_trap();  // a movie that was read has a time scale
    if (m.bytesRead > size) __builtin_trap();
    constexpr size_t kMaxSamples = 4096;
    for (const movie::Track& t : m.tracks) {
        movie::SampleInfo s;
        size_t n = t.SampleCount() < kMaxSamples ? t.SampleCount() : kMaxSamples;
        for (size_t i = 0; i < n; ++i) {
            if (t.Sample(i, s) && (s.offset > size || s.size > size - s.offset)) __builtin_trap();
        }
        for (size_t i = n; i-- > 0 && i + 16 > n;) t.Sample(i, s);
        t.Sample(t.SampleCount(), s);
        t.PresentationDuration();
    }
    return 0;
}
