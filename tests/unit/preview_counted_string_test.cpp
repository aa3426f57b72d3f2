#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "preview/CountedString.h"

using preview::FromCountedString;
using preview::ToCountedString;

TEST(CountedString, RoundTripsEveryLengthTheLengthByteCanCarry) {
    for (size_t length : {0u, 1u, 127u, 128u, 200u, 254u}) {
        std::string text(length, 'x');
        for (size_t i = 0; i < length; ++i) text[i] = char('A' + i % 26);
        char buffer[255];
        std::memcpy(buffer, text.c_str(), length + 1);
        ASSERT_TRUE(ToCountedString(buffer)) << length;
        // The length byte is unsigned: 128 and above must not read back negative.
        EXPECT_EQ(static_cast<unsigned char>(buffer[0]), length);
        EXPECT_EQ(std::string(buffer + 1, length), text);
        ASSERT_TRUE(FromCountedString(buffer, sizeof(buffer)));
        EXPECT_EQ(std::string(buffer), text) << length;
    }
}

TEST(CountedString, RefusesTextsTooLongForTheBufferUntouched) {
    for (size_t length : {255u, 256u, 400u}) {
        std::string text(length, 'p');
        std::string copy = text;
        EXPECT_FALSE(ToCountedString(text.data()));
        EXPECT_EQ(text, copy);
    }
}

TEST(CountedString, ReadingBackNeverWritesPastTheBuffer) {
    // A counted string claiming 255 characters, read into a 255-byte buffer: one is dropped.
    char buffer[257];
    std::memset(buffer, 'z', sizeof(buffer));
    buffer[0] = char(255);
    buffer[256] = '#';
    ASSERT_TRUE(FromCountedString(buffer, 255));
    EXPECT_EQ(std::strlen(buffer), 254u);
    EXPECT_EQ(buffer[255], 'z');
    EXPECT_EQ(buffer[256], '#');

    char tiny[4] = {3, 'a', 'b', 'c'};
    ASSERT_TRUE(FromCountedString(tiny, 2));
    EXPECT_STREQ(tiny, "a");
    EXPECT_FALSE(FromCountedString(tiny, 0));
}
