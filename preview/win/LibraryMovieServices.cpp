#include "preview/win/LibraryMovieServices.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "movie/container/MovieWriter.h"

namespace preview {
namespace {

constexpr Status kParamErr = -50;
constexpr Status kIoErr = -36;
constexpr Status kFileExists = -48;
// The time scale a new movie gets, as movie libraries usually choose.
constexpr uint32_t kNewMovieTimeScale = 600;

int16_t Clamp16(long v) { return static_cast<int16_t>(std::clamp<long>(v, INT16_MIN, INT16_MAX)); }

RECT ToRect(const Rect16& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
Rect16 ToRect16(const RECT& r) { return Rect16{Clamp16(r.top), Clamp16(r.left), Clamp16(r.bottom), Clamp16(r.right)}; }

std::string NameOf(const unsigned char* counted) {
    return std::string(reinterpret_cast<const char*>(counted + 1), counted[0]);
}

}  // namespace

MovieServices& DefaultMovieServices() {
    static LibraryMovieServices services;
    return services;
}

LibraryMovieServices::LibraryMovieServices(std::shared_ptr<movie::MediaDecoders> decoders)
    : decoders_(std::move(decoders)) {}

Status LibraryMovieServices::Initialize(int32_t) {
    initialized_ = true;
    return kNoError;
}

void LibraryMovieServices::Terminate() {
    ExitMovies();
    ports_.clear();
    portByWindow_.clear();
    current_ = PortHandle::None;
    initialized_ = false;
}

Status LibraryMovieServices::EnterMovies() {
    if (!initialized_) return kLibraryUnavailable;
    entered_ = true;
    return kNoError;
}

void LibraryMovieServices::ExitMovies() {
    DropMovies();
    entered_ = false;
}

void LibraryMovieServices::DropMovies() {
    controllers_.clear();
    movies_.clear();
    files_.clear();
}

PortHandle LibraryMovieServices::AssociatePort(HWND window, void*, int32_t) {
    if (!initialized_ || window == nullptr || !IsWindow(window)) return PortHandle::None;
    auto found = portByWindow_.find(window);
    if (found != portByWindow_.end()) return PortHandle{found->second};
    const uintptr_t id = NextHandle();
    ports_[id] = window;
    portByWindow_[window] = id;
    return PortHandle{id};
}

PortHandle LibraryMovieServices::GetWindowPort(HWND window) {
    if (!initialized_) return PortHandle::None;
    auto found = portByWindow_.find(window);
    return found == portByWindow_.end() ? PortHandle::None : PortHandle{found->second};
}

void LibraryMovieServices::DissociatePort(PortHandle port) {
    auto found = ports_.find(static_cast<uintptr_t>(port));
    if (!initialized_ || found == ports_.end()) return;
    portByWindow_.erase(found->second);
    ports_.erase(found);
    if (current_ == port) current_ = PortHandle::None;
}

HWND LibraryMovieServices::PortWindow(PortHandle port) const {
    auto found = ports_.find(static_cast<uintptr_t>(port));
    return found == ports_.end() ? nullptr : found->second;
}

void LibraryMovieServices::SetCurrentPort(PortHandle port, void*) {
    if (!initialized_) return;
    current_ = ports_.count(static_cast<uintptr_t>(port)) ? port : PortHandle::None;
}

// Gives the window a client area of width by height.
void LibraryMovieServices::SizeWindow(PortHandle port, int16_t width, int16_t height, bool redraw) {
    HWND window = initialized_ ? PortWindow(port) : nullptr;
    if (window == nullptr || !IsWindow(window)) return;
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE));
    const BOOL hasMenu = !(style & WS_CHILD) && GetMenu(window) != nullptr;
    RECT outer{0, 0, std::max<int16_t>(width, 0), std::max<int16_t>(height, 0)};
    AdjustWindowRectEx(&outer, style, hasMenu, exStyle);
    UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    if (!redraw) flags |= SWP_NOREDRAW;
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top, flags);
}

Status LibraryMovieServices::MakeFileSpec(int16_t volume, int32_t directory, const unsigned char* countedName,
                                          FileSpec& fileSpec) {
    if (!initialized_) return kLibraryUnavailable;
    if (countedName == nullptr) return kParamErr;
    fileSpec = FileSpec{};
    fileSpec.volume = volume;
    fileSpec.directory = directory;
    std::memcpy(fileSpec.name, countedName, size_t(countedName[0]) + 1);
    return kNoError;
}

Status LibraryMovieServices::OpenMovieFile(const FileSpec& fileSpec, FileRef& ref, int8_t permission) {
    ref = FileRef::None;
    if (!Available()) return kLibraryUnavailable;
    if (permission != kReadPermission) return kParamErr;  // we only ever read movie files
    const std::string path = NameOf(fileSpec.name);
    if (path.empty()) return kFileNotFound;
    auto source = movie::FileSource::Open(path);
    if (!source) return kFileNotFound;
    const uintptr_t id = NextHandle();
    files_[id] = FileObject{std::move(source), path};
    ref = FileRef{id};
    return kNoError;
}

Status LibraryMovieServices::NewMovieFromFile(MovieHandle& movie, FileRef ref, int16_t*, unsigned char*, int32_t) {
    movie = MovieHandle::None;
    if (!Available()) return kLibraryUnavailable;
    auto file = files_.find(static_cast<uintptr_t>(ref));
    if (file == files_.end()) return kBadHandle;
    auto parsed = std::make_shared<movie::Movie>();
    const movie::ReadResult result = movie::ReadMovie(*file->second.source, *parsed);
    if (result == movie::ReadResult::IoError) return kIoErr;
    if (result != movie::ReadResult::Ok) return kNotAMovie;
    const uintptr_t id = NextHandle();
    movies_[id] = MovieObject{std::move(parsed), file->second.path, current_};
    movie = MovieHandle{id};
    return kNoError;
}

Status LibraryMovieServices::CloseMovieFile(FileRef ref) {
    if (!Available()) return kLibraryUnavailable;
    return files_.erase(static_cast<uintptr_t>(ref)) ? kNoError : kBadHandle;
}

LibraryMovieServices::MovieObject* LibraryMovieServices::Movie(MovieHandle movie) {
    if (!Available()) return nullptr;
    auto found = movies_.find(static_cast<uintptr_t>(movie));
    return found == movies_.end() ? nullptr : &found->second;
}

const movie::Movie* LibraryMovieServices::FindMovie(MovieHandle movie) const {
    auto found = movies_.find(static_cast<uintptr_t>(movie));
    return found == movies_.end() ? nullptr : found->second.movie.get();
}

int32_t LibraryMovieServices::GetTimeScale(MovieHandle movie) {
    const MovieObject* object = Movie(movie);
    return object ? static_cast<int32_t>(std::min<uint64_t>(object->movie->timeScale, INT32_MAX)) : 0;
}

int32_t LibraryMovieServices::GetDuration(MovieHandle movie) {
    const MovieObject* object = Movie(movie);
    return object ? static_cast<int32_t>(std::min<uint64_t>(object->movie->duration, INT32_MAX)) : 0;
}

Status LibraryMovieServices::GetNaturalBox(MovieHandle movie, Rect16& box) {
    const MovieObject* object = Movie(movie);
    if (!object) return Available() ? kBadHandle : kLibraryUnavailable;
    box = Rect16{0, 0, Clamp16(object->movie->naturalHeight), Clamp16(object->movie->naturalWidth)};
    return kNoError;
}

void LibraryMovieServices::OffsetRect(Rect16& rect, int16_t dx, int16_t dy) {
    if (!Available()) return;
    rect = Rect16{Clamp16(long(rect.top) + dy), Clamp16(long(rect.left) + dx), Clamp16(long(rect.bottom) + dy),
                  Clamp16(long(rect.right) + dx)};
}

void LibraryMovieServices::UpdateMovie(MovieHandle movie) {
    if (!Movie(movie)) return;
    for (auto& [id, object] : controllers_)
        if (object.movie == movie) object.controller->RequestUpdate();
}

void LibraryMovieServices::DisposeMovie(MovieHandle movie) {
    if (!Available()) return;
    // A controller still showing it keeps its own reference to the parsed movie.
    movies_.erase(static_cast<uintptr_t>(movie));
}

MovieHandle LibraryMovieServices::NewEmptyMovie(int32_t) {
    if (!Available()) return MovieHandle::None;
    auto empty = std::make_shared<movie::Movie>();
    empty->timeScale = kNewMovieTimeScale;
    const uintptr_t id = NextHandle();
    movies_[id] = MovieObject{std::move(empty), std::string(), current_};
    return MovieHandle{id};
}

LibraryMovieServices::ControllerObject* LibraryMovieServices::Controller(ControllerHandle controller) {
    if (!Available()) return nullptr;
    auto found = controllers_.find(static_cast<uintptr_t>(controller));
    return found == controllers_.end() ? nullptr : &found->second;
}

movie::MovieController* LibraryMovieServices::FindController(ControllerHandle controller) const {
    auto found = controllers_.find(static_cast<uintptr_t>(controller));
    return found == controllers_.end() ? nullptr : found->second.controller.get();
}

ControllerHandle LibraryMovieServices::NewController(MovieHandle movie, const Rect16& rect, uint8_t flags) {
    MovieObject* object = Movie(movie);
    if (!object) return ControllerHandle::None;
    std::unique_ptr<movie::PictureSource> pictures;
    std::unique_ptr<movie::SoundSource> sound;
    if (decoders_) {
        pictures = decoders_->OpenPictures(object->movie, object->path);
        sound = decoders_->OpenSound(object->movie, object->path);
    }
    auto controller = std::make_unique<movie::MovieController>(object->movie, PortWindow(object->port), ToRect(rect),
                                                               (flags & kControllerTopLeftMovie) != 0,
                                                               std::move(pictures), std::move(sound));
    const uintptr_t id = NextHandle();
    controllers_[id] = ControllerObject{std::move(controller), movie};
    return ControllerHandle{id};
}

Status LibraryMovieServices::GetControllerBounds(ControllerHandle controller, Rect16& bounds) {
    ControllerObject* object = Controller(controller);
    if (!object) return Available() ? kBadHandle : kLibraryUnavailable;
    bounds = ToRect16(object->controller->Bounds());
    return kNoError;
}

Status LibraryMovieServices::EnableEditing(ControllerHandle controller, bool enabled) {
    ControllerObject* object = Controller(controller);
    if (!object) return Available() ? kBadHandle : kLibraryUnavailable;
    object->controller->EnableEditing(enabled);
    return kNoError;
}

// Parameters by action: see ControllerAction. The filter sees every action first.
Status LibraryMovieServices::DoAction(ControllerHandle controller, int16_t action, void* parameter) {
    ControllerObject* object = Controller(controller);
    if (!object) return Available() ? kBadHandle : kLibraryUnavailable;
    if (object->controller->Filtered(action, parameter)) return kNoError;
    object = Controller(controller);  // the filter may have disposed of it
    if (!object) return kBadHandle;
    movie::MovieController& c = *object->controller;
    switch (action) {
    case kActionGetFlags:
        if (!parameter) return kParamErr;
        *static_cast<int32_t*>(parameter) = c.Flags();
        return kNoError;
    case kActionSetFlags:
        c.SetFlags(static_cast<int32_t>(reinterpret_cast<intptr_t>(parameter)));
        return kNoError;
    case kActionSetKeysEnabled:
        c.SetKeyboardControl(reinterpret_cast<intptr_t>(parameter) != 0);
        return kNoError;
    case kActionSetGrowBoxBounds:
        if (!parameter) return kParamErr;
        c.SetGrowBoxLimits(ToRect(*static_cast<const Rect16*>(parameter)));
        return kNoError;
    case kActionSetSelectionBegin:
    case kActionSetSelectionDuration: {
        if (!parameter) return kParamErr;
        const auto& time = *static_cast<const TimeRecord*>(parameter);
        const movie::MovieController::Time t{time.value, time.scale};
        if (action == kActionSetSelectionBegin)
            c.SetSelectionStart(t);
        else
            c.SetSelectionDuration(t);
        return kNoError;
    }
    default:
        return kBadAction;
    }
}

Status LibraryMovieServices::SetActionFilter(ControllerHandle controller, ActionFilterProc filter,
                                             intptr_t reference) {
    ControllerObject* object = Controller(controller);
    if (!object) return Available() ? kBadHandle : kLibraryUnavailable;
    if (filter == nullptr) {
        object->controller->SetFilter(nullptr);
    } else {
        object->controller->SetFilter([this, controller, filter, reference](int16_t action, void* parameter) {
            return filter(*this, controller, action, parameter, reference);
        });
    }
    return kNoError;
}

int32_t LibraryMovieServices::ControllerEvent(ControllerHandle controller, const MovieEvent& event) {
    ControllerObject* object = Controller(controller);
    if (!object) return 0;
    return object->controller->HandleEvent(event) ? 1 : 0;
}

void LibraryMovieServices::DisposeController(ControllerHandle controller) {
    if (!Available()) return;
    controllers_.erase(static_cast<uintptr_t>(controller));
}

MovieHandle LibraryMovieServices::ControllerCut(ControllerHandle) { return MovieHandle::None; }
MovieHandle LibraryMovieServices::ControllerCopy(ControllerHandle) { return MovieHandle::None; }

Status LibraryMovieServices::ControllerPaste(ControllerHandle controller, MovieHandle) {
    return Controller(controller) ? kDeclined : (Available() ? kBadHandle : kLibraryUnavailable);
}

Status LibraryMovieServices::ControllerClear(ControllerHandle controller) {
    return Controller(controller) ? kDeclined : (Available() ? kBadHandle : kLibraryUnavailable);
}

Status LibraryMovieServices::ControllerUndo(ControllerHandle controller) {
    return Controller(controller) ? kDeclined : (Available() ? kBadHandle : kLibraryUnavailable);
}

Status LibraryMovieServices::PutMovieOnClipboard(MovieHandle movie, int32_t) {
    return Movie(movie) ? kDeclined : (Available() ? kBadHandle : kLibraryUnavailable);
}

Status LibraryMovieServices::SaveSelfContained(MovieHandle movie, const FileSpec& fileSpec, uint32_t, int16_t,
                                               int32_t flags) {
    const MovieObject* object = Movie(movie);
    if (!object) return Available() ? kBadHandle : kLibraryUnavailable;
    if (object->path.empty()) return kDeclined;
    const std::string destination = NameOf(fileSpec.name);
    if (destination.empty()) return kParamErr;
    if (!(flags & kSaveReplaceExisting) && GetFileAttributesA(destination.c_str()) != INVALID_FILE_ATTRIBUTES)
        return kFileExists;
    std::string error;
    return movie::WriteSelfContainedMovie(object->path, destination, &error) ? kNoError : kWriteFailed;
}

}  // namespace preview
