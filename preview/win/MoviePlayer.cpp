#include "preview/win/MoviePlayer.h"

#include <commdlg.h>

#include <cstring>
#include <string>

#include "preview/CountedString.h"

using preview::ControllerHandle;
using preview::FileRef;
using preview::FileSpec;
using preview::MovieHandle;
using preview::PortHandle;
using preview::Rect16;
using preview::Status;

namespace {

constexpr int16_t kClosedWidth = 320;
constexpr int16_t kClosedHeight = 1;
constexpr int32_t kShowControllerFlag = 8;
constexpr size_t kMaxTitleLength = 255;
constexpr uint32_t kCreatorCode = (uint32_t('T') << 24) | (uint32_t('V') << 16) | (uint32_t('O') << 8) | 'D';

// The byte just after the last path separator, walking whole characters of the ANSI code page
// so that the trail byte of a double-byte character is never taken for a backslash.
const char* AfterLastSeparator(const char* text, size_t length) {
    const char* name = text;
    for (size_t i = 0; i < length;) {
        const char c = text[i];
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < length) {
            i += 2;
            continue;
        }
        ++i;
        if (c == '\\' || c == '/') name = text + i;
    }
    return name;
}

// The longest prefix of at most `limit` bytes that does not split a double-byte character.
size_t WholeCharacters(const std::string& text, size_t limit) {
    size_t i = 0;
    while (i < text.size()) {
        const size_t step = (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size()) ? 2 : 1;
        if (i + step > limit) break;
        i += step;
    }
    return i;
}

}  // namespace

MoviePlayer::MoviePlayer(preview::MovieServices& services) : services_(services) {}

bool MoviePlayer::OpenMovie(const char* file, bool drawInWindow) {
    // The path must fit `path` with its terminator: longer ones are refused before any copy.
    const size_t length = strnlen(file, sizeof(path));
    if (length > preview::kMaxCountedLength) return false;
    std::memcpy(path, file, length);
    path[length] = '\0';
    ToCountedString(path);
    FileSpec fileSpec;
    services_.MakeFileSpec(0, 0, reinterpret_cast<const unsigned char*>(path), fileSpec);
    if (drawInWindow) services_.SetCurrentPort(services_.GetWindowPort(window), nullptr);
    FileRef ref = FileRef::None;
    if (services_.OpenMovieFile(fileSpec, ref, preview::kReadPermission) != preview::kNoError) return false;
    MovieHandle opened = MovieHandle::None;
    const Status status = services_.NewMovieFromFile(opened, ref, nullptr, nullptr, preview::kNewMovieActive);
    services_.CloseMovieFile(ref);
    if (status != preview::kNoError || opened == MovieHandle::None) {
        if (opened != MovieHandle::None) services_.DisposeMovie(opened);
        return false;
    }
    movie = opened;
    return true;
}

int32_t MoviePlayer::LoadFile(const char* file) {
    if (file == nullptr || file[0] == '\0') return 0;
    Close();
    if (!OpenMovie(file, false)) {
        path[0] = '\0';
        return 0;
    }
    isOpen = 1;
    return 1;
}

int32_t MoviePlayer::OpenFile(const char* file) {
    if (file == nullptr || file[0] == '\0') return 0;
    Close();
    int32_t result = 0;
    if (OpenMovie(file, true)) {
        CreateController(movie);
        isOpen = 1;
        FromCountedString(path);
        result = 1;
    } else {
        path[0] = '\0';
    }
    UpdateTitle();
    return result;
}

int32_t MoviePlayer::ReadMovieInfo(const char* file, MovieInfo* info) {
    if (!LoadFile(file)) return 0;
    if (info) {
        info->timeScale = services_.GetTimeScale(movie);
        info->duration = services_.GetDuration(movie);
    }
    return 1;
}

void MoviePlayer::Close() {
    isOpen = 0;
    if (controller != ControllerHandle::None) services_.DisposeController(controller);
    if (movie != MovieHandle::None) services_.DisposeMovie(movie);
    controller = ControllerHandle::None;
    movie = MovieHandle::None;
    if (sizeWindow) services_.SizeWindow(services_.GetWindowPort(window), kClosedWidth, kClosedHeight, false);
    path[0] = '\0';
    UpdateTitle();
}

void MoviePlayer::NewUntitled() {
    Close();
    services_.SetCurrentPort(services_.GetWindowPort(window), nullptr);
    const MovieHandle created = services_.NewEmptyMovie(preview::kNewMovieActive);
    if (created == MovieHandle::None) return;
    movie = created;
    std::strcpy(path, "Untitled");
    UpdateTitle();
    CreateController(movie);
    isOpen = 1;
}

void MoviePlayer::SaveAs() {
    static const char kFilter[] = "QuickTime Movies (*.mov) \0 *.mov\0";
    char file[256] = {};
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = GetActiveWindow();
    dialog.lpstrFilter = kFilter;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof(file);
    dialog.Flags = OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameA(&dialog)) return;
    if (movie == MovieHandle::None) return;
    if (!ToCountedString(file)) return;
    FileSpec fileSpec;
    services_.MakeFileSpec(0, 0, reinterpret_cast<const unsigned char*>(file), fileSpec);
    services_.SaveSelfContained(movie, fileSpec, kCreatorCode, -1, preview::kSaveReplaceExisting);
}

int32_t MoviePlayer::HandleWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (controller == ControllerHandle::None) return 0;
    preview::MovieEvent event{};
    event.hwnd = hwnd;
    event.message = message;
    event.wParam = wParam;
    event.lParam = lParam;
    event.time = static_cast<DWORD>(GetMessageTime());
    const DWORD position = GetMessagePos();
    // Signed halves: on a second monitor left of or above the first the cursor is negative.
    event.pt.x = static_cast<short>(LOWORD(position));
    event.pt.y = static_cast<short>(HIWORD(position));
    return services_.ControllerEvent(controller, event);
}

int32_t MoviePlayer::AttachWindow(HWND hwnd, CREATESTRUCTA* create) {
    if (hwnd == nullptr) return 0;
    window = hwnd;
    parentWindow = GetParent(hwnd);
    if (create) {
        create->cy = GetFrameWidth() + GetFrameHeight() + GetCaptionHeight();
        create->cx = kClosedWidth;
    }
    UpdateTitle();
    services_.AssociatePort(window, nullptr, 0);
    return 0;
}

void MoviePlayer::DetachWindow() {
    Close();
    if (window == nullptr) return;
    const PortHandle port = services_.GetWindowPort(window);
    if (port != PortHandle::None) services_.DissociatePort(port);
}

void MoviePlayer::CreateController(MovieHandle theMovie) {
    Rect16 box{};
    services_.GetNaturalBox(theMovie, box);
    if (!keepNaturalSize) {
        box.bottom = static_cast<int16_t>(height);
        box.right = static_cast<int16_t>(width);
    }
    services_.OffsetRect(box, static_cast<int16_t>(x), static_cast<int16_t>(y));
    movieBox = box;
    controller = services_.NewController(theMovie, movieBox, topLeft);
    // Without a controller the remaining steps would only size the host to nothing.
    if (controller == ControllerHandle::None) return;
    Rect16 bounds{};
    services_.GetControllerBounds(controller, bounds);
    services_.EnableEditing(controller, editing != 0);
    int32_t flags = 0;
    services_.DoAction(controller, preview::kActionGetFlags, &flags);
    services_.DoAction(controller, preview::kActionSetFlags,
                       reinterpret_cast<void*>(static_cast<intptr_t>(flags | kShowControllerFlag)));
    services_.DoAction(controller, preview::kActionSetKeysEnabled, reinterpret_cast<void*>(intptr_t{1}));
    services_.SetActionFilter(controller, &MoviePlayer::ControllerFilter, reinterpret_cast<intptr_t>(this));
    if (growBox) {
        Rect16 limits{};
        GetDesktopBounds(&limits);
        services_.DoAction(controller, preview::kActionSetGrowBoxBounds, &limits);
    }
    if (sizeWindow) services_.SizeWindow(services_.GetWindowPort(window), bounds.right, bounds.bottom, true);
}

bool MoviePlayer::ControllerFilter(preview::MovieServices& services, ControllerHandle controller, int16_t action,
                                   void*, intptr_t reference) {
    const auto* player = reinterpret_cast<const MoviePlayer*>(reference);
    if (action != preview::kActionControllerSizeChanged || player == nullptr || !player->sizeWindow) return false;
    Rect16 bounds{};
    if (services.GetControllerBounds(controller, bounds) != preview::kNoError) return false;
    services.SizeWindow(services.GetWindowPort(player->window), bounds.right, bounds.bottom, true);
    return false;
}

void MoviePlayer::Cut() {
    if (controller == ControllerHandle::None) return;
    const MovieHandle cut = services_.ControllerCut(controller);
    if (cut == MovieHandle::None) return;
    services_.PutMovieOnClipboard(cut, 0);
    services_.DisposeMovie(cut);
}

void MoviePlayer::Copy() {
    if (controller == ControllerHandle::None) return;
    const MovieHandle copied = services_.ControllerCopy(controller);
    if (copied == MovieHandle::None) return;
    services_.PutMovieOnClipboard(copied, 0);
    services_.DisposeMovie(copied);
}

void MoviePlayer::Paste() {
    if (controller != ControllerHandle::None) services_.ControllerPaste(controller, MovieHandle::None);
}

void MoviePlayer::Clear() {
    if (controller != ControllerHandle::None) services_.ControllerClear(controller);
}

void MoviePlayer::Undo() {
    if (controller != ControllerHandle::None) services_.ControllerUndo(controller);
}

void MoviePlayer::SelectAll() {
    if (movie == MovieHandle::None || controller == ControllerHandle::None) return;
    preview::TimeRecord time{0, services_.GetTimeScale(movie), nullptr};
    services_.DoAction(controller, preview::kActionSetSelectionBegin, &time);
    time.value = services_.GetDuration(movie);
    services_.DoAction(controller, preview::kActionSetSelectionDuration, &time);
}

// The title, then " - " and the file name when both are there; a text over 255 bytes keeps its
// first 255, cut between characters.
void MoviePlayer::UpdateTitle() {
    char titleText[sizeof(title)] = {};
    char name[sizeof(path)] = {};
    GetTitle(titleText);
    GetFileName(name);
    std::string text = titleText;
    if (name[0] != '\0') {
        if (!text.empty()) text += " - ";
        text += name;
    }
    text.resize(WholeCharacters(text, kMaxTitleLength));
    if (parentWindow) SetWindowTextA(parentWindow, text.c_str());
}

void MoviePlayer::GetFileName(char* out) {
    if (out == nullptr) return;
    const size_t length = strnlen(path, sizeof(path) - 1);
    if (length == 0) return;
    const char* name = AfterLastSeparator(path, length);
    const size_t nameLength = length - static_cast<size_t>(name - path);
    std::memcpy(out, name, nameLength);
    out[nameLength] = '\0';
}

void MoviePlayer::GetTitle(char* out) {
    if (out == nullptr) return;
    const size_t length = strnlen(title, sizeof(title) - 1);
    if (length == 0) return;
    std::memcpy(out, title, length);
    out[length] = '\0';
}

int32_t MoviePlayer::ToCountedString(char* text) { return text && preview::ToCountedString(text) ? 1 : 0; }

void MoviePlayer::FromCountedString(char* text) {
    if (text == nullptr) return;
    // `path` is the one buffer the player converts; others are taken at their word.
    const size_t capacity = text == path ? sizeof(path) : size_t(static_cast<unsigned char>(text[0])) + 1;
    preview::FromCountedString(text, capacity);
}

int32_t MoviePlayer::GetFrameWidth() {
    RECT outer{}, client{};
    if (!parentWindow || !GetWindowRect(parentWindow, &outer) || !GetClientRect(parentWindow, &client)) return 0;
    return (outer.right - outer.left) - (client.right - client.left);
}

int32_t MoviePlayer::GetFrameHeight() {
    RECT outer{}, client{};
    if (!parentWindow || !GetWindowRect(parentWindow, &outer) || !GetClientRect(parentWindow, &client)) return 0;
    return (outer.bottom - outer.top) - (client.bottom - client.top) - GetSystemMetrics(SM_CYCAPTION);
}

int32_t MoviePlayer::GetCaptionHeight() {
    if (!parentWindow || !IsWindow(parentWindow)) return 0;
    const LONG_PTR style = GetWindowLongPtrA(parentWindow, GWL_STYLE);
    return (style & WS_CAPTION) ? GetSystemMetrics(SM_CYCAPTION) : 0;
}

void MoviePlayer::GetDesktopBounds(Rect16* bounds) {
    if (bounds == nullptr) return;
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    *bounds = Rect16{0, 0, static_cast<int16_t>(desktop.bottom - desktop.top),
                     static_cast<int16_t>(desktop.right - desktop.left)};
}

MovieHandle MoviePlayer::GetMovie() { return movie; }

int32_t MoviePlayer::GetTimeScale() { return movie == MovieHandle::None ? 0 : services_.GetTimeScale(movie); }

int32_t MoviePlayer::GetDuration() { return movie == MovieHandle::None ? 0 : services_.GetDuration(movie); }

uint8_t MoviePlayer::GetTopLeft() { return topLeft; }

void MoviePlayer::SetPosition(int32_t newX, int32_t newY) {
    x = newX;
    y = newY;
}

uint8_t MoviePlayer::GetKeepNaturalSize() { return keepNaturalSize; }
void MoviePlayer::EnableGrowBox() { growBox = 1; }
void MoviePlayer::DisableGrowBox() { growBox = 0; }

void MoviePlayer::SetSize(int32_t newWidth, int32_t newHeight) {
    width = newWidth;
    height = newHeight;
}

void MoviePlayer::EnableEditing() { editing = 1; }
void MoviePlayer::DisableEditing() { editing = 0; }
void MoviePlayer::SetSizeWindowToController(uint8_t flag) { sizeWindow = flag; }

void MoviePlayer::SetBoundsRect(int16_t left, int16_t top, int16_t right, int16_t bottom) {
    boundsRect = Rect16{top, left, bottom, right};
}

void MoviePlayer::SetTopLeft() { topLeft = 1; }
void MoviePlayer::ClearTopLeft() { topLeft = 0; }
void MoviePlayer::SetKeepNaturalSize(uint8_t flag) { keepNaturalSize = flag; }
int32_t MoviePlayer::GetX() { return x; }
int32_t MoviePlayer::GetY() { return y; }
int32_t MoviePlayer::GetWidth() { return width; }
int32_t MoviePlayer::GetHeight() { return height; }
