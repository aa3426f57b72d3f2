// A test fixture for the main window on the test drives: opening it, reading its rows and
// controls as a user sees them, and acting on its list as the list control does.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestUi.h"
#include "resources/resource.h"
#include "ui/ClipHarborDlg.h"

namespace testui {

struct Row {
    std::string name, size, date, duration;
    bool operator==(const Row&) const = default;
};

inline std::string CellText(HWND list, int row, int column) {
    char buffer[512] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

// The main window opened modeless on device folders of the test drives, and what a user sees of it.
class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        for (char d : {'D', 'E'}) {
            ClearDrive(d);
            MakeMediaFolder(d);
        }
    }
    void TearDown() override {
        if (dlg) {
            if (dlg->hwnd()) SendMessageA(dlg->hwnd(), WM_CLOSE, 0, 0);
            dlg.reset();
        }
        Pump();
    }

    void Open(std::vector<std::string> roots = {MediaFolder('D')}) {
        dlg = std::make_unique<ClipHarborDlg>(nullptr);
        dlg->SetDevices(roots);
        ASSERT_TRUE(dlg->CreateModeless());
        Pump();
    }
    HWND List() const { return dlg->ClipList().hwnd(); }
    HWND Item(int id) const { return GetDlgItem(dlg->hwnd(), id); }
    std::string ItemText(int id) const { return WindowText(Item(id)); }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    int RowCount() const { return static_cast<int>(SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0)); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int r = 0; r < RowCount(); ++r) names.push_back(CellText(List(), r, 0));
        return names;
    }
    Row RowAt(int r) const { return {CellText(List(), r, 0), CellText(List(), r, 1), CellText(List(), r, 2), CellText(List(), r, 3)}; }

    // What the list control sends on a click of a column heading.
    void ClickColumn(int column) {
        NMLISTVIEW nm{};
        nm.hdr = {List(), IDC_CLIP_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
        nm.iItem = -1;
        nm.iSubItem = column;
        SendMessageA(dlg->hwnd(), WM_NOTIFY, IDC_CLIP_LIST, reinterpret_cast<LPARAM>(&nm));
    }
    // What the list control sends when a label edit ends; null text is a cancelled edit.
    LRESULT EndEdit(int row, const char* text) {
        NMLVDISPINFOA nm{};
        nm.hdr = {List(), IDC_CLIP_LIST, static_cast<UINT>(LVN_ENDLABELEDITA)};
        nm.item.iItem = row;
        nm.item.pszText = const_cast<char*>(text);
        return SendMessageA(dlg->hwnd(), WM_NOTIFY, IDC_CLIP_LIST, reinterpret_cast<LPARAM>(&nm));
    }
    // Selects exactly these rows through the list control (which reports the changes).
    void Select(std::vector<int> rows) {
        LVITEMA none{};
        none.stateMask = LVIS_SELECTED;
        none.state = 0;
        SendMessageA(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        for (int r : rows) {
            LVITEMA item{};
            item.stateMask = LVIS_SELECTED;
            item.state = LVIS_SELECTED;
            SendMessageA(List(), LVM_SETITEMSTATE, r, reinterpret_cast<LPARAM>(&item));
        }
        Pump();
    }
    std::string Status() const { return ItemText(IDC_SELECTION_TEXT); }

    std::unique_ptr<ClipHarborDlg> dlg;
};

}  // namespace testui
