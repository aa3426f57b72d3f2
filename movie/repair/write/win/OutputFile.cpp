#include "movie/repair/write/OutputFile.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "movie/repair/write/InputFile.h"
#include "movie/repair/write/win/FileHandle.h"

namespace movie::repair {

namespace {

constexpr size_t kCopyBlock = 1u << 20;

std::string SystemText(DWORD error) {
    char text[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                   sizeof text, nullptr);
    std::string s(text, n);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s.empty() ? "error " + std::to_string(error) : s;
}

}  // namespace

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::unique_ptr<OutputFile> OutputFile::Create(const std::string& finalPath, std::string& error) {
    std::unique_ptr<OutputFile> f(new OutputFile());
    f->final_ = finalPath;
    for (int attempt = 0; attempt < 100; ++attempt) {
        f->temp_ = finalPath + ".cliprepair-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
        const HANDLE h = CreateFileA(f->temp_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        const DWORD why = GetLastError();
        f->file_ = std::make_unique<FileHandle>(h);
        if (*f->file_) return f;
        if (why != ERROR_FILE_EXISTS && why != ERROR_ALREADY_EXISTS) {
            error = "cannot create " + f->temp_ + ": " + SystemText(why);
            return nullptr;
        }
    }
    error = "cannot create a temporary file beside " + finalPath;
    return nullptr;
}

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    if (file_ && *file_) {
        file_->Close();
        DeleteFileA(temp_.c_str());
    }
}

void OutputFile::Reserve(uint64_t bytes) {
    // Allocation without a change of the file's size, where the volume offers it.
    FILE_ALLOCATION_INFO info = {};
    info.AllocationSize.QuadPart = LONGLONG(bytes);
    SetFileInformationByHandle(file_->Get(), FileAllocationInfo, &info, sizeof info);
}

bool OutputFile::WriteAtRaw(uint64_t offset, const void* data, size_t count) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (count > 0) {
        OVERLAPPED at = {};
        at.Offset = DWORD(offset);
        at.OffsetHigh = DWORD(offset >> 32);
        const DWORD want = count > (1u << 30) ? DWORD(1u << 30) : DWORD(count);
        DWORD done = 0;
        if (!WriteFile(file_->Get(), p, want, &done, &at) || done == 0) return false;
        p += done;
        offset += done;
        count -= done;
    }
    return true;
}

bool OutputFile::CopyFrom(InputFile& source, uint64_t offset, uint64_t length) {
    std::vector<uint8_t> buffer;
    while (!failed_ && length > 0) {
        const size_t n = size_t(std::min<uint64_t>(length, kCopyBlock));
        buffer.resize(n);
        if (!source.ReadAt(offset, buffer.data(), n) || !Write(buffer.data(), n)) failed_ = true;
        offset += n;
        length -= n;
    }
    return !failed_;
}

bool OutputFile::Commit(std::string& error) {
    if (!*file_) {
        error = "the file is already closed";
        return false;
    }
    // The size written is the file's: room reserved beyond it is given back.
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(size_);
    const bool written = !failed_ && SetFilePointerEx(file_->Get(), end, nullptr, FILE_BEGIN) &&
                         SetEndOfFile(file_->Get()) && FlushFileBuffers(file_->Get()) && file_->Close();
    if (!written) {
        file_->Close();
        DeleteFileA(temp_.c_str());
        error = "cannot write " + final_ + " (is the disk full?)";
        return false;
    }
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
    if (!MoveFileExA(temp_.c_str(), final_.c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD why = GetLastError();
        DeleteFileA(temp_.c_str());
        error = why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS ? final_ + " exists: it is not overwritten"
                                                                         : "cannot name " + final_ + ": " + SystemText(why);
        return false;
    }
    return true;
}

}  // namespace movie::repair
