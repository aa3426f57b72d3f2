#include "TestUi.h"

#include <algorithm>
#include <cstdlib>

namespace testui {

namespace {
BoxWatcher* gWatcher = nullptr;

struct Found {
    std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBoxes(HWND hwnd, LPARAM param) {
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd)) reinterpret_cast<Found*>(param)->boxes.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK CollectStatics(HWND hwnd, LPARAM param) {
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (_wcsicmp(cls, L"Static") == 0) {
        std::wstring text = WindowTextW(hwnd);
        if (!text.empty()) {
            auto* out = reinterpret_cast<std::wstring*>(param);
            if (!out->empty()) *out += L"\n";
            *out += text;
        }
    }
    return TRUE;
}
}  // namespace

BoxWatcher::BoxWatcher(std::function<void(HWND)> body, std::vector<HWND> ignore)
    : body_(std::move(body)), handled_(std::move(ignore)) {
    gWatcher = this;
    timer_ = SetTimer(nullptr, 0, 30, &BoxWatcher::Tick);
}

BoxWatcher::~BoxWatcher() {
    KillTimer(nullptr, timer_);
    if (gWatcher == this) gWatcher = nullptr;
}

void CALLBACK BoxWatcher::Tick(HWND, UINT, UINT_PTR, DWORD) {
    BoxWatcher* w = gWatcher;
    if (!w) return;
    Found found;
    EnumThreadWindows(GetCurrentThreadId(), CollectBoxes, reinterpret_cast<LPARAM>(&found));
    for (HWND box : found.boxes) {
        if (std::find(w->handled_.begin(), w->handled_.end(), box) != w->handled_.end()) continue;
        w->handled_.push_back(box);
        ++w->seen_;
        w->body_(box);
    }
}

std::string WindowText(HWND window) {
    char buffer[2048] = {};
    GetWindowTextA(window, buffer, sizeof(buffer));
    return buffer;
}

std::wstring WindowTextW(HWND window) {
    wchar_t buffer[2048] = {};
    GetWindowTextW(window, buffer, 2048);
    return buffer;
}

std::wstring MessageBoxTextW(HWND box) {
    std::wstring text;
    EnumChildWindows(box, CollectStatics, reinterpret_cast<LPARAM>(&text));
    return text;
}

void PressButton(HWND box, int id) { PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

void Pump(int ms) {
    DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (ms > 0) Sleep(5);
    } while (static_cast<LONG>(GetTickCount() - end) < 0);
}

bool PumpUntil(const std::function<bool()>& done, int ms) {
    DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    while (!done()) {
        if (static_cast<LONG>(GetTickCount() - end) >= 0) return done();
        Pump(10);
    }
    return true;
}

std::wstring Wide(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), n);
    return out;
}

std::string DriveRoot(char letter) { return std::string(1, letter) + ":\\"; }
std::string MediaFolder(char letter) { return DriveRoot(letter) + "Movie\\Media\\"; }

void RemoveTree(const std::string& path) {
    std::string folder = path;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = folder + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(folder.c_str());
}

void ClearDrive(char letter) {
    std::string root = DriveRoot(letter);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((root + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(root + name);
        else
            DeleteFileA((root + name).c_str());
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

void MakeMediaFolder(char letter) {
    CreateDirectoryA((DriveRoot(letter) + "Movie").c_str(), nullptr);
    CreateDirectoryA((DriveRoot(letter) + "Movie\\Media").c_str(), nullptr);
}

std::string CorpusPath(const std::string& clip) {
    std::string dir = TEST_DATA_DIR;
    // The data folder is a Unix path; Wine reaches it through drive Z:.
    std::string path = "Z:" + dir + "/corpus/" + clip;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

bool CopyCorpusClip(const std::string& clip, const std::string& dest) {
    return CopyFileA(CorpusPath(clip).c_str(), dest.c_str(), FALSE) != FALSE;
}

void WriteTextFile(const std::string& path, const std::string& text) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
}

std::string ReadFileBytes(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string TestLanguage() {
    const char* lang = getenv("TEST_LANG");
    return lang ? lang : "en_US";
}

}  // namespace testui
