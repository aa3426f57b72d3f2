#include "movie/repair/write/InputFile.h"

#include <windows.h>

#include "movie/repair/write/win/FileHandle.h"

namespace movie::repair {

std::unique_ptr<InputFile> InputFile::Open(const std::string& path) {
    // Others may read and even write it meanwhile (a recorder still holding it); we never write.
    auto file = std::make_unique<FileHandle>(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size;
    if (!*file || GetFileType(file->Get()) != FILE_TYPE_DISK || !GetFileSizeEx(file->Get(), &size) || size.QuadPart < 0)
        return nullptr;
    return std::unique_ptr<InputFile>(new InputFile(std::move(file), uint64_t(size.QuadPart)));
}

InputFile::InputFile(std::unique_ptr<FileHandle> file, uint64_t size) : file_(std::move(file)), size_(size) {}

InputFile::~InputFile() = default;

bool InputFile::ReadAt(uint64_t offset, void* dst, size_t count) {
    if (offset > size_ || count > size_ - offset) return false;
    auto* p = static_cast<uint8_t*>(dst);
    while (count > 0) {
        OVERLAPPED at = {};
        at.Offset = DWORD(offset);
        at.OffsetHigh = DWORD(offset >> 32);
        const DWORD want = count > (1u << 30) ? DWORD(1u << 30) : DWORD(count);
        DWORD got = 0;
        if (!ReadFile(file_->Get(), p, want, &got, &at) || got == 0) return false;
        p += got;
        offset += got;
        count -= got;
    }
    return true;
}

}  // namespace movie::repair
