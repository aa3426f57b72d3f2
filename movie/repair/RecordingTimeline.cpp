#include "movie/repair/RecordingTimeline.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace movie::repair {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Frames from midnight of a time code counting `fps` frames a second; drop-frame time codes skip
// the first two (four at 60) frame numbers of every minute but each tenth.
int64_t TimecodeFrames(const VideoStamp& t, int fps, bool dropFrame) {
    const int64_t minutes = int64_t(t.hours) * 60 + t.minutes;
    int64_t frames = (minutes * 60 + t.seconds) * fps + t.frames;
    if (dropFrame) frames -= int64_t(fps / 15) * (minutes - minutes / 10);
    return frames;
}

// H.264 picture order count, type 0: the most significant part follows the least significant
// part's wrap-arounds from one reference picture to the next.
struct PocCounter {
    int64_t prevMsb = 0, prevLsb = 0;
    int64_t Next(const VideoStamp& t) {
        const int64_t max = int64_t(1) << t.pocBits, lsb = t.pocLsb;
        int64_t msb = prevMsb;
        if (lsb < prevLsb && prevLsb - lsb >= max / 2) msb += max;
        else if (lsb > prevLsb && lsb - prevLsb > max / 2) msb -= max;
        if (t.refIdc != 0) {
            prevMsb = msb;
            prevLsb = lsb;
        }
        return msb + lsb;
    }
};

const int64_t kNone = std::numeric_limits<int64_t>::min();

}  // namespace

struct RecordingTimeline::Track {
    std::vector<size_t> chunks;  // indices into media.sound, in time order
    int64_t units = 0;           // media units the chunks hold together
    int64_t origin = 0;          // resolved: the media time of the first chunk
};

struct RecordingTimeline::Segment {
    uint64_t begin = 0;            // the first byte after the damaged stretch before it
    int damage = -1;               // that stretch, an index of media.damage; -1 for the media's start
    std::vector<size_t> video;     // indices into media.video, in decode order
    std::vector<Track> tracks;     // per sound track of the template
    // Where each track's sound began against the segment's first video sample, by the interleave.
    InterleaveWindows windows{{}, 0};
    // Per frame: its presentation (slots; MPEG-4: VOP time units), relative to the segment's own
    // counting, and whether it can be decoded without what was lost before the segment.
    std::vector<int64_t> present;
    std::vector<bool> usable;
    bool hasKey = false;           // the key frame from which on frames are usable
    size_t key = 0;
    // H.264: the order count where the segment ends, and where its last epoch's slots begin.
    PocCounter pocEnd;
    int64_t lastEpochBase = 0;
    bool keyStartsSegment = false;
    // MPEG-4: `present` is on the recording's own clock (a GOV header set its second).
    bool absoluteTimes = false;
    // Resolved:
    int64_t decode = 0;            // decode index of video[0] in the whole recording
    int64_t presentOrigin = 0;     // added to `present` gives the presentation from the recording's start
    bool estimated = false;
    bool resolved = false;
};

RecordingTimeline::RecordingTimeline(const TemplateLayout& layout) : layout_(layout) {
    const VideoLayout& v = layout.Video();
    codec_ = v.family == VideoFamily::Avc ? Codec::Avc : v.family == VideoFamily::Mpeg4 ? Codec::Mpeg4 : Codec::Constant;
    delta_ = std::max<int64_t>(1, v.delta);
    frameBytes_ = v.family == VideoFamily::Dv ? double(v.dvFrameBytes) : 0;
}

double RecordingTimeline::VideoSeconds(double units) const {
    return units / std::max<uint32_t>(1, layout_.Video().timeScale);
}

double RecordingTimeline::SoundSeconds(size_t track, double units) const {
    return units / std::max<uint32_t>(1, layout_.Sounds()[track].timeScale);
}

void RecordingTimeline::ReadVideo(Segment& seg, const std::vector<VideoStamp>& stamps, const Segment* before) const {
    const size_t n = seg.video.size();
    seg.present.assign(n, 0);
    if (n == 0) return;
    if (codec_ == Codec::Constant) {
        for (size_t j = 0; j < n; ++j) seg.present[j] = int64_t(j);
        seg.hasKey = true;
        return;
    }
    if (codec_ == Codec::Avc) {
        // Epoch by epoch (an IDR picture starts one): its pictures are presented after all of the
        // epoch before. Pictures before the segment's first IDR picture continue an epoch the
        // damage cut into: counted on from their first order count, they tell the timeline how
        // far that epoch went.
        PocCounter poc;
        int64_t epochBase = 0, epochMax = -1;
        bool inEpoch = false;
        for (size_t j = 0; j < n; ++j) {
            const VideoStamp& t = stamps[seg.video[j]];
            if (t.idr || (j == 0 && before == nullptr)) {
                if (inEpoch) epochBase += epochMax + 1;
                inEpoch = true;
                epochMax = -1;
                poc = PocCounter{};
                if (t.pocBits) poc.prevLsb = t.idr ? 0 : t.pocLsb;  // a first picture that is no IDR counts as 0
                if (!seg.hasKey) {
                    seg.hasKey = true;
                    seg.key = j;
                    seg.keyStartsSegment = j == 0;
                }
            } else if (j == 0 && t.pocBits) {
                poc.prevLsb = t.pocLsb;
            }
            int64_t slot;
            if (t.pocBits == 0) {
                slot = inEpoch ? epochMax + 1 : int64_t(j);  // no order in the stream: as decoded
            } else {
                slot = FloorDiv(poc.Next(t), pocStep_);
            }
            if (inEpoch) {
                seg.present[j] = epochBase + slot;
                epochMax = std::max(epochMax, slot);
            } else {
                seg.present[j] = slot;
            }
        }
        seg.pocEnd = poc;
        seg.lastEpochBase = epochBase;
        return;
    }
    // MPEG-4: times from the VOP headers. A GOV header sets the second; an I or P VOP counts on
    // from the anchor before it, a B VOP from the anchor before that one.
    int64_t base = 0, lastBase = 0;
    for (size_t j = 0; j < n; ++j) {
        const VideoStamp& t = stamps[seg.video[j]];
        if (!t.hasVopTime) {
            seg.present[j] = j > 0 ? seg.present[j - 1] + 1 : 0;
        } else {
            if (t.hasGov) {
                base = t.govSecond;
                if (j == 0 || (t.vopType == 0 && !seg.hasKey)) seg.absoluteTimes = true;
            }
            const int64_t res = t.resolution;
            if (t.vopType != 2) {
                lastBase = base;
                base += t.vopSeconds;
                seg.present[j] = base * res + t.vopIncrement;
            } else {
                seg.present[j] = (lastBase + t.vopSeconds) * res + t.vopIncrement;
            }
        }
        if (!seg.hasKey && (t.vopType == 0 || before == nullptr)) {
            seg.hasKey = true;
            seg.key = j;
        }
    }
}

bool RecordingTimeline::PlaceSound(const Segment& seg, size_t k, int64_t decode, int64_t earliest, int64_t& origin) const {
    const SoundLayout& l = layout_.Sounds()[k];
    const int64_t unit = std::max<int64_t>(1, l.delta);
    const int64_t grid = std::max<int64_t>(1, int64_t(l.grid)) * unit;
    // The segment's first video sample on the recorder's clock, and the window in media units.
    const double scale = std::max<uint32_t>(1, l.timeScale);
    const double video = VideoSeconds(double(decode * delta_)) - layout_.ClockOffset(layout_.Video().track);
    const double soundEdit = layout_.ClockOffset(l.track) * scale;
    const InterleaveWindows& w = seg.windows;
    const bool constrained = layout_.InterleavedByTime() && w.Constrained(k) && w.Lo(k) <= w.Hi(k);
    const double lo = (video + (constrained ? w.Lo(k) : w.FirstChunkAfter(k))) * scale + soundEdit;
    const double hi = (video + (constrained ? w.Hi(k) : w.FirstChunkAfter(k))) * scale + soundEdit;
    const double centre = (lo + hi) / 2;
    // The grid point nearest the window's middle (the window without the muxer's rounding),
    // never before the sound already placed. Where two lie within it the window is a whole buffer
    // wide: the order was a tie at its far end, which a muxer breaks for the video: the first.
    const double slack = InterleaveWindows::kTolerance * scale;
    const double inLo = constrained ? lo + slack : lo, inHi = constrained ? hi - slack : hi;
    int64_t best = kNone;
    // Chunks start on the grid counted from the track's start.
    const double from = std::max(lo, double(earliest));
    const int64_t first = int64_t(std::ceil(from / double(grid))) * grid;
    for (int64_t g = first; double(g) <= (constrained ? hi : hi + slack); g += grid) {
        const bool inside = double(g) >= inLo - 0.5 && double(g) <= inHi + 0.5;
        const double away = std::fabs(double(g) - (inLo + inHi) / 2);
        if (best == kNone) {
            best = g;
            continue;
        }
        const bool bestInside = double(best) >= inLo - 0.5 && double(best) <= inHi + 0.5;
        if (inside && bestInside) continue;  // both within: keep the first
        if ((inside && !bestInside) || (!bestInside && away < std::fabs(double(best) - (inLo + inHi) / 2))) best = g;
    }
    if (best == kNone) {
        // No grid point fits (a recorder whose buffers vary): the nearest one, or the centre in samples.
        const int64_t nearest = std::max<int64_t>(earliest, int64_t(std::llround(centre / double(grid))) * grid);
        best = std::fabs(double(nearest) - centre) <= double(unit) * 2
                   ? nearest
                   : std::max<int64_t>(earliest, int64_t(std::llround(centre / double(unit))) * unit);
    }
    origin = best;
    return constrained;
}

void RecordingTimeline::Resolve(std::vector<Segment>& segs, size_t s, const RecoveredMedia& media,
                                const std::vector<VideoStamp>& stamps) const {
    Segment& seg = segs[s];
    const size_t tracks = layout_.Sounds().size();
    // Where each track's sound ends so far.
    std::vector<int64_t> soundEnd(tracks, 0);
    for (size_t p = 0; p < s; ++p)
        for (size_t k = 0; k < tracks; ++k)
            if (!segs[p].tracks[k].chunks.empty())
                soundEnd[k] = std::max(soundEnd[k], segs[p].tracks[k].origin + segs[p].tracks[k].units);
    const auto placeAll = [&](int64_t decode) {
        for (size_t k = 0; k < tracks; ++k)
            if (!seg.tracks[k].chunks.empty()) PlaceSound(seg, k, decode, soundEnd[k], seg.tracks[k].origin);
    };
    const Segment* prev = nullptr;
    for (size_t p = s; p-- > 0;)
        if (!segs[p].video.empty() && segs[p].resolved) {
            prev = &segs[p];
            break;
        }
    seg.resolved = true;
    if (!prev && seg.damage < 0) {
        // The recording's start: time 0.
        seg.decode = 0;
        seg.presentOrigin = seg.video.empty() || !seg.hasKey ? 0 : -seg.present[seg.key];
        if (codec_ == Codec::Avc && seg.hasKey) seg.decode = -int64_t(seg.key);
        for (size_t k = 0; k < tracks; ++k)
            if (!seg.tracks[k].chunks.empty()) seg.tracks[k].origin = 0;
        return;
    }
    // After damage: what came before is the samples before it, or the recording's start.
    const int64_t next = prev ? prev->decode + int64_t(prev->video.size()) : 0;
    if (seg.video.empty()) {
        // Sound alone after damage (no video to find its time by): it follows on.
        seg.decode = next;
        for (size_t k = 0; k < tracks; ++k) seg.tracks[k].origin = soundEnd[k];
        seg.estimated = true;
        return;
    }
    const double lost = double(media.damage[size_t(seg.damage)].bytes);

    // What a frame of recording costs in bytes: its picture, from the pictures on both sides of the
    // damage (the recording's rate there), and its sound.
    double videoBytes = 0, soundBytes = 0, soundSeconds = 0;
    size_t pictures = 0;
    const auto around = [&](const Segment& g, bool last) {
        const size_t n = std::min<size_t>(g.video.size(), 50);
        for (size_t i = 0; i < n; ++i) videoBytes += media.video[g.video[last ? g.video.size() - 1 - i : i]].size;
        pictures += n;
    };
    if (prev) around(*prev, true);
    around(seg, false);
    for (const RecoveredSoundChunk& c : media.sound) soundBytes += c.bytes;
    for (size_t k = 0; k < tracks; ++k) {
        int64_t units = 0;
        for (const Segment& g : segs) units += g.tracks[k].units;
        soundSeconds = std::max(soundSeconds, SoundSeconds(k, double(units)));
    }
    const double frameSeconds = VideoSeconds(double(delta_));
    const double pictureBytes = pictures == 0 ? 0 : videoBytes / double(pictures);
    const double soundPerFrame = soundSeconds > 0 ? soundBytes / soundSeconds * frameSeconds : 0;
    const double estimate = pictureBytes + soundPerFrame > 0 ? lost / (pictureBytes + soundPerFrame) : 0;
    const auto nearestTo = [](const std::vector<int64_t>& candidates, double target) {
        int64_t best = candidates.front();
        for (int64_t c : candidates)
            if (std::fabs(double(c) - target) < std::fabs(double(best) - target)) best = c;
        return best;
    };

    bool exact = false;
    int64_t decode = next + int64_t(std::llround(estimate));
    bool allConstant = tracks > 0;
    for (const SoundLayout& l : layout_.Sounds()) allConstant = allConstant && l.unitBytes > 0;
    if (frameBytes_ > 0) {
        // DV: the stretch's bytes are whole frames and whole units of sound, and the sound resumes
        // where the interleave says: one count of frames fits both. The subcode's time codes,
        // where the recorder wrote them, count the frames between too.
        const VideoStamp* before = prev ? &stamps[prev->video.back()] : nullptr;
        const VideoStamp& after = stamps[seg.video.front()];
        const int fps = layout_.Video().dv625 ? 25 : 30;
        int64_t byTimecode = -1;
        if (before && before->hasTimecode && after.hasTimecode) {
            const int64_t gap = TimecodeFrames(after, fps, after.dropFrame) - TimecodeFrames(*before, fps, before->dropFrame) - 1;
            if (gap >= 0 && double(gap) * frameBytes_ <= lost) byTimecode = gap;
        }
        std::vector<int64_t> fits;
        const int64_t most = int64_t(lost / frameBytes_);
        for (int64_t n = 0; allConstant && n <= most; ++n) {
            if (byTimecode >= 0 && n != byTimecode) continue;
            placeAll(next + n);
            double bytes = double(n) * frameBytes_;
            for (size_t k = 0; k < tracks; ++k) {
                const SoundLayout& l = layout_.Sounds()[k];
                const int64_t units = seg.tracks[k].chunks.empty() ? 0 : seg.tracks[k].origin - soundEnd[k];
                bytes += double(units) / std::max<uint32_t>(1, l.delta) / std::max<uint32_t>(1, l.samplesPerUnit) * l.unitBytes;
            }
            if (std::fabs(bytes - lost) < 0.5) fits.push_back(next + n);
        }
        if (!fits.empty()) {
            decode = nearestTo(fits, double(next) + estimate);
            exact = true;
        } else if (byTimecode >= 0) {
            decode = next + byTimecode;
            exact = true;
        } else {
            decode = next + int64_t(std::llround(lost / (frameBytes_ + soundPerFrame)));
        }
        seg.presentOrigin = decode;
    } else if (codec_ == Codec::Avc && seg.hasKey) {
        // The IDR picture after the damage is presented after every picture of the epoch before
        // it, and its slot is its decode index. Two things can tell that slot: the key-frame rhythm
        // of what was recovered, and the epoch the damage cut into, if the pictures before the IDR
        // picture continue it (its order counts then say how far it went, up to wraps).
        const int64_t estimatedKey = next + int64_t(std::llround(estimate)) + int64_t(seg.key);
        // The IDR pictures recovered before: their slots and ids.
        std::vector<int64_t> keys;
        uint32_t lastId = 0;
        // How the ids of IDR pictures that follow each other go: +1 each, or taking turns.
        bool counting = true, alternating = true, seenPair = false;
        for (size_t p = 0; prev && p < s; ++p) {
            bool previous = false;
            uint32_t before = 0, beforeThat = 0;
            int pairs = 0;
            for (size_t j = 0; j < segs[p].video.size(); ++j) {
                if (!stamps[segs[p].video[j]].idr || !segs[p].usable[j]) continue;
                const uint32_t id = stamps[segs[p].video[j]].idrPicId;
                if (previous) {
                    seenPair = true;
                    counting = counting && id == before + 1;
                    alternating = alternating && id != before && (pairs == 0 || id == beforeThat);
                    ++pairs;
                }
                beforeThat = before;
                before = id;
                previous = true;
                keys.push_back(segs[p].presentOrigin + segs[p].present[j]);
                lastId = id;
            }
        }
        // How many IDR pictures the damage took, where the ids count them: exactly, or whether odd
        // or even; -1 when they do not tell.
        int64_t lostKeys = -1;
        bool lostOdd = false, parityKnown = false;
        if (seenPair && !keys.empty()) {
            const uint32_t after = stamps[seg.video[seg.key]].idrPicId;
            if (counting && after > lastId) {
                lostKeys = int64_t(after) - int64_t(lastId) - 1;
            } else if (alternating) {
                parityKnown = true;
                lostOdd = after == lastId;
            }
        }
        // The key-frame rhythm: the last two gaps between IDR pictures alike.
        int64_t period = 0;
        if (keys.size() >= 3 && keys[keys.size() - 1] - keys[keys.size() - 2] == keys[keys.size() - 2] - keys[keys.size() - 3])
            period = keys.back() - keys[keys.size() - 2];
        std::vector<int64_t> rhythm, epoch;
        if (period > 0) {
            const int64_t m = std::llround(double(estimatedKey - keys.back()) / double(period));
            for (int64_t c = std::max<int64_t>(1, m - 2); c <= std::max<int64_t>(1, m + 2); ++c) {
                if (lostKeys >= 0 && c != lostKeys + 1) continue;
                if (parityKnown && ((c - 1) % 2 == 1) != lostOdd) continue;
                rhythm.push_back(keys.back() + c * period);
            }
        }
        const VideoStamp& first = stamps[seg.video.front()];
        int64_t wrapSlots = 0;
        // The damage took no IDR picture (the ids count none, or do not say otherwise and it took
        // less than a group of pictures): the pictures before the next one continue the epoch it
        // cut into.
        const bool shortLoss = period == 0 || estimate + double(seg.key) < double(period);
        const bool sameEpoch = lostKeys == 0 || (lostKeys < 0 && !(parityKnown && lostOdd) && shortLoss);
        if (!seg.keyStartsSegment && sameEpoch && first.pocBits && prev && prev->hasKey) {
            // The first picture's count right after the damage, for each number of wraps lost in it.
            PocCounter carried = prev->pocEnd;
            const int64_t max = int64_t(1) << first.pocBits;
            const int64_t count = carried.Next(first);
            wrapSlots = max / pocStep_;
            int64_t relMax = kNone;
            for (size_t j = 0; j < seg.key; ++j) relMax = std::max(relMax, seg.present[j]);
            const int64_t base = prev->presentOrigin + prev->lastEpochBase;
            for (int64_t w = -1; w < 256; ++w) {
                // `present` counts from the first picture's own least significant part.
                const int64_t shift = base + FloorDiv(count + w * max, pocStep_) - seg.present.front();
                const int64_t key = shift + relMax + 1;
                if (key <= next) continue;
                epoch.push_back(key);
                if (double(key) > double(estimatedKey) + 2.0 * double(wrapSlots) + 2 * estimate) break;
            }
        }
        int64_t key = estimatedKey;
        const bool idsTell = lostKeys == 0 || (parityKnown && !lostOdd && shortLoss);
        if (!rhythm.empty() && !epoch.empty()) {
            for (int64_t c : rhythm)
                if (std::find(epoch.begin(), epoch.end(), c) != epoch.end()) {
                    key = c;
                    exact = true;
                }
            if (!exact) {
                const int64_t byEpoch = nearestTo(epoch, double(estimatedKey));
                if (idsTell || std::fabs(double(byEpoch - estimatedKey)) <= std::max(2.0, 0.15 * estimate)) key = byEpoch;
            }
        } else if (!epoch.empty()) {
            key = nearestTo(epoch, double(estimatedKey));
            // The ids say the epoch goes on, and one wrap apart the candidates are far enough apart
            // for the byte rate to choose.
            exact = idsTell && std::fabs(double(key) - double(estimatedKey)) * 3 < double(wrapSlots);
        } else if (!rhythm.empty()) {
            // The rhythm only where the byte rate does not say otherwise: an encoder puts an IDR
            // picture early at a change of scene.
            const int64_t byRhythm = nearestTo(rhythm, double(estimatedKey));
            if (std::fabs(double(byRhythm - estimatedKey)) <= std::max(2.0, 0.15 * estimate)) key = byRhythm;
            exact = lostKeys >= 0 && rhythm.size() == 1 && key == byRhythm;
        }
        decode = key - int64_t(seg.key);
        seg.presentOrigin = key - seg.present[seg.key];
    } else if (codec_ == Codec::Mpeg4 && seg.hasKey) {
        // The key frame's time: on the recording's clock from its GOV header, else its second from
        // the byte rate (the increment within the second is its own).
        const Segment& start = segs.front();
        const int64_t res = std::max<uint32_t>(1, stamps[seg.video[seg.key]].resolution);
        const double frameUnits = double(delta_) * double(res) / std::max<uint32_t>(1, layout_.Video().timeScale);
        const int64_t keyClock = seg.present[seg.key];
        if (seg.absoluteTimes && start.absoluteTimes && &start != &seg) {
            seg.presentOrigin = start.presentOrigin;
            exact = true;
        } else {
            const double estimatedAbs = (double(next) + estimate + double(seg.key)) * frameUnits;
            const int64_t within = ((keyClock % res) + res) % res;
            const int64_t abs = int64_t(std::llround((estimatedAbs - double(within)) / double(res))) * res + within;
            seg.presentOrigin = abs - keyClock;
        }
        // Its decode index: its presentation slot, less the B frames decoded after it and shown before.
        int64_t shownBefore = 0;
        for (size_t j = seg.key + 1; j < seg.video.size() && stamps[seg.video[j]].vopType == 2; ++j)
            if (seg.present[j] < keyClock) ++shownBefore;
        const int64_t slot = int64_t(std::llround(double(keyClock + seg.presentOrigin) / frameUnits));
        decode = slot - shownBefore - int64_t(seg.key);
    } else {
        seg.presentOrigin = decode;  // Motion-JPEG, or no key frame after the damage
    }
    seg.decode = std::max(decode, next);
    if (codec_ == Codec::Constant) seg.presentOrigin = seg.decode;
    seg.estimated = !exact;
    placeAll(seg.decode);
}

void RecordingTimeline::Place(RecoveredMedia& media, std::vector<VideoStamp>& stamps) {
    const size_t tracks = layout_.Sounds().size();
    // H.264: the step of the order count from one picture to the next, from the recovered epochs.
    if (codec_ == Codec::Avc) {
        int64_t step = 0;
        PocCounter poc;
        std::vector<int64_t> counts;
        const auto flush = [&]() {
            std::sort(counts.begin(), counts.end());
            for (size_t i = 1; i < counts.size(); ++i) step = std::gcd(step, counts[i] - counts[i - 1]);
            counts.clear();
        };
        for (const VideoStamp& t : stamps) {
            if (t.pocBits == 0) continue;
            if (t.idr) {
                flush();
                poc = PocCounter{};
            }
            counts.push_back(poc.Next(t));
        }
        flush();
        pocStep_ = step > 0 ? step : 2;
    }
    // Segments between damaged stretches; each begins with a video sample (or the media's start).
    std::vector<Segment> segs(1);
    segs[0].tracks.resize(tracks);
    for (size_t i = 0; i < media.damage.size(); ++i) {
        Segment seg;
        seg.begin = media.damage[i].offset + media.damage[i].bytes;
        seg.damage = int(i);
        seg.tracks.resize(tracks);
        segs.push_back(std::move(seg));
    }
    const auto segmentOf = [&](uint64_t offset) {
        size_t s = segs.size() - 1;
        while (s > 0 && offset < segs[s].begin) --s;
        return s;
    };
    for (size_t i = 0; i < media.video.size(); ++i) segs[segmentOf(media.video[i].offset)].video.push_back(i);
    for (size_t i = 0; i < media.sound.size(); ++i) {
        const RecoveredSoundChunk& c = media.sound[i];
        if (c.track < 0 || size_t(c.track) >= tracks) continue;
        Track& t = segs[segmentOf(c.offset)].tracks[size_t(c.track)];
        t.chunks.push_back(i);
        t.units += int64_t(c.samples) * std::max<uint32_t>(1, layout_.Sounds()[size_t(c.track)].delta);
    }
    // The interleave windows of each segment's sound: its samples in file order.
    for (Segment& seg : segs) {
        seg.windows = layout_.NewWindows();
        std::vector<size_t> next(tracks, 0);
        size_t v = 0;
        for (;;) {
            int which = -1;
            uint64_t at = std::numeric_limits<uint64_t>::max();
            if (v < seg.video.size()) {
                at = media.video[seg.video[v]].offset;
                which = int(tracks);
            }
            for (size_t k = 0; k < tracks; ++k)
                if (next[k] < seg.tracks[k].chunks.size() && media.sound[seg.tracks[k].chunks[next[k]]].offset < at) {
                    at = media.sound[seg.tracks[k].chunks[next[k]]].offset;
                    which = int(k);
                }
            if (which < 0) break;
            if (which == int(tracks)) {
                seg.windows.Video();
                ++v;
                continue;
            }
            const size_t k = size_t(which);
            const RecoveredSoundChunk& c = media.sound[seg.tracks[k].chunks[next[k]++]];
            seg.windows.Sound(k, int64_t(c.samples) * std::max<uint32_t>(1, layout_.Sounds()[k].delta));
        }
    }
    for (size_t s = 0; s < segs.size(); ++s) {
        const Segment* before = nullptr;
        for (size_t p = s; p-- > 0;)
            if (!segs[p].video.empty()) {
                before = &segs[p];
                break;
            }
        if (segs[s].damage >= 0 && !before) before = &segs[0];  // damage at the very start
        ReadVideo(segs[s], stamps, segs[s].damage >= 0 ? before : nullptr);
    }
    // The walk has said which frames refer to lost ones.
    for (Segment& seg : segs) {
        seg.usable.resize(seg.video.size());
        for (size_t j = 0; j < seg.video.size(); ++j) seg.usable[j] = !stamps[seg.video[j]].dependsOnLost;
    }
    for (size_t s = 0; s < segs.size(); ++s) Resolve(segs, s, media, stamps);

    // Times, and the frames that cannot be shown.
    const uint32_t videoScale = std::max<uint32_t>(1, layout_.Video().timeScale);
    std::vector<bool> keep(media.video.size(), true);
    for (const Segment& seg : segs) {
        for (size_t j = 0; j < seg.video.size(); ++j) {
            RecoveredVideoSample& v = media.video[seg.video[j]];
            keep[seg.video[j]] = seg.usable[j];
            if (codec_ == Codec::Mpeg4) {
                const int64_t res = std::max<uint32_t>(1, stamps[seg.video[j]].resolution);
                const double units = double(seg.present[j] + seg.presentOrigin) * videoScale / double(res);
                v.time = int64_t(std::llround(units));
            } else {
                v.time = (seg.present[j] + seg.presentOrigin) * delta_;
            }
        }
        for (size_t k = 0; k < tracks; ++k) {
            int64_t at = seg.tracks[k].origin;
            for (size_t i : seg.tracks[k].chunks) {
                media.sound[i].time = at;
                at += int64_t(media.sound[i].samples) * std::max<uint32_t>(1, layout_.Sounds()[k].delta);
            }
        }
    }
    // A picture shown before the first key frame's time (a stream that begins inside a group of
    // pictures) cannot be shown before the recording's start: the video starts with it.
    int64_t earliestShown = 0;
    for (size_t i = 0; i < media.video.size(); ++i)
        if (keep[i]) earliestShown = std::min(earliestShown, media.video[i].time);
    if (earliestShown < 0)
        for (RecoveredVideoSample& v : media.video) v.time -= earliestShown;
    // What each damaged stretch lost.
    for (size_t s = 1; s < segs.size(); ++s) {
        const Segment& seg = segs[s];
        DamagedStretch& d = media.damage[size_t(seg.damage)];
        const Segment* prev = nullptr;
        for (size_t p = s; p-- > 0;)
            if (!segs[p].video.empty()) {
                prev = &segs[p];
                break;
            }
        const int64_t next = prev ? prev->decode + int64_t(prev->video.size()) : 0;
        d.time = VideoSeconds(double(next * delta_));
        uint64_t left = 0;
        for (size_t j = 0; j < seg.video.size(); ++j) left += seg.usable[j] ? 0 : 1;
        d.framesLost = uint64_t(std::max<int64_t>(0, seg.decode - next)) + left;
        double sound = 0;
        for (size_t k = 0; k < tracks; ++k) {
            if (seg.tracks[k].chunks.empty()) continue;
            int64_t end = 0;
            for (size_t p = 0; p < s; ++p)
                if (!segs[p].tracks[k].chunks.empty()) end = std::max(end, segs[p].tracks[k].origin + segs[p].tracks[k].units);
            sound = std::max(sound, SoundSeconds(k, double(seg.tracks[k].origin - end)));
        }
        d.soundLost = sound;
        d.estimated = seg.estimated;
    }
    // The frames that depend on lost data go, with their stamps.
    size_t out = 0;
    for (size_t i = 0; i < media.video.size(); ++i) {
        if (!keep[i]) continue;
        media.video[out] = media.video[i];
        stamps[out] = stamps[i];
        ++out;
    }
    media.video.resize(out);
    stamps.resize(out);

    // A DV recording's start timecode: its first frame's subcode.
    const TimecodeLayout& tc = layout_.Timecode();
    if (layout_.Video().family == VideoFamily::Dv && !stamps.empty() && stamps.front().hasTimecode && tc.track >= 0 &&
        tc.frames > 0) {
        media.timecode.found = true;
        // The track's time code is the movie's start: where the first frame is later (the
        // recording's start was lost), its own time code less that.
        const int64_t frames = media.video.empty() ? 0 : media.video.front().time / delta_;
        media.timecode.frameNumber = TimecodeFrames(stamps.front(), tc.frames, tc.flags & 1) - frames;
        media.timecode.source = "DV subcode";
    }
}

}  // namespace movie::repair
