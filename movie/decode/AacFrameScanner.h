// Finds where raw AAC frames end, by decoding them with libavcodec: raw frames carry no length or
// sync word, so only the decoder knows where one ends. Portable (no FFmpeg in this header).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace movie {

class AacFrameScanner {
public:
    // For the AAC configuration in an 'esds' body. Check Ready().
    explicit AacFrameScanner(const std::vector<uint8_t>& esds);
    ~AacFrameScanner();
    AacFrameScanner(const AacFrameScanner&) = delete;
    AacFrameScanner& operator=(const AacFrameScanner&) = delete;

    bool Ready() const;
    // The lengths of the frames that decode back to back from the start of `data`, at most
    // `maxFrames` of them, appended to `lengths`; returns how many. A frame cut short by the end
    // of `data` is not counted.
    size_t Scan(const uint8_t* data, size_t size, size_t maxFrames, std::vector<uint32_t>& lengths);
    // The longest frame the configuration allows.
    size_t MaxFrameBytes() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace movie
