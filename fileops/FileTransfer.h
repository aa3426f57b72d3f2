// Copying and moving a clip file while the thread's windows keep drawing: a DV clip is gigabytes,
// and a window that does not repaint for that long turns white.
#pragma once

#include <windows.h>

// As CopyFileA with fail-if-exists set: the destination is never replaced. Same result, and on
// failure the same last error; a failure leaves no file that the call itself created.
BOOL CopyFileWhilePainting(const char* source, const char* destination);
// As MoveFileA: fails when the destination exists, moves across volumes. Same result, and on
// failure the same last error; a failure leaves no file that the call itself created, as long as
// the source is still there.
BOOL MoveFileWhilePainting(const char* source, const char* destination);
