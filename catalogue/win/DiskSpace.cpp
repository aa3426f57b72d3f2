#include "catalogue/win/DiskSpace.h"

#include <windows.h>

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

std::optional<DiskDisplay> ReadDiskDisplay(const std::string& root, const std::vector<ClipRecord>& records,
                                           const std::string& freeSuffix) {
    const std::string driveRoot = root.substr(0, 3);
    uint64_t freeBytes = 0, totalBytes = 0;
    if (!GetFreeBytes(driveRoot.c_str(), freeBytes) || !GetTotalBytes(driveRoot.c_str(), totalBytes))
        return std::nullopt;
    return MakeDiskDisplay(freeBytes, totalBytes, records, freeSuffix);
}
