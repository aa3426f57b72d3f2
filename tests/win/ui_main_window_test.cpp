// The main window on real mapped drives with the real list view: what a user sees after start,
// sorting, renaming, the selection panel and the device choice.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MainWindowFixture.h"
#include "TestMovies.h"
#include "TestUi.h"
#include "catalogue/Format.h"
#include "catalogue/win/FolderScan.h"
#include "fileops/SystemErrorText.h"
#include "preview/CountedString.h"
#include "resources/resource.h"
#include "ui/ClipHarborDlg.h"

using namespace testui;

namespace {

constexpr uint64_t kGiB = 1024ull * 1024 * 1024;

class MainWindow : public MainWindowFixture {};

TEST_F(MainWindow, ShowsExactlyTheClipsSortedByNameWithTheirTexts) {
    ASSERT_TRUE(CopyCorpusClip("mpeg4_1000.mov", MediaFolder('D') + "b_clip.mov"));
    ASSERT_TRUE(CopyCorpusClip("mjpeg_pcm_600.mov", MediaFolder('D') + "a_clip.mov"));
    ASSERT_TRUE(CopyCorpusClip("h264_aac_90000_front.mp4", MediaFolder('D') + "C_clip.mp4"));
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "ninety.mov", 100, 9090));
    WriteTextFile(MediaFolder('D') + "notes.txt", "not a movie");
    ASSERT_TRUE(CopyCorpusClip("mjpeg_pcm_600.mov", MediaFolder('D') + "NODOT"));  // never probed
    CreateDirectoryA((MediaFolder('D') + "sub.dir").c_str(), nullptr);
    Open();

    EXPECT_EQ(Names(), (std::vector<std::string>{"C_clip.mp4", "a_clip.mov", "b_clip.mov", "ninety.mov"}));
    // Each row's texts come from the file: its size, its local last-write time, its length.
    for (int r = 0; r < RowCount(); ++r) {
        Row row = RowAt(r);
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((MediaFolder('D') + row.name).c_str(), &fd);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        FindClose(h);
        FILETIME local;
        SYSTEMTIME fields;
        FileTimeToLocalFileTime(&fd.ftLastWriteTime, &local);
        FileTimeToSystemTime(&local, &fields);
        EXPECT_EQ(row.size, FormatSize((uint64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow)) << row.name;
        EXPECT_EQ(row.date, FormatDateTime(fields)) << row.name;
    }
    EXPECT_EQ(RowAt(0).duration, "00:00:02");
    EXPECT_EQ(RowAt(1).duration, "00:00:02");
    EXPECT_EQ(RowAt(2).duration, "00:00:02");
    EXPECT_EQ(RowAt(3).duration, "00:01:30");  // 90.9 s
    EXPECT_EQ(dlg->Catalogue().Count(), 4u);

    // The disk display shows the drive's real free space.
    ULARGE_INTEGER avail{}, total{};
    ASSERT_TRUE(GetDiskFreeSpaceExA("D:\\", &avail, &total, nullptr));
    std::string text = ItemText(IDC_DISK_TEXT);
    EXPECT_NE(text.find(", " + FormatSize(avail.QuadPart).substr(0, 3)), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 5), " free");
    EXPECT_EQ(SendMessageA(Item(IDC_DISK_GAUGE), PBM_GETPOS, 0, 0), static_cast<LRESULT>(avail.QuadPart * 100 / total.QuadPart));
    EXPECT_EQ(Status(), "No Selection");
}

TEST_F(MainWindow, EmptyOrMissingFolderGivesAnEmptyList) {
    Open({MediaFolder('D')});
    EXPECT_EQ(RowCount(), 0);
    EXPECT_FALSE(ItemText(IDC_DISK_TEXT).empty());
    TearDown();
    // A device folder that does not exist: empty list, display untouched, no message.
    Open({"Q:\\Movie\\Media\\"});
    EXPECT_EQ(RowCount(), 0);
    EXPECT_TRUE(ItemText(IDC_DISK_TEXT).empty());
}

TEST_F(MainWindow, SortsByEachColumnStablyAndKeepsTheKey) {
    // Sizes: 5 GiB after 3 GiB; durations: 100:00:00 sorts before 99:59:59 as text.
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "Zeta.mov", 1, 360000, 3 * kGiB));
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "alpha.mov", 1, 359999, 5 * kGiB));
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "mid.mov", 1, 10, 3 * kGiB));
    // Dates: alpha oldest, then Zeta, then mid.
    auto setTime = [](const std::string& name, WORD year) {
        SYSTEMTIME st{year, 1, 0, 2, 12, 0, 0, 0};
        FILETIME ft;
        SystemTimeToFileTime(&st, &ft);
        HANDLE h = CreateFileA((MediaFolder('D') + name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(h, nullptr, nullptr, &ft);
        CloseHandle(h);
    };
    setTime("alpha.mov", 2001);
    setTime("Zeta.mov", 2002);
    setTime("mid.mov", 2002);
    Open();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Zeta.mov", "alpha.mov", "mid.mov"}));  // bytes: 'Z' < 'a'
    ClickColumn(3);
    EXPECT_EQ(Names(), (std::vector<std::string>{"mid.mov", "Zeta.mov", "alpha.mov"}));
    EXPECT_EQ(RowAt(1).duration, "100:00:00");
    ClickColumn(2);  // by date: Zeta and mid share the date and keep their order
    EXPECT_EQ(Names(), (std::vector<std::string>{"alpha.mov", "mid.mov", "Zeta.mov"}));
    ClickColumn(1);  // by size: the two of 3 GiB keep the date order
    EXPECT_EQ(Names(), (std::vector<std::string>{"mid.mov", "Zeta.mov", "alpha.mov"}));
    EXPECT_EQ(RowAt(2).size, "5.000 GB");
    ClickColumn(1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"mid.mov", "Zeta.mov", "alpha.mov"}));
    EXPECT_EQ(dlg->ClipList().SortKey(), 1);
    // A rescan keeps the sort key: the rows come back by size, not in folder order.
    dlg->ScanMediaFolder();
    EXPECT_EQ(Names(), (std::vector<std::string>{"mid.mov", "Zeta.mov", "alpha.mov"}));
    ClickColumn(0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Zeta.mov", "alpha.mov", "mid.mov"}));
}

TEST_F(MainWindow, RenameMovesTheRowAndRecomputesTheDuration) {
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "a.mov", 600, 600 * 5));
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "c.mov", 600, 600 * 7));
    Open();
    Row before = RowAt(0);
    Select({0});
    EXPECT_EQ(EndEdit(0, "d.mov"), 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"c.mov", "d.mov"}));
    Row after = RowAt(1);
    EXPECT_EQ(after.size, before.size);
    EXPECT_EQ(after.date, before.date);
    EXPECT_EQ(after.duration, "00:00:05");
    EXPECT_EQ(GetFileAttributesA((MediaFolder('D') + "a.mov").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((MediaFolder('D') + "d.mov").c_str()), INVALID_FILE_ATTRIBUTES);
    // No row is selected after the rebuild, and the panel says so.
    EXPECT_EQ(SendMessageA(List(), LVM_GETSELECTEDCOUNT, 0, 0), 0);
    EXPECT_EQ(dlg->Preview().Row(), -1);
    EXPECT_EQ(Status(), "No Selection");
    EXPECT_FALSE(dlg->Preview().IsOpen());
}

TEST_F(MainWindow, RefusedRenamesChangeNothingButThePreview) {
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "a.mov", 600, 600 * 5));
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "b.mov", 600, 600 * 7));
    Open();
    Select({0});
    EXPECT_TRUE(dlg->Preview().IsOpen());
    const char* refused[] = {"b.mov", "", nullptr, "..\\a.mov", "sub/a.mov", "E:a.mov"};
    for (const char* text : refused) {
        Select({0});
        EXPECT_EQ(EndEdit(0, text), 0);
        EXPECT_EQ(Names(), (std::vector<std::string>{"a.mov", "b.mov"})) << (text ? text : "(cancelled)");
        EXPECT_FALSE(dlg->Preview().IsOpen());
        EXPECT_EQ(dlg->Preview().Row(), -1);
    }
    EXPECT_NE(GetFileAttributesA((MediaFolder('D') + "a.mov").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA("D:\\Movie\\a.mov"), INVALID_FILE_ATTRIBUTES);
}

// A path longer than the movie library opens would drop the clip from the list for good: such a
// rename is refused with the system's text before the file is touched. Up to that length the clip
// is renamed and the next scan still finds it.
TEST_F(MainWindow, RenameRefusesAPathTheClipCouldNotBeOpenedUnder) {
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "a.mov", 600, 600 * 5));
    Open();
    const size_t longest = preview::kMaxCountedLength - MediaFolder('D').size();
    const std::string fits = std::string(longest - 4, 'n') + ".mov";
    const std::string tooLong = "n" + fits;
    std::vector<std::wstring> boxes;
    BoxWatcher watcher([&](HWND box) {
        boxes.push_back(MessageBoxTextW(box));
        PressButton(box, IDOK);
    }, {dlg->hwnd()});

    Select({0});
    EXPECT_EQ(EndEdit(0, tooLong.c_str()), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], Wide(SystemErrorText(ERROR_FILENAME_EXCED_RANGE)));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.mov"}));
    EXPECT_TRUE(Exists(MediaFolder('D') + "a.mov"));

    Select({0});
    EXPECT_EQ(EndEdit(0, fits.c_str()), 0);
    EXPECT_EQ(boxes.size(), 1u);
    dlg->ScanMediaFolder();
    EXPECT_EQ(Names(), (std::vector<std::string>{fits}));
    EXPECT_EQ(RowAt(0).duration, "00:00:05");
}

TEST_F(MainWindow, RenameToANameThatIsNoMovieKeepsTheDuration) {
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "a.mov", 600, 600 * 5));
    Open();
    // The file becomes unreadable under its new name: truncate it behind the program's back.
    Select({0});
    MoveFileA((MediaFolder('D') + "a.mov").c_str(), (MediaFolder('D') + "real.mov").c_str());
    WriteTextFile(MediaFolder('D') + "a.mov", "no movie");
    EXPECT_EQ(EndEdit(0, "renamed.txt"), 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"renamed.txt"}));
    EXPECT_EQ(RowAt(0).duration, "00:00:05");
}

// The list moves the selection to the clicked row before it ends the edit: the edited row is
// the one renamed all the same.
TEST_F(MainWindow, RenameEndedByClickingAnotherRowRenamesTheEditedClip) {
    for (const char* name : {"a.mov", "b.mov", "c.mov"}) ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + name, 600, 600));
    Open();
    Select({0});
    HWND edit = reinterpret_cast<HWND>(SendMessageA(List(), LVM_EDITLABELA, 0, 0));
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, "x.mov");
    RECT row{};
    row.left = LVIR_LABEL;
    SendMessageA(List(), LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row));
    LPARAM at = MAKELPARAM((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    PostMessageA(List(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(List(), WM_LBUTTONUP, 0, at);
    Pump(200);

    EXPECT_EQ(Names(), (std::vector<std::string>{"b.mov", "c.mov", "x.mov"}));
    EXPECT_EQ(GetFileAttributesA((MediaFolder('D') + "a.mov").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((MediaFolder('D') + "c.mov").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The record follows its file: the renamed clip previews under its new path, and a file that
// changed behind the program's back shows its new length (size and date stay as scanned).
TEST_F(MainWindow, RenamedClipPreviewsUnderItsNewNameWithItsNewLength) {
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "a.mov", 600, 600 * 5));
    Open();
    Row before = RowAt(0);
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "a.mov", 600, 600 * 42, 4096));
    Select({0});
    EXPECT_EQ(dlg->Preview().OpenPath(), MediaFolder('D') + "a.mov");
    EXPECT_EQ(EndEdit(0, "b.mov"), 0);
    Row after = RowAt(0);
    EXPECT_EQ(after.name, "b.mov");
    EXPECT_EQ(after.duration, "00:00:42");
    EXPECT_EQ(after.size, before.size);

    Select({0});
    EXPECT_TRUE(dlg->Preview().IsOpen());
    EXPECT_EQ(dlg->Preview().OpenPath(), MediaFolder('D') + "b.mov");
    EXPECT_EQ(Status(), "1 of 1 selected, 00:00:42, " + before.size + " total");
}

TEST_F(MainWindow, SelectionPanelFollowsTheSelection) {
    // Two clips of 3 GiB and 13 hours each: the sums pass 4 GiB and 24 hours.
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "a.mov", 1, 13 * 3600, 3 * kGiB));
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "b.mov", 1, 13 * 3600, 3 * kGiB));
    ASSERT_TRUE(CopyCorpusClip("mjpeg_pcm_600.mov", MediaFolder('D') + "c.mov"));
    Open();
    ASSERT_EQ(RowCount(), 3);
    ASSERT_TRUE(dlg->Preview().HasPlaceholder());
    EXPECT_FALSE(Enabled(IDC_COPY));

    Select({2});
    EXPECT_TRUE(dlg->Preview().IsOpen());
    EXPECT_EQ(dlg->Preview().Row(), 2);
    EXPECT_FALSE(dlg->Preview().PlaceholderVisible());
    EXPECT_EQ(ItemText(IDC_COPY), "Copy Selected File...");
    EXPECT_TRUE(Enabled(IDC_COPY) && Enabled(IDC_MOVE) && Enabled(IDC_DELETE));
    EXPECT_EQ(Status(), "1 of 3 selected, 00:00:02, " + RowAt(2).size + " total");

    Select({0, 1});
    EXPECT_FALSE(dlg->Preview().IsOpen());
    EXPECT_EQ(dlg->Preview().Row(), -1);
    EXPECT_TRUE(dlg->Preview().PlaceholderVisible());
    EXPECT_EQ(ItemText(IDC_COPY), "Copy Selected Files...");
    EXPECT_EQ(ItemText(IDC_MOVE), "Move Selected Files...");
    EXPECT_EQ(ItemText(IDC_DELETE), "Delete Selected Files...");
    EXPECT_EQ(Status(), "2 of 3 selected, 26:00:00, 6.000 GB total");

    Select({1});
    EXPECT_TRUE(dlg->Preview().IsOpen());
    EXPECT_EQ(dlg->Preview().Row(), 1);
    EXPECT_EQ(ItemText(IDC_DELETE), "Delete Selected File...");
    EXPECT_EQ(Status(), "1 of 3 selected, 13:00:00, 3.000 GB total");

    // A change that leaves the previewed row the only selection keeps its movie open.
    LVITEMA focus{};
    focus.stateMask = LVIS_FOCUSED;
    focus.state = LVIS_FOCUSED;
    SendMessageA(List(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&focus));
    EXPECT_TRUE(dlg->Preview().IsOpen());
    EXPECT_EQ(dlg->Preview().Row(), 1);

    Select({});
    EXPECT_FALSE(dlg->Preview().IsOpen());
    EXPECT_TRUE(dlg->Preview().PlaceholderVisible());
    EXPECT_EQ(Status(), "No Selection");
    EXPECT_FALSE(Enabled(IDC_COPY) || Enabled(IDC_MOVE) || Enabled(IDC_DELETE));
    EXPECT_EQ(ItemText(IDC_COPY), "Copy Selected File...");
}

TEST_F(MainWindow, DeviceChoice) {
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "d1.mov", 1, 5));
    ASSERT_TRUE(WriteMovieFile(MediaFolder('E') + "e1.mov", 1, 6, 1000));
    ASSERT_TRUE(WriteMovieFile(MediaFolder('E') + "e2.mov", 1, 6, 500));
    Open({MediaFolder('D')});
    EXPECT_FALSE(Enabled(IDC_DEVICE_COMBO));
    EXPECT_EQ(ItemText(IDC_DEVICE_COMBO), "TWDV # 1");
    TearDown();

    Open({MediaFolder('E'), MediaFolder('D')});
    EXPECT_TRUE(Enabled(IDC_DEVICE_COMBO));
    ASSERT_EQ(SendMessageA(Item(IDC_DEVICE_COMBO), CB_GETCOUNT, 0, 0), 2);
    char entry[32] = {};
    SendMessageA(Item(IDC_DEVICE_COMBO), CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(entry));
    EXPECT_STREQ(entry, "TWDV # 2");
    EXPECT_EQ(Names(), (std::vector<std::string>{"e1.mov", "e2.mov"}));
    ClickColumn(1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"e2.mov", "e1.mov"}));

    auto choose = [&](int index) {
        SendMessageA(Item(IDC_DEVICE_COMBO), CB_SETCURSEL, index, 0);
        SendMessageA(dlg->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_DEVICE_COMBO, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Item(IDC_DEVICE_COMBO)));
    };
    // Choosing the current device does not rescan: a new file stays unseen.
    ASSERT_TRUE(WriteMovieFile(MediaFolder('E') + "e0.mov", 1, 6, 300));
    choose(0);
    EXPECT_EQ(RowCount(), 2);
    choose(1);
    EXPECT_EQ(dlg->CurrentRoot(), MediaFolder('D'));
    EXPECT_EQ(dlg->CurrentDevice(), 1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"d1.mov"}));
    choose(0);
    EXPECT_EQ(dlg->ClipList().SortKey(), 1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"e0.mov", "e2.mov", "e1.mov"}));
}

TEST_F(MainWindow, ClosingWhilePreviewingShowsThePlaceholderFirst) {
    ASSERT_TRUE(CopyCorpusClip("mjpeg_pcm_600.mov", MediaFolder('D') + "c.mov"));
    Open();
    Select({0});
    ASSERT_TRUE(dlg->Preview().IsOpen());
    ASSERT_FALSE(dlg->Preview().PlaceholderVisible());
    HWND hwnd = dlg->hwnd();
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(dlg->Preview().PlaceholderVisible());
    EXPECT_FALSE(dlg->Preview().HasPlayer());
    // The destroy operation again, as the end of a modal run does: nothing left to do.
    dlg->DestroyWindow();
    EXPECT_FALSE(dlg->Preview().HasPlayer());
}

TEST_F(MainWindow, EnterAndEscapeLeaveTheWindowOpen) {
    Open();
    PostMessageA(List(), WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(List(), WM_KEYDOWN, VK_ESCAPE, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(dlg->hwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    EXPECT_TRUE(IsWindowVisible(dlg->hwnd()));
}

TEST_F(MainWindow, SystemMenuOpensTheAboutBox) {
    Open();
    HMENU menu = GetSystemMenu(dlg->hwnd(), FALSE);
    int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_EQ(GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    char text[64] = {};
    GetMenuStringA(menu, count - 1, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "&About ClipHarbor...");
    std::string title;
    BoxWatcher watcher([&](HWND box) {
        title = WindowText(box);
        PostMessageA(GetDlgItem(box, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    }, {dlg->hwnd()});
    SendMessageA(dlg->hwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    EXPECT_EQ(title, "About ClipHarbor");
}

RECT ClientRectOf(HWND child, HWND parent) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<LONG> Corners(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Runs in every language: the dialog font of the language decides where the black frame lands,
// and the preview follows the frame.
TEST_F(MainWindow, LanguagePreviewLiesInItsFrame) {
    Open();
    RECT frame = ClientRectOf(Item(IDC_PREVIEW_FRAME), dlg->hwnd());
    RECT movie = dlg->Preview().MovieRect();
    RECT placeholder = dlg->Preview().PlaceholderRect();
    EXPECT_TRUE(Inside(placeholder, frame));
    // Two pixels inside the frame's top left, as with the standard font.
    EXPECT_EQ(movie.left - frame.left, 2);
    EXPECT_EQ(movie.top - frame.top, 2);
    if (TestLanguage() == "ja_JP") {
        EXPECT_NE(frame.top, 117) << "the Japanese dialog font lays the frame out higher";
    } else {
        // The standard font: the fixed numbers.
        EXPECT_EQ(Corners(movie), (std::vector<LONG>{470, 119, 828, 385}));
        EXPECT_EQ(placeholder.left, 488);
        EXPECT_EQ(placeholder.top, 140);
    }
    RECT area = dlg->Preview().Area();
    EXPECT_EQ(area.bottom - movie.bottom, 30);
}

// Runs in every language: the captions come from the language's table.
TEST_F(MainWindow, LanguageCaptionsForOneAndSeveralRows) {
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "a.mov", 1, 5));
    ASSERT_TRUE(WriteMovieFile(MediaFolder('D') + "b.mov", 1, 5));
    Open();
    Select({0});
    std::wstring copyOne = WindowTextW(Item(IDC_COPY)), deleteOne = WindowTextW(Item(IDC_DELETE));
    Select({0, 1});
    std::wstring copyMany = WindowTextW(Item(IDC_COPY)), deleteMany = WindowTextW(Item(IDC_DELETE));
    std::string lang = TestLanguage();
    if (lang == "ja_JP") {
        EXPECT_EQ(copyOne, copyMany);
        EXPECT_EQ(copyOne, L"\u9078\u629e\u3057\u305f\u30d5\u30a1\u30a4\u30eb\u3092\u30b3\u30d4\u30fc\u3057\u307e\u3059\u2026");
        EXPECT_NE(deleteOne, deleteMany);
    } else if (lang == "ru_RU") {
        EXPECT_EQ(deleteOne, deleteMany);
        EXPECT_EQ(deleteOne, L"\u0423\u0434\u0430\u043b\u0438\u0442\u044c");
        EXPECT_NE(copyOne, copyMany);
    } else if (lang == "fr_FR") {
        EXPECT_EQ(copyMany, L"Ausgewahlte Dokumente kopieren\u2026");
    } else {
        EXPECT_EQ(copyOne, L"Copy Selected File...");
        EXPECT_EQ(copyMany, L"Copy Selected Files...");
    }
}

}  // namespace
