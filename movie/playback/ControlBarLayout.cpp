#include "movie/playback/ControlBarLayout.h"

#include <algorithm>
#include <cstdio>

namespace movie {

ControlBarLayout::ControlBarLayout(const BarRect& bar, int timeWidth) : bar_(bar) {
    const int height = std::max(bar.Height(), 0);
    button_ = BarRect{bar.left, bar.top, std::min(bar.left + height, bar.right), bar.bottom};
    const int timeLeft = std::max(button_.right, bar.right - kGap - std::max(timeWidth, 0));
    time_ = BarRect{timeLeft, bar.top, std::max(timeLeft, bar.right - kGap), bar.bottom};
    const int sliderLeft = std::min(button_.right + kGap, time_.left);
    slider_ = BarRect{sliderLeft, bar.top, std::max(sliderLeft, time_.left - kGap), bar.bottom};
}

BarRect ControlBarLayout::Groove() const {
    const int middle = (slider_.top + slider_.bottom) / 2;
    return BarRect{slider_.left, middle - 4, slider_.right, middle + 4};
}

int ControlBarLayout::ThumbTravel() const { return std::max(slider_.Width() - kThumbWidth, 0); }

BarRect ControlBarLayout::Thumb(int64_t time, int64_t duration) const {
    int offset = 0;
    if (duration > 0) {
        const int64_t t = std::clamp<int64_t>(time, 0, duration);
        // Rounded to the nearest pixel; a double keeps long movies with large scales exact enough.
        offset = static_cast<int>(double(t) * ThumbTravel() / double(duration) + 0.5);
    }
    const int left = slider_.left + offset;
    const int middle = (slider_.top + slider_.bottom) / 2;
    return BarRect{left, middle - kThumbHeight / 2, left + kThumbWidth, middle + kThumbHeight / 2};
}

int64_t ControlBarLayout::TimeAt(int x, int64_t duration) const {
    const int travel = ThumbTravel();
    if (duration <= 0 || travel == 0) return 0;
    const int offset = std::clamp(x - slider_.left - kThumbWidth / 2, 0, travel);
    return static_cast<int64_t>(double(offset) * double(duration) / travel + 0.5);
}

ControlBarLayout::Part ControlBarLayout::HitTest(int x, int y) const {
    if (button_.Contains(x, y)) return Part::Button;
    if (slider_.Contains(x, y)) return Part::Slider;
    return Part::None;
}

std::string TimeText(int64_t position, int64_t duration, uint32_t timeScale) {
    const int64_t scale = timeScale ? timeScale : 1;
    auto text = [&](int64_t t) {
        const int64_t seconds = std::max<int64_t>(t, 0) / scale;
        char buffer[32];
        std::snprintf(buffer, sizeof(buffer), "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
        return std::string(buffer);
    };
    return text(position) + " / " + text(duration);
}

}  // namespace movie
