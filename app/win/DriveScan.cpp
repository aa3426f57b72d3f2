#include "app/win/DriveScan.h"

#include <windows.h>
#include <shlwapi.h>

#include "app/CommandLine.h"

std::vector<std::string> ScanDrivesForDevices() {
    // Remember the whole current directory, not only its drive, so the scan leaves no trace.
    char saved[MAX_PATH + 1] = {};
    DWORD savedLength = GetCurrentDirectoryA(sizeof(saved), saved);
    bool haveSaved = savedLength > 0 && savedLength < sizeof(saved);

    // Drives without a medium must not raise the system's "no disk" box.
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    unsigned long mask = 0;
    for (int n = 1; n <= 26; ++n) {
        char drive[3] = {static_cast<char>('A' + n - 1), ':', '\0'};
        if (!SetCurrentDirectoryA(drive)) continue;
        std::string root = DeviceRootOfDrive(n);
        if (PathFileExistsA(root.c_str())) mask |= 1ul << (n - 1);
    }
    SetErrorMode(oldMode);
    if (haveSaved) SetCurrentDirectoryA(saved);
    return DeviceRootsFromMask(mask);
}
