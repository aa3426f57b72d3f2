// The wait cursor, shown while an owner lives; owners nest.
#pragma once

#include <windows.h>

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    static int Depth();

private:
    HCURSOR previous_;
};
