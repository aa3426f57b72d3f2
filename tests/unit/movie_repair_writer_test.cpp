// The repaired clip's structure for recoveries past 4 GB: 64-bit chunk offsets and media size, the
// media placed within a page as in the damaged file, and a movie that reads back with every
// sample where the copy puts it.
#include <gtest/gtest.h>

#include <algorithm>

#include "movie/container/MovieReader.h"
#include "movie/repair/write/RepairedMovieWriter.h"
#include "movie_builders.h"

using namespace moviebuild;

TEST(RepairedMovieWriter, WidensOffsetsAndTheMediaSizePast4GB) {
    // A DV template; recovered: eight frames of 1 GB with sound chunks between them (only the
    // header is built, nothing copied).
    MovieLayout layout;
    layout.tracks[0].sampleEntry = VideoEntry("dvcp", 720, 576);
    TrackLayout sound;
    sound.handler = "soun";
    sound.sampleEntry = SoundEntry("twos", 0, 2, 16, 48000);
    sound.mediaScale = 48000;
    sound.delta = 1;
    sound.sampleSizes.assign(64, 4);
    sound.samplesPerChunk = 64;
    layout.tracks.push_back(sound);
    const Bytes file = BuildMovie(layout);
    movie::Movie m;
    ASSERT_EQ(Read(file, m), movie::ReadResult::Ok);
    movie::repair::TemplateLayout t;
    std::string why;
    ASSERT_TRUE(t.Build(m, Bytes(file.begin() + long(m.moovOffset), file.begin() + long(m.moovOffset + m.moovSize)), why))
        << why;

    movie::repair::RecoveredMedia media;
    uint64_t at = 36;
    for (int i = 0; i < 8; ++i) {
        media.video.push_back({at, 1u << 30, true, i * 60, 0, 0});
        at += 1u << 30;
        media.sound.push_back({at, 8192, 2048, 0, 0, i * 2048});
        at += 8192 + 100;  // 100 bytes skipped after each chunk
    }
    const movie::repair::RepairedMovieWriter writer(t, media);
    // The file as RepairClip lays it out: its start, the media (absent here), the movie header.
    Bytes start = movie::repair::RepairedMovieWriter::FileStart(36);
    const Bytes size = writer.MediaSize(), moov = writer.MovieHeader(start.size());
    std::copy(size.begin(), size.end(), start.end() - 8);
    movie::MemorySource startSource(start.data(), start.size());
    movie::MediaData md;
    ASSERT_TRUE(movie::FindMediaData(startSource, md));
    EXPECT_EQ(md.dataOffset, start.size()) << "the media follows the file's start";
    EXPECT_EQ(md.dataOffset % 4096, 36u) << "where it was within a page in the damaged file";
    EXPECT_EQ(md.declaredSize, 8 * ((1ull << 30) + 8192) + 16) << "a 64-bit size";
    movie::MemorySource moovSource(moov.data(), moov.size());
    movie::Movie back;
    ASSERT_EQ(movie::ReadMovie(moovSource, back), movie::ReadResult::Ok);
    ASSERT_EQ(back.tracks.size(), 2u);

    const movie::Track& v = back.tracks[0];
    const movie::Track& s = back.tracks[1];
    ASSERT_EQ(v.chunkOffsets.size(), 8u);
    ASSERT_EQ(s.chunkOffsets.size(), 8u);
    for (uint64_t i = 0; i < 8; ++i) {
        // Copied back to back: the skipped bytes are gone.
        EXPECT_EQ(v.chunkOffsets[i], start.size() + i * ((1ull << 30) + 8192));
        EXPECT_EQ(s.chunkOffsets[i], start.size() + i * ((1ull << 30) + 8192) + (1ull << 30));
    }
    EXPECT_EQ(v.uniformSampleSize, 1u << 30);
    EXPECT_EQ(s.SampleCount(), 8u * 2048);
    EXPECT_EQ(v.mediaDuration, 8u * 60);
    EXPECT_EQ(s.mediaDuration, 8u * 2048);
    EXPECT_EQ(back.duration, 8u * 60) << "the longest track, in the movie's time scale";
    ASSERT_EQ(writer.Tracks().size(), 2u);
    EXPECT_EQ(writer.Tracks()[0].frames, 8u);
    EXPECT_DOUBLE_EQ(writer.Tracks()[1].seconds, 8 * 2048 / 48000.0);
}
