#include "framework/win/Application.h"

#include <ole2.h>

#include "framework/win/Dialog.h"

Application::Application() = default;

Application::~Application() {
    if (oleStarted_) OleUninitialize();
}

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
