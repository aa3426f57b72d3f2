// An open file of the system, owned: a descriptor here, closed when the owner goes. The Windows
// build has its own (win/FileHandle.h), a kernel handle; InputFile and OutputFile hold one.
#pragma once

#include <unistd.h>

#include <utility>

namespace movie::repair {

class FileHandle {
public:
    explicit FileHandle(int fd = -1) : fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // Closes it now; false when the system reports a failure (a write that did not reach the disk).
    bool Close() { return fd_ < 0 || ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

}  // namespace movie::repair
