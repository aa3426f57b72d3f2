// An open file of the system, owned: a kernel handle, closed when the owner goes. InputFile and
// OutputFile hold one.
#pragma once

#include <windows.h>

#include "win/UniqueHandle.h"

namespace movie::repair {

class FileHandle : public win::UniqueHandle {
public:
    using win::UniqueHandle::UniqueHandle;
    // Closes it now; false when the system reports a failure (a write that did not reach the disk).
    bool Close() {
        const HANDLE h = Release();
        return h == nullptr || h == INVALID_HANDLE_VALUE || ::CloseHandle(h) != 0;
    }
};

}  // namespace movie::repair
