#include "fileops/FileTransfer.h"

#include "win/UniqueHandle.h"

namespace {

struct Transfer {
    const char* source;
    const char* destination;
    bool move;
    BOOL result = FALSE;
    DWORD error = ERROR_SUCCESS;
};

DWORD WINAPI RunTransfer(LPVOID parameter) {
    auto* transfer = static_cast<Transfer*>(parameter);
    transfer->result =
        transfer->move
            ? MoveFileWithProgressA(transfer->source, transfer->destination, nullptr, nullptr, MOVEFILE_COPY_ALLOWED)
            : CopyFileExA(transfer->source, transfer->destination, nullptr, nullptr, nullptr,
                          COPY_FILE_FAIL_IF_EXISTS);
    transfer->error = transfer->result ? ERROR_SUCCESS : GetLastError();
    return 0;
}

// Paint messages of this thread's windows and nothing else: input and timers wait for the end
// of the operation, as they would behind a plain copy.
void DispatchPaintMessages() {
    MSG msg;
    for (int i = 0; i < 64 && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i) DispatchMessageA(&msg);
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// A copy that fails part-way may leave what it wrote under the clip's name (Wine's does, on a full
// disk): a file there looks like the clip. It is removed when this very call made it and the
// source is still there to be the clip. An "exists" failure means the file was someone else's.
void RemovePartialDestination(const Transfer& transfer, bool destinationExisted) {
    if (transfer.result || destinationExisted) return;
    if (transfer.error == ERROR_FILE_EXISTS || transfer.error == ERROR_ALREADY_EXISTS) return;
    if (!Exists(transfer.source) || !Exists(transfer.destination)) return;
    DeleteFileA(transfer.destination);
}

// The file call runs on a thread of its own while this thread keeps painting: the system's
// progress routine is not called under every system (Wine never calls it), so it cannot be
// what keeps the window drawn. The call's last error is handed back to this thread.
BOOL Run(Transfer& transfer) {
    const bool destinationExisted = Exists(transfer.destination);
    const win::UniqueHandle thread(CreateThread(nullptr, 0, &RunTransfer, &transfer, 0, nullptr));
    if (!thread) {
        RunTransfer(&transfer);
    } else {
        HANDLE waitFor = thread.Get();
        while (MsgWaitForMultipleObjectsEx(1, &waitFor, INFINITE, QS_PAINT | QS_SENDMESSAGE, MWMO_INPUTAVAILABLE) !=
               WAIT_OBJECT_0)
            DispatchPaintMessages();
    }
    RemovePartialDestination(transfer, destinationExisted);
    SetLastError(transfer.error);
    return transfer.result;
}

}  // namespace

BOOL CopyFileWhilePainting(const char* source, const char* destination) {
    Transfer transfer{source, destination, false};
    return Run(transfer);
}

BOOL MoveFileWhilePainting(const char* source, const char* destination) {
    Transfer transfer{source, destination, true};
    return Run(transfer);
}
