// The application object: one per process, with a start-up routine that the program provides.
#pragma once

#include <windows.h>

class Dialog;

class Application {
public:
    Application();
    virtual ~Application();

    // Runs the start-up routine with the process's arguments (program name included) and answers
    // its result.
    int Run(HINSTANCE instance, int argc, char** argv);

    HWND MainWindow() const;
    void SetMainWindow(Dialog* dialog) { mainWindow_ = dialog; }
    // Runs `window` modally as the main window. Answers 1 after it ran; 0 when it could not be
    // made or an exception escaped its run (caught here, not reported).
    int RunMainWindow(Dialog& window);
    int ArgCount() const { return argc_; }
    char** Args() const { return argv_; }

protected:
    // The program's start-up routine: returns 1 after the main window has run, 0 otherwise.
    virtual int InitInstance() = 0;
    // The framework's own application start-up: OLE on this thread (pictures, the folder browser).
    bool InitApplication();
    // Dialogs that host ActiveX controls need OLE; our start-up has it already.
    void EnableControlContainer();

private:
    Dialog* mainWindow_ = nullptr;
    int argc_ = 0;
    char** argv_ = nullptr;
    bool oleStarted_ = false;
};
