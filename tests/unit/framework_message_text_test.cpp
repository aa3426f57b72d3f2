// The message texts' conversions filled from values, whatever the values hold.
#include <gtest/gtest.h>

#include "framework/MessageText.h"

namespace {

TEST(FillMessageTest, ErrorMessagesTakeThePathAndTheSystemTextAsWritten)
{
    // A path may hold conversions of its own; the system text ends in its line break.
    EXPECT_EQ(FillMessage("Error while copying file %s [%s]", {{'s', "D:\\100%s %d.mov"}, {'s', "File exists.\r\n"}}),
              "Error while copying file D:\\100%s %d.mov [File exists.\r\n]");
    EXPECT_EQ(FillMessage("%s [%s]\xe3\x81\xae", {{'s', "a"}, {'s', ""}}), "a []\xe3\x81\xae");
    EXPECT_EQ(FillMessage("%s %s %s", {{'s', "a"}, {'s', "b"}}), "a b %s");
}

}  // namespace
