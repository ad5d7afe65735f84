// Colour keys: the surface's own pixel value for an RGB colour, and keyed sprite blits.
#include "../support/support.h"

#include "../../src/assets/assets.h"
#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testing_support;

namespace {

constexpr COLORREF Magenta = RGB(255, 0, 255);

// A new surface holding `rows` rows of four pixels.
IDirectDrawSurface* Picture(const uint16_t (*pixels)[4], int rows) {
    IDirectDrawSurface* s = MakeSurface(4, rows);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    if (s == nullptr || s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return nullptr;
    for (int y = 0; y < rows; ++y) {
        std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch, pixels[y], 8);
    }
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    return s;
}

// The colour's value in the surface's format, with nothing from the all-ones pixel next to
// the probe pixel, which is put back. No colour: the probe's own value, nothing written.
TEST(ColourKey, MatchGivesTheSurfacesOwnValue) {
    const uint16_t pixels[1][4] = {{0x0421, 0xFFFF, 0x0421, 0x0421}};
    const struct {
        plat::PixelFormat format;
        COLORREF colour;
        DWORD want;
    } cases[] = {{plat::kFormat565, Magenta, 0xF81F},
                 {plat::kFormat555, Magenta, 0x7C1F},
                 {plat::kFormat565, CLR_INVALID, 0x0421}};
    for (const auto& c : cases) {
        DisplayUp(c.format);
        IDirectDrawSurface* s = Picture(pixels, 1);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(ColourMatch(s, c.colour), c.want) << std::hex << c.colour;
        EXPECT_EQ(SurfacePixel(s, 0, 0), 0x0421);
        EXPECT_EQ(SurfacePixel(s, 1, 0), 0xFFFF);
        s->Release();
    }
    // A surface locked elsewhere can be neither written nor read.
    IDirectDrawSurface* s = Picture(pixels, 1);
    ASSERT_NE(s, nullptr);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(ColourMatch(s, Magenta), CLR_INVALID);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(SurfacePixel(s, 0, 0), 0x0421);
    s->Release();
    DisplayDown();
    Backend().format = plat::kFormat565;
}

// A sprite with magenta corners (the probe pixel among them) and a pixel one below magenta.
TEST(ColourKey, KeyedBlitLeavesMagentaOut) {
    DisplayUp();
    const uint16_t pixels[2][4] = {{0xF81F, 0x1234, 0x0001, 0xF81F}, {0xF81E, 0xF81F, 0x07E0, 0xFFFF}};
    IDirectDrawSurface* sprite = Picture(pixels, 2);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(SetColourKey(sprite, Magenta), DD_OK);
    FillSurface(BackSurface, 0x5555);
    RECT r{0, 0, 4, 2};
    DisplayDevice.BlitToBack(100, 50, sprite, &r, DDBLTFAST_SRCCOLORKEY);
    for (int y = 0; y < 2; ++y) {
        for (int x = -1; x <= 4; ++x) {
            bool drawn = x >= 0 && x < 4 && pixels[y][x] != 0xF81F;
            uint16_t want = drawn ? pixels[y][x] : 0x5555;
            EXPECT_EQ(SurfacePixel(BackSurface, 100 + x, 50 + y), want) << x << "," << y;
        }
    }
    sprite->Release();
    DisplayDown();
}

}  // namespace
