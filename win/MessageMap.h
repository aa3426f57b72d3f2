// Message maps in the manner of WTL's crackers: a static table with one entry per message, command
// or notification that a window (or whatever a window hands its messages to) handles, each naming
// a typed handler. The parameters are decoded once, here, and nowhere else.
//
// A table is written between a BEGIN_ and an END_ macro that name MapClass (whose members the
// entries name), MapTarget (the class a handler is called on, MapClass or a base of it) and
// MapResult (what a handled message answers). A handler that answers nothing answers MapResult{}.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <type_traits>
#include <utility>

namespace win {

enum class EntryKind { End, Message, Command, Notify };

template <class Target, class Result>
struct MessageEntry {
    EntryKind kind;
    UINT id;    // the message, or the control id of a command or notification
    UINT code;  // the command's or the notification's code
    Result (*handle)(Target& target, WPARAM wParam, LPARAM lParam);
};

// The entry of `entries` (ended by an End entry) that takes the message; null when none does.
template <class Target, class Result>
const MessageEntry<Target, Result>* FindEntry(const MessageEntry<Target, Result>* entries, UINT message,
                                              WPARAM wParam, LPARAM lParam) {
    for (const MessageEntry<Target, Result>* e = entries; e->kind != EntryKind::End; ++e) {
        switch (e->kind) {
        case EntryKind::Message:
            if (e->id == message) return e;
            break;
        case EntryKind::Command:
            if (message == WM_COMMAND && e->id == LOWORD(wParam) && e->code == HIWORD(wParam)) return e;
            break;
        case EntryKind::Notify:
            if (message == WM_NOTIFY && lParam) {
                const NMHDR& header = *reinterpret_cast<const NMHDR*>(lParam);
                if (e->id == header.idFrom && e->code == header.code) return e;
            }
            break;
        case EntryKind::End:
            break;
        }
    }
    return nullptr;
}

// The crackers: each decodes one kind of message for a handler `Fn` of the signature it names.
namespace crack {

template <class F>
struct Member;
template <class C, class R, class... A>
struct Member<R (C::*)(A...)> {
    using Class = C;
    using Return = R;
};

template <auto Fn, class Target, class Result, class... Args>
Result Call(Target& target, Args&&... args) {
    using Handler = Member<decltype(Fn)>;
    auto& self = static_cast<typename Handler::Class&>(target);
    if constexpr (std::is_void_v<typename Handler::Return>) {
        (self.*Fn)(std::forward<Args>(args)...);
        return Result{};
    } else {
        return static_cast<Result>((self.*Fn)(std::forward<Args>(args)...));
    }
}

// Client or screen coordinates, signed: left of or above the origin they are negative.
inline POINT PointOf(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// fn(WPARAM, LPARAM): a message taken as it comes.
template <auto Fn, class T, class R>
R Raw(T& t, WPARAM wParam, LPARAM lParam) { return Call<Fn, T, R>(t, wParam, lParam); }
// fn(): commands, WM_PAINT, WM_CLOSE, WM_CANCELMODE.
template <auto Fn, class T, class R>
R Plain(T& t, WPARAM, LPARAM) { return Call<Fn, T, R>(t); }
// int fn(CREATESTRUCTA& create): -1 refuses the window.
template <auto Fn, class T, class R>
R Create(T& t, WPARAM, LPARAM lParam) { return Call<Fn, T, R>(t, *reinterpret_cast<CREATESTRUCTA*>(lParam)); }
// fn(UINT command, POINT screen): WM_SYSCOMMAND.
template <auto Fn, class T, class R>
R SysCommand(T& t, WPARAM wParam, LPARAM lParam) { return Call<Fn, T, R>(t, UINT(wParam), PointOf(lParam)); }
// fn(UINT state, bool minimized, HWND other): WM_ACTIVATE.
template <auto Fn, class T, class R>
R Activate(T& t, WPARAM wParam, LPARAM lParam) {
    return Call<Fn, T, R>(t, UINT(LOWORD(wParam)), HIWORD(wParam) != 0, reinterpret_cast<HWND>(lParam));
}
// fn(UINT_PTR id): WM_TIMER.
template <auto Fn, class T, class R>
R Timer(T& t, WPARAM wParam, LPARAM) { return Call<Fn, T, R>(t, UINT_PTR(wParam)); }
// fn(UINT keys, POINT client): the mouse's buttons and moves.
template <auto Fn, class T, class R>
R Mouse(T& t, WPARAM wParam, LPARAM lParam) { return Call<Fn, T, R>(t, UINT(wParam), PointOf(lParam)); }
// fn(HWND gaining): WM_CAPTURECHANGED, the window that takes the capture.
template <auto Fn, class T, class R>
R CaptureChanged(T& t, WPARAM, LPARAM lParam) { return Call<Fn, T, R>(t, reinterpret_cast<HWND>(lParam)); }
// fn(UINT key, UINT repeat, UINT flags): WM_KEYDOWN, WM_KEYUP, WM_CHAR (the character for a key).
template <auto Fn, class T, class R>
R Key(T& t, WPARAM wParam, LPARAM lParam) {
    return Call<Fn, T, R>(t, UINT(wParam), UINT(LOWORD(lParam)), UINT(HIWORD(lParam)));
}
// fn(HWND other): WM_SETFOCUS (the window that lost the focus), WM_KILLFOCUS (the one gaining it).
template <auto Fn, class T, class R>
R Focus(T& t, WPARAM wParam, LPARAM) { return Call<Fn, T, R>(t, reinterpret_cast<HWND>(wParam)); }
// fn(const MSG* message): WM_GETDLGCODE, with the message the dialog manager asks about (or null).
template <auto Fn, class T, class R>
R DlgCode(T& t, WPARAM, LPARAM lParam) { return Call<Fn, T, R>(t, reinterpret_cast<const MSG*>(lParam)); }
// fn(HDC dc): WM_ERASEBKGND.
template <auto Fn, class T, class R>
R Erase(T& t, WPARAM wParam, LPARAM) { return Call<Fn, T, R>(t, reinterpret_cast<HDC>(wParam)); }
// fn(Header& or const Header&): a notification, with the header its code comes with.
template <auto Fn, class T, class R, class Header>
R Notify(T& t, WPARAM, LPARAM lParam) { return Call<Fn, T, R>(t, *reinterpret_cast<Header*>(lParam)); }

}  // namespace crack
}  // namespace win

#define WIN_MAP_ENTRY(kind, id, code, ...) \
    {::win::EntryKind::kind, static_cast<UINT>(id), static_cast<UINT>(code), &::win::crack::__VA_ARGS__},
#define WIN_MAP_END {::win::EntryKind::End, 0, 0, nullptr}
#define WIN_MESSAGE(message, cracker, fn) WIN_MAP_ENTRY(Message, message, 0, cracker<&MapClass::fn, MapTarget, MapResult>)
#define WIN_NOTIFY(code, id, fn, Header) \
    WIN_MAP_ENTRY(Notify, id, code, Notify<&MapClass::fn, MapTarget, MapResult, Header>)

// Messages. The handler takes the message's name: ON_WM_PAINT() calls OnPaint().
#define ON_MESSAGE(message, fn) WIN_MESSAGE(message, Raw, fn)              // R fn(WPARAM, LPARAM)
#define ON_WM_CREATE() WIN_MESSAGE(WM_CREATE, Create, OnCreate)           // int OnCreate(CREATESTRUCTA&)
#define ON_WM_PAINT() WIN_MESSAGE(WM_PAINT, Plain, OnPaint)               // OnPaint()
#define ON_WM_CLOSE() WIN_MESSAGE(WM_CLOSE, Plain, OnClose)               // OnClose()
#define ON_WM_SYSCOMMAND() WIN_MESSAGE(WM_SYSCOMMAND, SysCommand, OnSysCommand)  // OnSysCommand(UINT, POINT)
#define ON_WM_ACTIVATE() WIN_MESSAGE(WM_ACTIVATE, Activate, OnActivate)   // OnActivate(UINT, bool, HWND)
#define ON_WM_TIMER() WIN_MESSAGE(WM_TIMER, Timer, OnTimer)               // OnTimer(UINT_PTR)
#define ON_WM_LBUTTONDOWN() WIN_MESSAGE(WM_LBUTTONDOWN, Mouse, OnLButtonDown)  // OnLButtonDown(UINT, POINT)
#define ON_WM_LBUTTONUP() WIN_MESSAGE(WM_LBUTTONUP, Mouse, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() WIN_MESSAGE(WM_LBUTTONDBLCLK, Mouse, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() WIN_MESSAGE(WM_RBUTTONDOWN, Mouse, OnRButtonDown)
#define ON_WM_RBUTTONUP() WIN_MESSAGE(WM_RBUTTONUP, Mouse, OnRButtonUp)
#define ON_WM_MOUSEMOVE() WIN_MESSAGE(WM_MOUSEMOVE, Mouse, OnMouseMove)
#define ON_WM_CAPTURECHANGED() WIN_MESSAGE(WM_CAPTURECHANGED, CaptureChanged, OnCaptureChanged)  // (HWND)
#define ON_WM_CANCELMODE() WIN_MESSAGE(WM_CANCELMODE, Plain, OnCancelMode)
#define ON_WM_KEYDOWN() WIN_MESSAGE(WM_KEYDOWN, Key, OnKeyDown)          // OnKeyDown(UINT, UINT, UINT)
#define ON_WM_KEYUP() WIN_MESSAGE(WM_KEYUP, Key, OnKeyUp)
#define ON_WM_CHAR() WIN_MESSAGE(WM_CHAR, Key, OnChar)
#define ON_WM_ERASEBKGND() WIN_MESSAGE(WM_ERASEBKGND, Erase, OnEraseBkgnd)  // OnEraseBkgnd(HDC)
#define ON_WM_SETFOCUS() WIN_MESSAGE(WM_SETFOCUS, Focus, OnSetFocus)       // OnSetFocus(HWND losing)
#define ON_WM_KILLFOCUS() WIN_MESSAGE(WM_KILLFOCUS, Focus, OnKillFocus)    // OnKillFocus(HWND gaining)
#define ON_WM_GETDLGCODE() WIN_MESSAGE(WM_GETDLGCODE, DlgCode, OnGetDlgCode)  // OnGetDlgCode(const MSG*)

// Commands from controls and menus: fn().
#define ON_COMMAND(id, fn) WIN_MAP_ENTRY(Command, id, BN_CLICKED, Plain<&MapClass::fn, MapTarget, MapResult>)
#define ON_CONTROL(code, id, fn) WIN_MAP_ENTRY(Command, id, code, Plain<&MapClass::fn, MapTarget, MapResult>)

// Notifications from control `id`: fn(Header&), the header as its code defines it.
#define ON_NOTIFY(code, id, fn) WIN_NOTIFY(code, id, fn, NMHDR)
#define ON_LVN_COLUMNCLICK(id, fn) WIN_NOTIFY(LVN_COLUMNCLICK, id, fn, NMLISTVIEW)
#define ON_LVN_ITEMCHANGED(id, fn) WIN_NOTIFY(LVN_ITEMCHANGED, id, fn, NMLISTVIEW)
#define ON_LVN_DELETEALLITEMS(id, fn) WIN_NOTIFY(LVN_DELETEALLITEMS, id, fn, NMLISTVIEW)  // true: no LVN_DELETEITEM
#define ON_LVN_KEYDOWN(id, fn) WIN_NOTIFY(LVN_KEYDOWN, id, fn, NMLVKEYDOWN)
#define ON_LVN_GETDISPINFOA(id, fn) WIN_NOTIFY(LVN_GETDISPINFOA, id, fn, NMLVDISPINFOA)
#define ON_LVN_ENDLABELEDITA(id, fn) WIN_NOTIFY(LVN_ENDLABELEDITA, id, fn, NMLVDISPINFOA)  // true keeps the label

// A table of its own for Class: a static member function `name` answering the entries.
#define BEGIN_MESSAGE_TABLE(Class, name, Target, Result)                     \
    const ::win::MessageEntry<Target, Result>* Class::name() {             \
        using MapClass = Class;                                            \
        using MapTarget = Target;                                          \
        using MapResult = Result;                                          \
        static const ::win::MessageEntry<MapTarget, MapResult> entries[] = {
#define END_MESSAGE_TABLE() \
    WIN_MAP_END             \
    }                       \
    ;                       \
    return entries;         \
    }
