// Fuzz target for the repair's media walk: the input's first byte picks a template (a clip of the
// corpus), the rest is the damaged media. The walk, the timeline, the template check and the new
// movie header must never crash, and what they report must hold together: samples in order,
// inside the media, not overlapping, every byte counted once, and a header that reads back as a
// movie.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "movie/container/MovieReader.h"
#include "movie/repair/ClipRepair.h"
#include "movie/repair/MediaWalker.h"
#include "movie/repair/RecordingTimeline.h"
#include "movie/repair/write/RepairedMovieWriter.h"

using namespace movie;
using namespace movie::repair;

namespace {

// One template per kind of sample the walk recognises; fuzz-smoke.sh seeds in this order.
const char* const kTemplates[] = {"dv_pal_pcm.mov", "dv_ntsc_pcm.mov", "mjpeg_pcm_600.mov", "h264_aac_30000.mov",
                                  "mpeg4_1000.mov",  "audio_ima4.mov",  "audio_pcm.mov"};

std::vector<TemplateLayout>& Templates() {
    static std::vector<TemplateLayout> all = [] {
        std::vector<TemplateLayout> t;
        for (const char* name : kTemplates) {
            TemplateLayout layout;
            std::string why;
            if (!layout.Load(std::string(CORPUS_DIR) + "/" + name, why)) std::abort();
            t.push_back(std::move(layout));
        }
        return t;
    }();
    return all;
}

void Check(bool holds) {
    if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const TemplateLayout& layout = Templates()[data[0] % Templates().size()];
    MemorySource media(data + 1, size - 1);
    const uint64_t end = size - 1;
    MediaWindow window(media, 1u << 20);
    MediaWalker walker(layout, window);
    RecoveredMedia found;
    walker.Walk(0, end, end, found);
    // Every sample at a time of its own: the timeline takes what the walk found, as it stands.
    std::vector<VideoStamp> stamps = walker.Stamps();
    Check(stamps.size() == found.video.size());
    RecordingTimeline(layout).Place(found, stamps);
    Check(stamps.size() == found.video.size());
    for (const RecoveredSoundChunk& c : found.sound) Check(c.time >= 0);

    uint64_t last = 0, bytes = 0;
    size_t v = 0, s = 0;
    while (v < found.video.size() || s < found.sound.size()) {
        const bool video = s >= found.sound.size() || (v < found.video.size() && found.video[v].offset < found.sound[s].offset);
        const uint64_t offset = video ? found.video[v].offset : found.sound[s].offset;
        const uint64_t length = video ? found.video[v++].size : found.sound[s++].bytes;
        Check(offset >= last && length > 0 && offset + length <= end);
        last = offset + length;
        bytes += length;
    }
    Check(bytes == found.mediaBytes);
    Check(found.mediaBytes + found.cutOffBytes + found.skippedBytes == end);
    if (layout.Sound().family == SoundFamily::Aac) {
        uint64_t sum = 0;
        for (uint32_t f : found.frameSizes) sum += f;
        uint64_t soundBytes = 0;
        for (const RecoveredSoundChunk& c : found.sound) soundBytes += c.bytes;
        Check(sum == soundBytes);
    }

    if (!found.video.empty() || !found.sound.empty()) {
        const std::vector<uint8_t> moov = RepairedMovieWriter(layout, found).MovieHeader(4096);
        MemorySource moovSource(moov.data(), moov.size());
        Movie m;
        Check(ReadMovie(moovSource, m) == ReadResult::Ok);
    }
    CheckFit(layout, media, 0, end);
    return 0;
}
