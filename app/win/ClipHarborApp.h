// The application object: decides which devices to work on and runs the main window.
#pragma once

#include <string>
#include <vector>

#include "framework/win/Application.h"

inline constexpr char kStartupCaption[] = "Zelkor ClipHarbor for Windows version 1.0";
inline constexpr char kDirectStartText[] =
    "Don't use that application directly. Use ClipHarbor from the preverious folder";

class ClipHarborApp : public Application {
protected:
    int InitInstance() override;
};

// Builds the device list from the arguments or the drive scan. On refusal or when no device is
// found, shows the start-up message box and answers false.
bool BuildDeviceList(int argc, char** argv, std::vector<std::string>& deviceRoots);
