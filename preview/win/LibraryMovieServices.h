// The movie services over our own library: the portable reader for movies, MovieController for
// controllers (with pictures and sound from the decoders it is given), MovieWriter for saving.
// Ports are per-window state of ours. Handles index tables, so a disposed or foreign handle is
// refused, never followed.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "movie/container/MovieReader.h"
#include "movie/decode/MediaSource.h"
#include "movie/playback/win/MovieController.h"
#include "preview/win/MovieServices.h"

namespace preview {

class LibraryMovieServices final : public MovieServices {
public:
    // decoders: what new controllers play with; null shows even fills and plays silently.
    explicit LibraryMovieServices(std::shared_ptr<movie::MediaDecoders> decoders = movie::DefaultMediaDecoders());
    LibraryMovieServices(const LibraryMovieServices&) = delete;
    LibraryMovieServices& operator=(const LibraryMovieServices&) = delete;
    ~LibraryMovieServices() override = default;

    Status Initialize(int32_t flags) override;
    void Terminate() override;
    Status EnterMovies() override;
    void ExitMovies() override;

    PortHandle AssociatePort(HWND window, void* storage, int32_t flags) override;
    PortHandle GetWindowPort(HWND window) override;
    void DissociatePort(PortHandle port) override;
    void SetCurrentPort(PortHandle port, void* device) override;
    void SizeWindow(PortHandle port, int16_t width, int16_t height, bool redraw) override;

    Status MakeFileSpec(int16_t volume, int32_t directory, const unsigned char* countedName,
                        FileSpec& fileSpec) override;
    Status OpenMovieFile(const FileSpec& fileSpec, FileRef& ref, int8_t permission) override;
    Status NewMovieFromFile(MovieHandle& movie, FileRef ref, int16_t* resourceId, unsigned char* name,
                            int32_t flags) override;
    Status CloseMovieFile(FileRef ref) override;
    // Our reader keeps 64-bit durations; callers get 32-bit values, clamped to INT32_MAX.
    int32_t GetTimeScale(MovieHandle movie) override;
    int32_t GetDuration(MovieHandle movie) override;
    Status GetNaturalBox(MovieHandle movie, Rect16& box) override;
    void OffsetRect(Rect16& rect, int16_t dx, int16_t dy) override;
    void UpdateMovie(MovieHandle movie) override;
    void DisposeMovie(MovieHandle movie) override;
    // An empty movie (no tracks, time scale 600, duration 0): shows and saves nothing.
    MovieHandle NewEmptyMovie(int32_t flags) override;

    ControllerHandle NewController(MovieHandle movie, const Rect16& rect, uint8_t flags) override;
    Status GetControllerBounds(ControllerHandle controller, Rect16& bounds) override;
    Status EnableEditing(ControllerHandle controller, bool enabled) override;
    Status DoAction(ControllerHandle controller, int16_t action, void* parameter) override;
    Status SetActionFilter(ControllerHandle controller, ActionFilterProc filter, intptr_t reference) override;
    int32_t ControllerEvent(ControllerHandle controller, const MovieEvent& event) override;
    void DisposeController(ControllerHandle controller) override;

    // Our library does not edit movies: cut and copy give no movie, the rest decline.
    MovieHandle ControllerCut(ControllerHandle controller) override;
    MovieHandle ControllerCopy(ControllerHandle controller) override;
    Status ControllerPaste(ControllerHandle controller, MovieHandle source) override;
    Status ControllerClear(ControllerHandle controller) override;
    Status ControllerUndo(ControllerHandle controller) override;
    Status PutMovieOnClipboard(MovieHandle movie, int32_t flags) override;
    // Copies the movie's source file into one self-contained file; a movie without a source
    // file (an empty one) is refused.
    Status SaveSelfContained(MovieHandle movie, const FileSpec& fileSpec, uint32_t creator, int16_t script,
                             int32_t flags) override;

    // What stands behind a handle, for the player's host and for tests; null when none.
    movie::MovieController* FindController(ControllerHandle controller) const;
    const movie::Movie* FindMovie(MovieHandle movie) const;
    HWND PortWindow(PortHandle port) const;
    PortHandle CurrentPort() const { return current_; }
    bool Available() const { return initialized_ && entered_; }
    // Controllers made from now on play with these decoders.
    void SetDecoders(std::shared_ptr<movie::MediaDecoders> decoders) { decoders_ = std::move(decoders); }

private:
    struct MovieObject {
        std::shared_ptr<const movie::Movie> movie;
        std::string path;  // source file; empty for a new movie
        PortHandle port = PortHandle::None;
    };
    struct ControllerObject {
        std::unique_ptr<movie::MovieController> controller;
        MovieHandle movie = MovieHandle::None;
    };
    struct FileObject {
        std::unique_ptr<movie::FileSource> source;
        std::string path;
    };

    uintptr_t NextHandle() { return nextHandle_++; }
    MovieObject* Movie(MovieHandle movie);
    ControllerObject* Controller(ControllerHandle controller);
    void DropMovies();

    std::shared_ptr<movie::MediaDecoders> decoders_;
    bool initialized_ = false;
    bool entered_ = false;
    uintptr_t nextHandle_ = 1;  // shared by every kind: a handle of one kind is never valid as another
    std::map<uintptr_t, HWND> ports_;
    std::map<HWND, uintptr_t> portByWindow_;
    PortHandle current_ = PortHandle::None;
    std::map<uintptr_t, FileObject> files_;
    std::map<uintptr_t, MovieObject> movies_;
    std::map<uintptr_t, ControllerObject> controllers_;
};

}  // namespace preview
