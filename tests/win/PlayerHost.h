// A window that hosts a movie player as the main window does (its WM_CREATE attaches the player
// given as creation parameter), for the player's and the library's tests; and where they place it.
#pragma once

#include <windows.h>

#include <string>

#include "preview/win/MoviePlayer.h"

namespace testui {

inline constexpr char kPlayerHostClass[] = "MoviePlayerTestHost";

// A window whose WM_CREATE attaches the player given as creation parameter, as the main window does.
inline LRESULT CALLBACK PlayerHostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
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

inline void RegisterPlayerHostClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = PlayerHostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kPlayerHostClass;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&wc);
    registered = true;
}

// A host window; with a parent it is its child, else a captioned top-level window.
struct Host {
    HWND hwnd = nullptr;
    Host(MoviePlayer* player, HWND parent, const char* text = "Host") {
        RegisterPlayerHostClass();
        const DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        hwnd = CreateWindowExA(0, kPlayerHostClass, text, style, 10, 10, 900, 500, parent, nullptr,
                               GetModuleHandleA(nullptr), player);
    }
    ~Host() { DestroyWindow(hwnd); }
    int WrittenCx() const { return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropA(hwnd, "cx"))); }
    int WrittenCy() const { return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropA(hwnd, "cy"))); }
};

// The main window's placement of the preview.
inline void UseMainWindowSettings(MoviePlayer& player) {
    player.SetPosition(470, 119);
    player.ClearTopLeft();
    player.SetSize(358, 266);
}

inline std::string TempPath(const std::string& name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(sizeof(dir), dir);
    return std::string(dir) + name;
}

}  // namespace testui
