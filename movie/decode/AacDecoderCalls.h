// The libavcodec and libavutil calls the AAC frame scan makes, bound on first use. Natively the
// shared libraries are loaded only then: a program that never scans AAC (cliprepair on DV or PCM
// sound) neither loads them nor the many libraries they pull in. The Windows build links them
// statically (win/AacDecoderCalls.cpp). Internal to the movie library.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace movie {

struct AacDecoderCalls {
    // The calls, or null when the libraries cannot be loaded (then no AAC can be scanned). FFmpeg's
    // log is silenced before they are handed out.
    static const AacDecoderCalls* Get();

    const AVCodec* (*findDecoder)(enum AVCodecID);
    AVCodecContext* (*allocContext)(const AVCodec*);
    void (*freeContext)(AVCodecContext**);
    int (*open)(AVCodecContext*, const AVCodec*, AVDictionary**);
    void (*flushBuffers)(AVCodecContext*);
    int (*sendPacket)(AVCodecContext*, const AVPacket*);
    int (*receiveFrame)(AVCodecContext*, AVFrame*);
    AVPacket* (*packetAlloc)();
    void (*packetFree)(AVPacket**);
    void (*packetUnref)(AVPacket*);
    int (*newPacket)(AVPacket*, int);
    AVFrame* (*frameAlloc)();
    void (*frameFree)(AVFrame**);
    void (*frameUnref)(AVFrame*);
    void* (*mallocz)(size_t);
    void (*logSetLevel)(int);
};

}  // namespace movie
