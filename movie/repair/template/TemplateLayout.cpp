#include "movie/repair/template/TemplateLayout.h"

#include <algorithm>
#include <map>
#include <numeric>

namespace movie::repair {

namespace {

// The most frequent value, the smallest among equals; 0 for none.
uint32_t MostCommon(const std::map<uint32_t, uint64_t>& counts) {
    uint32_t best = 0;
    uint64_t bestCount = 0;
    for (const auto& [value, count] : counts)
        if (count > bestCount) {
            best = value;
            bestCount = count;
        }
    return best;
}

uint32_t UsualDelta(const Track& t) {
    std::map<uint32_t, uint64_t> counts;
    for (const Track::TimeToSample& e : t.stts) counts[e.delta] += e.count;
    return MostCommon(counts);
}

}  // namespace

std::string CodecName(uint32_t fourcc) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char(fourcc >> shift);
        s += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return s;
}

bool TemplateLayout::Load(const std::string& path, std::string& why) {
    std::unique_ptr<FileSource> file = FileSource::Open(path);
    if (!file) {
        why = "cannot be opened";
        return false;
    }
    Movie m;
    const ReadResult r = ReadMovie(*file, m);
    if (r != ReadResult::Ok) {
        why = ResultText(r);
        return false;
    }
    std::vector<uint8_t> moov(size_t(m.moovSize));
    if (!file->ReadAt(m.moovOffset, moov.data(), moov.size())) {
        why = "cannot be read";
        return false;
    }
    path_ = path;
    if (!Build(m, std::move(moov), why)) return false;
    // With the file at hand: first of the samples, and where the media data begins.
    MediaData md;
    SampleInfo s;
    if (timecode_.sampleAtMediaStart && FindMediaData(*file, md) &&
        movie_.tracks[size_t(timecode_.track)].Sample(0, s))
        timecode_.sampleAtMediaStart = s.offset == md.dataOffset;
    return true;
}

const SoundLayout TemplateLayout::kNoSound{};

bool TemplateLayout::BuildFromMedia(const Movie& movie, std::vector<uint8_t> moovBytes, const std::string& soundLeftOut,
                                    std::string& why) {
    path_.clear();
    if (!Build(movie, std::move(moovBytes), why)) return false;
    fromMedia_ = true;
    soundLeftOut_ = soundLeftOut;
    for (SoundLayout& l : sounds_) l.leftOut = !soundLeftOut.empty();
    return true;
}

bool TemplateLayout::Build(const Movie& movie, std::vector<uint8_t> moovBytes, std::string& why) {
    fromMedia_ = false;
    soundLeftOut_.clear();
    movie_ = movie;
    moov_ = std::move(moovBytes);
    video_ = VideoLayout{};
    sounds_.clear();
    timecode_ = TimecodeLayout{};
    if (movie_.fragmented) {
        why = "its samples are in movie fragments";
        return false;
    }
    const int v = FindTrack(movie_, TrackKind::Video);
    if (v >= 0) MapVideo(movie_.tracks[size_t(v)], v);
    for (size_t i = 0; i < movie_.tracks.size(); ++i) {
        const Track& t = movie_.tracks[i];
        if (t.kind == TrackKind::Sound && t.SampleCount() > 0) sounds_.push_back(MapSound(t, int(i)));
    }
    if (v < 0 && sounds_.empty()) {
        why = "it has no video or sound track with samples";
        return false;
    }
    if (video_.family == VideoFamily::Unsupported) {
        why = "its video codec '" + CodecName(video_.codec) + "' is not one cliprepair can find in the media";
        return false;
    }
    for (const SoundLayout& l : sounds_) {
        if (l.family == SoundFamily::Unsupported) {
            why = "its sound codec '" + CodecName(l.codec) + "' is not one cliprepair can find in the media";
            return false;
        }
    }
    if (video_.timeScale == 0 && v >= 0) {
        why = "its video track has no timing";
        return false;
    }
    MeasureChunks();
    MapTimecode();
    return true;
}

void TemplateLayout::MapTimecode() {
    for (size_t i = 0; i < movie_.tracks.size(); ++i) {
        const Track& t = movie_.tracks[i];
        if (t.handler != FourCC("tmcd") || !t.hasTimecode) continue;
        TimecodeLayout& l = timecode_;
        l.track = int(i);
        l.timeScale = t.timecode.timeScale;
        l.frameDuration = t.timecode.frameDuration;
        l.frames = t.timecode.frames;
        l.flags = t.timecode.flags;
        SampleInfo first;
        if (!t.Sample(0, first)) return;
        l.sampleSize = first.size == 8 ? 8 : 4;
        // Its sample is the media's first bytes when every other track's samples come after it.
        l.sampleAtMediaStart = true;
        SampleInfo s;
        for (const Track& other : movie_.tracks)
            if (&other != &t && other.Sample(0, s) && s.offset < first.offset + first.size) l.sampleAtMediaStart = false;
        return;
    }
}

void TemplateLayout::MapVideo(const Track& t, int index) {
    VideoLayout& l = video_;
    l.track = index;
    l.codec = t.codec;
    l.width = t.sampleWidth;
    l.height = t.sampleHeight;
    l.timeScale = t.mediaTimeScale;
    l.delta = UsualDelta(t);
    l.config = t.codecConfig;
    for (const Track::CompositionOffset& c : t.ctts) l.hasCompositionOffsets = l.hasCompositionOffsets || c.offset != 0;
    l.largestSample = t.uniformSampleSize;
    for (uint32_t size : t.sizes) l.largestSample = std::max(l.largestSample, size);
    std::map<uint32_t, uint64_t> perChunk;
    ChunkInfo c;
    for (size_t i = 0; i < t.ChunkCount() && t.Chunk(i, c); ++i) ++perChunk[c.sampleCount];
    l.samplesPerChunk = std::max<uint32_t>(1, MostCommon(perChunk));

    const uint32_t k = t.codec;
    if (k == FourCC("dvc ") || k == FourCC("dvcp") || k == FourCC("dvpp")) {
        l.family = VideoFamily::Dv;
        l.dv625 = k != FourCC("dvc ");
        l.dvFrameBytes = l.dv625 ? 144000 : 120000;
    } else if (k == FourCC("dv5n") || k == FourCC("dv5p")) {
        l.family = VideoFamily::Dv;
        l.dv625 = k == FourCC("dv5p");
        l.dvFrameBytes = l.dv625 ? 288000 : 240000;
    } else if (k == FourCC("jpeg") || k == FourCC("mjpa") || k == FourCC("mjpb")) {
        l.family = VideoFamily::Jpeg;
    } else if (k == FourCC("avc1") && t.codecConfigType == FourCC("avcC")) {
        l.family = VideoFamily::Avc;
    } else if (k == FourCC("mp4v")) {
        l.family = VideoFamily::Mpeg4;
    } else {
        l.family = VideoFamily::Unsupported;
    }
    const bool allAlike = t.uniformSampleSize != 0 ||
                          std::all_of(t.sizes.begin(), t.sizes.end(), [&](uint32_t size) { return size == l.largestSample; });
    if (l.family == VideoFamily::Dv && l.largestSample == l.dvFrameBytes * 2 && allAlike) {
        // DVCPRO50 stored under the plain DV codec (as some muxers label it): its frames are twice
        // the size.
        l.dvFrameBytes *= 2;
    }
}

SoundLayout TemplateLayout::MapSound(const Track& t, int index) {
    SoundLayout l;
    l.track = index;
    l.codec = t.codec;
    l.timeScale = t.mediaTimeScale;
    l.delta = UsualDelta(t);
    l.channels = t.channels;
    l.bits = t.sampleBits;
    l.rate = t.sampleRate;
    l.config = t.codecConfig;
    l.sampleSize = t.uniformSampleSize ? t.uniformSampleSize : (t.sizes.empty() ? 0 : t.sizes[0]);
    const uint32_t k = t.codec;
    const uint32_t ch = t.channels;
    uint32_t bytesPerSample = 0;
    l.family = SoundFamily::Pcm;
    if (k == FourCC("twos") || k == FourCC("sowt")) {
        bytesPerSample = t.sampleBits / 8;
        l.bigEndian = k == FourCC("twos") || t.sampleBits == 8;
    } else if (k == FourCC("raw ") || k == FourCC("NONE")) {
        bytesPerSample = t.sampleBits == 16 ? 2 : 1;
    } else if (k == FourCC("in24") || k == FourCC("in32") || k == FourCC("fl32") || k == FourCC("fl64")) {
        bytesPerSample = k == FourCC("in24") ? 3 : k == FourCC("fl64") ? 8 : 4;
        l.bigEndian = !t.littleEndian;
        l.isFloat = k == FourCC("fl32") || k == FourCC("fl64");
    } else if (k == FourCC("ulaw") || k == FourCC("alaw")) {
        bytesPerSample = 1;
    } else if (k == FourCC("lpcm")) {
        bytesPerSample = ch ? t.bytesPerFrame / ch : 0;
        l.isFloat = t.lpcmFlags & 1;
        l.bigEndian = t.lpcmFlags & 2;
        if (ch == 0 || t.bytesPerFrame % ch != 0) bytesPerSample = 0;
    } else if (k == FourCC("ima4")) {
        l.family = SoundFamily::Ima4;
        l.unitBytes = 34 * ch;
        l.unitFrames = 64;
    } else if (k == FourCC("mp4a")) {
        l.family = SoundFamily::Aac;
    } else {
        l.family = SoundFamily::Unsupported;
    }
    if (l.family == SoundFamily::Pcm) {
        l.unitBytes = bytesPerSample * ch;
        l.unitFrames = 1;
        if (l.unitBytes == 0) l.family = SoundFamily::Unsupported;
    }
    if (l.unitBytes > 0) {
        // One unit is this many entries of the sample table (1 where a sample is a unit, 64 where an
        // IMA4 sample is one frame).
        if (l.delta == 0 || l.unitFrames % l.delta != 0) l.family = SoundFamily::Unsupported;
        else l.samplesPerUnit = l.unitFrames / l.delta;
    }
    return l;
}

void TemplateLayout::MeasureChunks() {
    struct Placed { uint64_t offset; int sound; uint64_t bytes; uint32_t samples; };  // sound: index in sounds_, -1 video
    std::vector<Placed> chunks;
    const auto place = [&](int trackIndex, int sound) {
        const Track& t = movie_.tracks[size_t(trackIndex)];
        ChunkInfo c;
        SampleInfo s;
        for (size_t i = 0; i < t.ChunkCount() && t.Chunk(i, c); ++i) {
            uint64_t bytes = 0;
            if (sound >= 0 && sounds_[size_t(sound)].unitBytes > 0) {
                const SoundLayout& l = sounds_[size_t(sound)];
                bytes = uint64_t(c.sampleCount) / l.samplesPerUnit * l.unitBytes;
            } else {
                for (uint64_t n = c.firstSample; n < c.firstSample + c.sampleCount && t.Sample(size_t(n), s); ++n)
                    bytes += s.size;
            }
            chunks.push_back({c.offset, sound, bytes, c.sampleCount});
        }
    };
    if (video_.track >= 0) place(video_.track, -1);
    for (size_t i = 0; i < sounds_.size(); ++i) place(sounds_[i].track, int(i));
    std::sort(chunks.begin(), chunks.end(), [](const Placed& a, const Placed& b) { return a.offset < b.offset; });
    uint64_t videoChunks = 0, followedBySound = 0;
    for (size_t i = 0; i < chunks.size(); ++i) {
        if (chunks[i].sound >= 0) continue;
        ++videoChunks;
        if (i + 1 < chunks.size() && chunks[i + 1].sound >= 0) ++followedBySound;
    }
    interleaved_ = !sounds_.empty() && video_.track >= 0 && followedBySound * 2 > videoChunks;
    startsWithSound_ = !chunks.empty() && chunks.front().sound >= 0;

    // Runs of sound between video chunks: their sizes, and the longest in seconds (of its longest track).
    std::map<uint64_t, uint64_t> runs;
    longestRun_ = 0;
    for (size_t i = 0; i < chunks.size();) {
        if (chunks[i].sound < 0) {
            ++i;
            continue;
        }
        uint64_t bytes = 0;
        std::vector<double> seconds(sounds_.size(), 0.0);
        for (; i < chunks.size() && chunks[i].sound >= 0; ++i) {
            const SoundLayout& l = sounds_[size_t(chunks[i].sound)];
            bytes += chunks[i].bytes;
            if (l.timeScale > 0) seconds[size_t(chunks[i].sound)] += double(chunks[i].samples) * l.delta / l.timeScale;
        }
        if (video_.track >= 0) ++runs[bytes];
        for (double d : seconds) longestRun_ = std::max(longestRun_, d);
    }
    // The order of the template's own chunks against the order of their start times, buffer by
    // buffer or at least chunk by chunk.
    InterleaveWindows last = Windows(false);
    const auto inOrder = [&](bool byBuffer) {
        InterleaveWindows windows = Windows(byBuffer);
        bool fits = interleaved_;
        for (const Placed& p : chunks) {
            if (p.sound >= 0)
                windows.Sound(size_t(p.sound), int64_t(p.samples) * std::max<uint32_t>(1, sounds_[size_t(p.sound)].delta));
            else
                for (uint32_t i = 0; i < p.samples; ++i) fits = windows.Video() && fits;
        }
        if (fits) last = windows;
        return fits;
    };
    std::vector<std::pair<uint64_t, uint64_t>> byCount(runs.begin(), runs.end());
    std::stable_sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    runBytes_.clear();
    for (const auto& [bytes, count] : byCount) {
        (void)count;
        runBytes_.push_back(bytes);
    }

    for (size_t k = 0; k < sounds_.size(); ++k) {
        SoundLayout& l = sounds_[k];
        std::map<uint32_t, uint64_t> sizes;
        uint64_t soundBytes = 0;
        uint32_t grid = 0, lastSamples = 0;
        for (const Placed& p : chunks) {
            if (p.sound != int(k)) continue;
            soundBytes += p.bytes;
            ++sizes[uint32_t(std::min<uint64_t>(p.bytes, UINT32_MAX))];
            // The last chunk (in time: the highest offset) may end anywhere; the others start the next.
            if (lastSamples) grid = std::gcd(grid, lastSamples);
            lastSamples = p.samples;
        }
        l.grid = std::max<uint32_t>(1, grid ? grid : lastSamples);
        std::vector<std::pair<uint32_t, uint64_t>> bySize(sizes.begin(), sizes.end());
        std::stable_sort(bySize.begin(), bySize.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        l.chunkBytes.clear();
        l.largestChunk = 0;
        for (const auto& [size, count] : bySize) {
            (void)count;
            if (size > 0) l.chunkBytes.push_back(size);
            l.largestChunk = std::max(l.largestChunk, size);
        }
        const Track& t = movie_.tracks[size_t(l.track)];
        if (t.mediaDuration > 0 && t.mediaTimeScale > 0)
            l.bytesPerSecond = double(soundBytes) * t.mediaTimeScale / double(t.mediaDuration);
    }
    byBuffer_ = inOrder(true);
    byTime_ = byBuffer_ || inOrder(false);
    // The clock the recorder ordered its chunks by: the tracks' decode times less their edits (the
    // times it presents them at), or the decode times as stored. The template's tracks all begin at
    // time 0; the clock is the one by which its own chunks are in order.
    const double videoEdit = EditSeconds(video_.track);
    editedClock_ = true;
    for (size_t k = 0; byTime_ && k < sounds_.size(); ++k) {
        if (!last.Constrained(k)) continue;
        const double edited = videoEdit - EditSeconds(sounds_[k].track);
        const auto within = [&](double x) { return x >= last.Lo(k) && x <= last.Hi(k); };
        if (!within(edited) && within(0)) editedClock_ = false;
    }
}

double TemplateLayout::EditSeconds(int track) const {
    const EditShape e = Edits(track);
    if (track < 0 || !e.present) return 0;
    return double(e.mediaTime) / std::max<uint32_t>(1, movie_.tracks[size_t(track)].mediaTimeScale);
}

InterleaveWindows TemplateLayout::Windows(bool byBuffer) const {
    std::vector<double> unitSeconds;
    std::vector<int64_t> decision;
    for (const SoundLayout& l : sounds_) {
        unitSeconds.push_back(1.0 / std::max<uint32_t>(1, l.timeScale));
        decision.push_back(byBuffer ? int64_t(l.grid) * std::max<uint32_t>(1, l.delta) : 0);
    }
    const double frame = video_.timeScale ? double(std::max<uint32_t>(1, video_.delta)) / video_.timeScale : 0;
    return InterleaveWindows(std::move(unitSeconds), frame, std::move(decision));
}

EditShape TemplateLayout::Edits(int track) const {
    EditShape e;
    if (track < 0) return e;
    const Track& t = movie_.tracks[size_t(track)];
    if (t.hasEditList && t.edits.size() == 1 && t.edits[0].mediaRate == 0x10000 && t.edits[0].mediaTime >= 0) {
        e.present = true;
        e.mediaTime = t.edits[0].mediaTime;
    }
    return e;
}

std::string TemplateLayout::VideoText() const {
    if (video_.track < 0) return "no video";
    std::string kind;
    switch (video_.family) {
        case VideoFamily::Dv:
            kind = std::string("DV") + (video_.dvFrameBytes > 144000 ? "50 " : " ") + (video_.dv625 ? "625/50" : "525/60");
            break;
        case VideoFamily::Jpeg: kind = "Motion-JPEG"; break;
        case VideoFamily::Avc: kind = "H.264"; break;
        case VideoFamily::Mpeg4: kind = "MPEG-4"; break;
        default: kind = "video"; break;
    }
    return kind + " ('" + CodecName(video_.codec) + "'), " + std::to_string(video_.width) + "x" +
           std::to_string(video_.height);
}

std::string TemplateLayout::SoundText(size_t index) const {
    if (index >= sounds_.size()) return "no sound";
    const SoundLayout& l = sounds_[index];
    std::string kind;
    const uint32_t bytesPerSample = l.unitBytes / std::max<uint32_t>(1, l.channels);
    switch (l.family) {
        case SoundFamily::Pcm:
            kind = std::to_string(bytesPerSample * 8) + "-bit " + (l.isFloat ? "float " : "") +
                   (bytesPerSample > 1 ? (l.bigEndian ? "big-endian " : "little-endian ") : "") + "PCM";
            break;
        case SoundFamily::Ima4: kind = "IMA4"; break;
        case SoundFamily::Aac: kind = "AAC"; break;
        default: kind = "sound"; break;
    }
    return kind + " ('" + CodecName(l.codec) + "'), " + std::to_string(l.channels) +
           (l.channels == 1 ? " channel, " : " channels, ") + std::to_string(l.rate) + " Hz";
}

}  // namespace movie::repair
