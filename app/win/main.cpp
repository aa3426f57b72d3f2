#include <windows.h>

#include <cstdlib>

#include "app/win/ClipHarborApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ClipHarborApp app;
    return app.Run(instance, __argc, __argv) == 1 ? 0 : 1;
}
