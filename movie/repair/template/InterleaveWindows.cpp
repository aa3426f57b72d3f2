#include "movie/repair/template/InterleaveWindows.h"

#include <algorithm>

namespace movie::repair {

InterleaveWindows::InterleaveWindows(std::vector<double> unitSeconds, double frameSeconds, std::vector<int64_t> decision)
    : frameSeconds_(frameSeconds) {
    for (size_t i = 0; i < unitSeconds.size(); ++i) {
        Track t;
        t.unitSeconds = unitSeconds[i];
        t.decision = i < decision.size() ? decision[i] : 0;
        tracks_.push_back(t);
    }
}

void InterleaveWindows::Sound(size_t track, int64_t units) {
    if (track >= tracks_.size()) return;
    Track& t = tracks_[track];
    if (!t.started) {
        t.started = true;
        t.firstAfter = double(videos_) * frameSeconds_;
    }
    t.soFar += units;
    // Of a chunk joined from buffers, the last buffer was the last thing written in order.
    t.last = t.decision > 0 ? std::min(units, t.decision) : units;
    t.inRun = true;
}

bool InterleaveWindows::Video() {
    const double video = double(videos_) * frameSeconds_;
    bool fits = true;
    for (Track& t : tracks_) {
        if (!t.inRun) continue;
        const double end = double(t.soFar) * t.unitSeconds, last = double(t.last) * t.unitSeconds;
        t.lo = std::max(t.lo, video - end - kTolerance);
        t.hi = std::min(t.hi, video - end + last + kTolerance);
        t.constrained = true;
        t.inRun = false;
        fits = fits && t.lo <= t.hi;
    }
    ++videos_;
    return fits;
}

}  // namespace movie::repair
