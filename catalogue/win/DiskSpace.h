// The disk queries behind the disk display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/ClipRecord.h"
#include "catalogue/DiskDisplay.h"

// Disk space of the drive holding `path`; false when the drive does not answer.
bool GetFreeBytes(const char* path, uint64_t& bytes);
bool GetTotalBytes(const char* path, uint64_t& bytes);

// The display for the drive of a device folder (its first three characters, the drive root);
// none when the drive does not answer, so the window keeps what it showed.
std::optional<DiskDisplay> ReadDiskDisplay(const std::string& root, const std::vector<ClipRecord>& records,
                                           const std::string& freeSuffix);
