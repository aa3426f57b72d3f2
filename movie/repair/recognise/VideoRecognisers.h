// The recogniser of each video codec a repair can follow, chosen by the template's video, and a
// look at media bytes that names the kind of video they hold.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "movie/repair/recognise/MediaWindow.h"
#include "movie/repair/recognise/VideoRecogniser.h"
#include "movie/repair/template/TemplateLayout.h"

namespace movie::repair {

// The recogniser for the template's video codec; null for a template without video.
std::unique_ptr<VideoRecogniser> MakeVideoRecogniser(const VideoLayout& layout);

// What the bytes at `pos` look like, for telling a user why a template does not fit: "DV 625/50",
// "Motion-JPEG 320x240", "MPEG-4", "H.264" or "" when nothing is recognised.
std::string SniffVideo(MediaWindow& w, uint64_t pos, uint64_t end);

}  // namespace movie::repair
