// The date text of a clip follows the user's locale: short date, a blank, the time.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestUi.h"
#include "catalogue/win/FolderScan.h"

namespace {

TEST(DateTextLanguage, ShortDateThenTimeInTheUsersLocale) {
    SYSTEMTIME t{2004, 3, 0, 14, 13, 5, 9, 0};
    std::string text = FormatDateTime(t);
    std::string lang = testui::TestLanguage();
    if (lang == "en_US") {
        EXPECT_EQ(text, "3/14/2004 1:05:09 PM");
    } else if (lang == "de_DE") {  // the platform's German short date: day, month, year with dots
        EXPECT_TRUE(text == "14.03.2004 13:05:09" || text == "14.3.2004 13:05:09") << text;
    } else if (lang == "fr_FR") {
        EXPECT_EQ(text, "14/03/2004 13:05:09");
    }
    // Every locale: the year and the minutes and seconds are there, date before time.
    size_t year = text.find("2004"), time = text.find("05:09");
    ASSERT_NE(year, std::string::npos) << text;
    ASSERT_NE(time, std::string::npos) << text;
    EXPECT_LT(year, time) << text;
}

TEST(DateText, InvalidFieldsGiveEmptyPartsNotGarbage) {
    SYSTEMTIME bad{2004, 13, 0, 40, 25, 61, 61, 0};
    EXPECT_EQ(FormatDateTime(bad), " ");
}

}  // namespace
