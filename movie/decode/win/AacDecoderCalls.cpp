#include "movie/decode/AacDecoderCalls.h"

#include "movie/decode/FfmpegLog.h"

namespace movie {

const AacDecoderCalls* AacDecoderCalls::Get() {
    static const AacDecoderCalls calls = [] {
        QuietFfmpegLog();
        return AacDecoderCalls{avcodec_find_decoder, avcodec_alloc_context3, avcodec_free_context, avcodec_open2,
                               avcodec_flush_buffers, avcodec_send_packet, avcodec_receive_frame, av_packet_alloc,
                               av_packet_free, av_packet_unref, av_new_packet, av_frame_alloc, av_frame_free,
                               av_frame_unref, av_mallocz, av_log_set_level};
    }();
    return &calls;
}

}  // namespace movie
