// The movie player against a recording library (what it asks of the library, in what order) and
// against our real library with real clips and real windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RecordingMovieServices.h"
#include "TestUi.h"
#include "movie/container/MovieReader.h"
#include "preview/win/LibraryMovieServices.h"
#include "preview/win/MoviePlayer.h"

using preview::ControllerHandle;
using preview::MovieHandle;
using Calls = std::vector<std::string>;

namespace {

const char kHostClass[] = "MoviePlayerTestHost";

// A window whose WM_CREATE attaches the player given as creation parameter, as the main window does.
LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        if (auto* player = reinterpret_cast<MoviePlayer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA))) {
            create->cx = 1234;
            create->cy = 5678;
            player->AttachWindow(hwnd, create);
            // What the player wrote, for the test to read back.
            SetPropA(hwnd, "cx", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(create->cx)));
            SetPropA(hwnd, "cy", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(create->cy)));
        }
        return 0;
    }
    if (message == WM_DESTROY) {
        RemovePropA(hwnd, "cx");
        RemovePropA(hwnd, "cy");
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void RegisterHostClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kHostClass;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&wc);
    registered = true;
}

// A host window; with a parent it is its child, else a captioned top-level window.
struct Host {
    HWND hwnd = nullptr;
    Host(MoviePlayer* player, HWND parent, const char* text = "Host") {
        RegisterHostClass();
        const DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        hwnd = CreateWindowExA(0, kHostClass, text, style, 10, 10, 900, 500, parent, nullptr,
                               GetModuleHandleA(nullptr), player);
    }
    ~Host() { DestroyWindow(hwnd); }
    int WrittenCx() const { return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropA(hwnd, "cx"))); }
    int WrittenCy() const { return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropA(hwnd, "cy"))); }
};

std::string Text(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

std::string Port(HWND window) { return std::to_string(reinterpret_cast<uintptr_t>(window)); }

// The main window's placement of the preview.
void UseMainWindowSettings(MoviePlayer& player) {
    player.SetPosition(470, 119);
    player.ClearTopLeft();
    player.SetSize(358, 266);
}

std::string TempPath(const std::string& name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(sizeof(dir), dir);
    return std::string(dir) + name;
}

const char kClip[] = "mjpeg_pcm_600.mov";

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
    EXPECT_EQ(library.lastEvent.window, host.hwnd);
    EXPECT_EQ(library.lastEvent.message, UINT(WM_LBUTTONDOWN));
    EXPECT_EQ(library.lastEvent.wParam, WPARAM(1));
    EXPECT_EQ(library.lastEvent.lParam, MAKELPARAM(3, 4));
    EXPECT_EQ(library.lastEvent.time, DWORD(GetMessageTime()));
    EXPECT_EQ(library.lastEvent.where.x, static_cast<short>(LOWORD(position)));
    EXPECT_EQ(library.lastEvent.where.y, static_cast<short>(HIWORD(position)));
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

// ---- Our library behind the player -----------------------------------------------------------

class MovieLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        library.Initialize(0);
        library.EnterMovies();
    }
    void TearDown() override {
        library.ExitMovies();
        library.Terminate();
    }
    preview::LibraryMovieServices library;
};

TEST_F(MovieLibrary, ReadMovieInfoGivesTheReadersValues) {
    movie::Movie expected;
    ASSERT_EQ(movie::ReadMovieFile(testui::CorpusPath(kClip), expected), movie::ReadResult::Ok);
    MoviePlayer player(library);
    MovieInfo info{};
    ASSERT_EQ(player.ReadMovieInfo(testui::CorpusPath(kClip).c_str(), &info), 1);
    EXPECT_EQ(uint32_t(info.timeScale), expected.timeScale);
    EXPECT_EQ(uint64_t(info.duration), expected.duration);
    EXPECT_GT(info.duration, 0);
    EXPECT_EQ(player.isOpen, 1);
    EXPECT_NE(library.FindMovie(player.movie), nullptr);
    const MovieHandle inspected = player.movie;
    player.Close();
    EXPECT_EQ(library.FindMovie(inspected), nullptr);
}

TEST_F(MovieLibrary, FilesThatAreNoMoviesDoNotOpen) {
    const std::string text = TempPath("movieplayer-notes.txt");
    testui::WriteTextFile(text, "just some words, not a movie at all");
    MoviePlayer player(library);
    Host host(&player, nullptr);
    EXPECT_EQ(player.OpenFile(text.c_str()), 0);
    EXPECT_EQ(player.ReadMovieInfo(text.c_str(), nullptr), 0);
    EXPECT_EQ(player.OpenFile(TempPath("movieplayer-missing.mov").c_str()), 0);
    const std::string folder = TempPath("");
    EXPECT_EQ(player.OpenFile(folder.c_str()), 0);
    EXPECT_EQ(player.isOpen, 0);
    EXPECT_EQ(player.movie, MovieHandle::None);
    EXPECT_STREQ(player.path, "");
    DeleteFileA(text.c_str());
}

TEST_F(MovieLibrary, NothingOpensWhileTheLibraryIsUnavailable) {
    preview::LibraryMovieServices idle;
    MoviePlayer player(idle);
    Host host(&player, nullptr);
    EXPECT_EQ(idle.GetWindowPort(host.hwnd), preview::PortHandle::None);
    EXPECT_EQ(player.ReadMovieInfo(testui::CorpusPath(kClip).c_str(), nullptr), 0);
    EXPECT_EQ(player.OpenFile(testui::CorpusPath(kClip).c_str()), 0);
    EXPECT_EQ(idle.NewEmptyMovie(1), MovieHandle::None);

    idle.Initialize(0);
    EXPECT_EQ(player.OpenFile(testui::CorpusPath(kClip).c_str()), 0) << "movie services not entered";
    idle.EnterMovies();
    ASSERT_EQ(player.OpenFile(testui::CorpusPath(kClip).c_str()), 1);
    idle.ExitMovies();
    idle.Terminate();
    EXPECT_EQ(idle.FindMovie(player.movie), nullptr);
    EXPECT_EQ(idle.GetDuration(player.movie), 0);
    player.DetachWindow();  // handles the library no longer knows are refused, not followed
    EXPECT_EQ(player.ReadMovieInfo(testui::CorpusPath(kClip).c_str(), nullptr), 0);
}

TEST_F(MovieLibrary, TheShownClipGetsARealController) {
    MoviePlayer player(library);
    Host host(&player, nullptr);
    UseMainWindowSettings(player);
    ASSERT_NE(library.GetWindowPort(host.hwnd), preview::PortHandle::None);
    ASSERT_EQ(player.OpenFile(testui::CorpusPath(kClip).c_str()), 1);
    EXPECT_EQ(player.path, testui::CorpusPath(kClip));

    movie::MovieController* controller = library.FindController(player.controller);
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(controller->Host(), host.hwnd);
    const RECT bounds = controller->Bounds();
    EXPECT_EQ(bounds.left, 470);
    EXPECT_EQ(bounds.top, 119);
    EXPECT_EQ(bounds.right, 828);
    EXPECT_EQ(bounds.bottom, 415) << "the movie rectangle and its 30-pixel bar";
    // Centred: the frame sits in the middle of the movie rectangle, inside it.
    const RECT frame = controller->FrameRect();
    EXPECT_GE(frame.left, 470);
    EXPECT_LE(frame.right, 828);
    EXPECT_EQ(frame.left - 470, 828 - frame.right);
    EXPECT_EQ(frame.top - 119, 385 - frame.bottom);
    EXPECT_EQ(controller->Flags() & 8, 8);
    EXPECT_TRUE(controller->KeyboardControl());
    EXPECT_FALSE(controller->EditingEnabled());
    EXPECT_TRUE(controller->HasFilter());

    // Clicks in the bounds are the controller's; elsewhere, and other windows' messages, are not.
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(600, 400)), 1);
    EXPECT_EQ(controller->LastEvent().lParam, MAKELPARAM(600, 400));
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(600, 400)), 1);
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100)), 0);
    EXPECT_EQ(player.HandleWindowMessage(GetDesktopWindow(), WM_LBUTTONDOWN, 0, MAKELPARAM(600, 400)), 0);
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(600, 400)), 0);
    const uint32_t seen = controller->EventCount();
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_ERASEBKGND, 0, 0), 1);
    EXPECT_EQ(controller->EventCount(), seen + 1);

    // An update request is served at the next paint.
    library.UpdateMovie(player.GetMovie());
    EXPECT_TRUE(controller->UpdatePending());
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_PAINT, 0, 0), 1);
    EXPECT_FALSE(controller->UpdatePending());

    // Keys count only while the host has the focus.
    SetForegroundWindow(host.hwnd);
    SetFocus(host.hwnd);
    if (GetFocus() == host.hwnd) {
        EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_KEYDOWN, VK_SPACE, 0), 1);
    }
    SetFocus(nullptr);
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_KEYDOWN, VK_SPACE, 0), 0);

    player.SelectAll();
    EXPECT_EQ(controller->SelectionStart().value, 0);
    EXPECT_EQ(controller->SelectionDuration().value, player.GetDuration());
    EXPECT_EQ(controller->SelectionDuration().scale, player.GetTimeScale());

    // Editing is declined: no movie comes out of a cut, nothing changes.
    EXPECT_EQ(library.ControllerCut(player.controller), MovieHandle::None);
    player.Cut();
    player.Paste();
    EXPECT_EQ(library.FindController(player.controller), controller);

    player.DetachWindow();
    EXPECT_EQ(library.GetWindowPort(host.hwnd), preview::PortHandle::None);
    EXPECT_EQ(player.controller, ControllerHandle::None);
}

TEST_F(MovieLibrary, ASizeChangeOfTheControllerResizesTheHostOnlyWhenAsked) {
    MoviePlayer player(library);
    Host host(&player, nullptr);
    UseMainWindowSettings(player);
    RECT before{}, client{};
    GetClientRect(host.hwnd, &before);
    ASSERT_EQ(player.OpenFile(testui::CorpusPath(kClip).c_str()), 1);
    library.FindController(player.controller)->SetBounds(RECT{0, 0, 400, 330});
    GetClientRect(host.hwnd, &client);
    EXPECT_EQ(client.right, before.right) << "the main window's settings never size the host";
    EXPECT_EQ(client.bottom, before.bottom);
    player.Close();

    player.SetPosition(0, 0);
    player.SetSize(320, 240);
    player.SetSizeWindowToController(1);
    ASSERT_EQ(player.OpenFile(testui::CorpusPath(kClip).c_str()), 1);
    GetClientRect(host.hwnd, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 270);

    movie::MovieController* controller = library.FindController(player.controller);
    ASSERT_NE(controller, nullptr);
    controller->SetBounds(RECT{0, 0, 400, 330});
    GetClientRect(host.hwnd, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 330);

    player.Close();
    GetClientRect(host.hwnd, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 1);
}

TEST_F(MovieLibrary, AnUntitledMovieShowsButDoesNotSave) {
    MoviePlayer player(library);
    Host host(&player, nullptr);
    player.NewUntitled();
    ASSERT_EQ(player.isOpen, 1);
    EXPECT_STREQ(player.path, "Untitled");
    EXPECT_EQ(player.GetDuration(), 0);
    EXPECT_GT(player.GetTimeScale(), 0);
    ASSERT_NE(library.FindController(player.controller), nullptr);

    preview::FileSpec fileSpec;
    const std::string dest = TempPath("movieplayer-untitled.mov");
    DeleteFileA(dest.c_str());
    std::string counted(1, char(dest.size()));
    counted += dest;
    library.MakeFileSpec(0, 0, reinterpret_cast<const unsigned char*>(counted.data()), fileSpec);
    EXPECT_NE(library.SaveSelfContained(player.movie, fileSpec, 0, -1, preview::kSaveReplaceExisting), preview::kNoError);
    EXPECT_FALSE(testui::Exists(dest));
}

TEST_F(MovieLibrary, SavingWritesASelfContainedCopy) {
    MoviePlayer player(library);
    ASSERT_EQ(player.LoadFile(testui::CorpusPath(kClip).c_str()), 1);
    const std::string dest = TempPath("movieplayer-copy.mov");
    DeleteFileA(dest.c_str());
    std::string counted(1, char(dest.size()));
    counted += dest;
    preview::FileSpec fileSpec;
    library.MakeFileSpec(0, 0, reinterpret_cast<const unsigned char*>(counted.data()), fileSpec);
    ASSERT_EQ(library.SaveSelfContained(player.movie, fileSpec, 0, -1, preview::kSaveReplaceExisting), preview::kNoError);

    MovieInfo original{}, copy{};
    ASSERT_EQ(player.ReadMovieInfo(testui::CorpusPath(kClip).c_str(), &original), 1);
    ASSERT_EQ(player.ReadMovieInfo(dest.c_str(), &copy), 1);
    EXPECT_EQ(copy.timeScale, original.timeScale);
    EXPECT_EQ(copy.duration, original.duration);
    // Without the replace flag an existing file is kept.
    EXPECT_NE(library.SaveSelfContained(player.movie, fileSpec, 0, -1, 0), preview::kNoError);
    player.Close();
    DeleteFileA(dest.c_str());
}

TEST_F(MovieLibrary, HandlesAreCheckedNotTrusted) {
    MoviePlayer player(library);
    ASSERT_EQ(player.LoadFile(testui::CorpusPath(kClip).c_str()), 1);
    const MovieHandle movie = player.movie;
    const ControllerHandle controller = library.NewController(movie, preview::Rect16{0, 0, 100, 100}, 1);
    ASSERT_NE(controller, ControllerHandle::None);
    // A movie handle is not a controller handle, nor the reverse.
    preview::Rect16 box{};
    EXPECT_NE(library.GetControllerBounds(ControllerHandle{static_cast<uintptr_t>(movie)}, box), preview::kNoError);
    EXPECT_NE(library.GetNaturalBox(MovieHandle{static_cast<uintptr_t>(controller)}, box), preview::kNoError);
    // A controller outlives a movie disposed under it without harm.
    library.DisposeMovie(movie);
    EXPECT_EQ(library.GetDuration(movie), 0);
    EXPECT_EQ(library.GetControllerBounds(controller, box), preview::kNoError);
    EXPECT_EQ(library.DoAction(controller, 99, nullptr), preview::kBadAction);
    EXPECT_NE(library.DoAction(controller, preview::kActionGetFlags, nullptr), preview::kNoError);
    library.DisposeController(controller);
    EXPECT_NE(library.GetControllerBounds(controller, box), preview::kNoError);
    player.movie = MovieHandle::None;
    player.isOpen = 0;
}

namespace {

void PutBe(std::string& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out += char((value >> (8 * i)) & 0xFF);
}

// A movie file of one 'moov' holding only a version 1 movie header.
std::string MovieHeaderOnly(uint32_t timeScale, uint64_t duration) {
    std::string mvhd;
    PutBe(mvhd, 0x01000000, 4);  // version 1, no flags
    PutBe(mvhd, 0, 8);
    PutBe(mvhd, 0, 8);
    PutBe(mvhd, timeScale, 4);
    PutBe(mvhd, duration, 8);
    mvhd += std::string(80, '\0');
    std::string atom;
    PutBe(atom, 8 + mvhd.size(), 4);
    atom += "mvhd" + mvhd;
    std::string moov;
    PutBe(moov, 8 + atom.size(), 4);
    return moov + "moov" + atom;
}

}  // namespace

TEST_F(MovieLibrary, DurationsBeyond32BitsAreClamped) {
    const std::string path = TempPath("movieplayer-long.mov");
    testui::WriteTextFile(path, MovieHeaderOnly(1000, uint64_t(1) << 40));
    MoviePlayer player(library);
    MovieInfo info{};
    ASSERT_EQ(player.ReadMovieInfo(path.c_str(), &info), 1);
    EXPECT_EQ(info.timeScale, 1000);
    EXPECT_EQ(info.duration, INT32_MAX);
    preview::Rect16 box{1, 1, 1, 1};
    EXPECT_EQ(library.GetNaturalBox(player.movie, box), preview::kNoError);
    EXPECT_EQ(box, (preview::Rect16{0, 0, 0, 0})) << "no picture, no size";

    testui::WriteTextFile(path, MovieHeaderOnly(1000, 5000));
    ASSERT_EQ(player.ReadMovieInfo(path.c_str(), &info), 1);
    EXPECT_EQ(info.duration, 5000);
    player.Close();
    DeleteFileA(path.c_str());
}

// ---- The controller's placement and its size notifications -------------------------------------

namespace {

std::shared_ptr<const movie::Movie> MovieOfSize(int width, int height) {
    auto m = std::make_shared<movie::Movie>();
    m->timeScale = 600;
    m->naturalWidth = width;
    m->naturalHeight = height;
    return m;
}

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST(MovieControllerPlacement, TheFrameIsCentredOrTopLeftAndOnlyShrinks) {
    const RECT box{470, 119, 828, 385};
    movie::MovieController centred(MovieOfSize(320, 240), nullptr, box, false);
    EXPECT_TRUE(Same(centred.FrameRect(), RECT{489, 132, 809, 372}));
    EXPECT_TRUE(Same(centred.Bounds(), RECT{470, 119, 828, 415}));

    movie::MovieController topLeft(MovieOfSize(320, 240), nullptr, box, true);
    EXPECT_TRUE(Same(topLeft.FrameRect(), RECT{470, 119, 790, 359}));
    EXPECT_TRUE(Same(topLeft.Bounds(), RECT{470, 119, 828, 415}));

    // Too big for the box: scaled down, proportions kept (640x480 into 358x266 gives 355x266).
    movie::MovieController large(MovieOfSize(640, 480), nullptr, box, false);
    EXPECT_TRUE(Same(large.FrameRect(), RECT{471, 119, 826, 385}));

    // Sound only: no frame, the bar all the same.
    movie::MovieController sound(MovieOfSize(0, 0), nullptr, box, false);
    EXPECT_EQ(sound.FrameRect().right - sound.FrameRect().left, 0);
    EXPECT_TRUE(Same(sound.Bounds(), RECT{470, 119, 828, 415}));
    // Without a host it uses no event.
    EXPECT_FALSE(sound.HandleEvent(nullptr, WM_PAINT, 0, 0, 0, POINT{}));
    EXPECT_EQ(sound.EventCount(), 1u);
}

TEST(MovieControllerPlacement, TheFilterHearsOfSizeChangesOnly) {
    movie::MovieController controller(MovieOfSize(320, 240), nullptr, RECT{0, 0, 320, 240}, true);
    std::vector<int16_t> heard;
    controller.SetFilter([&](int16_t action, void*) {
        heard.push_back(action);
        return false;
    });
    controller.SetBounds(RECT{10, 10, 330, 280});  // moved, same size
    EXPECT_TRUE(heard.empty());
    controller.SetBounds(RECT{10, 10, 410, 340});
    EXPECT_EQ(heard, std::vector<int16_t>{movie::MovieController::kSizeChanged});
    EXPECT_TRUE(Same(controller.Box(), RECT{10, 10, 410, 310}));
    // A filter that handles an action stops it.
    controller.SetFilter([](int16_t, void*) { return true; });
    EXPECT_TRUE(controller.Filtered(39, nullptr));
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
