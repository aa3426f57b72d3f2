#include "movie/repair/recognise/VideoRecognisers.h"

#include "movie/repair/recognise/AvcRecogniser.h"
#include "movie/repair/recognise/DvRecogniser.h"
#include "movie/repair/recognise/JpegRecogniser.h"
#include "movie/repair/recognise/Mpeg4Recogniser.h"

namespace movie::repair {

std::unique_ptr<VideoRecogniser> MakeVideoRecogniser(const VideoLayout& layout) {
    switch (layout.family) {
        case VideoFamily::Dv: return std::make_unique<DvRecogniser>(layout);
        case VideoFamily::Jpeg: return std::make_unique<JpegRecogniser>(layout);
        case VideoFamily::Avc: return std::make_unique<AvcRecogniser>(layout);
        case VideoFamily::Mpeg4: return std::make_unique<Mpeg4Recogniser>(layout);
        default: return nullptr;
    }
}

std::string SniffVideo(MediaWindow& w, uint64_t pos, uint64_t end) {
    if (std::string dv = DvRecogniser::Sniff(w, pos, end); !dv.empty()) return dv;
    if (std::string jpeg = JpegRecogniser::Sniff(w, pos, end); !jpeg.empty()) return jpeg;
    if (std::string mpeg4 = Mpeg4Recogniser::Sniff(w, pos, end); !mpeg4.empty()) return mpeg4;
    return "";
}

}  // namespace movie::repair
