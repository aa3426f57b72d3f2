// clipinfo: prints the structure of QuickTime / MP4 movies (see ClipInfo.h).
#include <iostream>

#include "movie/container/ClipInfo.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    int status = movie::RunClipInfo(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
