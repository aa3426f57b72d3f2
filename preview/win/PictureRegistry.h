// The process-wide registry of pictures drawn on windows: the program's own artwork, decoded from
// its "BINARY" resources, each registered for one window at a position, newest first.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "win/ComRef.h"

using PictureRef = win::ComRef<IPicture>;

struct PictureEntry {
    PictureRef picture;
    int32_t width, height;
    int32_t x, y;
    HWND window;
    int32_t sourceWidth, sourceHeight;  // HIMETRIC
    PictureEntry* next;
    PictureEntry* previous;
    uint8_t visible;
};

// The entries in drawing order through head and next, newest first; `owned` keeps them alive.
struct PictureRegistry {
    PictureEntry* head = nullptr;
    int count = 0;
    std::vector<std::unique_ptr<PictureEntry>> owned;
};

PictureRegistry& Pictures();

struct LoadedPicture {
    PictureRef picture;
    int32_t width = 0, height = 0;              // pixels
    int32_t sourceWidth = 0, sourceHeight = 0;  // HIMETRIC
};

// Decodes picture bytes; the picture is null when they do not decode.
LoadedPicture LoadPicture(HWND window, const void* bytes, DWORD length);

// Loads picture resource `id` and registers it for the window at (x, y), visible, then draws the
// window's pictures. Null when the resource is missing or does not decode (nothing registered).
PictureEntry* RegisterPicture(HWND window, int id, int x, int y);
// Draws every visible picture of the window, upright, at its own pixel size.
void DrawPictures(HWND window, HDC dc);
// Releases and removes every picture of the window.
void ReleasePictures(HWND window);
