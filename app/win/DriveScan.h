// Finds the device folders on the drive letters A to Z.
#pragma once

#include <string>
#include <vector>

// Tests every drive letter for "\Movie\Media\" by making it the current drive; drives that cannot
// be made current (absent, no medium) are skipped silently. The current directory is the same
// afterwards. Returns the device folders in ascending drive order.
std::vector<std::string> ScanDrivesForDevices();
