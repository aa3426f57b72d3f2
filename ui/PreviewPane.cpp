#include "ui/PreviewPane.h"

#include <algorithm>

#include "movie/playback/ControlBarLayout.h"
#include "preview/win/MovieServices.h"
#include "preview/win/PictureRegistry.h"
#include "resources/resource.h"

namespace {

// With the standard dialog font the black frame lands at kStandardFrame and the movie rectangle
// and the placeholder sit at these fixed pixels inside it.
constexpr RECT kStandardFrame{468, 117, 828, 400};
constexpr RECT kMovieRect{470, 119, 470 + 358, 119 + 266};
constexpr POINT kPlaceholderAt{488, 140};

// A standard-font distance along the frame's width or height, scaled to the frame in use.
int Scale(int distance, int frameSize, int standardSize) { return MulDiv(distance, frameSize, standardSize); }

RECT FrameRect(HWND window) {
    RECT frame{};
    HWND control = GetDlgItem(window, IDC_PREVIEW_FRAME);
    if (!control || !GetWindowRect(control, &frame)) return RECT{};
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&frame), 2);
    return frame;
}

}  // namespace

PreviewPane::PreviewPane() = default;
PreviewPane::~PreviewPane() = default;

void PreviewPane::CreatePlayer() { player_ = std::make_unique<MoviePlayer>(); }

void PreviewPane::DestroyPlayer() {
    if (!player_) return;
    player_->DetachWindow();
    player_.reset();
}

void PreviewPane::AttachWindow(HWND window, CREATESTRUCTA* create) {
    window_ = window;
    if (player_) player_->AttachWindow(window, create);
}

// Other dialog fonts lay the frame out elsewhere: the movie and the placeholder keep their
// offsets from the frame's top left, scaled by the frame's size against the standard one.
void PreviewPane::Place(HWND window) {
    window_ = window;
    frame_ = FrameRect(window);
    const int width = frame_.right - frame_.left, height = frame_.bottom - frame_.top;
    const int standardWidth = kStandardFrame.right - kStandardFrame.left;
    const int standardHeight = kStandardFrame.bottom - kStandardFrame.top;
    if (EqualRect(&frame_, &kStandardFrame) || width <= 0 || height <= 0) {
        movieRect_ = kMovieRect;
        placeholderAt_ = kPlaceholderAt;
    } else {
        auto x = [&](int standardX) { return frame_.left + Scale(standardX - kStandardFrame.left, width, standardWidth); };
        auto y = [&](int standardY) { return frame_.top + Scale(standardY - kStandardFrame.top, height, standardHeight); };
        movieRect_ = RECT{x(kMovieRect.left), y(kMovieRect.top), x(kMovieRect.right), y(kMovieRect.bottom)};
        placeholderAt_ = POINT{x(kPlaceholderAt.x), y(kPlaceholderAt.y)};
    }
    if (!player_) return;
    player_->SetPosition(movieRect_.left, movieRect_.top);
    player_->ClearTopLeft();
    player_->SetSize(movieRect_.right - movieRect_.left, movieRect_.bottom - movieRect_.top);
}

void PreviewPane::RegisterPlaceholder() {
    placeholder_ = RegisterPicture(window_, IDR_LOGO, placeholderAt_.x, placeholderAt_.y);
    if (!placeholder_ || frame_.right <= frame_.left) return;
    // Scaled offsets round; a picture that would pass the frame's far edge moves back inside.
    placeholder_->x = std::max<LONG>(frame_.left, std::min<LONG>(placeholder_->x, frame_.right - placeholder_->width));
    placeholder_->y = std::max<LONG>(frame_.top, std::min<LONG>(placeholder_->y, frame_.bottom - placeholder_->height));
}

void PreviewPane::Forward(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (player_) player_->HandleWindowMessage(window, message, wParam, lParam);
}

void PreviewPane::TakeKeys(POINT at) {
    const RECT area = Area();
    if (!window_ || !IsOpen() || !PtInRect(&area, at)) return;
    keys_ = true;
    if (GetFocus() != window_) SetFocus(window_);
}

void PreviewPane::FocusLeaving(HWND gaining) {
    if (gaining && window_ && IsChild(window_, gaining)) keys_ = false;
}

bool PreviewPane::WantsKey(const MSG* message) const {
    if (!message || !HasKeys() || GetFocus() != window_) return false;
    if (message->message != WM_KEYDOWN && message->message != WM_CHAR) return false;
    return message->wParam != VK_TAB && message->wParam != VK_ESCAPE;
}

void PreviewPane::UpdateMovie() {
    if (player_ && player_->isOpen && player_->GetMovie() != preview::MovieHandle::None)
        preview::DefaultMovieServices().UpdateMovie(player_->GetMovie());
}

void PreviewPane::Show(int row, const std::string& path) {
    if (PlaceholderVisible()) {
        SetPlaceholderVisible(false);
        Repaint();
    }
    // A clip that does not open leaves the area empty; the row is the previewed one all the same.
    if (player_) player_->OpenFile(path.c_str());
    row_ = row;
}

void PreviewPane::Release() {
    if (!IsOpen()) return;
    SetPlaceholderVisible(true);
    player_->Close();
    Repaint();
}

void PreviewPane::ReleaseForDelete() {
    if (IsOpen()) player_->Close();
    if (window_) {
        RECT area = Area();
        InvalidateRect(window_, &area, TRUE);
    }
    SetPlaceholderVisible(true);
    if (window_) UpdateWindow(window_);
}

void PreviewPane::Clear() {
    row_ = -1;
    if (IsOpen()) player_->Close();
    SetPlaceholderVisible(true);
    Repaint();
}

void PreviewPane::CloseMovie() {
    if (player_) player_->Close();
}

void PreviewPane::CloseForRename() {
    if (!IsOpen()) return;
    row_ = -1;
    player_->Close();
}

std::string PreviewPane::OpenPath() const { return IsOpen() ? std::string(player_->path) : std::string(); }

bool PreviewPane::PlaceholderVisible() const { return placeholder_ && placeholder_->visible; }

void PreviewPane::SetPlaceholderVisible(bool visible) {
    if (placeholder_) placeholder_->visible = visible ? 1 : 0;
}

RECT PreviewPane::MovieRect() const {
    if (!player_) return movieRect_;
    const int x = player_->GetX(), y = player_->GetY();
    return RECT{x, y, x + player_->GetWidth(), y + player_->GetHeight()};
}

RECT PreviewPane::Area() const {
    RECT area = MovieRect();
    area.bottom += movie::ControlBarLayout::kHeight;
    return area;
}

RECT PreviewPane::PlaceholderRect() const {
    if (!placeholder_) return RECT{};
    return RECT{placeholder_->x, placeholder_->y, placeholder_->x + placeholder_->width,
                placeholder_->y + placeholder_->height};
}

void PreviewPane::Repaint() {
    if (!window_) return;
    RECT area = Area();
    InvalidateRect(window_, &area, TRUE);
    RedrawWindow(window_, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}
