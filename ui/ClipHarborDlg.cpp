#include "ui/ClipHarborDlg.h"

#include <commctrl.h>

#include <cstdio>

#include "framework/Application.h"
#include "preview/win/MoviePlayer.h"
#include "preview/win/MovieServices.h"
#include "preview/win/PictureRegistry.h"
#include "resources/resource.h"
#include "catalogue/RemainingTime.h"
#include "catalogue/win/FolderScan.h"
#include "ui/AboutBox.h"

namespace {
constexpr int kPreviewX = 470, kPreviewY = 119, kPreviewWidth = 358, kPreviewHeight = 266;
constexpr int kControlBarHeight = 30;
}  // namespace

BEGIN_MESSAGE_MAP(ClipHarborDlg, Dialog)
    ON_MESSAGE(WM_CREATE, OnCreate)
    ON_MESSAGE(WM_PAINT, OnPaint)
    ON_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
    ON_MESSAGE(WM_CLOSE, OnClose)
    ON_CONTROL(CBN_SELCHANGE, IDC_DEVICE_COMBO, OnDeviceChange)
    ON_NOTIFY(LVN_ENDLABELEDITA, IDC_CLIP_LIST, OnEndLabelEdit)
    ON_NOTIFY(LVN_COLUMNCLICK, IDC_CLIP_LIST, OnColumnClick)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_CLIP_LIST, OnItemChanged)
    ON_NOTIFY(LVN_KEYDOWN, IDC_CLIP_LIST, OnListKeyDown)
    ON_NOTIFY(LVN_GETDISPINFOA, IDC_CLIP_LIST, OnGetDispInfo)
    ON_NOTIFY(LVN_DELETEALLITEMS, IDC_CLIP_LIST, OnDeleteAllItems)
END_MESSAGE_MAP()

ClipHarborDlg::ClipHarborDlg(HWND owner) : Dialog(IDD_CLIPHARBOR_DIALOG, owner) {
    WaitCursor wait;
    preview::MovieServices& movies = preview::DefaultMovieServices();
    movies.Initialize(0);
    movies.EnterMovies();
    icon = LoadIconA(Application::ResourceInstance(), MAKEINTRESOURCEA(IDI_CLIPHARBOR));
    player = new MoviePlayer();
    deviceCount = 0;
}

ClipHarborDlg::~ClipHarborDlg() {
    // A window object that never ran still owns its player and the started library.
    if (player) DestroyWindow();
}

void ClipHarborDlg::SetDevices(const std::vector<std::string>& roots) {
    deviceRoots = roots;
    deviceCount = static_cast<int>(roots.size());
    currentRoot = roots.empty() ? std::string() : roots.front();
}

void ClipHarborDlg::DoDataExchange() {
    BindControl(IDC_DISK_TEXT, diskText);
    BindControl(IDC_COPY, copyButton);
    BindControl(IDC_MOVE, moveButton);
    BindControl(IDC_DELETE, deleteButton);
    BindControl(IDC_AUTOLAUNCH, autoLaunchCheck);
    BindControl(IDC_DEVICE_LABEL, deviceLabel);
    BindControl(IDC_PREVIEW_LABEL, previewLabel);
    BindControl(IDC_SELECTION_TEXT, selectionText);
    BindControl(IDC_PREVIEW_FRAME, previewFrame);
    BindControl(IDC_DEVICE_COMBO, deviceCombo);
    BindControl(IDC_CLIP_LIST, clipList);
    BindControl(IDC_DISK_GAUGE, diskGauge);
}

LRESULT ClipHarborDlg::OnCreate(WPARAM, LPARAM lParam) {
    if (Default() == -1) return -1;
    player->AttachWindow(hwnd(), reinterpret_cast<CREATESTRUCTA*>(lParam));
    return 0;
}

BOOL ClipHarborDlg::OnInitDialog() {
    WaitCursor wait;
    Dialog::OnInitDialog();

    if (HMENU sysMenu = GetSystemMenu(hwnd(), FALSE)) {
        std::string about = LoadMessage(IDS_ABOUTBOX);
        if (!about.empty()) {
            AppendMenuA(sysMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(sysMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }

    player->SetPosition(kPreviewX, kPreviewY);
    player->ClearTopLeft();
    player->SetSize(kPreviewWidth, kPreviewHeight);

    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

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
        clipList.Send(LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }

    copyButton.SetText(LoadMessage(IDS_COPY_ONE));
    moveButton.SetText(LoadMessage(IDS_MOVE_ONE));
    deleteButton.SetText(LoadMessage(IDS_DELETE_ONE));

    RegisterPicture(hwnd(), IDR_BANNER, 180, 0);
    placeholderPicture = RegisterPicture(hwnd(), IDR_LOGO, 488, 140);

    deviceLabel.SetText(LoadMessage(IDS_MOUNTED));
    LoadAutoLaunch();
    previewLabel.SetText(LoadMessage(IDS_PREVIEW));

    for (int i = 0; i < deviceCount; ++i) {
        char entry[32];
        snprintf(entry, sizeof(entry), "TWDV #%2d", i + 1);
        deviceCombo.Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
    currentDevice = 0;
    deviceCombo.Send(CB_SETCURSEL, 0);
    deviceCombo.Enable(deviceCount != 1);

    selectionText.SetText(LoadMessage(IDS_NO_SELECTION));
    clipList.Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    previewRow = -1;
    sortKey = 0;

    ShowWindow(hwnd(), SW_SHOW);
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);

    copyOneCaption = LoadMessage(IDS_COPY_ONE);
    copyManyCaption = LoadMessage(IDS_COPY_MANY);
    moveOneCaption = LoadMessage(IDS_MOVE_ONE);
    moveManyCaption = LoadMessage(IDS_MOVE_MANY);
    deleteOneCaption = LoadMessage(IDS_DELETE_ONE);
    deleteManyCaption = LoadMessage(IDS_DELETE_MANY);
    noSelectionText = LoadMessage(IDS_NO_SELECTION);
    selectionFormat = LoadMessage(IDS_SELECTION_FORMAT);

    ScanMediaFolder();
    return TRUE;
}

void ClipHarborDlg::LoadAutoLaunch() {
    DWORD value = 0;
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zelkor\\Tidewell DV\\ClipHarbor 1.0\\", &key) == ERROR_SUCCESS) {
        DWORD size = sizeof(value);
        if (RegQueryValueExA(key, "AutoLaunch", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS)
            value = 0;
        RegCloseKey(key);
    }
    autoLaunchCheck.Send(BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED);
    autoLaunchCheck.SetText(LoadMessage(IDS_AUTOLAUNCH));
}

void ClipHarborDlg::SelectDevice() {
    LRESULT index = deviceCombo.Send(CB_GETCURSEL);
    if (index == currentDevice || index < 0 || index >= deviceCount) return;
    currentDevice = static_cast<int>(index);
    currentRoot = deviceRoots[static_cast<size_t>(currentDevice)];
    ScanMediaFolder();
}

LRESULT ClipHarborDlg::OnPaint(WPARAM wParam, LPARAM) {
    if (IsIconic(hwnd())) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd(), &ps);
        SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        RECT client;
        GetClientRect(hwnd(), &client);
        int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(dc, x, y, icon);
        EndPaint(hwnd(), &ps);
        return 0;
    }
    (void)wParam;
    if (player && player->isOpen && player->GetMovie() != preview::MovieHandle::None)
        preview::DefaultMovieServices().UpdateMovie(player->GetMovie());
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd(), &ps);
    DrawPictures(hwnd(), dc);
    EndPaint(hwnd(), &ps);
    return 0;
}

LRESULT ClipHarborDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND self = hwnd();
    if (message == WM_ERASEBKGND) {
        if (player) player->HandleWindowMessage(self, message, wParam, lParam);
        return Dialog::WindowProc(message, wParam, lParam);
    }
    LRESULT result = Dialog::WindowProc(message, wParam, lParam);
    if (player) player->HandleWindowMessage(self, message, wParam, lParam);
    return result;
}

LRESULT ClipHarborDlg::OnSysCommand(WPARAM wParam, LPARAM) {
    if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        AboutBox about(nullptr);
        about.DoModal();
        return 0;
    }
    return Default();
}

RECT ClipHarborDlg::PreviewArea() const {
    if (!player) return RECT{kPreviewX, kPreviewY, kPreviewX + kPreviewWidth, kPreviewY + kPreviewHeight + kControlBarHeight};
    int x = player->GetX(), y = player->GetY();
    return RECT{x, y, x + player->GetWidth(), y + player->GetHeight() + kControlBarHeight};
}

void ClipHarborDlg::RepaintPreviewArea() {
    if (!hwnd()) return;
    RECT area = PreviewArea();
    InvalidateRect(hwnd(), &area, TRUE);
    RedrawWindow(hwnd(), &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void ClipHarborDlg::ReleasePreview() {
    if (!player || !player->isOpen) return;
    if (placeholderPicture) placeholderPicture->visible = 1;
    player->Close();
    RepaintPreviewArea();
}

LRESULT ClipHarborDlg::OnClose(WPARAM, LPARAM) {
    ReleasePreview();
    DestroyWindow();
    return Default();
}

void ClipHarborDlg::DestroyWindow() {
    if (player) {
        player->DetachWindow();
        delete player;
        player = nullptr;
    }
    preview::MovieServices& movies = preview::DefaultMovieServices();
    movies.ExitMovies();
    movies.Terminate();
    Dialog::DestroyWindow();
}

void ClipHarborDlg::UpdateDiskSpace() {
    WaitCursor wait;
    std::string driveRoot = currentRoot.substr(0, 3);
    uint64_t freeBytes = 0, totalBytes = 0;
    if (!GetFreeBytes(driveRoot.c_str(), freeBytes) || !GetTotalBytes(driveRoot.c_str(), totalBytes)) return;
    diskGauge.Send(PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    diskGauge.Send(PBM_SETPOS, static_cast<WPARAM>(DiskPercent(freeBytes, totalBytes)));
    diskText.SetText(DiskSpaceText(freeBytes, records, LoadMessage(IDS_FREE)));
}
