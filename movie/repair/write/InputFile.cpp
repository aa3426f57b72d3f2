#include "movie/repair/write/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "movie/repair/write/FileHandle.h"

namespace movie::repair {

std::unique_ptr<InputFile> InputFile::Open(const std::string& path) {
    auto file = std::make_unique<FileHandle>(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!*file || fstat(file->Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return nullptr;
    // Read from start to end: the system reads further ahead (a hint; nothing depends on it).
    ::posix_fadvise(file->Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::unique_ptr<InputFile>(new InputFile(std::move(file), uint64_t(st.st_size)));
}

InputFile::InputFile(std::unique_ptr<FileHandle> file, uint64_t size) : file_(std::move(file)), size_(size) {}

InputFile::~InputFile() = default;

bool InputFile::ReadAt(uint64_t offset, void* dst, size_t count) {
    if (offset > size_ || count > size_ - offset) return false;
    auto* p = static_cast<uint8_t*>(dst);
    while (count > 0) {
        const ssize_t got = ::pread(file_->Get(), p, count, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        offset += uint64_t(got);
        count -= size_t(got);
    }
    return true;
}

}  // namespace movie::repair
