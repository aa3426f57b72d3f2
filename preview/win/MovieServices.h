// The movie library as the player sees it: every operation it uses, named by role. Handles are
// opaque; a status is 16-bit, 0 for success. While the library is unavailable (before Initialize,
// after Terminate) every operation fails: statuses non-zero, handles none.
#pragma once

#include <windows.h>

#include <cstdint>

namespace preview {

using Status = int16_t;
inline constexpr Status kNoError = 0;
inline constexpr Status kLibraryUnavailable = -2093;  // the library is not initialised
inline constexpr Status kBadHandle = -50;             // a handle that is none or no longer valid
inline constexpr Status kFileNotFound = -43;
inline constexpr Status kNotAMovie = -2048;           // the file opened but holds no readable movie
inline constexpr Status kDeclined = -2014;            // an operation this library does not offer
inline constexpr Status kBadAction = -2010;           // a controller action it does not know
inline constexpr Status kWriteFailed = -36;

// Opaque handles; the value 0 is "none".
enum class PortHandle : uintptr_t { None = 0 };
enum class MovieHandle : uintptr_t { None = 0 };
enum class ControllerHandle : uintptr_t { None = 0 };
enum class FileRef : uintptr_t { None = 0 };

// A library rectangle: four signed 16-bit values in this order.
struct Rect16 {
    int16_t top = 0, left = 0, bottom = 0, right = 0;
    friend bool operator==(const Rect16&, const Rect16&) = default;
};

// A file specification: volume, directory and the name as a counted string.
struct FileSpec {
    int16_t volume = 0;
    int32_t directory = 0;
    unsigned char name[256] = {};
};

// A point in time of a movie: value in units of scale.
struct TimeRecord {
    int64_t value = 0;
    int32_t scale = 0;
    void* base = nullptr;
};

// The event a controller is given: a window message with its time and the cursor's position on
// the screen, as the system records one; handed on as it is, down to the controller.
using MovieEvent = MSG;

// Controller action codes and what their parameter carries.
enum ControllerAction : int16_t {
    kActionSetGrowBoxBounds = 25,    // const Rect16*
    kActionSetSelectionBegin = 29,   // const TimeRecord*
    kActionSetSelectionDuration = 30,// const TimeRecord*
    kActionSetKeysEnabled = 32,      // value in the pointer: 1 on, 0 off
    kActionControllerSizeChanged = 26,// sent to the action filter; no parameter
    kActionSetFlags = 38,            // value in the pointer
    kActionGetFlags = 39,            // int32_t* receiving the flags
};

// Controller creation flag: place the movie at the top left of its rectangle (else centred).
inline constexpr uint8_t kControllerTopLeftMovie = 1;
// New movie flag: the movie is active.
inline constexpr int32_t kNewMovieActive = 1;
// Open permission: read.
inline constexpr int8_t kReadPermission = 1;
// Save flag: replace an existing file.
inline constexpr int32_t kSaveReplaceExisting = 1;

class MovieServices;
// Called by a controller before it handles an action; true means "handled, stop".
using ActionFilterProc = bool (*)(MovieServices& services, ControllerHandle controller, int16_t action,
                                  void* parameter, intptr_t reference);

class MovieServices {
public:
    virtual ~MovieServices() = default;

    // Library lifetime.
    virtual Status Initialize(int32_t flags) = 0;
    virtual void Terminate() = 0;
    virtual Status EnterMovies() = 0;
    virtual void ExitMovies() = 0;

    // Ports: the library's drawing state for a window.
    virtual PortHandle AssociatePort(HWND window, void* storage, int32_t flags) = 0;
    virtual PortHandle GetWindowPort(HWND window) = 0;
    virtual void DissociatePort(PortHandle port) = 0;
    virtual void SetCurrentPort(PortHandle port, void* device) = 0;
    virtual void SizeWindow(PortHandle port, int16_t width, int16_t height, bool redraw) = 0;

    // Files and movies.
    virtual Status MakeFileSpec(int16_t volume, int32_t directory, const unsigned char* countedName,
                                FileSpec& fileSpec) = 0;
    virtual Status OpenMovieFile(const FileSpec& fileSpec, FileRef& ref, int8_t permission) = 0;
    virtual Status NewMovieFromFile(MovieHandle& movie, FileRef ref, int16_t* resourceId, unsigned char* name,
                                    int32_t flags) = 0;
    virtual Status CloseMovieFile(FileRef ref) = 0;
    virtual int32_t GetTimeScale(MovieHandle movie) = 0;
    virtual int32_t GetDuration(MovieHandle movie) = 0;
    virtual Status GetNaturalBox(MovieHandle movie, Rect16& box) = 0;
    virtual void OffsetRect(Rect16& rect, int16_t dx, int16_t dy) = 0;
    virtual void UpdateMovie(MovieHandle movie) = 0;
    virtual void DisposeMovie(MovieHandle movie) = 0;
    virtual MovieHandle NewEmptyMovie(int32_t flags) = 0;

    // Controllers.
    virtual ControllerHandle NewController(MovieHandle movie, const Rect16& rect, uint8_t flags) = 0;
    virtual Status GetControllerBounds(ControllerHandle controller, Rect16& bounds) = 0;
    virtual Status EnableEditing(ControllerHandle controller, bool enabled) = 0;
    virtual Status DoAction(ControllerHandle controller, int16_t action, void* parameter) = 0;
    virtual Status SetActionFilter(ControllerHandle controller, ActionFilterProc filter, intptr_t reference) = 0;
    // Non-zero when the controller used the event.
    virtual int32_t ControllerEvent(ControllerHandle controller, const MovieEvent& event) = 0;
    virtual void DisposeController(ControllerHandle controller) = 0;

    // Editing and saving.
    virtual MovieHandle ControllerCut(ControllerHandle controller) = 0;
    virtual MovieHandle ControllerCopy(ControllerHandle controller) = 0;
    virtual Status ControllerPaste(ControllerHandle controller, MovieHandle source) = 0;
    virtual Status ControllerClear(ControllerHandle controller) = 0;
    virtual Status ControllerUndo(ControllerHandle controller) = 0;
    virtual Status PutMovieOnClipboard(MovieHandle movie, int32_t flags) = 0;
    // Writes the movie as a new self-contained file at fileSpec.
    virtual Status SaveSelfContained(MovieHandle movie, const FileSpec& fileSpec, uint32_t creator, int16_t script,
                                     int32_t flags) = 0;
};

// The process's library (the real implementation); lives until the process ends.
MovieServices& DefaultMovieServices();

}  // namespace preview
