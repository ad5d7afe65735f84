// A backend with no screen, keyboard, clock or sound device, for programs that drive the
// game's operations in process: the fuzz targets, the benchmarks and the long-run tool. It
// takes every default of plat::Backend.
#pragma once

#include "../../src/app/app.h"
#include "../../src/display/display.h"
#include "../core/platform.h"

namespace headless {

class QuietBackend : public plat::Backend {
public:
    // Nothing will ever arrive: a quit message ends whatever waits in the message loop.
    void WaitForInput() override { PostQuitMessage(0); }
};

// Installs the backend and brings up what the game's start-up brings up before any sound:
// the window, the display device and the colour tables. False when a step fails.
inline bool BringUpDisplay(plat::Backend& backend) {
    plat::Install(&backend);
    if (MainWindow == nullptr && !CreateMainWindow(nullptr, SW_SHOWDEFAULT)) return false;
    if (BackSurface == nullptr && !DisplayDevice.Init(MainWindow)) return false;
    return DisplayDevice.tableBlock != nullptr || DisplayDevice.BuildColourTables(BackSurface);
}

}  // namespace headless
