#include "movie/win/MovieController.h"

#include <algorithm>
#include <cmath>

namespace movie {

MovieController::MovieController(std::shared_ptr<const Movie> movie, HWND host, const RECT& box, bool topLeft)
    : movie_(std::move(movie)), host_(host), box_(box), topLeft_(topLeft) {
    if (box_.right < box_.left) box_.right = box_.left;
    if (box_.bottom < box_.top) box_.bottom = box_.top;
    Place();
}

// The frame keeps the movie's proportions and is only ever scaled down to fit the box; a movie
// without a picture gets an empty frame at the box's top left. The bar runs under the whole box.
void MovieController::Place() {
    const long boxWidth = box_.right - box_.left;
    const long boxHeight = box_.bottom - box_.top;
    long width = std::max<int32_t>(movie_->naturalWidth, 0);
    long height = std::max<int32_t>(movie_->naturalHeight, 0);
    if (width == 0 || height == 0) {
        width = height = 0;
    } else if (width > boxWidth || height > boxHeight) {
        const double scale = std::min(double(boxWidth) / width, double(boxHeight) / height);
        width = std::lround(width * scale);
        height = std::lround(height * scale);
    }
    long left = box_.left, top = box_.top;
    if (!topLeft_ && width > 0) {
        left += (boxWidth - width) / 2;
        top += (boxHeight - height) / 2;
    }
    frame_ = RECT{left, top, left + width, top + height};
    bounds_ = RECT{box_.left, box_.top, box_.right, box_.bottom + kBarHeight};
}

void MovieController::SetBounds(const RECT& bounds) {
    const long oldWidth = bounds_.right - bounds_.left, oldHeight = bounds_.bottom - bounds_.top;
    box_ = RECT{bounds.left, bounds.top, std::max(bounds.left, bounds.right),
                std::max(bounds.top, bounds.bottom - kBarHeight)};
    Place();
    if (bounds_.right - bounds_.left != oldWidth || bounds_.bottom - bounds_.top != oldHeight)
        Filtered(kSizeChanged, nullptr);
}

bool MovieController::Filtered(int16_t action, void* parameter) {
    if (!filter_) return false;
    // A copy: the filter may replace itself.
    Filter filter = filter_;
    return filter(action, parameter);
}

void MovieController::SetGrowBoxLimits(const RECT& limits) {
    growBoxLimits_ = limits;
    hasGrowBoxLimits_ = true;
}

void MovieController::RequestUpdate() {
    updatePending_ = true;
    if (host_ && IsWindow(host_)) InvalidateRect(host_, &bounds_, FALSE);
}

bool MovieController::HandleEvent(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD time,
                                  POINT point) {
    lastEvent_ = Event{window, message, wParam, lParam, time, point};
    ++eventCount_;
    if (host_ == nullptr || window != host_) return false;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: {
        // Client coordinates, signed: a captured mouse can be left of or above the window.
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        return PtInRect(&bounds_, at) != FALSE;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        return keyboardControl_ && GetFocus() == host_;
    case WM_PAINT:
        updatePending_ = false;
        return true;
    case WM_ERASEBKGND:
        return true;
    default:
        return false;
    }
}

}  // namespace movie
