#include "framework/win/WaitCursor.h"

namespace {
int gWaitDepth = 0;
}  // namespace

WaitCursor::WaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)))) { ++gWaitDepth; }

WaitCursor::~WaitCursor() {
    --gWaitDepth;
    if (gWaitDepth == 0) {
        // Back to the cursor the window under the mouse asks for.
        POINT pt;
        GetCursorPos(&pt);
        SetCursorPos(pt.x, pt.y);
        SetCursor(previous_ ? previous_ : LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
    }
}

int WaitCursor::Depth() { return gWaitDepth; }
