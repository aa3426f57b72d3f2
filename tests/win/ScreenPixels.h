// What a window shows on screen: its client area copied from the display into a 32-bit DIB, and
// helpers to name the stand-in decoders' frames by their colours.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/support/GeneratedMedia.h"

namespace testui {

class ScreenPixels {
public:
    explicit ScreenPixels(HWND window) {
        RECT client{};
        GetClientRect(window, &client);
        width_ = client.right;
        height_ = client.bottom;
        pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
        HDC screen = GetDC(window);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
        GdiFlush();
        if (bits) std::memcpy(pixels_.data(), bits, pixels_.size() * 4);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(window, screen);
    }
    // The colour at a client point as RGB(), or CLR_INVALID outside.
    COLORREF At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
        const uint32_t p = pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // The same pixels in a rectangle.
    bool SameAs(const ScreenPixels& other, const RECT& area) const {
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (At(x, y) != other.At(x, y)) return false;
        return true;
    }

private:
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> pixels_;
};

inline COLORREF ToColorRef(const testsupport::Rgb& c) { return RGB(c.r, c.g, c.b); }

// The stand-in frame a rectangle shows (top half and bottom half checked at their middles and at
// the first and last rows), -1 for none of the first `count`.
inline long GeneratedFrameShown(const ScreenPixels& screen, const RECT& frame, long count = 256) {
    const int cx = (frame.left + frame.right) / 2;
    const int midTop = frame.top + (frame.bottom - frame.top) / 4;
    const int midBottom = frame.bottom - (frame.bottom - frame.top) / 4;
    for (long n = 0; n < count; ++n) {
        const COLORREF top = ToColorRef(testsupport::GeneratedPictures::Top(static_cast<size_t>(n)));
        const COLORREF bottom = ToColorRef(testsupport::GeneratedPictures::Bottom(static_cast<size_t>(n)));
        if (screen.At(cx, midTop) == top && screen.At(frame.left, frame.top) == top &&
            screen.At(frame.right - 1, frame.top) == top && screen.At(cx, midBottom) == bottom &&
            screen.At(frame.left, frame.bottom - 1) == bottom && screen.At(frame.right - 1, frame.bottom - 1) == bottom)
            return n;
    }
    return -1;
}

}  // namespace testui
