// A block of movable global memory (GlobalAlloc), freed when the owner goes unless handed over
// to a call that takes it (as CreateStreamOnHGlobal does when asked to).
#pragma once

#include <windows.h>

#include <cstring>

#include "win/Owned.h"

namespace win {

class GlobalMemory {
public:
    // A movable block holding a copy of `length` bytes; holds nothing when the system refuses.
    static GlobalMemory CopyOf(const void* bytes, size_t length) {
        GlobalMemory memory;
        memory.block_.Reset(GlobalAlloc(GMEM_MOVEABLE, length));
        void* data = memory.block_ ? GlobalLock(memory.block_.Get()) : nullptr;
        if (!data) {
            memory.block_.Reset();
            return memory;
        }
        std::memcpy(data, bytes, length);
        GlobalUnlock(memory.block_.Get());
        return memory;
    }

    HGLOBAL Get() const { return block_.Get(); }
    explicit operator bool() const { return static_cast<bool>(block_); }
    // Hands the block over to its new owner.
    HGLOBAL Release() { return block_.Release(); }

private:
    Owned<NullHandleTraits<HGLOBAL, &GlobalFree>> block_;
};

}  // namespace win
