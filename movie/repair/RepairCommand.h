// The cliprepair command: cliprepair DAMAGED [--like HEALTHY] [-o OUT]. Kept in the library so
// the tests run it in-process; the program's main only forwards to it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace movie::repair {

// Exit statuses.
enum : int { kRepaired = 0, kNotRepaired = 1, kUsageError = 2, kNotDamaged = 3, kNoTemplate = 4 };

// Runs cliprepair with its arguments (without the program name); the report goes to `out`,
// errors to `err`. Returns the exit status.
int RunClipRepair(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace movie::repair
