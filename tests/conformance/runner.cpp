// The conformance program's window, its display set-up and its run, shared by both builds.
#include "conformance.h"

#include <cstring>

namespace conformance {

std::ostream& operator<<(std::ostream& out, Hr hr) {
    return out << "0x" << std::hex << static_cast<uint32_t>(hr.value) << std::dec;
}

namespace {

HWND g_window = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

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
    WNDCLASSA windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
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

LPDIRECTDRAW DisplayTest::directDraw = nullptr;
LPDIRECTDRAWSURFACE DisplayTest::primary = nullptr;
LPDIRECTDRAWSURFACE DisplayTest::back = nullptr;
HRESULT DisplayTest::createResult = E_FAIL;
HRESULT DisplayTest::levelResult = E_FAIL;
HRESULT DisplayTest::modeResult = E_FAIL;
HRESULT DisplayTest::primaryResult = E_FAIL;
HRESULT DisplayTest::attachedResult = E_FAIL;

// The game's own start-up of the display.
void DisplayTest::SetUpTestSuite() {
    createResult = DirectDrawCreate(nullptr, &directDraw, nullptr);
    if (createResult != DD_OK) return;
    levelResult = directDraw->SetCooperativeLevel(
        Window(), DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX);
    modeResult = directDraw->SetDisplayMode(640, 480, 16);
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    primaryResult = directDraw->CreateSurface(&desc, &primary, nullptr);
    if (primaryResult != DD_OK) return;
    DDSCAPS caps;
    caps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_VIDEOMEMORY;
    attachedResult = primary->GetAttachedSurface(&caps, &back);
}

void DisplayTest::TearDownTestSuite() {
    if (back != nullptr) back->Release();
    if (primary != nullptr) primary->Release();
    if (directDraw != nullptr) {
        directDraw->RestoreDisplayMode();
        directDraw->Release();
    }
    back = nullptr;
    primary = nullptr;
    directDraw = nullptr;
    DrainMessages();
}

void DisplayTest::SetUp() {
    ASSERT_NE(directDraw, nullptr) << "DirectDrawCreate: " << std::hex << createResult;
    ASSERT_NE(primary, nullptr) << "CreateSurface: " << std::hex << primaryResult;
    ASSERT_NE(back, nullptr) << "GetAttachedSurface: " << std::hex << attachedResult;
}

LPDIRECTDRAWSURFACE DisplayTest::MakeSurface(int width, int height) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    LPDIRECTDRAWSURFACE surface = nullptr;
    HRESULT hr = directDraw->CreateSurface(&desc, &surface, nullptr);
    EXPECT_EQ(hr, DD_OK);
    return hr == DD_OK ? surface : nullptr;
}

HRESULT DisplayTest::Fill(LPDIRECTDRAWSURFACE surface, uint16_t value, RECT* rect) {
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    fx.dwFillColor = value;
    HRESULT hr;
    while ((hr = surface->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL, &fx)) ==
           DDERR_WASSTILLDRAWING) {}
    return hr;
}

HRESULT DisplayTest::BltFast(LPDIRECTDRAWSURFACE to, DWORD x, DWORD y, LPDIRECTDRAWSURFACE from,
                             RECT* rect, DWORD flags) {
    HRESULT hr;
    while ((hr = to->BltFast(x, y, from, rect, flags)) == DDERR_WASSTILLDRAWING) {}
    return hr;
}

Pixels DisplayTest::Read(LPDIRECTDRAWSURFACE surface) {
    Pixels pixels;
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    HRESULT hr = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    EXPECT_HR(hr, DD_OK);
    if (hr != DD_OK) return pixels;
    pixels.width = static_cast<int>(desc.dwWidth);
    pixels.height = static_cast<int>(desc.dwHeight);
    pixels.values.resize(static_cast<size_t>(pixels.width * pixels.height));
    const auto* bytes = static_cast<const uint8_t*>(desc.lpSurface);
    for (int y = 0; y < pixels.height; ++y) {
        std::memcpy(&pixels.At(0, y), bytes + static_cast<ptrdiff_t>(y) * desc.lPitch,
                    static_cast<size_t>(pixels.width) * 2);
    }
    EXPECT_HR(surface->Unlock(nullptr), DD_OK);
    return pixels;
}

void DisplayTest::Write(LPDIRECTDRAWSURFACE surface, const Pixels& pixels) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    HRESULT hr = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    ASSERT_HR(hr, DD_OK);
    ASSERT_EQ(pixels.width, static_cast<int>(desc.dwWidth));
    ASSERT_EQ(pixels.height, static_cast<int>(desc.dwHeight));
    auto* bytes = static_cast<uint8_t*>(desc.lpSurface);
    for (int y = 0; y < pixels.height; ++y) {
        std::memcpy(bytes + static_cast<ptrdiff_t>(y) * desc.lPitch,
                    pixels.values.data() + static_cast<ptrdiff_t>(y) * pixels.width,
                    static_cast<size_t>(pixels.width) * 2);
    }
    EXPECT_HR(surface->Unlock(nullptr), DD_OK);
}

uint16_t DisplayTest::Pixel(LPDIRECTDRAWSURFACE surface, int x, int y) {
    Pixels pixels = Read(surface);
    if (x >= pixels.width || y >= pixels.height) return 0xDEAD;
    return pixels.At(x, y);
}

void DisplayTest::SetPixelValue(LPDIRECTDRAWSURFACE surface, int x, int y, uint16_t value) {
    Pixels pixels = Read(surface);
    ASSERT_LT(x, pixels.width);
    ASSERT_LT(y, pixels.height);
    pixels.At(x, y) = value;
    Write(surface, pixels);
}

}  // namespace conformance
