// The main window of ClipHarbor: the device choice, the clip list, the preview with its player,
// the selection panel and the disk display.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "catalogue/ClipRecord.h"
#include "framework/Dialog.h"

class MoviePlayer;
struct PictureEntry;

class ClipHarborDlg : public Dialog {
public:
    explicit ClipHarborDlg(HWND owner = nullptr);
    ~ClipHarborDlg() override;

    // Hands the device list over before the window runs; the first entry becomes current.
    void SetDevices(const std::vector<std::string>& roots);

    void SelectDevice();
    void ReleasePreview();
    void ScanMediaFolder();
    void UpdateDiskSpace();
    void RefillList();
    void DestroyWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The preview area: the movie rectangle plus the control bar below it.
    RECT PreviewArea() const;
    // Rows currently selected in the list, ascending.
    std::vector<int> SelectedRows() const;

    MoviePlayer* player = nullptr;
    HICON icon = nullptr;
    Control diskText, copyButton, moveButton, deleteButton, autoLaunchCheck;
    Control deviceLabel, previewLabel, selectionText, previewFrame, deviceCombo, clipList, diskGauge;
    std::vector<std::string> deviceRoots;
    int deviceCount = 0;
    std::string currentRoot;
    int currentDevice = 0;
    int previewRow = -1;
    ClipCatalogue catalogue;  // records and order
    std::vector<ClipRecord>& records = catalogue.records;
    std::vector<int32_t>& order = catalogue.order;
    int sortKey = 0;
    PictureEntry* placeholderPicture = nullptr;
    std::string copyOneCaption, copyManyCaption, moveOneCaption, moveManyCaption, deleteOneCaption,
        deleteManyCaption, noSelectionText, selectionFormat, statusText;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange() override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    LRESULT OnCreate(WPARAM, LPARAM);
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnSysCommand(WPARAM, LPARAM);
    LRESULT OnClose(WPARAM, LPARAM);
    void OnDeviceChange() { SelectDevice(); }
    LRESULT OnColumnClick(NMHDR*);
    LRESULT OnEndLabelEdit(NMHDR*);
    LRESULT OnItemChanged(NMHDR*);
    LRESULT OnListKeyDown(NMHDR*);
    LRESULT OnGetDispInfo(NMHDR*);
    LRESULT OnDeleteAllItems(NMHDR*) { return TRUE; }

    void LoadAutoLaunch();
    void RepaintPreviewArea();
    void SetSelectionCaptions(bool plural);
    void SetCommandsEnabled(bool on);
    // The panel for an empty selection; ShowNoSelection also closes the preview.
    void ShowNoSelectionPanel();
    void ShowNoSelection();

    bool rebuilding_ = false;
    DECLARE_MESSAGE_MAP()
};
