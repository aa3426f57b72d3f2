// The clip list of the main window (control 1000): one row per clip of the catalogue, ordered by
// the sort column, the cells' texts, and renaming a clip in place.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "catalogue/ClipRecord.h"
#include "framework/win/Dialog.h"

class MoviePlayer;

class ClipListView {
public:
    explicit ClipListView(ClipCatalogue& catalogue) : catalogue_(catalogue) {}
    ClipListView(const ClipListView&) = delete;
    ClipListView& operator=(const ClipListView&) = delete;

    // Binds the list control of the dialog.
    void Attach(HWND dialog);
    HWND hwnd() const { return list_.hwnd(); }

    // The four columns, then full-row selection.
    void AddColumns();
    void DeleteAllRows();
    // Orders the catalogue by the sort column and rebuilds every row; no row is selected after.
    void Refill();
    // The column the rows are ordered by: 0 name, 1 size, 2 date, 3 duration.
    void SetSortKey(int column) { sortKey_ = column; }
    int SortKey() const { return sortKey_; }
    // True while Refill rebuilds the rows (the list's notifications then describe no user action).
    bool Rebuilding() const { return rebuilding_; }

    // Rows currently selected, ascending.
    std::vector<int> SelectedRows() const;
    // The text of a row's first column.
    std::string RowName(int row) const;
    // Starts editing the first selected row's name.
    void EditSelectedName();
    // The list asks for a cell's text.
    void FillCell(LVITEMA& item) const;

    enum class RenameResult { Renamed, Refused, PathTooLong };
    // Renames the clip of list row `row` to `newName` in the device folder `root` and updates its
    // record (the duration read again through `player`). Nothing changes when the name is empty,
    // when the file system refuses, or when the new path would be longer than the movie library
    // opens (PathTooLong: the clip would drop out of the list for good). The caller rebuilds the
    // rows after a rename.
    RenameResult Rename(int row, const char* newName, const std::string& root, MoviePlayer& player);

private:
    ClipCatalogue& catalogue_;
    Control list_;
    int sortKey_ = 0;
    bool rebuilding_ = false;
};
