// The platform's GDI on surface device contexts: GetDC/ReleaseDC, StretchDIBits of bottom-up
// DIBs at 1:1 and single pixels, with colours converted by dropping low bits.
#include "../support/support.h"

#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace testing_support;

namespace {

uint16_t Pack565(int r, int g, int b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

uint16_t Pack555(int r, int g, int b) {
    return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

// A BITMAPINFO with room for 256 colours.
struct DibInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};
static_assert(sizeof(DibInfo) == sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), "no padding");

// A device-independent bitmap: its BITMAPINFO and its rows.
struct Dib {
    DibInfo info;
    BITMAPINFOHEADER& header = info.header;
    std::vector<uint8_t> bits;

    Dib(int width, int height, int depth) {
        std::memset(&info, 0, sizeof info);
        header.biSize = sizeof header;
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = static_cast<WORD>(depth);
        header.biCompression = BI_RGB;
        bits.assign(static_cast<size_t>(Stride()) * static_cast<size_t>(height < 0 ? -height : height), 0);
    }
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;
    int Stride() const { return ((header.biWidth * header.biBitCount + 31) / 32) * 4; }
    // The memory row that holds picture row y (counted from the top).
    uint8_t* Row(int y) {
        int h = header.biHeight;
        int memoryRow = h > 0 ? h - 1 - y : y;
        return bits.data() + static_cast<size_t>(memoryRow) * static_cast<size_t>(Stride());
    }
    const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(&info); }
    void Colour(int i, int r, int g, int b) {
        info.colours[i].rgbRed = static_cast<BYTE>(r);
        info.colours[i].rgbGreen = static_cast<BYTE>(g);
        info.colours[i].rgbBlue = static_cast<BYTE>(b);
    }
};

std::vector<uint16_t> Pixels(IDirectDrawSurface* surface) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    std::vector<uint16_t> out;
    if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) {
        ADD_FAILURE() << "cannot lock the surface";
        return out;
    }
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
        const auto* row = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(desc.lpSurface) +
                                                            y * static_cast<DWORD>(desc.lPitch));
        out.insert(out.end(), row, row + desc.dwWidth);
    }
    EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
    return out;
}

// Draws the DIB at (0, 0) of the surface at 1:1; returns StretchDIBits' answer.
int Draw(IDirectDrawSurface* surface, const Dib& dib, int x = 0, int y = 0) {
    HDC dc = nullptr;
    if (surface->GetDC(&dc) != DD_OK) {
        ADD_FAILURE() << "no device context";
        return -1;
    }
    int w = dib.header.biWidth;
    int h = dib.header.biHeight < 0 ? -dib.header.biHeight : dib.header.biHeight;
    int rows = StretchDIBits(dc, x, y, w, h, 0, 0, w, h, dib.bits.data(), dib.Info(),
                             DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(surface->ReleaseDC(dc), DD_OK);
    return rows;
}

TEST(PlatformGdi, DeviceContextsOfSurfaces) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(4, 4);
    IDirectDrawSurface* other = MakeSurface(4, 4);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(other, nullptr);
    HDC dc = nullptr;
    EXPECT_EQ(s->GetDC(nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->ReleaseDC(nullptr), DDERR_INVALIDPARAMS) << "released a context never given";
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    ASSERT_NE(dc, nullptr);
    HDC again = nullptr;
    EXPECT_EQ(s->GetDC(&again), DDERR_DCALREADYCREATED);

    // While the context is out the surface can be neither locked nor blitted.
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    EXPECT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(other->BltFast(0, 0, s, nullptr, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->BltFast(0, 0, other, nullptr, 0), DDERR_SURFACEBUSY);
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACEBUSY);

    // The context of another surface is not this one's to release.
    HDC otherDc = nullptr;
    ASSERT_EQ(other->GetDC(&otherDc), DD_OK);
    EXPECT_EQ(s->ReleaseDC(otherDc), DDERR_INVALIDPARAMS);
    EXPECT_EQ(other->ReleaseDC(otherDc), DD_OK);

    EXPECT_NE(SetPixel(dc, 1, 1, RGB(255, 255, 255)), CLR_INVALID);
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(s->ReleaseDC(dc), DDERR_INVALIDPARAMS);
    EXPECT_EQ(SurfacePixel(s, 1, 1), 0xFFFF);

    // A context given back draws nothing more.
    EXPECT_EQ(SetPixel(dc, 2, 2, RGB(255, 255, 255)), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, 1, 1), CLR_INVALID);
    Dib dib(1, 1, 24);
    dib.bits[0] = dib.bits[1] = dib.bits[2] = 0xFF;
    EXPECT_EQ(StretchDIBits(dc, 3, 3, 1, 1, 0, 0, 1, 1, dib.bits.data(), dib.Info(),
                            DIB_RGB_COLORS, SRCCOPY),
              0);
    EXPECT_EQ(SurfacePixel(s, 2, 2), 0);
    EXPECT_EQ(SurfacePixel(s, 3, 3), 0);
    EXPECT_EQ(GetPixel(nullptr, 0, 0), CLR_INVALID);

    // And a second one can be had.
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 255, 255));
    // Outside the surface.
    EXPECT_EQ(GetPixel(dc, 4, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, 0, 4), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, -1, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(dc, 0, -1, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(dc, 4, 3, 0), CLR_INVALID);
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    // While locked no context is given.
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    other->Release();
    s->Release();
    DisplayDown();
}

TEST(PlatformGdi, StretchDIBitsOfEachDepth) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(5, 3);
    ASSERT_NE(s, nullptr);

    // Colours for the indexed depths, with low bits that the 16-bit pixel drops.
    const int colours[4][3] = {{0x07, 0x03, 0x07}, {0xFF, 0xFF, 0xFF}, {0x17, 0x2F, 0xFE}, {0x88, 0x44, 0x22}};

    {  // 1 bit: column x of row y is set when (x + y) is odd
        Dib dib(5, 3, 1);
        dib.Colour(0, colours[0][0], colours[0][1], colours[0][2]);
        dib.Colour(1, colours[2][0], colours[2][1], colours[2][2]);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                if ((x + y) % 2 == 1) dib.Row(y)[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
        EXPECT_EQ(Draw(s, dib), 3);
        std::vector<uint16_t> px = Pixels(s);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                const int* c = colours[(x + y) % 2 == 1 ? 2 : 0];
                EXPECT_EQ(px[y * 5 + x], Pack565(c[0], c[1], c[2])) << "1 bit " << x << "," << y;
            }
        }
        EXPECT_EQ(Pack565(0x17, 0x2F, 0xFE), 0x117F);
    }
    {  // 4 bits: pixel x of row y has index (x + 2y) % 4, the left pixel in the high nibble
        Dib dib(5, 3, 4);
        for (int i = 0; i < 4; ++i) dib.Colour(i, colours[i][0], colours[i][1], colours[i][2]);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                int index = (x + 2 * y) % 4;
                dib.Row(y)[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
            }
        }
        EXPECT_EQ(Draw(s, dib), 3);
        std::vector<uint16_t> px = Pixels(s);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                const int* c = colours[(x + 2 * y) % 4];
                EXPECT_EQ(px[y * 5 + x], Pack565(c[0], c[1], c[2])) << "4 bits " << x << "," << y;
            }
        }
    }
    {  // 8 bits: index 40 + 5y + x, colour (index, 255 - index, 3 * index)
        Dib dib(5, 3, 8);
        for (int i = 0; i < 256; ++i) dib.Colour(i, i, 255 - i, (3 * i) & 0xFF);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) dib.Row(y)[x] = static_cast<uint8_t>(40 + 5 * y + x);
        }
        EXPECT_EQ(Draw(s, dib), 3);
        std::vector<uint16_t> px = Pixels(s);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                int i = 40 + 5 * y + x;
                EXPECT_EQ(px[y * 5 + x], Pack565(i, 255 - i, (3 * i) & 0xFF)) << "8 bits " << x << "," << y;
            }
        }
    }
    {  // 24 bits, stored blue, green, red
        Dib dib(5, 3, 24);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                uint8_t* p = dib.Row(y) + 3 * x;
                p[0] = static_cast<uint8_t>(10 * x + 7);    // blue
                p[1] = static_cast<uint8_t>(50 * y + 3);    // green
                p[2] = static_cast<uint8_t>(200 + x + y);   // red
            }
        }
        EXPECT_EQ(Draw(s, dib), 3);
        std::vector<uint16_t> px = Pixels(s);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(px[y * 5 + x], Pack565(200 + x + y, 50 * y + 3, 10 * x + 7))
                    << "24 bits " << x << "," << y;
            }
        }
    }
    {  // A top-down DIB (negative height) is read from its first row.
        Dib dib(5, -3, 8);
        for (int i = 0; i < 256; ++i) dib.Colour(i, i, i, i);
        for (int y = 0; y < 3; ++y) std::memset(dib.Row(y), 100 + 50 * y, 5);
        EXPECT_EQ(dib.bits[0], 100);
        EXPECT_EQ(Draw(s, dib), 3);
        EXPECT_EQ(SurfacePixel(s, 0, 0), Pack565(100, 100, 100));
        EXPECT_EQ(SurfacePixel(s, 4, 2), Pack565(200, 200, 200));
    }
    s->Release();
    DisplayDown();
}

TEST(PlatformGdi, StretchDIBitsIn555) {
    DisplayUp(plat::kFormat555);
    IDirectDrawSurface* s = MakeSurface(2, 1);
    ASSERT_NE(s, nullptr);
    Dib dib(2, 1, 24);
    const uint8_t bgr[6] = {0xFE, 0x2F, 0x17, 0x00, 0x00, 0xFF};
    std::memcpy(dib.bits.data(), bgr, 6);
    EXPECT_EQ(Draw(s, dib), 1);
    EXPECT_EQ(SurfacePixel(s, 0, 0), Pack555(0x17, 0x2F, 0xFE));
    EXPECT_EQ(SurfacePixel(s, 1, 0), 0x7C00);
    s->Release();
    DisplayDown();
    Backend().format = plat::kFormat565;
}

TEST(PlatformGdi, StretchDIBitsClipsToTheSurface) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(4, 4);
    ASSERT_NE(s, nullptr);
    Dib dib(3, 3, 24);
    std::memset(dib.bits.data(), 0xFF, dib.bits.size());
    Draw(s, dib, 2, 2);   // only its top-left 2 x 2 lands
    Draw(s, dib, -2, -2); // only its bottom-right pixel lands
    std::vector<uint16_t> px = Pixels(s);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            bool lit = (x >= 2 && y >= 2) || (x == 0 && y == 0);
            EXPECT_EQ(px[y * 4 + x], lit ? 0xFFFF : 0) << x << "," << y;
        }
    }
    s->Release();
    DisplayDown();
}

TEST(PlatformGdi, StretchDIBitsRefusals) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(4, 4);
    ASSERT_NE(s, nullptr);
    Dib dib(4, 4, 24);
    std::memset(dib.bits.data(), 0xFF, dib.bits.size());
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    const void* bits = dib.bits.data();
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 4, 4, 0, 0, 4, 4, bits, dib.Info(), DIB_RGB_COLORS, 0x00EE0086), 0);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 4, 4, 0, 0, 4, 4, bits, dib.Info(), 1, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 4, 4, 0, 0, 2, 2, bits, dib.Info(), DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 4, 4, 0, 0, 4, 4, nullptr, dib.Info(), DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 4, 4, 0, 0, 4, 4, bits, nullptr, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 0, 0, 0, 0, 0, 0, bits, dib.Info(), DIB_RGB_COLORS, SRCCOPY), 0);
    Dib odd(4, 4, 16);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 4, 4, 0, 0, 4, 4, bits, odd.Info(), DIB_RGB_COLORS, SRCCOPY), 0);
    Dib packed(4, 4, 24);
    packed.header.biCompression = 1;
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 4, 4, 0, 0, 4, 4, bits, packed.Info(), DIB_RGB_COLORS, SRCCOPY), 0);
    Dib planes(4, 4, 24);
    planes.header.biPlanes = 2;
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 4, 4, 0, 0, 4, 4, bits, planes.Info(), DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(StretchDIBits(nullptr, 0, 0, 4, 4, 0, 0, 4, 4, bits, dib.Info(), DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    std::vector<uint16_t> px = Pixels(s);
    for (uint16_t p : px) EXPECT_EQ(p, 0) << "a refused StretchDIBits drew";
    s->Release();
    DisplayDown();
}

// Writes every 16-bit value into a 256 x 256 surface, then reads each back with GetPixel and
// writes that colour with SetPixel: the surface must hold the same pixels again.
void RoundTripAllPixels(const plat::PixelFormat& format, uint16_t colourBits) {
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
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            ASSERT_NE(c, CLR_INVALID);
            ASSERT_EQ(c & 0xFF000000u, 0u);
            COLORREF set = SetPixel(dc, x, y, c);
            if (set != c && ++mismatches < 5) {
                ADD_FAILURE() << "SetPixel of " << std::hex << c << " answered " << set;
            }
        }
    }
    ASSERT_EQ(s->ReleaseDC(dc), DD_OK);

    std::vector<uint16_t> px = Pixels(s);
    ASSERT_EQ(px.size(), 65536u);
    for (int v = 0; v < 65536; ++v) {
        uint16_t want = static_cast<uint16_t>(v & colourBits);
        if (px[static_cast<size_t>(v)] != want && ++mismatches < 10) {
            ADD_FAILURE() << "pixel " << std::hex << v << " came back as " << px[static_cast<size_t>(v)];
        }
    }
    EXPECT_EQ(mismatches, 0);
    s->Release();
    DisplayDown();
    Backend().format = plat::kFormat565;
}

TEST(PlatformGdi, GetPixelThenSetPixelGivesBackEveryPixelIn565) {
    RoundTripAllPixels(plat::kFormat565, 0xFFFF);
}

TEST(PlatformGdi, GetPixelThenSetPixelGivesBackEveryPixelIn555) {
    // The top bit is no colour's: it cannot come back.
    RoundTripAllPixels(plat::kFormat555, 0x7FFF);
}

TEST(PlatformGdi, PixelColoursWidenByRepeatingTheirBits) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(2, 1);
    ASSERT_NE(s, nullptr);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    // SetPixel answers the colour it really set.
    EXPECT_EQ(SetPixel(dc, 0, 0, RGB(0x17, 0x2F, 0xFE)), RGB(0x10, 0x2C, 0xFF));
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0x10, 0x2C, 0xFF));
    EXPECT_EQ(SetPixel(dc, 1, 0, RGB(255, 0, 255)), RGB(255, 0, 255));
    EXPECT_EQ(SetPixel(dc, 1, 0, RGB(8, 4, 8)), RGB(8, 4, 8));
    EXPECT_EQ(SetPixel(dc, 1, 0, RGB(7, 3, 7)), RGB(0, 0, 0));
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(SurfacePixel(s, 0, 0), 0x117F);
    s->Release();
    DisplayDown();
}

}  // namespace
