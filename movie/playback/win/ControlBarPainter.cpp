#include "movie/playback/win/ControlBarPainter.h"

#include "win/WindowDC.h"

namespace movie {
namespace {

void Fill(HDC dc, const RECT& r, int colour) { FillRect(dc, &r, GetSysColorBrush(colour)); }

// The play triangle or the two pause bars, centred on the button, in the button text colour.
void PaintGlyph(HDC dc, const RECT& button, bool playing) {
    const int cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2;
    const COLORREF colour = GetSysColor(COLOR_BTNTEXT);
    if (playing) {
        Fill(dc, RECT{cx - 5, cy - 6, cx - 1, cy + 6}, COLOR_BTNTEXT);
        Fill(dc, RECT{cx + 2, cy - 6, cx + 6, cy + 6}, COLOR_BTNTEXT);
        return;
    }
    const POINT triangle[3] = {{cx - 4, cy - 7}, {cx + 5, cy}, {cx - 4, cy + 7}};
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    SetDCPenColor(dc, colour);
    SetDCBrushColor(dc, colour);
    Polygon(dc, triangle, 3);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
}

}  // namespace

HFONT ControlBarFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

int ControlBarTextWidth(const std::string& text) {
    const win::WindowDC screen(nullptr);
    if (!screen) return 0;
    HGDIOBJ old = SelectObject(screen.Get(), ControlBarFont());
    SIZE size{};
    GetTextExtentPoint32A(screen.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(screen.Get(), old);
    return size.cx;
}

void PaintControlBar(HDC dc, const ControlBarLayout& layout, const ControlBarState& state) {
    RECT bar = ToRect(layout.Bar());
    Fill(dc, bar, COLOR_3DFACE);
    DrawEdge(dc, &bar, BDR_RAISEDINNER, BF_RECT);

    RECT button = ToRect(layout.Button());
    InflateRect(&button, -2, -2);
    DrawFrameControl(dc, &button, DFC_BUTTON, DFCS_BUTTONPUSH);
    PaintGlyph(dc, button, state.playing);

    RECT groove = ToRect(layout.Groove());
    if (groove.right > groove.left) {
        DrawEdge(dc, &groove, EDGE_SUNKEN, BF_RECT | BF_MIDDLE);
        const BarRect thumbArea = layout.Thumb(state.position, state.duration);
        RECT played{groove.left + 2, groove.top + 2, (thumbArea.left + thumbArea.right) / 2, groove.bottom - 2};
        if (played.right > played.left) Fill(dc, played, COLOR_HIGHLIGHT);
        RECT thumb = ToRect(thumbArea);
        DrawFrameControl(dc, &thumb, DFC_BUTTON, DFCS_BUTTONPUSH);
    }

    RECT time = ToRect(layout.Time());
    HGDIOBJ oldFont = SelectObject(dc, ControlBarFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextA(dc, state.timeText.c_str(), static_cast<int>(state.timeText.size()), &time,
              DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    SelectObject(dc, oldFont);
}

}  // namespace movie
