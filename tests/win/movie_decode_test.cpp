// FFmpeg's decoders as built for Windows, under Wine: a DV PAL frame and a Motion-JPEG frame
// equal the ffmpeg command's decode of them, made natively at build time.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "movie/container/MovieReader.h"
#include "movie/decode/VideoDecoder.h"
#include "tests/unit/picture_compare.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(Decoding, DvPalAndMotionJpegFramesMatchTheReference) {
    struct Case { const char* clip; double seconds; int width, height; const char* reference; };
    // The middle of DV frame 1 at the preview size; the middle of Motion-JPEG frame 3 at its own.
    for (const Case& c : {Case{"dv_pal_pcm.mov", 0.06, 358, 266, "dv_pal_pcm.bgra"},
                          Case{"mjpeg_pcm_600.mov", 0.35, 160, 120, "mjpeg_pcm_600.bgra"}}) {
        SCOPED_TRACE(c.clip);
        const std::string path = std::string(TEST_DATA_DIR) + "/corpus/" + c.clip;
        movie::Movie m;
        ASSERT_EQ(movie::ReadMovieFile(path, m), movie::ReadResult::Ok);
        movie::VideoDecoder decoder(m, movie::FileSource::Open(path));
        ASSERT_TRUE(decoder.Supported());
        movie::VideoDecoder::Picture p;
        ASSERT_EQ(decoder.FrameAt(uint64_t(c.seconds * m.timeScale), c.width, c.height, p),
                  movie::VideoDecoder::Status::Shown);
        const std::vector<uint8_t> expected = ReadFile(std::string(DECODE_REFERENCE_DIR) + "/" + c.reference);
        ASSERT_EQ(expected.size(), size_t(c.width) * c.height * 4);
        EXPECT_GE(reference::Psnr(p.pixels, expected.data(), size_t(c.width) * c.height), 40.0);
    }
}
