// Our small dialog framework: dialogs from templates with a static message map, a modal run,
// controls bound to members by id, and the creation messages (WM_NCCREATE, WM_CREATE) delivered
// to the dialog's own handling.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "win/MessageMap.h"

class Dialog;

// A control of a dialog, bound to its member by id during DoDataExchange.
class Control {
public:
    HWND hwnd() const { return hwnd_; }
    explicit operator bool() const { return hwnd_ != nullptr; }
    void Attach(HWND h) { hwnd_ = h; }
    void SetText(const std::string& text) const { SetWindowTextA(hwnd_, text.c_str()); }
    std::string GetText() const;
    void Enable(bool on) const { EnableWindow(hwnd_, on ? TRUE : FALSE); }
    bool IsEnabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
    bool IsVisible() const { return IsWindowVisible(hwnd_) != FALSE; }
    LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return SendMessageA(hwnd_, msg, w, l); }

private:
    HWND hwnd_ = nullptr;
};

class Dialog {
public:
    // The entries of a dialog's message map (win/MessageMap.h): typed handlers called on the
    // dialog, answering the window's result (a notification's through DWLP_MSGRESULT as well).
    using MessageEntry = win::MessageEntry<Dialog, LRESULT>;
    struct MessageMap {
        const MessageMap* base;
        const MessageEntry* entries;
    };

    Dialog(UINT templateId, HWND owner);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally: its owner, the window given at construction, is disabled while it
    // runs. Returns the code given to EndModal, or -1 when the window could not be made or was
    // destroyed without one (WasCreated tells the two apart). An exception that one of the
    // thread's window handlers raised during the run ends it and is thrown from here.
    INT_PTR DoModal();
    // Creates the dialog modeless (tests and hosts that run their own loop).
    HWND CreateModeless();
    void EndModal(INT_PTR result);
    bool IsModalRunning() const { return inModal_; }
    bool WasCreated() const { return wasCreated_; }

    HWND hwnd() const { return hwnd_; }
    UINT TemplateId() const { return templateId_; }

    // The overridable destroy operation; safe to run when the window is already gone.
    virtual void DestroyWindow();

    // The window procedure of this dialog: the message map first, then the default handling.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Standard initialisation: binds the controls (DoDataExchange). Answer TRUE to let the dialog
    // put the focus on its first tab stop.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange() {}
    virtual void OnOK();
    virtual void OnCancel();
    void BindControl(int id, Control& member);

    // The default handling of the message being dispatched (the dialog manager's own).
    LRESULT Default();

    virtual const MessageMap* GetMessageMap() const;
    static const MessageMap* GetThisMessageMap();

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK StaticWindowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);
    static void KeepException(std::exception_ptr exception);
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    HWND CreateWindowFromTemplate(HWND owner);

    UINT templateId_;
    HWND owner_;
    HWND hwnd_ = nullptr;
    WNDPROC superProc_ = nullptr;
    bool inModal_ = false;
    bool modalEnded_ = false;
    bool wasCreated_ = false;
    INT_PTR modalResult_ = -1;
    // The message being dispatched, for Default().
    struct Current {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } current_{};
};

// A dialog's message map: one per dialog class, its entries (win/MessageMap.h) between these two,
// the base class's map consulted after its own.
#define DECLARE_MESSAGE_MAP()                                  \
protected:                                                     \
    const Dialog::MessageMap* GetMessageMap() const override; \
    static const Dialog::MessageMap* GetThisMessageMap();

#define BEGIN_MESSAGE_MAP(ThisClass, BaseClass)                                              \
    const Dialog::MessageMap* ThisClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const Dialog::MessageMap* ThisClass::GetThisMessageMap() {                                \
        using MapClass = ThisClass;                                                           \
        using MapBase = BaseClass;                                                            \
        using MapTarget = Dialog;                                                             \
        using MapResult = LRESULT;                                                            \
        static const Dialog::MessageEntry entries[] = {
#define END_MESSAGE_MAP()                                                       \
    WIN_MAP_END                                                                 \
    }                                                                           \
    ;                                                                           \
    static const Dialog::MessageMap map{MapBase::GetThisMessageMap(), entries}; \
    return &map;                                                                \
    }
