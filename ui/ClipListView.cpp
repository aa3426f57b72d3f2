#include "ui/ClipListView.h"

#include <cstring>

#include "catalogue/ClipSort.h"
#include "catalogue/Format.h"
#include "framework/win/ResourceModule.h"
#include "framework/win/WaitCursor.h"
#include "preview/CountedString.h"
#include "preview/win/MoviePlayer.h"
#include "resources/resource.h"

namespace {

const LeadBytes& AnsiLeadBytes() {
    static const LeadBytes table = LeadBytes::From([](unsigned char b) { return IsDBCSLeadByte(b) != FALSE; });
    return table;
}

// A new name must stay a name in the clip's own folder.
bool IsPlainFileName(const char* text) { return !std::strpbrk(text, "\\/:"); }

}  // namespace

void ClipListView::Attach(HWND dialog) { list_.Attach(GetDlgItem(dialog, IDC_CLIP_LIST)); }

void ClipListView::AddColumns() {
    const struct {
        UINT message;
        int width;
    } columns[] = {{IDS_COLUMN_NAME, 200}, {IDS_COLUMN_SIZE, 70}, {IDS_COLUMN_DATE, 100}, {IDS_COLUMN_DURATION, 75}};
    for (int i = 0; i < 4; ++i) {
        std::string heading = LoadMessage(columns[i].message);
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = heading.data();
        column.iSubItem = i;
        list_.Send(LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    list_.Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

void ClipListView::DeleteAllRows() { list_.Send(LVM_DELETEALLITEMS); }

void ClipListView::Refill() {
    WaitCursor wait;
    // Rebuilding row by row with drawing on costs a repaint per row.
    rebuilding_ = true;
    list_.Send(WM_SETREDRAW, FALSE);
    list_.Send(LVM_DELETEALLITEMS);
    SortOrder(catalogue_.order, catalogue_.records, sortKey_, AnsiLeadBytes());
    list_.Send(LVM_SETITEMCOUNT, catalogue_.order.size());
    // The rows hold no copies of the texts: the list asks for the cells it draws (LVN_GETDISPINFO)
    // and gets them from the record the row shows.
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.pszText = LPSTR_TEXTCALLBACKA;
    for (size_t row = 0; row < catalogue_.order.size(); ++row) {
        item.iItem = static_cast<int>(row);
        list_.Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    list_.Send(WM_SETREDRAW, TRUE);
    InvalidateRect(list_.hwnd(), nullptr, TRUE);
    rebuilding_ = false;
}

std::vector<int> ClipListView::SelectedRows() const {
    std::vector<int> rows;
    int count = static_cast<int>(list_.Send(LVM_GETSELECTEDCOUNT));
    int row = -1;
    for (int i = 0; i < count; ++i) {
        row = static_cast<int>(list_.Send(LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
        if (row < 0) break;
        rows.push_back(row);
    }
    return rows;
}

std::string ClipListView::RowName(int row) const {
    // Room for any file name: a name cut short would be another file's.
    char text[1024] = {};
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    list_.Send(LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

void ClipListView::EditSelectedName() {
    int row = static_cast<int>(list_.Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row >= 0) list_.Send(LVM_EDITLABELA, static_cast<WPARAM>(row));
}

void ClipListView::FillCell(LVITEMA& item) const {
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    const ClipRecord* record = catalogue_.RecordAtRow(item.iItem);
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
}

ClipListView::RenameResult ClipListView::Rename(int row, const char* newName, const std::string& root,
                                               MoviePlayer& player) {
    const ClipRecord* selected = catalogue_.RecordAtRow(row);
    if (!selected) return RenameResult::Refused;
    ClipRecord record = *selected;
    if (!newName || !*newName || !IsPlainFileName(newName)) return RenameResult::Refused;

    std::string newPath = root + newName;
    if (newPath.size() > preview::kMaxCountedLength) return RenameResult::PathTooLong;
    if (!MoveFileA(record.fullPath.c_str(), newPath.c_str())) return RenameResult::Refused;

    // A renamed file that no longer opens keeps the duration it had.
    MovieInfo movieInfo{};
    if (player.ReadMovieInfo(newPath.c_str(), &movieInfo)) {
        record.seconds = ClipSeconds(movieInfo.duration, movieInfo.timeScale);
        record.durationText = FormatDuration(record.seconds);
    }
    record.name = newName;
    record.fullPath = newPath;
    catalogue_.records[static_cast<size_t>(catalogue_.IndexAtRow(row))] = record;
    return RenameResult::Renamed;
}
