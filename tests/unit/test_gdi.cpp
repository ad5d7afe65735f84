// The platform's GDI on surface device contexts: GetDC/ReleaseDC, StretchDIBits of DIBs at 1:1
// and single pixels, with colours converted by dropping low bits.
#include "../support/support.h"

#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace testing_support;

namespace {

// A device-independent bitmap: its BITMAPINFO with room for 256 colours, and its rows.
struct Dib {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info;
    std::vector<uint8_t> bits;

    Dib(int width, int height, int depth) {
        std::memset(&info, 0, sizeof info);
        info.header = {sizeof(BITMAPINFOHEADER), width, height, 1, static_cast<WORD>(depth), BI_RGB, 0, 0, 0, 0, 0};
        bits.assign(static_cast<size_t>(Stride() * (height < 0 ? -height : height)), 0);
    }
    int Stride() const { return ((info.header.biWidth * info.header.biBitCount + 31) / 32) * 4; }
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(&info); }
};

// Every pixel of a surface, row by row.
std::vector<uint16_t> Pixels(IDirectDrawSurface* surface, int width, int height) {
    std::vector<uint16_t> out;
    for (int i = 0; i < width * height; ++i) out.push_back(SurfacePixel(surface, i % width, i / width));
    return out;
}

// Draws the whole DIB at (x, y) at 1:1 through the surface's device context; StretchDIBits' answer.
int Draw(IDirectDrawSurface* surface, const Dib& dib, int x = 0, int y = 0) {
    HDC dc = nullptr;
    if (surface->GetDC(&dc) != DD_OK) return -1;
    int w = dib.info.header.biWidth;
    int h = dib.info.header.biHeight < 0 ? -dib.info.header.biHeight : dib.info.header.biHeight;
    int rows = StretchDIBits(dc, x, y, w, h, 0, 0, w, h, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(surface->ReleaseDC(dc), DD_OK);
    return rows;
}

TEST(PlatformGdi, DeviceContextsOfSurfaces) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(4, 4);
    IDirectDrawSurface* other = MakeSurface(4, 4);
    ASSERT_TRUE(s != nullptr && other != nullptr);
    HDC dc = nullptr;
    HDC otherDc = nullptr;
    EXPECT_EQ(s->GetDC(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->ReleaseDC(nullptr), DDERR_INVALIDPARAMS) << "released a context never given";
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(s->GetDC(&otherDc), DDERR_DCALREADYCREATED);
    // While the context is out the surface can be neither locked nor blitted.
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->BltFast(0, 0, other, nullptr, 0), DDERR_SURFACEBUSY);
    // The context of another surface is not this one's to release.
    ASSERT_EQ(other->GetDC(&otherDc), DD_OK);
    EXPECT_EQ(s->ReleaseDC(otherDc), DDERR_INVALIDPARAMS);
    EXPECT_EQ(other->ReleaseDC(otherDc), DD_OK);

    // Single pixels, inside the surface only.
    EXPECT_EQ(SetPixel(dc, 3, 3, RGB(255, 255, 255)), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 3, 3), RGB(255, 255, 255));
    for (auto [x, y] : {std::pair{4, 0}, {0, 4}, {-1, 0}, {0, -1}}) {
        EXPECT_EQ(GetPixel(dc, x, y), CLR_INVALID) << x << "," << y;
        EXPECT_EQ(SetPixel(dc, x, y, 0), CLR_INVALID) << x << "," << y;
    }
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(s->ReleaseDC(dc), DDERR_INVALIDPARAMS);
    // A context given back draws nothing more.
    EXPECT_EQ(SetPixel(dc, 2, 2, RGB(255, 255, 255)), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, 3, 3), CLR_INVALID);
    EXPECT_EQ(GetPixel(nullptr, 0, 0), CLR_INVALID);
    std::vector<uint16_t> want(16, 0);
    want[15] = 0xFFFF;
    EXPECT_EQ(Pixels(s, 4, 4), want);
    // While locked no context is given.
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    other->Release();
    s->Release();
    DisplayDown();
}

// The same 5 x 3 picture in every depth, bottom-up and top-down, in both pixel formats. Its
// four colours have low bits that the 16-bit pixel drops; 1-bit pictures use the first two.
TEST(PlatformGdi, StretchDIBitsOfEachDepth) {
    const uint8_t colours[4][3] = {{0x07, 0x03, 0x07}, {0xFF, 0xFF, 0xFF}, {0x17, 0x2F, 0xFE}, {0x88, 0x44, 0x22}};
    const struct {
        plat::PixelFormat format;
        uint16_t packed[4];
    } formats[] = {{plat::kFormat565, {0x0000, 0xFFFF, 0x117F, 0x8A24}},
                   {plat::kFormat555, {0x0000, 0x7FFF, 0x08BF, 0x4504}}};
    const struct {
        int depth, height;
    } dibs[] = {{1, 3}, {4, 3}, {8, 3}, {24, 3}, {8, -3}};
    for (const auto& f : formats) {
        DisplayUp(f.format);
        IDirectDrawSurface* s = MakeSurface(5, 3);
        ASSERT_NE(s, nullptr);
        for (const auto& d : dibs) {
            Dib dib(5, d.height, d.depth);
            int first = d.depth == 8 ? 252 : 0;  // 8-bit pictures use the end of the colour table
            for (int i = 0; i < 4; ++i) {
                RGBQUAD& q = dib.info.colours[first + i];
                q = {colours[i][2], colours[i][1], colours[i][0], 0};
            }
            std::vector<uint16_t> want;
            for (int y = 0; y < 3; ++y) {
                uint8_t* row = dib.bits.data() + (d.height > 0 ? 2 - y : y) * dib.Stride();  // bottom-up or not
                for (int x = 0; x < 5; ++x) {
                    int index = d.depth == 1 ? (x + y / 2) % 2 : (x + 3 * y) % 4;  // top and bottom rows differ
                    want.push_back(f.packed[index]);
                    if (d.depth == 1) row[0] |= static_cast<uint8_t>(index << (7 - x));
                    if (d.depth == 4) row[x / 2] |= static_cast<uint8_t>(index << (x % 2 == 0 ? 4 : 0));
                    if (d.depth == 8) row[x] = static_cast<uint8_t>(first + index);
                    if (d.depth == 24) std::memcpy(row + 3 * x, &dib.info.colours[index], 3);
                }
            }
            FillSurface(s, 0x5555);
            EXPECT_EQ(Draw(s, dib), 3) << d.depth;
            EXPECT_EQ(Pixels(s, 5, 3), want) << d.depth << " bits, height " << d.height;
        }
        s->Release();
    }
    DisplayDown();
    Backend().format = plat::kFormat565;
}

// Only what lands inside the surface is drawn; the answer counts the rows drawn.
TEST(PlatformGdi, StretchDIBitsClipsToTheSurface) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(4, 4);
    ASSERT_NE(s, nullptr);
    Dib dib(3, 3, 24);
    std::memset(dib.bits.data(), 0xFF, dib.bits.size());
    EXPECT_EQ(Draw(s, dib, 2, 2), 2);    // its top-left 2 x 2
    EXPECT_EQ(Draw(s, dib, -2, -2), 1);  // its bottom-right pixel
    std::vector<uint16_t> want(16, 0);
    for (int i : {0, 10, 11, 14, 15}) want[i] = 0xFFFF;
    EXPECT_EQ(Pixels(s, 4, 4), want);

    // Refusals draw nothing.
    FillSurface(s, 0);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    const void* bits = dib.bits.data();
    const BITMAPINFO* info = dib.Info();
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 3, 3, 0, 0, 3, 3, bits, info, DIB_RGB_COLORS, 0x00EE0086), 0);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 3, 3, 0, 0, 3, 3, bits, info, 1, SRCCOPY), 0);  // palette indices
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 3, 3, 0, 0, 2, 2, bits, info, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 0, 0, 0, 0, 0, 0, bits, info, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 3, 3, 0, 0, 3, 3, nullptr, info, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 3, 3, 0, 0, 3, 3, bits, nullptr, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(nullptr, 0, 0, 3, 3, 0, 0, 3, 3, bits, info, DIB_RGB_COLORS, SRCCOPY), 0);
    for (auto [depth, planes, compression] : {std::tuple{16, 1, BI_RGB}, {24, 2, BI_RGB}, {24, 1, BI_RGB + 1}}) {
        Dib odd(3, 3, depth);
        odd.info.header.biPlanes = static_cast<WORD>(planes);
        odd.info.header.biCompression = compression;
        EXPECT_EQ(StretchDIBits(dc, 0, 0, 3, 3, 0, 0, 3, 3, bits, odd.Info(), DIB_RGB_COLORS, SRCCOPY), 0)
            << depth << " " << planes << " " << compression;
    }
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(Pixels(s, 4, 4), std::vector<uint16_t>(16, 0)) << "a refused StretchDIBits drew";
    s->Release();
    DisplayDown();
}

// GetPixel widens a pixel by repeating its bits, and SetPixel of that colour gives back the
// same pixel, for every 16-bit value (in 5-5-5 the top bit is no colour's and comes back 0).
// SetPixel answers the colour it really set.
TEST(PlatformGdi, GetPixelThenSetPixelGivesBackEveryPixel) {
    for (auto [format, colourBits] : {std::pair{plat::kFormat565, 0xFFFF}, {plat::kFormat555, 0x7FFF}}) {
        DisplayUp(format);
        IDirectDrawSurface* s = MakeSurface(256, 256);
        ASSERT_NE(s, nullptr);
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        for (int y = 0; y < 256; ++y) {
            auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch);
            for (int x = 0; x < 256; ++x) row[x] = static_cast<uint16_t>(y * 256 + x);
        }
        ASSERT_EQ(s->Unlock(nullptr), DD_OK);
        HDC dc = nullptr;
        ASSERT_EQ(s->GetDC(&dc), DD_OK);
        int mismatches = 0;
        for (int v = 0; v < 65536; ++v) {
            COLORREF c = GetPixel(dc, v % 256, v / 256);
            mismatches += (c & 0xFF000000u) != 0 || SetPixel(dc, v % 256, v / 256, c) != c;
        }
        if (format.green == 0x07E0) {
            EXPECT_EQ(GetPixel(dc, 0x1F, 0xF8), RGB(255, 0, 255));       // pixel 0xF81F
            EXPECT_EQ(GetPixel(dc, 0x7F, 0x11), RGB(0x10, 0x2C, 0xFF));  // pixel 0x117F
            EXPECT_EQ(SetPixel(dc, 0, 0, RGB(0x17, 0x2F, 0xFE)), RGB(0x10, 0x2C, 0xFF));
            EXPECT_EQ(SetPixel(dc, 0, 0, RGB(7, 3, 7)), RGB(0, 0, 0));
            EXPECT_EQ(SetPixel(dc, 0, 0, RGB(8, 4, 8)), RGB(8, 4, 8));
            EXPECT_EQ(SetPixel(dc, 0, 0, 0), RGB(0, 0, 0));
        }
        ASSERT_EQ(s->ReleaseDC(dc), DD_OK);
        for (int v = 0; v < 65536; ++v) mismatches += SurfacePixel(s, v % 256, v / 256) != (v & colourBits);
        EXPECT_EQ(mismatches, 0);
        s->Release();
    }
    DisplayDown();
    Backend().format = plat::kFormat565;
}

}  // namespace
