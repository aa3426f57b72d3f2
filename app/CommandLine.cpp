#include "app/CommandLine.h"

#include <cstring>

StartDecision DecideStart(int argc, const char* const* argv) {
    StartDecision d;
    if (argc <= 1) {
        d.mode = StartMode::ScanDrives;
        return d;
    }
    if (argc < 3 || !argv || !argv[1] || std::strcmp(argv[1], kDetectorToken) != 0) {
        d.mode = StartMode::Refuse;
        return d;
    }
    d.mode = StartMode::Devices;
    for (int i = 2; i < argc; ++i) d.devices.emplace_back(argv[i] ? argv[i] : "");
    return d;
}

std::string DeviceRootOfDrive(int driveNumber) {
    std::string root = " :\\Movie\\Media\\";
    root[0] = static_cast<char>('A' + driveNumber - 1);
    return root;
}

std::vector<std::string> DeviceRootsFromMask(unsigned long mask) {
    std::vector<std::string> roots;
    for (int n = 1; n <= 26; ++n)
        if (mask & (1ul << (n - 1))) roots.push_back(DeviceRootOfDrive(n));
    return roots;
}
