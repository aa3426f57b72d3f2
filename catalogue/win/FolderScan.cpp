#include "catalogue/win/FolderScan.h"

#include <cstring>

#include "catalogue/Format.h"
#include "preview/win/MoviePlayer.h"

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
    HANDLE search = FindFirstFileA((root + "*.*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
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
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

namespace {

using DiskFreeSpaceEx = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

DiskFreeSpaceEx FindDiskFreeSpaceEx() {
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (!kernel) return nullptr;
    return reinterpret_cast<DiskFreeSpaceEx>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
}

// Older systems: clusters times sectors times bytes, on the drive root of the path.
bool ClusterSpace(const char* path, bool total, uint64_t& bytes) {
    char root[MAX_PATH + 1] = {};
    if (path && path[0] && path[1] == ':') {
        root[0] = path[0];
    } else {
        char current[260] = {};
        DWORD n = GetCurrentDirectoryA(sizeof(current), current);
        if (n < 2 || n >= sizeof(current) || current[1] != ':') return false;
        root[0] = current[0];
    }
    root[1] = ':';
    root[2] = '\\';
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) return false;
    bytes = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector * (total ? totalClusters : freeClusters);
    return true;
}

bool DiskSpace(const char* path, bool total, uint64_t& bytes) {
    bytes = 0;
    if (DiskFreeSpaceEx query = FindDiskFreeSpaceEx()) {
        ULARGE_INTEGER available{}, all{};
        if (!query(path, &available, &all, nullptr)) return false;
        bytes = total ? all.QuadPart : available.QuadPart;
        return true;
    }
    return ClusterSpace(path, total, bytes);
}

}  // namespace

bool GetFreeBytes(const char* path, uint64_t& bytes) { return DiskSpace(path, false, bytes); }
bool GetTotalBytes(const char* path, uint64_t& bytes) { return DiskSpace(path, true, bytes); }
