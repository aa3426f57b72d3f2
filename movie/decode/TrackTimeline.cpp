#include "movie/decode/TrackTimeline.h"

#include <limits>

namespace movie {

uint64_t ScaleTime(uint64_t a, uint64_t b, uint64_t c) {
    if (c == 0) return 0;
    uint64_t product;
    if (!__builtin_mul_overflow(a, b, &product)) return product / c;
    // Split a = q*c + r: a*b/c = q*b + r*b/c, each part checked (r*b/c < b).
    const uint64_t q = a / c, r = a % c;
    uint64_t whole, rest;
    if (__builtin_mul_overflow(q, b, &whole)) return std::numeric_limits<uint64_t>::max();
    if (!__builtin_mul_overflow(r, b, &rest))
        rest /= c;
    else
        rest = uint64_t((long double)r * (long double)b / (long double)c);
    uint64_t sum;
    return __builtin_add_overflow(whole, rest, &sum) ? std::numeric_limits<uint64_t>::max() : sum;
}

double DurationSeconds(const Movie& movie) {
    return movie.timeScale ? double(movie.duration) / movie.timeScale : 0.0;
}

TrackTimeline::TrackTimeline(const Track& track, uint32_t movieTimeScale)
    : movieScale_(movieTimeScale ? movieTimeScale : 1), mediaScale_(track.mediaTimeScale ? track.mediaTimeScale : 1) {
    uint64_t at = 0;
    auto add = [&](uint64_t duration, int64_t mediaStart, int32_t rate) {
        if (duration == 0) return;
        uint64_t end;
        if (__builtin_add_overflow(at, duration, &end)) return;
        segments_.push_back({at, end, mediaStart < 0 ? -1 : mediaStart, rate});
        at = end;
    };
    if (track.hasEditList) {
        for (const Track::Edit& e : track.edits) add(e.segmentDuration, e.mediaTime, e.mediaRate);
    } else {
        uint64_t duration = track.duration;
        if (duration == 0) duration = ScaleTime(track.mediaDuration, movieScale_, mediaScale_);
        add(duration, 0, 0x10000);
    }
}

const TrackTimeline::Segment* TrackTimeline::SegmentAt(uint64_t movieTime) const {
    // Few segments in practice (one or two): a linear walk.
    for (const Segment& s : segments_)
        if (movieTime < s.movieEnd) return &s;
    return nullptr;
}

bool TrackTimeline::MediaTimeAt(uint64_t movieTime, int64_t& mediaTime) const {
    const Segment* s = SegmentAt(movieTime);
    if (!s || s->mediaStart < 0) return false;
    if (s->rate <= 0) {  // a dwell (rate 0); reverse play is shown as a dwell too
        mediaTime = s->mediaStart;
        return true;
    }
    uint64_t offset = ScaleTime(movieTime - s->movieStart, mediaScale_, movieScale_);
    offset = ScaleTime(offset, uint64_t(s->rate), 0x10000);
    const uint64_t limit = uint64_t(std::numeric_limits<int64_t>::max()) - uint64_t(s->mediaStart);
    mediaTime = s->mediaStart + int64_t(offset < limit ? offset : limit);
    return true;
}

bool TrackTimeline::MovieTimeOf(int64_t mediaTime, uint64_t from, uint64_t& movieTime) const {
    const Segment* s = SegmentAt(from);
    if (!s || s->mediaStart < 0 || s->rate <= 0 || mediaTime < s->mediaStart) return false;
    // Rounded up, so that the media time presented at the result has reached mediaTime.
    const uint64_t media = ScaleTime(uint64_t(mediaTime - s->mediaStart), 0x10000, uint64_t(s->rate));
    uint64_t offset = ScaleTime(media, movieScale_, mediaScale_);
    int64_t reached;
    if (MediaTimeAt(s->movieStart + offset, reached) && reached < mediaTime) ++offset;
    uint64_t t;
    if (__builtin_add_overflow(s->movieStart, offset, &t)) return false;
    if (t < from) t = from;
    if (t >= s->movieEnd) return false;
    movieTime = t;
    return true;
}

}  // namespace movie
