// The dialog framework on a real dialog: creation messages reach the dialog's own handling,
// the message map routes messages, commands and notifications to typed handlers, and the modal
// run disables only its owner and ends cleanly.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestUi.h"
#include "framework/win/Application.h"
#include "framework/win/Dialog.h"
#include "framework/win/ResourceModule.h"
#include "framework/win/WaitCursor.h"
#include "resources/resource.h"

using namespace testui;

namespace {

class ProbeDialog : public Dialog {
public:
    explicit ProbeDialog(HWND owner = nullptr) : Dialog(IDD_CLIPHARBOR_DIALOG, owner) {}
    std::vector<UINT> seen;
    int copyClicks = 0, columnClicks = 0, destroys = 0;
    int lastColumn = -1;
    Control list, copy;
    bool endOnInit = false;
    bool throwOnCopy = false, throwOnInit = false;

    void DestroyWindow() override {
        ++destroys;
        Dialog::DestroyWindow();
    }

protected:
    BOOL OnInitDialog() override {
        seen.push_back(WM_INITDIALOG);
        Dialog::OnInitDialog();
        if (throwOnInit) throw std::runtime_error("initialisation failed");
        if (endOnInit) EndModal(42);
        return TRUE;
    }
    void DoDataExchange() override {
        BindControl(IDC_CLIP_LIST, list);
        BindControl(IDC_COPY, copy);
    }

private:
    LRESULT OnNcCreate(WPARAM, LPARAM) {
        seen.push_back(WM_NCCREATE);
        return Default();
    }
    int OnCreate(CREATESTRUCTA&) {
        seen.push_back(WM_CREATE);
        return static_cast<int>(Default());
    }
    void OnCopy() {
        ++copyClicks;
        if (throwOnCopy) throw std::runtime_error("handler failed");
    }
    LRESULT OnRightClick(NMHDR& header) { return header.hwndFrom == list.hwnd() ? 7 : 8; }
    void OnColumnClick(const NMLISTVIEW& column) {
        ++columnClicks;
        lastColumn = column.iSubItem;
    }
    void OnGetDispInfo(NMLVDISPINFOA& cell) {
        snprintf(cell.item.pszText, size_t(cell.item.cchTextMax), "row %d, column %d", cell.item.iItem, cell.item.iSubItem);
    }
    bool OnDeleteAllItems(const NMLISTVIEW&) { return true; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbeDialog, Dialog)
    ON_MESSAGE(WM_NCCREATE, OnNcCreate)
    ON_WM_CREATE()
    ON_COMMAND(IDC_COPY, OnCopy)
    ON_NOTIFY(NM_RCLICK, IDC_CLIP_LIST, OnRightClick)
    ON_LVN_COLUMNCLICK(IDC_CLIP_LIST, OnColumnClick)
    ON_LVN_GETDISPINFOA(IDC_CLIP_LIST, OnGetDispInfo)
    ON_LVN_DELETEALLITEMS(IDC_CLIP_LIST, OnDeleteAllItems)
END_MESSAGE_MAP()

TEST(Framework, CreationMessagesReachTheDialogInOrder) {
    ProbeDialog dlg;
    HWND hwnd = dlg.CreateModeless();
    ASSERT_TRUE(hwnd);
    EXPECT_EQ(dlg.seen, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_INITDIALOG}));
    EXPECT_EQ(dlg.list.hwnd(), GetDlgItem(hwnd, IDC_CLIP_LIST));
    EXPECT_EQ(dlg.copy.hwnd(), GetDlgItem(hwnd, IDC_COPY));
    dlg.DestroyWindow();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(dlg.hwnd(), nullptr);
}

TEST(Framework, MapRoutesCommandsAndNotifications) {
    ProbeDialog dlg;
    HWND hwnd = dlg.CreateModeless();
    ASSERT_TRUE(hwnd);
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDC_COPY, BN_CLICKED), reinterpret_cast<LPARAM>(dlg.copy.hwnd()));
    // Another code from the same control is not a click.
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDC_COPY, BN_SETFOCUS), reinterpret_cast<LPARAM>(dlg.copy.hwnd()));
    EXPECT_EQ(dlg.copyClicks, 1);

    // A notification's handler gets its own header and answers through the window's result and
    // DWLP_MSGRESULT alike; the same code from another control is not its.
    NMHDR click{dlg.list.hwnd(), IDC_CLIP_LIST, static_cast<UINT>(NM_RCLICK)};
    EXPECT_EQ(SendMessageA(hwnd, WM_NOTIFY, IDC_CLIP_LIST, reinterpret_cast<LPARAM>(&click)), 7);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, DWLP_MSGRESULT), 7);

    NMLISTVIEW nm{};
    nm.hdr = {dlg.list.hwnd(), IDC_CLIP_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
    nm.iSubItem = 3;
    EXPECT_EQ(SendMessageA(hwnd, WM_NOTIFY, IDC_CLIP_LIST, reinterpret_cast<LPARAM>(&nm)), 0);
    EXPECT_EQ(dlg.lastColumn, 3) << "the handler reads the list view's own structure";
    nm.hdr.idFrom = IDC_COPY;
    SendMessageA(hwnd, WM_NOTIFY, IDC_COPY, reinterpret_cast<LPARAM>(&nm));
    EXPECT_EQ(dlg.columnClicks, 1);

    // A handler that answers a notification with true answers TRUE.
    nm.hdr = {dlg.list.hwnd(), IDC_CLIP_LIST, static_cast<UINT>(LVN_DELETEALLITEMS)};
    EXPECT_EQ(SendMessageA(hwnd, WM_NOTIFY, IDC_CLIP_LIST, reinterpret_cast<LPARAM>(&nm)), TRUE);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, DWLP_MSGRESULT), TRUE);

    // The list itself asks for a cell: the handler writes into the list's own buffer.
    LVCOLUMNA column{};
    column.mask = LVCF_WIDTH;
    column.cx = 150;
    for (int i = 0; i < 2; ++i) dlg.list.Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    LVITEMA row{};
    row.mask = LVIF_TEXT;
    row.pszText = LPSTR_TEXTCALLBACKA;
    for (int i = 0; i < 3; ++i) {
        row.iItem = i;
        dlg.list.Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
    }
    char text[64] = {};
    LVITEMA cell{};
    cell.iSubItem = 1;
    cell.pszText = text;
    cell.cchTextMax = sizeof(text);
    dlg.list.Send(LVM_GETITEMTEXTA, 2, reinterpret_cast<LPARAM>(&cell));
    EXPECT_STREQ(text, "row 2, column 1");
    dlg.DestroyWindow();
}

// The owner given is disabled while the run lasts and enabled after; a dialog given none disables
// nothing, not even the application's main window.
TEST(Framework, AModalRunDisablesOnlyTheOwnerItWasGiven) {
    struct TestApp : Application {
        int InitInstance() override { return 0; }
    } app;
    ProbeDialog main;
    HWND mainWindow = main.CreateModeless();
    ASSERT_TRUE(mainWindow);
    app.SetMainWindow(&main);
    for (HWND owner : {mainWindow, static_cast<HWND>(nullptr)}) {
        ProbeDialog box(owner);
        bool mainEnabledDuringRun = true;
        BoxWatcher watcher([&](HWND found) {
            mainEnabledDuringRun = IsWindowEnabled(mainWindow) != FALSE;
            PostMessageA(found, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }, {mainWindow});
        EXPECT_EQ(box.DoModal(), IDCANCEL);
        EXPECT_EQ(mainEnabledDuringRun, owner == nullptr) << "owner " << owner;
        EXPECT_TRUE(IsWindowEnabled(mainWindow));
    }
    app.SetMainWindow(nullptr);
    main.DestroyWindow();
}

TEST(Framework, ModalRunEndsWithItsCodeAndDestroysThroughTheOverride) {
    ProbeDialog dlg;
    dlg.endOnInit = true;
    EXPECT_EQ(dlg.DoModal(), 42);
    EXPECT_EQ(dlg.destroys, 1);
    EXPECT_EQ(dlg.hwnd(), nullptr);
}

// An exception cannot unwind through the system's frames under the window procedure (the 32-bit
// runtime would end the process with an error box): the run ends and start-up gets 0.
TEST(Framework, AnExceptionInAHandlerEndsTheMainWindowsRunCleanly) {
    struct TestApp : Application {
        int InitInstance() override { return 0; }
    } app;
    for (bool inInit : {false, true}) {
        ProbeDialog dlg;
        dlg.throwOnCopy = !inInit;
        dlg.throwOnInit = inInit;
        int otherBoxes = 0;
        BoxWatcher watcher([&](HWND box) {
            if (box == dlg.hwnd())
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDC_COPY, BN_CLICKED), 0);
            else
                ++otherBoxes;
        });
        EXPECT_EQ(app.RunMainWindow(dlg), 0) << "in init: " << inInit;
        EXPECT_EQ(dlg.destroys, 1);
        EXPECT_EQ(dlg.hwnd(), nullptr);
        EXPECT_EQ(otherBoxes, 0);
        EXPECT_EQ(app.MainWindow(), nullptr);
    }
    // Nothing is left pending: the next run ends as usual.
    ProbeDialog next;
    next.endOnInit = true;
    EXPECT_EQ(next.DoModal(), 42);
}

TEST(Framework, EscapeCancelsAStandardDialog) {
    ProbeDialog dlg;
    // Escape reaches the dialog manager through the focused control and becomes IDCANCEL.
    BoxWatcher watcher([](HWND box) { PostMessageA(GetDlgItem(box, IDC_CLIP_LIST), WM_KEYDOWN, VK_ESCAPE, 0); });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.destroys, 1);
}

TEST(Framework, WaitCursorNests) {
    EXPECT_EQ(WaitCursor::Depth(), 0);
    {
        WaitCursor outer;
        {
            WaitCursor inner;
            EXPECT_EQ(WaitCursor::Depth(), 2);
        }
        EXPECT_EQ(WaitCursor::Depth(), 1);
    }
    EXPECT_EQ(WaitCursor::Depth(), 0);
}

TEST(Framework, LoadMessageReadsTheCatalogue) {
    if (TestLanguage() != "en_US") GTEST_SKIP();
    EXPECT_EQ(LoadMessage(IDS_COLUMN_NAME), "Name");
    EXPECT_EQ(LoadMessage(IDS_FREE), " free");
    EXPECT_EQ(LoadMessage(9999), "");
}

}  // namespace
