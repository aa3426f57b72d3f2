// The ffmpeg command's own decode of a corpus clip, as the reference the decoders are held to.
// The tests need ffmpeg: without it they fail (tools/bootstrap.sh installs it), never skip.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "picture_compare.h"

namespace reference {

using Bytes = std::vector<uint8_t>;

inline const std::string kCorpus = std::string(TEST_DATA_DIR) + "/corpus/";

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// ffmpeg's standard output for the given arguments (quiet, no prompts).
inline Bytes Ffmpeg(const std::string& args) {
    static const bool present = std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
    if (!present) {
        ADD_FAILURE() << "ffmpeg is not installed: the decoder tests compare against it (apt-get install ffmpeg)";
        return {};
    }
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error " + args + " 2>/dev/null";
    Bytes out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    uint8_t buffer[1 << 16];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.insert(out.end(), buffer, buffer + n);
    pclose(pipe);
    return out;
}

// The first frame presented at or after `seconds`, scaled bilinearly to width x height, as BGRA.
inline Bytes FrameBgra(const std::string& clip, double seconds, int width, int height, bool ignoreEdits = false) {
    char args[512];
    std::snprintf(args, sizeof args,
                  "%s-ss %.6f -i '%s' -frames:v 1 -vf scale=%d:%d:flags=bilinear -pix_fmt bgra -f rawvideo -",
                  ignoreEdits ? "-ignore_editlist 1 " : "", seconds, (kCorpus + clip).c_str(), width, height);
    return Ffmpeg(args);
}

// The first sound stream from the start, as interleaved signed 16-bit samples.
inline std::vector<int16_t> SoundS16(const std::string& clip, int rate, int channels) {
    const Bytes raw = Ffmpeg("-i '" + kCorpus + clip + "' -map 0:a:0 -ar " + std::to_string(rate) + " -ac " +
                             std::to_string(channels) + " -f s16le -");
    std::vector<int16_t> samples(raw.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(raw[2 * i] | (raw[2 * i + 1] << 8));
    return samples;
}

}  // namespace reference
