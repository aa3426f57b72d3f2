#include "movie/playback/win/MovieController.h"

#include <algorithm>
#include <cmath>

#include "movie/playback/win/ControlBarPainter.h"
#include "movie/playback/win/WaveOutput.h"
#include "win/WindowDC.h"

namespace movie {
namespace {

int64_t CounterMicros() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return f.QuadPart > 0 ? f.QuadPart : 1;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart / frequency * 1000000 + now.QuadPart % frequency * 1000000 / frequency;
}

int64_t Clamp64(uint64_t value) { return static_cast<int64_t>(std::min<uint64_t>(value, INT64_MAX / 2)); }

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

MovieController::MovieController(std::shared_ptr<const Movie> movie, HWND host, const RECT& box, bool topLeft,
                                 std::unique_ptr<PictureSource> pictures, std::unique_ptr<SoundSource> sound)
    : movie_(std::move(movie)), host_(host), box_(box), topLeft_(topLeft), pictures_(std::move(pictures)),
      sound_(std::move(sound)), transport_(Clamp64(movie_->duration), movie_->timeScale), layout_(BarRect{}, 0) {
    if (box_.right < box_.left) box_.right = box_.left;
    if (box_.bottom < box_.top) box_.bottom = box_.top;
    Place();
}

MovieController::~MovieController() {
    StopTimer();
    if (dragging_ && GetCapture() == host_) {
        dragging_ = false;
        ReleaseCapture();
    }
    wave_.reset();
    // Nothing of the movie may stay on screen: the host paints the area again without it.
    if (host_ && IsWindow(host_)) InvalidateRect(host_, &bounds_, TRUE);
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
    bounds_ = RECT{box_.left, box_.top, box_.right, box_.bottom + ControlBarLayout::kHeight};

    const BarRect bar{box_.left, box_.bottom, box_.right, bounds_.bottom};
    const int timeWidth = host_ ? ControlBarTextWidth(TimeText(transport_.Duration(), transport_.Duration(),
                                                               transport_.TimeScale())) + 2
                                : 0;
    layout_ = ControlBarLayout(bar, timeWidth);

    canvas_.Release();
    if (host_ && canvas_.Create(bounds_.right - bounds_.left, bounds_.bottom - bounds_.top)) {
        // The canvas is drawn on in the host's client coordinates.
        SetViewportOrgEx(canvas_.Dc(), -bounds_.left, -bounds_.top, nullptr);
        RenderAll();
        InvalidateRect(host_, &bounds_, FALSE);
    }
}

void MovieController::SetBounds(const RECT& bounds) {
    const long oldWidth = bounds_.right - bounds_.left, oldHeight = bounds_.bottom - bounds_.top;
    if (host_ && IsWindow(host_)) InvalidateRect(host_, &bounds_, TRUE);
    box_ = RECT{bounds.left, bounds.top, std::max(bounds.left, bounds.right),
                std::max(bounds.top, bounds.bottom - ControlBarLayout::kHeight)};
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

void MovieController::RenderAll() {
    if (!canvas_.Valid()) return;
    RECT box = box_;
    FillRect(canvas_.Dc(), &box, GetSysColorBrush(COLOR_3DFACE));
    haveFrame_ = false;
    RenderFrame(true);
    RenderBar(true);
}

bool MovieController::RenderFrame(bool force) {
    if (!canvas_.Valid() || Empty(frame_)) return false;
    const int64_t time = transport_.ShownTime();
    FrameSpan span;
    const bool hasSpan = pictures_ && pictures_->SpanAt(time, span);
    if (hasSpan && haveFrame_ && !force && span.start == shownSpan_.start && span.end == shownSpan_.end)
        return false;
    GdiFlush();
    const int width = frame_.right - frame_.left, height = frame_.bottom - frame_.top;
    uint8_t* pixels = canvas_.Bits(frame_.left - bounds_.left, frame_.top - bounds_.top);
    if (hasSpan && pictures_->FrameAt(time, width, height, pixels, canvas_.Stride())) {
        if (haveFrame_ && Playing() && span.start > shownSpan_.end) {
            // Frames between the one shown and this one came and went between two ticks.
            FrameSpan between;
            for (int64_t t = shownSpan_.end; t < span.start && pictures_->SpanAt(t, between) && between.end > t;
                 t = between.end)
                ++stats_.framesSkipped;
        }
        haveFrame_ = true;
        shownSpan_ = span;
        ++stats_.framesShown;
        return true;
    }
    // A frame that cannot be decoded keeps the last good one (and is not tried again); with
    // none yet, an even fill.
    if (haveFrame_) {
        if (hasSpan) shownSpan_ = span;
        return false;
    }
    if (!force) return false;
    RECT frame = frame_;
    FillRect(canvas_.Dc(), &frame, GetSysColorBrush(COLOR_3DSHADOW));
    return true;
}

bool MovieController::RenderBar(bool force) {
    if (!canvas_.Valid()) return false;
    ControlBarState state;
    state.playing = Playing();
    state.position = transport_.Position();
    state.duration = transport_.Duration();
    state.timeText = TimeText(state.position, state.duration, transport_.TimeScale());
    const BarRect thumb = layout_.Thumb(state.position, state.duration);
    if (!force && thumb == shownThumb_ && state.timeText == shownText_ && state.playing == shownPlaying_)
        return false;
    PaintControlBar(canvas_.Dc(), layout_, state);
    shownThumb_ = thumb;
    shownText_ = state.timeText;
    shownPlaying_ = state.playing;
    return true;
}

void MovieController::Present(const RECT& part) {
    if (!canvas_.Valid() || !host_ || !IsWindow(host_)) return;
    RECT area{};
    if (!IntersectRect(&area, &part, &bounds_)) return;
    GdiFlush();
    if (const win::WindowDC dc(host_); dc)
        BitBlt(dc.Get(), area.left, area.top, area.right - area.left, area.bottom - area.top, canvas_.Dc(), area.left,
               area.top, SRCCOPY);
}

void MovieController::PresentChanges(bool frameChanged, bool barChanged) {
    if (frameChanged) Present(frame_);
    if (barChanged) Present(ToRect(layout_.Bar()));
}

void MovieController::ValidateChildrenUnder() {
    for (HWND child = GetWindow(host_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        RECT rect{}, under{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, host_, reinterpret_cast<POINT*>(&rect), 2);
        if (!IntersectRect(&under, &rect, &bounds_)) continue;
        OffsetRect(&under, -rect.left, -rect.top);
        ValidateRect(child, &under);
    }
}

void MovieController::StartTimer() {
    if (!host_ || timerSet_) return;
    timerSet_ = SetTimer(host_, TimerId(), kTickMillis, nullptr) != 0;
}

void MovieController::StopTimer() {
    if (!timerSet_) return;
    KillTimer(host_, TimerId());
    timerSet_ = false;
}

// The device is open only while the movie plays: a movie that is only looked at, paused or at
// its end holds none (and a device that keeps a stopped stream running gets nothing).
void MovieController::StartSound() {
    soundRunning_ = false;
    if (!sound_ || !host_ || noDevice_) return;
    if (wave_) {
        wave_->Stop();
    } else {
        const SoundFormat format = sound_->Format();
        wave_ = WaveOutput::Open(format.rate, std::min(format.channels, 2));
        // No device (or none for this format): the movie plays silently, and does not ask again.
        noDevice_ = wave_ == nullptr;
        if (noDevice_) return;
    }
    if (!sound_->Start(transport_.Position(), SoundFormat{wave_->Rate(), wave_->Channels()})) return;
    soundRunning_ = true;
    wave_->Feed([this](int16_t* samples, size_t frames) { return sound_->Read(samples, frames); });
}

void MovieController::StopSound() {
    wave_.reset();
    soundRunning_ = false;
}

int64_t MovieController::DeviceMicros() const {
    if (!soundRunning_ || !wave_ || wave_->Finished()) return -1;
    const int64_t frames = wave_->PlayedFrames();
    return frames < 0 ? -1 : frames * 1000000 / wave_->Rate();
}

void MovieController::Play() {
    if (Playing() || !transport_.Play()) return;
    StartSound();
    clock_.Start(CounterMicros());
    StartTimer();
    PresentChanges(RenderFrame(false), RenderBar(false));
}

void MovieController::Pause() {
    if (!Playing()) return;
    transport_.Advance(clock_.Elapsed(CounterMicros(), DeviceMicros()));
    transport_.Pause();
    StopTimer();
    StopSound();
    PresentChanges(RenderFrame(false), RenderBar(false));
}

void MovieController::SeekTo(int64_t time) {
    transport_.Seek(time);
    if (Playing()) {
        StartSound();
        clock_.Start(CounterMicros());
    }
    PresentChanges(RenderFrame(false), RenderBar(false));
}

// One look at the clock: the frame and bar for its time, the sound queue topped up, and at the
// end a stop on the last frame. Frames whose time has passed are skipped, never shown late.
void MovieController::Tick() {
    ++stats_.ticks;
    if (!Playing()) {
        StopTimer();
        return;
    }
    if (soundRunning_)
        wave_->Feed([this](int16_t* samples, size_t frames) { return sound_->Read(samples, frames); });
    if (transport_.Advance(clock_.Elapsed(CounterMicros(), DeviceMicros()))) {
        StopTimer();
        StopSound();
    }
    PresentChanges(RenderFrame(false), RenderBar(false));
}

void MovieController::Step(int direction) {
    Pause();
    const int64_t position = transport_.Position();
    FrameSpan span;
    if (pictures_ && pictures_->SpanAt(transport_.ShownTime(), span)) {
        if (direction > 0) {
            SeekTo(span.end);
        } else {
            FrameSpan previous;
            SeekTo(span.start > 0 && pictures_->SpanAt(span.start - 1, previous) ? previous.start : 0);
        }
        return;
    }
    // Without pictures a step is a second.
    SeekTo(position + direction * static_cast<int64_t>(transport_.TimeScale()));
}

void MovieController::EndDrag(bool resume) {
    if (!dragging_) return;
    dragging_ = false;
    if (GetCapture() == host_) ReleaseCapture();
    if (resume && resumeAfterDrag_ && !transport_.AtEnd()) Play();
    resumeAfterDrag_ = false;
}

// What the controller does with its host's messages; each handler answers whether it used one.
BEGIN_MESSAGE_TABLE(MovieController, EventMap, MovieController, bool)
    ON_WM_TIMER()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_LBUTTONUP()
    ON_WM_RBUTTONDOWN()
    ON_WM_RBUTTONUP()
    ON_WM_MOUSEMOVE()
    ON_WM_CAPTURECHANGED()
    ON_WM_CANCELMODE()
    ON_WM_KEYDOWN()
    ON_WM_KEYUP()
    ON_WM_CHAR()
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
END_MESSAGE_TABLE()

bool MovieController::HandleEvent(const MSG& event) {
    if (host_ == nullptr || event.hwnd != host_) return false;
    const auto* entry = win::FindEntry(EventMap(), event.message, event.wParam, event.lParam);
    return entry && entry->handle(*this, event.wParam, event.lParam);
}

bool MovieController::OnTimer(UINT_PTR id) {
    if (id != TimerId()) return false;
    Tick();
    return true;
}

// A press on the button plays or pauses; on the slider it seeks there and drags the thumb.
bool MovieController::OnLButtonDown(UINT, POINT at) {
    if (!PtInRect(&bounds_, at)) return false;
    switch (layout_.HitTest(at.x, at.y)) {
    case ControlBarLayout::Part::Button:
        Playing() ? Pause() : Play();
        break;
    case ControlBarLayout::Part::Slider:
        resumeAfterDrag_ = Playing();
        Pause();
        dragging_ = true;
        SetCapture(host_);
        SeekTo(layout_.TimeAt(at.x, transport_.Duration()));
        break;
    case ControlBarLayout::Part::None:
        break;
    }
    return true;
}

bool MovieController::OnLButtonDblClk(UINT keys, POINT at) { return OnLButtonDown(keys, at); }

bool MovieController::OnLButtonUp(UINT, POINT at) {
    if (!dragging_) return PtInRect(&bounds_, at) != FALSE;
    SeekTo(layout_.TimeAt(at.x, transport_.Duration()));
    EndDrag(true);
    return true;
}

// The other button does nothing, but a click on the movie is the controller's all the same.
bool MovieController::OnRButtonDown(UINT, POINT at) { return PtInRect(&bounds_, at) != FALSE; }

bool MovieController::OnRButtonUp(UINT keys, POINT at) { return OnRButtonDown(keys, at); }

bool MovieController::OnMouseMove(UINT, POINT at) {
    if (!dragging_) return false;
    SeekTo(layout_.TimeAt(at.x, transport_.Duration()));
    return true;
}

bool MovieController::OnCaptureChanged(HWND gaining) {
    if (dragging_ && gaining != host_) EndDrag(true);
    return false;
}

bool MovieController::OnCancelMode() {
    EndDrag(false);
    return false;
}

bool MovieController::HasKeys() const { return keyboardControl_ && GetFocus() == host_; }

// Space and Enter play or pause; the arrows step a frame (pausing first); Home and End go to
// the movie's start and end. Every key is the controller's while it has the keys.
bool MovieController::OnKeyDown(UINT key, UINT, UINT) {
    if (!HasKeys()) return false;
    switch (key) {
    case VK_SPACE:
    case VK_RETURN:
        Playing() ? Pause() : Play();
        break;
    case VK_RIGHT:
        Step(+1);
        break;
    case VK_LEFT:
        Step(-1);
        break;
    case VK_HOME:
        Pause();
        SeekTo(0);
        break;
    case VK_END:
        Pause();
        SeekTo(transport_.Duration());
        break;
    default:
        break;
    }
    return true;
}

bool MovieController::OnKeyUp(UINT, UINT, UINT) { return HasKeys(); }

bool MovieController::OnChar(UINT, UINT, UINT) { return HasKeys(); }

// The host has painted (its erase and pictures); the controller's area is drawn over it.
bool MovieController::OnPaint() {
    updatePending_ = false;
    Present(bounds_);
    ValidateChildrenUnder();
    return true;
}

// Erased before the host's own handling: show the current picture in the erased region and keep
// the host's erase out of it, so nothing flickers or goes stale.
bool MovieController::OnEraseBkgnd(HDC dc) {
    if (dc && canvas_.Valid()) {
        GdiFlush();
        BitBlt(dc, bounds_.left, bounds_.top, bounds_.right - bounds_.left, bounds_.bottom - bounds_.top, canvas_.Dc(),
               bounds_.left, bounds_.top, SRCCOPY);
        ExcludeClipRect(dc, bounds_.left, bounds_.top, bounds_.right, bounds_.bottom);
    }
    return true;
}

}  // namespace movie
