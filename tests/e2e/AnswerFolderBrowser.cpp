// Answers a folder browser of another program from outside, as a user choosing a folder would:
// waits for the browser, selects the folder given and presses OK. Usage: answer_folder_browser
// FOLDER [SECONDS]. Ends 0 when it answered, 1 when no browser came.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>

namespace {

BOOL CALLBACK FindBrowser(HWND window, LPARAM found) {
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof(cls));
    if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window) &&
        FindWindowExA(window, nullptr, "SysTreeView32", nullptr)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The path must live in the browser's own process: the message carries a pointer.
bool Select(HWND browser, const char* folder) {
    DWORD pid = 0;
    GetWindowThreadProcessId(browser, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid);
    if (!process) return false;
    const SIZE_T size = std::strlen(folder) + 1;
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool ok = remote && WriteProcessMemory(process, remote, folder, size, nullptr);
    if (ok)
        ok = SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 5000,
                                 nullptr) != 0;
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const DWORD seconds = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) : 15;
    const DWORD end = GetTickCount() + seconds * 1000;
    HWND browser = nullptr;
    while (!browser && static_cast<LONG>(GetTickCount() - end) < 0) {
        EnumWindows(FindBrowser, reinterpret_cast<LPARAM>(&browser));
        if (!browser) Sleep(100);
    }
    if (!browser) return 1;
    // A browser that has just appeared may not have filled its tree yet; a selection made before
    // that is lost.
    HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
    while (SendMessageA(tree, TVM_GETCOUNT, 0, 0) == 0 && static_cast<LONG>(GetTickCount() - end) < 0) Sleep(100);
    Sleep(500);
    if (!Select(browser, argv[1])) return 1;
    PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
}
