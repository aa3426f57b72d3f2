#include "movie/repair/InputFile.h"

#include <windows.h>

namespace movie::repair {

std::unique_ptr<InputFile> InputFile::Open(const std::string& path) {
    // Others may read and even write it meanwhile (a recorder still holding it); we never write.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size) || size.QuadPart < 0) {
        ::CloseHandle(h);
        return nullptr;
    }
    std::unique_ptr<InputFile> f(new InputFile());
    f->handle_ = reinterpret_cast<intptr_t>(h);
    f->size_ = uint64_t(size.QuadPart);
    return f;
}

InputFile::~InputFile() {
    if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool InputFile::ReadAt(uint64_t offset, void* dst, size_t count) {
    if (offset > size_ || count > size_ - offset) return false;
    auto* p = static_cast<uint8_t*>(dst);
    while (count > 0) {
        OVERLAPPED at = {};
        at.Offset = DWORD(offset);
        at.OffsetHigh = DWORD(offset >> 32);
        const DWORD want = count > (1u << 30) ? DWORD(1u << 30) : DWORD(count);
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(handle_), p, want, &got, &at) || got == 0) return false;
        p += got;
        offset += got;
        count -= got;
    }
    return true;
}

}  // namespace movie::repair
