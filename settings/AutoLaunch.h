// The autolaunch setting: the check box 1011 (never shown), its stored state, and the detector
// program it installs and starts.
#pragma once

#include <windows.h>

#include "framework/win/Dialog.h"

class AutoLaunch {
public:
    // Binds the check box of the dialog.
    void Attach(HWND dialog);
    // The check box takes the stored state (off when none can be read) and its caption.
    void Load();
    // A click on the check box: the state and the current folder are stored; turned on, the
    // detector is started hidden, first copied into the user's start-up folder when no installed
    // one is registered. Nothing is reported.
    void Apply();

private:
    Control check_;
};
