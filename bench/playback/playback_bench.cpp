// Timed scenario under Wine: the main window on a device holding one clip; a click on the clip,
// then a click on play, and the clip played to its end through the window's own message loop.
// Reports how soon the first frame is on screen, the frames presented on time against the frames
// due, the CPU used per second of playback against the same window left idle for as long (the
// peer), and the private bytes before and after.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "movie/playback/win/MovieController.h"
#include "preview/win/LibraryMovieServices.h"
#include "preview/win/MoviePlayer.h"
#include "resources/resource.h"
#include "tests/support/GeneratedMedia.h"
#include "ui/ClipHarborDlg.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7; };
    return seconds(kernel) + seconds(user);
}

double PrivateMegabytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
    // Wine 8 reports private bytes as PagefileUsage and leaves PrivateUsage 0.
    return double(std::max(counters.PrivateUsage, counters.PagefileUsage)) / (1024.0 * 1024.0);
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::function<bool()> gDone;
double gUntil = 0;

void CALLBACK CheckDone(HWND, UINT, UINT_PTR, DWORD) {
    if (gDone() || Now() >= gUntil) PostQuitMessage(0);
}

// Runs the thread's message loop, as a modal dialog would, until `done` (checked every 20 ms
// from a thread timer) or `seconds` pass.
void RunLoop(double seconds, std::function<bool()> done) {
    gDone = std::move(done);
    gUntil = Now() + seconds;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &CheckDone);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    KillTimer(nullptr, timer);
}

COLORREF ScreenPixel(HWND window, POINT at) {
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, at.x, at.y);
    ReleaseDC(window, dc);
    return colour;
}

// Frames the movie's pictures have from its start to its end.
long FramesDue(movie::MediaDecoders* decoders, const std::shared_ptr<const movie::Movie>& movie, const std::string& path) {
    auto pictures = decoders ? decoders->OpenPictures(movie, path) : nullptr;
    if (!pictures) return 0;
    long count = 0;
    movie::FrameSpan span;
    for (int64_t t = 0; t < int64_t(movie->duration) && pictures->SpanAt(t, span) && span.end > t; t = span.end) ++count;
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: playback_bench CLIP DRIVE-LETTER [generated|default]\n");
        return 2;
    }
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    const std::string folder = std::string(1, argv[2][0]) + ":\\Movie\\Media\\";
    CreateDirectoryA(folder.substr(0, 9).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string clip = folder + "clip.mov";
    if (!CopyFileA(argv[1], clip.c_str(), FALSE)) {
        fprintf(stderr, "cannot copy %s to %s\n", argv[1], clip.c_str());
        return 1;
    }
    const bool generated = argc < 4 || std::strcmp(argv[3], "default") != 0;
    std::shared_ptr<movie::MediaDecoders> decoders =
        generated ? std::make_shared<testsupport::GeneratedDecoders>() : movie::DefaultMediaDecoders();
    auto& library = static_cast<preview::LibraryMovieServices&>(preview::DefaultMovieServices());
    library.SetDecoders(decoders);
    printf("decoders: %s\n", generated ? "stand-in (generated pictures and tone)" : "the program's own");

    auto dlg = std::make_unique<ClipHarborDlg>(nullptr);
    dlg->SetDevices({folder});
    if (!dlg->CreateModeless()) return 1;
    Pump();

    // The click on the clip, until its first frame is on screen.
    const POINT centre{470 + 358 / 2, 119 + 266 / 4};  // in the frame's top half for any clip shape
    const COLORREF placeholder = ScreenPixel(dlg->hwnd(), centre);
    LVITEMA item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    const double clicked = Now();
    SendMessageA(GetDlgItem(dlg->hwnd(), IDC_CLIP_LIST), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    movie::MovieController* controller = library.FindController(dlg->Preview().Controller());
    if (!controller) {
        fprintf(stderr, "the clip did not open\n");
        return 1;
    }
    const COLORREF expected = generated ? RGB(testsupport::GeneratedPictures::Top(0).r, testsupport::GeneratedPictures::Top(0).g,
                                              testsupport::GeneratedPictures::Top(0).b)
                                        : CLR_INVALID;
    double firstFrame = -1;
    while (Now() - clicked < 2.0) {
        Pump();
        const COLORREF shown = ScreenPixel(dlg->hwnd(), centre);
        if (generated ? shown == expected : (shown != placeholder && shown != GetSysColor(COLOR_3DFACE))) {
            firstFrame = Now() - clicked;
            break;
        }
        Sleep(1);
    }
    const movie::Movie& movie = controller->GetMovie();
    const double movieSeconds = double(movie.duration) / movie.timeScale;
    const long due = FramesDue(decoders.get(), std::make_shared<movie::Movie>(movie), clip);
    printf("clip: %.2f s, %d x %d, %ld frames due\n", movieSeconds, movie.naturalWidth, movie.naturalHeight, due);
    if (firstFrame >= 0)
        printf("first frame visible: %.1f ms after the click (goal: under 150 ms)\n", firstFrame * 1000);
    else
        printf("first frame visible: not seen within 2 s\n");

    // The peer: the same window, idle, for as long as the clip lasts.
    double cpu = CpuSeconds(), wall = Now();
    RunLoop(movieSeconds, [] { return false; });
    const double idleCpu = (CpuSeconds() - cpu) / (Now() - wall);

    // Play to the end through the message loop.
    const movie::BarRect button = controller->BarLayout().Button();
    const LPARAM at = MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    const double memoryBefore = PrivateMegabytes();
    const movie::MovieController::Statistics before = controller->Stats();
    cpu = CpuSeconds();
    wall = Now();
    SendMessageA(dlg->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(dlg->hwnd(), WM_LBUTTONUP, 0, at);
    double memoryMiddle = 0;
    RunLoop(movieSeconds + 5, [&] {
        if (memoryMiddle == 0 && Now() - wall > movieSeconds / 2) memoryMiddle = PrivateMegabytes();
        return !controller->Playing();
    });
    const double played = Now() - wall;
    const double playCpu = (CpuSeconds() - cpu) / played;
    const movie::MovieController::Statistics after = controller->Stats();
    const long shown = long(after.framesShown - before.framesShown);
    const long skipped = long(after.framesSkipped - before.framesSkipped);
    printf("playback: %.2f s of wall time for %.2f s of movie, %u timer ticks\n", played, movieSeconds,
           after.ticks - before.ticks);
    // The frame already on screen at the click counts as presented when play starts on it.
    const long presented = shown + 1;
    if (due > 0)
        printf("frames presented on time: %ld of %ld due (%.1f %%, goal: at least 98 %%), %ld skipped\n", presented,
               due, 100.0 * double(presented) / double(due), skipped);
    else
        printf("frames presented on time: no pictures to present (no decoder for them)\n");
    printf("CPU while playing: %.1f %% of one core (goal: under 30 %%); the idle window: %.1f %% (ratio %.1f)\n",
           playCpu * 100, idleCpu * 100, idleCpu > 0 ? playCpu / idleCpu : 0.0);
    printf("private bytes: %.1f MB before play, %.1f MB halfway, %.1f MB at the end\n", memoryBefore, memoryMiddle,
           PrivateMegabytes());

    SendMessageA(dlg->hwnd(), WM_CLOSE, 0, 0);
    Pump();
    dlg.reset();
    DeleteFileA(clip.c_str());
    OleUninitialize();
    return 0;
}
