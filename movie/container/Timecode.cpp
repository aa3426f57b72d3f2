#include "movie/container/Timecode.h"

#include <cstdio>

namespace movie {

namespace {

// Hours beyond this are no recording's: it keeps every product below 2^63.
constexpr uint64_t kMaxHours = 1u << 24;

// Reads 1 to `maxDigits` decimal digits at `pos`.
bool Digits(const std::string& s, size_t& pos, size_t maxDigits, uint64_t& value) {
    value = 0;
    size_t n = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && n < maxDigits) {
        value = value * 10 + uint64_t(s[pos] - '0');
        ++pos;
        ++n;
    }
    return n > 0;
}

}  // namespace

TimecodeFormat TimecodeFormat::FromFlags(uint32_t flags, uint32_t frames) {
    TimecodeFormat f;
    f.frames = frames;
    f.dropFrame = flags & 1;
    f.wraps24h = flags & 2;
    f.negativeOk = flags & 4;
    return f;
}

bool TimecodeFieldsOf(int64_t frameNumber, const TimecodeFormat& format, TimecodeFields& out) {
    out = TimecodeFields{};
    const uint64_t fps = format.frames;
    if (fps == 0) return false;
    const uint64_t drop = format.Drops() ? fps / 15 : 0;
    const uint64_t perMinute = fps * 60 - drop, perTenMinutes = fps * 600 - 9 * drop;
    const uint64_t perDay = 24 * 6 * perTenMinutes;
    uint64_t n;
    if (frameNumber >= 0) {
        n = uint64_t(frameNumber);
    } else if (format.wraps24h && !format.negativeOk) {
        n = perDay - (uint64_t(-(frameNumber + 1)) % perDay) - 1;  // the clock counted back past midnight
    } else {
        out.negative = true;
        n = uint64_t(-(frameNumber + 1)) + 1;
    }
    if (drop > 0) {
        // Put back the numbers skipped before this frame: none in each ten minutes' first minute,
        // `drop` at the start of each of the other nine.
        const uint64_t tens = n / perTenMinutes, rest = n % perTenMinutes;
        n += 9 * drop * tens + (rest > drop ? drop * ((rest - drop) / perMinute) : 0);
    }
    out.frames = uint32_t(n % fps);
    out.seconds = uint32_t(n / fps % 60);
    out.minutes = uint32_t(n / (fps * 60) % 60);
    out.hours = n / (fps * 3600);
    if (format.wraps24h) out.hours %= 24;
    return true;
}

bool FrameNumberOf(const TimecodeFields& fields, const TimecodeFormat& format, int64_t& frameNumber) {
    const uint64_t fps = format.frames;
    if (fps == 0 || fields.minutes > 59 || fields.seconds > 59 || fields.frames >= fps || fields.hours > kMaxHours)
        return false;
    const uint64_t drop = format.Drops() ? fps / 15 : 0;
    if (drop > 0 && fields.minutes % 10 != 0 && fields.seconds == 0 && fields.frames < drop) return false;
    const uint64_t minutes = fields.hours * 60 + fields.minutes;
    const uint64_t n = (minutes * 60 + fields.seconds) * fps + fields.frames - drop * (minutes - minutes / 10);
    frameNumber = fields.negative ? -int64_t(n) : int64_t(n);
    return true;
}

std::string TimecodeText(int64_t frameNumber, const TimecodeFormat& format) {
    TimecodeFields f;
    if (!TimecodeFieldsOf(frameNumber, format, f)) return "";
    char text[48];
    std::snprintf(text, sizeof text, "%s%02llu:%02u:%02u%c%02u", f.negative ? "-" : "", (unsigned long long)f.hours,
                  f.minutes, f.seconds, format.Drops() ? ';' : ':', f.frames);
    return text;
}

bool ParseTimecode(const std::string& text, const TimecodeFormat& format, int64_t& frameNumber) {
    TimecodeFields f;
    size_t pos = 0;
    if (pos < text.size() && text[pos] == '-') {
        f.negative = true;
        ++pos;
    }
    uint64_t h, m, s, ff;
    if (!Digits(text, pos, 8, h) || pos >= text.size() || text[pos++] != ':' || !Digits(text, pos, 2, m) ||
        pos >= text.size() || text[pos++] != ':' || !Digits(text, pos, 2, s) || pos >= text.size() ||
        (text[pos] != ':' && text[pos] != ';') || !Digits(text, ++pos, 3, ff) || pos != text.size())
        return false;
    f.hours = h;
    f.minutes = uint32_t(m);
    f.seconds = uint32_t(s);
    f.frames = uint32_t(ff);
    return FrameNumberOf(f, format, frameNumber);
}

bool ReadMovieTimecode(const Movie& movie, ByteSource& file, MovieTimecode& out) {
    out = MovieTimecode{};
    for (size_t i = 0; i < movie.tracks.size(); ++i) {
        const Track& t = movie.tracks[i];
        SampleInfo s;
        if (t.handler != FourCC("tmcd") || !t.hasTimecode || !t.Sample(0, s) || (s.size != 4 && s.size != 8)) continue;
        uint8_t b[8];
        if (!file.ReadAt(s.offset, b, s.size)) return false;
        uint64_t value = 0;
        for (uint32_t k = 0; k < s.size; ++k) value = value << 8 | b[k];
        out.track = int(i);
        out.format = TimecodeFormat::FromFlags(t.timecode.flags, t.timecode.frames);
        // A 32-bit count is signed only where negative times are allowed.
        out.frameNumber = s.size == 8 ? int64_t(value)
                          : out.format.negativeOk ? int64_t(int32_t(uint32_t(value)))
                                                  : int64_t(value);
        return true;
    }
    return false;
}

}  // namespace movie
