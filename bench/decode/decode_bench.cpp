// Playback's video path per frame: decode, colour conversion and scaling of each frame of a clip
// in turn, the way playback asks for them. Builds natively and for Windows (run under Wine).
// Usage: decode_bench CLIP [WIDTH HEIGHT [PASSES]]   prints the per-frame time of each pass.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "movie/container/MovieReader.h"
#include "movie/decode/VideoDecoder.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CLIP [WIDTH HEIGHT [PASSES]]\n", argv[0]);
        return 2;
    }
    const int width = argc > 3 ? std::atoi(argv[2]) : 358, height = argc > 3 ? std::atoi(argv[3]) : 266;
    const int passes = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
    movie::Movie m;
    if (movie::ReadMovieFile(argv[1], m) != movie::ReadResult::Ok) {
        std::fprintf(stderr, "%s: not a movie\n", argv[1]);
        return 1;
    }
    movie::VideoDecoder decoder(m, movie::FileSource::Open(argv[1]));
    if (!decoder.Supported()) {
        std::fprintf(stderr, "%s: no video we decode\n", argv[1]);
        return 1;
    }
    std::vector<double> perFrame;
    size_t frames = 0;
    for (int pass = 0; pass < passes; ++pass) {
        frames = 0;
        const auto start = std::chrono::steady_clock::now();
        movie::VideoDecoder::Picture p;
        for (uint64_t t = 0; t < decoder.Duration(); t = decoder.NextFrameTime(t)) {
            if (decoder.FrameAt(t, width, height, p) != movie::VideoDecoder::Status::Shown) return 1;
            ++frames;
        }
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        perFrame.push_back(took.count() / double(frames));
        std::printf("pass %d: %zu frames at %dx%d, %.3f ms a frame\n", pass + 1, frames, width, height, perFrame.back());
    }
    std::sort(perFrame.begin(), perFrame.end());
    std::printf("median %.3f ms a frame\n", perFrame[perFrame.size() / 2]);
    return 0;
}
