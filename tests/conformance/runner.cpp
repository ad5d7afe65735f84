// The conformance program's window, its display set-up and its run, shared by both builds.
#include "conformance.h"

#include <cstring>

namespace conformance {

static HWND g_window = nullptr;

HWND Window() { return g_window; }

void DrainMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        // A quit message left by a test ends nothing here.
        if (message.message == WM_QUIT) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

int Run(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "Asphaltix conformance";
    if (RegisterClassA(&windowClass) == 0) return 3;
    // The game's own window: a topmost pop-up covering the screen.
    g_window = CreateWindowExA(WS_EX_TOPMOST, windowClass.lpszClassName, "Asphaltix conformance",
                               WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    if (g_window == nullptr) return 3;
    ShowWindow(g_window, SW_SHOWNORMAL);
    UpdateWindow(g_window);
    DrainMessages();
    int result = RUN_ALL_TESTS();
    DestroyWindow(g_window);
    return result;
}

// The game's own start-up of the display.
void DisplayTest::SetUpTestSuite() {
    createResult = DirectDrawCreate(nullptr, &directDraw, nullptr);
    if (createResult != DD_OK) return;
    levelResult = directDraw->SetCooperativeLevel(
        Window(), DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX);
    modeResult = directDraw->SetDisplayMode(640, 480, 16);
    auto desc = Sized<DDSURFACEDESC>();
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    primaryResult = directDraw->CreateSurface(&desc, &primary, nullptr);
    if (primaryResult != DD_OK) return;
    DDSCAPS caps{DDSCAPS_BACKBUFFER | DDSCAPS_VIDEOMEMORY};
    attachedResult = primary->GetAttachedSurface(&caps, &back);
}

void DisplayTest::TearDownTestSuite() {
    if (back != nullptr) back->Release();
    if (primary != nullptr) primary->Release();
    if (directDraw != nullptr) {
        directDraw->RestoreDisplayMode();
        directDraw->Release();
    }
    back = primary = nullptr;
    directDraw = nullptr;
    DrainMessages();
}

}  // namespace conformance
