// Timed scenario under Wine: a large clip copied and moved by the main window's Copy and Move
// buttons to another drive (on another file system, so a move copies too), against the system's
// own `cmd /c copy` of the same file in the same run; and the longest time the window went
// without a repaint while it was asked for one every few milliseconds.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "WineBench.h"
#include "resources/resource.h"
#include "tests/win/TestMovies.h"
#include "ui/ClipHarborDlg.h"

using namespace winebench;
using Clock = std::chrono::steady_clock;

namespace {

// A movie header followed by a 'free' atom of pseudo-random bytes: a clip of `bytes` bytes whose
// content no file system can skip.
bool WriteLargeClip(const std::string& path, uint64_t bytes) {
    std::string head = testui::MinimalMovie(600, 600 * 3600);
    const uint64_t rest = bytes - head.size();
    testui::PutBE32(head, 1);
    head += "free";
    testui::PutBE32(head, static_cast<uint32_t>(rest >> 32));
    testui::PutBE32(head, static_cast<uint32_t>(rest));
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, head.data(), static_cast<DWORD>(head.size()), &written, nullptr) != FALSE;
    std::vector<uint64_t> chunk(1 << 19);  // 4 MiB
    uint64_t state = 0x9E3779B97F4A7C15ull, left = bytes - head.size();
    while (ok && left > 0) {
        for (uint64_t& word : chunk) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const DWORD n = static_cast<DWORD>(std::min<uint64_t>(left, chunk.size() * sizeof(uint64_t)));
        ok = WriteFile(h, chunk.data(), n, &written, nullptr) && written == n;
        left -= n;
    }
    CloseHandle(h);
    return ok;
}

// Writes a file's data to its disk, as for a clip recorded long before: deleting a file whose
// pages are still to be written costs that writing too.
void Settle(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    FlushFileBuffers(h);
    CloseHandle(h);
}

// The times the main window began a repaint, while it is measured.
std::vector<Clock::time_point> gPaints;

LRESULT CALLBACK RecordPaints(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_PAINT) gPaints.push_back(Clock::now());
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

// Asks the window for a repaint every 20 ms from another thread while it lives.
class Invalidator {
public:
    explicit Invalidator(HWND window)
        : thread_([this, window] {
              while (!stop_) {
                  InvalidateRect(window, nullptr, FALSE);
                  Sleep(20);
              }
          }) {}
    ~Invalidator() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The folder browser's answer, from a timer of this thread while it runs. The repaint requests
// start with the answer: pending paints hold back timer messages.
std::string gFolder;
HWND gMeasured = nullptr;
std::unique_ptr<Invalidator> gInvalidator;
Clock::time_point gAnswered;
int gErrorBoxes = 0;
std::vector<HWND> gAnsweredBoxes;

BOOL CALLBACK AnswerBox(HWND box, LPARAM) {
    char cls[16] = {};
    GetClassNameA(box, cls, sizeof(cls));
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(box) || GetDlgItem(box, IDC_CLIP_LIST)) return TRUE;
    if (std::find(gAnsweredBoxes.begin(), gAnsweredBoxes.end(), box) != gAnsweredBoxes.end()) return TRUE;
    gAnsweredBoxes.push_back(box);
    if (FindWindowExA(box, nullptr, "SysTreeView32", nullptr)) {
        SendMessageA(box, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(gFolder.c_str()));
        gAnswered = Clock::now();
        if (gMeasured) gInvalidator = std::make_unique<Invalidator>(gMeasured);
    } else {
        ++gErrorBoxes;
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return TRUE;
}

void CALLBACK AnswerTick(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), AnswerBox, 0); }

struct Measure {
    double seconds = 0;
    double longestGap = 0;  // seconds
};

// The longest time between two repaints from `start` to `end`, the ends counted as repaints.
double LongestGap(Clock::time_point start, Clock::time_point end) {
    double longest = 0;
    Clock::time_point last = start;
    for (Clock::time_point t : gPaints) {
        if (t < start || t > end) continue;
        longest = std::max(longest, std::chrono::duration<double>(t - last).count());
        last = t;
    }
    return std::max(longest, std::chrono::duration<double>(end - last).count());
}

// Selects the clip and presses a command button; timed from the folder browser's answer to the
// rebuilt list. With `probe`, the window is asked for a repaint every 20 ms meanwhile.
Measure Press(ClipHarborDlg& dlg, int button, const std::string& folder, bool probe) {
    HWND list = dlg.ClipList().hwnd();
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    Pump();
    gFolder = folder;
    gPaints.clear();
    UINT_PTR timer = SetTimer(nullptr, 0, 20, AnswerTick);
    gMeasured = probe ? dlg.hwnd() : nullptr;
    Measure m;
    SendMessageA(dlg.hwnd(), WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    const Clock::time_point end = Clock::now();
    gInvalidator.reset();
    m.seconds = std::chrono::duration<double>(end - gAnswered).count();
    m.longestGap = LongestGap(gAnswered, end);
    KillTimer(nullptr, timer);
    Pump();
    return m;
}

// The mechanism of a progress routine on the window thread: it dispatches paint messages each
// time the system calls it (never, under Wine).
DWORD CALLBACK PaintOnProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                               LPVOID) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&msg);
    return PROGRESS_CONTINUE;
}

// A copy with the progress routine on the window thread, timed while the window is asked for a
// repaint every 20 ms.
Measure CopyWithProgressRoutine(HWND window, const std::string& source, const std::string& destination) {
    gPaints.clear();
    Measure m;
    Invalidator invalidator(window);
    const Clock::time_point start = Clock::now();
    CopyFileExA(source.c_str(), destination.c_str(), PaintOnProgress, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS);
    const Clock::time_point end = Clock::now();
    m.seconds = std::chrono::duration<double>(end - start).count();
    m.longestGap = LongestGap(start, end);
    return m;
}

// Deletes a file on a thread of its own while this thread pumps messages and the window is asked
// for repaints: under Wine the deletion of a large file holds up every thread's painting.
Measure DeleteWhilePumping(HWND window, const std::string& path) {
    gPaints.clear();
    Measure m;
    Invalidator invalidator(window);
    std::atomic<bool> done{false};
    const Clock::time_point start = Clock::now();
    std::thread deleter([&] {
        DeleteFileA(path.c_str());
        done = true;
    });
    while (!done) {
        Pump();
        Sleep(1);
    }
    const Clock::time_point end = Clock::now();
    deleter.join();
    m.seconds = std::chrono::duration<double>(end - start).count();
    m.longestGap = LongestGap(start, end);
    return m;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: copy_bench DEVICE-DRIVE OTHER-DRIVE [MiB] [ROUNDS]\n");
        return 2;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    const std::string device = std::string(1, argv[1][0]) + ":\\Movie\\Media\\";
    const std::string other = std::string(1, argv[2][0]) + ":\\";
    const uint64_t mib = argc > 3 ? strtoull(argv[3], nullptr, 10) : 2048;
    const int rounds = argc > 4 ? atoi(argv[4]) : 3;
    const std::string clip = device + "large.mov", copied = other + "large.mov", peerCopy = other + "peer.mov";

    CreateDirectoryA((device.substr(0, 3) + "Movie").c_str(), nullptr);
    CreateDirectoryA(device.c_str(), nullptr);
    DeleteFileA(copied.c_str());
    DeleteFileA(peerCopy.c_str());
    auto start = Clock::now();
    if (!WriteLargeClip(clip, mib << 20)) {
        fprintf(stderr, "could not write %s\n", clip.c_str());
        return 1;
    }
    Settle(clip);
    printf("clip of %llu MiB written in %.1f s\n", static_cast<unsigned long long>(mib), Seconds(start));

    ClipHarborDlg dlg(nullptr);
    dlg.SetDevices({device});
    if (!dlg.CreateModeless()) return 1;
    Pump();
    SetWindowSubclass(dlg.hwnd(), RecordPaints, 1, 0);

    // Throughput is timed without repaint requests (they cost the copy processor time that no user
    // causes); the longest gap without a repaint in separate runs with them.
    std::vector<double> peerRate, peerMoveRate, copyRate, moveRate, copyGap, moveGap, routineGap, deleteGap;
    const std::string spare = device + "spare.bin";
    const double megabytes = static_cast<double>(mib << 20) / 1e6;
    auto rate = [&](const Measure& m) { return megabytes / m.seconds; };
    auto run = [&](int button, bool probe) {
        const Measure m = Press(dlg, button, other, probe);
        if (button == IDC_COPY)
            DeleteFileA(copied.c_str());
        else
            MoveFileExA(copied.c_str(), clip.c_str(), MOVEFILE_COPY_ALLOWED);
        Settle(clip);
        dlg.ScanMediaFolder();
        Pump();
        return m;
    };
    for (int round = 0; round < rounds; ++round) {
        peerRate.push_back(megabytes / TimeCommand("cmd /c copy /b \"" + clip + "\" \"" + peerCopy + "\" >NUL"));
        DeleteFileA(peerCopy.c_str());
        // The same work as a move to another file system: the copy, then the source deleted.
        peerMoveRate.push_back(megabytes / TimeCommand("cmd /c copy /b \"" + clip + "\" \"" + peerCopy + "\" >NUL && del \"" +
                                                       clip + "\""));
        MoveFileExA(peerCopy.c_str(), clip.c_str(), MOVEFILE_COPY_ALLOWED);
        Settle(clip);
        copyRate.push_back(rate(run(IDC_COPY, false)));
        moveRate.push_back(rate(run(IDC_MOVE, false)));
        copyGap.push_back(run(IDC_COPY, true).longestGap * 1000);
        moveGap.push_back(run(IDC_MOVE, true).longestGap * 1000);
        routineGap.push_back(CopyWithProgressRoutine(dlg.hwnd(), clip, copied).longestGap * 1000);
        DeleteFileA(copied.c_str());
        CopyFileA(clip.c_str(), spare.c_str(), FALSE);
        Settle(spare);
        deleteGap.push_back(DeleteWhilePumping(dlg.hwnd(), spare).longestGap * 1000);
        printf("round %d: cmd copy %.0f MB/s, Copy %.0f MB/s, Move %.0f MB/s; longest gaps: Copy %.0f ms, Move %.0f ms, "
               "progress routine %.0f ms, deleting a copy on the device %.0f ms\n",
               round + 1, peerRate.back(), copyRate.back(), moveRate.back(), copyGap.back(), moveGap.back(),
               routineGap.back(), deleteGap.back());
    }
    const double peer = Median(peerRate);
    printf("\nmedians of %d rounds, %llu MiB to another file system (tmpfs), buttons timed from the folder "
           "browser's answer to the rebuilt list:\n",
           rounds, static_cast<unsigned long long>(mib));
    const double peerMove = Median(peerMoveRate);
    printf("  cmd /c copy   %5.0f MB/s\n", peer);
    printf("  cmd /c copy, then del of the source %5.0f MB/s\n", peerMove);
    printf("  Copy button   %5.0f MB/s = %.2fx the peer, longest gap without repaint %4.0f ms (worst %4.0f ms)\n",
           Median(copyRate), Median(copyRate) / peer, Median(copyGap), *std::max_element(copyGap.begin(), copyGap.end()));
    printf("  Move button   %5.0f MB/s = %.2fx the peer, %.2fx copy then del, longest gap without repaint %4.0f ms "
           "(worst %4.0f ms)\n",
           Median(moveRate), Median(moveRate) / peer, Median(moveRate) / peerMove, Median(moveGap),
           *std::max_element(moveGap.begin(), moveGap.end()));
    printf("  a progress routine on the window thread instead: longest gap %.0f ms\n", Median(routineGap));
    printf("  no copy, a thread deleting a copy of the clip on the device: longest gap %.0f ms\n", Median(deleteGap));
    printf("  (the Move button deletes the clip on the device after its copy; Wine's cmd does not move across\n"
           "   file systems, hence copy then del as the move's second peer)\n");
    printf("error boxes: %d\n", gErrorBoxes);

    RemoveWindowSubclass(dlg.hwnd(), RecordPaints, 1);
    SendMessageA(dlg.hwnd(), WM_CLOSE, 0, 0);
    Pump();
    DeleteFileA(clip.c_str());
    OleUninitialize();
    return 0;
}
