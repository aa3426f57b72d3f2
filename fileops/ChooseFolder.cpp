#include "fileops/ChooseFolder.h"

#include <windows.h>
#include <shlobj.h>

#include "win/ComRef.h"

bool ChooseFolder(std::string& folder) {
    folder.clear();
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) return false;
    win::ComRef<IMalloc> shellMemory(allocator);

    BROWSEINFOA browse{};
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST item = SHBrowseForFolderA(&browse);
    if (!item) return false;
    char path[MAX_PATH] = {};
    const bool chosen = SHGetPathFromIDListA(item, path) != FALSE;
    shellMemory->Free(item);
    if (chosen) folder = path;
    return chosen;
}
