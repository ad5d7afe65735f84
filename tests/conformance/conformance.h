// The platform calls the game makes, stated as facts that hold on Windows and on our own
// platform layer alike. The tests are written against the system's headers only: the same
// sources build against our layer (run natively) and with mingw-w64 against the real system
// libraries (run on Windows, or under Wine).
//
// Where Wine answers otherwise than Windows, a test expects each its own answer and says why
// (UnderWine). Our layer always answers as Windows does.
#pragma once

#include <windows.h>
#include <ddraw.h>
#include <dsound.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include "sized.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <tuple>
#include <utility>
#include <vector>

namespace conformance {

// A result code, printed in hexadecimal.
struct Hr {
    HRESULT value;
    friend bool operator==(Hr a, Hr b) { return a.value == b.value; }
};
inline std::ostream& operator<<(std::ostream& out, Hr hr) {
    return out << "0x" << std::hex << static_cast<uint32_t>(hr.value) << std::dec;
}
#define EXPECT_HR(actual, expected) \
    EXPECT_EQ(::conformance::Hr{(actual)}, ::conformance::Hr{(expected)})
#define ASSERT_HR(actual, expected) \
    ASSERT_EQ(::conformance::Hr{(actual)}, ::conformance::Hr{(expected)})

// Calls a DirectDraw call again while the blitter is busy, as the game does.
template <class Call>
HRESULT Retried(Call call) {
    HRESULT hr;
    while ((hr = call()) == DDERR_WASSTILLDRAWING) {}
    return hr;
}

// Whether a pixel lies in a rectangle: its right and bottom edges are outside.
inline bool Inside(const RECT& rect, int x, int y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

// The one window of the program, created before the tests run: DirectDraw's exclusive mode
// and DirectSound's cooperative level need it, and synthesised keys come to it.
HWND Window();

// Whether the program runs under Wine rather than Windows or our own layer (answered by the
// entry function of each build).
bool UnderWine();

// Registers the window class, makes the window, shows it, handles what showing it brought,
// and runs every test. The entry function of each build calls it.
int Run(int argc, char** argv);

// Handles every message queued for the program (as a frame of the game does), so that a test
// starts from an empty queue.
void DrainMessages();

// A surface's pixels, row after row.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint16_t> values;
    uint16_t At(int x, int y) const { return values[static_cast<size_t>(y * width + x)]; }
    uint16_t& At(int x, int y) { return values[static_cast<size_t>(y * width + x)]; }
};

// A 16-bit surface, its flip chain and offscreen surfaces: the display mode the game sets.
// The DirectDraw object and the flip chain are made once for all tests that use them.
class DisplayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override {
        ASSERT_NE(directDraw, nullptr) << "DirectDrawCreate: " << std::hex << createResult;
        ASSERT_NE(primary, nullptr) << "CreateSurface: " << std::hex << primaryResult;
        ASSERT_NE(back, nullptr) << "GetAttachedSurface: " << std::hex << attachedResult;
    }

    // An offscreen plain surface of the display's format, as the game makes its pictures.
    static LPDIRECTDRAWSURFACE MakeSurface(int width, int height) {
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
    // Fills a rectangle (the whole surface for null) with a pixel value, as the game clears.
    static HRESULT Fill(LPDIRECTDRAWSURFACE surface, uint16_t value, RECT* rect = nullptr) {
        auto fx = Sized<DDBLTFX>();
        fx.dwFillColor = value;
        return Retried([&] { return surface->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL, &fx); });
    }
    // A BltFast as the game makes it: tried again while the blitter is busy.
    static HRESULT BltFast(LPDIRECTDRAWSURFACE to, DWORD x, DWORD y, LPDIRECTDRAWSURFACE from,
                           RECT* rect, DWORD flags) {
        return Retried([&] { return to->BltFast(x, y, from, rect, flags); });
    }

    // A surface's pixels, read and written through Lock.
    static Pixels Read(LPDIRECTDRAWSURFACE surface) { return Transfer(surface, {}, false); }
    static void Write(LPDIRECTDRAWSURFACE surface, Pixels pixels) {
        Transfer(surface, pixels, true);
    }
    static uint16_t Pixel(LPDIRECTDRAWSURFACE surface, int x, int y) {
        Pixels pixels = Read(surface);
        return x < pixels.width && y < pixels.height ? pixels.At(x, y) : 0xDEAD;
    }
    static void SetPixelValue(LPDIRECTDRAWSURFACE surface, int x, int y, uint16_t value) {
        Pixels pixels = Read(surface);
        ASSERT_LT(x, pixels.width);
        ASSERT_LT(y, pixels.height);
        pixels.At(x, y) = value;
        Write(surface, pixels);
    }
    // Every pixel of a surface of the given size against expected(x, y).
    static void ExpectPixels(LPDIRECTDRAWSURFACE surface, int width, int height,
                             const std::function<int(int, int)>& expected) {
        Pixels pixels = Read(surface);
        ASSERT_EQ(std::pair(pixels.width, pixels.height), std::pair(width, height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                EXPECT_EQ(pixels.At(x, y), expected(x, y)) << x << "," << y;
    }

    static inline LPDIRECTDRAW directDraw = nullptr;
    static inline LPDIRECTDRAWSURFACE primary = nullptr, back = nullptr;
    // The result of each step of the set-up, checked by a test of their own.
    static inline HRESULT createResult = E_FAIL, levelResult = E_FAIL, modeResult = E_FAIL,
                          primaryResult = E_FAIL, attachedResult = E_FAIL;

private:
    // Copies a surface's pixels out, or (to) in, through Lock, and gives them.
    static Pixels Transfer(LPDIRECTDRAWSURFACE surface, Pixels pixels, bool to) {
        auto desc = Sized<DDSURFACEDESC>();
        HRESULT hr = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
        EXPECT_HR(hr, DD_OK);
        const int width = static_cast<int>(desc.dwWidth), height = static_cast<int>(desc.dwHeight);
        if (!to)
            pixels = Pixels{width, height, std::vector<uint16_t>(desc.dwWidth * desc.dwHeight)};
        EXPECT_EQ(std::pair(pixels.width, pixels.height), std::pair(width, height));
        if (hr != DD_OK || pixels.width != width || pixels.height != height) return Pixels{};
        for (int y = 0; y < height; ++y) {
            auto* row =
                static_cast<uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch;
            void* ours = &pixels.At(0, y);
            std::memcpy(to ? row : ours, to ? ours : row, static_cast<size_t>(width) * 2);
        }
        EXPECT_HR(surface->Unlock(nullptr), DD_OK);
        return pixels;
    }
};

// A COM object released at the end of a scope.
struct Release {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <class T>
using Released = std::unique_ptr<T, Release>;

}  // namespace conformance
