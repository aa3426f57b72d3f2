// A stand-in for the detector program: records that it ran by appending its own path, one line,
// to the file named by CLIPHARBOR_DETECTOR_LOG, then ends.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char log[MAX_PATH] = {};
    char self[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("CLIPHARBOR_DETECTOR_LOG", log, sizeof(log))) return 1;
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof(self) - 2);
    self[length++] = '\r';
    self[length++] = '\n';
    HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, self, length, &written, nullptr);
    CloseHandle(file);
    return 0;
}
