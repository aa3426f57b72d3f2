// Answers a folder browser of another program from outside, as a user choosing a folder would:
// waits for the browser, selects the folder given and presses OK. Usage: answer_folder_browser
// FOLDER [SECONDS]. Ends 0 when it answered, 1 when no browser came or it would not select the
// folder (the browser is then cancelled).
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/FolderBrowserSelection.h"

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

// Messages that carry a pointer need it in the browser's own process: a block there holds the
// path sent and an item's text read back.
bool Select(HWND browser, const std::string& folder) {
    const HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
    DWORD pid = 0;
    GetWindowThreadProcessId(browser, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid);
    if (!process) return false;
    auto* block = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(TVITEMA) + MAX_PATH, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    char* remoteText = block + sizeof(TVITEMA);
    auto send = [&](const std::string& path) {
        DWORD_PTR answer = 0;
        return path.size() < MAX_PATH && WriteProcessMemory(process, remoteText, path.c_str(), path.size() + 1, nullptr) &&
               SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(remoteText), SMTO_NORMAL,
                                   30000, &answer) != 0;
    };
    auto itemText = [&](HTREEITEM item) {
        TVITEMA data{};
        data.mask = TVIF_TEXT;
        data.hItem = item;
        data.pszText = remoteText;
        data.cchTextMax = MAX_PATH;
        char text[MAX_PATH] = {};
        DWORD_PTR answer = 0;
        if (!WriteProcessMemory(process, block, &data, sizeof(data), nullptr) ||
            !SendMessageTimeoutA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(block), SMTO_NORMAL, 30000, &answer) ||
            !ReadProcessMemory(process, remoteText, text, sizeof(text) - 1, nullptr))
            return std::string();
        return std::string(text);
    };
    const bool selected = block && testsupport::SelectInFolderBrowser(browser, folder, send, itemText);
    if (block) VirtualFreeEx(process, block, 0, MEM_RELEASE);
    CloseHandle(process);
    return selected;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const DWORD seconds = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) : 30;
    const DWORD end = GetTickCount() + seconds * 1000;
    HWND browser = nullptr;
    while (!browser && static_cast<LONG>(GetTickCount() - end) < 0) {
        EnumWindows(FindBrowser, reinterpret_cast<LPARAM>(&browser));
        if (!browser) Sleep(100);
    }
    if (!browser) return 1;
    // Nothing to select in a tree not filled yet.
    HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
    while (SendMessageA(tree, TVM_GETCOUNT, 0, 0) == 0 && static_cast<LONG>(GetTickCount() - end) < 0) Sleep(100);
    // OK only on the folder asked for: on another the program would copy there.
    if (!Select(browser, argv[1])) {
        PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return 1;
    }
    PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
}
