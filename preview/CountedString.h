// Counted strings: a length byte followed by the characters, the form the movie library takes
// file names in. Portable: no Windows headers.
#pragma once

#include <cstddef>

namespace preview {

// The longest text a counted string of ours carries: the length byte can say 255, but a text of
// 255 characters plus its terminator would not fit back into a 255-byte buffer.
inline constexpr size_t kMaxCountedLength = 254;

// Rewrites a terminated text in place as a length byte followed by its characters (no terminator).
// Refuses, leaving the text untouched, when it is longer than kMaxCountedLength; the text must
// not be null. Needs no room beyond the text's own terminator.
bool ToCountedString(char* text);

// The reverse, in place: moves the characters to the front and terminates them. At most
// capacity - 1 characters are kept, so the result always fits a buffer of capacity bytes.
// Returns false (and leaves the text as is) when capacity is 0; true otherwise.
bool FromCountedString(char* text, size_t capacity);

}  // namespace preview
