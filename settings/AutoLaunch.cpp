#include "settings/AutoLaunch.h"

#include <cstring>
#include <optional>
#include <string>

#include "framework/win/ResourceModule.h"
#include "resources/resource.h"
#include "win/RegKey.h"

namespace {
const char kSettingsKey[] = "SOFTWARE\\Zelkor\\Tidewell DV\\ClipHarbor 1.0\\";
const char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\";
const char kDefaultDetector[] = "A:\\ClipHarbor(Win)\\AutoLauncher\\TWDVController.exe";
const char kDetectorFile[] = "\\TWDVController.exe";

// The user's start-up folder; none when it cannot be read.
std::optional<std::string> StartupFolder() {
    win::RegKey key;
    if (key.Open(HKEY_CURRENT_USER, kShellFoldersKey) != ERROR_SUCCESS) return std::nullopt;
    char folder[512 + 1] = {};
    DWORD size = sizeof(folder) - 1;
    if (key.Query("Startup", folder, &size) != ERROR_SUCCESS) return std::nullopt;
    return std::string(folder);
}

// The folder of an installed detector; none when none is registered. A stored value longer than
// the default detector path does not fit its buffer and counts as none.
std::optional<std::string> InstalledDetectorFolder() {
    win::RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, kSettingsKey) != ERROR_SUCCESS) return std::nullopt;
    // One byte more than the read may fill: a value stored without its terminator still ends.
    char folder[sizeof(kDefaultDetector) + 1] = {};
    DWORD size = sizeof(kDefaultDetector);
    if (key.Query("Detector path", folder, &size) != ERROR_SUCCESS) return std::nullopt;
    return std::string(folder);
}

}  // namespace

void AutoLaunch::Attach(HWND dialog) { check_.Attach(GetDlgItem(dialog, IDC_AUTOLAUNCH)); }

void AutoLaunch::Load() {
    DWORD value = 0;
    if (win::RegKey key; key.Create(HKEY_LOCAL_MACHINE, kSettingsKey) == ERROR_SUCCESS) {
        DWORD size = sizeof(value);
        if (key.Query("AutoLaunch", &value, &size) != ERROR_SUCCESS) value = 0;
    }
    check_.Send(BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED);
    check_.SetText(LoadMessage(IDS_AUTOLAUNCH));
}

void AutoLaunch::Apply() {
    const DWORD state = static_cast<DWORD>(check_.Send(BM_GETCHECK)) & 3;
    char currentFolder[512] = {};
    if (GetCurrentDirectoryA(sizeof(currentFolder), currentFolder) >= sizeof(currentFolder)) currentFolder[0] = '\0';

    if (win::RegKey key; key.Create(HKEY_LOCAL_MACHINE, kSettingsKey) == ERROR_SUCCESS) {
        key.Set("AutoLaunch", REG_DWORD, &state, sizeof(state));
        key.Set("Shell path", REG_SZ, currentFolder, static_cast<DWORD>(std::strlen(currentFolder) + 1));
    }
    // Turning it off removes nothing: no file, no running detector.
    if (state == 0) return;

    const std::optional<std::string> startup = StartupFolder();
    if (!startup) return;
    std::string detector;
    if (std::optional<std::string> installed = InstalledDetectorFolder()) {
        detector = *installed + kDetectorFile;
    } else {
        // The program's own copy of the detector, on the drive of the current folder, replaces
        // any earlier copy in the start-up folder.
        std::string source = kDefaultDetector;
        source[0] = currentFolder[0];
        detector = *startup + kDetectorFile;
        CopyFileA(source.c_str(), detector.c_str(), FALSE);
    }
    // Quoted: unquoted, a path with spaces would start the first program found at one of its
    // spaces (a Start.exe beside a "Start Menu" folder).
    WinExec(("\"" + detector + "\"").c_str(), SW_HIDE);
}
