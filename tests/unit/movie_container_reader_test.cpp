#include <gtest/gtest.h>

#include "movie/container/MovieReader.h"
#include "movie/container/Timecode.h"
#include "movie_builders.h"

using namespace moviebuild;
using movie::FourCC;
using movie::Movie;
using movie::ReadResult;
using movie::SampleInfo;
using movie::Track;
using movie::TrackKind;

namespace {

Movie ReadOk(const Bytes& file) {
    Movie m;
    EXPECT_EQ(Read(file, m), ReadResult::Ok);
    return m;
}

// Every sample of every track read back through Sample() equals the bytes the builder wrote.
void ExpectSamplesMatch(const MovieLayout& layout, const Bytes& file, const Movie& m) {
    ASSERT_EQ(m.tracks.size(), layout.tracks.size());
    for (size_t ti = 0; ti < layout.tracks.size(); ++ti) {
        const Track& t = m.tracks[ti];
        const auto& sizes = layout.tracks[ti].sampleSizes;
        ASSERT_EQ(t.SampleCount(), sizes.size());
        for (size_t n = 0; n < sizes.size(); ++n) {
            SampleInfo s;
            ASSERT_TRUE(t.Sample(n, s)) << "track " << ti << " sample " << n;
            EXPECT_EQ(s.size, sizes[n]);
            EXPECT_EQ(s.time, uint64_t(n) * layout.tracks[ti].delta);
            ASSERT_LE(s.offset + s.size, file.size());
            for (uint32_t k = 0; k < s.size; ++k) ASSERT_EQ(file[s.offset + k], uint8_t(ti * 64 + n));
        }
    }
}

}  // namespace

TEST(MovieReader, ReadsTimeScaleDurationAndWholeSeconds) {
    MovieLayout layout;
    layout.timeScale = 100;
    layout.duration = 9090;
    layout.tracks[0].tkhdDuration = 9090;
    Movie m = ReadOk(BuildMovie(layout));
    EXPECT_EQ(m.timeScale, 100u);
    EXPECT_EQ(m.duration, 9090u);
    EXPECT_EQ(m.duration / m.timeScale, 90u);
}

TEST(MovieReader, ReadsTrackDetails) {
    MovieLayout layout;
    TrackLayout sound;
    sound.handler = "soun";
    sound.sampleEntry = SoundEntry("twos", 0, 2, 16, 22050);
    sound.width16 = sound.height16 = 0;
    sound.mediaScale = 22050;
    sound.delta = 1;
    layout.tracks.push_back(sound);
    const Bytes file = BuildMovie(layout);
    Movie m = ReadOk(file);
    ASSERT_EQ(m.tracks.size(), 2u);
    const Track& v = m.tracks[0];
    EXPECT_EQ(v.kind, TrackKind::Video);
    EXPECT_EQ(v.handler, FourCC("vide"));
    EXPECT_EQ(v.codec, FourCC("jpeg"));
    EXPECT_EQ(v.id, 1u);
    EXPECT_EQ(v.mediaTimeScale, 600u);
    EXPECT_EQ(v.mediaDuration, 240u);
    EXPECT_EQ(v.sampleWidth, 160);
    EXPECT_EQ(v.sampleHeight, 120);
    EXPECT_DOUBLE_EQ(v.width, 160.0);
    EXPECT_EQ(v.matrix[0], 0x10000);
    EXPECT_EQ(v.matrix[8], 0x40000000);
    EXPECT_TRUE(v.selfContained);
    const Track& a = m.tracks[1];
    EXPECT_EQ(a.kind, TrackKind::Sound);
    EXPECT_EQ(a.codec, FourCC("twos"));
    EXPECT_EQ(a.channels, 2);
    EXPECT_EQ(a.sampleBits, 16);
    EXPECT_EQ(a.sampleRate, 22050u);
    EXPECT_EQ(m.naturalWidth, 160);
    EXPECT_EQ(m.naturalHeight, 120);
    ExpectSamplesMatch(layout, file, m);
}

TEST(MovieReader, ReadsSoundDescriptionVersionsAndCodecConfig) {
    // Version 1 with the esds inside 'wave', as QuickTime writes AAC.
    Bytes esdsBody = {0, 0, 0, 0, 3, 25, 0, 1, 0};
    Bytes wave = MakeAtom("wave", Cat({MakeAtom("frma", Type("mp4a")), MakeAtom("esds", esdsBody), U32(0)}));
    MovieLayout layout;
    layout.tracks[0].handler = "soun";
    layout.tracks[0].sampleEntry = SoundEntry("mp4a", 1, 1, 16, 48000, wave);
    Movie m = ReadOk(BuildMovie(layout));
    const Track& t = m.tracks[0];
    EXPECT_EQ(t.channels, 1);
    EXPECT_EQ(t.sampleRate, 48000u);
    EXPECT_EQ(t.codecConfigType, FourCC("esds"));
    EXPECT_EQ(t.codecConfig, esdsBody);
    EXPECT_EQ(m.naturalWidth, 0);  // no video track
    EXPECT_EQ(t.soundVersion, 1);
    EXPECT_EQ(t.samplesPerPacket, 1024u);
    EXPECT_EQ(t.bytesPerFrame, 4u);
    EXPECT_FALSE(t.littleEndian);

    // 'enda' inside 'wave' marks 24-bit samples little-endian; the config search goes on past it.
    Bytes waveEnda = MakeAtom("wave", Cat({MakeAtom("frma", Type("in24")), MakeAtom("enda", U16(1)), U32(0)}));
    layout.tracks[0].sampleEntry = SoundEntry("in24", 1, 2, 24, 48000, waveEnda);
    m = ReadOk(BuildMovie(layout));
    EXPECT_TRUE(m.tracks[0].littleEndian);
    EXPECT_EQ(m.tracks[0].codecConfigType, 0u);

    // Version 2: the real rate, channels and bits follow the fixed part.
    double rate = 96000.0;
    uint64_t rateBits;
    std::memcpy(&rateBits, &rate, 8);
    Bytes v2 = MakeAtom("lpcm", Cat({Zeros(6), U16(1), U16(2), U16(0), U32(0), U16(3), U16(16), U16(0xFFFE), U16(0),
                                     U32(0x10000), U32(72), U64(rateBits), U32(6), U32(0x7F000000), U32(24),
                                     U32(0), U32(18), U32(1)}));
    layout.tracks[0].sampleEntry = v2;
    m = ReadOk(BuildMovie(layout));
    EXPECT_EQ(m.tracks[0].sampleRate, 96000u);
    EXPECT_EQ(m.tracks[0].channels, 6);
    EXPECT_EQ(m.tracks[0].sampleBits, 24);
    EXPECT_EQ(m.tracks[0].soundVersion, 2);
    EXPECT_EQ(m.tracks[0].bytesPerFrame, 18u);
    EXPECT_EQ(m.tracks[0].samplesPerPacket, 1u);

    // A NaN rate is refused as 0, not converted.
    rateBits = 0x7FF8000000000000ull;
    Bytes nan = v2;
    for (int i = 0; i < 8; ++i) nan[8 + 32 + i] = uint8_t(rateBits >> (56 - 8 * i));
    layout.tracks[0].sampleEntry = nan;
    m = ReadOk(BuildMovie(layout));
    EXPECT_EQ(m.tracks[0].sampleRate, 0u);
}

TEST(MovieReader, ReadsVideoCodecConfig) {
    Bytes avcC = {1, 0x64, 0, 0x0D, 0xFF, 0xE1, 0, 0};
    MovieLayout layout;
    layout.tracks[0].sampleEntry = VideoEntry("avc1", 320, 240, Cat({MakeAtom("colr", Zeros(10)), MakeAtom("avcC", avcC)}));
    Movie m = ReadOk(BuildMovie(layout));
    EXPECT_EQ(m.tracks[0].codec, FourCC("avc1"));
    EXPECT_EQ(m.tracks[0].codecConfigType, FourCC("avcC"));
    EXPECT_EQ(m.tracks[0].codecConfig, avcC);
    EXPECT_EQ(m.tracks[0].sampleWidth, 320);
    EXPECT_EQ(m.tracks[0].depth, 24);
}

TEST(MovieReader, ReadsATimecodeDescriptionAndTheStartItsSampleHolds) {
    MovieLayout layout;
    TrackLayout tc;
    tc.handler = "tmcd";
    tc.sampleEntry = TimecodeEntry(3, 30000, 1001, 30, MakeAtom("name", Type("Tape")));
    tc.sampleSizes = {4};
    layout.tracks.push_back(tc);
    Bytes file = BuildMovie(layout);
    Movie m = ReadOk(file);
    const Track& t = m.tracks[1];
    EXPECT_EQ(t.kind, TrackKind::Other);
    ASSERT_TRUE(t.hasTimecode);
    EXPECT_EQ(t.timecode.flags, 3u);
    EXPECT_EQ(t.timecode.timeScale, 30000u);
    EXPECT_EQ(t.timecode.frameDuration, 1001u);
    EXPECT_EQ(t.timecode.frames, 30);
    movie::MemorySource source(file.data(), file.size());
    movie::MovieTimecode start;
    ASSERT_TRUE(movie::ReadMovieTimecode(m, source, start));
    EXPECT_EQ(start.track, 1);
    EXPECT_EQ(start.frameNumber, 0x40404040);  // the builder fills track 1's first sample with 0x40
    EXPECT_TRUE(start.format.Drops());
    EXPECT_TRUE(start.format.wraps24h);

    // A description cut short, or one that counts nothing, is no timecode; the movie still reads.
    for (const Bytes& entry : {MakeAtom("tmcd", Cat({Zeros(6), U16(1), U32(0), U32(0), U32(30000)})),
                               TimecodeEntry(0, 0, 1001, 30), TimecodeEntry(0, 25, 1, 0)}) {
        layout.tracks[1].sampleEntry = entry;
        file = BuildMovie(layout);
        m = ReadOk(file);
        EXPECT_FALSE(m.tracks[1].hasTimecode);
        movie::MemorySource again(file.data(), file.size());
        EXPECT_FALSE(movie::ReadMovieTimecode(m, again, start));
    }
}

TEST(MovieReader, CompositionOffsetsFollowTheSamplesInAnyOrder) {
    MovieLayout layout;
    layout.tracks[0].sampleEntry = VideoEntry("avc1", 160, 120);
    layout.tracks[0].extraStbl = MakeFullAtom("ctts", 0, 0, Cat({U32(2), U32(2), U32(120), U32(1), U32(uint32_t(-60))}));
    Movie m = ReadOk(BuildMovie(layout));
    const Track& t = m.tracks[0];
    const int32_t expected[] = {120, 120, -60, 0};  // the last sample is beyond the table
    for (size_t n : {0, 1, 2, 3, 2, 0, 3, 1}) {
        SampleInfo s;
        ASSERT_TRUE(t.Sample(n, s));
        EXPECT_EQ(s.compositionOffset, expected[n]) << "sample " << n;
    }
}

TEST(MovieReader, ChunksGiveTheirSamplesInOrderAndAtRandom) {
    MovieLayout layout;
    layout.tracks[0].sampleSizes = {10, 11, 12, 13, 14};
    layout.tracks[0].samplesPerChunk = 2;  // three chunks; the last one holds a single sample
    Bytes file = BuildMovie(layout);
    Movie m = ReadOk(file);
    const Track& t = m.tracks[0];
    ASSERT_EQ(t.ChunkCount(), 3u);
    struct Expect { uint64_t first; uint32_t count; };
    const Expect byRun[] = {{0, 2}, {2, 2}, {4, 1}};
    for (size_t c : {0, 1, 2, 1, 0, 2}) {
        movie::ChunkInfo info;
        ASSERT_TRUE(t.Chunk(c, info)) << "chunk " << c;
        EXPECT_EQ(info.firstSample, byRun[c].first);
        EXPECT_EQ(info.sampleCount, byRun[c].count);
        SampleInfo s;
        ASSERT_TRUE(t.Sample(size_t(info.firstSample), s));
        EXPECT_EQ(info.offset, s.offset);
    }
    movie::ChunkInfo info;
    EXPECT_FALSE(t.Chunk(3, info));

    // Runs of different chunk sizes: 1 sample, then 2 per chunk.
    layout.tracks[0].extraStbl = Stsc({{1, 1}, {2, 2}});
    m = ReadOk(BuildMovie(layout));
    const Expect twoRuns[] = {{0, 1}, {1, 2}, {3, 2}};
    for (size_t c : {2, 0, 1, 2}) {
        ASSERT_TRUE(m.tracks[0].Chunk(c, info)) << "chunk " << c;
        EXPECT_EQ(info.firstSample, twoRuns[c].first);
        EXPECT_EQ(info.sampleCount, twoRuns[c].count);
    }

    // A table that does not start at chunk 1, has empty chunks or goes backwards gives no chunk there.
    struct Bad { Bytes stsc; size_t chunk; };
    for (const Bad& bad : {Bad{Stsc({{2, 1}}), 0}, Bad{Stsc({{1, 0}}), 0}, Bad{Stsc({{1, 1}, {3, 1}, {2, 1}}), 2}}) {
        layout.tracks[0].extraStbl = bad.stsc;
        m = ReadOk(BuildMovie(layout));
        EXPECT_FALSE(m.tracks[0].Chunk(bad.chunk, info));
    }
}

TEST(MovieReader, VersionOneHeadersCarry64BitValues) {
    MovieLayout layout;
    layout.version = 1;
    layout.timeScale = 90000;
    layout.duration = 0x123456789ull;
    layout.tracks[0].version = 1;
    layout.tracks[0].tkhdDuration = 0x123456789ull;
    const Bytes file = BuildMovie(layout);
    Movie m = ReadOk(file);
    EXPECT_EQ(m.timeScale, 90000u);
    EXPECT_EQ(m.duration, 0x123456789ull);
    EXPECT_EQ(m.tracks[0].duration, 0x123456789ull);
    EXPECT_EQ(m.tracks[0].mediaTimeScale, 600u);
    EXPECT_EQ(m.tracks[0].id, 1u);
    ExpectSamplesMatch(layout, file, m);

    Bytes v2 = BuildMovie(MovieLayout{});
    MovieLayout plain;
    Bytes mvhd = Mvhd(0, 600, 240);
    auto at = std::search(v2.begin(), v2.end(), mvhd.begin(), mvhd.end());
    ASSERT_NE(at, v2.end());
    at[8] = 2;  // version 2 does not exist
    Movie bad;
    EXPECT_EQ(Read(v2, bad), ReadResult::Malformed);
}

TEST(MovieReader, LayoutVariantsReadTheSame) {
    struct Case {
        const char* name;
        void (*tweak)(MovieLayout&);
    } cases[] = {
        {"moov after mdat", [](MovieLayout&) {}},
        {"moov first", [](MovieLayout& s) { s.moovFirst = true; }},
        {"no ftyp (classic QuickTime)", [](MovieLayout& s) { s.ftyp = false; }},
        {"64-bit moov and mdat sizes", [](MovieLayout& s) { s.moov64 = s.mdat64 = true; }},
        {"64-bit sizes, moov first", [](MovieLayout& s) { s.moov64 = s.mdat64 = s.moovFirst = true; }},
        {"moov last with size 0", [](MovieLayout& s) { s.lastSizeZero = true; }},
        {"mdat last with size 0", [](MovieLayout& s) { s.lastSizeZero = s.moovFirst = true; }},
        {"co64 chunk offsets", [](MovieLayout& s) { s.tracks[0].co64 = true; }},
        {"several samples per chunk", [](MovieLayout& s) { s.tracks[0].samplesPerChunk = 3; }},
        {"skipped top-level atoms", [](MovieLayout& s) {
             s.beforeFirst = Cat({MakeAtom("wide", {}), MakeAtom("free", Zeros(5)), MakeAtom("skip", Zeros(3)),
                                  MakeAtom("pnot", Zeros(12)), MakeAtom("junk", Zeros(40))});
         }},
        {"unknown atoms inside", [](MovieLayout& s) {
             s.extraMoov = Cat({MakeAtom("udta", MakeAtom("\xa9nam", Zeros(9))), MakeAtom("zzzz", Zeros(2)), U32(0)});
             s.tracks[0].extraStbl = MakeAtom("sdtp", Zeros(8));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MovieLayout layout;
        TrackLayout second;
        second.handler = "soun";
        second.sampleEntry = SoundEntry("sowt", 0, 1, 16, 8000);
        second.sampleSizes = {7, 9};
        layout.tracks.push_back(second);
        c.tweak(layout);
        const Bytes file = BuildMovie(layout);
        Movie m = ReadOk(file);
        EXPECT_EQ(m.timeScale, 600u);
        EXPECT_EQ(m.duration, 240u);
        EXPECT_EQ(m.tracks[1].kind, TrackKind::Sound);
        ExpectSamplesMatch(layout, file, m);
        EXPECT_LT(m.bytesRead, file.size() - 200);  // the 300 media bytes are never read
    }
}

TEST(MovieReader, EditListsGiveThePresentationDuration) {
    MovieLayout layout;
    layout.duration = 240;
    // An empty edit of 60 then the media: the track presents for 300.
    layout.tracks[0].edts = Edts(0, {{60, -1}, {240, 0}});
    Movie m = ReadOk(BuildMovie(layout));
    ASSERT_TRUE(m.tracks[0].hasEditList);
    ASSERT_EQ(m.tracks[0].edits.size(), 2u);
    EXPECT_EQ(m.tracks[0].edits[0].mediaTime, -1);
    EXPECT_EQ(m.tracks[0].PresentationDuration(), 300u);
    EXPECT_EQ(m.duration, 300u);

    // Version 1 entries; a longer track without an edit list still counts by its tkhd duration.
    layout.tracks[0].edts = Edts(1, {{100, 0}});
    TrackLayout other;
    other.tkhdDuration = 180;
    layout.tracks.push_back(other);
    m = ReadOk(BuildMovie(layout));
    EXPECT_EQ(m.duration, 180u);

    // Segment durations that overflow when summed are a malformation.
    layout.tracks[0].edts = Edts(1, {{~0ull, 0}, {2, 0}});
    EXPECT_EQ(Read(BuildMovie(layout), m), ReadResult::Malformed);
}

TEST(MovieReader, NaturalBoxBoundsEnabledVideoTracks) {
    MovieLayout layout;
    layout.tracks[0].width16 = 0x00A08000;   // 160.5 rounds up
    layout.tracks[0].height16 = 0x00787FFF;  // just under 120.5 rounds down
    TrackLayout tall;
    tall.width16 = 100u << 16;
    tall.height16 = 200u << 16;
    TrackLayout disabled;
    disabled.width16 = 1000u << 16;
    disabled.height16 = 1000u << 16;
    disabled.tkhdFlags = 0xE;
    TrackLayout sound;
    sound.handler = "soun";
    sound.sampleEntry = SoundEntry("sowt", 0, 1, 16, 8000);
    sound.width16 = sound.height16 = 5000u << 16;  // sound dimensions do not count
    layout.tracks = {layout.tracks[0], tall, disabled, sound};
    Movie m = ReadOk(BuildMovie(layout));
    EXPECT_EQ(m.naturalWidth, 161);
    EXPECT_EQ(m.naturalHeight, 200);
    EXPECT_FALSE(m.tracks[2].enabled);
}

TEST(MovieReader, SampleTablesMapSamplesToChunksTimesAndKeyFrames) {
    MovieLayout layout;
    layout.tracks[0].sampleSizes = {10, 20, 30, 40, 50, 60, 70};
    layout.tracks[0].keyFrames = {5, 1};  // stored out of order: still a set
    Bytes file = BuildMovie(layout);
    Movie m = ReadOk(file);
    const Track& t = m.tracks[0];
    SampleInfo s;
    ASSERT_TRUE(t.Sample(0, s));
    EXPECT_TRUE(s.keyFrame);
    ASSERT_TRUE(t.Sample(1, s));
    EXPECT_FALSE(s.keyFrame);
    ASSERT_TRUE(t.Sample(4, s));
    EXPECT_TRUE(s.keyFrame);
    EXPECT_EQ(s.time, 240u);
    EXPECT_EQ(s.duration, 60u);
    EXPECT_FALSE(t.Sample(7, s));

    // Hand-made tables: chunks of 2, 2, then 3 samples; two time runs.
    TrackLayout& ts = layout.tracks[0];
    ts.keyFrames.clear();
    ts.extraStbl = {};
    layout.tracks[0].samplesPerChunk = 1;
    Bytes stbl = Cat({Stsd(ts.sampleEntry), Stts({{3, 10}, {4, 20}}), Stsc({{1, 2}, {3, 3}}),
                      Stsz(0, ts.sampleSizes, 7), Stco({1000, 2000, 3000}, false)});
    Bytes moov = MakeAtom("moov", Cat({Mvhd(0, 600, 100),
                                       MakeAtom("trak", Cat({Tkhd(0, 1, 100, 0, 0),
                                                             MakeAtom("mdia", Cat({Mdhd(0, 600, 110), Hdlr("vide"),
                                                                                   MakeAtom("minf", MakeAtom("stbl", stbl))}))}))}));
    Bytes big = Cat({moov, MakeAtom("mdat", Zeros(3500))});
    m = ReadOk(big);
    const Track& h = m.tracks[0];
    struct Want { uint64_t offset; uint64_t time; uint32_t chunk; } want[] = {
        {1000, 0, 0}, {1010, 10, 0}, {2000, 20, 1}, {2030, 30, 1}, {3000, 50, 2}, {3050, 70, 2}, {3110, 90, 2}};
    // Forwards, backwards and scattered give the same answers (the cursor must not leak).
    for (int pass = 0; pass < 3; ++pass) {
        for (int k = 0; k < 7; ++k) {
            int n = pass == 0 ? k : pass == 1 ? 6 - k : (k * 3) % 7;
            ASSERT_TRUE(h.Sample(size_t(n), s)) << n;
            EXPECT_EQ(s.offset, want[n].offset) << n;
            EXPECT_EQ(s.time, want[n].time) << n;
            EXPECT_EQ(s.chunk, want[n].chunk) << n;
        }
    }
}

TEST(MovieReader, SampleRefusesWhatTheTablesOrTheFileCannotBack) {
    auto withTables = [](const Bytes& stts, const Bytes& stsc, const Bytes& stsz, const Bytes& stco) {
        Bytes stbl = Cat({Stsd(VideoEntry("jpeg", 8, 8)), stts, stsc, stsz, stco});
        Bytes moov = MakeAtom("moov", Cat({Mvhd(0, 600, 100),
                                           MakeAtom("trak", Cat({Tkhd(0, 1, 100, 0, 0),
                                                                 MakeAtom("mdia", Cat({Mdhd(0, 600, 110), Hdlr("vide"),
                                                                                       MakeAtom("minf", MakeAtom("stbl", stbl))}))}))}));
        return Cat({moov, MakeAtom("mdat", Zeros(100))});
    };
    struct Case {
        const char* name;
        Bytes file;
    } cases[] = {
        {"offset past the end of the file", withTables(Stts({{2, 1}}), Stsc({{1, 2}}), Stsz(10, {}, 2), Stco({1u << 30}, false))},
        {"co64 offset past the end", withTables(Stts({{2, 1}}), Stsc({{1, 2}}), Stsz(10, {}, 2), Stco({~0ull - 5}, true))},
        {"sample runs past the end", withTables(Stts({{2, 1}}), Stsc({{1, 2}}), Stsz(0x7FFFFFFF, {}, 2), Stco({200}, false))},
        {"time table too short", withTables(Stts({{1, 1}}), Stsc({{1, 2}}), Stsz(10, {}, 2), Stco({200}, false))},
        {"no chunk map", withTables(Stts({{2, 1}}), Stsc({}), Stsz(10, {}, 2), Stco({200}, false))},
        {"chunk map descending", withTables(Stts({{2, 1}}), Stsc({{2, 1}, {1, 1}}), Stsz(10, {}, 2), Stco({200, 210}, false))},
        {"zero samples per chunk", withTables(Stts({{2, 1}}), Stsc({{1, 0}}), Stsz(10, {}, 2), Stco({200}, false))},
        {"first chunk 0", withTables(Stts({{2, 1}}), Stsc({{0, 2}}), Stsz(10, {}, 2), Stco({200}, false))},
        {"fewer chunks than samples need", withTables(Stts({{2, 1}}), Stsc({{1, 1}}), Stsz(10, {}, 2), Stco({200}, false))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Movie m = ReadOk(c.file);
        ASSERT_EQ(m.tracks.size(), 1u);
        SampleInfo s;
        EXPECT_FALSE(m.tracks[0].Sample(1, s));
        EXPECT_FALSE(m.tracks[0].Sample(1u << 31, s));
    }
}

TEST(MovieReader, RefusesMalformedFilesCleanly) {
    const Bytes good = BuildMovie(MovieLayout{});
    // Replaces the first occurrence of `what` in the good file with `with`, fixing no sizes.
    auto patch = [&good](const Bytes& what, const Bytes& with) {
        Bytes f = good;
        auto at = std::search(f.begin(), f.end(), what.begin(), what.end());
        EXPECT_NE(at, f.end());
        std::copy(with.begin(), with.end(), at);
        return f;
    };
    auto moovWith = [](const Bytes& body) { return Cat({MakeAtom("mdat", Zeros(16)), MakeAtom("moov", body)}); };
    const Bytes mvhd = Mvhd(0, 600, 240);
    // Overwrites bytes at `delta` from the first occurrence of the four-character `type`.
    auto patchAt = [&good](const char* type, std::ptrdiff_t delta, const Bytes& with) {
        Bytes f = good;
        const Bytes t = Type(type);
        auto at = std::search(f.begin(), f.end(), t.begin(), t.end());
        EXPECT_NE(at, f.end());
        std::copy(with.begin(), with.end(), at + delta);
        return f;
    };

    struct Case {
        const char* name;
        Bytes file;
        ReadResult want;
    } cases[] = {
        {"empty file", {}, ReadResult::NotMovie},
        {"seven bytes", Zeros(7), ReadResult::NotMovie},
        {"text", Bytes({'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}), ReadResult::NotMovie},
        {"no moov", Cat({MakeAtom("ftyp", Type("qt  ")), MakeAtom("mdat", Zeros(40))}), ReadResult::NotMovie},
        {"no movie header", moovWith(MakeAtom("udta", {})), ReadResult::NotMovie},
        {"time scale 0", moovWith(Mvhd(0, 0, 240)), ReadResult::BadTimeScale},
        {"media time scale 0", patch(Mdhd(0, 600, 240), Mdhd(0, 0, 240)), ReadResult::BadTimeScale},
        {"truncated inside moov", Bytes(good.begin(), good.end() - 30), ReadResult::Malformed},
        {"moov size past the end", moovWith(Cat({mvhd, U32(1000), Type("trak")})), ReadResult::Malformed},
        {"child size below its header", moovWith(Cat({mvhd, U32(4), Type("trak")})), ReadResult::Malformed},
        {"64-bit child size below its header", moovWith(Cat({mvhd, U32(1), Type("trak"), U64(15)})), ReadResult::Malformed},
        {"64-bit child size huge", moovWith(Cat({mvhd, U32(1), Type("trak"), U64(~0ull)})), ReadResult::Malformed},
        {"mvhd cut short", moovWith(MakeFullAtom("mvhd", 0, 0, Zeros(10))), ReadResult::Malformed},
        {"mvhd v1 cut short", moovWith(MakeFullAtom("mvhd", 1, 0, Zeros(24))), ReadResult::Malformed},
        {"tkhd cut short", patch(Tkhd(0, 1, 240, 160u << 16, 120u << 16), MakeAtom("tkhd", Zeros(84 - 8))), ReadResult::Malformed},
        {"stts count beyond the atom", patchAt("stts", 8, U32(2)), ReadResult::Malformed},
        {"stsc absurd count", patchAt("stsc", 8, U32(0xFFFFFFFF)), ReadResult::Malformed},
        {"stsz count beyond the atom", patchAt("stsz", 12, U32(5)), ReadResult::Malformed},
        {"stco count beyond the atom", patchAt("stco", 8, U32(0x40000000)), ReadResult::Malformed},
        {"stss count beyond the atom", [] {
             MovieLayout s;
             s.tracks[0].keyFrames = {1};
             Bytes f = BuildMovie(s);
             const Bytes t = Type("stss");
             auto at = std::search(f.begin(), f.end(), t.begin(), t.end());
             at[11] = 2;
             return f;
         }(), ReadResult::Malformed},
        {"trak size past moov", patchAt("trak", -4, U32(100000)), ReadResult::Malformed},
        {"hdlr cut short", patchAt("hdlr", -4, Cat({U32(12), Type("hdlr"), U32(0), U32(0), U32(0)})), ReadResult::Malformed},
        {"elst count beyond the atom", [] {
             MovieLayout s;
             s.tracks[0].edts = MakeAtom("edts", MakeFullAtom("elst", 0, 0, Cat({U32(3), U32(240), U32(0), U32(0x10000)})));
             return BuildMovie(s);
         }(), ReadResult::Malformed},
        {"stsd entry larger than the atom", patch(Stsd(VideoEntry("jpeg", 160, 120)),
                                                    Cat({U32(102), Type("stsd"), U32(0), U32(1), U32(0x7FFFFFFF)})),
         ReadResult::Malformed},
        {"compressed movie header", moovWith(MakeAtom("cmov", Cat({MakeAtom("dcom", Type("zlib")), MakeAtom("cmvd", Zeros(8))}))),
         ReadResult::Compressed},
        {"moov claims more than the file", Cat({U32(1), Type("moov"), U64(uint64_t(65u << 20) + 32), mvhd}), ReadResult::Malformed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Movie m;
        EXPECT_EQ(Read(c.file, m), c.want);
    }
}

TEST(MovieReader, DeepNestingAndEndlessAtomChainsEndQuickly) {
    // 20,000 nested unknown atoms inside moov: skipped without descending.
    Bytes nest;
    for (uint32_t i = 0; i < 20000; ++i) Append(nest, Cat({U32((20000 - i) * 8), Type("zzzz")}));
    Movie m = ReadOk(Cat({MakeAtom("moov", Cat({Mvhd(0, 600, 1), nest})), MakeAtom("mdat", {})}));
    EXPECT_EQ(m.timeScale, 600u);

    // Nested 'wave' atoms in a sound description: the search stops at a fixed depth.
    Bytes wave = MakeAtom("esds", Zeros(4));
    for (int i = 0; i < 1000; ++i) wave = MakeAtom("wave", wave);
    MovieLayout layout;
    layout.tracks[0].handler = "soun";
    layout.tracks[0].sampleEntry = SoundEntry("mp4a", 0, 1, 16, 8000, wave);
    m = ReadOk(BuildMovie(layout));
    EXPECT_EQ(m.tracks[0].codecConfigType, 0u);

    // Empty tracks cost far more memory than file bytes: their number is capped.
    Bytes traks;
    for (int i = 0; i < 1024; ++i) Append(traks, MakeAtom("trak", {}));
    m = ReadOk(MakeAtom("moov", Cat({Mvhd(0, 600, 1), traks})));
    EXPECT_EQ(m.tracks.size(), 1024u);
    EXPECT_EQ(m.tracks[0].kind, TrackKind::Other);
    EXPECT_EQ(Read(MakeAtom("moov", Cat({Mvhd(0, 600, 1), traks, MakeAtom("trak", {})})), m), ReadResult::Malformed);

    // 100,000 empty 'free' atoms before the movie: the walk gives up rather than read them all.
    Bytes frees;
    for (int i = 0; i < 100000; ++i) Append(frees, MakeAtom("free", {}));
    Bytes file = Cat({frees, BuildMovie(MovieLayout{})});
    EXPECT_EQ(Read(file, m), ReadResult::NotMovie);
    EXPECT_LE(m.bytesRead, 70000u * 8);
}

TEST(MovieReader, SurvivesEveryTruncationAndByteFlip) {
    MovieLayout layout;
    layout.tracks[0].keyFrames = {1, 3};
    layout.tracks[0].edts = Edts(0, {{240, 0}});
    TrackLayout sound;
    sound.handler = "soun";
    sound.sampleEntry = SoundEntry("mp4a", 1, 2, 16, 44100, MakeAtom("wave", MakeAtom("esds", Zeros(12))));
    sound.samplesPerChunk = 2;
    layout.tracks.push_back(sound);
    const Bytes file = BuildMovie(layout);
    auto exercise = [](const Bytes& f) {
        Movie m;
        ReadResult r = Read(f, m);
        if (r != ReadResult::Ok) return r;
        EXPECT_NE(m.timeScale, 0u);
        for (const Track& t : m.tracks) {
            SampleInfo s;
            for (size_t n = 0; n < std::min<size_t>(t.SampleCount(), 64); ++n)
                if (t.Sample(n, s)) {
                    EXPECT_LE(s.offset + s.size, f.size());
                }
        }
        return r;
    };
    // The moov is the last atom, so every cut loses the movie.
    EXPECT_EQ(exercise(file), ReadResult::Ok);
    for (size_t len = 0; len < file.size(); ++len)
        EXPECT_NE(exercise(Bytes(file.begin(), file.begin() + len)), ReadResult::Ok) << len;
    for (size_t i = 0; i < file.size(); ++i) {
        for (uint8_t mask : {0xFF, 0x80, 0x01}) {
            Bytes f = file;
            f[i] ^= mask;
            exercise(f);
        }
    }
}

TEST(MovieReader, FileSourceCountsWhatItReads) {
    EXPECT_EQ(movie::FileSource::Open("/nonexistent/clip.mov"), nullptr);
    EXPECT_EQ(movie::FileSource::Open(TEST_DATA_DIR), nullptr);  // a folder is not a file
    Movie m;
    EXPECT_EQ(movie::ReadMovieFile("/nonexistent/clip.mov", m), ReadResult::IoError);

    const std::string path = std::string(TEST_DATA_DIR) + "/corpus/mjpeg_pcm_600.mov";  // moov at the end
    auto src = movie::FileSource::Open(path);
    ASSERT_NE(src, nullptr);
    ASSERT_EQ(movie::ReadMovie(*src, m), ReadResult::Ok);
    EXPECT_EQ(src->BytesRead(), m.bytesRead);
    // Top-level headers plus the moov body, nothing of the media.
    EXPECT_EQ(m.bytesRead, m.moovSize + 8 * (m.topLevelAtoms - 1));
    EXPECT_LT(m.bytesRead * 10, src->Size());

    uint8_t b[4];
    EXPECT_FALSE(src->ReadAt(src->Size() - 2, b, 4));
    EXPECT_FALSE(src->ReadAt(~0ull, b, 1));
    EXPECT_TRUE(src->ReadAt(src->Size() - 4, b, 4));
}

TEST(MovieReader, FindsTheMediaDataWhateverItsSizeFieldSays) {
    const Bytes ftyp = MakeAtom("ftyp", Cat({Type("qt  "), U32(0)}));
    const Bytes media(100, 0xAB);
    struct Case {
        const char* name;
        Bytes file;
        uint64_t headerOffset, dataOffset, declared, present;
        bool fits;
    };
    const Case cases[] = {
        {"whole", Cat({ftyp, MakeAtom("wide", {}), MakeAtom("mdat", media), MakeAtom("free", Zeros(4))}), 24, 32, 108, 100,
         true},
        {"64-bit size", Cat({ftyp, MakeAtom64("mdat", media)}), 16, 32, 116, 100, true},
        {"size 0: to the end", Cat({ftyp, U32(0), Type("mdat"), media}), 16, 24, 0, 100, false},
        {"preallocated past the end", Cat({ftyp, U32(1u << 30), Type("mdat"), media}), 16, 24, 1u << 30, 100, false},
        {"garbage below its header", Cat({ftyp, U32(3), Type("mdat"), media}), 16, 24, 3, 100, false},
    };
    for (const Case& c : cases) {
        movie::MemorySource src(c.file.data(), c.file.size());
        movie::MediaData md;
        ASSERT_TRUE(movie::FindMediaData(src, md)) << c.name;
        EXPECT_EQ(md.headerOffset, c.headerOffset) << c.name;
        EXPECT_EQ(md.dataOffset, c.dataOffset) << c.name;
        EXPECT_EQ(md.declaredSize, c.declared) << c.name;
        EXPECT_EQ(md.bytesPresent, c.present) << c.name;
        EXPECT_EQ(md.sizeFits, c.fits) << c.name;
    }
    // No 'mdat' where the atoms lead: none, or an atom before it that runs past the end.
    for (const Bytes& none : {Cat({ftyp, MakeAtom("moov", Zeros(8))}), Cat({ftyp, U32(1000), Type("free"), media}), Bytes{}}) {
        movie::MemorySource src(none.data(), none.size());
        movie::MediaData md;
        EXPECT_FALSE(movie::FindMediaData(src, md));
    }
}
