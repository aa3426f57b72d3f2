#include "movie/repair/win/ConsoleHold.h"

#include <windows.h>

namespace movie::repair {

void KeepOwnConsoleOpen() {
    // Started from a command prompt, the console lists the prompt too; on its own, only us.
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) != 1) return;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    static const char kPrompt[] = "\nPress any key to close this window.";
    DWORD written;
    WriteConsoleA(out, kPrompt, DWORD(sizeof kPrompt - 1), &written, nullptr);
    FlushConsoleInputBuffer(in);
    DWORD mode = 0;
    GetConsoleMode(in, &mode);
    SetConsoleMode(in, mode & ~DWORD(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT));
    for (;;) {
        INPUT_RECORD record;
        DWORD read = 0;
        if (!ReadConsoleInputA(in, &record, 1, &read) || read == 0) break;
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) break;
    }
    SetConsoleMode(in, mode);
}

}  // namespace movie::repair
