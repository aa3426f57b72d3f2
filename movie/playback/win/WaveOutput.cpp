#include "movie/playback/win/WaveOutput.h"

namespace movie {

std::unique_ptr<WaveOutput> WaveOutput::Open(int rate, int channels) {
    if (rate <= 0 || channels < 1 || channels > 2) return nullptr;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return nullptr;
    return std::unique_ptr<WaveOutput>(new WaveOutput(device, rate, channels));
}

WaveOutput::WaveOutput(HWAVEOUT device, int rate, int channels)
    : device_(device), rate_(rate), channels_(channels),
      framesPerBuffer_(static_cast<size_t>(rate) * kBufferMillis / 1000 + 1),
      buffers_(kBuffers), headers_(kBuffers), written_(kBuffers, false) {
    for (int i = 0; i < kBuffers; ++i) {
        buffers_[i].resize(framesPerBuffer_ * static_cast<size_t>(channels));
        WAVEHDR& header = headers_[i];
        header = WAVEHDR{};
        header.lpData = reinterpret_cast<LPSTR>(buffers_[i].data());
        header.dwBufferLength = static_cast<DWORD>(buffers_[i].size() * sizeof(int16_t));
        waveOutPrepareHeader(device_, &header, sizeof(header));
    }
}

WaveOutput::~WaveOutput() {
    waveOutReset(device_);
    for (WAVEHDR& header : headers_) waveOutUnprepareHeader(device_, &header, sizeof(header));
    waveOutClose(device_);
}

void WaveOutput::Feed(const Fill& fill) {
    for (int i = 0; i < kBuffers && !ended_; ++i) {
        WAVEHDR& header = headers_[i];
        if (Queued(i)) continue;
        const size_t frames = fill(buffers_[i].data(), framesPerBuffer_);
        if (frames < framesPerBuffer_) ended_ = true;
        if (frames == 0) continue;
        header.dwBufferLength = static_cast<DWORD>(frames * static_cast<size_t>(channels_) * sizeof(int16_t));
        header.dwFlags &= ~WHDR_DONE;
        written_[i] = waveOutWrite(device_, &header, sizeof(header)) == MMSYSERR_NOERROR;
    }
}

void WaveOutput::Stop() {
    waveOutReset(device_);
    written_.assign(kBuffers, false);
    ended_ = false;
}

int64_t WaveOutput::PlayedFrames() const {
    MMTIME time{};
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(device_, &time, sizeof(time)) != MMSYSERR_NOERROR) return -1;
    if (time.wType == TIME_SAMPLES) return time.u.sample;
    if (time.wType == TIME_BYTES) return time.u.cb / (static_cast<DWORD>(channels_) * 2);
    return -1;
}

bool WaveOutput::Queued(int i) const {
    const volatile DWORD& flags = headers_[static_cast<size_t>(i)].dwFlags;
    return written_[static_cast<size_t>(i)] && !(flags & WHDR_DONE);
}

bool WaveOutput::Finished() const {
    if (!ended_) return false;
    for (int i = 0; i < kBuffers; ++i)
        if (Queued(i)) return false;
    return true;
}

}  // namespace movie
