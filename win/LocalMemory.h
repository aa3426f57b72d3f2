// Memory a system call allocated for the caller with LocalAlloc (FormatMessage's text buffer),
// freed when the owner goes.
#pragma once

#include <windows.h>

#include "win/Owned.h"

namespace win {

using LocalMemory = Owned<NullHandleTraits<HLOCAL, &LocalFree>>;

}  // namespace win
