// An open registry key, closed when the owner goes. The calls answer the registry's own codes
// (ERROR_SUCCESS or the reason).
#pragma once

#include <windows.h>

#include "win/Owned.h"

namespace win {

class RegKey {
public:
    // Opens an existing key below `parent`.
    LONG Open(HKEY parent, const char* path) {
        HKEY key = nullptr;
        const LONG result = RegOpenKeyA(parent, path, &key);
        return Hold(result, key);
    }
    // Opens the key below `parent`, making it (and the keys above it) when it is not there.
    LONG Create(HKEY parent, const char* path) {
        HKEY key = nullptr;
        const LONG result = RegCreateKeyA(parent, path, &key);
        return Hold(result, key);
    }
    // Reads value `name` into `data`, `*size` bytes at most; `*size` then holds what it read.
    LONG Query(const char* name, void* data, DWORD* size) const {
        return RegQueryValueExA(key_.Get(), name, nullptr, nullptr, static_cast<BYTE*>(data), size);
    }
    LONG Set(const char* name, DWORD type, const void* data, DWORD size) const {
        return RegSetValueExA(key_.Get(), name, 0, type, static_cast<const BYTE*>(data), size);
    }
    HKEY Get() const { return key_.Get(); }

private:
    // Keeps the key only when the call succeeded: a failed one may leave anything in it.
    LONG Hold(LONG result, HKEY key) {
        key_.Reset(result == ERROR_SUCCESS ? key : nullptr);
        return result;
    }

    Owned<NullHandleTraits<HKEY, &RegCloseKey>> key_;
};

}  // namespace win
