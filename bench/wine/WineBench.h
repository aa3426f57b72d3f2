// Shared pieces of the timed scenarios under Wine: a clock, a message pump and a timed command.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>

namespace winebench {

inline double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

inline void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Runs a command line without a window and answers the seconds it took, -1 when it did not start.
inline double TimeCommand(std::string command) {
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    auto start = std::chrono::steady_clock::now();
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    double t = Seconds(start);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return t;
}

}  // namespace winebench
