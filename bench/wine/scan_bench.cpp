// Timed scenario under Wine: a device folder of N clips (hard links of one corpus clip) scanned
// and listed by the main window, and a column click on it; against two peers measured in the
// same run: the system's own listing of the folder (cmd /c dir) and the row sort done by
// neighbour exchanges.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "WineBench.h"
#include "catalogue/ClipSort.h"
#include "resources/resource.h"
#include "ui/ClipHarborDlg.h"

using namespace winebench;

namespace {

void ClearFolder(const std::string& folder) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "*.mov").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do DeleteFileA((folder + fd.cFileName).c_str());
    while (FindNextFileA(h, &fd));
    FindClose(h);
}

void MakeFolder(const std::string& folder, const std::string& clip, int count) {
    ClearFolder(folder);
    CreateDirectoryA(folder.substr(0, folder.size() - 7).c_str(), nullptr);  // "X:\Movie\"
    CreateDirectoryA(folder.c_str(), nullptr);
    char name[64];
    for (int i = 0; i < count; ++i) {
        snprintf(name, sizeof(name), "clip%05d.mov", (i * 7919) % count);
        std::string path = folder + name;
        if (!CreateHardLinkA(path.c_str(), clip.c_str(), nullptr))
            CopyFileA(clip.c_str(), path.c_str(), TRUE);
    }
}

double TimeSystemListing(const std::string& folder) { return TimeCommand("cmd /c dir \"" + folder + "\" >NUL"); }

// The row sort the plain way: n passes of neighbour exchanges.
double TimeNeighbourExchange(std::vector<int32_t> order, const std::vector<ClipRecord>& records, int key) {
    auto start = std::chrono::steady_clock::now();
    size_t n = order.size();
    for (size_t pass = 0; pass < n; ++pass)
        for (size_t i = 0; i + 1 < n; ++i)
            if (RecordGreater(records[order[i]], records[order[i + 1]], key, LeadBytes{})) std::swap(order[i], order[i + 1]);
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: scan_bench CLIP DRIVE-LETTER [COUNTS...]\n");
        return 2;
    }
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    std::string clip = argv[1];
    std::vector<int> counts;
    for (int i = 3; i < argc; ++i) counts.push_back(atoi(argv[i]));
    if (counts.empty()) counts = {1000, 5000, 10000};

    printf("%-7s %-9s %-9s %-8s %-9s %-9s %-10s\n", "clips", "scan+list", "dir-peer", "ratio", "click", "click-2", "exchange");
    for (int count : counts) {
        std::string folder = std::string(1, argv[2][0]) + ":\\Movie\\Media\\";
        MakeFolder(folder, clip, count);
        ClipHarborDlg dlg(nullptr);
        dlg.SetDevices({folder});
        if (!dlg.CreateModeless()) return 1;
        Pump();
        // Hot cache: the window's own first scan has read every file once.
        auto start = std::chrono::steady_clock::now();
        dlg.ScanMediaFolder();
        double scan = Seconds(start);
        Pump();
        double listing = TimeSystemListing(folder);

        NMLISTVIEW nm{};
        nm.hdr = {dlg.ClipList().hwnd(), IDC_CLIP_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
        nm.iSubItem = 1;
        start = std::chrono::steady_clock::now();
        SendMessageA(dlg.hwnd(), WM_NOTIFY, IDC_CLIP_LIST, reinterpret_cast<LPARAM>(&nm));
        double click = Seconds(start);
        nm.iSubItem = 0;
        start = std::chrono::steady_clock::now();
        SendMessageA(dlg.hwnd(), WM_NOTIFY, IDC_CLIP_LIST, reinterpret_cast<LPARAM>(&nm));
        double click2 = Seconds(start);
        Pump();
        double exchange = count <= 10000 ? TimeNeighbourExchange(dlg.Catalogue().order, dlg.Catalogue().records, 0) : -1;
        int rows = static_cast<int>(SendMessageA(dlg.ClipList().hwnd(), LVM_GETITEMCOUNT, 0, 0));
        printf("%-7d %-9.3f %-9.3f %-8.2f %-9.3f %-9.3f %-10.3f rows=%d\n", count, scan, listing, scan / listing, click,
               click2, exchange, rows);
        SendMessageA(dlg.hwnd(), WM_CLOSE, 0, 0);
        Pump();
    }
    OleUninitialize();
    return 0;
}
