// The main window's preview playing clips: with the stand-in decoders what a click on a clip
// shows, the bar playing it, every way the preview closes leaving nothing running or drawn, and
// memory over many openings; with the program's own decoders a DV clip's frames against the
// ffmpeg command's.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ScreenPixels.h"
#include "TestUi.h"
#include "movie/playback/win/MovieController.h"
#include "preview/win/LibraryMovieServices.h"
#include "preview/win/MoviePlayer.h"
#include "preview/win/PictureRegistry.h"
#include "resources/resource.h"
#include "tests/support/GeneratedMedia.h"
#include "tests/unit/picture_compare.h"
#include "ui/ClipHarborDlg.h"

using namespace testui;

namespace {

class PreviewPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        for (char d : {'D', 'E'}) {
            ClearDrive(d);
            MakeMediaFolder(d);
        }
        ASSERT_TRUE(CopyCorpusClip("mjpeg_pcm_600.mov", MediaFolder('D') + "a.mov"));
        ASSERT_TRUE(CopyCorpusClip("mjpeg_pcm_600.mov", MediaFolder('D') + "b.mov"));
        ASSERT_TRUE(CopyCorpusClip("mjpeg_pcm_600.mov", MediaFolder('E') + "e.mov"));
        library().SetDecoders(std::make_shared<testsupport::GeneratedDecoders>());
        dlg = std::make_unique<ClipHarborDlg>(nullptr);
        dlg->SetDevices({MediaFolder('D'), MediaFolder('E')});
        ASSERT_TRUE(dlg->CreateModeless());
        Pump();
    }
    void TearDown() override {
        if (dlg && dlg->hwnd()) SendMessageA(dlg->hwnd(), WM_CLOSE, 0, 0);
        dlg.reset();
        Pump();
        library().SetDecoders(movie::DefaultMediaDecoders());
    }

    static preview::LibraryMovieServices& library() {
        return static_cast<preview::LibraryMovieServices&>(preview::DefaultMovieServices());
    }
    movie::MovieController* Controller() const { return library().FindController(dlg->Preview().Controller()); }
    void Select(int row) {
        LVITEMA none{};
        none.stateMask = LVIS_SELECTED;
        SendMessageA(GetDlgItem(dlg->hwnd(), IDC_CLIP_LIST), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        if (row >= 0) {
            LVITEMA item{};
            item.stateMask = item.state = LVIS_SELECTED;
            SendMessageA(GetDlgItem(dlg->hwnd(), IDC_CLIP_LIST), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        }
        Pump();
    }
    // A click on the window, as the mouse gives it.
    void Click(POINT at) {
        SendMessageA(dlg->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        SendMessageA(dlg->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }
    // A key as the program's modal loop gives it: to the window with the focus, through the
    // dialog manager.
    void Key(UINT key) {
        MSG msg{GetFocus(), WM_KEYDOWN, key, 1, GetTickCount(), {}};
        if (!IsDialogMessageA(dlg->hwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Pump();
    }
    POINT PlayButton() const {
        const movie::BarRect b = Controller()->BarLayout().Button();
        return POINT{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    }
    long Shown() const {
        movie::MovieController* controller = Controller();
        return controller ? GeneratedFrameShown(ScreenPixels(dlg->hwnd()), controller->FrameRect()) : -1;
    }

    std::unique_ptr<ClipHarborDlg> dlg;
};

TEST_F(PreviewPlayback, AClickedClipShowsItsFirstFrameAndItsBarPlaysIt) {
    Select(0);
    ASSERT_NE(Controller(), nullptr);
    EXPECT_EQ(dlg->Preview().PlaceholderVisible(), false);
    ASSERT_TRUE(PumpUntil([&] { return Shown() == 0; }));
    // The frame sits centred in the preview's movie rectangle, the bar under it.
    const RECT frame = Controller()->FrameRect();
    EXPECT_EQ(frame.left - 470, 828 - frame.right);
    EXPECT_EQ(frame.top - 119, 385 - frame.bottom);
    EXPECT_EQ(Controller()->BarLayout().Bar().top, 385);
    EXPECT_EQ(Controller()->BarLayout().Bar().bottom, 415);

    Click(PlayButton());
    ASSERT_TRUE(PumpUntil([&] { return Shown() >= 3; })) << "the preview plays";
    Click(PlayButton());
    const long held = Shown();
    Pump(300);
    EXPECT_EQ(Shown(), held) << "and pauses";

    // The window painted over (as when uncovered) keeps the frame and the bar.
    RedrawWindow(dlg->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    EXPECT_EQ(Shown(), held);
    EXPECT_EQ(ScreenPixels(dlg->hwnd()).At(PlayButton().x, PlayButton().y), GetSysColor(COLOR_BTNTEXT));
}

// The window is a dialog: its dialog manager hands the focus to its controls and takes Enter and
// the arrows for itself. A click on the movie gives the movie the keys all the same.
TEST_F(PreviewPlayback, AClickOnTheMovieGivesItTheKeysUntilAControlTakesTheFocus) {
    Select(0);
    ASSERT_NE(Controller(), nullptr);
    const HWND list = GetDlgItem(dlg->hwnd(), IDC_CLIP_LIST);
    SetFocus(list);
    if (GetFocus() != list) GTEST_SKIP() << "the window could not take the focus";
    Key(VK_SPACE);
    EXPECT_FALSE(Controller()->Playing()) << "Space in the list is the list's";

    const RECT frame = Controller()->FrameRect();
    Click(POINT{(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2});
    EXPECT_FALSE(Controller()->Playing()) << "a click on the picture does not play";
    Key(VK_SPACE);
    ASSERT_TRUE(Controller()->Playing()) << "Space plays";
    ASSERT_TRUE(PumpUntil([&] { return Shown() >= 2; }));
    Key(VK_SPACE);
    EXPECT_FALSE(Controller()->Playing()) << "and pauses";
    const long held = Shown();
    Key(VK_RETURN);
    EXPECT_TRUE(Controller()->Playing()) << "Enter is the movie's, not the default button's";
    Key(VK_RIGHT);
    EXPECT_FALSE(Controller()->Playing()) << "an arrow steps";
    EXPECT_GT(Shown(), held);
    EXPECT_EQ(GetFocus(), dlg->hwnd()) << "and moves to no control";

    // Another program had the focus, and the window gets it back: the movie keeps the keys.
    SetFocus(nullptr);
    SetFocus(dlg->hwnd());
    Key(VK_SPACE);
    EXPECT_TRUE(Controller()->Playing());

    Key(VK_TAB);
    EXPECT_NE(GetFocus(), dlg->hwnd()) << "Tab moves on to a control";
    Key(VK_SPACE);
    EXPECT_TRUE(Controller()->Playing()) << "whose keys are its own again";
}

// Whatever closes the preview, the clip's timer, sound and picture go with it: afterwards the
// preview area is exactly what it was before any clip was opened (the placeholder), or the next
// clip's first frame.
TEST_F(PreviewPlayback, EveryWayThePreviewClosesStopsEverythingAndLeavesNothing) {
    const RECT area = dlg->Preview().Area();
    const ScreenPixels placeholder(dlg->hwnd());
    auto chooseDevice = [&](int index) {
        SendMessageA(GetDlgItem(dlg->hwnd(), IDC_DEVICE_COMBO), CB_SETCURSEL, index, 0);
        SendMessageA(dlg->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_DEVICE_COMBO, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg->hwnd(), IDC_DEVICE_COMBO)));
    };
    auto rename = [&](const char* name) {
        NMLVDISPINFOA nm{};
        nm.hdr = {GetDlgItem(dlg->hwnd(), IDC_CLIP_LIST), IDC_CLIP_LIST, static_cast<UINT>(LVN_ENDLABELEDITA)};
        nm.item.iItem = 0;
        nm.item.pszText = const_cast<char*>(name);
        SendMessageA(dlg->hwnd(), WM_NOTIFY, IDC_CLIP_LIST, reinterpret_cast<LPARAM>(&nm));
    };
    const struct {
        const char* way;
        std::function<void()> close;
        bool nextClipShown;
    } ways[] = {
        {"another clip selected", [&] { Select(1); }, true},
        {"selection cleared", [&] { Select(-1); }, false},
        {"rename", [&] { rename("renamed.mov"); }, false},
        {"rescan", [&] { dlg->ScanMediaFolder(); }, false},
        {"a file operation", [&] {
             BoxWatcher yes([](HWND box) { PressButton(box, IDYES); }, {dlg->hwnd()});
             dlg->DeleteSelectedClips();
         }, false},
        {"device change", [&] { chooseDevice(1); }, false},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        Select(0);
        movie::MovieController* controller = Controller();
        ASSERT_NE(controller, nullptr);
        const preview::ControllerHandle handle = dlg->Preview().Controller();
        const UINT_PTR timer = controller->TimerId();
        Click(PlayButton());
        ASSERT_TRUE(PumpUntil([&] { return Shown() >= 2; }));

        way.close();
        Pump(50);
        EXPECT_EQ(library().FindController(handle), nullptr);
        EXPECT_FALSE(KillTimer(dlg->hwnd(), timer)) << "the timer is gone";
        if (way.nextClipShown) {
            ASSERT_NE(Controller(), nullptr);
            EXPECT_FALSE(Controller()->Playing());
            EXPECT_EQ(Shown(), 0);
        } else {
            EXPECT_FALSE(dlg->Preview().IsOpen());
            EXPECT_EQ(dlg->Preview().PlaceholderVisible(), true);
            EXPECT_TRUE(ScreenPixels(dlg->hwnd()).SameAs(placeholder, area)) << "the placeholder, nothing else";
        }
    }

    // The window closing: the placeholder comes back before it goes, and nothing is left running.
    Select(0);
    Click(PlayButton());
    ASSERT_TRUE(PumpUntil([&] { return Shown() >= 1; }));
    const preview::ControllerHandle handle = dlg->Preview().Controller();
    SendMessageA(dlg->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(library().FindController(handle), nullptr);
    EXPECT_TRUE(dlg->Preview().PlaceholderVisible());
    MSG stray;
    EXPECT_FALSE(PeekMessageA(&stray, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE)) << "no timer message left";
}

// The pixels of `rect` of the window as top-down B, G, R, X rows.
std::vector<uint8_t> RectPixels(const ScreenPixels& screen, const RECT& rect) {
    std::vector<uint8_t> out;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) {
            const COLORREF c = screen.At(x, y);
            out.insert(out.end(), {GetBValue(c), GetGValue(c), GetRValue(c), 0xFF});
        }
    return out;
}

std::vector<uint8_t> DecodeReference(const std::string& name) {
    std::ifstream in(std::string(DECODE_REFERENCE_DIR) + "/" + name, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// What the user sees of a DV PAL clip with the program's own decoders: its first frame where the
// controller places it, later frames while it plays, the last one held at the end and after a
// click at the slider's end; each compared with the ffmpeg command's decode at that size.
TEST_F(PreviewPlayback, ADvClipShowsAndPlaysItsOwnFrames) {
    library().SetDecoders(movie::DefaultMediaDecoders());
    ASSERT_TRUE(CopyCorpusClip("dv_pal_pcm.mov", MediaFolder('D') + "c_dv.mov"));
    dlg->ScanMediaFolder();
    const std::vector<uint8_t> first = DecodeReference("dv_pal_first_333x266.bgra");
    const std::vector<uint8_t> last = DecodeReference("dv_pal_last_333x266.bgra");
    ASSERT_EQ(first.size(), 333u * 266 * 4);
    ASSERT_EQ(last.size(), first.size());
    auto psnr = [&](const std::vector<uint8_t>& expected) {
        const std::vector<uint8_t> shown = RectPixels(ScreenPixels(dlg->hwnd()), Controller()->FrameRect());
        return shown.size() == expected.size() ? reference::Psnr(shown.data(), expected.data(), 333 * 266) : 0.0;
    };
    // The test pattern's frames differ in a few places only: the one shown must match its own
    // reference closely and clearly better than the other's.
    auto shows = [&](const std::vector<uint8_t>& expected, const std::vector<uint8_t>& other) {
        const double own = psnr(expected);
        return own >= 25 && own >= psnr(other) + 3;
    };
    auto report = [&] { return testing::Message() << psnr(first) << " dB to the first, " << psnr(last) << " to the last"; };

    Select(2);
    ASSERT_NE(Controller(), nullptr);
    const RECT frame = Controller()->FrameRect();
    EXPECT_EQ(frame.right - frame.left, 333);
    EXPECT_EQ(frame.bottom - frame.top, 266);
    EXPECT_TRUE(PumpUntil([&] { return shows(first, last); })) << report();

    Click(PlayButton());
    EXPECT_TRUE(PumpUntil([&] { return !Controller()->Playing(); })) << "the clip plays to its end";
    EXPECT_TRUE(shows(last, first)) << "the last frame stays at the end: " << report();
    EXPECT_EQ(Controller()->CurrentTime(), int64_t(Controller()->GetMovie().duration));

    // A click at the start of the slider goes back to the first frame; at its end, to the last.
    const movie::BarRect slider = Controller()->BarLayout().Slider();
    Click(POINT{slider.left, (slider.top + slider.bottom) / 2});
    EXPECT_TRUE(PumpUntil([&] { return shows(first, last); })) << report();
    Click(POINT{slider.right - 1, (slider.top + slider.bottom) / 2});
    EXPECT_TRUE(PumpUntil([&] { return shows(last, first); })) << report();
}

TEST_F(PreviewPlayback, OpeningAndClosing500TimesKeepsMemoryFlat) {
    auto privateBytes = [] {
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof(counters);
        GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof(counters));
        // Private bytes: Wine 8 leaves PrivateUsage 0 and reports the process's anonymous
        // resident memory as PagefileUsage, which Windows documents as the same value.
        return static_cast<double>(std::max(counters.PrivateUsage, counters.PagefileUsage));
    };
    auto cycle = [&](int i) {
        Select(i % 2);
        if (i % 50 == 0) {
            Click(PlayButton());
            Pump(60);
        }
        Select(-1);
    };
    for (int i = 0; i < 50; ++i) cycle(i);
    const double settled = privateBytes();
    ASSERT_GT(settled, 0.0);
    for (int i = 50; i < 500; ++i) cycle(i);
    const double grown = privateBytes() - settled;
    // One off-screen picture of the preview is over 400 KB: 450 openings leaking one would be 190 MB.
    EXPECT_LT(grown, 2.0 * 1024 * 1024) << "private bytes grew by " << grown;
}

}  // namespace
