// Copy, move and delete of clip files, one file at a time: each failure is reported in an error
// box of its own and the operation goes on with the next file. Nothing is rolled back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A clip the copy and move treat: its file and its file name.
struct ClipFile {
    std::string source;
    std::string name;
};

class ClipOperations {
public:
    // Error and confirmation boxes are owned by `owner`.
    void SetOwner(HWND owner) { owner_ = owner; }

    // Copies every file into `folder` as folder + "\" + name, never replacing a file.
    void CopyFiles(const std::vector<ClipFile>& files, const std::string& folder) const;
    // Moves every file into `folder` the same way; an existing destination makes the move fail.
    void MoveFiles(const std::vector<ClipFile>& files, const std::string& folder) const;
    // Asks whether `count` files may be deleted; true only for Yes.
    bool ConfirmDelete(size_t count) const;
    // Deletes every path; a path too long for the system's path buffer is refused.
    void DeleteFiles(const std::vector<std::string>& paths) const;
    // Shows the system's text for `error` alone, in the boxes' style.
    void ReportError(DWORD error) const;

private:
    // Shows message `messageId` with the path and the system's text for `error`.
    void ReportFailure(UINT messageId, const std::string& path, DWORD error) const;

    HWND owner_ = nullptr;
};
