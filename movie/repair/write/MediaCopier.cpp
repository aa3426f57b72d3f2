#include "movie/repair/write/MediaCopier.h"

#include <chrono>

namespace movie::repair {

namespace {

// A stretch this long is copied without waiting for the rest of it: the copy keeps up with the walk.
constexpr uint64_t kHandOver = 32u << 20;

}  // namespace

MediaCopier::MediaCopier(const std::string& sourcePath, OutputFile& out) : source_(InputFile::Open(sourcePath)), out_(out) {
    if (source_) thread_ = std::thread([this] { Copy(); });
}

MediaCopier::~MediaCopier() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
        done_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void MediaCopier::Add(uint64_t offset, uint64_t bytes) {
    handed_ += bytes;
    if (pending_.bytes > 0 && pending_.offset + pending_.bytes != offset) {
        Queue(pending_);
        pending_.bytes = 0;
    }
    if (pending_.bytes == 0) pending_.offset = offset;
    pending_.bytes += bytes;
    if (pending_.bytes >= kHandOver) {
        Queue(pending_);
        pending_ = {pending_.offset + pending_.bytes, 0};
    }
}

void MediaCopier::Queue(const Run& r) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(r);
    }
    changed_.notify_all();
}

void MediaCopier::Copy() {
    for (;;) {
        Run r;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return done_ || !queue_.empty(); });
            if (queue_.empty()) return;
            r = queue_.front();
            queue_.pop_front();
            busy_ = true;
        }
        const bool ok = out_.CopyFrom(*source_, r.offset, r.bytes);
        written_.fetch_add(r.bytes, std::memory_order_relaxed);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            busy_ = false;
            if (!ok) {
                failed_ = true;
                queue_.clear();  // nothing after a failed stretch is worth writing
            }
        }
        changed_.notify_all();
    }
}

bool MediaCopier::Finish(const std::function<void()>& waiting) {
    if (!Ready()) return false;
    if (pending_.bytes > 0) Queue(pending_);
    pending_.bytes = 0;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto copied = [this] { return queue_.empty() && !busy_; };
        while (!changed_.wait_for(lock, std::chrono::milliseconds(100), copied)) {
            if (!waiting) continue;
            lock.unlock();
            waiting();
            lock.lock();
        }
        done_ = true;
    }
    changed_.notify_all();
    thread_.join();
    return !failed_;
}

}  // namespace movie::repair
