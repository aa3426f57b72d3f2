// Tiny movie files made in the test: a 'moov' with a movie header and nothing else, enough for
// the movie library to read a time scale and a duration.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace testui {

inline void PutBE32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

inline std::string MinimalMovie(uint32_t timeScale, uint32_t duration) {
    std::string mvhd;
    PutBE32(mvhd, 108);
    mvhd += "mvhd";
    PutBE32(mvhd, 0);  // version 0, flags
    PutBE32(mvhd, 0);  // created
    PutBE32(mvhd, 0);  // modified
    PutBE32(mvhd, timeScale);
    PutBE32(mvhd, duration);
    PutBE32(mvhd, 0x00010000);  // rate 1.0
    mvhd += std::string("\x01\x00", 2);  // volume 1.0
    mvhd += std::string(10, '\0');
    const uint32_t matrix[9] = {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
    for (uint32_t m : matrix) PutBE32(mvhd, m);
    mvhd += std::string(24, '\0');
    PutBE32(mvhd, 1);  // next track id
    std::string moov;
    PutBE32(moov, static_cast<uint32_t>(8 + mvhd.size()));
    moov += "moov";
    return moov + mvhd;
}

// Writes a movie of the given duration; with `size` larger than the movie, the file is extended
// (sparse) to that many bytes, the extra bytes forming a free atom the reader skips.
inline bool WriteMovieFile(const std::string& path, uint32_t timeScale, uint32_t duration, uint64_t size = 0) {
    std::string bytes = MinimalMovie(timeScale, duration);
    if (size > bytes.size()) {
        uint64_t rest = size - bytes.size();
        // A 64-bit 'free' atom covering the rest of the file.
        std::string free;
        PutBE32(free, 1);
        free += "free";
        PutBE32(free, static_cast<uint32_t>(rest >> 32));
        PutBE32(free, static_cast<uint32_t>(rest));
        bytes += free;
    }
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    if (ok && size > bytes.size()) {
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        ok = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    }
    CloseHandle(h);
    return ok;
}

}  // namespace testui
