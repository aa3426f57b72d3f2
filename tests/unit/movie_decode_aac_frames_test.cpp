// Raw AAC frames carry no length: the scanner's lengths must be the sample sizes the clips' own
// tables give, chunk by chunk, whatever follows a chunk in the file.
#include <gtest/gtest.h>

#include "ffmpeg_reference.h"
#include "movie/container/MovieReader.h"
#include "movie/decode/AacFrameScanner.h"

namespace {

void ExpectTableSizes(const std::string& clip) {
    SCOPED_TRACE(clip);
    const reference::Bytes file = reference::ReadFile(reference::kCorpus + clip);
    movie::MemorySource src(file.data(), file.size());
    movie::Movie m;
    ASSERT_EQ(movie::ReadMovie(src, m), movie::ReadResult::Ok);
    const movie::Track& t = m.tracks[size_t(movie::FindTrack(m, movie::TrackKind::Sound))];
    movie::AacFrameScanner scanner(t.codecConfig);
    ASSERT_TRUE(scanner.Ready());
    size_t checked = 0;
    movie::ChunkInfo c;
    for (size_t i = 0; i < t.ChunkCount() && t.Chunk(i, c); ++i) {
        // The chunk and what lies after it (video, or the next chunk), as the walk sees them.
        std::vector<uint32_t> sizes, found;
        movie::SampleInfo s;
        for (uint64_t n = c.firstSample; n < c.firstSample + c.sampleCount && t.Sample(size_t(n), s); ++n)
            sizes.push_back(s.size);
        const size_t available = std::min<size_t>(file.size() - c.offset, 64 * 1024);
        scanner.Scan(file.data() + c.offset, available, sizes.size(), found);
        ASSERT_EQ(found, sizes) << "chunk " << i;
        checked += sizes.size();
        // A frame cut short is no frame.
        std::vector<uint32_t> cut;
        EXPECT_EQ(scanner.Scan(file.data() + c.offset, sizes[0] - 1, 4, cut), 0u);
    }
    EXPECT_EQ(checked, t.SampleCount());
}

}  // namespace

TEST(AacFrameScanner, FindsTheLengthsTheSampleTablesGive) {
    ExpectTableSizes("h264_aac_30000.mov");
    ExpectTableSizes("audio_aac.m4a");
    ExpectTableSizes("h264_aac_90000_front.mp4");
}

TEST(AacFrameScanner, RefusesWhatIsNotAac) {
    movie::AacFrameScanner none({});
    EXPECT_FALSE(none.Ready());
    const reference::Bytes file = reference::ReadFile(reference::kCorpus + "audio_aac.m4a");
    movie::MemorySource src(file.data(), file.size());
    movie::Movie m;
    ASSERT_EQ(movie::ReadMovie(src, m), movie::ReadResult::Ok);
    movie::AacFrameScanner scanner(m.tracks[0].codecConfig);
    ASSERT_TRUE(scanner.Ready());
    const std::vector<uint8_t> zeros(4096, 0);
    std::vector<uint32_t> found;
    EXPECT_EQ(scanner.Scan(zeros.data(), zeros.size(), 8, found), 0u) << "zeros are not sound";
}
