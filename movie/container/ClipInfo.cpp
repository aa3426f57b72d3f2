#include "movie/container/ClipInfo.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "movie/container/Timecode.h"

namespace movie {

namespace {

const char kUsage[] =
    "usage: clipinfo [--json] FILE-OR-FOLDER...\n"
    "Prints one line per movie: name, size in bytes, time scale, duration (time-scale units),\n"
    "whole seconds, natural box WxH and each track's kind:codec, separated by tabs; then, for a\n"
    "clip with a timecode track, its start timecode (HH:MM:SS:FF, with ';' before the frames\n"
    "where frame numbers are dropped).\n"
    "Folders are read without descending, their files in name order.\n"
    "A recording cut off before its movie header was written is listed as cut off, with the size\n"
    "of its media: cliprepair can bring it back.\n"
    "  --json   print a JSON array of objects instead\n"
    "  --help   print this text\n"
    "Exit status: 0 all read, 1 some file is not a readable movie (cut-off recordings included),\n"
    "2 usage error.\n";

const char* KindText(TrackKind k) {
    switch (k) {
        case TrackKind::Video: return "video";
        case TrackKind::Sound: return "sound";
        case TrackKind::Other: return "other";
    }
    return "other";
}

struct Options {
    bool json = false;
    bool stats = false;  // undocumented: bytes read per file, for the benchmark
};

struct Totals {
    uint64_t files = 0, bytesRead = 0, moovBytes = 0, headerBytes = 0;
};

// Files of a folder, not descending, sorted by name. False if the folder cannot be listed.
bool ListFolder(const std::string& folder, std::vector<std::string>& files) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec), end;
    if (ec) return false;
    std::vector<std::string> names;
    for (; it != end; it.increment(ec)) {
        if (ec) return false;
        std::error_code sec;
        if (!it->is_regular_file(sec)) continue;
        try {
            names.push_back(it->path().filename().string());
        } catch (const std::exception&) {
            return false;  // a name the narrow character set cannot carry
        }
    }
    if (ec) return false;
    std::sort(names.begin(), names.end());
    std::string prefix = folder;
#ifdef _WIN32
    const char separator = '\\';
#else
    const char separator = '/';
#endif
    if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\') prefix += separator;
    for (const std::string& n : names) files.push_back(prefix + n);
    return true;
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(std::filesystem::path(path), ec);
}

void PrintLine(std::ostream& out, const std::string& path, uint64_t fileSize, const Movie& m, const std::string& timecode,
               const Options& o) {
    out << path << '\t' << fileSize << '\t' << m.timeScale << '\t' << m.duration << '\t'
        << m.duration / m.timeScale << '\t' << m.naturalWidth << 'x' << m.naturalHeight << '\t';
    for (size_t i = 0; i < m.tracks.size(); ++i)
        out << (i ? " " : "") << KindText(m.tracks[i].kind) << ':' << FourCCText(m.tracks[i].codec);
    if (m.tracks.empty()) out << '-';
    if (!timecode.empty()) out << '\t' << timecode;
    if (o.stats)
        out << "\tread=" << m.bytesRead << " moov=" << m.moovSize << " atoms=" << m.topLevelAtoms;
    out << '\n';
}

void PrintJson(std::ostream& out, const std::string& path, uint64_t fileSize, const Movie& m, const std::string& timecode,
               const Options& o) {
    out << "{\"file\": " << JsonString(path) << ", \"size\": " << fileSize << ", \"timeScale\": " << m.timeScale
        << ", \"duration\": " << m.duration << ", \"seconds\": " << m.duration / m.timeScale
        << ", \"width\": " << m.naturalWidth << ", \"height\": " << m.naturalHeight << ", \"tracks\": [";
    for (size_t i = 0; i < m.tracks.size(); ++i) {
        const Track& t = m.tracks[i];
        out << (i ? ", " : "") << "{\"kind\": \"" << KindText(t.kind) << "\", \"codec\": " << JsonString(FourCCText(t.codec))
            << ", \"timeScale\": " << t.mediaTimeScale << ", \"duration\": " << t.mediaDuration
            << ", \"samples\": " << t.sampleCount << "}";
    }
    out << "]";
    if (!timecode.empty()) out << ", \"timecode\": " << JsonString(timecode);
    if (o.stats) out << ", \"bytesRead\": " << m.bytesRead << ", \"moovSize\": " << m.moovSize;
    out << "}";
}

// A recording cut off while it was written: media data, but no movie header to play it by.
void PrintCutOffLine(std::ostream& out, const std::string& path, uint64_t fileSize, const MediaData& media) {
    out << path << '\t' << fileSize << "\tcut off\tno movie header; " << media.bytesPresent
        << " bytes of media: cliprepair can bring it back\n";
}

void PrintCutOffJson(std::ostream& out, const std::string& path, uint64_t fileSize, const MediaData& media) {
    out << "{\"file\": " << JsonString(path) << ", \"size\": " << fileSize
        << ", \"cutOff\": true, \"movieHeader\": false, \"mediaBytes\": " << media.bytesPresent
        << ", \"repair\": \"cliprepair\"}";
}

}  // namespace

std::string FourCCText(uint32_t code) {
    if (code == 0) return "-";
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        unsigned char ch = uint8_t(code >> shift);
        if (ch >= 0x20 && ch < 0x7F && ch != '\\') {
            s += char(ch);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", ch);
            s += buf;
        }
    }
    return s;
}

std::string JsonString(const std::string& s) {
    std::string r = "\"";
    auto escapeByte = [&r](unsigned char ch) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", ch);
        r += buf;
    };
    for (size_t i = 0; i < s.size();) {
        unsigned char ch = uint8_t(s[i]);
        if (ch == '"' || ch == '\\') {
            r += '\\';
            r += char(ch);
            ++i;
        } else if (ch < 0x20 || ch == 0x7F) {
            escapeByte(ch);
            ++i;
        } else if (ch < 0x80) {
            r += char(ch);
            ++i;
        } else {
            // Valid UTF-8 passes through; any other byte (an ANSI name) is written as that code point.
            size_t len = ch >= 0xF0 && ch <= 0xF4 ? 4 : ch >= 0xE0 ? 3 : ch >= 0xC2 && ch < 0xE0 ? 2 : 0;
            bool valid = len > 0 && i + len <= s.size();
            for (size_t k = 1; valid && k < len; ++k) valid = (uint8_t(s[i + k]) & 0xC0) == 0x80;
            if (valid && len == 3) {
                unsigned char c1 = uint8_t(s[i + 1]);
                valid = !(ch == 0xE0 && c1 < 0xA0) && !(ch == 0xED && c1 >= 0xA0);
            } else if (valid && len == 4) {
                unsigned char c1 = uint8_t(s[i + 1]);
                valid = !(ch == 0xF0 && c1 < 0x90) && !(ch == 0xF4 && c1 >= 0x90);
            }
            if (valid) {
                r.append(s, i, len);
                i += len;
            } else {
                escapeByte(ch);
                ++i;
            }
        }
    }
    return r + "\"";
}

int RunClipInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    std::vector<std::string> inputs;
    bool optionsDone = false;
    for (const std::string& a : args) {
        if (!optionsDone && a.size() > 1 && a[0] == '-') {
            if (a == "--help" || a == "-h") {
                out << kUsage;
                return 0;
            }
            if (a == "--json") o.json = true;
            else if (a == "--stats") o.stats = true;
            else if (a == "--") optionsDone = true;
            else {
                err << "clipinfo: unknown option " << a << "\n" << kUsage;
                return 2;
            }
        } else {
            inputs.push_back(a);
        }
    }
    if (inputs.empty()) {
        err << kUsage;
        return 2;
    }

    int status = 0;
    std::vector<std::string> files;
    for (const std::string& in : inputs) {
        if (IsFolder(in)) {
            if (!ListFolder(in, files)) {
                err << "clipinfo: " << in << ": cannot list the folder\n";
                status = 1;
            }
        } else {
            files.push_back(in);
        }
    }

    Totals totals;
    bool first = true;
    if (o.json) out << "[";
    for (const std::string& path : files) {
        Movie m;
        uint64_t fileSize = 0;
        ReadResult r;
        MediaData media;
        bool cutOff = false;
        std::string timecode;
        if (std::unique_ptr<FileSource> src = FileSource::Open(path)) {
            fileSize = src->Size();
            r = ReadMovie(*src, m);
            cutOff = (r == ReadResult::NotMovie || r == ReadResult::Malformed) && FindMediaData(*src, media) &&
                     media.bytesPresent > 0;
            MovieTimecode start;
            if (r == ReadResult::Ok && ReadMovieTimecode(m, *src, start))
                timecode = TimecodeText(start.frameNumber, start.format);
        } else {
            r = ReadResult::IoError;
        }
        if (cutOff) {
            // Listed, yet not a movie that reads: the status still says so.
            status = 1;
            if (o.json) {
                out << (first ? "\n  " : ",\n  ");
                PrintCutOffJson(out, path, fileSize, media);
            } else {
                PrintCutOffLine(out, path, fileSize, media);
            }
            first = false;
            continue;
        }
        if (r != ReadResult::Ok) {
            err << "clipinfo: " << path << ": " << ResultText(r) << "\n";
            status = 1;
            continue;
        }
        ++totals.files;
        totals.bytesRead += m.bytesRead;
        totals.moovBytes += m.moovSize;
        totals.headerBytes += uint64_t(m.topLevelAtoms - 1) * 8;  // the moov's own header is in moovSize
        if (o.json) {
            out << (first ? "\n  " : ",\n  ");
            PrintJson(out, path, fileSize, m, timecode, o);
        } else {
            PrintLine(out, path, fileSize, m, timecode, o);
        }
        first = false;
    }
    if (o.json) out << (first ? "]\n" : "\n]\n");
    if (o.stats && totals.files)
        err << "clipinfo: " << totals.files << " movies, " << totals.bytesRead / totals.files
            << " bytes read per movie; moov + the top-level headers before it " << (totals.moovBytes + totals.headerBytes) / totals.files
            << " bytes per movie\n";
    return status;
}

}  // namespace movie
