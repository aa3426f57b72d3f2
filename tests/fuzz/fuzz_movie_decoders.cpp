// Feeds arbitrary bytes through the reader to the video and sound decoders: frames at a few times
// (forwards and back), some sound from the start and after a seek. Movies with many samples are
// passed over so that one input stays quick; the reader's own target covers their tables.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "movie/container/MovieReader.h"
#include "movie/decode/SoundDecoder.h"
#include "movie/decode/VideoDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    movie::MemorySource probe(data, size);
    movie::Movie m;
    if (movie::ReadMovie(probe, m) != movie::ReadResult::Ok) return 0;
    size_t samples = 0;
    for (const movie::Track& t : m.tracks)
        if (t.kind == movie::TrackKind::Video) samples += t.SampleCount();
    if (samples > 512) return 0;

    movie::VideoDecoder video(m, std::make_unique<movie::MemorySource>(data, size));
    movie::VideoDecoder::Picture p;
    const uint64_t end = video.Duration();
    for (uint64_t t : {end / 2, uint64_t(0), end, end / 3, video.NextFrameTime(0)}) {
        if (video.FrameAt(t, 33, 17, p) != movie::VideoDecoder::Status::Shown) continue;
        if (!p.pixels || p.stride != 33 * 4) __builtin_trap();
        for (size_t i = 3; i < p.stride * 17; i += 4)
            if (p.pixels[i] != 0xFF) __builtin_trap();
    }

    movie::SoundDecoder sound(m, std::make_unique<movie::MemorySource>(data, size), 22050, 2);
    int16_t buffer[2 * 1024];
    for (int i = 0; i < 8 && sound.Read(buffer, 1024) == 1024; ++i) {
    }
    sound.Seek(sound.Duration() / 2);
    sound.Read(buffer, 1024);
    return 0;
}
