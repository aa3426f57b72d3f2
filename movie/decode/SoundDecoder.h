// The sound of a movie's sound track as signed 16-bit interleaved PCM at a chosen rate and channel
// count, decoded with FFmpeg and following the track's edit list. Portable (no Windows headers, no
// FFmpeg in this header). One decoder is used from one thread; two decoders of one movie each need
// their own ByteSource (open the file twice). Opening a decoder silences FFmpeg's own log for the
// process (a GUI program has no console).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "movie/container/MovieReader.h"

namespace movie {

class SoundDecoder {
public:
    // Opens sound track `trackIndex` of `movie`, or with -1 its first enabled sound track that has
    // samples, for output at `rate` Hz (8000 to 192000) with `channels` channels (1 or 2; a mono
    // track plays on both of two channels at full level). Reads through `source`, which it keeps.
    // Bad input never throws: check Supported().
    SoundDecoder(const Movie& movie, std::unique_ptr<ByteSource> source, int rate, int channels,
                 int trackIndex = -1);
    ~SoundDecoder();
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;

    bool HasSound() const;      // the movie has the sound track asked for
    bool Supported() const;     // ...its codec decodes here, and the output format is valid
    uint32_t Codec() const;     // the track's codec fourcc (0 without a track)
    int Rate() const;           // output rate and channels, as asked for
    int Channels() const;
    uint64_t Duration() const;  // the track's presentation length in movie time units

    // Moves to `movieTime` (movie time-scale units): the next Read starts with the sound there.
    void Seek(uint64_t movieTime);
    // Writes up to `frames` frames (frames * Channels() samples) to `out` and returns how many it
    // wrote: fewer only at the end of the track, 0 after it. Empty edits, and stretches whose samples
    // cannot be read or decoded, give silence, so the sound keeps its place on the movie timeline.
    size_t Read(int16_t* out, size_t frames);
    // Output frames from movie time 0 to where the next Read starts.
    uint64_t Position() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace movie
