// The progress line of a repair: how much of the damaged clip's media is through, how fast, and
// how long the rest will take. Plain arithmetic on the bytes done and a clock's reading, so that it
// is the same wherever the line is shown (the console draws it in place).
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace movie::repair {

class RepairProgress {
public:
    // How often the line is drawn again, and how far back its speed is measured, in seconds.
    static constexpr double kRedraw = 0.5;
    static constexpr double kSpeedSpan = 10;

    // `label` starts the line (the clip's name); `start` is the clock's reading when the work began.
    RepairProgress(std::string label, double start);

    // `done` of `total` bytes are through at `now` (seconds of the same clock). True when the line
    // is to be drawn again: not before kRedraw has passed since the start (a short repair shows no
    // line), then every kRedraw.
    bool Update(uint64_t done, uint64_t total, double now);
    // "LABEL  42%  31.5 MB/s  0:12 left", within a console's 79 columns (a long label is cut at
    // its start); the speed and the time left read "--" until they can be told.
    std::string Line() const;

private:
    struct Reading {
        double time;
        uint64_t done;
    };

    std::string label_;
    double start_;
    double drawn_ = -1;  // when the line was last drawn; -1: never
    uint64_t done_ = 0, total_ = 0;
    double now_ = 0;
    std::deque<Reading> readings_;  // at each drawing, the last kSpeedSpan seconds
};

}  // namespace movie::repair
