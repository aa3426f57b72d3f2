// The repair's progress line, on a clock the test turns: when it is drawn, and what it says.
#include <gtest/gtest.h>

#include "movie/repair/RepairProgress.h"

using movie::repair::RepairProgress;

namespace {

constexpr uint64_t kMB = 1 << 20;

}  // namespace

TEST(RepairProgress, DrawnAfterHalfASecondThenEveryHalfSecond) {
    RepairProgress p("Clip.mov", 100.0);
    EXPECT_FALSE(p.Update(1 * kMB, 100 * kMB, 100.2)) << "a repair shorter than half a second shows no line";
    EXPECT_TRUE(p.Update(10 * kMB, 100 * kMB, 100.5));
    EXPECT_EQ(p.Line(), "Clip.mov   10%  20.0 MB/s  0:05 left");
    EXPECT_FALSE(p.Update(12 * kMB, 100 * kMB, 100.9));
    EXPECT_TRUE(p.Update(20 * kMB, 100 * kMB, 101.0));
    EXPECT_EQ(p.Line(), "Clip.mov   20%  20.0 MB/s  0:04 left");
    // Work that goes nowhere: no speed to tell the time left by.
    RepairProgress stuck("Clip.mov", 0);
    EXPECT_TRUE(stuck.Update(0, 100 * kMB, 3));
    EXPECT_EQ(stuck.Line(), "Clip.mov    0%  -- MB/s  -- left");
    // Never backwards, never past the end.
    EXPECT_TRUE(p.Update(5 * kMB, 100 * kMB, 102.0));
    EXPECT_NE(p.Line().find(" 20% "), std::string::npos) << p.Line();
    EXPECT_TRUE(p.Update(200 * kMB, 100 * kMB, 103.0));
    EXPECT_NE(p.Line().find("100%"), std::string::npos) << p.Line();
    EXPECT_NE(p.Line().find("0:00 left"), std::string::npos) << p.Line();
}

TEST(RepairProgress, SpeedOfTheLastSecondsAndHoursLeft) {
    // 60 s at 30 MB/s from a warm cache, then the disk's own 5 MB/s: the line tells the disk's
    // speed once its ten seconds are measured, and the time left at that speed.
    const uint64_t total = 20000 * kMB;
    RepairProgress p("Clip.mov", 0);
    uint64_t done = 0;
    double t = 0;
    for (; t < 60; t += 0.5) p.Update(done += 15 * kMB, total, t + 0.5);
    for (int i = 0; i < 25; ++i) p.Update(done += 5 * kMB / 2, total, t += 0.5);
    EXPECT_NE(p.Line().find("5.0 MB/s"), std::string::npos) << p.Line();
    const double left = double(total - done) / (5 * kMB);
    const long s = long(left + 0.5);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%ld:%02ld:%02ld left", s / 3600, s / 60 % 60, s % 60);
    EXPECT_NE(p.Line().find(expected), std::string::npos) << p.Line();
}

TEST(RepairProgress, ALongNameIsCutToTheConsolesWidth) {
    const std::string name = "[2/12] " + std::string(100, 'x') + "_Harbour_0042.mov";
    RepairProgress p(name, 0);
    p.Update(kMB, 10 * kMB, 1);
    const std::string line = p.Line();
    EXPECT_EQ(line.size(), 79u) << line;
    EXPECT_EQ(line.rfind("...", 0), 0u) << line;
    EXPECT_NE(line.find("x_Harbour_0042.mov   10%  1.0 MB/s  0:09 left"), std::string::npos) << line;
    // A name in UTF-8 is cut between its characters.
    std::string accents;
    for (int i = 0; i < 40; ++i) accents += "\xC3\xA9";
    RepairProgress utf(accents + ".mov", 0);
    utf.Update(kMB, 10 * kMB, 1);
    const std::string cut = utf.Line();
    EXPECT_EQ(cut.size(), 78u);
    EXPECT_EQ(cut.substr(0, 5), "...\xC3\xA9") << cut;
}
