#include "ui/ClipHarborDlg.h"

#include <commctrl.h>

#include <cstdio>

#include "catalogue/Selection.h"
#include "catalogue/win/DiskSpace.h"
#include "catalogue/win/FolderScan.h"
#include "fileops/ChooseFolder.h"
#include "framework/win/ResourceModule.h"
#include "framework/win/WaitCursor.h"
#include "preview/win/MovieServices.h"
#include "preview/win/PictureRegistry.h"
#include "resources/resource.h"
#include "ui/AboutBox.h"
#include "win/PaintDC.h"

BEGIN_MESSAGE_MAP(ClipHarborDlg, Dialog)
    ON_WM_CREATE()
    ON_WM_PAINT()
    ON_WM_LBUTTONDOWN()
    ON_WM_SETFOCUS()
    ON_WM_KILLFOCUS()
    ON_WM_GETDLGCODE()
    ON_WM_SYSCOMMAND()
    ON_WM_CLOSE()
    ON_COMMAND(IDC_COPY, CopySelectedClips)
    ON_COMMAND(IDC_MOVE, MoveSelectedClips)
    ON_COMMAND(IDC_DELETE, DeleteSelectedClips)
    ON_COMMAND(IDC_AUTOLAUNCH, ApplyAutoLaunch)
    ON_CONTROL(CBN_SELCHANGE, IDC_DEVICE_COMBO, OnDeviceChange)
    ON_LVN_ENDLABELEDITA(IDC_CLIP_LIST, OnEndLabelEdit)
    ON_LVN_COLUMNCLICK(IDC_CLIP_LIST, OnColumnClick)
    ON_LVN_ITEMCHANGED(IDC_CLIP_LIST, OnItemChanged)
    ON_LVN_KEYDOWN(IDC_CLIP_LIST, OnListKeyDown)
    ON_LVN_GETDISPINFOA(IDC_CLIP_LIST, OnGetDispInfo)
    ON_LVN_DELETEALLITEMS(IDC_CLIP_LIST, OnDeleteAllItems)
END_MESSAGE_MAP()

ClipHarborDlg::ClipHarborDlg(HWND owner) : Dialog(IDD_CLIPHARBOR_DIALOG, owner) {
    WaitCursor wait;
    preview::MovieServices& movies = preview::DefaultMovieServices();
    movies.Initialize(0);
    movies.EnterMovies();
    icon_ = LoadIconA(ResourceInstance(), MAKEINTRESOURCEA(IDI_CLIPHARBOR));
    preview_.CreatePlayer();
    deviceCount_ = 0;
}

ClipHarborDlg::~ClipHarborDlg() {
    // A window object that never ran still owns its player and the started library.
    if (preview_.HasPlayer()) DestroyWindow();
}

void ClipHarborDlg::SetDevices(const std::vector<std::string>& roots) {
    deviceRoots_ = roots;
    deviceCount_ = static_cast<int>(roots.size());
    currentRoot_ = roots.empty() ? std::string() : roots.front();
}

void ClipHarborDlg::DoDataExchange() {
    BindControl(IDC_DISK_TEXT, diskText_);
    BindControl(IDC_DISK_GAUGE, diskGauge_);
    BindControl(IDC_DEVICE_LABEL, deviceLabel_);
    BindControl(IDC_PREVIEW_LABEL, previewLabel_);
    BindControl(IDC_DEVICE_COMBO, deviceCombo_);
    clipList_.Attach(hwnd());
    panel_.Attach(hwnd());
    autoLaunch_.Attach(hwnd());
    fileOps_.SetOwner(hwnd());
}

int ClipHarborDlg::OnCreate(CREATESTRUCTA& create) {
    if (Default() == -1) return -1;
    preview_.AttachWindow(hwnd(), &create);
    return 0;
}

BOOL ClipHarborDlg::OnInitDialog() {
    WaitCursor wait;
    Dialog::OnInitDialog();
    AddSystemMenuAbout();
    preview_.Place(hwnd());
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    clipList_.AddColumns();
    panel_.ShowInitialTexts();
    RegisterPicture(hwnd(), IDR_BANNER, 180, 0);
    preview_.RegisterPlaceholder();
    deviceLabel_.SetText(LoadMessage(IDS_MOUNTED));
    autoLaunch_.Load();
    previewLabel_.SetText(LoadMessage(IDS_PREVIEW));
    FillDeviceChoice();
    preview_.ForgetRow();
    clipList_.SetSortKey(0);

    ShowWindow(hwnd(), SW_SHOW);
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    panel_.LoadCaptions();
    ScanMediaFolder();
    return TRUE;
}

void ClipHarborDlg::AddSystemMenuAbout() {
    HMENU sysMenu = GetSystemMenu(hwnd(), FALSE);
    if (!sysMenu) return;
    std::string about = LoadMessage(IDS_ABOUTBOX);
    if (about.empty()) return;
    AppendMenuA(sysMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(sysMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
}

void ClipHarborDlg::FillDeviceChoice() {
    for (int i = 0; i < deviceCount_; ++i) {
        char entry[32];
        snprintf(entry, sizeof(entry), "TWDV #%2d", i + 1);
        deviceCombo_.Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
    currentDevice_ = 0;
    deviceCombo_.Send(CB_SETCURSEL, 0);
    deviceCombo_.Enable(deviceCount_ != 1);
}

void ClipHarborDlg::SelectDevice() {
    LRESULT index = deviceCombo_.Send(CB_GETCURSEL);
    if (index == currentDevice_ || index < 0 || index >= deviceCount_) return;
    currentDevice_ = static_cast<int>(index);
    currentRoot_ = deviceRoots_[static_cast<size_t>(currentDevice_)];
    ScanMediaFolder();
}

void ClipHarborDlg::ScanMediaFolder() {
    WaitCursor wait;
    preview_.CloseMovie();
    clipList_.DeleteAllRows();
    catalogue_.Clear();
    if (MoviePlayer* player = preview_.Player()) ReadMediaFolder(currentRoot_, *player, catalogue_);
    UpdateDiskSpace();
    RefillList();
}

void ClipHarborDlg::UpdateDiskSpace() {
    WaitCursor wait;
    std::optional<DiskDisplay> display = ReadDiskDisplay(currentRoot_, catalogue_.records, LoadMessage(IDS_FREE));
    if (!display) return;
    diskGauge_.Send(PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    diskGauge_.Send(PBM_SETPOS, static_cast<WPARAM>(display->percent));
    diskText_.SetText(display->text);
}

void ClipHarborDlg::RefillList() {
    WaitCursor wait;
    clipList_.Refill();
    // No row is selected after a rebuild: the panel says so, and no row number outlives the rows.
    ShowNoSelection();
}

void ClipHarborDlg::ShowNoSelection() {
    preview_.Clear();
    panel_.ShowNoSelection();
}

void ClipHarborDlg::OnGetDispInfo(NMLVDISPINFOA& cell) { clipList_.FillCell(cell.item); }

void ClipHarborDlg::OnColumnClick(const NMLISTVIEW& column) {
    clipList_.SetSortKey(column.iSubItem);
    RefillList();
}

// F2 starts renaming the selected clip, as it does in the system's own file lists.
void ClipHarborDlg::OnListKeyDown(const NMLVKEYDOWN& key) {
    if (key.wVKey == VK_F2) clipList_.EditSelectedName();
}

// The list keeps its old label: a rename rebuilds the rows with the new name.
bool ClipHarborDlg::OnEndLabelEdit(const NMLVDISPINFOA& edit) {
    WaitCursor wait;
    preview_.CloseForRename();
    // The row whose label was edited: a click on another row that ends the edit has moved the
    // selection there already.
    MoviePlayer* player = preview_.Player();
    if (!player) return false;
    switch (clipList_.Rename(edit.item.iItem, edit.item.pszText, currentRoot_, *player)) {
    case ClipListView::RenameResult::Renamed: RefillList(); break;
    case ClipListView::RenameResult::PathTooLong: fileOps_.ReportError(ERROR_FILENAME_EXCED_RANGE); break;
    case ClipListView::RenameResult::Refused: break;
    }
    return false;
}

void ClipHarborDlg::OnItemChanged(const NMLISTVIEW&) {
    if (clipList_.Rebuilding()) return;
    WaitCursor wait;
    std::vector<int> rows = clipList_.SelectedRows();

    // The clip already in the preview stays selected alone: let it play on.
    if (rows.size() == 1 && rows[0] == preview_.Row()) return;

    ReleasePreview();
    if (rows.empty()) {
        panel_.ShowNoSelection();
        preview_.ForgetRow();
        return;
    }
    panel_.SetCaptions(rows.size() > 1);
    if (rows.size() == 1) {
        const ClipRecord* record = catalogue_.RecordAtRow(rows[0]);
        preview_.Show(rows[0], record ? record->fullPath : std::string());
    } else {
        preview_.ForgetRow();
    }
    panel_.ShowSummary(SummariseSelection(catalogue_, rows), catalogue_.Count());
}

void ClipHarborDlg::ApplyAutoLaunch() { autoLaunch_.Apply(); }

void ClipHarborDlg::CopySelectedClips() { TransferSelectedClips(false); }

void ClipHarborDlg::MoveSelectedClips() { TransferSelectedClips(true); }

void ClipHarborDlg::TransferSelectedClips(bool move) {
    std::vector<ClipFile> files = SelectedClipFiles();
    if (files.empty()) return;
    std::string& folder = move ? moveFolder_ : copyFolder_;
    // The browser has no owner: the window may have been closed while it was open.
    if (!ChooseFolder(folder) || !hwnd()) return;
    WaitCursor wait;
    ReleasePreview();
    if (move)
        fileOps_.MoveFiles(files, folder);
    else
        fileOps_.CopyFiles(files, folder);
    ScanMediaFolder();
}

void ClipHarborDlg::DeleteSelectedClips() {
    std::vector<std::string> paths = SelectedRowPaths();
    if (paths.empty() || !fileOps_.ConfirmDelete(paths.size())) return;
    WaitCursor wait;
    preview_.ReleaseForDelete();
    fileOps_.DeleteFiles(paths);
    ScanMediaFolder();
}

std::vector<ClipFile> ClipHarborDlg::SelectedClipFiles() const {
    std::vector<ClipFile> files;
    for (int row : clipList_.SelectedRows()) {
        if (const ClipRecord* record = catalogue_.RecordAtRow(row)) files.push_back({record->fullPath, record->name});
    }
    return files;
}

// Delete names a row's file by the text the row shows, in the current device folder.
std::vector<std::string> ClipHarborDlg::SelectedRowPaths() const {
    std::vector<std::string> paths;
    for (int row : clipList_.SelectedRows()) paths.push_back(currentRoot_ + clipList_.RowName(row));
    return paths;
}

void ClipHarborDlg::OnPaint() {
    if (IsIconic(hwnd())) {
        PaintIcon();
        return;
    }
    // The movie is asked to draw again before the pictures; its controller draws on the WM_PAINT
    // that WindowProc forwards after this.
    preview_.UpdateMovie();
    PaintPictures();
}

// A press on the movie gives it the keys before the controller hears the press.
void ClipHarborDlg::OnLButtonDown(UINT, POINT at) {
    preview_.TakeKeys(at);
    Default();
}

// The dialog manager would hand the focus on to a control: while the movie has the keys the
// window keeps it, so that its keys reach the controller.
LRESULT ClipHarborDlg::OnSetFocus(HWND) { return preview_.HasKeys() ? 0 : Default(); }

LRESULT ClipHarborDlg::OnKillFocus(HWND gaining) {
    preview_.FocusLeaving(gaining);
    return Default();
}

// The dialog manager asks before it takes a key for itself (Enter for the default button, the
// arrows for moving between controls): the movie's keys are left to the movie.
LRESULT ClipHarborDlg::OnGetDlgCode(const MSG* message) {
    return preview_.WantsKey(message) ? DLGC_WANTMESSAGE : Default();
}

void ClipHarborDlg::PaintIcon() {
    const win::PaintDC paint(hwnd());
    HDC dc = paint.Get();
    SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(hwnd(), &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
}

void ClipHarborDlg::PaintPictures() {
    const win::PaintDC paint(hwnd());
    DrawPictures(hwnd(), paint.Get());
}

// The player hears every message of the window: erasing before the window handles it, every other
// message after.
LRESULT ClipHarborDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND self = hwnd();
    if (message == WM_ERASEBKGND) {
        preview_.Forward(self, message, wParam, lParam);
        return Dialog::WindowProc(message, wParam, lParam);
    }
    LRESULT result = Dialog::WindowProc(message, wParam, lParam);
    preview_.Forward(self, message, wParam, lParam);
    return result;
}

LRESULT ClipHarborDlg::OnSysCommand(UINT command, POINT) {
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        AboutBox about(hwnd());
        about.DoModal();
        return 0;
    }
    return Default();
}

void ClipHarborDlg::ReleasePreview() { preview_.Release(); }

LRESULT ClipHarborDlg::OnClose() {
    ReleasePreview();
    DestroyWindow();
    return Default();
}

void ClipHarborDlg::DestroyWindow() {
    preview_.DestroyPlayer();
    preview::MovieServices& movies = preview::DefaultMovieServices();
    movies.ExitMovies();
    movies.Terminate();
    Dialog::DestroyWindow();
}
