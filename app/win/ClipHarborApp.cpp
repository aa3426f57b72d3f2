#include "app/win/ClipHarborApp.h"

#include <windows.h>
#include <commctrl.h>

#include "app/CommandLine.h"
#include "app/win/DriveScan.h"
#include "framework/win/ResourceModule.h"
#include "resources/resource.h"
#include "ui/ClipHarborDlg.h"

bool BuildDeviceList(int argc, char** argv, std::vector<std::string>& deviceRoots) {
    StartDecision decision = DecideStart(argc, argv);
    switch (decision.mode) {
    case StartMode::ScanDrives:
        deviceRoots = ScanDrivesForDevices();
        if (deviceRoots.empty()) {
            MessageBoxA(nullptr, LoadMessage(IDS_NO_DEVICE).c_str(), kStartupCaption, MB_OK);
            return false;
        }
        return true;
    case StartMode::Devices:
        deviceRoots = std::move(decision.devices);
        return true;
    case StartMode::Refuse:
        break;
    }
    MessageBoxA(nullptr, kDirectStartText, kStartupCaption, MB_OK);
    return false;
}

int ClipHarborApp::InitInstance() {
    InitCommonControls();
    InitApplication();
    EnableControlContainer();

    // The window object exists (movie services started, player made) before the device list.
    ClipHarborDlg dlg(nullptr);
    std::vector<std::string> roots;
    if (!BuildDeviceList(ArgCount(), Args(), roots)) return 0;
    dlg.SetDevices(roots);

    return RunMainWindow(dlg);
}
