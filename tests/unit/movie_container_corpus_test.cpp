// Real clips made by tools/make-corpus.sh, checked against what ffprobe reported for them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "movie/container/MovieReader.h"

using movie::FourCC;
using movie::Movie;
using movie::ReadResult;
using movie::SampleInfo;
using movie::Track;
using movie::TrackKind;

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kCorpus = std::string(TEST_DATA_DIR) + "/corpus/";

uint32_t TagCode(const std::string& tag) {
    uint32_t code = 0;
    for (size_t i = 0; i < 4; ++i) code = (code << 8) | uint8_t(i < tag.size() ? tag[i] : ' ');
    return code;
}

struct StreamFacts {
    std::string type, tag;
    uint32_t timeBaseDen = 0;
    uint64_t durationTs = 0, frames = 0;
    uint32_t width = 0, height = 0, sampleRate = 0, channels = 0;
};
struct ClipFacts {
    std::string name;
    uint32_t movieTimeScale = 0;
    uint64_t durationUs = 0;
    std::vector<StreamFacts> streams;
};

std::vector<ClipFacts> LoadManifest() {
    std::vector<ClipFacts> clips;
    std::ifstream in(kCorpus + "expected.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string word;
        ls >> word;
        if (word == "clip") {
            ClipFacts c;
            ls >> c.name >> c.movieTimeScale >> c.durationUs;
            clips.push_back(c);
        } else if (word == "stream" && !clips.empty()) {
            StreamFacts s;
            int index;
            ls >> index >> s.type >> s.tag >> s.timeBaseDen >> s.durationTs >> s.frames >> s.width >> s.height >>
                s.sampleRate >> s.channels;
            for (char& ch : s.tag)
                if (ch == '_') ch = ' ';
            clips.back().streams.push_back(s);
        }
    }
    return clips;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The payload size of the file's 'mdat' atoms, by a plain walk of the top level.
uint64_t MdatPayload(const Bytes& f) {
    uint64_t total = 0;
    for (size_t pos = 0; pos + 8 <= f.size();) {
        uint64_t size = (uint64_t(f[pos]) << 24) | (f[pos + 1] << 16) | (f[pos + 2] << 8) | f[pos + 3];
        size_t header = 8;
        if (size == 1) {
            size = 0;
            for (int i = 0; i < 8; ++i) size = (size << 8) | f[pos + 8 + i];
            header = 16;
        } else if (size == 0) {
            size = f.size() - pos;
        }
        if (std::string(f.begin() + pos + 4, f.begin() + pos + 8) == "mdat") total += size - header;
        pos += size;
    }
    return total;
}

}  // namespace

TEST(MovieCorpus, MatchesWhatFfprobeReported) {
    const std::vector<ClipFacts> clips = LoadManifest();
    ASSERT_GE(clips.size(), 8u);
    for (const ClipFacts& c : clips) {
        SCOPED_TRACE(c.name);
        Movie m;
        ASSERT_EQ(movie::ReadMovieFile(kCorpus + c.name, m), ReadResult::Ok);
        EXPECT_EQ(m.timeScale, c.movieTimeScale);
        // ffprobe gives the duration in microseconds; ours is exact in the movie's time scale.
        EXPECT_EQ(uint64_t(std::llround(double(m.duration) * 1e6 / m.timeScale)), c.durationUs);
        ASSERT_EQ(m.tracks.size(), c.streams.size());
        for (size_t i = 0; i < m.tracks.size(); ++i) {
            const Track& t = m.tracks[i];
            const StreamFacts& s = c.streams[i];
            SCOPED_TRACE("track " + std::to_string(i));
            EXPECT_EQ(t.kind, s.type == "video" ? TrackKind::Video : TrackKind::Sound);
            EXPECT_EQ(t.codec, TagCode(s.tag));
            EXPECT_EQ(t.mediaTimeScale, s.timeBaseDen);
            EXPECT_EQ(t.SampleCount(), s.frames);
            if (t.kind == TrackKind::Video) {
                EXPECT_EQ(t.sampleWidth, s.width);
                EXPECT_EQ(t.sampleHeight, s.height);
                EXPECT_EQ(m.naturalWidth, int32_t(s.width));
                EXPECT_EQ(m.naturalHeight, int32_t(s.height));
            } else {
                EXPECT_EQ(t.sampleRate, s.sampleRate);
                // ISO files store 2 channels for AAC whatever the stream has; the esds tells.
                if (t.codec != FourCC("mp4a") || t.codecConfigType != FourCC("esds")) {
                    EXPECT_EQ(t.channels, s.channels);
                }
            }
        }
    }
}

TEST(MovieCorpus, SamplesCoverTheMediaDataExactly) {
    for (const ClipFacts& c : LoadManifest()) {
        SCOPED_TRACE(c.name);
        const Bytes file = ReadFile(kCorpus + c.name);
        Movie m;
        movie::MemorySource src(file.data(), file.size());
        ASSERT_EQ(movie::ReadMovie(src, m), ReadResult::Ok);
        uint64_t total = 0;
        for (const Track& t : m.tracks) {
            SampleInfo s, prev;
            for (size_t n = 0; n < t.SampleCount(); ++n) {
                ASSERT_TRUE(t.Sample(n, s)) << n;
                if (n == 0) {
                    EXPECT_TRUE(s.keyFrame);
                    EXPECT_EQ(s.time, 0u);
                } else {
                    EXPECT_GT(s.time, prev.time) << n;
                    EXPECT_EQ(s.time, prev.time + prev.duration) << n;
                    if (s.chunk == prev.chunk) {
                        EXPECT_EQ(s.offset, prev.offset + prev.size) << n;
                    }
                }
                total += s.size;
                prev = s;
            }
            if (t.kind == TrackKind::Video && t.codec == FourCC("jpeg")) {
                // Each Motion-JPEG sample is a whole JPEG: SOI at its start.
                ASSERT_TRUE(t.Sample(t.SampleCount() / 2, s));
                EXPECT_EQ(file[s.offset], 0xFF);
                EXPECT_EQ(file[s.offset + 1], 0xD8);
            }
        }
        EXPECT_EQ(total, MdatPayload(file));
    }
}

TEST(MovieCorpus, EveryH264ClipCarriesItsDecoderConfiguration) {
    for (const char* name : {"h264_aac_30000.mov", "h264_aac_90000_front.mp4"}) {
        Movie m;
        ASSERT_EQ(movie::ReadMovieFile(kCorpus + name, m), ReadResult::Ok);
        EXPECT_EQ(m.tracks[0].codecConfigType, FourCC("avcC")) << name;
        ASSERT_FALSE(m.tracks[0].codecConfig.empty());
        EXPECT_EQ(m.tracks[0].codecConfig[0], 1) << name;  // configurationVersion
        EXPECT_EQ(m.tracks[1].codecConfigType, FourCC("esds")) << name;
    }
}

// Corrupt files (tools/make-corpus.sh and inputs the fuzzer found): refused, or, for readable-*,
// opened with every sample either refused or inside the file.
TEST(MovieCorpus, CorruptFilesAreRefusedOrContained) {
    size_t seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(TEST_DATA_DIR) + "/bad")) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ++seen;
        Movie m;
        auto src = movie::FileSource::Open(entry.path().string());
        ASSERT_NE(src, nullptr);
        ReadResult r = movie::ReadMovie(*src, m);
        if (name.rfind("readable-", 0) != 0) {
            EXPECT_NE(r, ReadResult::Ok);
            continue;
        }
        ASSERT_EQ(r, ReadResult::Ok);
        size_t refused = 0;
        for (const Track& t : m.tracks) {
            SampleInfo s;
            for (size_t n = 0; n < t.SampleCount(); ++n) {
                if (t.Sample(n, s)) EXPECT_LE(s.offset + s.size, src->Size());
                else ++refused;
            }
        }
        EXPECT_GT(refused, 0u);
    }
    EXPECT_GE(seen, 10u);
}
