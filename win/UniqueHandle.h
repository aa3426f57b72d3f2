// A kernel object's handle (thread, event, file, ...), closed when the owner goes. The calls that
// make one answer null or INVALID_HANDLE_VALUE for none; both hold nothing here.
#pragma once

#include <windows.h>

#include "win/Owned.h"

namespace win {

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle None() { return nullptr; }
    static bool Valid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

using UniqueHandle = Owned<KernelHandleTraits>;

}  // namespace win
