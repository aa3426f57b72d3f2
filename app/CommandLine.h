// How ClipHarbor starts, decided from its arguments alone.
#pragma once

#include <string>
#include <vector>

// The token the device detector passes before the device folders it found.
inline constexpr char kDetectorToken[] = "Zelkor_TWDV_LST";

enum class StartMode {
    ScanDrives,  // no arguments: look for the device folder on every drive letter
    Devices,     // the detector's token followed by device folders
    Refuse,      // anything else
};

struct StartDecision {
    StartMode mode = StartMode::Refuse;
    std::vector<std::string> devices;  // for Devices: the folders, unchanged and in order
};

// argv[0] is the program name. The token compares exactly (byte for byte, so case-sensitive);
// the folders are taken as given, unchecked.
StartDecision DecideStart(int argc, const char* const* argv);

// Drive mask of the scan: bit n-1 for drive number n (1 = A ... 26 = Z). The device folders of the
// set bits, in ascending drive order, as "X:\Movie\Media\".
std::vector<std::string> DeviceRootsFromMask(unsigned long mask);
std::string DeviceRootOfDrive(int driveNumber);
