// Draws the control bar with GDI in the system's colours: a raised panel, the play/pause button,
// the slider's groove (the played part highlighted) with its thumb, and the time text.
#pragma once

#include <windows.h>

#include <string>

#include "movie/playback/ControlBarLayout.h"

namespace movie {

struct ControlBarState {
    bool playing = false;
    int64_t position = 0;
    int64_t duration = 0;
    std::string timeText;
};

// Where the layout's rectangles meet GDI's.
inline RECT ToRect(const BarRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// The font of the bar's text: the system's default GUI font.
HFONT ControlBarFont();
// Pixels `text` needs in the bar's font.
int ControlBarTextWidth(const std::string& text);
// Paints the whole bar of `layout` on `dc` (in the layout's coordinates).
void PaintControlBar(HDC dc, const ControlBarLayout& layout, const ControlBarState& state);

}  // namespace movie
