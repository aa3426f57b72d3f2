#include "fileops/ClipOperations.h"

#include "fileops/FileTransfer.h"
#include "fileops/SystemErrorText.h"
#include "framework/win/ResourceModule.h"
#include "resources/resource.h"

namespace {
const char kCaption[] = "ClipHarbor";

// The backslash is always added: a drive root chosen as the folder gives two in a row, which the
// system accepts as they are.
std::string Destination(const std::string& folder, const std::string& name) { return folder + "\\" + name; }
}  // namespace

void ClipOperations::CopyFiles(const std::vector<ClipFile>& files, const std::string& folder) const {
    for (const ClipFile& file : files) {
        if (!CopyFileWhilePainting(file.source.c_str(), Destination(folder, file.name).c_str()))
            ReportFailure(IDS_ERROR_COPY, file.source, GetLastError());
    }
}

void ClipOperations::MoveFiles(const std::vector<ClipFile>& files, const std::string& folder) const {
    for (const ClipFile& file : files) {
        if (!MoveFileWhilePainting(file.source.c_str(), Destination(folder, file.name).c_str()))
            ReportFailure(IDS_ERROR_MOVE, file.source, GetLastError());
    }
}

bool ClipOperations::ConfirmDelete(size_t count) const {
    std::string question = LoadMessage(count == 1 ? IDS_CONFIRM_DELETE_ONE : IDS_CONFIRM_DELETE_MANY);
    return MessageBoxA(owner_, question.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void ClipOperations::DeleteFiles(const std::vector<std::string>& paths) const {
    for (const std::string& path : paths) {
        // The system's ANSI calls take MAX_PATH bytes with the terminator; a longer path would
        // reach them cut short, naming another file.
        if (path.size() >= MAX_PATH) {
            ReportFailure(IDS_ERROR_DELETE, path, ERROR_FILENAME_EXCED_RANGE);
            continue;
        }
        SetLastError(0);
        if (!DeleteFileA(path.c_str())) ReportFailure(IDS_ERROR_DELETE, path, GetLastError());
    }
}

void ClipOperations::ReportFailure(UINT messageId, const std::string& path, DWORD error) const {
    const std::string errorText = SystemErrorText(error);
    const std::string text = FillMessage(LoadMessage(messageId), {{'s', path}, {'s', errorText}});
    MessageBoxA(owner_, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
}

void ClipOperations::ReportError(DWORD error) const {
    MessageBoxA(owner_, SystemErrorText(error).c_str(), kCaption, MB_OK | MB_ICONERROR);
}
