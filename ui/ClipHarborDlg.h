// The main window of ClipHarbor: the device choice and the window's behaviours, each handed to the
// part that owns it (the clip list, the preview pane, the selection panel, the file operations,
// the autolaunch setting and the disk display).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "catalogue/ClipRecord.h"
#include "fileops/ClipOperations.h"
#include "framework/win/Dialog.h"
#include "settings/AutoLaunch.h"
#include "ui/ClipListView.h"
#include "ui/PreviewPane.h"
#include "ui/SelectionPanel.h"

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
    void CopySelectedClips();
    void MoveSelectedClips();
    void DeleteSelectedClips();
    void ApplyAutoLaunch();
    void DestroyWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    const ClipCatalogue& Catalogue() const { return catalogue_; }
    const ClipListView& ClipList() const { return clipList_; }
    const PreviewPane& Preview() const { return preview_; }
    const SelectionPanel& Panel() const { return panel_; }
    const std::string& CurrentRoot() const { return currentRoot_; }
    int CurrentDevice() const { return currentDevice_; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange() override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    int OnCreate(CREATESTRUCTA& create);
    void OnPaint();
    void OnLButtonDown(UINT keys, POINT at);
    LRESULT OnSetFocus(HWND losing);
    LRESULT OnKillFocus(HWND gaining);
    LRESULT OnGetDlgCode(const MSG* message);
    LRESULT OnSysCommand(UINT command, POINT);
    LRESULT OnClose();
    void OnDeviceChange() { SelectDevice(); }
    void OnColumnClick(const NMLISTVIEW& column);
    bool OnEndLabelEdit(const NMLVDISPINFOA& edit);
    void OnItemChanged(const NMLISTVIEW& change);
    void OnListKeyDown(const NMLVKEYDOWN& key);
    void OnGetDispInfo(NMLVDISPINFOA& cell);
    // No LVN_DELETEITEM for each row of the list cleared.
    bool OnDeleteAllItems(const NMLISTVIEW&) { return true; }

    // Copy and move: the destination asked for, the preview released, the files treated, the
    // folder read again.
    void TransferSelectedClips(bool move);
    // The files of the selected rows, taken before any box opens.
    std::vector<ClipFile> SelectedClipFiles() const;
    std::vector<std::string> SelectedRowPaths() const;
    void AddSystemMenuAbout();
    void FillDeviceChoice();
    void PaintIcon();
    void PaintPictures();
    // The panel and the preview after a rebuild: nothing selected, nothing previewed.
    void ShowNoSelection();

    HICON icon_ = nullptr;
    Control diskText_, diskGauge_, deviceLabel_, previewLabel_, deviceCombo_;
    std::vector<std::string> deviceRoots_;
    int deviceCount_ = 0;
    std::string currentRoot_;
    int currentDevice_ = 0;
    ClipCatalogue catalogue_;
    ClipListView clipList_{catalogue_};
    PreviewPane preview_;
    SelectionPanel panel_;
    AutoLaunch autoLaunch_;
    ClipOperations fileOps_;
    std::string copyFolder_, moveFolder_;
    DECLARE_MESSAGE_MAP()
};
