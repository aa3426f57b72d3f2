#include "movie/MediaSource.h"

namespace movie {

std::shared_ptr<MediaDecoders> DefaultMediaDecoders() { return nullptr; }

}  // namespace movie
