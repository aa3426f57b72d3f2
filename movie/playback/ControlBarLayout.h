// The control bar's geometry: the play/pause button at its left end, the position slider, the
// time text at its right end; where the thumb stands for a time and which time a point means.
// Portable: rectangles are plain pixel coordinates, right and bottom exclusive.
#pragma once

#include <cstdint>
#include <string>

namespace movie {

struct BarRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const BarRect&, const BarRect&) = default;
};

class ControlBarLayout {
public:
    // The bar's height under the movie rectangle.
    static constexpr int kHeight = 30;
    static constexpr int kThumbWidth = 9;
    static constexpr int kThumbHeight = 16;
    static constexpr int kGap = 6;

    enum class Part { None, Button, Slider };

    // bar: the whole bar; timeWidth: the pixels the time text needs.
    ControlBarLayout(const BarRect& bar, int timeWidth);

    const BarRect& Bar() const { return bar_; }
    const BarRect& Button() const { return button_; }
    // The slider's area (clicks anywhere in it seek); the groove runs through its middle.
    const BarRect& Slider() const { return slider_; }
    BarRect Groove() const;
    const BarRect& Time() const { return time_; }
    BarRect Thumb(int64_t time, int64_t duration) const;
    // The time the thumb stands for when its centre is at x; clamped to the movie.
    int64_t TimeAt(int x, int64_t duration) const;
    Part HitTest(int x, int y) const;

private:
    int ThumbTravel() const;  // pixels the thumb's left edge can move
    BarRect bar_, button_, slider_, time_;
};

// "m:ss / m:ss": position and duration in whole seconds (truncated); minutes are not capped.
std::string TimeText(int64_t position, int64_t duration, uint32_t timeScale);

}  // namespace movie
