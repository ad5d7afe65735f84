// The conformance program's window, its display set-up and its run, shared by both builds.
#include "conformance.h"

#include <cstring>

namespace conformance {

std::ostream& operator<<(std::ostream& out, Hr hr) {
    return out << "0x" << std::hex << static_cast<uint32_t>(hr.value) << std::dec;
}

namespace {

HWND g_window = nullptr;

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

void DisplayTest::SetUp() {
    ASSERT_NE(directDraw, nullptr) << "DirectDrawCreate: " << std::hex << createResult;
    ASSERT_NE(primary, nullptr) << "CreateSurface: " << std::hex << primaryResult;
    ASSERT_NE(back, nullptr) << "GetAttachedSurface: " << std::hex << attachedResult;
}

LPDIRECTDRAWSURFACE DisplayTest::MakeSurface(int width, int height) {
    auto desc = Sized<DDSURFACEDESC>();
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
    auto fx = Sized<DDBLTFX>();
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

void DisplayTest::Transfer(LPDIRECTDRAWSURFACE surface, Pixels& pixels, bool to) {
    auto desc = Sized<DDSURFACEDESC>();
    ASSERT_HR(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    const int width = static_cast<int>(desc.dwWidth), height = static_cast<int>(desc.dwHeight);
    if (!to) pixels = Pixels{width, height, std::vector<uint16_t>(desc.dwWidth * desc.dwHeight)};
    ASSERT_EQ(pixels.width, width);
    ASSERT_EQ(pixels.height, height);
    for (int y = 0; y < height; ++y) {
        auto* row = static_cast<uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch;
        void* ours = &pixels.At(0, y);
        std::memcpy(to ? row : ours, to ? ours : row, static_cast<size_t>(width) * 2);
    }
    EXPECT_HR(surface->Unlock(nullptr), DD_OK);
}

Pixels DisplayTest::Read(LPDIRECTDRAWSURFACE surface) {
    Pixels pixels;
    Transfer(surface, pixels, false);
    return pixels;
}

void DisplayTest::Write(LPDIRECTDRAWSURFACE surface, Pixels pixels) {
    Transfer(surface, pixels, true);
}

uint16_t DisplayTest::Pixel(LPDIRECTDRAWSURFACE surface, int x, int y) {
    Pixels pixels = Read(surface);
    return x < pixels.width && y < pixels.height ? pixels.At(x, y) : 0xDEAD;
}

void DisplayTest::SetPixelValue(LPDIRECTDRAWSURFACE surface, int x, int y, uint16_t value) {
    Pixels pixels = Read(surface);
    ASSERT_LT(x, pixels.width);
    ASSERT_LT(y, pixels.height);
    pixels.At(x, y) = value;
    Write(surface, pixels);
}

void DisplayTest::ExpectPixels(LPDIRECTDRAWSURFACE surface, int width, int height,
                               const std::function<int(int, int)>& expected) {
    Pixels pixels = Read(surface);
    ASSERT_EQ(pixels.width, width);
    ASSERT_EQ(pixels.height, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) EXPECT_EQ(pixels.At(x, y), expected(x, y)) << x << "," << y;
}

}  // namespace conformance
