// The clip list: the folder scan into the catalogue, the rows, sorting by a column and renaming
// a clip in place.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "catalogue/ClipSort.h"
#include "catalogue/Format.h"
#include "catalogue/win/FolderScan.h"
#include "framework/Application.h"
#include "preview/win/MoviePlayer.h"
#include "ui/ClipHarborDlg.h"

namespace {

const LeadBytes& AnsiLeadBytes() {
    static const LeadBytes table = LeadBytes::From([](unsigned char b) { return IsDBCSLeadByte(b) != FALSE; });
    return table;
}

// A new name must stay a name in the clip's own folder.
bool IsPlainFileName(const char* text) { return !std::strpbrk(text, "\\/:"); }

}  // namespace

void ClipHarborDlg::ScanMediaFolder() {
    WaitCursor wait;
    player->Close();
    clipList.Send(LVM_DELETEALLITEMS);
    catalogue.Clear();
    ReadMediaFolder(currentRoot, *player, catalogue);
    UpdateDiskSpace();
    RefillList();
}

void ClipHarborDlg::RefillList() {
    WaitCursor wait;
    // Rebuilding row by row with drawing on costs a repaint per row.
    rebuilding_ = true;
    clipList.Send(WM_SETREDRAW, FALSE);
    clipList.Send(LVM_DELETEALLITEMS);
    SortOrder(order, records, sortKey, AnsiLeadBytes());
    clipList.Send(LVM_SETITEMCOUNT, order.size());
    // The rows hold no copies of the texts: the list asks for the cells it draws (LVN_GETDISPINFO)
    // and gets them from the record the row shows.
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.pszText = LPSTR_TEXTCALLBACKA;
    for (size_t row = 0; row < order.size(); ++row) {
        item.iItem = static_cast<int>(row);
        clipList.Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    clipList.Send(WM_SETREDRAW, TRUE);
    InvalidateRect(clipList.hwnd(), nullptr, TRUE);
    rebuilding_ = false;
    // No row is selected after a rebuild: the panel says so, and no row number outlives the rows.
    ShowNoSelection();
}

LRESULT ClipHarborDlg::OnGetDispInfo(NMHDR* header) {
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(header)->item;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return 0;
    const ClipRecord* record = catalogue.RecordAtRow(item.iItem);
    const std::string* text = nullptr;
    if (record) {
        switch (item.iSubItem) {
        case 0: text = &record->name; break;
        case 1: text = &record->sizeText; break;
        case 2: text = &record->dateText; break;
        case 3: text = &record->durationText; break;
        default: break;
        }
    }
    lstrcpynA(item.pszText, text ? text->c_str() : "", item.cchTextMax);
    return 0;
}

LRESULT ClipHarborDlg::OnColumnClick(NMHDR* header) {
    sortKey = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
    RefillList();
    return 0;
}

// F2 starts renaming the selected clip, as it does in the system's own file lists.
LRESULT ClipHarborDlg::OnListKeyDown(NMHDR* header) {
    if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey != VK_F2) return 0;
    int row = static_cast<int>(clipList.Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row >= 0) clipList.Send(LVM_EDITLABELA, static_cast<WPARAM>(row));
    return 0;
}

LRESULT ClipHarborDlg::OnEndLabelEdit(NMHDR* header) {
    WaitCursor wait;
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    if (player->isOpen) {
        previewRow = -1;
        player->Close();
    }
    int row = static_cast<int>(clipList.Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    const ClipRecord* selected = catalogue.RecordAtRow(row);
    if (!selected) return 0;
    ClipRecord record = *selected;
    const char* text = info->item.pszText;
    if (!text || !*text || !IsPlainFileName(text)) return 0;

    std::string newPath = currentRoot + text;
    if (!MoveFileA(record.fullPath.c_str(), newPath.c_str())) return 0;

    // A renamed file that no longer opens keeps the duration it had.
    MovieInfo movieInfo{};
    if (player->ReadMovieInfo(newPath.c_str(), &movieInfo)) {
        record.seconds = ClipSeconds(movieInfo.duration, movieInfo.timeScale);
        record.durationText = FormatDuration(record.seconds);
    }
    record.name = text;
    record.fullPath = newPath;
    records[static_cast<size_t>(catalogue.IndexAtRow(row))] = record;
    RefillList();
    return 0;
}
