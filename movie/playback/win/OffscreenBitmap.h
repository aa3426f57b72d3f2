// A 32-bit top-down DIB section selected into a memory DC: drawn on with GDI, written to
// directly through Bits(), and copied to the screen in one blit.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace movie {

class OffscreenBitmap {
public:
    OffscreenBitmap() = default;
    OffscreenBitmap(const OffscreenBitmap&) = delete;
    OffscreenBitmap& operator=(const OffscreenBitmap&) = delete;
    ~OffscreenBitmap() { Release(); }

    // (Re)makes it width x height; false (and empty) when the system refuses.
    bool Create(int width, int height);
    void Release();
    bool Valid() const { return dc_ != nullptr; }

    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    size_t Stride() const { return static_cast<size_t>(width_) * 4; }
    // The pixels of row y, column x. Call GdiFlush() first when GDI drew since the last access.
    uint8_t* Bits(int x, int y) const { return bits_ + static_cast<size_t>(y) * Stride() + static_cast<size_t>(x) * 4; }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint8_t* bits_ = nullptr;
    int width_ = 0, height_ = 0;
};

}  // namespace movie
