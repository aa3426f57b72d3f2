#include "movie/repair/write/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "movie/repair/write/FileHandle.h"
#include "movie/repair/write/InputFile.h"

namespace movie::repair {

namespace {

constexpr size_t kCopyBlock = 1u << 20;

std::string SystemText(int error) { return std::strerror(error); }

}  // namespace

bool PathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::unique_ptr<OutputFile> OutputFile::Create(const std::string& finalPath, std::string& error) {
    std::unique_ptr<OutputFile> f(new OutputFile());
    f->final_ = finalPath;
    for (int attempt = 0; attempt < 100; ++attempt) {
        f->temp_ = finalPath + ".cliprepair-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        const int fd = ::open(f->temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        const int why = errno;
        f->file_ = std::make_unique<FileHandle>(fd);
        if (*f->file_) return f;
        if (why != EEXIST) {
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
        ::unlink(temp_.c_str());
    }
}

void OutputFile::Reserve(uint64_t bytes) {
#ifdef __linux__
    while (::fallocate(file_->Get(), FALLOC_FL_KEEP_SIZE, 0, off_t(bytes)) != 0 && errno == EINTR) {
    }
#else
    (void)bytes;
#endif
}

bool OutputFile::WriteAtRaw(uint64_t offset, const void* data, size_t count) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (count > 0) {
        const ssize_t done = ::pwrite(file_->Get(), p, count, off_t(offset));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        p += done;
        offset += uint64_t(done);
        count -= size_t(done);
    }
    return true;
}

bool OutputFile::CopyFrom(InputFile& source, uint64_t offset, uint64_t length) {
#ifdef __linux__
    // In-kernel copy: the media never passes through this process.
    off_t from = off_t(offset), to = off_t(size_);
    while (!failed_ && length > 0) {
        const ssize_t done = ::copy_file_range(source.file_->Get(), &from, file_->Get(), &to,
                                               size_t(std::min<uint64_t>(length, 1u << 30)), 0);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            // Not offered between these files (another file system, an old kernel): copy by hand.
            if (done < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) break;
            failed_ = true;
            return false;
        }
        length -= uint64_t(done);
        size_ += uint64_t(done);
    }
    offset = uint64_t(from);
#endif
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
    const bool written = !failed_ && ::ftruncate(file_->Get(), off_t(size_)) == 0 && file_->Close();
    if (!written) {
        file_->Close();
        ::unlink(temp_.c_str());
        error = "cannot write " + final_ + " (is the disk full?)";
        return false;
    }
    // A hard link gives the final name only if it is free; where links are not offered (FAT),
    // rename without replacing, else check and rename.
    bool named = ::link(temp_.c_str(), final_.c_str()) == 0;
    int why = named ? 0 : errno;
#ifdef __linux__
    if (!named && why != EEXIST) {
        named = ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, final_.c_str(), RENAME_NOREPLACE) == 0;
        why = named ? 0 : errno;
    }
#endif
    if (!named && why != EEXIST) {
        if (!PathExists(final_)) {
            named = std::rename(temp_.c_str(), final_.c_str()) == 0;
            why = named ? 0 : errno;
        } else {
            why = EEXIST;
        }
    }
    ::unlink(temp_.c_str());  // after a link: the temporary name; after a rename: nothing
    if (!named) {
        error = why == EEXIST ? final_ + " exists: it is not overwritten" : "cannot name " + final_ + ": " + SystemText(why);
        return false;
    }
    return true;
}

}  // namespace movie::repair
