// The autolaunch setting on the real registry and real files: the stored state, and which
// detector program a click starts. A stand-in detector records every start in a log.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "MainWindowFixture.h"
#include "TestUi.h"
#include "framework/win/ResourceModule.h"

using namespace testui;

namespace {

const char kSettingsKey[] = "SOFTWARE\\Zelkor\\Tidewell DV\\ClipHarbor 1.0";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// The user's start-up folder for these tests, under a "Start Menu" as on a real system.
const char kStartup[] = "G:\\Start Menu\\Programs\\Startup";
// Where the program's own detector copy is found when the current folder is on H:.
const char kOwnDetector[] = "H:\\ClipHarbor(Win)\\AutoLauncher\\TWDVController.exe";
const char kLog[] = "E:\\detector.log";

std::string StandInDetector() {
    std::string path = std::string("Z:") + STAND_IN_DETECTOR;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}


std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return text;
}

void MakeFolders(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

class AutoLaunchSetting : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        for (char d : {'G', 'H'}) ClearDrive(d);
        DeleteFileA(kLog);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kShellFolders, &key), ERROR_SUCCESS);
        char saved[1024] = {};
        DWORD size = sizeof(saved) - 1;
        hadStartup_ = RegQueryValueExA(key, "Startup", nullptr, nullptr, reinterpret_cast<BYTE*>(saved), &size) ==
                      ERROR_SUCCESS;
        savedStartup_ = saved;
        RegSetValueExA(key, "Startup", 0, REG_SZ, reinterpret_cast<const BYTE*>(kStartup), sizeof(kStartup));
        RegCloseKey(key);
        MakeFolders(kStartup);
        GetCurrentDirectoryA(sizeof(savedFolder_), savedFolder_);
        SetCurrentDirectoryA("H:\\");
        SetEnvironmentVariableA("CLIPHARBOR_DETECTOR_LOG", kLog);
    }
    void TearDown() override {
        MainWindowFixture::TearDown();
        SetEnvironmentVariableA("CLIPHARBOR_DETECTOR_LOG", nullptr);
        SetCurrentDirectoryA(savedFolder_);
        HKEY key = nullptr;
        if (RegOpenKeyA(HKEY_CURRENT_USER, kShellFolders, &key) == ERROR_SUCCESS) {
            if (hadStartup_)
                RegSetValueExA(key, "Startup", 0, REG_SZ, reinterpret_cast<const BYTE*>(savedStartup_.c_str()),
                               static_cast<DWORD>(savedStartup_.size() + 1));
            else
                RegDeleteValueA(key, "Startup");
            RegCloseKey(key);
        }
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSettingsKey);
    }

    void Store(const char* name, DWORD value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kSettingsKey, &key), ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
        RegCloseKey(key);
    }
    void Store(const char* name, const std::string& text) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kSettingsKey, &key), ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
        RegCloseKey(key);
    }
    // A stored value as text ("(none)" when missing): a number for a DWORD.
    std::string Stored(const char* name) const {
        HKEY key = nullptr;
        if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kSettingsKey, &key) != ERROR_SUCCESS) return "(no key)";
        BYTE data[512] = {};
        DWORD size = sizeof(data), type = 0;
        LONG read = RegQueryValueExA(key, name, nullptr, &type, data, &size);
        RegCloseKey(key);
        if (read != ERROR_SUCCESS) return "(none)";
        if (type == REG_DWORD) return std::to_string(*reinterpret_cast<DWORD*>(data));
        return reinterpret_cast<char*>(data);
    }
    void Plant(const std::string& path) {
        MakeFolders(path.substr(0, path.rfind('\\')));
        ASSERT_TRUE(CopyFileA(StandInDetector().c_str(), path.c_str(), FALSE)) << path;
    }
    bool Checked() const { return SendMessageA(Item(IDC_AUTOLAUNCH), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    // What a click on the check box does.
    void Click() {
        SendMessageA(Item(IDC_AUTOLAUNCH), BM_CLICK, 0, 0);
        Pump();
    }
    // Waits until the log names the program (case aside); the log's lines so far.
    bool Started(const std::string& program) {
        PumpUntil([&] { return Lower(ReadFileBytes(kLog)).find(Lower(program)) != std::string::npos; });
        return Lower(ReadFileBytes(kLog)).find(Lower(program)) != std::string::npos;
    }

    bool hadStartup_ = false;
    std::string savedStartup_;
    char savedFolder_[MAX_PATH] = {};
};

TEST_F(AutoLaunchSetting, FirstStartCreatesTheKeyAndShowsOff) {
    Open();
    EXPECT_EQ(Stored("AutoLaunch"), "(none)");
    EXPECT_FALSE(Checked());
    EXPECT_EQ(ItemText(IDC_AUTOLAUNCH), LoadMessage(IDS_AUTOLAUNCH));
    EXPECT_FALSE(IsWindowVisible(Item(IDC_AUTOLAUNCH)));
}

TEST_F(AutoLaunchSetting, StoredStateIsShown) {
    Store("AutoLaunch", 1);
    Open();
    EXPECT_TRUE(Checked());
    TearDown();
    SetUp();
    Store("AutoLaunch", DWORD{0});
    Open();
    EXPECT_FALSE(Checked());
}

TEST_F(AutoLaunchSetting, TurningOffStoresTheStateAndTouchesNoFile) {
    Store("AutoLaunch", 1);
    Plant(kOwnDetector);
    Open();
    Click();
    EXPECT_FALSE(Checked());
    EXPECT_EQ(Stored("AutoLaunch"), "0");
    EXPECT_EQ(Stored("Shell path"), "H:\\");
    Pump(500);
    EXPECT_FALSE(Exists(std::string(kStartup) + "\\TWDVController.exe"));
    EXPECT_FALSE(Exists(kLog)) << "no detector started";
}

TEST_F(AutoLaunchSetting, TurningOnStartsTheInstalledDetector) {
    const std::string installed = "G:\\Installed Detector";
    Store("Detector path", installed);
    Plant(installed + "\\TWDVController.exe");
    Plant(kOwnDetector);
    Open();
    Click();
    EXPECT_TRUE(Checked());
    EXPECT_EQ(Stored("AutoLaunch"), "1");
    EXPECT_EQ(Stored("Shell path"), "H:\\");
    EXPECT_TRUE(Started(installed + "\\TWDVController.exe")) << ReadFileBytes(kLog);
    EXPECT_FALSE(Exists(std::string(kStartup) + "\\TWDVController.exe"));
}

// Without an installed detector the program's own copy replaces the one in the start-up folder
// and runs from there; a program at the first space of that folder's path never runs.
TEST_F(AutoLaunchSetting, TurningOnInstallsTheOwnDetectorAndStartsItQuoted) {
    const std::string installedCopy = std::string(kStartup) + "\\TWDVController.exe";
    WriteTextFile(installedCopy, "an older copy");
    Plant(kOwnDetector);
    Plant("G:\\Start.exe");
    Open();
    Click();
    EXPECT_TRUE(Started(installedCopy)) << ReadFileBytes(kLog);
    EXPECT_EQ(ReadFileBytes(installedCopy), ReadFileBytes(kOwnDetector));
    Pump(300);
    EXPECT_EQ(Lower(ReadFileBytes(kLog)).find("start.exe"), std::string::npos) << ReadFileBytes(kLog);
}

// A "Detector path" longer than the default detector path does not fit and counts as none.
TEST_F(AutoLaunchSetting, ADetectorPathTooLongForItsBufferCountsAsNone) {
    const std::string installed = "G:\\A detector folder whose path is longer than the default one";
    Store("Detector path", installed);
    Plant(installed + "\\TWDVController.exe");
    Plant(kOwnDetector);
    Open();
    Click();
    EXPECT_TRUE(Started(std::string(kStartup) + "\\TWDVController.exe")) << ReadFileBytes(kLog);
    EXPECT_EQ(Lower(ReadFileBytes(kLog)).find("a detector folder"), std::string::npos);
}

}  // namespace
