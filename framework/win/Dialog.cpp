#include "framework/win/Dialog.h"

#include <exception>
#include <unordered_map>
#include <utility>
#include <vector>

#include "framework/win/ResourceModule.h"
#include "win/WindowsHook.h"

namespace {

// The dialog whose window is being created on this thread; the CBT hook subclasses the first
// window created while it is set, before that window sees WM_NCCREATE.
thread_local Dialog* tCreating = nullptr;
// Window to dialog object, per thread (a window's messages come to its own thread). A map of our
// own rather than a window property: property look-ups are slow on some systems, and the window
// procedure needs this for every message.
thread_local std::unordered_map<HWND, Dialog*> tDialogs;
// The modal runs of this thread, innermost last, and an exception that a handler raised: it cannot
// unwind through the system's frames between the window procedure and our loop, so the window
// procedure keeps it, the innermost run ends, and that run's DoModal throws it again.
thread_local std::vector<Dialog*> tModalRuns;
thread_local std::exception_ptr tPendingException;

Dialog* FromHandle(HWND hwnd) {
    auto it = tDialogs.find(hwnd);
    return it == tDialogs.end() ? nullptr : it->second;
}

}  // namespace

std::string Control::GetText() const {
    int n = GetWindowTextLengthA(hwnd_);
    std::string text(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
    int got = GetWindowTextA(hwnd_, text.data(), n + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

Dialog::Dialog(UINT templateId, HWND owner) : templateId_(templateId), owner_(owner) {}

Dialog::~Dialog() {
    if (hwnd_ && IsWindow(hwnd_)) {
        tDialogs.erase(hwnd_);
        ::DestroyWindow(hwnd_);
    }
}

const Dialog::MessageMap* Dialog::GetMessageMap() const { return GetThisMessageMap(); }

const Dialog::MessageMap* Dialog::GetThisMessageMap() {
    using MapClass = Dialog;
    using MapTarget = Dialog;
    using MapResult = LRESULT;
    static const MessageEntry entries[] = {
        ON_COMMAND(IDOK, OnOK)
        ON_COMMAND(IDCANCEL, OnCancel)
        WIN_MAP_END
    };
    static const MessageMap map{nullptr, entries};
    return &map;
}

LRESULT CALLBACK Dialog::CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && tCreating) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        Dialog* dlg = tCreating;
        tCreating = nullptr;
        dlg->hwnd_ = hwnd;
        tDialogs[hwnd] = dlg;
        dlg->superProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Dialog::StaticWindowProc)));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

HWND Dialog::CreateWindowFromTemplate(HWND owner) {
    tCreating = this;
    // The hook is in place only while this dialog's window is made.
    win::WindowsHook hook(SetWindowsHookExA(WH_CBT, &Dialog::CreationHook, nullptr, GetCurrentThreadId()));
    HWND hwnd = CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(templateId_), owner, &Dialog::StaticDialogProc,
                                   reinterpret_cast<LPARAM>(this));
    hook.Reset();
    tCreating = nullptr;
    if (!hwnd) hwnd_ = nullptr;
    wasCreated_ = hwnd != nullptr;
    return hwnd;
}

HWND Dialog::CreateModeless() {
    if (hwnd_ && IsWindow(hwnd_)) return hwnd_;
    return CreateWindowFromTemplate(owner_);
}

INT_PTR Dialog::DoModal() {
    HWND owner = owner_;
    bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    inModal_ = true;
    modalEnded_ = false;
    modalResult_ = -1;
    HWND hwnd = CreateWindowFromTemplate(owner);
    if (!hwnd) {
        inModal_ = false;
        if (tPendingException) std::rethrow_exception(std::exchange(tPendingException, nullptr));
        return -1;
    }
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    if (!modalEnded_ && IsWindow(hwnd) && !IsWindowVisible(hwnd)) ShowWindow(hwnd, SW_SHOW);

    tModalRuns.push_back(this);
    MSG msg;
    while (!modalEnded_ && !tPendingException && IsWindow(hwnd)) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {  // WM_QUIT: end the run and leave the quit for the outer loop
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (!IsWindow(hwnd) || !IsDialogMessageA(hwnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    tModalRuns.pop_back();
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    if (owner && IsWindow(hwnd) && GetActiveWindow() == hwnd) SetActiveWindow(owner);
    inModal_ = false;
    // The end of a modal run destroys the window through the overridable operation.
    DestroyWindow();
    if (tPendingException) std::rethrow_exception(std::exchange(tPendingException, nullptr));
    return modalResult_;
}

void Dialog::EndModal(INT_PTR result) {
    modalResult_ = result;
    modalEnded_ = true;
    if (hwnd_ && IsWindow(hwnd_)) ShowWindow(hwnd_, SW_HIDE);
    PostMessageA(hwnd_, WM_NULL, 0, 0);  // wake the modal loop
}

void Dialog::DestroyWindow() {
    if (hwnd_ && IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

BOOL Dialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

void Dialog::OnOK() { EndModal(IDOK); }
void Dialog::OnCancel() { EndModal(IDCANCEL); }

void Dialog::BindControl(int id, Control& member) { member.Attach(GetDlgItem(hwnd_, id)); }

LRESULT Dialog::Default() {
    if (!superProc_ || !hwnd_) return 0;
    return CallWindowProcA(superProc_, hwnd_, current_.message, current_.wParam, current_.lParam);
}

bool Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    for (const MessageMap* map = GetMessageMap(); map; map = map->base) {
        if (const MessageEntry* entry = win::FindEntry(map->entries, message, wParam, lParam)) {
            result = entry->handle(*this, wParam, lParam);
            return true;
        }
    }
    return false;
}

LRESULT Dialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (Dispatch(message, wParam, lParam, result)) {
        // A dialog answers WM_NOTIFY through DWLP_MSGRESULT as well as the window result.
        if (message == WM_NOTIFY && hwnd_ && IsWindow(hwnd_)) SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
        return result;
    }
    return Default();
}

LRESULT CALLBACK Dialog::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* dlg = FromHandle(hwnd);
    if (!dlg) return DefDlgProcA(hwnd, message, wParam, lParam);
    Current saved = dlg->current_;
    dlg->current_ = {message, wParam, lParam};
    WNDPROC super = dlg->superProc_;
    LRESULT result = 0;
    try {
        result = dlg->WindowProc(message, wParam, lParam);
    } catch (...) {
        KeepException(std::current_exception());
    }
    if (message == WM_NCDESTROY) {
        tDialogs.erase(hwnd);
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(super));
        if (dlg->hwnd_ == hwnd) dlg->hwnd_ = nullptr;
        dlg->modalEnded_ = true;
    } else {
        dlg->current_ = saved;
    }
    return result;
}

INT_PTR CALLBACK Dialog::StaticDialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        Dialog* dlg = reinterpret_cast<Dialog*>(lParam);
        if (!dlg) return TRUE;
        if (!dlg->hwnd_) dlg->hwnd_ = hwnd;
        try {
            return dlg->OnInitDialog();
        } catch (...) {
            KeepException(std::current_exception());
        }
    }
    return FALSE;
}

// The first exception wins; the innermost modal run is woken to end and throw it. Without a run
// of ours the exception stays pending until the next one starts and ends at once.
void Dialog::KeepException(std::exception_ptr exception) {
    if (!tPendingException) tPendingException = std::move(exception);
    if (!tModalRuns.empty()) {
        Dialog* run = tModalRuns.back();
        run->modalEnded_ = true;
        if (run->hwnd_) PostMessageA(run->hwnd_, WM_NULL, 0, 0);
    }
}
