// The selection panel: preview of one selected clip, the summary of several, the command
// buttons' captions and enabled state.
#include <windows.h>
#include <commctrl.h>

#include "catalogue/Selection.h"
#include "framework/Application.h"
#include "preview/win/MoviePlayer.h"
#include "preview/win/PictureRegistry.h"
#include "ui/ClipHarborDlg.h"

std::vector<int> ClipHarborDlg::SelectedRows() const {
    std::vector<int> rows;
    int count = static_cast<int>(clipList.Send(LVM_GETSELECTEDCOUNT));
    int row = -1;
    for (int i = 0; i < count; ++i) {
        row = static_cast<int>(clipList.Send(LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
        if (row < 0) break;
        rows.push_back(row);
    }
    return rows;
}

void ClipHarborDlg::SetSelectionCaptions(bool plural) {
    copyButton.SetText(plural ? copyManyCaption : copyOneCaption);
    moveButton.SetText(plural ? moveManyCaption : moveOneCaption);
    deleteButton.SetText(plural ? deleteManyCaption : deleteOneCaption);
}

void ClipHarborDlg::SetCommandsEnabled(bool on) {
    copyButton.Enable(on);
    moveButton.Enable(on);
    deleteButton.Enable(on);
}

void ClipHarborDlg::ShowNoSelectionPanel() {
    SetSelectionCaptions(false);
    SetCommandsEnabled(false);
    previewRow = -1;
    selectionText.SetText(noSelectionText);
}

void ClipHarborDlg::ShowNoSelection() {
    if (player && player->isOpen) player->Close();
    if (placeholderPicture && !placeholderPicture->visible) placeholderPicture->visible = 1;
    RepaintPreviewArea();
    ShowNoSelectionPanel();
}

LRESULT ClipHarborDlg::OnItemChanged(NMHDR*) {
    if (rebuilding_) return 0;
    WaitCursor wait;
    std::vector<int> rows = SelectedRows();

    // The clip already in the preview stays selected alone: let it play on.
    if (rows.size() == 1 && rows[0] == previewRow) return 0;

    ReleasePreview();
    if (rows.empty()) {
        ShowNoSelectionPanel();
        return 0;
    }
    SetSelectionCaptions(rows.size() > 1);
    if (rows.size() == 1) {
        if (placeholderPicture && placeholderPicture->visible) {
            placeholderPicture->visible = 0;
            RepaintPreviewArea();
        }
        if (const ClipRecord* record = catalogue.RecordAtRow(rows[0])) player->OpenFile(record->fullPath.c_str());
        previewRow = rows[0];
    } else {
        previewRow = -1;
    }
    SetCommandsEnabled(true);
    SelectionSummary summary = SummariseSelection(catalogue, rows);
    statusText = FormatSelectionStatus(selectionFormat, summary, records.size());
    selectionText.SetText(statusText);
    return 0;
}
