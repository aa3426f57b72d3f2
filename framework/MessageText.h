// Filling the program's message texts: the conversions of a text from the string tables take
// their values. Portable; the texts themselves are loaded on Windows (ResourceModule.h).
#pragma once

#include <string>
#include <vector>

// One value for a message text's conversion: the conversion letter it answers ('d' or 's') and
// its text.
struct FormatValue {
    char kind;
    std::string text;
};

// Fills a message text's conversions in order: each %d or %s takes the next value when its
// letter matches that value's kind; "%%" is a percent sign. A conversion that does not match the
// next value, or comes after all of them, is copied as written, so a faulty translation can never
// read a wrong argument; inserted texts are never read as conversions.
std::string FillMessage(const std::string& format, const std::vector<FormatValue>& values);
