// DirectDraw surfaces as the game uses them: the flip chain, colour fills, fast blits with and
// without a colour key, the rectangles DirectDraw refuses, locks and the pixel format.
#include "conformance.h"

namespace conformance {
namespace {

class Surfaces : public DisplayTest {};

using Size = std::pair<DWORD, DWORD>;

// A picture whose every pixel differs from its neighbours and from the values tests fill with.
Pixels Pattern(int width, int height) {
    Pixels pixels{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.values.push_back(static_cast<uint16_t>(0x1000 + y * 0x100 + x * 3 + 1));
    return pixels;
}

// A rectangle given to a call, the answer expected, and where a BltFast puts it.
struct RectCase {
    const char* what;
    RECT rect;
    HRESULT expected;
    DWORD x = 0, y = 0;
};

HRESULT Flip(LPDIRECTDRAWSURFACE surface) {
    return Retried([&] { return surface->Flip(nullptr, 0); });
}

TEST_F(Surfaces, TheGamesFlipChain) {
    // DirectDrawCreate, SetCooperativeLevel, SetDisplayMode, CreateSurface, GetAttachedSurface.
    EXPECT_EQ((std::vector<Hr>{
                  {createResult}, {levelResult}, {modeResult}, {primaryResult}, {attachedResult}}),
              std::vector<Hr>(5, Hr{DD_OK}));

    // The front buffer is the primary surface, the back buffer is not.
    const DWORD chain = DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    const DWORD front = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | chain;
    for (LPDIRECTDRAWSURFACE surface : {primary, back}) {
        auto desc = Sized<DDSURFACEDESC>();
        ASSERT_HR(surface->GetSurfaceDesc(&desc), DD_OK);
        EXPECT_EQ(Size(desc.dwWidth, desc.dwHeight), Size(640, 480));
        const DWORD mask =
            surface == primary ? front : DDSCAPS_PRIMARYSURFACE | DDSCAPS_BACKBUFFER | chain;
        EXPECT_EQ(desc.ddsCaps.dwCaps & mask,
                  surface == primary ? front : DDSCAPS_BACKBUFFER | chain);
    }

    // The chain has one back buffer; a plain surface has none and does not flip.
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    LPDIRECTDRAWSURFACE found = nullptr;
    EXPECT_HR(back->GetAttachedSurface(&caps, &found), DDERR_NOTFOUND);
    EXPECT_EQ(found, nullptr);
    Released<IDirectDrawSurface> plain(MakeSurface(8, 8));
    ASSERT_NE(plain.get(), nullptr);
    EXPECT_HR(plain->GetAttachedSurface(&caps, &found), DDERR_NOTFOUND);
    EXPECT_HR(plain->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
}

TEST_F(Surfaces, AFlipExchangesFrontAndBack) {
    ASSERT_HR(Fill(primary, 0xF800), DD_OK);
    ASSERT_HR(Fill(back, 0x001F), DD_OK);
    SetPixelValue(back, 17, 5, 0x07E0);
    EXPECT_HR(Flip(primary), DD_OK);
    // The back buffer drawn is shown, and the picture shown before is now behind: the front's
    // (0, 0), (17, 5) and (639, 479), then the back's (0, 0) and (17, 5).
    EXPECT_EQ((std::vector{Pixel(primary, 0, 0), Pixel(primary, 17, 5), Pixel(primary, 639, 479),
                           Pixel(back, 0, 0), Pixel(back, 17, 5)}),
              (std::vector<uint16_t>{0x001F, 0x07E0, 0x001F, 0xF800, 0xF800}));
    EXPECT_HR(Flip(primary), DD_OK);
    EXPECT_EQ(Pixel(primary, 0, 0), 0xF800);
    EXPECT_EQ(Pixel(back, 17, 5), 0x07E0);
}

TEST_F(Surfaces, BltFillsAColourIntoARectangle) {
    Released<IDirectDrawSurface> surface(MakeSurface(16, 8));
    ASSERT_NE(surface.get(), nullptr);
    EXPECT_HR(Fill(surface.get(), 0x1234), DD_OK);
    RECT rect{2, 1, 5, 3};
    EXPECT_HR(Fill(surface.get(), 0xABCD, &rect), DD_OK);
    ExpectPixels(surface.get(), 16, 8,
                 [&](int x, int y) { return Inside(rect, x, y) ? 0xABCD : 0x1234; });
}

TEST_F(Surfaces, BltFastCopiesTheSourceRectangle) {
    Released<IDirectDrawSurface> from(MakeSurface(8, 8)), to(MakeSurface(16, 16));
    ASSERT_TRUE(from && to);
    const Pixels source = Pattern(8, 8);
    Write(from.get(), source);
    ASSERT_HR(Fill(to.get(), 0), DD_OK);

    // Columns 1 to 3 and rows 2 to 4: right and bottom are exclusive.
    RECT rect{1, 2, 4, 5};
    EXPECT_HR(BltFast(to.get(), 3, 4, from.get(), &rect, DDBLTFAST_NOCOLORKEY), DD_OK);
    // Without a rectangle, the whole source.
    EXPECT_HR(BltFast(to.get(), 8, 8, from.get(), nullptr, DDBLTFAST_NOCOLORKEY), DD_OK);
    ExpectPixels(to.get(), 16, 16, [&](int x, int y) {
        if (x >= 8 && y >= 8) return source.At(x - 8, y - 8);
        return Inside({3, 4, 6, 7}, x, y) ? source.At(x - 3 + 1, y - 4 + 2) : uint16_t{0};
    });
}

TEST_F(Surfaces, BltFastLeavesTheColourKeyOut) {
    const uint16_t key = 0xF81F;
    Released<IDirectDrawSurface> from(MakeSurface(4, 2)), to(MakeSurface(4, 2));
    ASSERT_TRUE(from && to);
    const Pixels source{4, 2, {key, 0x0001, key, 0x0002, 0x0003, key, 0x0004, key}};
    Write(from.get(), source);
    DDCOLORKEY colourKey{key, key};
    EXPECT_HR(from->SetColorKey(DDCKEY_SRCBLT, &colourKey), DD_OK);

    ASSERT_HR(Fill(to.get(), 0x07E0), DD_OK);
    EXPECT_HR(BltFast(to.get(), 0, 0, from.get(), nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    ExpectPixels(to.get(), 4, 2,
                 [&](int x, int y) { return source.At(x, y) == key ? 0x07E0 : source.At(x, y); });

    // Without the flag the key is copied like any colour.
    ASSERT_HR(Fill(to.get(), 0x07E0), DD_OK);
    EXPECT_HR(BltFast(to.get(), 0, 0, from.get(), nullptr, DDBLTFAST_NOCOLORKEY), DD_OK);
    EXPECT_EQ(Read(to.get()).values, source.values);
}

// Each refused rectangle leaves the destination as it was.
TEST_F(Surfaces, RectanglesOutsideOrInsideOutAreRefused) {
    Released<IDirectDrawSurface> from(MakeSurface(8, 8)), to(MakeSurface(16, 16));
    ASSERT_TRUE(from && to);
    Write(from.get(), Pattern(8, 8));

    // A car half off the left edge: the game's negative x, seen as a DWORD.
    const DWORD off = static_cast<DWORD>(-3);
    const DWORD kFill = 0xFFFF;  // as x: a colour fill (Blt) of the rectangle, not a BltFast
    const RectCase kCases[] = {
        {"the whole source, to the far corner", {0, 0, 8, 8}, DD_OK, 8, 8},
        {"source right edge beyond the surface", {0, 0, 9, 8}, DDERR_INVALIDRECT},
        {"source bottom edge beyond the surface", {0, 0, 8, 9}, DDERR_INVALIDRECT},
        {"source left of the surface", {-1, 0, 4, 4}, DDERR_INVALIDRECT},
        {"source above the surface", {0, -1, 4, 4}, DDERR_INVALIDRECT},
        {"source inside out", {4, 0, 2, 4}, DDERR_INVALIDRECT},
        {"source upside down", {0, 4, 4, 2}, DDERR_INVALIDRECT},
        {"source empty", {2, 2, 2, 4}, DDERR_INVALIDRECT},
        {"destination one column too far right", {0, 0, 8, 8}, DDERR_INVALIDRECT, 9, 0},
        {"destination one row too far down", {0, 0, 8, 8}, DDERR_INVALIDRECT, 0, 9},
        {"destination left of the surface", {0, 0, 8, 8}, DDERR_INVALIDRECT, off, 0},
        {"destination above the surface", {0, 0, 8, 8}, DDERR_INVALIDRECT, 0, off},
        {"the whole surface", {0, 0, 16, 16}, DD_OK, kFill},
        {"right edge beyond the surface", {0, 0, 17, 16}, DDERR_INVALIDRECT, kFill},
        {"bottom edge beyond the surface", {0, 0, 16, 17}, DDERR_INVALIDRECT, kFill},
        {"left of the surface", {-1, 0, 4, 4}, DDERR_INVALIDRECT, kFill},
        {"inside out", {4, 0, 2, 4}, DDERR_INVALIDRECT, kFill},
        {"upside down", {0, 4, 4, 2}, DDERR_INVALIDRECT, kFill},
    };
    for (const auto& c : kCases) {
        ASSERT_HR(Fill(to.get(), 0x5A5A), DD_OK);
        RECT rect = c.rect;
        const bool fill = c.x == kFill;
        EXPECT_HR(fill ? Fill(to.get(), 0x1111, &rect)
                       : BltFast(to.get(), c.x, c.y, from.get(), &rect, DDBLTFAST_NOCOLORKEY),
                  c.expected)
            << (fill ? "Blt: " : "BltFast: ") << c.what;
        if (c.expected != DD_OK) {
            EXPECT_EQ(Read(to.get()).values, std::vector<uint16_t>(256, 0x5A5A)) << c.what;
        }
    }
}

TEST_F(Surfaces, LockGivesThePitchAndEveryPixelsAddress) {
    auto desc = Sized<DDSURFACEDESC>();
    ASSERT_HR(back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_NE(desc.lpSurface, nullptr);
    const DWORD kFields = DDSD_PITCH | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    // The fields given, the width, the height and the bits a pixel.
    EXPECT_EQ(std::tuple(desc.dwFlags & kFields, desc.dwWidth, desc.dwHeight,
                         desc.ddpfPixelFormat.dwRGBBitCount),
              (std::tuple<DWORD, DWORD, DWORD, DWORD>(kFields, 640, 480, 16)));
    EXPECT_GE(desc.lPitch, 1280);
    const LONG pitch = desc.lPitch;
    // Pixel (x, y) is at the address plus y times the pitch plus twice x.
    const struct {
        int x, y;
        uint16_t mark;
    } kMarks[] = {{123, 45, 0xBEEF}, {639, 0, 0x1357}, {0, 479, 0x2468}};
    auto* base = static_cast<uint8_t*>(desc.lpSurface);
    for (const auto& m : kMarks)
        *reinterpret_cast<uint16_t*>(base + m.y * pitch + m.x * 2) = m.mark;
    // A second lock of a locked surface is refused; so is an unlock of one not locked.
    auto again = Sized<DDSURFACEDESC>();
    EXPECT_HR(back->Lock(nullptr, &again, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_HR(back->Unlock(nullptr), DD_OK);
    EXPECT_HR(back->Unlock(nullptr), DDERR_NOTLOCKED);

    // Locking a rectangle gives the address of its top left pixel.
    for (const auto& m : kMarks) {
        RECT rect{m.x, m.y, m.x + 1, m.y + 1};
        desc = Sized<DDSURFACEDESC>();
        ASSERT_HR(back->Lock(&rect, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        // The pitch, and the value at the address given.
        EXPECT_EQ(std::pair(desc.lPitch, *static_cast<uint16_t*>(desc.lpSurface)),
                  std::pair(pitch, m.mark));
        EXPECT_HR(back->Unlock(nullptr), DD_OK);
    }

    // An offscreen surface of 16 pixels a row has rows of at least 32 bytes.
    Released<IDirectDrawSurface> plain(MakeSurface(16, 8));
    ASSERT_NE(plain.get(), nullptr);
    desc = Sized<DDSURFACEDESC>();
    ASSERT_HR(plain->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_GE(desc.lPitch, 32);
    EXPECT_EQ(Size(desc.dwWidth, desc.dwHeight), Size(16, 8));
    EXPECT_HR(plain->Unlock(nullptr), DD_OK);
}

// Microsoft documents Lock's refusals as DDERR_INVALIDPARAMS; DDERR_INVALIDRECT is not among
// them. An empty rectangle inside the surface is a rectangle like any other.
TEST_F(Surfaces, LockRefusesRectanglesOutsideTheSurface) {
    Released<IDirectDrawSurface> plain(MakeSurface(16, 8));
    ASSERT_NE(plain.get(), nullptr);
    const RectCase kCases[] = {
        {"the whole surface", {0, 0, 16, 8}, DD_OK},
        {"one pixel", {15, 7, 16, 8}, DD_OK},
        {"an empty rectangle", {4, 4, 4, 6}, DD_OK},
        {"right edge beyond the surface", {0, 0, 17, 8}, DDERR_INVALIDPARAMS},
        {"bottom edge beyond the surface", {0, 0, 16, 9}, DDERR_INVALIDPARAMS},
        {"left of the surface", {-1, 0, 4, 4}, DDERR_INVALIDPARAMS},
        {"inside out", {4, 0, 2, 4}, DDERR_INVALIDPARAMS},
        {"upside down", {0, 4, 4, 2}, DDERR_INVALIDPARAMS},
    };
    for (const auto& c : kCases) {
        RECT rect = c.rect;
        auto desc = Sized<DDSURFACEDESC>();
        HRESULT hr = plain->Lock(&rect, &desc, DDLOCK_WAIT, nullptr);
        EXPECT_HR(hr, c.expected) << c.what;
        if (hr == DD_OK) {
            EXPECT_HR(plain->Unlock(nullptr), DD_OK) << c.what;
        }
    }
}

TEST_F(Surfaces, PixelFormatIsFiveSixFive) {
    Released<IDirectDrawSurface> plain(MakeSurface(8, 8));
    ASSERT_NE(plain.get(), nullptr);
    for (LPDIRECTDRAWSURFACE surface : {primary, back, plain.get()}) {
        auto format = Sized<DDPIXELFORMAT>();
        ASSERT_HR(surface->GetPixelFormat(&format), DD_OK);
        EXPECT_NE(format.dwFlags & DDPF_RGB, 0u);
        // Bits a pixel, then the red, green and blue masks.
        EXPECT_EQ(std::tuple(format.dwRGBBitCount, format.dwRBitMask, format.dwGBitMask,
                             format.dwBBitMask),
                  (std::tuple<DWORD, DWORD, DWORD, DWORD>(16, 0xF800, 0x07E0, 0x001F)));
    }
}

}  // namespace
}  // namespace conformance
