// The preview pane of the main window: the movie player that shows the selected clip inside the
// black frame, the placeholder picture shown while no clip is open, and the window messages the
// player hears.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "preview/win/MoviePlayer.h"

struct PictureEntry;

class PreviewPane {
public:
    PreviewPane();
    ~PreviewPane();
    PreviewPane(const PreviewPane&) = delete;
    PreviewPane& operator=(const PreviewPane&) = delete;

    // The player exists from the window's construction (after the movie services started) until
    // its destroy operation.
    void CreatePlayer();
    // Detaches the player from the window and releases it; nothing when there is none.
    void DestroyPlayer();
    bool HasPlayer() const { return player_ != nullptr; }
    // The player, for the folder scan and the rename to read clips with; null once destroyed.
    MoviePlayer* Player() { return player_.get(); }

    // The window's creation: the player attaches to it.
    void AttachWindow(HWND window, CREATESTRUCTA* create);
    // Places the movie rectangle inside the window's preview frame (control 1028) as the dialog
    // font laid it out.
    void Place(HWND window);
    // Registers the placeholder picture at its place in the frame (visible).
    void RegisterPlaceholder();

    // Every message of the window, while the player exists.
    void Forward(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The movie's keys. A press on the preview area of an open movie gives them to it: the window
    // takes the focus itself (the movie is no control of its own). A control taking the focus
    // takes them back; the focus going to another program keeps them for the return.
    void TakeKeys(POINT at);
    void FocusLeaving(HWND gaining);
    bool HasKeys() const { return keys_ && IsOpen(); }
    // Whether a key message the dialog manager asks about is the movie's: every key but Tab and
    // Escape while the window itself has the focus for the movie.
    bool WantsKey(const MSG* message) const;

    // Part of the window's painting: asks the library to draw the open movie again.
    void UpdateMovie();

    // Opens the clip at `path` for list row `row`, hiding the placeholder first.
    void Show(int row, const std::string& path);
    // Closes an open movie and shows the placeholder again; nothing when no movie is open.
    void Release();
    // The delete operation's release: closes any movie, shows the placeholder and repaints
    // the preview area whether or not a movie was open.
    void ReleaseForDelete();
    // What a rebuilt list leaves: no movie, no previewed row, the placeholder shown.
    void Clear();
    // Closes the player's movie (shown or only inspected) without touching the picture.
    void CloseMovie();
    // A rename closes a shown movie and forgets its row; the list repaints afterwards.
    void CloseForRename();
    void ForgetRow() { row_ = -1; }

    bool IsOpen() const { return player_ && player_->isOpen; }
    // The library's controller of the shown movie, for finding what it shows; none when closed.
    preview::ControllerHandle Controller() const {
        return player_ ? player_->controller : preview::ControllerHandle::None;
    }
    // The list row whose clip was last handed to the player, -1 for none.
    int Row() const { return row_; }
    // The path of the shown clip; empty when none.
    std::string OpenPath() const;
    bool HasPlaceholder() const { return placeholder_ != nullptr; }
    bool PlaceholderVisible() const;
    // The movie rectangle, the preview area (movie plus control bar) and the placeholder's
    // rectangle, in client pixels of the window.
    RECT MovieRect() const;
    RECT Area() const;
    RECT PlaceholderRect() const;

private:
    void SetPlaceholderVisible(bool visible);
    void Repaint();

    std::unique_ptr<MoviePlayer> player_;
    HWND window_ = nullptr;
    PictureEntry* placeholder_ = nullptr;
    RECT frame_{};
    POINT placeholderAt_{};
    RECT movieRect_{};
    int row_ = -1;
    bool keys_ = false;
};
