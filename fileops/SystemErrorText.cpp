#include "fileops/SystemErrorText.h"

#include "win/LoadedModule.h"
#include "win/LocalMemory.h"

std::string SystemErrorText(DWORD code) {
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    win::LoadedModule network;
    if (code >= 2100 && code <= 2999) {
        network.Reset(LoadLibraryExA("netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (network) flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
    // With FORMAT_MESSAGE_ALLOCATE_BUFFER the call writes the address of a buffer it allocated.
    win::LocalMemory buffer;
    if (!FormatMessageA(flags, network.Get(), code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                        reinterpret_cast<char*>(buffer.Put()), 0, nullptr) ||
        !buffer)
        return {};
    return static_cast<const char*>(buffer.Get());
}
