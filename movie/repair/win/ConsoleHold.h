// A console program started from Explorer (a file dropped onto the exe) gets a console of its own,
// which closes the moment the program ends: before anyone could read what it printed.
#pragma once

namespace movie::repair {

// When this process is the only one on its console, asks for a key before returning.
void KeepOwnConsoleOpen();

}  // namespace movie::repair
