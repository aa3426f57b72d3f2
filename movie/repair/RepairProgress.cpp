#include "movie/repair/RepairProgress.h"

#include <algorithm>
#include <cstdio>

namespace movie::repair {

namespace {

constexpr size_t kColumns = 79;
constexpr double kMegabyte = 1 << 20;

std::string Duration(double seconds) {
    const long s = long(seconds + 0.5);
    char text[32];
    if (s >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

RepairProgress::RepairProgress(std::string label, double start) : label_(std::move(label)), start_(start) {
    readings_.push_back({start, 0});
}

bool RepairProgress::Update(uint64_t done, uint64_t total, double now) {
    total_ = total;
    done_ = std::min(std::max(done, done_), total);  // never backwards
    now_ = now;
    if (now - (drawn_ < 0 ? start_ : drawn_) < kRedraw) return false;
    drawn_ = now;
    readings_.push_back({now, done_});
    while (readings_.size() > 2 && now - readings_[1].time >= kSpeedSpan) readings_.pop_front();
    return true;
}

std::string RepairProgress::Line() const {
    const unsigned percent = total_ == 0 ? 100u : unsigned(done_ * 100 / total_);
    std::string speed = "-- MB/s", left = "-- left";
    const Reading& from = readings_.front();
    const double span = now_ - from.time;
    if (span > 0 && done_ > from.done) {
        const double perSecond = double(done_ - from.done) / span;
        char text[32];
        std::snprintf(text, sizeof text, "%.1f MB/s", perSecond / kMegabyte);
        speed = text;
        left = Duration(double(total_ - done_) / perSecond) + " left";
    }
    char figures[64];
    std::snprintf(figures, sizeof figures, "  %3u%%  %s  %s", percent, speed.c_str(), left.c_str());
    std::string label = label_;
    const size_t room = kColumns - std::min(kColumns, std::string(figures).size());
    if (label.size() > room) {
        size_t cut = label.size() - std::min(label.size(), room > 3 ? room - 3 : 0);
        while (cut < label.size() && (uint8_t(label[cut]) & 0xC0) == 0x80) ++cut;  // not inside a UTF-8 character
        label = room > 3 ? "..." + label.substr(cut) : std::string();
    }
    return label + figures;
}

}  // namespace movie::repair
