// Choosing a folder in the system's folder browser from a test, as a user would: the folder is
// selected, and OK is pressed only once the browser shows it selected. The browser walks its tree
// along the path and selects nothing where an item does not match; under Wine an item records its
// folder's access time, which the browser's own reading of the path can move on, so a first try
// can fail and a second one succeed. Header-only: the Windows tests answer a browser of their own
// thread, the end-to-end helper one of another process.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace testsupport {

// The names along a folder's path from its drive down: "D:\Movie\Media" gives D:, Movie, Media.
inline std::vector<std::string> PathNames(const std::string& folder) {
    std::vector<std::string> names;
    std::string name;
    for (char c : folder + "\\") {
        if (c != '\\') {
            name += c;
        } else if (!name.empty()) {
            names.push_back(name);
            name.clear();
        }
    }
    return names;
}

// Whether the tree's selected item and the items above it carry the path's names; the drive's
// item shows its letter within a longer name. itemText(HTREEITEM) reads an item's text.
template <class ItemText>
bool TreeSelects(HWND tree, const std::string& folder, ItemText itemText) {
    const std::vector<std::string> names = PathNames(folder);
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    for (size_t i = names.size(); i-- > 0;) {
        if (!item) return false;
        const std::string text = itemText(item);
        if (i == 0 ? text.find(names[i]) == std::string::npos : text != names[i]) return false;
        item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
    }
    return !names.empty();
}

// Selects `folder` in `browser` until its tree shows it, a few tries at most (each try settles
// the access times it read). send(path) sends BFFM_SETSELECTIONA with the path as the browser's
// process can read it.
template <class Send, class ItemText>
bool SelectInFolderBrowser(HWND browser, const std::string& folder, Send send, ItemText itemText) {
    const HWND tree = FindWindowExA(browser, nullptr, "SysTreeView32", nullptr);
    if (!tree) return false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!send(folder)) return false;
        if (TreeSelects(tree, folder, itemText)) return true;
    }
    return false;
}

}  // namespace testsupport
