#include "ui/SelectionPanel.h"

#include "framework/win/ResourceModule.h"
#include "resources/resource.h"

void SelectionPanel::Attach(HWND dialog) {
    copyButton_.Attach(GetDlgItem(dialog, IDC_COPY));
    moveButton_.Attach(GetDlgItem(dialog, IDC_MOVE));
    deleteButton_.Attach(GetDlgItem(dialog, IDC_DELETE));
    statusLine_.Attach(GetDlgItem(dialog, IDC_SELECTION_TEXT));
}

void SelectionPanel::ShowInitialTexts() {
    copyButton_.SetText(LoadMessage(IDS_COPY_ONE));
    moveButton_.SetText(LoadMessage(IDS_MOVE_ONE));
    deleteButton_.SetText(LoadMessage(IDS_DELETE_ONE));
    statusLine_.SetText(LoadMessage(IDS_NO_SELECTION));
}

void SelectionPanel::LoadCaptions() {
    copyOneCaption_ = LoadMessage(IDS_COPY_ONE);
    copyManyCaption_ = LoadMessage(IDS_COPY_MANY);
    moveOneCaption_ = LoadMessage(IDS_MOVE_ONE);
    moveManyCaption_ = LoadMessage(IDS_MOVE_MANY);
    deleteOneCaption_ = LoadMessage(IDS_DELETE_ONE);
    deleteManyCaption_ = LoadMessage(IDS_DELETE_MANY);
    noSelectionText_ = LoadMessage(IDS_NO_SELECTION);
    selectionFormat_ = LoadMessage(IDS_SELECTION_FORMAT);
}

void SelectionPanel::SetCaptions(bool plural) {
    copyButton_.SetText(plural ? copyManyCaption_ : copyOneCaption_);
    moveButton_.SetText(plural ? moveManyCaption_ : moveOneCaption_);
    deleteButton_.SetText(plural ? deleteManyCaption_ : deleteOneCaption_);
}

void SelectionPanel::ShowNoSelection() {
    SetCaptions(false);
    SetCommandsEnabled(false);
    statusLine_.SetText(noSelectionText_);
}

void SelectionPanel::ShowSummary(const SelectionSummary& summary, size_t recordCount) {
    SetCommandsEnabled(true);
    statusText_ = FormatSelectionStatus(selectionFormat_, summary, recordCount);
    statusLine_.SetText(statusText_);
}

void SelectionPanel::SetCommandsEnabled(bool on) {
    copyButton_.Enable(on);
    moveButton_.Enable(on);
    deleteButton_.Enable(on);
}
