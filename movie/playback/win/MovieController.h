// The movie controller: a movie shown in a host window, its frames in the movie rectangle and the
// control bar under it, played with sound. It lives only on the host's thread and is driven by
// the window messages the host forwards to HandleEvent, its own timer's WM_TIMER included: while
// playing it sets a timer on the host, and the host forwards that like every other message.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "movie/container/MovieReader.h"
#include "movie/decode/MediaSource.h"
#include "movie/playback/ControlBarLayout.h"
#include "movie/playback/PlaybackClock.h"
#include "movie/playback/Transport.h"
#include "movie/playback/win/OffscreenBitmap.h"
#include "win/MessageMap.h"

namespace movie {

class WaveOutput;

class MovieController {
public:
    // How often a playing controller looks at its clock, in milliseconds.
    static constexpr UINT kTickMillis = 10;

    // Called before the controller handles an action (and with kSizeChanged after its bounds
    // changed size); true means the action was handled and the controller must not handle it.
    using Filter = std::function<bool(int16_t action, void* parameter)>;
    static constexpr int16_t kSizeChanged = 26;

    struct Time {
        int64_t value = 0;
        int32_t scale = 0;
    };

    // What playback has done since the controller was made.
    struct Statistics {
        uint32_t framesShown = 0;    // new frames put on screen
        uint32_t framesSkipped = 0;  // frames whose time passed before a tick could show them
        uint32_t ticks = 0;
    };

    // movie: what is shown (never null; an empty movie has no tracks); host: the window the
    // controller lives in, may be null (then it uses no event and draws nothing); box: the movie
    // rectangle in the host's client coordinates; topLeft: the movie sits at the box's top left,
    // else centred. pictures, sound: the movie's decoded media; null for none (a frame without
    // pictures shows an even fill; without sound the movie plays silently).
    MovieController(std::shared_ptr<const Movie> movie, HWND host, const RECT& box, bool topLeft,
                    std::unique_ptr<PictureSource> pictures = nullptr, std::unique_ptr<SoundSource> sound = nullptr);
    MovieController(const MovieController&) = delete;
    MovieController& operator=(const MovieController&) = delete;
    // Stops the timer and the sound and has the host repaint the controller's area.
    ~MovieController();

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

    // One message of a window, as the host received it (with its time and the cursor in screen
    // coordinates). Returns true when the controller used it. Never sends or posts anything to
    // the host.
    bool HandleEvent(const MSG& event);

    // Playback, as the bar and the keys drive it; times in units of the movie's time scale.
    bool Playing() const { return transport_.Playing(); }
    int64_t CurrentTime() const { return transport_.Position(); }
    // From the end, play starts again at 0.
    void Play();
    void Pause();
    void SeekTo(int64_t time);
    // The id of the timer it sets on the host while playing.
    UINT_PTR TimerId() const { return reinterpret_cast<UINT_PTR>(this); }
    bool HasPictures() const { return pictures_ != nullptr; }
    // True while a sound device is open for the movie: only while it plays with sound.
    bool SoundOpen() const { return wave_ != nullptr; }
    const Statistics& Stats() const { return stats_; }
    const ControlBarLayout& BarLayout() const { return layout_; }  // in the host's client coordinates

private:
    void Place();
    // Draws the frame shown at the transport's time into the canvas; true when it changed.
    bool RenderFrame(bool force);
    // Draws the bar into the canvas; true when it changed.
    bool RenderBar(bool force);
    void RenderAll();
    // Copies a part of the canvas (host client coordinates) to the host window.
    void Present(const RECT& part);
    void PresentChanges(bool frameChanged, bool barChanged);
    // The host's child windows under the controller would paint over it after the host's paint.
    void ValidateChildrenUnder();
    void Tick();
    void StartTimer();
    void StopTimer();
    void StartSound();
    void StopSound();
    int64_t DeviceMicros() const;
    void Step(int direction);
    void EndDrag(bool resume);
    // Keys are the controller's: keyboard control is on and the host has the focus.
    bool HasKeys() const;

    static const win::MessageEntry<MovieController, bool>* EventMap();
    bool OnTimer(UINT_PTR id);
    bool OnLButtonDown(UINT keys, POINT at);
    bool OnLButtonDblClk(UINT keys, POINT at);
    bool OnLButtonUp(UINT keys, POINT at);
    bool OnRButtonDown(UINT keys, POINT at);
    bool OnRButtonUp(UINT keys, POINT at);
    bool OnMouseMove(UINT keys, POINT at);
    bool OnCaptureChanged(HWND gaining);
    bool OnCancelMode();
    bool OnKeyDown(UINT key, UINT repeat, UINT flags);
    bool OnKeyUp(UINT key, UINT repeat, UINT flags);
    bool OnChar(UINT character, UINT repeat, UINT flags);
    bool OnPaint();
    bool OnEraseBkgnd(HDC dc);

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

    std::unique_ptr<PictureSource> pictures_;
    std::unique_ptr<SoundSource> sound_;
    std::unique_ptr<WaveOutput> wave_;
    bool noDevice_ = false;      // the device refused once; the movie plays silently
    bool soundRunning_ = false;  // samples from the source reach the device
    Transport transport_;
    PlaybackClock clock_;
    bool timerSet_ = false;

    OffscreenBitmap canvas_;    // the whole bounds: frame, fill and bar
    ControlBarLayout layout_;   // host client coordinates
    bool haveFrame_ = false;    // the canvas holds a decoded frame
    FrameSpan shownSpan_{};
    BarRect shownThumb_{};
    std::string shownText_;
    bool shownPlaying_ = false;
    bool dragging_ = false;
    bool resumeAfterDrag_ = false;
    Statistics stats_{};
};

}  // namespace movie
