// The preview's movie player: at most one movie and its controller, shown in a host window.
// Every library call goes through MovieServices. The host reads isOpen directly.
#pragma once

#include <windows.h>

#include <cstdint>

#include "preview/win/MovieServices.h"

// A movie's time scale (units per second) and duration (in those units).
struct MovieInfo {
    int32_t timeScale;
    int32_t duration;
};

// Owns movie and controller; only Close (directly, through an opening operation or
// DetachWindow) releases them, so the host calls DetachWindow before deleting the player.
class MoviePlayer final {
public:
    explicit MoviePlayer(preview::MovieServices& services = preview::DefaultMovieServices());
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    virtual int32_t LoadFile(const char* file);
    virtual int32_t OpenFile(const char* file);
    virtual void Close();
    virtual void NewUntitled();
    virtual void SaveAs();
    virtual int32_t HandleWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    virtual int32_t AttachWindow(HWND hwnd, CREATESTRUCTA* create);
    virtual void DetachWindow();
    virtual void CreateController(preview::MovieHandle theMovie);
    virtual void Cut();
    virtual void Copy();
    virtual void Paste();
    virtual void Clear();
    virtual void Undo();
    virtual void SelectAll();
    virtual void UpdateTitle();
    // out must hold 255 bytes (the longest path and its terminator).
    virtual void GetFileName(char* out);
    // out must hold 128 bytes.
    virtual void GetTitle(char* out);
    // 1 when rewritten, 0 (text untouched) for a text longer than 254 characters.
    virtual int32_t ToCountedString(char* text);
    // text must hold its length byte's count plus one bytes.
    virtual void FromCountedString(char* text);
    virtual int32_t GetFrameWidth();
    virtual int32_t GetFrameHeight();
    virtual int32_t GetCaptionHeight();
    virtual void GetDesktopBounds(preview::Rect16* bounds);
    virtual preview::MovieHandle GetMovie();
    virtual int32_t GetTimeScale();
    virtual int32_t GetDuration();
    virtual int32_t ReadMovieInfo(const char* file, MovieInfo* info);
    virtual uint8_t GetTopLeft();
    virtual void SetPosition(int32_t newX, int32_t newY);
    virtual uint8_t GetKeepNaturalSize();
    virtual void EnableGrowBox();
    virtual void DisableGrowBox();
    virtual void SetSize(int32_t newWidth, int32_t newHeight);
    virtual void EnableEditing();
    virtual void DisableEditing();
    virtual void SetSizeWindowToController(uint8_t flag);
    virtual void SetBoundsRect(int16_t left, int16_t top, int16_t right, int16_t bottom);
    virtual void SetTopLeft();
    virtual void ClearTopLeft();
    virtual void SetKeepNaturalSize(uint8_t flag);
    virtual int32_t GetX();
    virtual int32_t GetY();
    virtual int32_t GetWidth();
    virtual int32_t GetHeight();

    // The controller's action filter; its reference is the player. On a size change it sizes the
    // player's window to the controller's bounds, only when sizeWindow is set (a host laid out
    // around a fixed preview keeps its size). Never handles an action itself.
    static bool ControllerFilter(preview::MovieServices& services, preview::ControllerHandle controller,
                                 int16_t action, void* parameter, intptr_t reference);

    char title[128] = {};
    int32_t isOpen = 0;
    preview::MovieHandle movie = preview::MovieHandle::None;
    preview::ControllerHandle controller = preview::ControllerHandle::None;
    preview::Rect16 movieBox{};
    char path[255] = {};
    uint8_t topLeft = 1;
    uint8_t growBox = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 200;
    int32_t height = 200;
    uint8_t editing = 0;
    uint8_t sizeWindow = 0;
    uint8_t keepNaturalSize = 0;
    preview::Rect16 boundsRect{};
    HWND parentWindow = nullptr;
    HWND window = nullptr;

private:
    // Steps shared by the opening operations: the path into `path`, counted, and a movie from
    // it. True with `movie` set; false with `movie` none.
    bool OpenMovie(const char* file, bool drawInWindow);

    preview::MovieServices& services_;
};
