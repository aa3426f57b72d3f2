#include "movie/decode/AacDecoderCalls.h"

#include <dlfcn.h>

extern "C" {
#include <libavutil/log.h>
}

namespace movie {

namespace {

// The libraries of the major versions the program was built against.
#define CLIPHARBOR_SONAME(lib, major) "lib" lib ".so." AV_STRINGIFY(major)

template <typename F>
bool Bind(void* library, const char* name, F& call) {
    call = reinterpret_cast<F>(dlsym(library, name));
    return call != nullptr;
}

bool Load(AacDecoderCalls& c) {
    // Never unloaded: the calls stay valid for the life of the process.
    void* util = dlopen(CLIPHARBOR_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
    void* codec = util ? dlopen(CLIPHARBOR_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (!codec) return false;
    return Bind(codec, "avcodec_find_decoder", c.findDecoder) && Bind(codec, "avcodec_alloc_context3", c.allocContext) &&
           Bind(codec, "avcodec_free_context", c.freeContext) && Bind(codec, "avcodec_open2", c.open) &&
           Bind(codec, "avcodec_flush_buffers", c.flushBuffers) && Bind(codec, "avcodec_send_packet", c.sendPacket) &&
           Bind(codec, "avcodec_receive_frame", c.receiveFrame) && Bind(codec, "av_packet_alloc", c.packetAlloc) &&
           Bind(codec, "av_packet_free", c.packetFree) && Bind(codec, "av_packet_unref", c.packetUnref) &&
           Bind(codec, "av_new_packet", c.newPacket) && Bind(util, "av_frame_alloc", c.frameAlloc) &&
           Bind(util, "av_frame_free", c.frameFree) && Bind(util, "av_frame_unref", c.frameUnref) &&
           Bind(util, "av_mallocz", c.mallocz) && Bind(util, "av_log_set_level", c.logSetLevel);
}

}  // namespace

const AacDecoderCalls* AacDecoderCalls::Get() {
    static const AacDecoderCalls* const calls = [] {
        static AacDecoderCalls c{};
        if (!Load(c)) return static_cast<const AacDecoderCalls*>(nullptr);
        c.logSetLevel(AV_LOG_QUIET);
        return static_cast<const AacDecoderCalls*>(&c);
    }();
    return calls;
}

}  // namespace movie
