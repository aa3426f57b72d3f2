// The sound decoder against the ffmpeg command's decode of the same clips, plus seeking, edit
// lists, the tables QuickTime writes for compressed sound, damage and codecs we do not decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "ffmpeg_reference.h"
#include "movie/container/MovieReader.h"
#include "movie/decode/SoundDecoder.h"
#include "movie_builders.h"

using movie::Movie;
using movie::SoundDecoder;
using reference::kCorpus;
using Samples = std::vector<int16_t>;

namespace {

struct Clip {
    const char* name;
    int rate, channels;
};

// Every sound flavour of the corpus: big- and little-endian 16-bit, 24-bit, IMA4, AAC with its
// priming cut by the edit list, next to DV and H.264 video.
const Clip kClips[] = {
    {"dv_pal_pcm.mov", 48000, 2},      {"dv_ntsc_pcm.mov", 48000, 2},          {"audio_in24.mov", 48000, 2},
    {"audio_ima4.mov", 22050, 2},      {"audio_pcm.mov", 8000, 1},             {"mjpeg_pcm_600.mov", 8000, 1},
    {"mjpeg_pcm_90000_front.mov", 11025, 1}, {"audio_aac.m4a", 22050, 1},      {"h264_aac_30000.mov", 44100, 1},
};

Samples ReadAll(SoundDecoder& d, size_t block = 1000) {
    Samples all, buffer(block * size_t(d.Channels()));
    for (size_t n; (n = d.Read(buffer.data(), block)) > 0;)
        all.insert(all.end(), buffer.begin(), buffer.begin() + long(n) * d.Channels());
    return all;
}

std::unique_ptr<SoundDecoder> Open(const std::string& name, Movie& m, int rate, int channels) {
    EXPECT_EQ(movie::ReadMovieFile(kCorpus + name, m), movie::ReadResult::Ok) << name;
    return std::make_unique<SoundDecoder>(m, movie::FileSource::Open(kCorpus + name), rate, channels);
}

// Largest difference between two runs of samples over their common length.
int MaxDifference(const Samples& a, const Samples& b, size_t aFrom = 0, size_t bFrom = 0) {
    int worst = 0;
    for (size_t i = 0; aFrom + i < a.size() && bFrom + i < b.size(); ++i)
        worst = std::max(worst, std::abs(int(a[aFrom + i]) - int(b[bFrom + i])));
    return worst;
}

double SignalToNoise(const Samples& a, const Samples& b) {
    double signal = 0, noise = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        signal += double(b[i]) * b[i];
        noise += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    }
    return noise == 0 ? 99 : 10 * std::log10(signal / noise);
}

// A built sound track (no picture size) with the given description.
moviebuild::TrackLayout SoundTrack(const moviebuild::Bytes& entry) {
    moviebuild::TrackLayout t;
    t.handler = "soun";
    t.sampleEntry = entry;
    t.width16 = t.height16 = 0;
    return t;
}

}  // namespace

TEST(SoundDecoder, MatchesFfmpegFromTheStart) {
    for (const Clip& c : kClips) {
        SCOPED_TRACE(c.name);
        Movie m;
        auto d = Open(c.name, m, c.rate, c.channels);
        ASSERT_TRUE(d->Supported());
        const Samples ours = ReadAll(*d, 777);
        const Samples theirs = reference::SoundS16(c.name, c.rate, c.channels);
        ASSERT_FALSE(theirs.empty());
        // The same samples, and as many as the track lasts on the movie timeline.
        EXPECT_LE(MaxDifference(ours, theirs), 1);
        const double expected = double(d->Duration()) / m.timeScale * c.rate * c.channels;
        EXPECT_NEAR(double(ours.size()), expected, c.channels);
        // ffmpeg ends with the media (AAC's final padding included); we end with the track,
        // whose duration the movie's time scale rounds: at most a packet apart.
        EXPECT_NEAR(double(ours.size()), double(theirs.size()), 2048.0 * c.channels);
        EXPECT_EQ(d->Position() * size_t(c.channels), ours.size());
    }
}

TEST(SoundDecoder, SeekLandsOnTheSameSamples) {
    for (const Clip& c : kClips) {
        SCOPED_TRACE(c.name);
        Movie m;
        auto d = Open(c.name, m, c.rate, c.channels);
        const Samples whole = ReadAll(*d);
        for (double fraction : {0.5, 0.1, 0.73}) {
            const uint64_t t = uint64_t(fraction * double(d->Duration()));
            d->Seek(t);
            const uint64_t from = d->Position();
            EXPECT_EQ(from, t * uint64_t(c.rate) / m.timeScale);
            const Samples rest = ReadAll(*d, 500);
            EXPECT_EQ(rest.size() + from * size_t(c.channels), whole.size());
            // IMA4 carries its predictor from packet to packet and a packet header holds it only to
            // within 127 steps; an AAC decoder started afresh rounds a little differently.
            const std::string name = c.name;
            const int tolerance = name == "audio_ima4.mov" ? 128 : name.find("aac") != std::string::npos ? 4 : 1;
            EXPECT_LE(MaxDifference(rest, whole, 0, from * size_t(c.channels)), tolerance) << fraction;
        }
    }
}

TEST(SoundDecoder, ResamplesAndMixesToTheOutputFormat) {
    // 48 kHz stereo to 44.1 kHz, against ffmpeg's resampling of the same sound.
    Movie m;
    auto d = Open("dv_pal_pcm.mov", m, 44100, 2);
    const Samples ours = ReadAll(*d);
    const Samples theirs = reference::SoundS16("dv_pal_pcm.mov", 44100, 2);
    EXPECT_NEAR(double(ours.size()), 0.16 * 44100 * 2, 2);
    EXPECT_GE(SignalToNoise(ours, theirs), 40.0);

    // Mono to stereo: both speakers carry the track at full level.
    auto mono = Open("audio_pcm.mov", m, 8000, 2);
    const Samples stereo = ReadAll(*mono);
    const Samples original = reference::SoundS16("audio_pcm.mov", 8000, 1);
    ASSERT_EQ(stereo.size(), 2 * original.size());
    for (size_t i = 0; i < original.size(); ++i) {
        ASSERT_EQ(stereo[2 * i], original[i]) << i;
        ASSERT_EQ(stereo[2 * i + 1], original[i]) << i;
    }

    // Stereo to mono mixes both channels.
    auto down = Open("dv_ntsc_pcm.mov", m, 48000, 1);
    const Samples mixed = ReadAll(*down);
    const Samples both = reference::SoundS16("dv_ntsc_pcm.mov", 48000, 2);
    ASSERT_EQ(mixed.size() * 2, both.size());
    for (size_t i = 0; i < mixed.size(); i += 97) EXPECT_NEAR(mixed[i], (both[2 * i] + both[2 * i + 1]) / 2, 2) << i;
}

// Power of one frequency in one channel of interleaved samples (Goertzel).
double Power(const Samples& s, int channels, int channel, double frequency, int rate) {
    const double k = 2 * std::cos(2 * M_PI * frequency / rate);
    double s1 = 0, s2 = 0;
    for (size_t i = size_t(channel); i < s.size(); i += size_t(channels)) {
        const double s0 = s[i] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

// Left and right carry different tones, so a channel copied, swapped or lost shows.
TEST(SoundDecoder, StereoChannelsKeepTheirPlaceThroughResamplingAndMixing) {
    using namespace moviebuild;
    constexpr int kRate = 48000, kFrames = 9600;
    constexpr double kLeft = 440, kRight = 1250;
    Samples left(kFrames), right(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        left[size_t(i)] = int16_t(std::lrint(9000 * std::sin(2 * M_PI * kLeft * i / kRate)));
        right[size_t(i)] = int16_t(std::lrint(6000 * std::sin(2 * M_PI * kRight * i / kRate)));
    }
    TrackLayout sound = SoundTrack(SoundEntry("twos", 0, 2, 16, kRate));
    sound.mediaScale = kRate;
    sound.delta = 1;
    sound.sampleSizes.assign(kFrames, 4);
    sound.samplesPerChunk = 2400;
    MovieLayout layout;
    layout.tracks = {sound};
    layout.timeScale = kRate;
    layout.duration = layout.tracks[0].tkhdDuration = kFrames;
    Bytes file = BuildMovie(layout);
    Movie m;
    ASSERT_EQ(Read(file, m), movie::ReadResult::Ok);
    movie::SampleInfo frame;
    for (size_t i = 0; i < kFrames; ++i) {
        ASSERT_TRUE(m.tracks[0].Sample(i, frame));
        const uint16_t l = uint16_t(left[i]), r = uint16_t(right[i]);
        const uint8_t bytes[4] = {uint8_t(l >> 8), uint8_t(l), uint8_t(r >> 8), uint8_t(r)};  // big-endian
        std::memcpy(&file[frame.offset], bytes, 4);
    }
    auto decode = [&](int rate, int channels) {
        SoundDecoder d(m, std::make_unique<movie::MemorySource>(file.data(), file.size()), rate, channels);
        EXPECT_TRUE(d.Supported());
        return ReadAll(d);
    };

    const Samples same = decode(kRate, 2);
    ASSERT_EQ(same.size(), size_t(2 * kFrames));
    for (size_t i = 0; i < kFrames; ++i) {
        ASSERT_EQ(same[2 * i], left[i]) << i;
        ASSERT_EQ(same[2 * i + 1], right[i]) << i;
    }

    const Samples resampled = decode(44100, 2);
    ASSERT_GT(resampled.size(), 2u * 8000);
    EXPECT_GT(Power(resampled, 2, 0, kLeft, 44100), 100 * Power(resampled, 2, 0, kRight, 44100));
    EXPECT_GT(Power(resampled, 2, 1, kRight, 44100), 100 * Power(resampled, 2, 1, kLeft, 44100));

    const Samples mixed = decode(kRate, 1);
    ASSERT_EQ(mixed.size(), size_t(kFrames));
    for (size_t i = 0; i < kFrames; ++i) ASSERT_NEAR(mixed[i], (left[i] + right[i]) / 2, 2) << i;
}

TEST(SoundDecoder, EditListsPlaceTheSoundOnTheMovieTimeline) {
    using namespace moviebuild;
    // 8 kHz mono 16-bit big-endian: sample n holds the byte n % 256 twice. An empty half second,
    // then half a second of media from 0.25 s, then a quarter second from the media's start.
    TrackLayout sound = SoundTrack(SoundEntry("twos", 0, 1, 16, 8000));
    sound.mediaScale = 8000;
    sound.delta = 1;
    sound.sampleSizes.assign(8000, 2);
    sound.samplesPerChunk = 500;
    sound.edts = Edts(0, {{300, -1}, {300, 2000}, {150, 0}});
    MovieLayout layout;
    layout.tracks = {sound};
    layout.duration = 750;
    const Bytes file = BuildMovie(layout);
    Movie m;
    ASSERT_EQ(Read(file, m), movie::ReadResult::Ok);
    SoundDecoder d(m, std::make_unique<movie::MemorySource>(file.data(), file.size()), 8000, 1);
    ASSERT_TRUE(d.Supported());
    const Samples out = ReadAll(d, 333);
    ASSERT_EQ(out.size(), 10000u);
    auto value = [](size_t n) { return int16_t(uint16_t((n % 256) * 257)); };
    for (size_t i = 0; i < 4000; ++i) ASSERT_EQ(out[i], 0) << i;
    for (size_t i = 0; i < 4000; ++i) ASSERT_EQ(out[4000 + i], value(2000 + i)) << i;
    for (size_t i = 0; i < 2000; ++i) ASSERT_EQ(out[8000 + i], value(i)) << i;

    // A seek into the second segment starts at the matching media sample.
    d.Seek(450);
    Samples part(10);
    ASSERT_EQ(d.Read(part.data(), 10), 10u);
    EXPECT_EQ(part[0], value(2000 + 2000));
}

TEST(SoundDecoder, CompressedSoundCountedInFramesReadsByChunks) {
    // QuickTime's own tables for IMA4 count single frames (sample size 1, duration 1) and leave
    // the packet size to the sound description; ffmpeg wrote this clip one sample per packet.
    // The same bytes under both tables give the same sound.
    Movie m;
    auto packets = Open("audio_ima4.mov", m, 22050, 2);
    const Samples expected = ReadAll(*packets);
    movie::Track& t = m.tracks[0];
    ASSERT_EQ(t.uniformSampleSize, 68u);
    ASSERT_EQ(t.stts.size(), 1u);
    const uint32_t frames = t.sampleCount * 64;
    for (auto& e : t.stsc) e.samplesPerChunk *= 64;
    t.stts = {{frames, 1}};
    t.sampleCount = frames;
    t.uniformSampleSize = 1;
    t.samplesPerPacket = 64;
    t.bytesPerFrame = 68;
    SoundDecoder legacy(m, movie::FileSource::Open(kCorpus + "audio_ima4.mov"), 22050, 2);
    EXPECT_EQ(ReadAll(legacy), expected);
}

TEST(SoundDecoder, DamageGivesSilenceInPlaceNeverACrash) {
    // AAC packets with garbage, and whole chunks of PCM past the end of a cut file.
    reference::Bytes file = reference::ReadFile(kCorpus + "audio_aac.m4a");
    Movie m;
    movie::MemorySource probe(file.data(), file.size());
    ASSERT_EQ(movie::ReadMovie(probe, m), movie::ReadResult::Ok);
    movie::SampleInfo s;
    for (size_t n : {3, 4, 20}) {
        ASSERT_TRUE(m.tracks[0].Sample(n, s));
        for (uint64_t i = s.offset; i < s.offset + s.size; ++i) file[i] = uint8_t(i * 37);
    }
    SoundDecoder aac(m, std::make_unique<movie::MemorySource>(file.data(), file.size()), 22050, 1);
    EXPECT_EQ(ReadAll(aac).size(), 44100u);  // the sound keeps its length, and so its place

    // The PCM's last chunk pointing past the end of the file: that stretch is silent, the rest
    // as it was.
    Movie dv;
    auto pcm = Open("dv_pal_pcm.mov", dv, 48000, 2);
    const Samples whole = ReadAll(*pcm);
    movie::Track& t = dv.tracks[1];
    movie::ChunkInfo last;
    ASSERT_TRUE(t.Chunk(t.ChunkCount() - 1, last));
    t.chunkOffsets.back() = t.dataEnd - 16;
    SoundDecoder cut(dv, movie::FileSource::Open(kCorpus + "dv_pal_pcm.mov"), 48000, 2);
    const Samples got = ReadAll(cut);
    ASSERT_EQ(got.size(), whole.size());
    const size_t silentFrom = size_t(last.firstSample) * 2, silentTo = silentFrom + last.sampleCount * 2;
    EXPECT_EQ(MaxDifference(got, whole, 0, 0), MaxDifference(got, whole, silentFrom, silentFrom));
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + long(silentFrom), whole.begin()));
    EXPECT_TRUE(std::all_of(got.begin() + long(silentFrom), got.begin() + long(silentTo), [](int16_t v) { return v == 0; }));

    for (const auto& entry : std::filesystem::directory_iterator(std::string(TEST_DATA_DIR) + "/bad")) {
        Movie bad;
        if (movie::ReadMovieFile(entry.path().string(), bad) != movie::ReadResult::Ok) continue;
        SoundDecoder d(bad, movie::FileSource::Open(entry.path().string()), 44100, 2);
        d.Seek(bad.duration / 3);
        ReadAll(d);
    }
}

TEST(SoundDecoder, ReportsWhatItCannotPlay) {
    using namespace moviebuild;
    MovieLayout layout;
    layout.tracks = {SoundTrack(SoundEntry("QDM2", 0, 2, 16, 44100))};
    const Bytes file = BuildMovie(layout);
    Movie m;
    ASSERT_EQ(Read(file, m), movie::ReadResult::Ok);
    SoundDecoder d(m, std::make_unique<movie::MemorySource>(file.data(), file.size()), 44100, 2);
    EXPECT_TRUE(d.HasSound());
    EXPECT_FALSE(d.Supported());
    EXPECT_EQ(d.Codec(), movie::FourCC("QDM2"));
    int16_t buffer[8];
    EXPECT_EQ(d.Read(buffer, 4), 0u);

    // No sound track; an output format we do not make.
    Movie video;
    auto none = Open("mpeg4_1000.mov", video, 44100, 2);
    EXPECT_FALSE(none->HasSound());
    EXPECT_EQ(none->Read(buffer, 4), 0u);
    auto odd = Open("audio_pcm.mov", video, 44100, 6);
    EXPECT_FALSE(odd->Supported());
}

TEST(SoundDecoder, LinearPcmFollowsItsFormatFlags) {
    using namespace moviebuild;
    // Version 2 'lpcm': 32-bit float, little-endian (flags: float 1, packed 8), mono at 8 kHz.
    double rate = 8000;
    uint64_t rateBits;
    std::memcpy(&rateBits, &rate, 8);
    const Bytes entry = MakeAtom("lpcm", Cat({Zeros(6), U16(1), U16(2), U16(0), U32(0), U16(3), U16(16), U16(0xFFFE),
                                              U16(0), U32(0x10000), U32(72), U64(rateBits), U32(1), U32(0x7F000000),
                                              U32(32), U32(1 | 8), U32(4), U32(1)}));
    TrackLayout sound = SoundTrack(entry);
    sound.mediaScale = 8000;
    sound.delta = 1;
    sound.sampleSizes.assign(100, 4);
    sound.samplesPerChunk = 25;
    MovieLayout layout;
    layout.tracks = {sound};
    layout.timeScale = 8000;
    layout.duration = layout.tracks[0].tkhdDuration = 100;
    Bytes file = BuildMovie(layout);
    Movie m;
    ASSERT_EQ(Read(file, m), movie::ReadResult::Ok);
    movie::SampleInfo s;
    for (size_t n = 0; n < 100; ++n) {
        ASSERT_TRUE(m.tracks[0].Sample(n, s));
        const float v = (float(n) - 50) / 64;
        std::memcpy(&file[s.offset], &v, 4);  // this machine is little-endian, as the flags say
    }
    SoundDecoder d(m, std::make_unique<movie::MemorySource>(file.data(), file.size()), 8000, 1);
    ASSERT_TRUE(d.Supported());
    const Samples out = ReadAll(d);
    ASSERT_EQ(out.size(), 100u);
    for (size_t n = 0; n < out.size(); ++n)
        EXPECT_EQ(out[n], std::clamp(int(std::lrint((float(n) - 50) / 64 * 32768)), -32768, 32767)) << n;
}
