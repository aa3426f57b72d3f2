// The repair's Windows side: under the program's languages, a template whose name is in the
// user's code page is found by the folder search and opened by the name the search gave; and
// cliprepair.exe as a user runs it, on a folder of clips and onto a drive without room.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "TestUi.h"
#include "movie/repair/RepairCommand.h"

using namespace testui;

namespace {

// A file name of the code page the test runs in, beyond ASCII.
std::string CodePageName() {
    const wchar_t* name = GetACP() == 932 ? L"テンプレ.mov" : GetACP() == 1251 ? L"Шаблон.mov" : L"Modèle.mov";
    char bytes[64] = {};
    BOOL lost = FALSE;
    WideCharToMultiByte(CP_ACP, 0, name, -1, bytes, sizeof bytes, nullptr, &lost);
    EXPECT_FALSE(lost) << "code page " << GetACP();
    return bytes;
}

TEST(LanguageRepair, FindsATemplateNamedInTheUsersCodePage) {
    ClearDrive('G');
    const std::string folder = DriveRoot('G');
    const std::string healthy = folder + CodePageName();
    ASSERT_TRUE(CopyCorpusClip("dv_ntsc_pcm.mov", healthy));
    // The same recording cut off part-way through its media: no movie header any more.
    std::string cut = ReadFileBytes(healthy);
    cut.resize(cut.size() * 6 / 10);
    WriteTextFile(folder + "Cut.mov", cut);

    std::ostringstream out, err;
    EXPECT_EQ(movie::repair::RunClipRepair({folder + "Cut.mov"}, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("template: " + healthy), std::string::npos) << out.str();
    EXPECT_TRUE(Exists(folder + "Cut-repaired.mov"));
    EXPECT_EQ(ReadFileBytes(folder + "Cut.mov"), cut);
}

struct ExeRun {
    DWORD status;
    std::string out, err;
};

// Runs cliprepair.exe with `args`, its output and errors going to files (redirected, as a script
// runs it), without a console of its own.
ExeRun RunClipRepairExe(const std::string& args) {
    std::string exe = std::string("Z:") + CLIPREPAIR_EXE;
    std::replace(exe.begin(), exe.end(), '/', '\\');
    const std::string outPath = DriveRoot('K') + "cliprepair.out", errPath = DriveRoot('K') + "cliprepair.err";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    const HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = out;
    start.hStdError = err;
    std::string command = "\"" + exe + "\" " + args;
    PROCESS_INFORMATION process{};
    ExeRun run{DWORD(-1), {}, {}};
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr, nullptr, &start,
                       &process)) {
        EXPECT_EQ(WaitForSingleObject(process.hProcess, 300000), WAIT_OBJECT_0);
        GetExitCodeProcess(process.hProcess, &run.status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << exe << ": error " << GetLastError();
    }
    CloseHandle(out);
    CloseHandle(err);
    // The C runtime writes a text stream's line ends as CR LF: each is one line break here, and a
    // CR left over is a progress line's.
    for (auto [path, text] : {std::pair{outPath, &run.out}, std::pair{errPath, &run.err}}) {
        const std::string bytes = ReadFileBytes(path);
        for (size_t i = 0; i < bytes.size(); ++i)
            if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) *text += bytes[i];
    }
    return run;
}

// A corpus clip cut off at `share` of its size: no movie header any more.
std::string CutClip(const std::string& clip, double share) {
    std::string bytes = ReadFileBytes(CorpusPath(clip));
    bytes.resize(size_t(double(bytes.size()) * share));
    return bytes;
}

// M: is a small file system of its own (a tmpfs of 8 MiB) where the test run could mount one.
bool SmallDriveMounted() {
    ULARGE_INTEGER total{};
    return GetDiskFreeSpaceExA("M:\\", nullptr, &total, nullptr) && total.QuadPart <= 16u << 20;
}

}  // namespace

// Every cut-off clip of the folder is repaired, one that no clip fits stops none of the others,
// and the summary tells each; the exit status is the worst of theirs.
TEST(RepairRun, AFolderOfClipsWithOneThatFails) {
    ClearDrive('E');
    const std::string folder = DriveRoot('E') + "Card\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyCorpusClip("dv_ntsc_pcm.mov", folder + "Healthy.mov"));
    WriteTextFile(folder + "Take1.mov", CutClip("dv_ntsc_pcm.mov", 0.6));
    WriteTextFile(folder + "Take2.mov", CutClip("dv_ntsc_pcm.mov", 0.9));
    WriteTextFile(folder + "Take3.mov", CutClip("mjpeg_pcm_600.mov", 0.6));  // no clip of the folder fits it
    WriteTextFile(folder + "notes.txt", "reel 4");

    const ExeRun run = RunClipRepairExe(DriveRoot('E') + "Card");
    EXPECT_EQ(run.status, 4u) << run.err;
    EXPECT_TRUE(Exists(folder + "Take1-repaired.mov"));
    EXPECT_TRUE(Exists(folder + "Take2-repaired.mov"));
    EXPECT_FALSE(Exists(folder + "Take3-repaired.mov"));
    EXPECT_NE(run.out.find("Repaired " + folder + "Take2.mov\n  template: " + folder + "Healthy.mov\n"), std::string::npos)
        << run.out;
    const size_t summary = run.out.find("Summary");
    ASSERT_NE(summary, std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(summary), "Summary: 3 clips, 2 repaired\n"
                                       "  " + folder + "Take1.mov: repaired -> Take1-repaired.mov\n"
                                       "  " + folder + "Take2.mov: repaired -> Take2-repaired.mov\n"
                                       "  " + folder + "Take3.mov: no template fits\n");
    EXPECT_NE(run.err.find(folder + "Healthy.mov: codec: the damaged clip's video is Motion-JPEG"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.out.find('\r'), std::string::npos) << "redirected: no progress line";
}

// Onto a drive without room for the repaired clip: said at once with both figures, nothing written.
TEST(RepairRun, ADriveWithoutRoomIsNamedBeforeAnythingIsWritten) {
    if (!SmallDriveMounted())
        GTEST_SKIP() << "drive M: is not a small file system of its own (mounting a tmpfs needs root): skipped";
    ClearDrive('M');
    ClearDrive('E');
    // A recording of about 10 MB: the clip's media over and over, the movie header never written.
    const std::string clip = ReadFileBytes(CorpusPath("dv_ntsc_pcm.mov"));
    const size_t mdat = clip.find("mdat") - 4;
    const uint32_t mediaSize = (uint32_t(uint8_t(clip[mdat])) << 24) | (uint32_t(uint8_t(clip[mdat + 1])) << 16) |
                               (uint32_t(uint8_t(clip[mdat + 2])) << 8) | uint8_t(clip[mdat + 3]);
    std::string big = clip.substr(0, mdat + 8);
    std::fill(big.begin() + long(mdat), big.begin() + long(mdat + 4), '\0');  // size 0: to the end of the file
    for (int i = 0; i < 20; ++i) big += clip.substr(mdat + 8, mediaSize - 8);
    WriteTextFile("E:\\Long.mov", big);
    ASSERT_TRUE(CopyCorpusClip("dv_ntsc_pcm.mov", "E:\\Healthy.mov"));

    const ExeRun full = RunClipRepairExe("E:\\Long.mov -o M:\\Long.mov");
    EXPECT_EQ(full.status, 1u);
    EXPECT_NE(full.err.find("not enough room on M:\\ for M:\\Long.mov: it needs about "), std::string::npos) << full.err;
    EXPECT_NE(full.err.find(" MB is free. Nothing was written; name a repaired clip on another drive with -o OUT"),
              std::string::npos)
        << full.err;
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA("M:\\*", &entry);
    bool empty = true;
    if (search != INVALID_HANDLE_VALUE) {
        do empty = empty && (std::string(entry.cFileName) == "." || std::string(entry.cFileName) == "..");
        while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    EXPECT_TRUE(empty) << "nothing written on M:";
    // A clip that fits is written there.
    WriteTextFile("E:\\Short.mov", CutClip("dv_ntsc_pcm.mov", 0.6));
    const ExeRun fits = RunClipRepairExe("E:\\Short.mov -o M:\\Short.mov");
    EXPECT_EQ(fits.status, 0u) << fits.err;
    EXPECT_TRUE(Exists("M:\\Short.mov"));
}
