#include "framework/MessageText.h"

std::string FillMessage(const std::string& format, const std::vector<FormatValue>& values)
{
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        const char kind = format[i + 1];
        if (kind == '%') {
            out += '%';
            ++i;
        } else if (next < values.size() && kind == values[next].kind) {
            out += values[next++].text;
            ++i;
        } else {
            out += '%';
        }
    }
    return out;
}
