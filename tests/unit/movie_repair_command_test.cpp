// cliprepair as a user meets it: either argument order, a template found in the damaged clip's
// folder, templates that do not fit refused with their reason, files that are not damaged, the
// report's figures, and never a file overwritten or left half written.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <sstream>

#include "movie/container/ClipInfo.h"
#include "repair_clips.h"

using namespace repairclips;

namespace {

// A one-second clip of the PAL DV pair's picture with other sound or video settings.
std::string Variant(const std::string& file, const std::string& video, const std::string& sound) {
    return MakeClip(file, "-f lavfi -i testsrc2=size=" + video +
                              ":duration=1 -f lavfi -i sine=frequency=330:sample_rate=48000:duration=1 " + sound);
}

// The PAL DV clip cut off inside its 30th frame (or another); `file` is where it goes.
Layout CutDv(const std::string& file, size_t frame = 29) {
    const Layout o = ReadLayout(PairClip(PairNamed("dv625_twos")));
    const Piece& v = o.video[frame];
    Save(file, Bytes(o.file.begin(), o.file.begin() + long(v.offset + 1000)));
    return o;
}

size_t FilesIn(const TempFolder& f) {
    return size_t(std::distance(fs::directory_iterator(f.Path()), fs::directory_iterator()));
}

void SetAge(const std::string& path, int minutesAgo) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(minutesAgo));
}

// The Motion-JPEG clip cut off before its 41st frame.
void CutMjpeg(const std::string& file) {
    const Layout m = ReadLayout(PairClip(PairNamed("mjpeg_twos")));
    Save(file, Bytes(m.file.begin(), m.file.begin() + long(m.video[40].offset)));
}

// What the clip `damaged` repairs to with `healthy` on its own, in a folder of its own.
Bytes RepairedAlone(const std::string& damaged, const std::string& healthy) {
    TempFolder alone;
    fs::copy_file(damaged, alone / "Clip.mov");
    const Outcome r = ClipRepair({alone / "Clip.mov", "--like", healthy});
    EXPECT_EQ(r.status, 0) << r.err;
    return Load(alone / "Clip-repaired.mov");
}

Outcome ClipRepairOn(const std::vector<std::string>& args, const movie::repair::CommandHost& host) {
    std::ostringstream out, err;
    const int status = movie::repair::RunClipRepair(args, out, err, host);
    return {status, out.str(), err.str()};
}

// A host whose drive has `free` bytes free, named "DRIVE".
movie::repair::CommandHost DriveWithRoom(uint64_t free) {
    movie::repair::CommandHost host;
    host.freeSpace = [free](const std::string&, uint64_t& bytes, std::string& drive) {
        bytes = free;
        drive = "DRIVE";
        return true;
    };
    return host;
}

}  // namespace

TEST(ClipRepair, TakesTheTwoFilesInEitherOrder) {
    TempFolder folder;
    const std::string damaged = folder / "Clip.mov", repaired = folder / "Clip-repaired.mov";
    CutDv(damaged);
    const std::string healthy = PairClip(PairNamed("dv625_twos"), true);
    Bytes first;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {damaged, "--like", healthy}, {healthy, "--like", damaged}, {healthy, damaged}, {damaged, healthy}}) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const Outcome r = ClipRepair(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("template: " + healthy), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("video:    29 frames, 1.16 s"), std::string::npos) << r.out;
        const Bytes made = Load(repaired);
        if (first.empty()) first = made;
        EXPECT_EQ(made, first);
        fs::remove(repaired);
    }
    const Outcome named = ClipRepair({damaged, "-o", folder / "Other name.mov", "--like", healthy});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(Load(folder / "Other name.mov"), first);
}

TEST(ClipRepair, NeverOverwritesAFile) {
    TempFolder folder;
    const std::string damaged = folder / "Clip.mov", healthy = PairClip(PairNamed("dv625_twos"), true);
    CutDv(damaged);
    for (const std::string& taken : {folder / "Clip-repaired.mov", folder / "mine.mov"}) {
        Save(taken, {'k', 'e', 'e', 'p'});
        const Outcome r = taken == folder / "mine.mov" ? ClipRepair({damaged, "--like", healthy, "-o", taken})
                                                       : ClipRepair({damaged, "--like", healthy});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("exists: it is not overwritten"), std::string::npos) << r.err;
        EXPECT_EQ(Load(taken), (Bytes{'k', 'e', 'e', 'p'}));
    }
    EXPECT_EQ(FilesIn(folder), 3u);
}

TEST(ClipRepair, AFullDiskLeavesNoFileBehind) {
    TempFolder folder;
    const std::string damaged = folder / "Clip.mov", healthy = PairClip(PairNamed("dv625_twos"), true);
    CutDv(damaged);
    // A file size limit makes the disk full for this process: writes past 1 MB fail.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1 << 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Outcome r = ClipRepair({damaged, "--like", healthy});
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is the disk full?"), std::string::npos) << r.err;
    EXPECT_EQ(FilesIn(folder), 1u) << "no repaired clip and no temporary file";
}

TEST(ClipRepair, FindsTheNewestClipInTheFolderThatFits) {
    TempFolder folder;
    const std::string damaged = folder / "Clip.mov";
    CutDv(damaged);
    // Newest first: a note, another cut-off clip, a Motion-JPEG clip, an NTSC DV clip; then two
    // PAL DV clips, of which the newer must be taken.
    fs::copy_file(PairClip(PairNamed("mjpeg_twos"), true), folder / "A_mjpeg.mov");
    fs::copy_file(PairClip(PairNamed("dv525_sowt"), true), folder / "B_ntsc.mov");
    fs::copy_file(PairClip(PairNamed("dv625_twos"), true), folder / "C_pal.mov");
    fs::copy_file(PairClip(PairNamed("dv625_twos")), folder / "D_pal_older.mov");
    Save(folder / "E_note.txt", {'h', 'i'});
    fs::copy_file(damaged, folder / "F_cut.mov");
    SetAge(folder / "E_note.txt", 1);
    SetAge(folder / "F_cut.mov", 2);
    SetAge(folder / "A_mjpeg.mov", 3);
    SetAge(folder / "B_ntsc.mov", 4);
    SetAge(folder / "C_pal.mov", 5);
    SetAge(folder / "D_pal_older.mov", 6);
    const Outcome r = ClipRepair({damaged});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("template: " + folder / "C_pal.mov" + "\n            (the newest clip in the folder that fits)"),
              std::string::npos)
        << r.out;

    // Without one that fits, each candidate is named with its reason; DV takes its layout from
    // its own media instead.
    fs::remove(folder / "C_pal.mov");
    fs::remove(folder / "D_pal_older.mov");
    fs::remove(folder / "Clip-repaired.mov");
    const Outcome dv = ClipRepair({damaged});
    EXPECT_EQ(dv.status, 0) << dv.err;
    EXPECT_NE(dv.out.find("layout taken from the media (no healthy clip)"), std::string::npos) << dv.out;
    const Layout h = ReadLayout(PairClip(PairNamed("h264_sowt")));
    Save(folder / "G_h264_cut.mov", Bytes(h.file.begin(), h.file.begin() + long(h.video[40].offset)));
    const Outcome none = ClipRepair({folder / "G_h264_cut.mov"});
    EXPECT_EQ(none.status, 4);
    EXPECT_NE(none.err.find(folder / "A_mjpeg.mov" + ": codec"), std::string::npos) << none.err;
    EXPECT_NE(none.err.find(folder / "B_ntsc.mov" + ": codec"), std::string::npos) << none.err;
    EXPECT_FALSE(fs::exists(folder / "G_h264_cut-repaired.mov"));
}

TEST(ClipRepair, RefusesATemplateOfAnotherCodecFrameSizeOrSoundFormat) {
    TempFolder folder;
    const std::string damaged = folder / "Clip.mov";
    const Layout o = CutDv(damaged);
    const Bytes before = Load(damaged);
    struct Wrong {
        std::string clip, reason;
    };
    const Wrong wrongs[] = {
        {PairClip(PairNamed("mjpeg_twos"), true), "codec: the damaged clip's video is DV 625/50; the template's is Motion-JPEG"},
        {PairClip(PairNamed("h264_sowt"), true), "codec: the damaged clip's video is DV 625/50; the template's is H.264"},
        {PairClip(PairNamed("dv525_sowt"), true), "frame size: the damaged clip's video is DV 625/50; the template's is DV 525/60"},
        {Variant("dv625_sowt.mov", "720x576:rate=25", "-c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le -ac 2"),
         "sound format: the damaged clip's sound reads as big-endian samples where the template's sound is 16-bit "
         "little-endian PCM ('sowt')"},
        {Variant("dv625_mono.mov", "720x576:rate=25", "-c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16be -ac 1"),
         "1 channel, 48000 Hz, stores 96000 (another rate, channel count or sample size)"},
        {Variant("dv625_32k.mov", "720x576:rate=25", "-c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16be -ac 2 -ar 32000"),
         "2 channels, 32000 Hz, stores 128000 (another rate"},
    };
    for (const Wrong& w : wrongs) {
        const Outcome r = ClipRepair({damaged, "--like", w.clip});
        EXPECT_EQ(r.status, 4) << w.clip;
        EXPECT_NE(r.err.find(w.reason), std::string::npos) << r.err;
    }
    // And a Motion-JPEG clip of another picture size, for a Motion-JPEG recording.
    const Layout m = ReadLayout(PairClip(PairNamed("mjpeg_twos")));
    Save(folder / "Small.mov", Bytes(m.file.begin(), m.file.begin() + long(m.video[40].offset)));
    const std::string big =
        MakeClip("mjpeg_640.mov", "-f lavfi -i testsrc2=size=640x480:rate=30:duration=1 -f lavfi -i "
                                  "sine=frequency=330:sample_rate=44100:duration=1 -c:v mjpeg -q:v 5 -c:a pcm_s16be");
    const Outcome r = ClipRepair({folder / "Small.mov", "--like", big});
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("frame size: the damaged clip's video is Motion-JPEG 320x240; the template's is Motion-JPEG ('jpeg'), "
                         "640x480"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Load(damaged), before);
    EXPECT_EQ(FilesIn(folder), 2u);
}

TEST(ClipRepair, SaysWhenThereIsNothingToRepair) {
    TempFolder folder;
    const std::string healthy = PairClip(PairNamed("dv625_twos"), true), other = PairClip(PairNamed("mjpeg_twos"), true);
    Outcome r = ClipRepair({healthy});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("is not damaged"), std::string::npos) << r.err;
    r = ClipRepair({healthy, "--like", other});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("both read as movies"), std::string::npos) << r.err;

    Save(folder / "note.mov", {'n', 'o', 't', 'e'});
    r = ClipRepair({folder / "note.mov"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot be read as a recording"), std::string::npos) << r.err;

    const std::string damaged = folder / "Clip.mov";
    CutDv(damaged);
    const Layout m = ReadLayout(PairClip(PairNamed("mjpeg_twos")));
    Save(folder / "Mjpeg.mov", Bytes(m.file.begin(), m.file.begin() + long(m.video[40].offset)));
    r = ClipRepair({folder / "Mjpeg.mov"});  // the folder holds no healthy clip, and it is no DV
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("no healthy clip"), std::string::npos) << r.err;
    r = ClipRepair({healthy, other, PairClip(PairNamed("h264_aac"), true)});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("none of the 3 clips is damaged"), std::string::npos) << r.err;

    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{}, {damaged, "--like"}, {damaged, "--fast"}, {damaged, "-o", "a", "-o", "b"}}) {
        r = ClipRepair(bad);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("usage: cliprepair DAMAGED... [--like HEALTHY] [-o OUT]\n       cliprepair FOLDER..."),
                  std::string::npos);
    }
    EXPECT_EQ(FilesIn(folder), 3u);
}

TEST(ClipRepair, ReportsFramesSecondsAndBytes) {
    TempFolder folder;
    const std::string damaged = folder / "Clip.mov", healthy = PairClip(PairNamed("dv625_twos"), true);
    const Layout o = CutDv(damaged);
    // The 29 frames before the cut and the sound chunks between them; the 30th frame's first
    // 1000 bytes are cut off. Then 5000 bytes of zeros, as a preallocated file leaves them.
    Bytes file = Load(damaged);
    file.resize(file.size() + 5000, 0);
    Put32(file, o.mdatHeader, uint32_t(file.size() - o.mdatHeader + 100000));
    Save(damaged, file);
    uint64_t media = 0;
    for (size_t i = 0; i < 29; ++i) media += o.video[i].size;
    for (const Piece& s : o.sound)
        if (s.offset < o.video[29].offset) media += s.size;
    const Outcome r = ClipRepair({damaged, "--like", healthy});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("video:    29 frames, 1.16 s\n            DV 625/50 ('dvcp'), 720x576\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(" s\n            16-bit big-endian PCM ('twos'), 2 channels, 48000 Hz\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("media:    " + std::to_string(media) +
                         " bytes recovered\n            1000 bytes of a cut-off last sample dropped\n"
                         "            5000 bytes skipped"),
              std::string::npos)
        << r.out;
    // Every line fits a console's 80 columns, the folder's path aside.
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(folder.Path().string()) == std::string::npos) {
            EXPECT_LT(line.size(), 80u) << line;
        }
    }
    EXPECT_NE(r.out.find("Wrote " + folder / "Clip-repaired.mov"), std::string::npos);
}

TEST(ClipInfo, ListsACutOffRecordingWithItsMediaSize) {
    TempFolder folder;
    const Layout o = CutDv(folder / "Clip.mov");
    const uint64_t size = o.video[29].offset + 1000, media = size - o.mdatHeader - 8;
    std::ostringstream out, err;
    EXPECT_EQ(movie::RunClipInfo({folder / "Clip.mov"}, out, err), 1);
    EXPECT_EQ(out.str(), folder / "Clip.mov" + "\t" + std::to_string(size) + "\tcut off\tno movie header; " +
                             std::to_string(media) + " bytes of media: cliprepair can bring it back\n");
    EXPECT_EQ(err.str(), "");
    std::ostringstream json, jerr;
    EXPECT_EQ(movie::RunClipInfo({"--json", folder / "Clip.mov"}, json, jerr), 1);
    EXPECT_EQ(json.str(), "[\n  {\"file\": " + movie::JsonString(folder / "Clip.mov") + ", \"size\": " +
                              std::to_string(size) + ", \"cutOff\": true, \"movieHeader\": false, \"mediaBytes\": " +
                              std::to_string(media) + ", \"repair\": \"cliprepair\"}\n]\n");
}

TEST(ClipRepair, RandomBytesAreNoRecording) {
    // An 'mdat' of random bytes: a false start found by chance must not make a "repaired" clip.
    TempFolder folder;
    std::mt19937 random(14);
    Bytes file = {0, 0, 0, 20, 'f', 't', 'y', 'p', 'q', 't', ' ', ' ', 0, 0, 2, 0, 'q', 't', ' ', ' ', 0, 0, 0, 0, 'm', 'd', 'a', 't'};
    for (int i = 0; i < (2 << 20); ++i) file.push_back(uint8_t(random()));
    Save(folder / "Noise.mov", file);
    for (const Pair& p : kPairs) {
        const Outcome r = ClipRepair({folder / "Noise.mov", "--like", PairClip(p, true)});
        EXPECT_NE(r.status, 0) << p.name << "\n" << r.out;
        EXPECT_FALSE(fs::exists(folder / "Noise-repaired.mov")) << p.name;
        fs::remove(folder / "Noise-repaired.mov");
    }
}

TEST(ClipRepair, RepairsEveryCutOffClipOfAFolder) {
    TempFolder folder;
    const std::string healthy = folder / "Healthy.mov";
    CutDv(folder / "A.mov", 29);
    CutDv(folder / "B.mov", 40);
    CutMjpeg(folder / "C_mjpeg.mov");  // no clip in the folder fits it
    fs::copy_file(PairClip(PairNamed("dv625_twos"), true), healthy);
    Save(folder / "note.txt", {'h', 'i'});
    SetAge(healthy, 10);
    const Outcome r = ClipRepair({folder.Path().string()});
    EXPECT_EQ(r.status, 4) << "the worst of 0, 0 and 4\n" << r.err;
    // Each as it is repaired alone; B with the recorder's clip, not with A's repair, which is newer.
    EXPECT_EQ(Load(folder / "A-repaired.mov"), RepairedAlone(folder / "A.mov", healthy));
    EXPECT_EQ(Load(folder / "B-repaired.mov"), RepairedAlone(folder / "B.mov", healthy));
    EXPECT_NE(r.out.find("Repaired " + folder / "B.mov" + "\n  template: " + healthy), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("no clip in the folder of " + folder / "C_mjpeg.mov" + " fits it as a template:\n  " + healthy +
                         ": codec"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(folder / "C_mjpeg-repaired.mov"));
    const std::string summary = r.out.substr(r.out.find("Summary"));
    EXPECT_EQ(summary, "Summary: 3 clips, 2 repaired\n"
                       "  " + folder / "A.mov" + ": repaired -> A-repaired.mov\n"
                       "  " + folder / "B.mov" + ": repaired -> B-repaired.mov\n"
                       "  " + folder / "C_mjpeg.mov" + ": no template fits\n");

    // Again: the repaired clips are kept, healthy clips are no work, and a clip not written is
    // worse than one without a template.
    const Bytes a = Load(folder / "A-repaired.mov");
    const Outcome again = ClipRepair({folder.Path().string() + "/"});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.out.find("  " + folder / "A.mov" + ": output exists: A-repaired.mov\n"), std::string::npos) << again.out;
    EXPECT_EQ(again.out.find("-repaired.mov:"), std::string::npos) << again.out;
    EXPECT_EQ(Load(folder / "A-repaired.mov"), a);
    EXPECT_EQ(FilesIn(folder), 7u);

    // A clip repaired before comes after the recorder's own clips, newer as it is; it is a
    // template when none of those fits.
    fs::remove(folder / "B-repaired.mov");
    const Outcome alone = ClipRepair({folder / "B.mov"});
    EXPECT_NE(alone.out.find("template: " + healthy + "\n"), std::string::npos) << alone.out;
    fs::remove(healthy);
    fs::remove(folder / "B-repaired.mov");
    const Outcome fallback = ClipRepair({folder / "B.mov"});
    EXPECT_EQ(fallback.status, 0) << fallback.err;
    EXPECT_NE(fallback.out.find("template: " + folder / "A-repaired.mov" + "\n            (repaired before"),
              std::string::npos)
        << fallback.out;
    EXPECT_EQ(fallback.out.find("Summary"), std::string::npos) << "one clip: its report alone";
}

TEST(ClipRepair, RepairsSeveralFilesEachWithItsTemplate) {
    TempFolder folder;
    CutDv(folder / "Dv.mov");
    CutMjpeg(folder / "Mjpeg.mov");
    const std::string dv = PairClip(PairNamed("dv625_twos"), true), mjpeg = PairClip(PairNamed("mjpeg_twos"), true);
    const Outcome r = ClipRepair({folder / "Dv.mov", mjpeg, folder / "Mjpeg.mov", dv});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Load(folder / "Dv-repaired.mov"), RepairedAlone(folder / "Dv.mov", dv));
    EXPECT_EQ(Load(folder / "Mjpeg-repaired.mov"), RepairedAlone(folder / "Mjpeg.mov", mjpeg));
    EXPECT_NE(r.out.find("Repaired " + folder / "Mjpeg.mov" + "\n  template: " + mjpeg + "\n            (given)"),
              std::string::npos)
        << r.out;
    // The healthy clips given are templates, not clips that failed.
    EXPECT_NE(r.out.find("Summary: 2 clips, 2 repaired\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  " + mjpeg + ": healthy, the template of 1 clip\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  " + dv + ": healthy, the template of 1 clip\n"), std::string::npos) << r.out;

    // A file that fails stops nothing after it; --like is every clip's one template.
    Save(folder / "note.mov", {'n', 'o', 't', 'e'});
    CutDv(folder / "Dv2.mov");
    const Outcome mixed = ClipRepair({folder / "note.mov", folder / "Dv2.mov", "--like", dv});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.err.find(folder / "note.mov" + ": cannot be read as a recording"), std::string::npos) << mixed.err;
    EXPECT_EQ(Load(folder / "Dv2-repaired.mov"), Load(folder / "Dv-repaired.mov"));
    EXPECT_NE(mixed.out.find("  " + folder / "note.mov" + ": not a recording\n  " + folder / "Dv2.mov" +
                             ": repaired -> Dv2-repaired.mov\n  " + dv + ": healthy, the template of 1 clip\n"),
              std::string::npos)
        << mixed.out;

    // -o names one clip: with two to repair, nothing is written.
    fs::remove(folder / "Dv-repaired.mov");
    fs::remove(folder / "Mjpeg-repaired.mov");
    const Outcome named = ClipRepair({folder / "Dv.mov", folder / "Mjpeg.mov", "-o", folder / "Out.mov", dv});
    EXPECT_EQ(named.status, 2);
    EXPECT_NE(named.err.find("-o names one repaired clip, but 2 cut-off clips are to be repaired"), std::string::npos)
        << named.err;
    EXPECT_EQ(FilesIn(folder), 5u);
}

TEST(ClipRepair, DrawsItsProgressOnAConsoleOnly) {
    TempFolder folder;
    const std::string damaged = folder / "Clip.mov", healthy = PairClip(PairNamed("dv625_twos"), true);
    CutDv(damaged);
    movie::repair::CommandHost console;
    console.console = true;
    double now = 0;
    console.clock = [&now] { return now += 1; };  // a second goes by between any two readings
    const Outcome r = ClipRepairOn({damaged, "--like", healthy}, console);
    ASSERT_EQ(r.status, 0) << r.err;
    const size_t report = r.out.find("Repaired " + damaged);
    ASSERT_NE(report, std::string::npos) << r.out;
    // Lines drawn over each other, the last one at 100 %, then blanked before the report.
    const std::string progress = r.out.substr(0, report);
    EXPECT_EQ(progress.front(), '\r');
    EXPECT_NE(progress.find("\rClip.mov  "), std::string::npos) << progress;
    EXPECT_NE(progress.find(" MB/s  "), std::string::npos) << progress;
    const size_t last = progress.rfind("\rClip.mov");
    EXPECT_NE(progress.find("100%", last), std::string::npos) << progress;
    EXPECT_EQ(progress.find('\n'), std::string::npos);
    ASSERT_GE(progress.size(), 2u);
    const size_t blank = progress.rfind('\r', progress.size() - 2);
    EXPECT_EQ(progress.substr(blank + 1, progress.size() - blank - 2).find_first_not_of(' '), std::string::npos)
        << "the line is blanked";
    EXPECT_EQ(r.out.find('\r', report), std::string::npos);
    EXPECT_EQ(Load(folder / "Clip-repaired.mov"), RepairedAlone(damaged, healthy));
    // Redirected (not a console): the report alone.
    fs::remove(folder / "Clip-repaired.mov");
    const Outcome plain = ClipRepair({damaged, "--like", healthy});
    EXPECT_EQ(plain.out.find('\r'), std::string::npos);
    EXPECT_EQ(plain.out.rfind("Repaired ", 0), 0u) << plain.out;
}

TEST(ClipRepair, SaysAtOnceWhenTheDriveHasNoRoom) {
    TempFolder folder;
    const std::string damaged = folder / "Clip.mov", healthy = PairClip(PairNamed("dv625_twos"), true);
    CutDv(damaged);
    const uint64_t size = RepairedAlone(damaged, healthy).size();
    const Outcome r = ClipRepairOn({damaged, "--like", healthy}, DriveWithRoom(size - 1));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not enough room on DRIVE for " + folder / "Clip-repaired.mov" + ": it needs about "),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(" MB is free. Nothing was written; name a repaired clip on another drive with -o OUT"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(FilesIn(folder), 1u);
    // The figure is an upper bound, but not a wild one; the zeros a preallocated file holds after
    // the recording are not counted.
    EXPECT_EQ(ClipRepairOn({damaged, "--like", healthy}, DriveWithRoom(size * 3 / 2)).status, 0);
    Bytes preallocated = Load(damaged);
    preallocated.resize(preallocated.size() + (20u << 20), 0);
    Save(folder / "Preallocated.mov", preallocated);
    const Outcome zeros = ClipRepairOn({folder / "Preallocated.mov", "--like", healthy}, DriveWithRoom(size * 3 / 2));
    EXPECT_EQ(zeros.status, 0) << zeros.err;
    EXPECT_EQ(Load(folder / "Preallocated-repaired.mov"), Load(folder / "Clip-repaired.mov"));

    // A real small file system of its own, where one may be mounted (as root).
    const std::string small = folder / "small";
    fs::create_directories(small);
    if (geteuid() != 0 || std::system(("mount -t tmpfs -o size=6m clipharbor-test '" + small + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here (it needs root): the real drive's refusal is not tried";
    CutDv(folder / "Long.mov", 49);  // about 7.4 MB
    const Outcome full = ClipRepair({folder / "Long.mov", "--like", healthy, "-o", small + "/Long.mov"});
    const Outcome fits = ClipRepair({damaged, "--like", healthy, "-o", small + "/Clip.mov"});
    const bool longWritten = fs::exists(small + "/Long.mov");
    const Bytes clip = Load(small + "/Clip.mov");
    std::system(("umount '" + small + "'").c_str());
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("not enough room on " + small + "/ for " + small + "/Long.mov: it needs about "),
              std::string::npos)
        << full.err;
    EXPECT_FALSE(longWritten);
    EXPECT_EQ(fits.status, 0) << fits.err;
    EXPECT_EQ(clip, Load(folder / "Clip-repaired.mov"));
}
