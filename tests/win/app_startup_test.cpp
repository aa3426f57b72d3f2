// Start-up: the command line decision with its message boxes, and the drive scan over real
// drive letters of the test prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestUi.h"
#include "app/win/ClipHarborApp.h"
#include "app/win/DriveScan.h"

using namespace testui;

namespace {

struct Answered {
    int boxes = 0;
    std::string caption;
    std::wstring text;
};

// Runs BuildDeviceList, answering (and recording) any box it shows.
bool Build(std::vector<std::string> args, std::vector<std::string>& roots, Answered& answered) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    BoxWatcher watcher([&](HWND box) {
        ++answered.boxes;
        answered.caption = WindowText(box);
        answered.text = MessageBoxTextW(box);
        PressButton(box, IDOK);
    });
    return BuildDeviceList(static_cast<int>(argv.size()), argv.data(), roots);
}

void OnlyDevicesOn(const std::string& letters) {
    for (char d = 'D'; d <= 'K'; ++d) {
        ClearDrive(d);
        if (letters.find(d) != std::string::npos) MakeMediaFolder(d);
    }
}

TEST(Startup, DetectorArgumentsAreTakenUnchecked) {
    std::vector<std::string> roots;
    Answered answered;
    ASSERT_TRUE(Build({"ClipHarbor.exe", "Zelkor_TWDV_LST", "G:\\Movie\\Media\\", "E:\\Movie\\Media"}, roots, answered));
    EXPECT_EQ(answered.boxes, 0);
    EXPECT_EQ(roots, (std::vector<std::string>{"G:\\Movie\\Media\\", "E:\\Movie\\Media"}));
}

TEST(Startup, WrongArgumentsShowTheFixedMessage) {
    for (std::vector<std::string> args : {std::vector<std::string>{"ClipHarbor.exe", "Zelkor_TWDV_LST"},
                                          {"ClipHarbor.exe", "zelkor_twdv_lst", "E:\\Movie\\Media\\"},
                                          {"ClipHarbor.exe", "E:\\Movie\\Media\\"}}) {
        std::vector<std::string> roots;
        Answered answered;
        EXPECT_FALSE(Build(args, roots, answered));
        EXPECT_EQ(answered.boxes, 1);
        EXPECT_EQ(answered.caption, "Zelkor ClipHarbor for Windows version 1.0");
        EXPECT_EQ(answered.text, L"Don't use that application directly. Use ClipHarbor from the preverious folder");
    }
}

TEST(Startup, OddArgumentsDoNotCrash) {
    std::vector<std::string> args{"ClipHarbor.exe", "Zelkor_TWDV_LST"};
    for (int i = 0; i < 100; ++i) args.push_back("\xe9\xe8 clip " + std::to_string(i));
    args.push_back(std::string(2000, 'p'));
    std::vector<std::string> roots;
    Answered answered;
    ASSERT_TRUE(Build(args, roots, answered));
    EXPECT_EQ(roots.size(), 101u);
    EXPECT_EQ(roots.back().size(), 2000u);
}

TEST(DriveScan, FindsOnlyTheDrivesWithTheDeviceFolderInOrder) {
    OnlyDevicesOn("FD");
    // E: is mapped but has no device folder; letters from L: on are not mapped at all.
    CreateDirectoryA("E:\\Movie", nullptr);
    ASSERT_TRUE(SetCurrentDirectoryA("E:\\Movie"));
    EXPECT_EQ(ScanDrivesForDevices(), (std::vector<std::string>{"D:\\Movie\\Media\\", "F:\\Movie\\Media\\"}));
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_STREQ(current, "E:\\Movie");
    SetCurrentDirectoryA("C:\\");
    OnlyDevicesOn("");
}

TEST(DriveScan, NoArgumentsUseTheScan) {
    OnlyDevicesOn("J");
    std::vector<std::string> roots;
    Answered answered;
    ASSERT_TRUE(Build({"ClipHarbor.exe"}, roots, answered));
    EXPECT_EQ(answered.boxes, 0);
    EXPECT_EQ(roots, (std::vector<std::string>{"J:\\Movie\\Media\\"}));
    OnlyDevicesOn("");
}

// Runs in every language: the no-device message comes from the catalogue.
TEST(StartupLanguage, NoDeviceShowsTheCatalogueMessage) {
    OnlyDevicesOn("");
    std::vector<std::string> roots;
    Answered answered;
    EXPECT_FALSE(Build({"ClipHarbor.exe"}, roots, answered));
    ASSERT_EQ(answered.boxes, 1);
    EXPECT_EQ(answered.caption, "Zelkor ClipHarbor for Windows version 1.0");
    std::string lang = TestLanguage();
    if (lang == "de_DE") {
        EXPECT_EQ(answered.text, L"Der Zelkor ClipHarbor arbeitet nur mit der Tidewell DV von Zelkor.");
    } else if (lang == "fr_FR") {
        EXPECT_EQ(answered.text, L"Zelkor ClipHarbor est destiner a fonctionner uniquement avec Le Tidewell DV de Zelkor.");
    } else if (lang == "ru_RU") {
        EXPECT_EQ(answered.text, L"Zelkor ClipHarbor \u0440\u0430\u0437\u0440\u0430\u0431\u043e\u0442\u0430\u043d "
                                 L"\u0442\u043e\u043b\u044c\u043a\u043e \u0434\u043b\u044f \u0440\u0430\u0431\u043e\u0442\u044b "
                                 L"\u0441 Tidewell DV \u043e\u0442  Zelkor.");
    } else if (lang == "en_US" || lang == "es_ES") {  // Wine shows a Spanish user the English table
        EXPECT_EQ(answered.text, L"Zelkor ClipHarbor is designed to only work with the Tidewell DV from Zelkor.");
    }
}

}  // namespace
