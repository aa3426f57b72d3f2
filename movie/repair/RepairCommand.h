// The cliprepair command: cliprepair DAMAGED... [--like HEALTHY] [-o OUT], where each argument may
// also be a folder. Kept in the library so the tests run it in-process; the program's main only
// forwards to it.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace movie::repair {

// Exit statuses. With several clips the command's is the worst of theirs: 1, then 4, then 3.
enum : int { kRepaired = 0, kNotRepaired = 1, kUsageError = 2, kNotDamaged = 3, kNoTemplate = 4 };

// What the command takes from the system around it; tests give their own.
struct CommandHost {
    // The standard output is a console: while a clip is repaired, a progress line is drawn on it
    // in place, and cleared before the report.
    bool console = false;
    // A steady clock's reading in seconds, for the progress line.
    std::function<double()> clock;
    // The bytes free on the drive that holds `folder`, and how to name that drive to the user;
    // false when that cannot be told (then the repair goes ahead).
    std::function<bool(const std::string& folder, uint64_t& bytes, std::string& drive)> freeSpace;
};

// The system's own: whether the standard output is a console, its steady clock, its drives.
CommandHost SystemHost();

// Runs cliprepair with its arguments (without the program name); the report goes to `out`,
// errors to `err`. Returns the exit status. Without a host: no progress, the system's drives.
int RunClipRepair(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunClipRepair(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const CommandHost& host);

}  // namespace movie::repair
