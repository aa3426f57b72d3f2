#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "movie/container/MovieReader.h"
#include "movie/container/MovieWriter.h"
#include "movie_builders.h"

namespace fs = std::filesystem;
using namespace moviebuild;
using movie::Movie;
using movie::ReadResult;
using movie::SampleInfo;

namespace {

class MovieWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("clipharbor_writer_" + std::to_string(std::random_device{}()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    static Bytes Load(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void Save(const std::string& path, const Bytes& b) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }

    // The copy presents the same movie and every sample's bytes are the same.
    static void ExpectSameMovie(const std::string& a, const std::string& b) {
        Movie ma, mb;
        ASSERT_EQ(movie::ReadMovieFile(a, ma), ReadResult::Ok);
        ASSERT_EQ(movie::ReadMovieFile(b, mb), ReadResult::Ok);
        EXPECT_EQ(mb.timeScale, ma.timeScale);
        EXPECT_EQ(mb.duration, ma.duration);
        EXPECT_EQ(mb.naturalWidth, ma.naturalWidth);
        EXPECT_EQ(mb.naturalHeight, ma.naturalHeight);
        ASSERT_EQ(mb.tracks.size(), ma.tracks.size());
        const Bytes fa = Load(a), fb = Load(b);
        for (size_t i = 0; i < ma.tracks.size(); ++i) {
            const movie::Track& ta = ma.tracks[i];
            const movie::Track& tb = mb.tracks[i];
            EXPECT_EQ(tb.kind, ta.kind);
            EXPECT_EQ(tb.codec, ta.codec);
            EXPECT_EQ(tb.mediaTimeScale, ta.mediaTimeScale);
            EXPECT_EQ(tb.mediaDuration, ta.mediaDuration);
            EXPECT_EQ(tb.codecConfig, ta.codecConfig);
            EXPECT_EQ(tb.edits.size(), ta.edits.size());
            ASSERT_EQ(tb.SampleCount(), ta.SampleCount());
            for (size_t n = 0; n < ta.SampleCount(); ++n) {
                SampleInfo sa, sb;
                ASSERT_TRUE(ta.Sample(n, sa));
                ASSERT_TRUE(tb.Sample(n, sb));
                ASSERT_EQ(sb.size, sa.size);
                EXPECT_EQ(sb.time, sa.time);
                EXPECT_EQ(sb.keyFrame, sa.keyFrame);
                ASSERT_TRUE(std::equal(fa.begin() + sa.offset, fa.begin() + sa.offset + sa.size, fb.begin() + sb.offset))
                    << "track " << i << " sample " << n;
            }
        }
    }

    fs::path dir_;
};

}  // namespace

TEST_F(MovieWriterTest, CopiesEveryCorpusClipSelfContainedWithMoovFirst) {
    for (const auto& entry : fs::directory_iterator(std::string(TEST_DATA_DIR) + "/corpus")) {
        if (entry.path().extension() == ".txt") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string dest = Path(entry.path().filename().string());
        std::string error;
        ASSERT_TRUE(movie::WriteSelfContainedMovie(entry.path().string(), dest, &error)) << error;
        ExpectSameMovie(entry.path().string(), dest);
        Movie m;
        ASSERT_EQ(movie::ReadMovieFile(dest, m), ReadResult::Ok);
        EXPECT_EQ(m.moovOffset, 20u);  // right after the 'ftyp'
        EXPECT_FALSE(fs::exists(dest + ".clipharbor-tmp"));
    }
}

TEST_F(MovieWriterTest, RewritesChunkOffsetsOfEveryLayout) {
    MovieLayout layout;
    layout.tracks[0].co64 = true;
    layout.tracks[0].samplesPerChunk = 3;
    TrackLayout sound;
    sound.handler = "soun";
    sound.sampleEntry = SoundEntry("sowt", 0, 1, 16, 8000);
    sound.sampleSizes = {5, 6, 7, 8, 9};
    sound.samplesPerChunk = 2;
    layout.tracks.push_back(sound);
    layout.ftyp = false;
    layout.moov64 = true;
    layout.beforeFirst = MakeAtom("wide", {});
    layout.extraMoov = Cat({MakeAtom("udta", MakeAtom("\xa9" "cmt", Zeros(5))), U32(0)});
    Save(Path("src.mov"), BuildMovie(layout));
    std::string error;
    ASSERT_TRUE(movie::WriteSelfContainedMovie(Path("src.mov"), Path("out.mov"), &error)) << error;
    ExpectSameMovie(Path("src.mov"), Path("out.mov"));
    // The unknown 'udta' travelled unchanged.
    const Bytes out = Load(Path("out.mov"));
    const Bytes udta = MakeAtom("udta", MakeAtom("\xa9" "cmt", Zeros(5)));
    EXPECT_NE(std::search(out.begin(), out.end(), udta.begin(), udta.end()), out.end());
}

TEST_F(MovieWriterTest, ReplacesAnExistingFileAndMayOverwriteItsSource) {
    const std::string src = std::string(TEST_DATA_DIR) + "/corpus/mjpeg_pcm_600.mov";
    Save(Path("dest.mov"), Bytes(100, 'x'));
    std::string error;
    ASSERT_TRUE(movie::WriteSelfContainedMovie(src, Path("dest.mov"), &error)) << error;
    ExpectSameMovie(src, Path("dest.mov"));

    fs::copy_file(src, Path("self.mov"));
    ASSERT_TRUE(movie::WriteSelfContainedMovie(Path("self.mov"), Path("self.mov"), &error)) << error;
    ExpectSameMovie(src, Path("self.mov"));
}

TEST_F(MovieWriterTest, FailureLeavesTheDestinationAlone) {
    const Bytes original(64, 'k');
    Save(Path("keep.mov"), original);
    Save(Path("notmovie.mov"), Bytes(500, 'z'));

    struct Case {
        const char* name;
        std::string source, dest;
    } cases[] = {
        {"source is not a movie", Path("notmovie.mov"), Path("keep.mov")},
        {"source missing", Path("missing.mov"), Path("keep.mov")},
        {"destination folder missing", std::string(TEST_DATA_DIR) + "/corpus/mpeg4_1000.mov", Path("none/out.mov")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(movie::WriteSelfContainedMovie(c.source, c.dest, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(Load(Path("keep.mov")), original);
    }
    // A movie whose samples lie past its end is refused before anything is written.
    MovieLayout layout;
    Bytes cut = BuildMovie(layout);
    layout.moovFirst = true;
    cut = BuildMovie(layout);
    cut.resize(cut.size() - 50);
    Save(Path("cut.mov"), cut);
    std::string error;
    EXPECT_FALSE(movie::WriteSelfContainedMovie(Path("cut.mov"), Path("keep.mov"), &error));
    EXPECT_EQ(Load(Path("keep.mov")), original);
    EXPECT_FALSE(movie::WriteSelfContainedMovie(Path("cut.mov"), Path("keep.mov"), nullptr));

    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
    EXPECT_EQ(files, 3u);  // keep, notmovie, cut: no temporary left behind
}
