// The frames of a movie's video track, decoded with FFmpeg and converted for a Windows DIB.
// Portable (no Windows headers, no FFmpeg in this header). One decoder is used from one thread;
// two decoders of one movie each need their own ByteSource (open the file twice). Opening a
// decoder silences FFmpeg's own log for the process (a GUI program has no console).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "movie/container/MovieReader.h"

namespace movie {

class VideoDecoder {
public:
    enum class Status {
        Shown,        // `Picture` holds the frame presented at the time asked for
        Empty,        // nothing is presented then (an empty edit, no video track)
        Unsupported,  // the track's codec is not one we decode: show a neutral fill
        Failed,       // no frame could be decoded or converted there (damaged data, no memory)
    };

    // Pixels owned by the decoder, valid until its next FrameAt call or its destruction: top-down
    // rows of 32-bit pixels in DIB byte order B, G, R, 0xFF; `stride` == width * 4 bytes.
    struct Picture {
        const uint8_t* pixels = nullptr;
        int width = 0, height = 0;
        size_t stride = 0;
        size_t sample = 0;  // the track's sample (decode order) the frame came from
    };

    // Opens video track `trackIndex` of `movie`, or with -1 its first enabled video track that has
    // samples. Reads the samples' bytes through `source` (the movie's file), which it keeps.
    // Never throws on bad input: a movie without such a track, an unknown codec or a decoder
    // that will not open give Supported() == false.
    VideoDecoder(const Movie& movie, std::unique_ptr<ByteSource> source, int trackIndex = -1);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    bool HasVideo() const;        // the movie has the video track asked for
    bool Supported() const;       // ...and its codec decodes here
    uint32_t Codec() const;       // the track's codec fourcc (0 without a track)
    int Width() const;            // the sample description's size in pixels (DV: 720 x 480/576,
    int Height() const;           //   not square: the caller fits the display box)
    uint64_t Duration() const;    // the track's presentation length in movie time units
    // True when a frame is presented at `movieTime`: inside the track, not in an empty edit.
    bool Presents(uint64_t movieTime) const;

    // The frame presented at `movieTime` (movie time-scale units; times past the end give the
    // last frame), scaled to width x height (bilinear) as B, G, R, 0xFF pixels. The edit list is
    // honoured. Asking for successive times decodes forwards; a jump backwards or past a key
    // frame restarts from the key frame before the wanted frame. A sample that cannot be read or
    // decoded is skipped: the frame before it stays presented. width and height are 1 to 8192.
    Status FrameAt(uint64_t movieTime, int width, int height, Picture& out);

    // The movie time of the next frame change after `movieTime`, for timing playback: the next
    // frame's presentation, or the end of the segment holding `movieTime`. Duration() at the end.
    uint64_t NextFrameTime(uint64_t movieTime) const;
    // The movie time at which the frame presented at `movieTime` came on screen (the start of its
    // segment when it was already shown before); `movieTime` itself where nothing is presented.
    uint64_t FrameStartTime(uint64_t movieTime) const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace movie
