// The autolaunch setting: the check box 1011 (never shown), its stored state, and the detector
// program it installs and starts.
#pragma once

#include <windows.h>

#include "framework/Dialog.h"

class AutoLaunch {
public:
    // Binds the check box of the dialog.
    void Attach(HWND dialog);
    // The check box takes the stored state (off when none can be read) and its caption.
    void Load();

private:
    Control check_;
};
