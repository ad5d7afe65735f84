// Colour keys: the surface's own pixel value for an RGB colour, and keyed sprite blits.
#include "../support/support.h"

#include "../../src/assets/assets.h"
#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testing_support;

namespace {

constexpr COLORREF Magenta = RGB(255, 0, 255);

void SetSurfacePixel(IDirectDrawSurface* surface, int x, int y, uint16_t value) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + 2 * x, &value, 2);
    ASSERT_EQ(surface->Unlock(nullptr), DD_OK);
}

TEST(ColourKey, MagentaIn565) {
    DisplayUp(plat::kFormat565);
    IDirectDrawSurface* s = MakeSurface(8, 8);
    ASSERT_NE(s, nullptr);
    FillSurface(s, 0x1234);
    SetSurfacePixel(s, 1, 0, 0xFFFF);  // the pixel next to the probe, in the upper 16 bits
    DWORD value = ColourMatch(s, Magenta);
    EXPECT_EQ(value, 0xF81Fu);
    EXPECT_EQ(value & 0xFFFF0000u, 0u);
    // The probe pixel is put back, and nothing else was touched.
    EXPECT_EQ(SurfacePixel(s, 0, 0), 0x1234);
    EXPECT_EQ(SurfacePixel(s, 1, 0), 0xFFFF);
    EXPECT_EQ(SurfacePixel(s, 0, 1), 0x1234);
    // Any colour lands as its top bits.
    EXPECT_EQ(ColourMatch(s, RGB(0x12, 0x34, 0x56)), 0x11AAu);
    EXPECT_EQ(ColourMatch(s, RGB(255, 255, 255)), 0xFFFFu);
    EXPECT_EQ(ColourMatch(s, RGB(0, 0, 0)), 0u);
    EXPECT_EQ(SurfacePixel(s, 0, 0), 0x1234);
    // No colour: the probe pixel's own value, nothing written.
    EXPECT_EQ(ColourMatch(s, CLR_INVALID), 0x1234u);
    // The surface is free again afterwards.
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    s->Release();
    DisplayDown();
}

TEST(ColourKey, MagentaIn555) {
    DisplayUp(plat::kFormat555);
    IDirectDrawSurface* s = MakeSurface(8, 8);
    ASSERT_NE(s, nullptr);
    FillSurface(s, 0x0421);
    SetSurfacePixel(s, 1, 0, 0xFFFF);
    DWORD value = ColourMatch(s, Magenta);
    EXPECT_EQ(value, 0x7C1Fu);
    EXPECT_EQ(value & 0xFFFF0000u, 0u);
    EXPECT_EQ(SurfacePixel(s, 0, 0), 0x0421);
    EXPECT_EQ(SurfacePixel(s, 1, 0), 0xFFFF);
    s->Release();
    DisplayDown();
    Backend().format = plat::kFormat565;
}

TEST(ColourKey, OnePixelSurface) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(1, 1);
    ASSERT_NE(s, nullptr);
    FillSurface(s, 0x8410);
    EXPECT_EQ(ColourMatch(s, Magenta), 0xF81Fu);
    EXPECT_EQ(SurfacePixel(s, 0, 0), 0x8410);
    EXPECT_EQ(SetColourKey(s, Magenta), DD_OK);
    s->Release();
    DisplayDown();
}

TEST(ColourKey, BusySurfaceGivesNoValue) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(4, 4);
    ASSERT_NE(s, nullptr);
    FillSurface(s, 0x1111);
    // With its device context out the surface can be neither written nor locked.
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(ColourMatch(s, Magenta), CLR_INVALID);
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(SurfacePixel(s, 0, 0), 0x1111);
    // Locked elsewhere: the same.
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(ColourMatch(s, Magenta), CLR_INVALID);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(SurfacePixel(s, 0, 0), 0x1111);
    s->Release();
    DisplayDown();
}

TEST(ColourKey, KeyedBlitLeavesMagentaOut) {
    DisplayUp();
    IDirectDrawSurface* sprite = MakeSurface(4, 2);
    ASSERT_NE(sprite, nullptr);
    // A sprite with magenta corners; the probe pixel itself is magenta.
    const uint16_t pixels[2][4] = {{0xF81F, 0x1234, 0x0001, 0xF81F}, {0xF81E, 0xF81F, 0x07E0, 0xFFFF}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) SetSurfacePixel(sprite, x, y, pixels[y][x]);
    }
    EXPECT_EQ(SetColourKey(sprite, Magenta), DD_OK);
    EXPECT_EQ(SurfacePixel(sprite, 0, 0), 0xF81F) << "the probe pixel was not put back";

    FillSurface(BackSurface, 0x5555);
    RECT r{0, 0, 4, 2};
    DisplayDevice.BlitToBack(100, 50, sprite, &r, DDBLTFAST_SRCCOLORKEY);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            uint16_t want = pixels[y][x] == 0xF81F ? 0x5555 : pixels[y][x];
            EXPECT_EQ(SurfacePixel(BackSurface, 100 + x, 50 + y), want) << x << "," << y;
        }
    }
    EXPECT_EQ(SurfacePixel(BackSurface, 99, 50), 0x5555);
    EXPECT_EQ(SurfacePixel(BackSurface, 104, 51), 0x5555);

    // Matching again on every car drawn changes nothing.
    EXPECT_EQ(SetColourKey(sprite, Magenta), DD_OK);
    EXPECT_EQ(SetColourKey(sprite, Magenta), DD_OK);
    DisplayDevice.BlitToBack(200, 50, sprite, &r, DDBLTFAST_SRCCOLORKEY);
    EXPECT_EQ(SurfacePixel(BackSurface, 200, 50), 0x5555);
    EXPECT_EQ(SurfacePixel(BackSurface, 201, 50), 0x1234);

    // Without the key flag the magenta pixels are drawn.
    DisplayDevice.BlitToBack(300, 50, sprite, &r, DDBLTFAST_NOCOLORKEY);
    EXPECT_EQ(SurfacePixel(BackSurface, 300, 50), 0xF81F);
    sprite->Release();
    DisplayDown();
}

}  // namespace
