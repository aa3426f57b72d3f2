#include "movie/repair/template/TemplateLayout.h"

#include <algorithm>
#include <map>

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
    return Build(m, std::move(moov), why);
}

bool TemplateLayout::Build(const Movie& movie, std::vector<uint8_t> moovBytes, std::string& why) {
    movie_ = movie;
    moov_ = std::move(moovBytes);
    video_ = VideoLayout{};
    sound_ = SoundLayout{};
    if (movie_.fragmented) {
        why = "its samples are in movie fragments";
        return false;
    }
    const int v = FindTrack(movie_, TrackKind::Video);
    const int s = FindTrack(movie_, TrackKind::Sound);
    if (v < 0 && s < 0) {
        why = "it has no video or sound track with samples";
        return false;
    }
    if (v >= 0) MapVideo(movie_.tracks[size_t(v)], v);
    if (s >= 0) MapSound(movie_.tracks[size_t(s)], s);
    if (video_.family == VideoFamily::Unsupported) {
        why = "its video codec '" + CodecName(video_.codec) + "' is not one cliprepair can find in the media";
        return false;
    }
    if (sound_.family == SoundFamily::Unsupported) {
        why = "its sound codec '" + CodecName(sound_.codec) + "' is not one cliprepair can find in the media";
        return false;
    }
    if (video_.timeScale == 0 && v >= 0) {
        why = "its video track has no timing";
        return false;
    }
    MeasureChunks();
    return true;
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
}

void TemplateLayout::MapSound(const Track& t, int index) {
    SoundLayout& l = sound_;
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
}

void TemplateLayout::MeasureChunks() {
    struct Placed { uint64_t offset; bool video; uint64_t bytes; };
    std::vector<Placed> chunks;
    std::map<uint32_t, uint64_t> soundSizes;
    uint64_t soundBytes = 0;
    for (const int index : {video_.track, sound_.track}) {
        if (index < 0) continue;
        const Track& t = movie_.tracks[size_t(index)];
        const bool video = index == video_.track;
        ChunkInfo c;
        SampleInfo s;
        for (size_t i = 0; i < t.ChunkCount() && t.Chunk(i, c); ++i) {
            uint64_t bytes = 0;
            if (!video && sound_.unitBytes > 0) {
                bytes = uint64_t(c.sampleCount) / sound_.samplesPerUnit * sound_.unitBytes;
            } else {
                for (uint64_t n = c.firstSample; n < c.firstSample + c.sampleCount && t.Sample(size_t(n), s); ++n)
                    bytes += s.size;
            }
            chunks.push_back({c.offset, video, bytes});
            if (!video) {
                soundBytes += bytes;
                ++soundSizes[uint32_t(std::min<uint64_t>(bytes, UINT32_MAX))];
            }
        }
    }
    std::sort(chunks.begin(), chunks.end(), [](const Placed& a, const Placed& b) { return a.offset < b.offset; });
    uint64_t videoChunks = 0, followedBySound = 0;
    for (size_t i = 0; i < chunks.size(); ++i) {
        if (!chunks[i].video) continue;
        ++videoChunks;
        if (i + 1 < chunks.size() && !chunks[i + 1].video) ++followedBySound;
    }
    interleaved_ = sound_.track >= 0 && video_.track >= 0 && followedBySound * 2 > videoChunks;

    std::vector<std::pair<uint32_t, uint64_t>> bySize(soundSizes.begin(), soundSizes.end());
    std::stable_sort(bySize.begin(), bySize.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    sound_.chunkBytes.clear();
    for (const auto& [size, count] : bySize) {
        (void)count;
        if (size > 0) sound_.chunkBytes.push_back(size);
        sound_.largestChunk = std::max(sound_.largestChunk, size);
    }
    if (sound_.track >= 0) {
        const Track& t = movie_.tracks[size_t(sound_.track)];
        if (t.mediaDuration > 0 && t.mediaTimeScale > 0)
            sound_.bytesPerSecond = double(soundBytes) * t.mediaTimeScale / double(t.mediaDuration);
    }
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

std::string TemplateLayout::SoundText() const {
    if (sound_.track < 0) return "no sound";
    std::string kind;
    switch (sound_.family) {
        case SoundFamily::Pcm:
            kind = std::to_string(sound_.unitBytes / std::max<uint32_t>(1, sound_.channels) * 8) + "-bit " +
                   (sound_.isFloat ? "float " : "") + (sound_.unitBytes / std::max<uint32_t>(1, sound_.channels) > 1
                                                           ? (sound_.bigEndian ? "big-endian " : "little-endian ")
                                                           : "") +
                   "PCM";
            break;
        case SoundFamily::Ima4: kind = "IMA4"; break;
        case SoundFamily::Aac: kind = "AAC"; break;
        default: kind = "sound"; break;
    }
    return kind + " ('" + CodecName(sound_.codec) + "'), " + std::to_string(sound_.channels) +
           (sound_.channels == 1 ? " channel, " : " channels, ") + std::to_string(sound_.rate) + " Hz";
}

}  // namespace movie::repair
