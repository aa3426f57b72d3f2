// The damaged file, opened read-only: random-access reads for the walk, and the handle the new
// file's media is copied from. Opened without write access, so the repair cannot change it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "movie/container/MovieReader.h"

namespace movie::repair {

class FileHandle;
class OutputFile;

class InputFile : public ByteSource {
public:
    static std::unique_ptr<InputFile> Open(const std::string& path);
    ~InputFile() override;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* dst, size_t count) override;

private:
    friend class OutputFile;
    InputFile(std::unique_ptr<FileHandle> file, uint64_t size);
    std::unique_ptr<FileHandle> file_;
    uint64_t size_;
};

}  // namespace movie::repair
