#include "preview/CountedString.h"

#include <cstring>

namespace preview {

bool ToCountedString(char* text) {
    // strnlen: a text without a terminator within reach is refused, not read past.
    const size_t length = strnlen(text, kMaxCountedLength + 1);
    if (length > kMaxCountedLength) return false;
    std::memmove(text + 1, text, length);
    text[0] = static_cast<char>(static_cast<unsigned char>(length));
    return true;
}

bool FromCountedString(char* text, size_t capacity) {
    if (capacity == 0) return false;
    size_t length = static_cast<unsigned char>(text[0]);
    if (length > capacity - 1) length = capacity - 1;
    std::memmove(text, text + 1, length);
    text[length] = '\0';
    return true;
}

}  // namespace preview
