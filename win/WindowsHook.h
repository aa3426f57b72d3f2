// A hook in one of the system's hook chains (SetWindowsHookExA), taken out when the owner goes.
#pragma once

#include <windows.h>

#include "win/Owned.h"

namespace win {

using WindowsHook = Owned<NullHandleTraits<HHOOK, &UnhookWindowsHookEx>>;

}  // namespace win
