// The movie controller playing in a real window, with the stand-in decoders: what the window shows
// (frames, the bar) as the bar's button, slider and keys are used, and what is left after a close;
// where it places the frame and the bar in the rectangle it is given.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "PlaybackHost.h"
#include "ScreenPixels.h"
#include "TestUi.h"
#include "movie/playback/win/MovieController.h"
#include "tests/support/GeneratedMedia.h"

using testsupport::GeneratedPictures;
using testui::GeneratedFrameShown;
using testui::PlaybackHost;
using testui::Pump;
using testui::PumpUntil;
using testui::ScreenPixels;

namespace {

const char kClip[] = "mjpeg_pcm_600.mov";  // 2 s, 10 frames a second, 160 x 120, 600 units a second

// Pictures that cannot be decoded for some frames, as a corrupt sample would give.
class FailingPictures final : public movie::PictureSource {
public:
    FailingPictures(std::unique_ptr<movie::PictureSource> inner, std::set<long> failing)
        : inner_(std::move(inner)), failing_(std::move(failing)) {}
    bool SpanAt(int64_t time, movie::FrameSpan& span) override { return inner_->SpanAt(time, span); }
    bool FrameAt(int64_t time, int width, int height, uint8_t* pixels, size_t stride) override {
        if (failing_.count(static_cast<GeneratedPictures&>(*inner_).FrameIndexAt(time))) return false;
        return inner_->FrameAt(time, width, height, pixels, stride);
    }

private:
    std::unique_ptr<movie::PictureSource> inner_;
    std::set<long> failing_;
};

class FailingDecoders final : public movie::MediaDecoders {
public:
    explicit FailingDecoders(std::set<long> failing) : failing_(std::move(failing)) {}
    std::unique_ptr<movie::PictureSource> OpenPictures(const std::shared_ptr<const movie::Movie>& movie,
                                                       const std::string& path) override {
        return std::make_unique<FailingPictures>(generated_.OpenPictures(movie, path), failing_);
    }
    std::unique_ptr<movie::SoundSource> OpenSound(const std::shared_ptr<const movie::Movie>&,
                                                  const std::string&) override {
        return nullptr;
    }

private:
    testsupport::GeneratedDecoders generated_;
    std::set<long> failing_;
};

class MovieControllerPlaying : public ::testing::Test {
protected:
    void SetUp() override {
        library.Initialize(0);
        library.EnterMovies();
        library.SetDecoders(std::make_shared<testsupport::GeneratedDecoders>());
        host = std::make_unique<PlaybackHost>(library);
    }
    void TearDown() override {
        host.reset();
        library.ExitMovies();
        library.Terminate();
    }

    void Open(const char* clip = kClip) {
        ASSERT_EQ(host->player.OpenFile(testui::CorpusPath(clip).c_str()), 1);
        controller = library.FindController(host->player.controller);
        ASSERT_NE(controller, nullptr);
        Pump();
    }
    long Shown() const { return GeneratedFrameShown(ScreenPixels(host->hwnd), controller->FrameRect()); }
    bool WaitForFrame(long atLeast) {
        return PumpUntil([&] { return Shown() >= atLeast; });
    }
    void Click(POINT at) {
        SendMessageA(host->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        SendMessageA(host->hwnd, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }
    POINT ButtonCentre() const {
        const movie::BarRect b = controller->BarLayout().Button();
        return POINT{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    }
    POINT ThumbCentreFor(int64_t time) const {
        const movie::BarRect t = controller->BarLayout().Thumb(time, controller->GetMovie().duration);
        return POINT{(t.left + t.right) / 2, (t.top + t.bottom) / 2};
    }
    // The play triangle fills the button's centre; the pause bars leave a gap there.
    bool ButtonShowsPlay() const {
        const POINT c = ButtonCentre();
        return ScreenPixels(host->hwnd).At(c.x, c.y) == GetSysColor(COLOR_BTNTEXT);
    }
    bool TimerRunning() const {
        // KillTimer answers whether the timer existed; a running controller sets it again on the
        // next play, so the probe is only used where the timer should be gone.
        return KillTimer(host->hwnd, controller->TimerId()) != FALSE;
    }

    preview::LibraryMovieServices library;
    std::unique_ptr<PlaybackHost> host;
    movie::MovieController* controller = nullptr;
};

TEST_F(MovieControllerPlaying, OpeningShowsTheFirstFrameUprightInItsPlaceAboveTheBar) {
    Open();
    const RECT frame = controller->FrameRect();
    // A 160 x 120 clip, centred in the 358 x 266 box at (470, 119).
    EXPECT_EQ(frame.left, 569);
    EXPECT_EQ(frame.top, 192);
    EXPECT_EQ(frame.right, 729);
    EXPECT_EQ(frame.bottom, 312);
    ASSERT_TRUE(WaitForFrame(0));
    EXPECT_EQ(Shown(), 0);
    const ScreenPixels screen(host->hwnd);
    // Rows 0 and h-1 in their places: the picture is not upside down.
    EXPECT_EQ(screen.At(frame.left, frame.top), testui::ToColorRef(GeneratedPictures::Top(0)));
    EXPECT_EQ(screen.At(frame.right - 1, frame.bottom - 1), testui::ToColorRef(GeneratedPictures::Bottom(0)));
    // Around the frame, inside the box: the window's face colour, not the host's white.
    EXPECT_EQ(screen.At(frame.left - 1, frame.top), GetSysColor(COLOR_3DFACE));
    EXPECT_EQ(screen.At(470, 119), GetSysColor(COLOR_3DFACE));
    EXPECT_EQ(screen.At(469, 119), RGB(255, 255, 255)) << "nothing drawn outside the bounds";
    EXPECT_EQ(screen.At(600, 415), RGB(255, 255, 255));
    // The bar: the play button, the thumb at the start, some text in the time's place.
    EXPECT_TRUE(ButtonShowsPlay());
    const movie::BarRect time = controller->BarLayout().Time();
    int textPixels = 0;
    for (int y = time.top; y < time.bottom; ++y)
        for (int x = time.left; x < time.right; ++x) textPixels += screen.At(x, y) == GetSysColor(COLOR_BTNTEXT);
    EXPECT_GT(textPixels, 20);
    EXPECT_FALSE(controller->Playing());
    EXPECT_FALSE(TimerRunning()) << "no timer while nothing plays";
}

TEST_F(MovieControllerPlaying, PlayShowsLaterFramesAndPauseHoldsOne) {
    Open();
    ASSERT_TRUE(WaitForFrame(0));
    Click(ButtonCentre());
    EXPECT_TRUE(controller->Playing());
    EXPECT_FALSE(ButtonShowsPlay()) << "the button shows pause while playing";
    ASSERT_TRUE(WaitForFrame(3)) << "frames follow one another";
    EXPECT_GT(controller->CurrentTime(), 0);

    Click(ButtonCentre());
    EXPECT_FALSE(controller->Playing());
    EXPECT_TRUE(ButtonShowsPlay());
    EXPECT_FALSE(TimerRunning());
    const long held = Shown();
    const int64_t position = controller->CurrentTime();
    Pump(300);
    EXPECT_EQ(Shown(), held);
    EXPECT_EQ(controller->CurrentTime(), position);
    EXPECT_EQ(held, GeneratedPictures(std::make_shared<movie::Movie>(controller->GetMovie()), 25).FrameIndexAt(position));

    // Played on from where it paused, not from the start.
    Click(ButtonCentre());
    ASSERT_TRUE(WaitForFrame(held + 1));
    EXPECT_GE(controller->CurrentTime(), position);
}

TEST_F(MovieControllerPlaying, TheSliderSeeksOnClickAndFollowsADrag) {
    Open();
    const POINT at = ThumbCentreFor(930);  // 1.55 s: the middle of frame 15
    Click(at);
    EXPECT_NEAR(double(controller->CurrentTime()), 930.0, 10.0);
    Pump();
    EXPECT_EQ(Shown(), 15);
    EXPECT_FALSE(controller->Playing()) << "a click on the slider of a paused movie leaves it paused";

    // Dragging: the mouse is captured and the frame follows the thumb.
    const POINT from = ThumbCentreFor(150), to = ThumbCentreFor(630);
    SendMessageA(host->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    EXPECT_EQ(GetCapture(), host->hwnd);
    EXPECT_EQ(Shown(), 2);
    SendMessageA(host->hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y + 40));  // off the bar still drags
    EXPECT_EQ(Shown(), 10);
    SendMessageA(host->hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-30, to.y));
    EXPECT_EQ(controller->CurrentTime(), 0) << "left of the window is the start, not past the end";
    SendMessageA(host->hwnd, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_NEAR(double(controller->CurrentTime()), 630.0, 10.0);

    // A drag while playing pauses for the drag and plays on from where the thumb was let go.
    Click(ButtonCentre());
    ASSERT_TRUE(controller->Playing());
    const POINT back = ThumbCentreFor(60);
    SendMessageA(host->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(back.x, back.y));
    EXPECT_FALSE(controller->Playing());
    SendMessageA(host->hwnd, WM_LBUTTONUP, 0, MAKELPARAM(back.x, back.y));
    EXPECT_TRUE(controller->Playing());
    EXPECT_LT(controller->CurrentTime(), 300);
    // Capture taken away (another window, a menu) ends the drag too.
    SendMessageA(host->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(back.x, back.y));
    ReleaseCapture();
    EXPECT_TRUE(controller->Playing());
    SendMessageA(host->hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
    EXPECT_LT(controller->CurrentTime(), 300) << "moves after the drag ended do not seek";
}

TEST_F(MovieControllerPlaying, TheEndStopsOnTheLastFrameAndPlayStartsOver) {
    Open();
    controller->SeekTo(1100);
    Click(ButtonCentre());
    ASSERT_TRUE(PumpUntil([&] { return !controller->Playing(); }));
    Pump();
    EXPECT_EQ(controller->CurrentTime(), 1200);
    EXPECT_EQ(Shown(), 19) << "the last frame stays";
    EXPECT_TRUE(ButtonShowsPlay());
    EXPECT_FALSE(TimerRunning());
    const ScreenPixels screen(host->hwnd);
    const POINT end = ThumbCentreFor(1200);
    EXPECT_EQ(screen.At(end.x - 8, end.y), GetSysColor(COLOR_HIGHLIGHT)) << "the groove is played to the end";

    Click(ButtonCentre());
    EXPECT_TRUE(controller->Playing());
    EXPECT_LT(controller->CurrentTime(), 300);
    ASSERT_TRUE(PumpUntil([&] { long n = Shown(); return n >= 0 && n < 10; }));
}

TEST_F(MovieControllerPlaying, KeysPlayStepAndJumpWhileTheHostHasTheFocus) {
    Open();
    SetForegroundWindow(host->hwnd);
    SetFocus(host->hwnd);
    if (GetFocus() != host->hwnd) GTEST_SKIP() << "the host could not take the focus";
    SendMessageA(host->hwnd, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageA(host->hwnd, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(controller->CurrentTime(), 120);
    EXPECT_EQ(Shown(), 2);
    SendMessageA(host->hwnd, WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(Shown(), 1);
    SendMessageA(host->hwnd, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(Shown(), 19);
    SendMessageA(host->hwnd, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(Shown(), 0);
    SendMessageA(host->hwnd, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(controller->Playing());
    SendMessageA(host->hwnd, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_FALSE(controller->Playing()) << "a step pauses first";
    SendMessageA(host->hwnd, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(controller->Playing());
    SendMessageA(host->hwnd, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_FALSE(controller->Playing());

    // Keyboard control off, or the focus elsewhere: keys are not the controller's.
    controller->SetKeyboardControl(false);
    SendMessageA(host->hwnd, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_FALSE(controller->Playing());
}

TEST_F(MovieControllerPlaying, AMovieWithoutDecodablePicturesShowsAnEvenFillAndStillPlays) {
    testsupport::GeneratedDecoders::Options soundOnly;
    soundOnly.pictures = false;
    library.SetDecoders(std::make_shared<testsupport::GeneratedDecoders>(soundOnly));
    Open();
    Pump();
    const RECT frame = controller->FrameRect();
    const ScreenPixels screen(host->hwnd);
    for (int y = frame.top; y < frame.bottom; y += 17)
        for (int x = frame.left; x < frame.right; x += 13)
            ASSERT_EQ(screen.At(x, y), GetSysColor(COLOR_3DSHADOW)) << x << "," << y;
    Click(ButtonCentre());
    EXPECT_TRUE(controller->Playing());
    ASSERT_TRUE(PumpUntil([&] { return !controller->Playing(); })) << "plays its time to the end";
    EXPECT_EQ(controller->CurrentTime(), 1200);

    // No decoders at all, as the program has before any are built in: the same.
    library.SetDecoders(nullptr);
    Open("mpeg4_1000.mov");
    Pump();
    EXPECT_EQ(ScreenPixels(host->hwnd).At((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2),
              GetSysColor(COLOR_3DSHADOW));
}

TEST_F(MovieControllerPlaying, FramesThatCannotBeDecodedAreSkipped) {
    // Frame 0 broken: an even fill until a good frame comes; frames 3 and 4 broken: 2 stays.
    library.SetDecoders(std::make_shared<FailingDecoders>(std::set<long>{0, 3, 4}));
    Open();
    Pump();
    const RECT frame = controller->FrameRect();
    EXPECT_EQ(ScreenPixels(host->hwnd).At(frame.left + 5, frame.top + 5), GetSysColor(COLOR_3DSHADOW));
    controller->SeekTo(120);
    EXPECT_EQ(Shown(), 2);
    controller->SeekTo(200);
    EXPECT_EQ(Shown(), 2);
    controller->SeekTo(300);
    EXPECT_EQ(Shown(), 5);
    controller->SeekTo(0);
    Click(ButtonCentre());
    ASSERT_TRUE(PumpUntil([&] { return !controller->Playing(); }));
    EXPECT_EQ(Shown(), 19);
}

// Every clip of the corpus and every damaged file the reader still opens: shown, played, sought
// to its end and closed without a crash or a hang (no length, huge lengths, no picture, ...).
TEST_F(MovieControllerPlaying, OddAndDamagedMoviesPlayWithoutHarm) {
    int opened = 0;
    for (const char* folder : {"corpus", "bad"}) {
        const std::string dir = testui::CorpusPath("").substr(0, testui::CorpusPath("").size() - 7) + folder + "\\";
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((dir + "*.m*").c_str(), &found);
        ASSERT_NE(search, INVALID_HANDLE_VALUE) << dir;
        do {
            SCOPED_TRACE(found.cFileName);
            if (host->player.OpenFile((dir + found.cFileName).c_str()) != 1) continue;
            ++opened;
            controller = library.FindController(host->player.controller);
            ASSERT_NE(controller, nullptr);
            Click(ButtonCentre());
            Pump(60);
            controller->SeekTo(INT64_MAX);
            Click(ButtonCentre());
            Pump(30);
            SendMessageA(host->hwnd, WM_KEYDOWN, VK_LEFT, 0);
            host->player.Close();
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    EXPECT_GE(opened, 10) << "the corpus and the damaged files the reader accepts";
}

TEST_F(MovieControllerPlaying, TheHostsPaintAndEraseNeverWipeTheFrame) {
    Open();
    controller->SeekTo(420);
    ASSERT_TRUE(WaitForFrame(7));
    // The whole host repainted with its white background, as uncovering it would.
    RedrawWindow(host->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(Shown(), 7);
    InvalidateRect(host->hwnd, nullptr, TRUE);
    UpdateWindow(host->hwnd);
    EXPECT_EQ(Shown(), 7);
    const ScreenPixels screen(host->hwnd);
    EXPECT_TRUE(ButtonShowsPlay());
    EXPECT_EQ(screen.At(470, 119), GetSysColor(COLOR_3DFACE));
    EXPECT_EQ(screen.At(300, 300), RGB(255, 255, 255));
}

TEST_F(MovieControllerPlaying, ClosingLeavesNothingOfTheMovieOnScreen) {
    const ScreenPixels before(host->hwnd);
    Open();
    Click(ButtonCentre());
    ASSERT_TRUE(WaitForFrame(2));
    const UINT_PTR timer = controller->TimerId();
    const RECT bounds = controller->Bounds();
    host->player.Close();
    EXPECT_EQ(library.FindController(host->player.controller), nullptr);
    EXPECT_FALSE(KillTimer(host->hwnd, timer)) << "the timer died with the controller";
    Pump(50);
    EXPECT_TRUE(ScreenPixels(host->hwnd).SameAs(before, bounds)) << "the area is the host's own again";
}

}  // namespace

// The controller's placement and its size notifications, without a host window.
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
    MSG paint{};
    paint.message = WM_PAINT;
    EXPECT_FALSE(sound.HandleEvent(paint));
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
