#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

StartDecision Decide(std::vector<const char*> args) {
    return DecideStart(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, NoArgumentsScansTheDrives) {
    EXPECT_EQ(Decide({"ClipHarbor.exe"}).mode, StartMode::ScanDrives);
}

TEST(CommandLine, RefusesAnythingButTheTokenFollowedByFolders) {
    EXPECT_EQ(Decide({"ClipHarbor.exe", "Zelkor_TWDV_LST"}).mode, StartMode::Refuse);
    EXPECT_EQ(Decide({"ClipHarbor.exe", "E:\\Movie\\Media\\"}).mode, StartMode::Refuse);
    EXPECT_EQ(Decide({"ClipHarbor.exe", "zelkor_twdv_lst", "E:\\Movie\\Media\\"}).mode, StartMode::Refuse);
    EXPECT_EQ(Decide({"ClipHarbor.exe", "Zelkor_TWDV_LST ", "E:\\"}).mode, StartMode::Refuse);
    EXPECT_EQ(Decide({"ClipHarbor.exe", "Zelkor_TWDV_LS", "E:\\"}).mode, StartMode::Refuse);
}

TEST(CommandLine, KeepsFoldersUncheckedAndInOrder) {
    StartDecision d = Decide({"ClipHarbor.exe", "Zelkor_TWDV_LST", "G:\\Movie\\Media\\", "E:\\Movie\\Media\\",
                              "Q:\\no\\such\\place", "\xc3\xa9t\xc3\xa9"});
    ASSERT_EQ(d.mode, StartMode::Devices);
    EXPECT_EQ(d.devices, (std::vector<std::string>{"G:\\Movie\\Media\\", "E:\\Movie\\Media\\", "Q:\\no\\such\\place",
                                                   "\xc3\xa9t\xc3\xa9"}));
}

TEST(CommandLine, ManyAndLongArgumentsAreKept) {
    std::string longPath(2000, 'x');
    std::vector<std::string> storage(100, "D:\\Movie\\Media\\");
    storage[50] = longPath;
    std::vector<const char*> args{"ClipHarbor.exe", "Zelkor_TWDV_LST"};
    for (auto& s : storage) args.push_back(s.c_str());
    StartDecision d = Decide(args);
    ASSERT_EQ(d.mode, StartMode::Devices);
    EXPECT_EQ(d.devices, storage);
}

TEST(DriveMask, FoldersInAscendingDriveOrder) {
    EXPECT_TRUE(DeviceRootsFromMask(0).empty());
    // D is drive 4 (bit 3), F drive 6 (bit 5), Z drive 26 (bit 25).
    EXPECT_EQ(DeviceRootsFromMask((1u << 5) | (1u << 3) | (1u << 25)),
              (std::vector<std::string>{"D:\\Movie\\Media\\", "F:\\Movie\\Media\\", "Z:\\Movie\\Media\\"}));
    EXPECT_EQ(DeviceRootOfDrive(1), "A:\\Movie\\Media\\");
    // Bits above Z name no drive.
    EXPECT_TRUE(DeviceRootsFromMask(1ul << 26).empty());
}

}  // namespace
