// A directory search (FindFirstFileA / FindNextFileA), closed when the owner goes.
#pragma once

#include <windows.h>

#include <string>

#include "win/Owned.h"

namespace win {

class FindHandle {
public:
    // Starts a search for `pattern` ("C:\\folder\\*.*"); false when nothing matches or the folder
    // cannot be read.
    bool First(const std::string& pattern, WIN32_FIND_DATAA& found) {
        search_.Reset(FindFirstFileA(pattern.c_str(), &found));
        return static_cast<bool>(search_);
    }
    // The search's next entry; false at its end (or without a search).
    bool Next(WIN32_FIND_DATAA& found) { return search_ && FindNextFileA(search_.Get(), &found) != FALSE; }

private:
    struct Traits {
        using Handle = HANDLE;
        static Handle None() { return INVALID_HANDLE_VALUE; }
        static bool Valid(Handle handle) { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
        static void Close(Handle handle) { FindClose(handle); }
    };
    Owned<Traits> search_;
};

}  // namespace win
