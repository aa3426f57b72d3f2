#include "movie/repair/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace movie::repair {

std::unique_ptr<InputFile> InputFile::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<InputFile> f(new InputFile());
    f->handle_ = fd;
    f->size_ = uint64_t(st.st_size);
    return f;
}

InputFile::~InputFile() {
    if (handle_ >= 0) ::close(int(handle_));
}

bool InputFile::ReadAt(uint64_t offset, void* dst, size_t count) {
    if (offset > size_ || count > size_ - offset) return false;
    auto* p = static_cast<uint8_t*>(dst);
    while (count > 0) {
        const ssize_t got = ::pread(int(handle_), p, count, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        offset += uint64_t(got);
        count -= size_t(got);
    }
    return true;
}

}  // namespace movie::repair
