// Sound out through the default waveOut device, without callbacks or threads: a few buffers are
// queued ahead and refilled whenever the owner calls Feed (on its timer ticks); finished buffers
// are found by their WHDR_DONE flag. Owns the device, the headers and the buffers.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace movie {

class WaveOutput {
public:
    static constexpr int kBuffers = 6;
    static constexpr int kBufferMillis = 80;

    // Fills up to `frames` frames; fewer means the sound ends there.
    using Fill = std::function<size_t(int16_t* samples, size_t frames)>;

    // The default device for 16-bit PCM at rate and channels; null when there is no device or it
    // refuses the format.
    static std::unique_ptr<WaveOutput> Open(int rate, int channels);
    WaveOutput(const WaveOutput&) = delete;
    WaveOutput& operator=(const WaveOutput&) = delete;
    ~WaveOutput();

    // Queues every free buffer, filled by `fill`, until the sound's end.
    void Feed(const Fill& fill);
    // Stops the flow at once and takes every buffer back; the next Feed starts a new stream and
    // the position counts from 0 again.
    void Stop();
    // Frames played since the open or the last Stop; -1 when the device cannot tell.
    int64_t PlayedFrames() const;
    // True once the sound's end was queued and every buffer has been played.
    bool Finished() const;
    int Rate() const { return rate_; }
    int Channels() const { return channels_; }

private:
    WaveOutput(HWAVEOUT device, int rate, int channels);
    // Written and not yet played; the device's own thread sets WHDR_DONE.
    bool Queued(int i) const;

    HWAVEOUT device_;
    int rate_, channels_;
    size_t framesPerBuffer_;
    std::vector<std::vector<int16_t>> buffers_;
    std::vector<WAVEHDR> headers_;
    std::vector<bool> written_;
    bool ended_ = false;
};

}  // namespace movie
