// Our movie library behind the player, with real clips and real windows: what opens, the
// controllers it makes, saving, and handles that are checked rather than trusted.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "PlayerHost.h"
#include "TestUi.h"
#include "movie/container/MovieReader.h"
#include "movie/playback/win/MovieController.h"
#include "preview/win/LibraryMovieServices.h"
#include "preview/win/MoviePlayer.h"

using preview::ControllerHandle;
using preview::MovieHandle;
using testui::Host;
using testui::TempPath;
using testui::UseMainWindowSettings;

namespace {

const char kClip[] = "mjpeg_pcm_600.mov";

}  // namespace

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

    // Clicks in the bounds are the controller's (one on the slider seeks to the time under it);
    // elsewhere, and other windows' messages, are not.
    const int64_t underClick = controller->BarLayout().TimeAt(600, controller->GetMovie().duration);
    ASSERT_GT(underClick, 0);
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(600, 400)), 1);
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(600, 400)), 1);
    EXPECT_EQ(controller->CurrentTime(), underClick);
    EXPECT_FALSE(controller->Playing());
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100)), 0);
    EXPECT_EQ(player.HandleWindowMessage(GetDesktopWindow(), WM_LBUTTONDOWN, 0, MAKELPARAM(600, 400)), 0);
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(600, 400)), 0);
    EXPECT_EQ(player.HandleWindowMessage(host.hwnd, WM_ERASEBKGND, 0, 0), 1);

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
