// The repaired file while it is written: created new under a temporary name beside its final
// name, and given that name only when complete. Until then, and on any failure, the temporary file
// is removed when the object goes; an existing file is never replaced.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace movie::repair {

class FileHandle;
class InputFile;

class OutputFile {
public:
    // Creates a new, empty temporary file for `finalPath` in its folder. Null (and `error`) when
    // that fails.
    static std::unique_ptr<OutputFile> Create(const std::string& finalPath, std::string& error);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Asks the system for room for `bytes` in one piece, without changing the file's size, where
    // it offers that (the copy then runs faster); what is not used is given back by Commit.
    void Reserve(uint64_t bytes);
    // Appends `count` bytes.
    bool Write(const void* data, size_t count) {
        if (failed_ || !WriteAtRaw(size_, data, count)) {
            failed_ = true;
            return false;
        }
        size_ += count;
        return true;
    }
    // Overwrites `count` bytes from `offset`, within what was written.
    bool WriteAt(uint64_t offset, const void* data, size_t count) {
        if (failed_ || offset > size_ || count > size_ - offset || !WriteAtRaw(offset, data, count)) failed_ = true;
        return !failed_;
    }
    // Appends `length` bytes of `source` from `offset` (in the kernel where the system can).
    bool CopyFrom(InputFile& source, uint64_t offset, uint64_t length);
    uint64_t Size() const { return size_; }
    // Closes the file and gives it its final name, unless a file of that name exists by then.
    // False (and `error`) on failure; the temporary file is gone either way.
    bool Commit(std::string& error);

private:
    OutputFile();

    // The system's positioned write of all `count` bytes (each platform's own file).
    bool WriteAtRaw(uint64_t offset, const void* data, size_t count);

    std::unique_ptr<FileHandle> file_;
    std::string final_, temp_;
    uint64_t size_ = 0;
    bool failed_ = false;
};

// Whether something exists at `path` (a file, a folder, anything).
bool PathExists(const std::string& path);

}  // namespace movie::repair
