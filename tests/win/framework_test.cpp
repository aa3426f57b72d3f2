// The dialog framework on a real dialog: creation messages reach the dialog's own handling,
// the message map routes messages, commands and notifications, and the modal run ends cleanly.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "TestUi.h"
#include "framework/Application.h"
#include "framework/Dialog.h"
#include "resources/resource.h"

using namespace testui;

namespace {

class ProbeDialog : public Dialog {
public:
    ProbeDialog() : Dialog(IDD_CLIPHARBOR_DIALOG, nullptr) {}
    std::vector<UINT> seen;
    int copyClicks = 0, columnClicks = 0, destroys = 0;
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
    LRESULT OnCreate(WPARAM, LPARAM) {
        seen.push_back(WM_CREATE);
        return Default();
    }
    void OnCopy() {
        ++copyClicks;
        if (throwOnCopy) throw std::runtime_error("handler failed");
    }
    LRESULT OnColumn(NMHDR*) {
        ++columnClicks;
        return 7;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbeDialog, Dialog)
    ON_MESSAGE(WM_NCCREATE, OnNcCreate)
    ON_MESSAGE(WM_CREATE, OnCreate)
    ON_COMMAND(IDC_COPY, OnCopy)
    ON_NOTIFY(LVN_COLUMNCLICK, IDC_CLIP_LIST, OnColumn)
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

    NMLISTVIEW nm{};
    nm.hdr = {dlg.list.hwnd(), IDC_CLIP_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
    EXPECT_EQ(SendMessageA(hwnd, WM_NOTIFY, IDC_CLIP_LIST, reinterpret_cast<LPARAM>(&nm)), 7);
    nm.hdr.idFrom = IDC_COPY;
    SendMessageA(hwnd, WM_NOTIFY, IDC_COPY, reinterpret_cast<LPARAM>(&nm));
    EXPECT_EQ(dlg.columnClicks, 1);
    dlg.DestroyWindow();
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
