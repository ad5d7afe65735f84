// The platform's DirectDraw: rectangle checks, blits with and without a colour key, colour
// fills, locks, the flip chain, pixel formats, surface creation and the cooperative level.
#include "../support/support.h"

#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace testing_support;

namespace {

// Reads every pixel of a surface (locks and unlocks it).
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

// Writes one pixel through a lock.
void SetSurfacePixel(IDirectDrawSurface* surface, int x, int y, uint16_t value) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + 2 * x, &value, 2);
    ASSERT_EQ(surface->Unlock(nullptr), DD_OK);
}

bool AllEqual(const std::vector<uint16_t>& pixels, uint16_t value) {
    for (uint16_t p : pixels) {
        if (p != value) return false;
    }
    return !pixels.empty();
}

DDSURFACEDESC OffscreenDesc(DWORD width, DWORD height) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    return desc;
}

DDSURFACEDESC FlipChainDesc() {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    return desc;
}

constexpr DWORD kGameLevel = DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX;

// Surfaces of a blit test: an 8 x 8 source filled with 0x1111 and a 16 x 16 target filled
// with 0x2222.
struct BlitPair {
    IDirectDrawSurface* src = nullptr;
    IDirectDrawSurface* dst = nullptr;
    BlitPair() {
        DisplayUp();
        src = MakeSurface(8, 8);
        dst = MakeSurface(16, 16);
        if (src != nullptr) FillSurface(src, 0x1111);
        if (dst != nullptr) FillSurface(dst, 0x2222);
    }
    ~BlitPair() {
        if (src != nullptr) src->Release();
        if (dst != nullptr) dst->Release();
        DisplayDown();
    }
    bool Ready() const { return src != nullptr && dst != nullptr; }
};

TEST(PlatformDirectDraw, BltFastRefusesSourceRectanglesOutsideTheSource) {
    BlitPair s;
    ASSERT_TRUE(s.Ready());
    RECT bad[] = {
        {0, 0, 9, 8},    // one column too wide
        {0, 0, 8, 9},    // one row too high
        {-1, 0, 4, 4},   // left of the surface
        {0, -1, 4, 4},   // above the surface
        {8, 0, 9, 1},    // wholly right of it
        {2, 2, 2, 5},    // empty: no columns
        {2, 2, 5, 2},    // empty: no rows
        {5, 2, 2, 5},    // inverted horizontally
        {2, 5, 5, 2},    // inverted vertically
    };
    for (RECT& r : bad) {
        EXPECT_EQ(s.dst->BltFast(0, 0, s.src, &r, DDBLTFAST_NOCOLORKEY), DDERR_INVALIDRECT)
            << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        EXPECT_EQ(s.dst->BltFast(0, 0, s.src, &r, DDBLTFAST_SRCCOLORKEY), DDERR_INVALIDRECT);
    }
    EXPECT_TRUE(AllEqual(Pixels(s.dst), 0x2222)) << "a refused blit drew";
}

TEST(PlatformDirectDraw, BltFastRefusesADestinationThatDoesNotFit) {
    BlitPair s;
    ASSERT_TRUE(s.Ready());
    RECT whole{0, 0, 8, 8};
    EXPECT_EQ(s.dst->BltFast(9, 0, s.src, &whole, 0), DDERR_INVALIDRECT);    // right edge
    EXPECT_EQ(s.dst->BltFast(0, 9, s.src, &whole, 0), DDERR_INVALIDRECT);    // bottom edge
    EXPECT_EQ(s.dst->BltFast(9, 9, s.src, nullptr, 0), DDERR_INVALIDRECT);   // both
    // Negative positions arrive as large unsigned values: left and top edges.
    EXPECT_EQ(s.dst->BltFast(static_cast<DWORD>(-1), 0, s.src, &whole, 0), DDERR_INVALIDRECT);
    EXPECT_EQ(s.dst->BltFast(0, static_cast<DWORD>(-8), s.src, &whole, 0), DDERR_INVALIDRECT);
    EXPECT_EQ(s.dst->BltFast(0xFFFFFFF8u, 0xFFFFFFF8u, s.src, &whole, 0), DDERR_INVALIDRECT);
    EXPECT_EQ(s.dst->BltFast(0x7FFFFFFFu, 0, s.src, &whole, 0), DDERR_INVALIDRECT);
    EXPECT_TRUE(AllEqual(Pixels(s.dst), 0x2222)) << "a refused blit drew";

    // Exactly fitting at the bottom-right corner is fine.
    EXPECT_EQ(s.dst->BltFast(8, 8, s.src, &whole, 0), DD_OK);
    std::vector<uint16_t> px = Pixels(s.dst);
    ASSERT_EQ(px.size(), 256u);
    EXPECT_EQ(px[15 * 16 + 15], 0x1111);
    EXPECT_EQ(px[8 * 16 + 8], 0x1111);
    EXPECT_EQ(px[7 * 16 + 7], 0x2222);
    EXPECT_EQ(px[8 * 16 + 7], 0x2222);
}

TEST(PlatformDirectDraw, BltFastCopiesTheSourceRectangleToThePosition) {
    BlitPair s;
    ASSERT_TRUE(s.Ready());
    SetSurfacePixel(s.src, 2, 3, 0xABCD);
    SetSurfacePixel(s.src, 4, 4, 0x0F0F);
    RECT r{2, 3, 5, 5};  // 3 x 2, right and bottom exclusive
    EXPECT_EQ(s.dst->BltFast(10, 1, s.src, &r, DDBLTFAST_NOCOLORKEY), DD_OK);
    std::vector<uint16_t> px = Pixels(s.dst);
    ASSERT_EQ(px.size(), 256u);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            uint16_t want = 0x2222;
            if (x >= 10 && x < 13 && y >= 1 && y < 3) want = 0x1111;
            if (x == 10 && y == 1) want = 0xABCD;
            if (x == 12 && y == 2) want = 0x0F0F;
            EXPECT_EQ(px[y * 16 + x], want) << x << "," << y;
        }
    }
    // The DDBLTFAST_WAIT flag is accepted; unknown flags are not.
    EXPECT_EQ(s.dst->BltFast(0, 0, s.src, nullptr, DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(s.dst->BltFast(0, 0, s.src, nullptr, DDBLTFAST_DESTCOLORKEY), DDERR_UNSUPPORTED);
    EXPECT_EQ(s.dst->BltFast(0, 0, nullptr, nullptr, 0), DDERR_INVALIDPARAMS);
}

TEST(PlatformDirectDraw, BltFastWithinOneSurfaceHandlesOverlap) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(16, 1);
    ASSERT_NE(s, nullptr);
    for (int x = 0; x < 16; ++x) SetSurfacePixel(s, x, 0, static_cast<uint16_t>(x + 1));
    RECT r{0, 0, 8, 1};
    EXPECT_EQ(s->BltFast(2, 0, s, &r, 0), DD_OK);
    std::vector<uint16_t> px = Pixels(s);
    std::vector<uint16_t> want = {1, 2, 1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(px, want);
    s->Release();
    DisplayDown();
}

TEST(PlatformDirectDraw, SourceColourKeyLeavesKeyedPixelsOut) {
    BlitPair s;
    ASSERT_TRUE(s.Ready());
    // Without a key the keyed blit is refused and draws nothing.
    EXPECT_EQ(s.dst->BltFast(0, 0, s.src, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
    EXPECT_TRUE(AllEqual(Pixels(s.dst), 0x2222));

    SetSurfacePixel(s.src, 0, 0, 0xF81F);
    SetSurfacePixel(s.src, 7, 7, 0xF81F);
    SetSurfacePixel(s.src, 3, 3, 0xF81E);  // one below the key: drawn
    DDCOLORKEY key{0xF81F, 0xF81F};
    ASSERT_EQ(s.src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(s.dst->BltFast(4, 4, s.src, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    std::vector<uint16_t> px = Pixels(s.dst);
    ASSERT_EQ(px.size(), 256u);
    EXPECT_EQ(px[4 * 16 + 4], 0x2222) << "keyed pixel drawn";
    EXPECT_EQ(px[11 * 16 + 11], 0x2222) << "keyed pixel drawn";
    EXPECT_EQ(px[7 * 16 + 7], 0xF81E);
    EXPECT_EQ(px[4 * 16 + 5], 0x1111);
    EXPECT_EQ(px[3 * 16 + 3], 0x2222);

    // Without the flag the key is ignored.
    EXPECT_EQ(s.dst->BltFast(4, 4, s.src, nullptr, DDBLTFAST_NOCOLORKEY), DD_OK);
    px = Pixels(s.dst);
    EXPECT_EQ(px[4 * 16 + 4], 0xF81F);
    EXPECT_EQ(px[11 * 16 + 11], 0xF81F);

    // A key range leaves out every value inside it.
    DDCOLORKEY range{0x1000, 0x1111};
    ASSERT_EQ(s.src->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &range), DD_OK);
    FillSurface(s.dst, 0x2222);
    EXPECT_EQ(s.dst->BltFast(0, 0, s.src, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    px = Pixels(s.dst);
    EXPECT_EQ(px[1], 0x2222);               // 0x1111 is inside the range
    EXPECT_EQ(px[0], 0xF81F);               // outside
    EXPECT_EQ(px[3 * 16 + 3], 0xF81E);      // outside

    // Removing the key makes keyed blits refused again.
    ASSERT_EQ(s.src->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK);
    EXPECT_EQ(s.dst->BltFast(0, 0, s.src, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
}

TEST(PlatformDirectDraw, SetColorKeyRefusals) {
    BlitPair s;
    ASSERT_TRUE(s.Ready());
    DDCOLORKEY key{0x1111, 0x1111};
    EXPECT_EQ(s.src->SetColorKey(0, &key), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s.src->SetColorKey(DDCKEY_DESTBLT, &key), DDERR_UNSUPPORTED);
    EXPECT_EQ(s.src->SetColorKey(DDCKEY_SRCOVERLAY, &key), DDERR_UNSUPPORTED);
    // None of these set a key.
    EXPECT_EQ(s.dst->BltFast(0, 0, s.src, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);

    // An inverted range is refused, and a refused call keeps the key that was there.
    ASSERT_EQ(s.src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    DDCOLORKEY inverted{0x2000, 0x1000};
    EXPECT_EQ(s.src->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &inverted),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(s.dst->BltFast(0, 0, s.src, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    EXPECT_TRUE(AllEqual(Pixels(s.dst), 0x2222))
        << "the refused SetColorKey replaced the surface's key";
}

TEST(PlatformDirectDraw, BltColourFill) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(10, 8);
    ASSERT_NE(s, nullptr);
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x12345678;  // only the pixel's 16 bits are stored
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    EXPECT_TRUE(AllEqual(Pixels(s), 0x5678));

    fx.dwFillColor = 0xAAAA;
    RECT r{2, 3, 5, 7};
    EXPECT_EQ(s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    std::vector<uint16_t> px = Pixels(s);
    ASSERT_EQ(px.size(), 80u);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            bool inside = x >= 2 && x < 5 && y >= 3 && y < 7;
            EXPECT_EQ(px[y * 10 + x], inside ? 0xAAAA : 0x5678) << x << "," << y;
        }
    }

    // Refusals draw nothing.
    fx.dwFillColor = 0;
    DDBLTFX small = fx;
    small.dwSize = sizeof(DDBLTFX) - 4;
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &small), DDERR_INVALIDPARAMS);
    DDBLTFX large = fx;
    large.dwSize = sizeof(DDBLTFX) + 4;
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &large), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, 0, &fx), DDERR_UNSUPPORTED);
    RECT outside{0, 0, 11, 8};
    EXPECT_EQ(s->Blt(&outside, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
    RECT empty{3, 3, 3, 6};
    EXPECT_EQ(s->Blt(&empty, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
    RECT inverted{6, 3, 3, 6};
    EXPECT_EQ(s->Blt(&inverted, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
    EXPECT_EQ(Pixels(s), px) << "a refused fill drew";
    s->Release();
    DisplayDown();
}

TEST(PlatformDirectDraw, LockAndUnlock) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(641, 3);
    IDirectDrawSurface* other = MakeSurface(4, 4);
    ASSERT_NE(s, nullptr);
    ASSERT_NE(other, nullptr);
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;

    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_NE(desc.lpSurface, nullptr);
    EXPECT_EQ(desc.dwWidth, 641u);
    EXPECT_EQ(desc.dwHeight, 3u);
    EXPECT_GE(desc.lPitch, 1282);
    EXPECT_NE(desc.dwFlags & DDSD_LPSURFACE, 0u);
    EXPECT_NE(desc.dwFlags & DDSD_PITCH, 0u);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRGBBitCount, 16u);

    DDSURFACEDESC second;
    std::memset(&second, 0, sizeof second);
    second.dwSize = sizeof second;
    EXPECT_EQ(s->Lock(nullptr, &second, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    // Blits to and from a locked surface, and fills of it, are refused.
    RECT corner{0, 0, 4, 3};
    EXPECT_EQ(other->BltFast(0, 0, s, &corner, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->BltFast(0, 0, other, &corner, 0), DDERR_SURFACEBUSY);
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACEBUSY);
    HDC dc = nullptr;
    EXPECT_EQ(s->GetDC(&dc), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    // Unlocked, the same blits go through.
    EXPECT_EQ(other->BltFast(0, 0, s, &corner, 0), DD_OK);
    EXPECT_EQ(s->BltFast(0, 0, other, &corner, 0), DD_OK);

    // Malformed requests.
    DDSURFACEDESC wrong = second;
    wrong.dwSize = sizeof(DDSURFACEDESC) - 4;
    EXPECT_EQ(s->Lock(nullptr, &wrong, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Lock(nullptr, nullptr, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Lock(nullptr, &second, 0x100, nullptr), DDERR_INVALIDPARAMS);
    RECT outside{0, 0, 642, 3};
    EXPECT_EQ(s->Lock(&outside, &second, 0, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED) << "a refused lock locked";

    // A rectangle lock points at the rectangle's top-left pixel.
    RECT part{5, 2, 9, 3};
    ASSERT_EQ(s->Lock(&part, &second, 0, nullptr), DD_OK);
    EXPECT_EQ(static_cast<uint8_t*>(second.lpSurface),
              static_cast<uint8_t*>(desc.lpSurface) + 2 * desc.lPitch + 10);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    other->Release();
    s->Release();
    DisplayDown();
}

TEST(PlatformDirectDraw, FlipChainRowsAre1344BytesApart) {
    DisplayUp();
    for (IDirectDrawSurface* s : {PrimarySurface, BackSurface}) {
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        EXPECT_GE(desc.lPitch, 1280);
        EXPECT_EQ(desc.lPitch, 1344);
        EXPECT_EQ(desc.dwWidth, 640u);
        EXPECT_EQ(desc.dwHeight, 480u);
        EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    }
    DisplayDown();
}

TEST(PlatformDirectDraw, FlipExchangesTheMemoryOfTheTwoSurfaces) {
    DisplayUp();
    IDirectDrawSurface* front = PrimarySurface;
    IDirectDrawSurface* back = BackSurface;
    FillSurface(front, 0x1111);
    FillSurface(back, 0x2222);
    SetSurfacePixel(back, 5, 5, 0xBEEF);
    SetSurfacePixel(front, 6, 6, 0xCAFE);

    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    ASSERT_EQ(back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    void* backMemory = desc.lpSurface;
    ASSERT_EQ(back->Unlock(nullptr), DD_OK);
    ASSERT_EQ(front->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    void* frontMemory = desc.lpSurface;
    ASSERT_EQ(front->Unlock(nullptr), DD_OK);

    int flips = Backend().flips;
    ASSERT_EQ(front->Flip(nullptr, 0), DD_OK);
    EXPECT_EQ(Backend().flips, flips + 1);
    EXPECT_EQ(PrimarySurface, front);
    EXPECT_EQ(BackSurface, back);
    EXPECT_EQ(SurfacePixel(front, 5, 5), 0xBEEF);
    EXPECT_EQ(SurfacePixel(front, 0, 0), 0x2222);
    EXPECT_EQ(SurfacePixel(back, 6, 6), 0xCAFE);
    EXPECT_EQ(SurfacePixel(back, 0, 0), 0x1111);
    // A page flip, not a copy: the memory changed hands.
    ASSERT_EQ(back->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(desc.lpSurface, frontMemory);
    ASSERT_EQ(back->Unlock(nullptr), DD_OK);
    ASSERT_EQ(front->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(desc.lpSurface, backMemory);
    ASSERT_EQ(front->Unlock(nullptr), DD_OK);
    // The visible picture is the front surface's.
    plat::FrontView view = plat::Front();
    ASSERT_NE(view.pixels, nullptr);
    EXPECT_EQ(view.pixels, backMemory);
    EXPECT_EQ(view.pitch, 1344);

    // Flipping back restores the first arrangement.
    ASSERT_EQ(front->Flip(back, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(SurfacePixel(front, 6, 6), 0xCAFE);
    EXPECT_EQ(SurfacePixel(back, 5, 5), 0xBEEF);
    EXPECT_EQ(Backend().flips, flips + 2);
    DisplayDown();
}

TEST(PlatformDirectDraw, FlipRefusals) {
    DisplayUp();
    IDirectDrawSurface* s = MakeSurface(4, 4);
    ASSERT_NE(s, nullptr);
    int flips = Backend().flips;
    EXPECT_EQ(BackSurface->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(s->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(PrimarySurface->Flip(s, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(PrimarySurface->Flip(nullptr, 0x8), DDERR_INVALIDPARAMS);
    SetSurfacePixel(BackSurface, 1, 1, 0x7777);
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    ASSERT_EQ(BackSurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(PrimarySurface->Flip(nullptr, 0), DDERR_SURFACEBUSY);
    ASSERT_EQ(BackSurface->Unlock(nullptr), DD_OK);
    ASSERT_EQ(PrimarySurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(PrimarySurface->Flip(nullptr, 0), DDERR_SURFACEBUSY);
    ASSERT_EQ(PrimarySurface->Unlock(nullptr), DD_OK);
    EXPECT_EQ(Backend().flips, flips) << "a refused flip reached the backend";
    EXPECT_EQ(SurfacePixel(BackSurface, 1, 1), 0x7777) << "a refused flip exchanged";
    s->Release();
    DisplayDown();
}

TEST(PlatformDirectDraw, GetAttachedSurface) {
    DisplayUp();
    IDirectDrawSurface* found = nullptr;
    DDSCAPS caps{DDSCAPS_BACKBUFFER};
    ULONG before = BackSurface->AddRef();
    BackSurface->Release();
    ASSERT_EQ(PrimarySurface->GetAttachedSurface(&caps, &found), DD_OK);
    EXPECT_EQ(found, BackSurface);
    ULONG after = BackSurface->AddRef();
    BackSurface->Release();
    EXPECT_EQ(after, before + 1) << "the attached surface comes with a reference";
    found->Release();

    caps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_VIDEOMEMORY;
    ASSERT_EQ(PrimarySurface->GetAttachedSurface(&caps, &found), DD_OK);
    EXPECT_EQ(found, BackSurface);
    found->Release();

    for (DWORD bad : {DWORD{0}, DWORD{DDSCAPS_OFFSCREENPLAIN}, DWORD{DDSCAPS_PRIMARYSURFACE},
                      DWORD{DDSCAPS_BACKBUFFER | DDSCAPS_OFFSCREENPLAIN}}) {
        caps.dwCaps = bad;
        found = reinterpret_cast<IDirectDrawSurface*>(&caps);
        EXPECT_EQ(PrimarySurface->GetAttachedSurface(&caps, &found), DDERR_NOTFOUND) << bad;
        EXPECT_EQ(found, nullptr);
    }
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    EXPECT_EQ(BackSurface->GetAttachedSurface(&caps, &found), DDERR_NOTFOUND);
    IDirectDrawSurface* s = MakeSurface(2, 2);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetAttachedSurface(&caps, &found), DDERR_NOTFOUND);
    EXPECT_EQ(PrimarySurface->GetAttachedSurface(nullptr, &found), DDERR_INVALIDPARAMS);
    EXPECT_EQ(PrimarySurface->GetAttachedSurface(&caps, nullptr), DDERR_INVALIDPARAMS);
    s->Release();
    DisplayDown();
}

void ExpectFormat(IDirectDrawSurface* s, const plat::PixelFormat& f) {
    DDPIXELFORMAT pf;
    std::memset(&pf, 0, sizeof pf);
    pf.dwSize = sizeof pf;
    ASSERT_EQ(s->GetPixelFormat(&pf), DD_OK);
    EXPECT_EQ(pf.dwFlags & DDPF_RGB, DWORD{DDPF_RGB});
    EXPECT_EQ(pf.dwRGBBitCount, 16u);
    EXPECT_EQ(pf.dwRBitMask, f.red);
    EXPECT_EQ(pf.dwGBitMask, f.green);
    EXPECT_EQ(pf.dwBBitMask, f.blue);
    EXPECT_EQ(pf.dwRGBAlphaBitMask, 0u);
}

TEST(PlatformDirectDraw, GetPixelFormatIn565And555) {
    EXPECT_EQ(sizeof(DDPIXELFORMAT), 32u);
    for (const plat::PixelFormat& f : {plat::kFormat565, plat::kFormat555}) {
        DisplayUp(f);
        ExpectFormat(PrimarySurface, f);
        ExpectFormat(BackSurface, f);
        IDirectDrawSurface* s = MakeSurface(3, 3);
        ASSERT_NE(s, nullptr);
        ExpectFormat(s, f);  // offscreen surfaces take the display's format
        DDPIXELFORMAT pf;
        std::memset(&pf, 0, sizeof pf);
        pf.dwSize = 31;
        EXPECT_EQ(s->GetPixelFormat(&pf), DDERR_INVALIDPARAMS);
        EXPECT_EQ(s->GetPixelFormat(nullptr), DDERR_INVALIDPARAMS);
        s->Release();
    }
    DisplayDown();
    Backend().format = plat::kFormat565;
}

TEST(PlatformDirectDraw, CreateSurfaceRefusals) {
    DisplayUp();
    struct Case {
        DWORD width;
        DWORD height;
        HRESULT want;
    };
    const Case cases[] = {
        {0, 10, DDERR_INVALIDPARAMS},
        {10, 0, DDERR_INVALIDPARAMS},
        {0x80000000u, 10, DDERR_INVALIDPARAMS},   // a negative width
        {10, 0xFFFFFFFFu, DDERR_INVALIDPARAMS},   // a negative height
        {0xFFFFFFF6u, 0xFFFFFFF6u, DDERR_INVALIDPARAMS},
        {16385, 1, DDERR_OUTOFMEMORY},
        {1, 16385, DDERR_OUTOFMEMORY},
        {0x7FFFFFFFu, 1, DDERR_OUTOFMEMORY},
    };
    for (const Case& c : cases) {
        DDSURFACEDESC desc = OffscreenDesc(c.width, c.height);
        IDirectDrawSurface* out = nullptr;
        EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr), c.want)
            << c.width << " x " << c.height;
        EXPECT_EQ(out, nullptr) << "a refused creation handed out a surface";
    }
    // The largest side is allowed.
    for (auto [w, h] : {std::pair<DWORD, DWORD>{16384, 1}, {1, 16384}}) {
        DDSURFACEDESC desc = OffscreenDesc(w, h);
        IDirectDrawSurface* out = nullptr;
        ASSERT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr), DD_OK);
        ASSERT_NE(out, nullptr);
        DDSURFACEDESC got;
        std::memset(&got, 0, sizeof got);
        got.dwSize = sizeof got;
        EXPECT_EQ(out->GetSurfaceDesc(&got), DD_OK);
        EXPECT_EQ(got.dwWidth, w);
        EXPECT_EQ(got.dwHeight, h);
        EXPECT_NE(got.ddsCaps.dwCaps & DDSCAPS_OFFSCREENPLAIN, 0u);
        out->Release();
    }

    // Malformed descriptions.
    IDirectDrawSurface* out = nullptr;
    DDSURFACEDESC desc = OffscreenDesc(4, 4);
    desc.dwSize = sizeof(DDSURFACEDESC) - 4;
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr), DDERR_INVALIDPARAMS);
    desc = OffscreenDesc(4, 4);
    desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr), DDERR_INVALIDPARAMS);
    desc = OffscreenDesc(4, 4);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH;
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr), DDERR_INVALIDPARAMS);
    desc = OffscreenDesc(4, 4);
    desc.ddsCaps.dwCaps = 0;
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr), DDERR_INVALIDCAPS);
    desc = OffscreenDesc(4, 4);
    desc.ddsCaps.dwCaps |= DDSCAPS_FLIP;
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr), DDERR_INVALIDCAPS);
    desc = OffscreenDesc(4, 4);
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, reinterpret_cast<IUnknown*>(&desc)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(DirectDrawObject->CreateSurface(nullptr, &out, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, nullptr, nullptr), DDERR_INVALIDPARAMS);
    // A pixel format other than the display's is refused; the display's own is fine.
    desc = OffscreenDesc(4, 4);
    desc.dwFlags |= DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = 16;
    desc.ddpfPixelFormat.dwRBitMask = 0x7C00;
    desc.ddpfPixelFormat.dwGBitMask = 0x03E0;
    desc.ddpfPixelFormat.dwBBitMask = 0x001F;
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr), DDERR_INVALIDPIXELFORMAT);
    EXPECT_EQ(out, nullptr);
    desc.ddpfPixelFormat.dwRBitMask = 0xF800;
    desc.ddpfPixelFormat.dwGBitMask = 0x07E0;
    ASSERT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr), DD_OK);
    ASSERT_NE(out, nullptr);
    // A new surface is black.
    EXPECT_TRUE(AllEqual(Pixels(out), 0));
    out->Release();
    DisplayDown();
}

TEST(PlatformDirectDraw, OnePrimarySurfaceAtATime) {
    DisplayUp();
    LPDIRECTDRAW second = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &second, nullptr), DD_OK);
    ASSERT_EQ(second->SetCooperativeLevel(GameWindow(), kGameLevel), DD_OK);
    DDSURFACEDESC desc = FlipChainDesc();
    IDirectDrawSurface* out = nullptr;
    EXPECT_EQ(second->CreateSurface(&desc, &out, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr),
              DDERR_PRIMARYSURFACEALREADYEXISTS);
    // Once the game's chain is gone, a new one can be made.
    DisplayDown();
    ASSERT_EQ(second->CreateSurface(&desc, &out, nullptr), DD_OK);
    ASSERT_NE(out, nullptr);
    EXPECT_NE(plat::Front().pixels, nullptr);
    out->Release();
    EXPECT_EQ(plat::Front().pixels, nullptr) << "the released primary is still visible";
    second->Release();
}

TEST(PlatformDirectDraw, PrimarySurfaceRequests) {
    DisplayDown();
    LPDIRECTDRAW dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    DDSURFACEDESC desc = FlipChainDesc();
    IDirectDrawSurface* out = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_NOCOOPERATIVELEVELSET);
    ASSERT_EQ(dd->SetCooperativeLevel(GameWindow(), DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(dd->SetCooperativeLevel(GameWindow(), kGameLevel), DD_OK);
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP;
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_INVALIDCAPS);
    desc = FlipChainDesc();
    desc.dwBackBufferCount = 2;
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_INVALIDPARAMS);
    desc = FlipChainDesc();
    desc.dwFlags = DDSD_CAPS;
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_INVALIDPARAMS);
    desc = FlipChainDesc();
    desc.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = 640;
    desc.dwHeight = 480;
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(plat::Front().pixels, nullptr) << "a refused primary became visible";

    desc = FlipChainDesc();
    ASSERT_EQ(dd->CreateSurface(&desc, &out, nullptr), DD_OK);
    DDSURFACEDESC got;
    std::memset(&got, 0, sizeof got);
    got.dwSize = sizeof got;
    ASSERT_EQ(out->GetSurfaceDesc(&got), DD_OK);
    EXPECT_EQ(got.dwWidth, 640u);
    EXPECT_EQ(got.dwHeight, 480u);
    DWORD want = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    EXPECT_EQ(got.ddsCaps.dwCaps & want, want);
    out->Release();
    dd->Release();
}

TEST(PlatformDirectDraw, CooperativeLevelAndDisplayModeRefusals) {
    DisplayDown();
    HWND window = GameWindow();
    LPDIRECTDRAW dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    ASSERT_NE(dd, nullptr);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DDERR_NOCOOPERATIVELEVELSET);
    DDSURFACEDESC desc = OffscreenDesc(4, 4);
    IDirectDrawSurface* out = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_NOCOOPERATIVELEVELSET);

    EXPECT_EQ(dd->SetCooperativeLevel(window, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL | DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(window, kGameLevel | 0x100), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, kGameLevel), DDERR_INVALIDPARAMS);
    // Still no level after the refusals.
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DDERR_NOCOOPERATIVELEVELSET);

    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(dd->SetCooperativeLevel(window, kGameLevel), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(800, 600, 16), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 8), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 32), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(320, 200, 16), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DD_OK);
    EXPECT_EQ(dd->Release(), 0u);

    // DirectDrawCreate itself.
    GUID driver{};
    LPDIRECTDRAW other = reinterpret_cast<LPDIRECTDRAW>(&driver);
    EXPECT_EQ(DirectDrawCreate(&driver, &other, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(other, nullptr);
    other = reinterpret_cast<LPDIRECTDRAW>(&driver);
    EXPECT_EQ(DirectDrawCreate(nullptr, &other, reinterpret_cast<IUnknown*>(&driver)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(DirectDrawCreate(nullptr, nullptr, nullptr), DDERR_INVALIDPARAMS);
    Backend().failDisplay = true;
    other = reinterpret_cast<LPDIRECTDRAW>(&driver);
    EXPECT_EQ(DirectDrawCreate(nullptr, &other, nullptr), DDERR_NODIRECTDRAWHW);
    EXPECT_EQ(other, nullptr);
    Backend().failDisplay = false;
}

}  // namespace
