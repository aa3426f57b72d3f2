// Copies the recovered media into the new file while the walk goes on: the walk hands over each
// sample it keeps, in file order; stretches of them back to back are copied as one, by a thread of
// its own reading through a handle of its own.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "movie/repair/write/InputFile.h"
#include "movie/repair/write/OutputFile.h"

namespace movie::repair {

class MediaCopier {
public:
    // Appends to `out` from the file at `sourcePath`. Check Ready().
    MediaCopier(const std::string& sourcePath, OutputFile& out);
    ~MediaCopier();  // stops the copy (what is queued is dropped) and waits for it
    MediaCopier(const MediaCopier&) = delete;
    MediaCopier& operator=(const MediaCopier&) = delete;

    bool Ready() const { return source_ != nullptr; }
    // Another kept sample's bytes, after the ones before.
    void Add(uint64_t offset, uint64_t bytes);
    // Copies what is left and waits: true when every byte handed over was written. While it waits,
    // `waiting` is called every tenth of a second or so (to show how the copy goes).
    bool Finish(const std::function<void()>& waiting = nullptr);
    // The bytes handed over that are not written yet.
    uint64_t Behind() const { return handed_ - written_.load(std::memory_order_relaxed); }

private:
    struct Run {
        uint64_t offset, bytes;
    };
    void Queue(const Run& r);
    void Copy();

    std::unique_ptr<InputFile> source_;
    OutputFile& out_;
    Run pending_{0, 0};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Run> queue_;
    bool done_ = false, busy_ = false, failed_ = false;
    uint64_t handed_ = 0;
    std::atomic<uint64_t> written_{0};
    std::thread thread_;
};

}  // namespace movie::repair
