// The selection panel of the main window: the captions and enabled state of the copy, move and
// delete buttons and the status line above the preview, drawn from a summary of the selection.
#pragma once

#include <windows.h>

#include <string>

#include "catalogue/Selection.h"
#include "framework/win/Dialog.h"

class SelectionPanel {
public:
    // Binds the three buttons and the status line of the dialog.
    void Attach(HWND dialog);
    // The layout's first texts: singular captions and "No Selection".
    void ShowInitialTexts();
    // The texts the panel is drawn from, loaded once.
    void LoadCaptions();

    // Singular captions for no or one selected row, plural for several.
    void SetCaptions(bool plural);
    // No row selected: singular captions, the buttons disabled, "No Selection".
    void ShowNoSelection();
    // Rows selected: the buttons enabled and the status line summing them up.
    void ShowSummary(const SelectionSummary& summary, size_t recordCount);
    const std::string& StatusText() const { return statusText_; }

private:
    void SetCommandsEnabled(bool on);

    Control copyButton_, moveButton_, deleteButton_, statusLine_;
    std::string copyOneCaption_, copyManyCaption_, moveOneCaption_, moveManyCaption_, deleteOneCaption_,
        deleteManyCaption_, noSelectionText_, selectionFormat_, statusText_;
};
