// The movie player against a recording library: what it asks of the library, with what it hands
// over, and what it does to its host window and its parent.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "PlayerHost.h"
#include "RecordingMovieServices.h"
#include "TestUi.h"
#include "preview/win/MoviePlayer.h"

using preview::ControllerHandle;
using preview::MovieHandle;
using testui::Host;
using testui::TempPath;
using testui::UseMainWindowSettings;
using Calls = std::vector<std::string>;

namespace {

std::string Text(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

std::string Port(HWND window) { return std::to_string(reinterpret_cast<uintptr_t>(window)); }

}  // namespace

// ---- What the player asks of the library -------------------------------------------------

TEST(MoviePlayerCalls, OpenFileWithAnEmptyPathDoesNothing) {
    RecordingMovieServices library;
    MoviePlayer player(library);
    ASSERT_EQ(player.OpenFile("C:\\clip.mov"), 1);
    const MovieHandle open = player.movie;
    library.Take();

    EXPECT_EQ(player.OpenFile(""), 0);
    EXPECT_EQ(player.OpenFile(nullptr), 0);
    EXPECT_EQ(player.LoadFile(""), 0);
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(player.isOpen, 1);
    EXPECT_EQ(player.movie, open);
    EXPECT_STREQ(player.path, "C:\\clip.mov");
}

TEST(MoviePlayerCalls, AFileThatIsNoMovieLeavesThePlayerEmpty) {
    RecordingMovieServices library;
    MoviePlayer player(library);
    ASSERT_EQ(player.OpenFile("C:\\first.mov"), 1);
    library.movieStatus = -2048;
    library.Take();

    EXPECT_EQ(player.OpenFile("C:\\notes.txt"), 0);
    EXPECT_EQ(player.isOpen, 0);
    EXPECT_EQ(player.movie, MovieHandle::None);
    EXPECT_EQ(player.controller, ControllerHandle::None);
    EXPECT_STREQ(player.path, "");
    const Calls calls = library.Take();
    // The previous movie went first, and the file was closed although no movie came of it.
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].rfind("DisposeController(", 0), 0u);
    EXPECT_EQ(calls[1].rfind("DisposeMovie(", 0), 0u);
    EXPECT_EQ(calls.back().rfind("CloseMovieFile(", 0), 0u);

    library.movieStatus = 0;
    library.openStatus = -43;
    EXPECT_EQ(player.LoadFile("C:\\missing.mov"), 0);
    EXPECT_EQ(player.isOpen, 0);
    EXPECT_STREQ(player.path, "");
}

TEST(MoviePlayerCalls, PathsUpTo254CharactersReachTheLibraryCounted) {
    RecordingMovieServices library;
    MoviePlayer player(library);
    for (size_t length : {1u, 127u, 128u, 200u, 254u}) {
        const std::string path = length > 3 ? "C:\\" + std::string(length - 3, 'a') : std::string(length, 'a');
        ASSERT_EQ(player.OpenFile(path.c_str()), 1) << length;
        EXPECT_EQ(library.lastFileName, path);
        EXPECT_EQ(player.path, path);
    }
    char name[255] = "untouched";
    player.GetFileName(name);
    EXPECT_EQ(std::string(name), std::string(251, 'a'));
}

TEST(MoviePlayerCalls, PathsOf255CharactersOrMoreAreRefusedBeforeTheLibrary) {
    RecordingMovieServices library;
    MoviePlayer player(library);
    for (size_t length : {255u, 256u, 1000u}) {
        const std::string path(length, 'p');
        library.Take();
        EXPECT_EQ(player.OpenFile(path.c_str()), 0);
        EXPECT_EQ(player.ReadMovieInfo(path.c_str(), nullptr), 0);
        EXPECT_TRUE(library.calls.empty()) << library.calls.front();
        EXPECT_STREQ(player.path, "");
    }
}

TEST(MoviePlayerCalls, OpenFileWithTheMainWindowSettingsMakesTheController) {
    RecordingMovieServices library;
    library.controllerFlags = 0x21;
    MoviePlayer player(library);
    Host host(&player, nullptr);
    UseMainWindowSettings(player);
    library.Take();

    ASSERT_EQ(player.OpenFile("X:\\Movie\\Media\\clip.mov"), 1);
    const std::string w = Port(host.hwnd);
    const std::string m = std::to_string(RecordingMovieServices::Id(player.movie));
    const std::string f = std::to_string(RecordingMovieServices::Id(player.movie) - 1);
    const std::string c = std::to_string(RecordingMovieServices::Id(player.controller));
    const Calls expected = {
        "MakeFileSpec(0,0,23)",
        "GetWindowPort(" + w + ")",
        "SetCurrentPort(" + w + ",null)",
        "OpenMovieFile(23,1)",
        "NewMovieFromFile(" + f + ",null,null,1)",
        "CloseMovieFile(" + f + ")",
        "GetNaturalBox(" + m + ")",
        "OffsetRect(470,119)",
        "NewController(" + m + ",{119,470,385,828},0)",
        "GetControllerBounds(" + c + ")",
        "EnableEditing(" + c + ",0)",
        "DoAction(" + c + ",39,&flags)",
        "DoAction(" + c + ",38,41)",
        "DoAction(" + c + ",32,1)",
        "SetActionFilter(" + c + "," + std::to_string(reinterpret_cast<intptr_t>(&player)) + ")",
    };
    EXPECT_EQ(library.Take(), expected);
    EXPECT_EQ(library.filter, &MoviePlayer::ControllerFilter);
    EXPECT_EQ(player.movieBox, (preview::Rect16{119, 470, 385, 828}));
    EXPECT_EQ(player.isOpen, 1);
    EXPECT_STREQ(player.path, "X:\\Movie\\Media\\clip.mov");
    char name[255] = {};
    player.GetFileName(name);
    EXPECT_STREQ(name, "clip.mov");
}

TEST(MoviePlayerCalls, ControllerOptionsReachTheLibrary) {
    RecordingMovieServices library;
    library.naturalBox = {0, 0, 240, 320};
    library.controllerBounds = {10, 20, 280, 340};
    MoviePlayer player(library);
    Host host(&player, nullptr);
    player.SetPosition(5, 7);
    player.SetKeepNaturalSize(1);
    player.EnableGrowBox();
    player.EnableEditing();
    player.SetSizeWindowToController(1);
    library.Take();

    ASSERT_EQ(player.OpenFile("clip.mov"), 1);
    const std::string c = std::to_string(RecordingMovieServices::Id(player.controller));
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    const Calls calls = library.Take();
    const auto has = [&](const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    };
    EXPECT_TRUE(has("NewController(" + std::to_string(RecordingMovieServices::Id(player.movie)) +
                    ",{7,5,247,325},1)"));
    EXPECT_TRUE(has("EnableEditing(" + c + ",1)"));
    EXPECT_TRUE(has("DoAction(" + c + ",25,{0,0," + std::to_string(desktop.bottom - desktop.top) + "," +
                    std::to_string(desktop.right - desktop.left) + "})"));
    EXPECT_EQ(calls.back(), "SizeWindow(" + Port(host.hwnd) + ",340,280,1)");
    char name[255] = "untouched";
    player.GetFileName(name);
    EXPECT_STREQ(name, "clip.mov");
}

TEST(MoviePlayerCalls, ReadMovieInfoLeavesAMovieWithoutController) {
    RecordingMovieServices library;
    library.timeScale = 90000;
    library.duration = 450000;
    MoviePlayer player(library);
    Host host(&player, nullptr);
    library.Take();

    MovieInfo info{-1, -1};
    ASSERT_EQ(player.ReadMovieInfo("D:\\Movie\\Media\\a.mov", &info), 1);
    EXPECT_EQ(info.timeScale, 90000);
    EXPECT_EQ(info.duration, 450000);
    EXPECT_EQ(player.isOpen, 1);
    EXPECT_EQ(player.controller, ControllerHandle::None);
    const std::string movie = std::to_string(RecordingMovieServices::Id(player.movie));
    for (const std::string& call : library.Take()) {
        EXPECT_NE(call.rfind("SetCurrentPort", 0), 0u) << "no port is made current to inspect";
        EXPECT_NE(call.rfind("NewController", 0), 0u);
    }
    // Left counted, as the inspection never shows it.
    EXPECT_EQ(static_cast<unsigned char>(player.path[0]), 20u);

    player.Close();
    EXPECT_EQ(library.Take(), Calls{"DisposeMovie(" + movie + ")"});
    EXPECT_EQ(player.isOpen, 0);
    EXPECT_EQ(player.movie, MovieHandle::None);

    // An opening operation closes an inspected movie too.
    ASSERT_EQ(player.LoadFile("D:\\b.mov"), 1);
    const std::string second = std::to_string(RecordingMovieServices::Id(player.movie));
    library.Take();
    ASSERT_EQ(player.OpenFile("D:\\c.mov"), 1);
    EXPECT_EQ(library.Take().front(), "DisposeMovie(" + second + ")");
}

TEST(MoviePlayerCalls, CloseTwiceIsHarmlessAndSizesTheHostWhenAsked) {
    RecordingMovieServices library;
    MoviePlayer player(library);
    Host host(&player, nullptr);
    player.Close();
    player.Close();
    library.Take();

    player.SetSizeWindowToController(1);
    player.Close();
    player.Close();
    const std::string size = "SizeWindow(" + Port(host.hwnd) + ",320,1,0)";
    EXPECT_EQ(library.Take(), (Calls{"GetWindowPort(" + Port(host.hwnd) + ")", size,
                                     "GetWindowPort(" + Port(host.hwnd) + ")", size}));
    EXPECT_EQ(player.isOpen, 0);
}

// A host laid out around a fixed preview (sizeWindow 0, as the main window) keeps its size when
// the controller changes size; only a player asked to size its window follows the controller.
TEST(MoviePlayerCalls, ControllerFilterSizesTheHostOnlyWhenAskedTo) {
    RecordingMovieServices library;
    library.controllerBounds = {119, 470, 415, 828};
    MoviePlayer player(library);
    Host host(&player, nullptr);
    ASSERT_EQ(player.OpenFile("clip.mov"), 1);
    ASSERT_NE(library.filter, nullptr);
    library.Take();

    EXPECT_FALSE(library.filter(library, player.controller, preview::kActionControllerSizeChanged, nullptr,
                                library.filterReference));
    EXPECT_TRUE(library.Take().empty());

    player.SetSizeWindowToController(1);
    EXPECT_FALSE(library.filter(library, player.controller, preview::kActionSetSelectionBegin, nullptr,
                                library.filterReference));
    EXPECT_TRUE(library.Take().empty());
    EXPECT_FALSE(library.filter(library, player.controller, preview::kActionControllerSizeChanged, nullptr,
                                library.filterReference));
    const Calls calls = library.Take();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "SizeWindow(" + Port(host.hwnd) + ",828,415,1)");
}

TEST(MoviePlayerCalls, WindowMessagesReachTheControllerOnlyWhenThereIsOne) {
    RecordingMovieServices library;
    library.eventAnswer = 7;
    MoviePlayer player(library);
    Host host(&player, nullptr);
    library.Take();
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_LBUTTONDOWN, 1, MAKELPARAM(3, 4)), 0);
    EXPECT_TRUE(library.calls.empty());

    ASSERT_EQ(player.LoadFile("clip.mov"), 1);
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_LBUTTONDOWN, 1, MAKELPARAM(3, 4)), 0)
        << "an inspected movie has no controller";

    ASSERT_EQ(player.OpenFile("clip.mov"), 1);
    library.Take();
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_LBUTTONDOWN, 1, MAKELPARAM(3, 4)), 7);
    const DWORD position = GetMessagePos();
    EXPECT_EQ(library.lastEvent.hwnd, host.hwnd);
    EXPECT_EQ(library.lastEvent.message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(library.lastEvent.wParam, WPARAM(1));
    EXPECT_EQ(library.lastEvent.lParam, MAKELPARAM(3, 4));
    EXPECT_EQ(library.lastEvent.time, DWORD(GetMessageTime()));
    EXPECT_EQ(library.lastEvent.pt.x, static_cast<short>(LOWORD(position)));
    EXPECT_EQ(library.lastEvent.pt.y, static_cast<short>(HIWORD(position)));
}

TEST(MoviePlayerCalls, EditingGoesThroughTheController) {
    RecordingMovieServices library;
    library.cutGivesMovie = true;
    MoviePlayer player(library);
    player.Cut();
    player.Copy();
    player.Paste();
    player.Clear();
    player.Undo();
    player.SelectAll();
    EXPECT_TRUE(library.calls.empty());

    ASSERT_EQ(player.OpenFile("clip.mov"), 1);
    const std::string c = std::to_string(RecordingMovieServices::Id(player.controller));
    const std::string m = std::to_string(RecordingMovieServices::Id(player.movie));
    const std::string cut = std::to_string(RecordingMovieServices::Id(player.controller) + 1);
    library.Take();
    player.Cut();
    player.Paste();
    player.SelectAll();
    EXPECT_EQ(library.Take(), (Calls{"ControllerCut(" + c + ")", "PutMovieOnClipboard(" + cut + ",0)",
                                     "DisposeMovie(" + cut + ")", "ControllerPaste(" + c + ",0)",
                                     "GetTimeScale(" + m + ")", "DoAction(" + c + ",29,{0,600,null})",
                                     "GetDuration(" + m + ")", "DoAction(" + c + ",30,{6000,600,null})"}));
    library.cutGivesMovie = false;
    player.Copy();
    EXPECT_EQ(library.Take(), Calls{"ControllerCopy(" + c + ")"});
}

TEST(MoviePlayerCalls, NewUntitledStopsWhenTheLibraryGivesNoMovie) {
    RecordingMovieServices library;
    MoviePlayer player(library);
    ASSERT_EQ(player.OpenFile("clip.mov"), 1);
    library.emptyMovies = false;
    player.NewUntitled();
    EXPECT_EQ(player.isOpen, 0);
    EXPECT_EQ(player.movie, MovieHandle::None);
    EXPECT_STREQ(player.path, "");

    library.emptyMovies = true;
    player.NewUntitled();
    EXPECT_EQ(player.isOpen, 1);
    EXPECT_NE(player.controller, ControllerHandle::None);
    EXPECT_STREQ(player.path, "Untitled");
}

// ---- The host window and its parent -------------------------------------------------------

TEST(MoviePlayerWindow, AttachingToAWindowWithoutParentWritesOnlyTheCreationSize) {
    RecordingMovieServices library;
    MoviePlayer player(library);
    Host host(&player, nullptr, "Host title");
    EXPECT_EQ(host.WrittenCx(), 320);
    EXPECT_EQ(host.WrittenCy(), 0);
    EXPECT_EQ(player.window, host.hwnd);
    EXPECT_EQ(player.parentWindow, nullptr);
    EXPECT_EQ(Text(host.hwnd), "Host title");
    EXPECT_EQ(library.calls.back(), "AssociatePort(" + Port(host.hwnd) + ",null,0)");

    ASSERT_EQ(player.OpenFile("C:\\clips\\one.mov"), 1);
    EXPECT_EQ(Text(host.hwnd), "Host title");

    library.Take();
    EXPECT_EQ(player.AttachWindow(nullptr, nullptr), 0);
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(player.window, host.hwnd);
}

TEST(MoviePlayerWindow, TheParentMeasuresTheHostAndShowsTheFileName) {
    RecordingMovieServices library;
    MoviePlayer player(library);
    Host parent(nullptr, nullptr, "Parent");
    Host host(&player, parent.hwnd);
    RECT outer{}, client{};
    GetWindowRect(parent.hwnd, &outer);
    GetClientRect(parent.hwnd, &client);
    // Frame width + (frame height - caption) + caption, for a captioned parent.
    const int expected = (outer.right - outer.left - client.right) + (outer.bottom - outer.top - client.bottom);
    EXPECT_GT(expected, GetSystemMetrics(SM_CYCAPTION));
    EXPECT_EQ(host.WrittenCy(), expected);
    EXPECT_EQ(host.WrittenCx(), 320);
    EXPECT_EQ(player.parentWindow, parent.hwnd);
    EXPECT_EQ(Text(parent.hwnd), "") << "attaching shows the (empty) title";

    ASSERT_EQ(player.OpenFile("X:\\Movie\\Media\\clip.mov"), 1);
    EXPECT_EQ(Text(parent.hwnd), "clip.mov");
    ASSERT_EQ(player.ReadMovieInfo("X:\\Movie\\Media\\other.mov", nullptr), 1);
    EXPECT_EQ(Text(parent.hwnd), "") << "inspection closes the shown clip, and shows no name";
    ASSERT_EQ(player.OpenFile("relative.mov"), 1);
    EXPECT_EQ(Text(parent.hwnd), "relative.mov");
    library.movieStatus = -2048;
    EXPECT_EQ(player.OpenFile("X:/Movie/bad.mov"), 0);
    EXPECT_EQ(Text(parent.hwnd), "");
    library.movieStatus = 0;
    ASSERT_EQ(player.OpenFile("X:/Movie/good.mov"), 1);
    EXPECT_EQ(Text(parent.hwnd), "good.mov");
    player.Close();
    EXPECT_EQ(Text(parent.hwnd), "");

    library.Take();
    player.DetachWindow();
    EXPECT_EQ(library.calls.back(), "DissociatePort(" + Port(host.hwnd) + ")");
    EXPECT_EQ(player.window, host.hwnd);
}

TEST(MoviePlayerWindow, ALongTitleIsCutTo255Characters) {
    RecordingMovieServices library;
    MoviePlayer player(library);
    Host parent(nullptr, nullptr, "Parent");
    Host host(&player, parent.hwnd);
    std::memset(player.title, 'T', sizeof(player.title) - 1);
    const std::string name(240, 'n');
    ASSERT_EQ(player.OpenFile(("C:\\" + name).c_str()), 1);
    const std::string expected = (std::string(127, 'T') + " - " + name).substr(0, 255);
    EXPECT_EQ(Text(parent.hwnd), expected);
}

TEST(MoviePlayerWindow, SaveAsWritesWhereTheUserChose) {
    RecordingMovieServices library;
    MoviePlayer player(library);
    Host host(&player, nullptr);
    const std::string chosen = TempPath("movieplayer-saved.mov");
    DeleteFileA(chosen.c_str());
    // Answers the save dialog: types the name into the file name field and confirms.
    const auto answer = [&](HWND box) {
        HWND field = GetDlgItem(box, 0x47c);  // the file name combo box
        if (!field) field = GetDlgItem(box, 0x480);
        SetWindowTextA(field ? field : box, chosen.c_str());
        testui::PressButton(box, IDOK);
    };

    {
        testui::BoxWatcher watcher(answer);
        player.SaveAs();  // no movie: the dialog comes, nothing is saved
        EXPECT_EQ(watcher.Seen(), 1);
    }
    for (const std::string& call : library.Take()) EXPECT_NE(call.rfind("SaveSelfContained", 0), 0u);

    ASSERT_EQ(player.OpenFile("C:\\source.mov"), 1);
    const std::string m = std::to_string(RecordingMovieServices::Id(player.movie));
    library.Take();
    {
        testui::BoxWatcher watcher(answer);
        player.SaveAs();
        EXPECT_EQ(watcher.Seen(), 1);
    }
    const Calls calls = library.Take();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "SaveSelfContained(" + m + ",TVOD,-1,1)");
    EXPECT_EQ(library.lastFileName, chosen);

    {
        testui::BoxWatcher watcher([](HWND box) { testui::PressButton(box, IDCANCEL); });
        player.SaveAs();
        EXPECT_EQ(watcher.Seen(), 1);
    }
    EXPECT_TRUE(library.Take().empty());
}

// Names in the user's ANSI code page: in a double-byte code page (Japanese, 932) the second byte
// of a character can be 0x5C, which is no path separator there.
TEST(MoviePlayerLanguage, FileNamesAndTitlesKeepDoubleByteCharactersWhole) {
    RecordingMovieServices library;
    MoviePlayer player(library);
    Host parent(nullptr, nullptr, "Parent");
    Host host(&player, parent.hwnd);
    const bool doubleByte = IsDBCSLeadByte(0x95) != FALSE;
    const std::string table = "\x95\x5c";  // one character in code page 932

    ASSERT_EQ(player.OpenFile(("C:\\clips\\" + table + ".mov").c_str()), 1);
    char name[255] = {};
    player.GetFileName(name);
    EXPECT_EQ(std::string(name), doubleByte ? table + ".mov" : std::string(".mov"));

    // The 255-byte cut falls on the first byte of a double-byte character: the whole character goes.
    std::memset(player.title, 'T', sizeof(player.title) - 1);
    const std::string file = std::string(124, 'n') + "\x88\x9f" "tail";  // title + " - " + 124 = 254
    ASSERT_EQ(player.OpenFile(("C:\\" + file).c_str()), 1);
    const std::string composed = std::string(127, 'T') + " - " + file;
    EXPECT_EQ(Text(parent.hwnd), composed.substr(0, doubleByte ? 254 : 255));
}
