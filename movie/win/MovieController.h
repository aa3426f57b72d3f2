// The movie controller: a movie's place in a host window (the movie rectangle and the control bar
// under it) and the state the host sets through actions. It lives only on the host's thread and
// is driven by the window messages the host forwards to HandleEvent.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "movie/MovieReader.h"

namespace movie {

class MovieController {
public:
    // Height of the control bar under the movie rectangle, in pixels.
    static constexpr int kBarHeight = 30;

    // Called before the controller handles an action (and with kSizeChanged after its bounds
    // changed size); true means the action was handled and the controller must not handle it.
    using Filter = std::function<bool(int16_t action, void* parameter)>;
    static constexpr int16_t kSizeChanged = 26;

    struct Event {
        HWND window = nullptr;
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        DWORD time = 0;
        POINT point = {0, 0};
    };

    struct Time {
        int64_t value = 0;
        int32_t scale = 0;
    };

    // movie: what is shown (never null; an empty movie has no tracks); host: the window the
    // controller lives in, may be null (then it uses no event); box: the movie rectangle in the
    // host's client coordinates; topLeft: the movie sits at the box's top left, else centred.
    MovieController(std::shared_ptr<const Movie> movie, HWND host, const RECT& box, bool topLeft);

    const Movie& GetMovie() const { return *movie_; }
    HWND Host() const { return host_; }
    // The rectangle the movie was given, where its frames go, and movie plus control bar.
    const RECT& Box() const { return box_; }
    const RECT& FrameRect() const { return frame_; }
    const RECT& Bounds() const { return bounds_; }
    bool TopLeft() const { return topLeft_; }
    // Moves or resizes movie and bar; the filter hears kSizeChanged when the size changed.
    void SetBounds(const RECT& bounds);

    // Runs the filter for an action; true when the filter handled it.
    bool Filtered(int16_t action, void* parameter);
    void SetFilter(Filter filter) { filter_ = std::move(filter); }
    bool HasFilter() const { return static_cast<bool>(filter_); }

    int32_t Flags() const { return flags_; }
    void SetFlags(int32_t flags) { flags_ = flags; }
    bool KeyboardControl() const { return keyboardControl_; }
    void SetKeyboardControl(bool on) { keyboardControl_ = on; }
    bool EditingEnabled() const { return editing_; }
    void EnableEditing(bool on) { editing_ = on; }
    bool HasGrowBoxLimits() const { return hasGrowBoxLimits_; }
    const RECT& GrowBoxLimits() const { return growBoxLimits_; }
    void SetGrowBoxLimits(const RECT& limits);
    const Time& SelectionStart() const { return selectionStart_; }
    const Time& SelectionDuration() const { return selectionDuration_; }
    void SetSelectionStart(const Time& t) { selectionStart_ = t; }
    void SetSelectionDuration(const Time& t) { selectionDuration_ = t; }

    // The host asked for the movie to be drawn again; served at the host's next paint.
    void RequestUpdate();
    bool UpdatePending() const { return updatePending_; }

    // One message of a window, as the host received it (point: cursor in screen coordinates).
    // Returns true when the controller used it. Never sends or posts anything to the host.
    bool HandleEvent(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD time, POINT point);
    const Event& LastEvent() const { return lastEvent_; }
    uint32_t EventCount() const { return eventCount_; }

private:
    void Place();

    std::shared_ptr<const Movie> movie_;
    HWND host_;
    RECT box_;
    RECT frame_{};
    RECT bounds_{};
    bool topLeft_;
    Filter filter_;
    int32_t flags_ = 0;
    bool keyboardControl_ = false;
    bool editing_ = false;
    bool hasGrowBoxLimits_ = false;
    RECT growBoxLimits_{};
    Time selectionStart_{};
    Time selectionDuration_{};
    bool updatePending_ = false;
    Event lastEvent_{};
    uint32_t eventCount_ = 0;
};

}  // namespace movie
