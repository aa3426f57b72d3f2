// cliprepair: brings back a clip cut off while recording (see RepairCommand.h).
#include <iostream>

#include "movie/repair/RepairCommand.h"
#ifdef _WIN32
#include "movie/repair/win/ConsoleHold.h"
#endif

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = movie::repair::RunClipRepair(args, std::cout, std::cerr, movie::repair::SystemHost());
    std::cout.flush();
#ifdef _WIN32
    // Dropped onto the exe in Explorer, the program has a console of its own that closes with it.
    movie::repair::KeepOwnConsoleOpen();
#endif
    return status;
}
