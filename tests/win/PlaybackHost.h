// A window that hosts a movie player the way the main window does: the erase message forwarded
// before its own handling, every other message after; its paint asks for the movie's update, then
// paints its white background. Placed like the main window's preview (470, 119, 358 x 266).
#pragma once

#include <windows.h>

#include "TestUi.h"
#include "preview/win/LibraryMovieServices.h"
#include "preview/win/MoviePlayer.h"

namespace testui {

class PlaybackHost {
public:
    explicit PlaybackHost(preview::LibraryMovieServices& services) : library(services), player(services) {
        static const bool registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = &PlaybackHost::Proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "PlaybackTestHost";
            wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
            return RegisterClassA(&wc) != 0;
        }();
        (void)registered;
        hwnd = CreateWindowExA(0, "PlaybackTestHost", "", WS_POPUP | WS_VISIBLE, 0, 0, 900, 480, nullptr, nullptr,
                               GetModuleHandleA(nullptr), this);
        player.SetPosition(470, 119);
        player.ClearTopLeft();
        player.SetSize(358, 266);
        Pump();
    }
    PlaybackHost(const PlaybackHost&) = delete;
    PlaybackHost& operator=(const PlaybackHost&) = delete;
    ~PlaybackHost() {
        player.DetachWindow();
        DestroyWindow(hwnd);
    }

    preview::LibraryMovieServices& library;
    MoviePlayer player;
    HWND hwnd = nullptr;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE)
            SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<PlaybackHost*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
        if (message == WM_ERASEBKGND) {
            self->player.HandleWindowMessage(hwnd, message, wParam, lParam);
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
        LRESULT result = 0;
        if (message == WM_CREATE) {
            self->player.AttachWindow(hwnd, reinterpret_cast<CREATESTRUCTA*>(lParam));
        } else if (message == WM_PAINT) {
            if (self->player.isOpen && self->player.GetMovie() != preview::MovieHandle::None)
                self->library.UpdateMovie(self->player.GetMovie());
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
        } else {
            result = DefWindowProcA(hwnd, message, wParam, lParam);
        }
        self->player.HandleWindowMessage(hwnd, message, wParam, lParam);
        return result;
    }
};

}  // namespace testui
