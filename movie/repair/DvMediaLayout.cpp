#include "movie/repair/DvMediaLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "movie/repair/recognise/DvRecogniser.h"
#include "movie/repair/recognise/MediaWindow.h"
#include "movie/repair/write/AtomBuffer.h"

namespace movie::repair {

namespace {

// The first DV frame is looked for this far into the media; the layout is measured over this much.
constexpr uint64_t kFindFirst = 16u << 20;
constexpr uint64_t kMeasure = 48u << 20;
// More bytes than this between two frames is no run of sound a recorder stores.
constexpr uint64_t kLongestRun = 4u << 20;
// The measure needs this much video time.
constexpr double kLeastSeconds = 1.0;
// A format is told when its bytes a second lie this close to the measure, and every other this far.
constexpr double kNear = 0.03, kFar = 0.06;
// The byte order is told when the sound changes this many times less read in it than in the other.
constexpr double kSmoother = 1.5;
constexpr size_t kOrderBytes = 1u << 20;

// A 'moov' body read back over the damaged file: the movie's header first, and the file's size, so
// that its sample tables may point at the media.
class MoovOverMedia : public ByteSource {
public:
    MoovOverMedia(const std::vector<uint8_t>& moov, uint64_t size) : moov_(moov), size_(std::max<uint64_t>(size, moov.size())) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* dst, size_t count) override {
        if (offset > moov_.size() || count > moov_.size() - offset) return false;
        if (count) std::memcpy(dst, moov_.data() + offset, count);
        return true;
    }

private:
    const std::vector<uint8_t>& moov_;
    uint64_t size_;
};

// A DIF header block of sequence 0, channel 0, as a frame starts with.
bool MayBeFrame(const uint8_t* b) { return (b[0] & 0xE0) == 0 && (b[1] & 0xF8) == 0 && b[2] == 0 && (b[3] & 0x7F) == 0x3F; }

void PutMatrix(AtomBuffer& a) {
    const uint32_t m[9] = {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
    for (uint32_t v : m) a.Put32(v);
}

void PutZeros(AtomBuffer& a, size_t n) {
    for (size_t i = 0; i < n; ++i) a.Put8(0);
}

}  // namespace

bool DvMediaLayout::Read(ByteSource& source, uint64_t start, uint64_t end) {
    *this = DvMediaLayout{};
    dataEnd_ = end;
    MediaWindow w(source);
    uint64_t first = end;
    for (uint64_t p = start; p + 4 <= end && p < start + kFindFirst && first == end; ++p) {
        const uint8_t* b = w.Get(p, 4, MediaWindow::kScan);
        if (!b) return false;
        if (!MayBeFrame(b)) continue;
        const std::string kind = DvRecogniser::Sniff(w, p, end);
        if (kind.empty()) continue;
        dv50_ = kind.rfind("DV50", 0) == 0;
        dv625_ = kind.find("625/50") != std::string::npos;
        first = p;
    }
    if (first == end) return false;
    // The VAUX source control pack (0x61) of the first sequence says whether the picture is 16:9.
    if (const uint8_t* b = w.Get(first, 6 * 80)) {
        for (int block = 3; block <= 5; ++block)
            for (int pack = 0; pack < 15; ++pack) {
                const uint8_t* p = b + block * 80 + 3 + pack * 5;
                if (p[0] == 0x61) wide_ = (p[2] & 0x07) == 0x02;
            }
    }
    VideoLayout v;
    v.dv625 = dv625_;
    v.dvFrameBytes = (dv625_ ? 144000 : 120000) * (dv50_ ? 2 : 1);
    DvRecogniser dv(v);
    // Whole frames from the first, and what lies between them, in stretches between damage.
    uint64_t largest = 0, soundRuns = 0;
    segments_.emplace_back();
    for (uint64_t p = first; p < end && p < first + kMeasure;) {
        const VideoMatch m = dv.Match(w, p, end);
        if (m.kind != VideoMatch::Whole) break;
        segments_.back().frames.push_back(p);
        p += m.size;
        const uint64_t limit = std::min(end, p + kLongestRun);
        const uint64_t next = dv.Find(w, p, limit, end);
        if (next >= limit || dv.Match(w, next, end).kind != VideoMatch::Whole) break;
        // Zeros over a frame's length or more were written over the media (less is silence); so
        // were bytes far more than any run before them holds. Damage: no sound to measure.
        const uint64_t gap = next - p;
        if ((gap >= m.size && w.HasZeroRun(p, gap, 4096)) || (soundRuns >= 4 && gap > largest * 3)) {
            segments_.emplace_back();
        } else {
            soundRuns += gap > 0;
            largest = std::max(largest, gap);
            segments_.back().runs.push_back({p, gap});
        }
        p = next;
    }
    if (w.Failed()) return false;
    MeasureSound(source);
    return true;
}

void DvMediaLayout::MeasureSound(ByteSource& source) {
    uint64_t soundBytes = 0;
    size_t runs = 0;
    for (const Segment& g : segments_)
        for (const Run& r : g.runs) {
            soundBytes += r.bytes;
            ++runs;
        }
    if (soundBytes == 0) return;  // video alone
    const double frame = dv625_ ? 1.0 / 25 : 1001.0 / 30000;
    const double seconds = double(runs) * frame;
    // The sound stored before each frame of a stretch against the frame's time: the slope of the
    // least-squares line (one slope for every stretch) is the bytes a second, whatever the size of
    // the recorder's chunks.
    double sxx = 0, sxy = 0;
    for (const Segment& g : segments_) {
        const size_t n = g.runs.size() + 1;
        double sx = 0, sy = 0, gxx = 0, gxy = 0, before = 0;
        for (size_t k = 0; k < n; ++k) {
            const double x = double(k) * frame;
            sx += x;
            sy += before;
            gxx += x * x;
            gxy += x * before;
            if (k < g.runs.size()) before += double(g.runs[k].bytes);
        }
        sxx += gxx - sx * sx / double(n);
        sxy += gxy - sx * sy / double(n);
    }
    bytesPerSecond_ = sxx > 0 ? sxy / sxx : 0;

    // The formats a recorder stores between DV frames: 16-bit PCM at the DV rates, one, two or four
    // channels. Four channels cannot be told from two tracks of two.
    struct Format {
        uint32_t rate;
        uint16_t channels;
    };
    const Format formats[] = {{48000, 1}, {48000, 2}, {48000, 4}, {44100, 1}, {44100, 2},
                              {44100, 4}, {32000, 1}, {32000, 2}, {32000, 4}};
    const Format* best = nullptr;
    double bestError = 1e9, nextError = 1e9;
    for (const Format& f : formats) {
        const double error = std::fabs(bytesPerSecond_ / (double(f.rate) * f.channels * 2) - 1);
        if (error < bestError) {
            nextError = bestError;
            bestError = error;
            best = &f;
        } else {
            nextError = std::min(nextError, error);
        }
    }
    const bool told = seconds >= kLeastSeconds && bestError <= kNear && nextError >= kFar;
    uint32_t unit = told ? best->channels * 2u : 4;
    const auto wholeUnits = [this](uint32_t u) {
        for (const Segment& g : segments_)
            for (const Run& r : g.runs)
                if (r.bytes % u != 0) return false;
        return true;
    };
    const bool whole = wholeUnits(unit);
    if (!told || !whole) {
        // A stand-in that walks past the runs by their bytes a second.
        unit = 1;
        for (uint32_t u : {4u, 2u})
            if (unit == 1 && wholeUnits(u)) unit = u;
        unit_ = unit;
        channels_ = uint16_t(std::max<uint32_t>(1, unit / 2));
        rate_ = uint32_t(std::max(1.0, std::round(bytesPerSecond_ / unit)));
        soundLeftOut_ = seconds < kLeastSeconds
                            ? "too little of it to measure"
                            : "its bytes a second, " + std::to_string(long(std::lround(bytesPerSecond_))) +
                                  ", fit no 16-bit format";
        return;
    }
    rate_ = best->rate;
    channels_ = best->channels;
    unit_ = unit;
    if (channels_ == 4) {
        soundLeftOut_ = "four channels or two tracks of two";
        return;
    }
    if (!TellByteOrder(source, unit, bigEndian_)) soundLeftOut_ = "its byte order";
    else if (channels_ == 2 && TwoTracksOfOne(source)) soundLeftOut_ = "one track of two channels or two of one";
}

bool DvMediaLayout::TwoTracksOfOne(ByteSource& source) const {
    // Read as two channels, the chunks of two tracks of one channel each are one signal whose
    // samples take turns: a sample differs from the other "channel's" in its sample frame, and from
    // the one before it, by one step of the signal, half its step from frame to frame. A real
    // second channel differs from the first by far more, or by next to nothing (the same sound).
    double same = 0, across = 0, step = 0;
    size_t looked = 0;
    std::vector<uint8_t> d;
    const auto sample = [this, &d](size_t i) {
        return bigEndian_ ? int16_t((d[i] << 8) | d[i + 1]) : int16_t((d[i + 1] << 8) | d[i]);
    };
    for (const Segment& g : segments_) {
        for (const Run& r : g.runs) {
            if (looked >= kOrderBytes) break;
            d.resize(size_t(std::min<uint64_t>(r.bytes, 65536)) / 4 * 4);
            if (d.size() < 8 || !source.ReadAt(r.offset, d.data(), d.size())) continue;
            looked += d.size();
            for (size_t i = 4; i + 3 < d.size(); i += 4) {
                same += std::abs(sample(i + 2) - sample(i));
                across += std::abs(sample(i) - sample(i - 2));
                step += std::abs(sample(i) - sample(i - 4)) + std::abs(sample(i + 2) - sample(i - 2));
            }
        }
    }
    step /= 2;
    return step > 0 && same < step * 0.7 && across < step * 0.7 && same > across * 0.5 && across > same * 0.5;
}

bool DvMediaLayout::TellByteOrder(ByteSource& source, uint32_t unit, bool& bigEndian) const {
    // Each channel's sample from one sample frame to the next, read either way round.
    double big = 0, little = 0;
    size_t looked = 0;
    std::vector<uint8_t> d;
    for (const Segment& g : segments_) {
        for (const Run& r : g.runs) {
            if (looked >= kOrderBytes) break;
            d.resize(size_t(std::min<uint64_t>(r.bytes, 65536)));
            if (d.size() < 2 * unit || !source.ReadAt(r.offset, d.data(), d.size())) continue;
            looked += d.size();
            for (size_t i = unit; i + 1 < d.size(); i += 2) {
                const size_t j = i - unit;
                big += std::abs(int16_t((d[i] << 8) | d[i + 1]) - int16_t((d[j] << 8) | d[j + 1]));
                little += std::abs(int16_t((d[i + 1] << 8) | d[i]) - int16_t((d[j + 1] << 8) | d[j]));
            }
        }
    }
    if (big > little * kSmoother) {
        bigEndian = false;
        return true;
    }
    if (little > big * kSmoother) {
        bigEndian = true;
        return true;
    }
    return false;  // silence, or a signal neither order smooths
}

bool DvMediaLayout::Describe(TemplateLayout& layout, std::string& why) const {
    if (segments_.empty() || segments_.front().frames.empty()) {
        why = "no whole DV frame is in the media";
        return false;
    }
    const std::vector<uint8_t> moov = Moov();
    MoovOverMedia source(moov, dataEnd_);
    Movie movie;
    const ReadResult r = ReadMovie(source, movie);
    if (r != ReadResult::Ok) {
        why = std::string("the layout read from the media does not read as a movie: ") + ResultText(r);
        return false;
    }
    return layout.BuildFromMedia(movie, moov, soundLeftOut_, why);
}

std::vector<uint8_t> DvMediaLayout::Moov() const {
    const uint32_t frameBytes = (dv625_ ? 144000 : 120000) * (dv50_ ? 2 : 1);
    const uint32_t videoScale = dv625_ ? 2500 : 30000, delta = dv625_ ? 100 : 1001;
    // The longest stretch between damage, as a recorder wrote it.
    const Segment* longest = &segments_.front();
    for (const Segment& g : segments_)
        if (g.frames.size() > longest->frames.size()) longest = &g;
    const std::vector<uint64_t>& offsets = longest->frames;
    const std::vector<Run>& runs = longest->runs;
    const uint64_t frames = offsets.size();
    const bool sound = unit_ > 0 && rate_ > 0;
    const uint32_t unit = unit_;
    // The video's chunks: frames that follow each other directly are one chunk.
    std::vector<std::pair<uint64_t, uint32_t>> videoChunks, soundChunks;  // offset, samples
    for (size_t i = 0; i < offsets.size(); ++i) {
        if (i > 0 && runs[i - 1].bytes == 0) ++videoChunks.back().second;
        else videoChunks.push_back({offsets[i], 1});
        if (i < runs.size() && runs[i].bytes > 0) soundChunks.push_back({runs[i].offset, uint32_t(runs[i].bytes / unit)});
    }
    uint64_t soundSamples = 0;
    for (const auto& c : soundChunks) soundSamples += c.second;
    const bool wide = dataEnd_ > 0xFFFFFFFFull;
    const auto tables = [&](AtomBuffer& a, const std::vector<std::pair<uint64_t, uint32_t>>& chunks, uint64_t samples,
                            uint32_t d, uint32_t size) {
        a.BeginFull(FourCC("stts"), 0, 0);
        a.Put32(1);
        a.Put32(uint32_t(samples));
        a.Put32(d);
        a.End();
        a.BeginFull(FourCC("stsc"), 0, 0);
        std::vector<std::pair<uint32_t, uint32_t>> runs;
        for (size_t c = 0; c < chunks.size(); ++c)
            if (runs.empty() || runs.back().second != chunks[c].second) runs.push_back({uint32_t(c + 1), chunks[c].second});
        a.Put32(uint32_t(runs.size()));
        for (const auto& [firstChunk, per] : runs) {
            a.Put32(firstChunk);
            a.Put32(per);
            a.Put32(1);
        }
        a.End();
        a.BeginFull(FourCC("stsz"), 0, 0);
        a.Put32(size);
        a.Put32(uint32_t(samples));
        a.End();
        a.BeginFull(wide ? FourCC("co64") : FourCC("stco"), 0, 0);
        a.Put32(uint32_t(chunks.size()));
        for (const auto& c : chunks) wide ? a.Put64(c.first) : a.Put32(uint32_t(c.first));
        a.End();
    };
    const auto track = [&](AtomBuffer& a, uint32_t id, bool video) {
        const uint32_t scale = video ? videoScale : rate_;
        const uint64_t duration = video ? frames * delta : soundSamples;
        a.Begin(FourCC("trak"));
        a.BeginFull(FourCC("tkhd"), 0, 0xF);
        a.Put32(0);
        a.Put32(0);
        a.Put32(id);
        a.Put32(0);
        a.Put32(uint32_t(uint64_t(double(duration) * videoScale / scale)));
        PutZeros(a, 8);
        a.Put16(0);
        a.Put16(0);
        a.Put16(video ? 0 : 0x100);
        a.Put16(0);
        PutMatrix(a);
        a.Put32(video ? 720u << 16 : 0);
        a.Put32(video ? uint32_t(dv625_ ? 576 : 480) << 16 : 0);
        a.End();
        a.Begin(FourCC("mdia"));
        a.BeginFull(FourCC("mdhd"), 0, 0);
        a.Put32(0);
        a.Put32(0);
        a.Put32(scale);
        a.Put32(uint32_t(duration));
        a.Put16(0);
        a.Put16(0);
        a.End();
        a.BeginFull(FourCC("hdlr"), 0, 0);
        a.Put32(FourCC("mhlr"));
        a.Put32(FourCC(video ? "vide" : "soun"));
        PutZeros(a, 12);
        const char* name = video ? "Video" : "Sound";
        a.Put8(uint8_t(std::strlen(name)));
        a.Put(reinterpret_cast<const uint8_t*>(name), std::strlen(name));
        a.End();
        a.Begin(FourCC("minf"));
        if (video) {
            a.BeginFull(FourCC("vmhd"), 0, 1);
            PutZeros(a, 8);
        } else {
            a.BeginFull(FourCC("smhd"), 0, 0);
            PutZeros(a, 4);
        }
        a.End();
        a.Begin(FourCC("dinf"));
        a.BeginFull(FourCC("dref"), 0, 0);
        a.Put32(1);
        a.BeginFull(FourCC("alis"), 0, 1);
        a.End();
        a.End();
        a.End();
        a.Begin(FourCC("stbl"));
        a.BeginFull(FourCC("stsd"), 0, 0);
        a.Put32(1);
        if (video) {
            a.Begin(FourCC(dv50_ ? (dv625_ ? "dv5p" : "dv5n") : (dv625_ ? "dvcp" : "dvc ")));
            PutZeros(a, 6);
            a.Put16(1);
            PutZeros(a, 16);  // version, revision, vendor, temporal and spatial quality
            a.Put16(720);
            a.Put16(dv625_ ? 576 : 480);
            a.Put32(72u << 16);
            a.Put32(72u << 16);
            a.Put32(0);
            a.Put16(1);
            PutZeros(a, 32);
            a.Put16(24);
            a.Put16(0xFFFF);
            // The pixel aspect of the system's 4:3 or 16:9 picture.
            a.Begin(FourCC("pasp"));
            a.Put32(dv625_ ? (wide_ ? 64 : 16) : (wide_ ? 32 : 8));
            a.Put32(dv625_ ? (wide_ ? 45 : 15) : (wide_ ? 27 : 9));
            a.End();
            a.End();
        } else {
            // 8-bit where the runs' sizes allow no more (the sound is left out then).
            a.Begin(unit == 1 ? FourCC("raw ") : FourCC(bigEndian_ ? "twos" : "sowt"));
            PutZeros(a, 6);
            a.Put16(1);
            PutZeros(a, 8);  // version, revision, vendor
            a.Put16(channels_);
            a.Put16(unit == 1 ? 8 : 16);
            a.Put16(0);
            a.Put16(0);
            a.Put32(rate_ << 16);
            a.End();
        }
        a.End();
        if (video) tables(a, videoChunks, frames, delta, frameBytes);
        else tables(a, soundChunks, soundSamples, 1, unit);
        a.End();
        a.End();
        a.End();
        a.End();
    };
    AtomBuffer a;
    a.Begin(FourCC("moov"));
    a.BeginFull(FourCC("mvhd"), 0, 0);
    a.Put32(0);
    a.Put32(0);
    a.Put32(videoScale);
    a.Put32(uint32_t(frames * delta));
    a.Put32(0x10000);
    a.Put16(0x100);
    PutZeros(a, 10);
    PutMatrix(a);
    PutZeros(a, 24);
    a.Put32(sound && !soundChunks.empty() ? 3 : 2);
    a.End();
    track(a, 1, true);
    if (sound && !soundChunks.empty()) track(a, 2, false);
    a.End();
    return a.Bytes();
}

}  // namespace movie::repair
