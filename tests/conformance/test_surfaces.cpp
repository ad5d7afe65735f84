// DirectDraw surfaces as the game uses them: the flip chain, colour fills, fast blits with and
// without a colour key, the rectangles DirectDraw refuses, locks and the pixel format.
#include "conformance.h"

#include <cstring>

namespace conformance {
namespace {

class Surfaces : public DisplayTest {};

DDSURFACEDESC Desc() {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    return desc;
}

// A picture whose every pixel differs from its neighbours and from the values tests fill with.
Pixels Pattern(int width, int height) {
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels.values.push_back(static_cast<uint16_t>(0x1000 + y * 0x100 + x * 3 + 1));
        }
    }
    return pixels;
}

TEST_F(Surfaces, TheGamesFlipChain) {
    EXPECT_HR(createResult, DD_OK);
    EXPECT_HR(levelResult, DD_OK);
    EXPECT_HR(modeResult, DD_OK);
    EXPECT_HR(primaryResult, DD_OK);
    EXPECT_HR(attachedResult, DD_OK);

    const DWORD chain = DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    DDSURFACEDESC desc = Desc();
    ASSERT_HR(primary->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwWidth, 640u);
    EXPECT_EQ(desc.dwHeight, 480u);
    EXPECT_EQ(desc.ddsCaps.dwCaps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | chain),
              DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | chain);
    desc = Desc();
    ASSERT_HR(back->GetSurfaceDesc(&desc), DD_OK);
    EXPECT_EQ(desc.dwWidth, 640u);
    EXPECT_EQ(desc.dwHeight, 480u);
    EXPECT_EQ(desc.ddsCaps.dwCaps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_BACKBUFFER | chain),
              DDSCAPS_BACKBUFFER | chain);

    // The chain has one back buffer; a plain surface has none and does not flip.
    DDSCAPS caps;
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    LPDIRECTDRAWSURFACE found = nullptr;
    EXPECT_HR(back->GetAttachedSurface(&caps, &found), DDERR_NOTFOUND);
    EXPECT_EQ(found, nullptr);
    Released<IDirectDrawSurface> plain(MakeSurface(8, 8));
    ASSERT_NE(plain.Get(), nullptr);
    EXPECT_HR(plain->GetAttachedSurface(&caps, &found), DDERR_NOTFOUND);
    EXPECT_HR(plain->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
}

TEST_F(Surfaces, AFlipExchangesFrontAndBack) {
    ASSERT_HR(Fill(primary, 0xF800), DD_OK);
    ASSERT_HR(Fill(back, 0x001F), DD_OK);
    SetPixelValue(back, 17, 5, 0x07E0);
    HRESULT hr;
    while ((hr = primary->Flip(nullptr, 0)) == DDERR_WASSTILLDRAWING) {}
    EXPECT_HR(hr, DD_OK);
    // The back buffer drawn is shown, and the picture shown before is now behind.
    EXPECT_EQ(Pixel(primary, 0, 0), 0x001F);
    EXPECT_EQ(Pixel(primary, 17, 5), 0x07E0);
    EXPECT_EQ(Pixel(primary, 639, 479), 0x001F);
    EXPECT_EQ(Pixel(back, 0, 0), 0xF800);
    EXPECT_EQ(Pixel(back, 17, 5), 0xF800);
    while ((hr = primary->Flip(nullptr, 0)) == DDERR_WASSTILLDRAWING) {}
    EXPECT_HR(hr, DD_OK);
    EXPECT_EQ(Pixel(primary, 0, 0), 0xF800);
    EXPECT_EQ(Pixel(back, 17, 5), 0x07E0);
}

TEST_F(Surfaces, BltFillsAColourIntoARectangle) {
    Released<IDirectDrawSurface> surface(MakeSurface(16, 8));
    ASSERT_NE(surface.Get(), nullptr);
    EXPECT_HR(Fill(surface.Get(), 0x1234), DD_OK);
    RECT rect{2, 1, 5, 3};
    EXPECT_HR(Fill(surface.Get(), 0xABCD, &rect), DD_OK);
    Pixels pixels = Read(surface.Get());
    ASSERT_EQ(pixels.width, 16);
    ASSERT_EQ(pixels.height, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            // The right and bottom edges are outside the rectangle.
            bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
            EXPECT_EQ(pixels.At(x, y), inside ? 0xABCD : 0x1234) << x << "," << y;
        }
    }
}

TEST_F(Surfaces, BltFastCopiesTheSourceRectangle) {
    Released<IDirectDrawSurface> from(MakeSurface(8, 8));
    Released<IDirectDrawSurface> to(MakeSurface(16, 16));
    ASSERT_NE(from.Get(), nullptr);
    ASSERT_NE(to.Get(), nullptr);
    const Pixels source = Pattern(8, 8);
    Write(from.Get(), source);
    ASSERT_HR(Fill(to.Get(), 0), DD_OK);

    // Columns 1 to 3 and rows 2 to 4: right and bottom are exclusive.
    RECT rect{1, 2, 4, 5};
    EXPECT_HR(BltFast(to.Get(), 3, 4, from.Get(), &rect, DDBLTFAST_NOCOLORKEY), DD_OK);
    // Without a rectangle, the whole source.
    EXPECT_HR(BltFast(to.Get(), 8, 8, from.Get(), nullptr, DDBLTFAST_NOCOLORKEY), DD_OK);
    Pixels pixels = Read(to.Get());
    ASSERT_EQ(pixels.width, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            uint16_t expected = 0;
            if (x >= 3 && x < 6 && y >= 4 && y < 7) expected = source.At(x - 3 + 1, y - 4 + 2);
            if (x >= 8 && y >= 8) expected = source.At(x - 8, y - 8);
            EXPECT_EQ(pixels.At(x, y), expected) << x << "," << y;
        }
    }
}

TEST_F(Surfaces, BltFastLeavesTheColourKeyOut) {
    const uint16_t key = 0xF81F;
    Released<IDirectDrawSurface> from(MakeSurface(4, 2));
    Released<IDirectDrawSurface> to(MakeSurface(4, 2));
    ASSERT_NE(from.Get(), nullptr);
    ASSERT_NE(to.Get(), nullptr);
    Pixels source;
    source.width = 4;
    source.height = 2;
    source.values = {key, 0x0001, key, 0x0002, 0x0003, key, 0x0004, key};
    Write(from.Get(), source);
    DDCOLORKEY colourKey{key, key};
    EXPECT_HR(from->SetColorKey(DDCKEY_SRCBLT, &colourKey), DD_OK);

    ASSERT_HR(Fill(to.Get(), 0x07E0), DD_OK);
    EXPECT_HR(BltFast(to.Get(), 0, 0, from.Get(), nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    Pixels keyed = Read(to.Get());
    ASSERT_EQ(keyed.width, 4);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(keyed.values[i], source.values[i] == key ? 0x07E0 : source.values[i]) << i;
    }

    // Without the flag the key is copied like any colour.
    ASSERT_HR(Fill(to.Get(), 0x07E0), DD_OK);
    EXPECT_HR(BltFast(to.Get(), 0, 0, from.Get(), nullptr, DDBLTFAST_NOCOLORKEY), DD_OK);
    EXPECT_EQ(Read(to.Get()).values, source.values);
}

// Each refused rectangle leaves the destination as it was.
TEST_F(Surfaces, RectanglesOutsideOrInsideOutAreRefused) {
    Released<IDirectDrawSurface> from(MakeSurface(8, 8));
    Released<IDirectDrawSurface> to(MakeSurface(16, 16));
    ASSERT_NE(from.Get(), nullptr);
    ASSERT_NE(to.Get(), nullptr);
    Write(from.Get(), Pattern(8, 8));

    struct Case {
        const char* what;
        DWORD x;
        DWORD y;
        RECT rect;
        HRESULT expected;
    };
    const Case kBltFast[] = {
        {"the whole source, to the far corner", 8, 8, {0, 0, 8, 8}, DD_OK},
        {"source right edge beyond the surface", 0, 0, {0, 0, 9, 8}, DDERR_INVALIDRECT},
        {"source bottom edge beyond the surface", 0, 0, {0, 0, 8, 9}, DDERR_INVALIDRECT},
        {"source left of the surface", 0, 0, {-1, 0, 4, 4}, DDERR_INVALIDRECT},
        {"source above the surface", 0, 0, {0, -1, 4, 4}, DDERR_INVALIDRECT},
        {"source inside out", 0, 0, {4, 0, 2, 4}, DDERR_INVALIDRECT},
        {"source upside down", 0, 0, {0, 4, 4, 2}, DDERR_INVALIDRECT},
        {"source empty", 0, 0, {2, 2, 2, 4}, DDERR_INVALIDRECT},
        {"destination one column too far right", 9, 0, {0, 0, 8, 8}, DDERR_INVALIDRECT},
        {"destination one row too far down", 0, 9, {0, 0, 8, 8}, DDERR_INVALIDRECT},
        // A car half off the left edge: the game's negative x, seen as a DWORD.
        {"destination left of the surface",
         static_cast<DWORD>(-3),
         0,
         {0, 0, 8, 8},
         DDERR_INVALIDRECT},
        {"destination above the surface",
         0,
         static_cast<DWORD>(-3),
         {0, 0, 8, 8},
         DDERR_INVALIDRECT},
    };
    for (const Case& c : kBltFast) {
        ASSERT_HR(Fill(to.Get(), 0x5A5A), DD_OK);
        RECT rect = c.rect;
        EXPECT_HR(BltFast(to.Get(), c.x, c.y, from.Get(), &rect, DDBLTFAST_NOCOLORKEY), c.expected)
            << "BltFast: " << c.what;
        if (c.expected != DD_OK) {
            Pixels pixels = Read(to.Get());
            EXPECT_EQ(pixels.values, std::vector<uint16_t>(256, 0x5A5A)) << c.what;
        }
    }

    struct FillCase {
        const char* what;
        RECT rect;
        HRESULT expected;
    };
    const FillCase kFills[] = {
        {"the whole surface", {0, 0, 16, 16}, DD_OK},
        {"right edge beyond the surface", {0, 0, 17, 16}, DDERR_INVALIDRECT},
        {"bottom edge beyond the surface", {0, 0, 16, 17}, DDERR_INVALIDRECT},
        {"left of the surface", {-1, 0, 4, 4}, DDERR_INVALIDRECT},
        {"inside out", {4, 0, 2, 4}, DDERR_INVALIDRECT},
        {"upside down", {0, 4, 4, 2}, DDERR_INVALIDRECT},
    };
    for (const FillCase& c : kFills) {
        ASSERT_HR(Fill(to.Get(), 0x5A5A), DD_OK);
        RECT rect = c.rect;
        EXPECT_HR(Fill(to.Get(), 0x1111, &rect), c.expected) << "Blt: " << c.what;
        if (c.expected != DD_OK) {
            EXPECT_EQ(Read(to.Get()).values, std::vector<uint16_t>(256, 0x5A5A)) << c.what;
        }
    }
}

TEST_F(Surfaces, LockGivesThePitchAndEveryPixelsAddress) {
    DDSURFACEDESC desc = Desc();
    ASSERT_HR(back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_NE(desc.lpSurface, nullptr);
    EXPECT_EQ(desc.dwFlags & (DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT),
              static_cast<DWORD>(DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT));
    EXPECT_EQ(desc.dwWidth, 640u);
    EXPECT_EQ(desc.dwHeight, 480u);
    EXPECT_GE(desc.lPitch, 1280);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);
    const LONG pitch = desc.lPitch;
    // Pixel (x, y) is at the address plus y times the pitch plus twice x.
    auto* base = static_cast<uint8_t*>(desc.lpSurface);
    const uint16_t marks[] = {0xBEEF, 0x1357, 0x2468};
    const int places[][2] = {{123, 45}, {639, 0}, {0, 479}};
    for (int i = 0; i < 3; ++i) {
        std::memcpy(base + places[i][1] * pitch + places[i][0] * 2, &marks[i], 2);
    }
    // A second lock of a locked surface is refused; so is an unlock of one not locked.
    DDSURFACEDESC again = Desc();
    EXPECT_HR(back->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_HR(back->Unlock(nullptr), DD_OK);
    EXPECT_HR(back->Unlock(nullptr), DDERR_NOTLOCKED);

    // Locking a rectangle gives the address of its top left pixel.
    for (int i = 0; i < 3; ++i) {
        RECT rect{places[i][0], places[i][1], places[i][0] + 1, places[i][1] + 1};
        desc = Desc();
        ASSERT_HR(back->Lock(&rect, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        EXPECT_EQ(desc.lPitch, pitch);
        uint16_t value;
        std::memcpy(&value, desc.lpSurface, 2);
        EXPECT_EQ(value, marks[i]);
        EXPECT_HR(back->Unlock(nullptr), DD_OK);
    }

    // An offscreen surface of 16 pixels a row has rows of at least 32 bytes.
    Released<IDirectDrawSurface> plain(MakeSurface(16, 8));
    ASSERT_NE(plain.Get(), nullptr);
    desc = Desc();
    ASSERT_HR(plain->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_GE(desc.lPitch, 32);
    EXPECT_EQ(desc.dwWidth, 16u);
    EXPECT_EQ(desc.dwHeight, 8u);
    EXPECT_HR(plain->Unlock(nullptr), DD_OK);
}

// Microsoft documents Lock's refusals as DDERR_INVALIDPARAMS; DDERR_INVALIDRECT is not among
// them. An empty rectangle inside the surface is a rectangle like any other.
TEST_F(Surfaces, LockRefusesRectanglesOutsideTheSurface) {
    Released<IDirectDrawSurface> plain(MakeSurface(16, 8));
    ASSERT_NE(plain.Get(), nullptr);
    struct Case {
        const char* what;
        RECT rect;
        HRESULT expected;
    };
    const Case kCases[] = {
        {"the whole surface", {0, 0, 16, 8}, DD_OK},
        {"one pixel", {15, 7, 16, 8}, DD_OK},
        {"an empty rectangle", {4, 4, 4, 6}, DD_OK},
        {"right edge beyond the surface", {0, 0, 17, 8}, DDERR_INVALIDPARAMS},
        {"bottom edge beyond the surface", {0, 0, 16, 9}, DDERR_INVALIDPARAMS},
        {"left of the surface", {-1, 0, 4, 4}, DDERR_INVALIDPARAMS},
        {"inside out", {4, 0, 2, 4}, DDERR_INVALIDPARAMS},
        {"upside down", {0, 4, 4, 2}, DDERR_INVALIDPARAMS},
    };
    for (const Case& c : kCases) {
        RECT rect = c.rect;
        DDSURFACEDESC desc = Desc();
        HRESULT hr = plain->Lock(&rect, &desc, DDLOCK_WAIT, nullptr);
        EXPECT_HR(hr, c.expected) << c.what;
        if (hr == DD_OK) {
            EXPECT_HR(plain->Unlock(nullptr), DD_OK) << c.what;
        }
    }
}

TEST_F(Surfaces, PixelFormatIsFiveSixFive) {
    Released<IDirectDrawSurface> plain(MakeSurface(8, 8));
    ASSERT_NE(plain.Get(), nullptr);
    for (LPDIRECTDRAWSURFACE surface : {primary, back, plain.Get()}) {
        DDPIXELFORMAT format;
        std::memset(&format, 0, sizeof format);
        format.dwSize = sizeof format;
        ASSERT_HR(surface->GetPixelFormat(&format), DD_OK);
        EXPECT_NE(format.dwFlags & DDPF_RGB, 0u);
        EXPECT_EQ(format.dwRGBBitCount, 16u);
        EXPECT_EQ(format.dwRBitMask, 0xF800u);
        EXPECT_EQ(format.dwGBitMask, 0x07E0u);
        EXPECT_EQ(format.dwBBitMask, 0x001Fu);
    }
}

}  // namespace
}  // namespace conformance
