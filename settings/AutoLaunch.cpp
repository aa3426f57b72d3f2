#include "settings/AutoLaunch.h"

#include "framework/Application.h"
#include "resources/resource.h"

namespace {
const char kSettingsKey[] = "SOFTWARE\\Zelkor\\Tidewell DV\\ClipHarbor 1.0\\";
}  // namespace

void AutoLaunch::Attach(HWND dialog) { check_.Attach(GetDlgItem(dialog, IDC_AUTOLAUNCH)); }

void AutoLaunch::Load() {
    DWORD value = 0;
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kSettingsKey, &key) == ERROR_SUCCESS) {
        DWORD size = sizeof(value);
        if (RegQueryValueExA(key, "AutoLaunch", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS)
            value = 0;
        RegCloseKey(key);
    }
    check_.Send(BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED);
    check_.SetText(LoadMessage(IDS_AUTOLAUNCH));
}
