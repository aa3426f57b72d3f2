// The wait cursor, shown while an owner lives; owners nest.
#pragma once

#include <windows.h>

class WaitCursor {
public:
    // How many owners are alive.
    static int Depth();

    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};
