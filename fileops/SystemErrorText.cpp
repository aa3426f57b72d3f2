#include "fileops/SystemErrorText.h"

std::string SystemErrorText(DWORD code) {
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    HMODULE network = nullptr;
    if (code >= 2100 && code <= 2999) {
        network = LoadLibraryExA("netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (network) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
    std::string text;
    char* buffer = nullptr;
    if (FormatMessageA(flags, network, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<char*>(&buffer), 0, nullptr) &&
        buffer) {
        text = buffer;
    }
    if (buffer) LocalFree(buffer);
    if (network) FreeLibrary(network);
    return text;
}
