// A module this program loaded itself (LoadLibraryExA), freed when the owner goes.
#pragma once

#include <windows.h>

#include "win/Owned.h"

namespace win {

using LoadedModule = Owned<NullHandleTraits<HMODULE, &FreeLibrary>>;

}  // namespace win
