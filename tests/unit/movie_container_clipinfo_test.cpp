#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "movie/container/ClipInfo.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

Outcome ClipInfo(std::vector<std::string> args) {
    std::ostringstream out, err;
    int status = movie::RunClipInfo(args, out, err);
    return {status, out.str(), err.str()};
}

const std::string kCorpus = std::string(TEST_DATA_DIR) + "/corpus";

}  // namespace

TEST(ClipInfo, PrintsOneTabSeparatedLinePerClip) {
    Outcome r = ClipInfo({kCorpus + "/h264_aac_30000.mov", kCorpus + "/audio_pcm.mov"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, kCorpus + "/h264_aac_30000.mov\t28794\t1000\t3000\t3\t160x120\tvideo:avc1 sound:mp4a\n" +
                         kCorpus + "/audio_pcm.mov\t48653\t600\t1800\t3\t0x0\tsound:sowt\n");
}

TEST(ClipInfo, ReadsFolderInNameOrderAndReportsFilesThatAreNotMovies) {
    fs::path dir = fs::temp_directory_path() / ("clipharbor_clipinfo_" + std::to_string(std::random_device{}()));
    fs::remove_all(dir);
    fs::create_directories(dir / "sub");
    fs::copy_file(kCorpus + "/mpeg4_1000.mov", dir / "b.mov");
    fs::copy_file(kCorpus + "/raw_rgb_600.mov", dir / "a.mov");
    fs::copy_file(kCorpus + "/raw_rgb_600.mov", dir / "sub" / "deeper.mov");  // not descended into
    std::ofstream(dir / "notes.txt") << "not a movie\n";

    Outcome r = ClipInfo({dir.string()});
    EXPECT_EQ(r.status, 1);
    std::istringstream lines(r.out);
    std::string first, second, third;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_FALSE(std::getline(lines, third));
    EXPECT_EQ(first.substr(0, first.find('\t')), (dir / "a.mov").string());
    EXPECT_EQ(second.substr(0, second.find('\t')), (dir / "b.mov").string());
    EXPECT_NE(r.err.find("notes.txt: not a movie"), std::string::npos) << r.err;

    Outcome missing = ClipInfo({(dir / "gone.mov").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("gone.mov: cannot be opened"), std::string::npos);
    fs::remove_all(dir);
}

TEST(ClipInfo, JsonOutput) {
    Outcome r = ClipInfo({"--json", kCorpus + "/mjpeg_pcm_600.mov"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "[\n  {\"file\": \"" + kCorpus +
                         "/mjpeg_pcm_600.mov\", \"size\": 115576, \"timeScale\": 600, \"duration\": 1200, "
                         "\"seconds\": 2, \"width\": 160, \"height\": 120, \"tracks\": ["
                         "{\"kind\": \"video\", \"codec\": \"jpeg\", \"timeScale\": 600, \"duration\": 1200, \"samples\": 20}, "
                         "{\"kind\": \"sound\", \"codec\": \"twos\", \"timeScale\": 8000, \"duration\": 16000, \"samples\": 16000}]}\n]\n");
    Outcome none = ClipInfo({"--json", std::string(TEST_DATA_DIR) + "/corpus/expected.txt"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "[]\n");
}

TEST(ClipInfo, EscapesTextForJsonAndFourCCs) {
    EXPECT_EQ(movie::JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(movie::JsonString(std::string("t\tn\n\x01", 5)), "\"t\\u0009n\\u000a\\u0001\"");
    EXPECT_EQ(movie::JsonString("caf\xc3\xa9"), "\"caf\xc3\xa9\"");  // valid UTF-8 kept
    EXPECT_EQ(movie::JsonString("caf\xe9.mov"), "\"caf\\u00e9.mov\"");  // an ANSI byte as its code point
    EXPECT_EQ(movie::JsonString("\xed\xa0\x80"), "\"\\u00ed\\u00a0\\u0080\"");  // surrogates are not UTF-8
    EXPECT_EQ(movie::JsonString("\xc3"), "\"\\u00c3\"");  // cut short
    EXPECT_EQ(movie::FourCCText(movie::FourCC("raw ")), "raw ");
    EXPECT_EQ(movie::FourCCText(0xA9000A5C), "\\xA9\\x00\\x0A\\x5C");
    EXPECT_EQ(movie::FourCCText(0), "-");
}

TEST(ClipInfo, UsageErrors) {
    EXPECT_EQ(ClipInfo({}).status, 2);
    Outcome bad = ClipInfo({"--frobnicate", kCorpus});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("unknown option --frobnicate"), std::string::npos);
    Outcome help = ClipInfo({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: clipinfo"), std::string::npos);
}
