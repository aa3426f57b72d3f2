// Clips recorded the way the device and cameras like it do (QuickTime, media before the movie
// header), made with the ffmpeg command at test time, and damaged copies of them: cut off, with
// the 'mdat' size 0, preallocated or garbage, a zeroed tail, zeros inside. The clips are made once
// per machine into a shared folder (each file written under a temporary name and renamed, so
// test processes running side by side never see half a clip).
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "movie/container/MovieReader.h"
#include "movie/repair/RepairCommand.h"

namespace repairclips {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Video and sound as a device records them (the pairs cameras like the device use, and two more
// layouts), and a template made the same way (another picture and tone, shorter), which must not
// be mistaken for the clip itself.
struct Pair {
    const char* name;
    const char* size;
    const char* rate;
    double seconds;
    const char* video;  // encoder arguments
    const char* sound;
    int soundRate;
};

// Test names and failure messages show a pair by its name.
inline void PrintTo(const Pair& pair, std::ostream* os) { *os << pair.name; }

inline const Pair kPairs[] = {
    {"dv525_sowt", "720x480", "30000/1001", 2, "-c:v dvvideo -pix_fmt yuv411p", "-c:a pcm_s16le -ac 2", 48000},
    {"dv625_twos", "720x576", "25", 2, "-c:v dvvideo -pix_fmt yuv420p", "-c:a pcm_s16be -ac 2", 48000},
    {"mjpeg_twos", "320x240", "30", 3, "-c:v mjpeg -q:v 5", "-c:a pcm_s16be", 44100},
    {"h264_aac", "320x240", "30", 3, "-c:v libx264 -preset veryfast -threads 1 -pix_fmt yuv420p", "-c:a aac -b:a 64k",
     44100},
    {"h264_sowt", "320x240", "30", 3, "-c:v libx264 -preset veryfast -threads 1 -pix_fmt yuv420p", "-c:a pcm_s16le",
     48000},
    {"mpeg4_ima4", "320x240", "30", 3, "-c:v mpeg4 -q:v 5", "-c:a adpcm_ima_qt", 44100},
    // DVCPRO50 ('dv5p': two channels a frame), and H.264 pictures in four slices without B-frames.
    {"dv50_twos", "720x576", "25", 1.5, "-c:v dvvideo -pix_fmt yuv422p", "-c:a pcm_s16be -ac 2", 48000},
    {"h264_slices_sowt", "320x240", "30", 3, "-c:v libx264 -preset veryfast -threads 1 -slices 4 -bf 0 -pix_fmt yuv420p",
     "-c:a pcm_s16le", 48000},
};

// The pair of the table named `name`.
inline const Pair& PairNamed(const std::string& name) {
    for (const Pair& p : kPairs)
        if (name == p.name) return p;
    throw std::runtime_error("no pair " + name);
}

inline std::string Quiet(const std::string& command) { return command + " >/dev/null 2>&1"; }

// The shared folder the clips are made in; the name changes with what the clips are made of.
inline fs::path ClipFolder() {
    static const fs::path folder = fs::temp_directory_path() / "clipharbor-repair-clips-1";
    return folder;
}

// Makes `file` in the clip folder with ffmpeg (arguments before the output), unless it is there.
inline std::string MakeClip(const std::string& file, const std::string& args) {
    const fs::path path = ClipFolder() / file;
    if (fs::exists(path)) return path.string();
    fs::create_directories(ClipFolder());
    const std::string temp = path.string() + ".part-" + std::to_string(::getpid()) + ".mov";
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args +
                                " -fflags +bitexact -flags:v +bitexact -flags:a +bitexact -map_metadata -1 '" + temp + "'";
    if (std::system(Quiet(command).c_str()) != 0) {
        ADD_FAILURE() << "ffmpeg could not make " << file << " (tools/bootstrap.sh installs it): " << command;
        return path.string();
    }
    fs::rename(temp, path);  // replaces what another process made meanwhile: the same bytes
    return path.string();
}

// The clip of a pair (testsrc and one tone) or its template (testsrc2, another tone, one second).
inline std::string PairClip(const Pair& p, bool templateClip = false) {
    char args[512];
    std::snprintf(args, sizeof args,
                  "-f lavfi -i %s=size=%s:rate=%s:duration=%g -f lavfi -i sine=frequency=%d:sample_rate=%d:duration=%g "
                  "%s %s",
                  templateClip ? "testsrc2" : "testsrc", p.size, p.rate, templateClip ? 1.0 : p.seconds,
                  templateClip ? 330 : 440, p.soundRate, templateClip ? 1.0 : p.seconds, p.video, p.sound);
    return MakeClip(std::string(p.name) + (templateClip ? "_template.mov" : ".mov"), args);
}

inline Bytes Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    Bytes b(in ? size_t(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(b.data()), std::streamsize(b.size()));
    return b;
}

inline void Save(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

inline uint32_t Be32(const Bytes& b, size_t at) {
    return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | b[at + 3];
}
inline void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}

// Where a sample lies in a clip: its bytes' offset and size.
struct Piece {
    uint64_t offset;
    uint32_t size;
};

// A clip's samples as its own tables give them (video samples, runs of sound samples) and its 'mdat'.
struct Layout {
    Bytes file;
    std::vector<Piece> video, sound;
    uint64_t mdatHeader = 0, mdatData = 0, mdatEnd = 0;
    movie::Movie movie;
};

inline std::vector<Piece> Pieces(const movie::Track& t) {
    std::vector<Piece> out;
    movie::SampleInfo s;
    for (size_t n = 0; n < t.SampleCount() && t.Sample(n, s); ++n) out.push_back({s.offset, s.size});
    return out;
}

inline Layout ReadLayout(const std::string& path) {
    Layout l;
    l.file = Load(path);
    movie::MemorySource src(l.file.data(), l.file.size());
    EXPECT_EQ(movie::ReadMovie(src, l.movie), movie::ReadResult::Ok) << path;
    const int v = movie::FindTrack(l.movie, movie::TrackKind::Video);
    const int s = movie::FindTrack(l.movie, movie::TrackKind::Sound);
    if (v >= 0) l.video = Pieces(l.movie.tracks[size_t(v)]);
    if (s >= 0) {
        // Sound samples back to back are one run (PCM samples are a few bytes each).
        for (const Piece& p : Pieces(l.movie.tracks[size_t(s)])) {
            if (!l.sound.empty() && l.sound.back().offset + l.sound.back().size == p.offset) l.sound.back().size += p.size;
            else l.sound.push_back(p);
        }
    }
    movie::MediaData md;
    EXPECT_TRUE(movie::FindMediaData(src, md));
    l.mdatHeader = md.headerOffset;
    l.mdatData = md.dataOffset;
    l.mdatEnd = md.dataOffset + md.bytesPresent;
    return l;
}

inline Bytes Slice(const Bytes& file, const Piece& p) {
    return Bytes(file.begin() + long(p.offset), file.begin() + long(p.offset + p.size));
}

// The bytes of `pieces`, one after another.
inline Bytes Joined(const Bytes& file, const std::vector<Piece>& pieces) {
    Bytes all;
    for (const Piece& p : pieces) all.insert(all.end(), file.begin() + long(p.offset), file.begin() + long(p.offset + p.size));
    return all;
}

// A private folder for one test, removed at its end.
class TempFolder {
public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        path_ = fs::temp_directory_path() / ("clipharbor_repair_" + std::to_string(std::random_device{}()) + "_" + name);
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

struct Outcome {
    int status;
    std::string out, err;
};

inline Outcome ClipRepair(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = movie::repair::RunClipRepair(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace repairclips
