// Copy, move and delete from the main window on real mapped drives: the real folder browser and
// message boxes, answered from a timer of this thread while they run.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "TestMovies.h"
#include "TestUi.h"
#include "fileops/ClipOperations.h"
#include "fileops/FileTransfer.h"
#include "fileops/SystemErrorText.h"
#include "framework/win/ResourceModule.h"
#include "tests/support/FolderBrowserSelection.h"

using namespace testui;

namespace {


bool IsFolderBrowser(HWND box) { return FindWindowExA(box, nullptr, "SysTreeView32", nullptr) != nullptr; }

// Selects the folder in the browser, as a user would before pressing OK; false when it cannot.
bool SelectFolder(HWND browser, const std::string& folder) {
    const HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
    auto send = [&](const std::string& path) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
        return true;
    };
    auto itemText = [&](HTREEITEM item) {
        char text[MAX_PATH] = {};
        TVITEMA data{};
        data.mask = TVIF_TEXT;
        data.hItem = item;
        data.pszText = text;
        data.cchTextMax = sizeof(text);
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
        return std::string(text);
    };
    return testsupport::SelectInFolderBrowser(browser, folder, send, itemText);
}

// The text an error box of the operations shows for a file and an error code.
std::wstring ErrorText(UINT messageId, const std::string& path, DWORD code) {
    return Wide(FillMessage(LoadMessage(messageId), {{'s', path}, {'s', SystemErrorText(code)}}));
}

// What the boxes of one operation showed, and how the test answered them.
struct Answers {
    std::string folder;              // chosen in the folder browser; empty: cancel it
    int deleteAnswer = IDYES;        // the answer to the delete question
    std::function<void(int)> onError;  // runs while error box n (from 0) is open
    int browsers = 0;
    std::vector<std::wstring> questions, errors;
    std::vector<std::string> captions;
};

class FileOperations : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        ClearDrive('F');
        CreateDirectoryA("F:\\dest", nullptr);
    }

    void Put(const std::string& corpusClip, const std::string& name, char drive = 'D') {
        ASSERT_TRUE(CopyCorpusClip(corpusClip, MediaFolder(drive) + name));
    }

    // Clicks a command button and answers every box the operation opens.
    void Click(int button, Answers& answers) {
        BoxWatcher watcher([&](HWND box) {
            answers.captions.push_back(WindowText(box));
            if (IsFolderBrowser(box)) {
                ++answers.browsers;
                if (answers.folder.empty()) {
                    PressButton(box, IDCANCEL);
                    return;
                }
                // OK only on the folder asked for: OK on another (the desktop, the user's home
                // under Wine) would copy there.
                if (!SelectFolder(box, answers.folder)) {
                    ADD_FAILURE() << "the folder browser does not select " << answers.folder;
                    PressButton(box, IDCANCEL);
                    return;
                }
                PressButton(box, IDOK);
            } else if (GetDlgItem(box, IDYES)) {
                answers.questions.push_back(MessageBoxTextW(box));
                PressButton(box, answers.deleteAnswer);
            } else {
                answers.errors.push_back(MessageBoxTextW(box));
                if (answers.onError) answers.onError(static_cast<int>(answers.errors.size()) - 1);
                PressButton(box, IDOK);
            }
        }, {dlg->hwnd()});
        SendMessageA(dlg->hwnd(), WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(Item(button)));
        Pump();
    }

    void ExpectNothingSelected() {
        EXPECT_EQ(SendMessageA(List(), LVM_GETSELECTEDCOUNT, 0, 0), 0);
        EXPECT_EQ(Status(), "No Selection");
        EXPECT_FALSE(dlg->Preview().IsOpen());
    }
};

TEST_F(FileOperations, CopyNeverOverwritesAndReportsEachFailedFile) {
    Put("mjpeg_pcm_600.mov", "a.mov");
    Put("mpeg4_1000.mov", "b.mov");
    Put("raw_rgb_600.mov", "c.mov");
    WriteTextFile("F:\\dest\\b.mov", "already here");
    Open();
    Select({0, 1, 2});
    Answers answers;
    answers.folder = "F:\\dest";
    Click(IDC_COPY, answers);

    EXPECT_EQ(answers.browsers, 1);
    EXPECT_EQ(ReadFileBytes("F:\\dest\\a.mov"), ReadFileBytes(MediaFolder('D') + "a.mov"));
    EXPECT_EQ(ReadFileBytes("F:\\dest\\c.mov"), ReadFileBytes(MediaFolder('D') + "c.mov"));
    EXPECT_EQ(ReadFileBytes("F:\\dest\\b.mov"), "already here");
    ASSERT_EQ(answers.errors.size(), 1u);
    EXPECT_EQ(answers.errors[0], ErrorText(IDS_ERROR_COPY, MediaFolder('D') + "b.mov", ERROR_FILE_EXISTS));
    EXPECT_EQ(answers.captions.back(), "ClipHarbor");
    // The sources stay, the list is read again and nothing is selected.
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.mov", "b.mov", "c.mov"}));
    ExpectNothingSelected();
}

TEST_F(FileOperations, CopyIntoTheDevicesOwnFolderFailsForEveryFile) {
    Put("mjpeg_pcm_600.mov", "a.mov");
    Put("mpeg4_1000.mov", "b.mov");
    Open();
    const std::string before = ReadFileBytes(MediaFolder('D') + "a.mov");
    Select({0, 1});
    Answers answers;
    answers.folder = "D:\\Movie\\Media";
    Click(IDC_COPY, answers);
    ASSERT_EQ(answers.errors.size(), 2u);
    EXPECT_EQ(answers.errors[0], ErrorText(IDS_ERROR_COPY, MediaFolder('D') + "a.mov", ERROR_FILE_EXISTS));
    EXPECT_EQ(answers.errors[1], ErrorText(IDS_ERROR_COPY, MediaFolder('D') + "b.mov", ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadFileBytes(MediaFolder('D') + "a.mov"), before);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.mov", "b.mov"}));
}

TEST_F(FileOperations, MoveToADriveRootKeepsTheSourceOfAFailedMove) {
    Put("mjpeg_pcm_600.mov", "a.mov");
    Put("mpeg4_1000.mov", "b.mov");
    Put("raw_rgb_600.mov", "c.mov");
    WriteTextFile("F:\\b.mov", "already here");
    const std::string a = ReadFileBytes(MediaFolder('D') + "a.mov");
    Open();
    Select({0, 1, 2});
    Answers answers;
    answers.folder = "F:\\";
    Click(IDC_MOVE, answers);

    EXPECT_EQ(ReadFileBytes("F:\\a.mov"), a);
    EXPECT_FALSE(Exists(MediaFolder('D') + "a.mov"));
    EXPECT_TRUE(Exists("F:\\c.mov"));
    ASSERT_EQ(answers.errors.size(), 1u);
    EXPECT_EQ(answers.errors[0], ErrorText(IDS_ERROR_MOVE, MediaFolder('D') + "b.mov", ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadFileBytes("F:\\b.mov"), "already here");
    EXPECT_EQ(Names(), (std::vector<std::string>{"b.mov"}));
    ExpectNothingSelected();
}

TEST_F(FileOperations, CopyReleasesThePreviewOnlyAfterAFolderWasChosen) {
    Put("mjpeg_pcm_600.mov", "a.mov");
    Open();
    Select({0});
    ASSERT_TRUE(dlg->Preview().IsOpen());
    Answers cancelled;
    Click(IDC_COPY, cancelled);
    EXPECT_EQ(cancelled.browsers, 1);
    EXPECT_TRUE(dlg->Preview().IsOpen());
    EXPECT_EQ(dlg->Preview().Row(), 0);
    EXPECT_FALSE(Exists("F:\\dest\\a.mov"));

    Answers chosen;
    chosen.folder = "F:\\dest";
    Click(IDC_COPY, chosen);
    EXPECT_TRUE(chosen.errors.empty());
    EXPECT_TRUE(Exists("F:\\dest\\a.mov"));
    EXPECT_TRUE(dlg->Preview().PlaceholderVisible());
    ExpectNothingSelected();
}

TEST_F(FileOperations, DeleteAsksOnceAndTouchesOnlyTheConfirmedRows) {
    Put("mjpeg_pcm_600.mov", "a.mov");
    Put("mpeg4_1000.mov", "b.mov");
    Put("raw_rgb_600.mov", "c.mov");
    Open();

    Select({0});
    Answers no;
    no.deleteAnswer = IDNO;
    Click(IDC_DELETE, no);
    ASSERT_EQ(no.questions.size(), 1u);
    EXPECT_EQ(no.questions[0], Wide(LoadMessage(IDS_CONFIRM_DELETE_ONE)));
    EXPECT_EQ(no.captions[0], "ClipHarbor");
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.mov", "b.mov", "c.mov"}));
    EXPECT_TRUE(dlg->Preview().IsOpen()) << "a declined delete changes nothing";

    Select({0, 2});
    Answers no2;
    no2.deleteAnswer = IDNO;
    Click(IDC_DELETE, no2);
    ASSERT_EQ(no2.questions.size(), 1u);
    EXPECT_EQ(no2.questions[0], Wide(LoadMessage(IDS_CONFIRM_DELETE_MANY)));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.mov", "b.mov", "c.mov"}));

    Select({0, 2});
    Answers yes;
    Click(IDC_DELETE, yes);
    EXPECT_TRUE(yes.errors.empty());
    EXPECT_EQ(Names(), (std::vector<std::string>{"b.mov"}));
    EXPECT_TRUE(Exists(MediaFolder('D') + "b.mov"));
    EXPECT_TRUE(dlg->Preview().PlaceholderVisible());
    ExpectNothingSelected();

    Select({0});
    Answers one;
    Click(IDC_DELETE, one);
    EXPECT_EQ(RowCount(), 0);
    EXPECT_FALSE(Exists(MediaFolder('D') + "b.mov"));
}

// M: is a small file system of its own (a tmpfs of a few MiB) where the test run could mount one;
// tools/test.sh does, as root. Elsewhere it is a folder on the same file system as the others.
bool SmallDriveMounted() {
    ULARGE_INTEGER total{};
    return GetDiskFreeSpaceExA("M:\\", nullptr, &total, nullptr) && total.QuadPart <= 16u << 20;
}
#define REQUIRE_SMALL_DRIVE()                                                                        \
    if (!SmallDriveMounted())                                                                        \
    GTEST_SKIP() << "drive M: is not a small file system of its own (mounting a tmpfs needs root): " \
                    "skipped"

// The clip that does not fit is reported with the system's text and leaves nothing on the full
// disk: a part of it under its name would pass for the clip. The source and a file that was there
// before are as they were.
TEST_F(FileOperations, AFullDiskKeepsNoPartOfTheClip) {
    REQUIRE_SMALL_DRIVE();
    ClearDrive('M');
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "big.mov", 600, 6000, 11u << 20));
    Put("mjpeg_pcm_600.mov", "small.mov");
    WriteTextFile("M:\\small.mov", "already here");
    const std::string big = ReadFileBytes(MediaFolder('D') + "big.mov");
    Open();
    const struct {
        int button;
        UINT message;
        DWORD exists;
    } operations[] = {{IDC_COPY, IDS_ERROR_COPY, ERROR_FILE_EXISTS}, {IDC_MOVE, IDS_ERROR_MOVE, ERROR_ALREADY_EXISTS}};
    for (const auto& operation : operations) {
        SCOPED_TRACE(operation.button == IDC_COPY ? "copy" : "move");
        Select({0, 1});
        Answers answers;
        answers.folder = "M:\\";
        Click(operation.button, answers);
        ASSERT_EQ(answers.errors.size(), 2u);
        EXPECT_EQ(answers.errors[0], ErrorText(operation.message, MediaFolder('D') + "big.mov", ERROR_DISK_FULL));
        EXPECT_EQ(answers.errors[1], ErrorText(operation.message, MediaFolder('D') + "small.mov", operation.exists));
        EXPECT_FALSE(Exists("M:\\big.mov"));
        EXPECT_EQ(ReadFileBytes(MediaFolder('D') + "big.mov"), big);
        EXPECT_EQ(ReadFileBytes("M:\\small.mov"), "already here");
        EXPECT_EQ(Names(), (std::vector<std::string>{"big.mov", "small.mov"}));
    }
}

// A move onto another file system is a copy and a delete, not a rename.
TEST_F(FileOperations, MoveOntoAnotherFileSystemArrivesWholeAndLeavesNoSource) {
    REQUIRE_SMALL_DRIVE();
    ClearDrive('M');
    Put("dv_pal_pcm.mov", "a.mov");
    const std::string clip = ReadFileBytes(MediaFolder('D') + "a.mov");
    Open();
    Select({0});
    Answers answers;
    answers.folder = "M:\\";
    Click(IDC_MOVE, answers);
    EXPECT_TRUE(answers.errors.empty());
    EXPECT_EQ(ReadFileBytes("M:\\a.mov"), clip);
    EXPECT_FALSE(Exists(MediaFolder('D') + "a.mov"));
    EXPECT_EQ(RowCount(), 0);
}

// The system takes an ANSI path of exactly MAX_PATH bytes by itself (it would delete that file):
// the refusal is the program's own, for that file only; the others go on.
TEST(ClipOperationsTest, DeleteRefusesAPathOfMaxPathBytesAndGoesOn) {
    ClearDrive('F');
    // In a folder: the file name alone stays within what the file system takes.
    const std::string folder = "F:\\" + std::string(120, 'd') + "\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string longPath = folder + std::string(MAX_PATH - folder.size() - 4, 'x') + ".mov";
    ASSERT_EQ(longPath.size(), size_t{MAX_PATH});
    HANDLE file = CreateFileW(Wide(longPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    WriteTextFile("F:\\b.mov", "clip");

    std::vector<std::wstring> errors;
    BoxWatcher watcher([&](HWND box) {
        errors.push_back(MessageBoxTextW(box));
        PressButton(box, IDOK);
    });
    ClipOperations operations;
    operations.DeleteFiles({longPath, "F:\\b.mov"});
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], ErrorText(IDS_ERROR_DELETE, longPath, ERROR_FILENAME_EXCED_RANGE));
    EXPECT_NE(GetFileAttributesW(Wide(longPath).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(Exists("F:\\b.mov"));
    DeleteFileW(Wide(longPath).c_str());
}

TEST_F(FileOperations, ADeviceRemovedBetweenTwoFilesGivesABoxPerRemainingFile) {
    // Drive J: is removed while the first failure's box is open: its folder is taken away.
    const std::string driveFolder = std::string("Z:") + TEST_DRIVES_DIR + "\\j";
    const std::string removedFolder = driveFolder + ".removed";
    RemoveTree(removedFolder);
    ClearDrive('J');
    MakeMediaFolder('J');
    Put("mjpeg_pcm_600.mov", "a.mov", 'J');
    Put("mpeg4_1000.mov", "b.mov", 'J');
    Put("raw_rgb_600.mov", "c.mov", 'J');
    WriteTextFile("F:\\dest\\a.mov", "already here");
    Open({MediaFolder('J')});
    Select({0, 1, 2});
    Answers answers;
    answers.folder = "F:\\dest";
    bool removed = false;
    answers.onError = [&](int n) {
        if (n == 0) removed = MoveFileA(driveFolder.c_str(), removedFolder.c_str()) != FALSE;
    };
    Click(IDC_COPY, answers);
    if (removed) MoveFileA(removedFolder.c_str(), driveFolder.c_str());

    ASSERT_TRUE(removed);
    ASSERT_EQ(answers.errors.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const std::string source = MediaFolder('J') + std::string(1, static_cast<char>('a' + i)) + ".mov";
        EXPECT_NE(answers.errors[static_cast<size_t>(i)].find(Wide(source)), std::wstring::npos) << i;
    }
    EXPECT_FALSE(Exists("F:\\dest\\b.mov"));
    EXPECT_EQ(RowCount(), 0);
    ExpectNothingSelected();
}

// The copy and move that keep the window drawn answer exactly as the plain calls would.
TEST(FileTransfer, ResultsAndErrorsAreThoseOfThePlainCalls) {
    struct Case {
        const char* what;
        bool source, destination;
        const char* to;
    };
    const Case cases[] = {{"free destination", true, false, "F:\\t\\to.bin"},
                          {"existing destination", true, true, "F:\\t\\to.bin"},
                          {"missing source", false, false, "F:\\t\\to.bin"},
                          {"missing folder", true, false, "F:\\none\\to.bin"},
                          {"other drive's root", true, false, "G:\\\\to.bin"}};
    using Call = BOOL (*)(const char*, const char*);
    auto plainCopy = [](const char* from, const char* to) { return CopyFileA(from, to, TRUE); };
    auto plainMove = [](const char* from, const char* to) { return MoveFileA(from, to); };
    const struct {
        Call plain, painting;
    } pairs[] = {{plainCopy, CopyFileWhilePainting}, {plainMove, MoveFileWhilePainting}};
    for (const auto& pair : pairs) {
        for (const Case& c : cases) {
            DWORD errors[2] = {};
            BOOL results[2] = {};
            for (int i = 0; i < 2; ++i) {
                ClearDrive('F');
                ClearDrive('G');
                CreateDirectoryA("F:\\t", nullptr);
                if (c.source) WriteTextFile("F:\\t\\from.bin", "clip");
                if (c.destination) WriteTextFile(c.to, "already here");
                SetLastError(0);
                results[i] = (i == 0 ? pair.plain : pair.painting)("F:\\t\\from.bin", c.to);
                errors[i] = results[i] ? 0 : GetLastError();
            }
            EXPECT_EQ(results[1], results[0]) << c.what;
            EXPECT_EQ(errors[1], errors[0]) << c.what;
        }
    }
}

TEST(SystemErrorTextTest, TheSystemsTextUntrimmedOrNothing) {
    const std::string exists = SystemErrorText(ERROR_FILE_EXISTS);
    ASSERT_FALSE(exists.empty());
    EXPECT_EQ(exists.back(), '\n');
    EXPECT_EQ(SystemErrorText(0x2A7F3), "");
    // A network error (2100 to 2999) finds its text too.
    EXPECT_FALSE(SystemErrorText(2250).empty());
}

}  // namespace
