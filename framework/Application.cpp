#include "framework/Application.h"

#include <ole2.h>

#include <vector>

#include "framework/Dialog.h"

namespace {
Application* gApplication = nullptr;
int gWaitDepth = 0;
}  // namespace

Application::Application() { gApplication = this; }

Application::~Application() {
    if (oleStarted_) OleUninitialize();
    if (gApplication == this) gApplication = nullptr;
}

Application* Application::Current() { return gApplication; }

HINSTANCE Application::ResourceInstance() { return GetModuleHandleA(nullptr); }

HWND Application::MainWindow() const { return mainWindow_ ? mainWindow_->hwnd() : nullptr; }

int Application::Run(HINSTANCE, int argc, char** argv) {
    argc_ = argc;
    argv_ = argv;
    return InitInstance();
}

int Application::RunMainWindow(Dialog& window) {
    SetMainWindow(&window);
    int result = 0;
    try {
        window.DoModal();
        result = window.WasCreated() ? 1 : 0;
    } catch (...) {
        result = 0;
    }
    SetMainWindow(nullptr);
    return result;
}

bool Application::InitApplication() {
    if (!oleStarted_) oleStarted_ = SUCCEEDED(OleInitialize(nullptr));
    return oleStarted_;
}

void Application::EnableControlContainer() { InitApplication(); }

std::string LoadMessage(UINT id) {
    // The loader hands out the table entry itself (length + UTF-16), in the language the platform
    // chose; convert it to the ANSI code page the program works in.
    const wchar_t* text = nullptr;
    int length = LoadStringW(Application::ResourceInstance(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

WaitCursor::WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)))) { ++gWaitDepth; }

WaitCursor::~WaitCursor() {
    --gWaitDepth;
    if (gWaitDepth == 0) {
        // Back to the cursor the window under the mouse asks for.
        POINT pt;
        GetCursorPos(&pt);
        SetCursorPos(pt.x, pt.y);
        SetCursor(previous_ ? previous_ : LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
    }
}

int WaitCursor::Depth() { return gWaitDepth; }
