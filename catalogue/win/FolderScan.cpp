#include "catalogue/win/FolderScan.h"

#include <cstring>

#include "catalogue/Format.h"
#include "preview/win/MoviePlayer.h"
#include "win/FindHandle.h"

std::string FormatDateTime(const SYSTEMTIME& local) {
    char timePart[24] = {};
    char datePart[24] = {};
    // A part that does not fit its buffer stays empty rather than undefined.
    if (!GetTimeFormatA(LOCALE_USER_DEFAULT, LOCALE_NOUSEROVERRIDE, &local, nullptr, timePart, sizeof(timePart)))
        timePart[0] = '\0';
    if (!GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, datePart, sizeof(datePart)))
        datePart[0] = '\0';
    return std::string(datePart) + " " + timePart;
}

void ReadMediaFolder(const std::string& root, MoviePlayer& player, ClipCatalogue& catalogue) {
    WIN32_FIND_DATAA found;
    win::FindHandle search;
    if (!search.First(root + "*.*", found)) return;
    do {
        std::string fullPath = root + found.cFileName;
        if (!std::strchr(found.cFileName, '.')) continue;
        MovieInfo info{};
        if (!player.ReadMovieInfo(fullPath.c_str(), &info)) continue;

        FILETIME localTime;
        SYSTEMTIME fields{};
        FileTimeToLocalFileTime(&found.ftLastWriteTime, &localTime);
        FileTimeToSystemTime(&localTime, &fields);

        ClipRecord record;
        record.modified = CalendarToTimeValue(fields.wYear, fields.wMonth, fields.wDay, fields.wHour, fields.wMinute,
                                              fields.wSecond);
        record.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        record.dateText = FormatDateTime(fields);
        record.name = found.cFileName;
        record.sizeText = FormatSize(record.size);
        record.seconds = ClipSeconds(info.duration, info.timeScale);
        record.durationText = FormatDuration(record.seconds);
        record.fullPath = std::move(fullPath);
        catalogue.Append(std::move(record));
    } while (search.Next(found));
}
