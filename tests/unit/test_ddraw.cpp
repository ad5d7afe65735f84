// The platform's DirectDraw: rectangle checks, blits with and without a colour key, colour
// fills, locks, the flip chain, pixel formats, surface creation and the cooperative level.
#include "../support/support.h"

#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

using namespace testing_support;

namespace {

constexpr DWORD kGameLevel = DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX;

// A DirectDraw structure, zeroed, with its size field set.
template <typename T>
T Sized() {
    T value;
    std::memset(&value, 0, sizeof value);
    value.dwSize = sizeof value;
    return value;
}

DDSURFACEDESC OffscreenDesc(DWORD width, DWORD height) {
    DDSURFACEDESC desc = Sized<DDSURFACEDESC>();
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    return desc;
}

DDSURFACEDESC FlipChainDesc() {
    DDSURFACEDESC desc = Sized<DDSURFACEDESC>();
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    return desc;
}

// Locks a surface, hands its description to `use`, unlocks it.
template <typename F>
void WithLock(IDirectDrawSurface* surface, F use) {
    DDSURFACEDESC desc = Sized<DDSURFACEDESC>();
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    use(desc);
    ASSERT_EQ(surface->Unlock(nullptr), DD_OK);
}

uint16_t* At(const DDSURFACEDESC& desc, int x, int y) {
    return reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch) + x;
}

// Every pixel of a surface, row by row.
std::vector<uint16_t> Pixels(IDirectDrawSurface* surface) {
    std::vector<uint16_t> out;
    WithLock(surface, [&](const DDSURFACEDESC& d) {
        for (DWORD y = 0; y < d.dwHeight; ++y) out.insert(out.end(), At(d, 0, y), At(d, 0, y) + d.dwWidth);
    });
    return out;
}

void Put(IDirectDrawSurface* surface, int x, int y, uint16_t value) {
    WithLock(surface, [&](const DDSURFACEDESC& d) { *At(d, x, y) = value; });
}

// The pixels of a `width` pixels wide picture of `base` with the rectangle `r` in `value`.
std::vector<uint16_t> Picture(int width, int height, uint16_t base, RECT r = {}, uint16_t value = 0) {
    std::vector<uint16_t> out(static_cast<size_t>(width * height), base);
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) out[static_cast<size_t>(y * width + x)] = value;
    }
    return out;
}

// Each test starts with the game's display up, an 8 x 8 source of 0x1111 and a 16 x 16 target
// of 0x2222; the surfaces it makes are released at its end.
class PlatformDirectDraw : public ::testing::Test {
protected:
    void SetUp() override {
        DisplayUp();
        src = Make(8, 8, 0x1111);
        dst = Make(16, 16, 0x2222);
        ASSERT_TRUE(src != nullptr && dst != nullptr);
    }
    void TearDown() override {
        for (IDirectDrawSurface* s : made_) s->Release();
        DisplayDown();
        Backend().format = plat::kFormat565;
    }
    // A new offscreen surface filled with `fill`.
    IDirectDrawSurface* Make(int width, int height, uint16_t fill = 0) {
        IDirectDrawSurface* s = MakeSurface(width, height);
        if (s != nullptr) {
            FillSurface(s, fill);
            made_.push_back(s);
        }
        return s;
    }
    std::vector<IDirectDrawSurface*> made_;
    IDirectDrawSurface* src = nullptr;
    IDirectDrawSurface* dst = nullptr;
};

TEST_F(PlatformDirectDraw, BltFastRefusesRectanglesThatDoNotFit) {
    const struct {
        DWORD x, y;
        RECT r;
    } bad[] = {
        {0, 0, {0, 0, 9, 8}},  {0, 0, {0, 0, 8, 9}},   // a column or a row too many
        {0, 0, {-1, 0, 4, 4}}, {0, 0, {0, -1, 4, 4}},  // left of or above the source
        {0, 0, {8, 0, 9, 1}},  {0, 0, {2, 2, 2, 5}},  {0, 0, {2, 2, 5, 2}},  // outside, empty
        {0, 0, {5, 2, 2, 5}},  {0, 0, {2, 5, 5, 2}},   // inverted
        {9, 0, {0, 0, 8, 8}},  {0, 9, {0, 0, 8, 8}},   // past the target's right or bottom edge
        // Negative positions arrive as large unsigned values.
        {0xFFFFFFFFu, 0, {0, 0, 8, 8}}, {0, 0xFFFFFFF8u, {0, 0, 8, 8}}, {0x7FFFFFFFu, 0, {0, 0, 8, 8}},
    };
    for (auto c : bad) {
        EXPECT_EQ(dst->BltFast(c.x, c.y, src, &c.r, DDBLTFAST_SRCCOLORKEY), DDERR_INVALIDRECT)
            << c.x << "," << c.y << " " << c.r.left << "," << c.r.top << "," << c.r.right << "," << c.r.bottom;
    }
    EXPECT_EQ(dst->BltFast(9, 9, src, nullptr, 0), DDERR_INVALIDRECT);
    EXPECT_EQ(Pixels(dst), Picture(16, 16, 0x2222)) << "a refused blit drew";
    // Exactly fitting at the bottom-right corner is fine.
    RECT whole{0, 0, 8, 8};
    EXPECT_EQ(dst->BltFast(8, 8, src, &whole, 0), DD_OK);
    EXPECT_EQ(Pixels(dst), Picture(16, 16, 0x2222, {8, 8, 16, 16}, 0x1111));
}

TEST_F(PlatformDirectDraw, BltFastCopiesTheSourceRectangleToThePosition) {
    Put(src, 2, 3, 0xABCD);
    Put(src, 4, 4, 0x0F0F);
    RECT r{2, 3, 5, 5};  // 3 x 2, right and bottom exclusive
    EXPECT_EQ(dst->BltFast(10, 1, src, &r, DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    std::vector<uint16_t> want = Picture(16, 16, 0x2222, {10, 1, 13, 3}, 0x1111);
    want[1 * 16 + 10] = 0xABCD;
    want[2 * 16 + 12] = 0x0F0F;
    EXPECT_EQ(Pixels(dst), want);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_DESTCOLORKEY), DDERR_UNSUPPORTED);
    EXPECT_EQ(dst->BltFast(0, 0, nullptr, nullptr, 0), DDERR_INVALIDPARAMS);

    // Within one surface, keyed or not, overlapping rectangles come out as if read from a copy.
    IDirectDrawSurface* row = Make(16, 1);
    ASSERT_NE(row, nullptr);
    DDCOLORKEY unused{0xFFFF, 0xFFFF};
    ASSERT_EQ(row->SetColorKey(DDCKEY_SRCBLT, &unused), DD_OK);
    for (DWORD flags : {DWORD{DDBLTFAST_NOCOLORKEY}, DWORD{DDBLTFAST_SRCCOLORKEY}}) {
        for (int x = 0; x < 16; ++x) Put(row, x, 0, static_cast<uint16_t>(x + 1));
        RECT left{0, 0, 8, 1};
        EXPECT_EQ(row->BltFast(2, 0, row, &left, flags), DD_OK);
        EXPECT_EQ(Pixels(row), (std::vector<uint16_t>{1, 2, 1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16}));
    }
}

// Source pixels inside the key's range, its ends included, are left out; refused keys change nothing.
TEST_F(PlatformDirectDraw, SourceColourKeyLeavesKeyedPixelsOut) {
    Put(src, 0, 0, 0xF81F);
    Put(src, 7, 7, 0xF81F);
    Put(src, 3, 3, 0xF81E);  // one below the key: drawn
    DDCOLORKEY key{0xF81F, 0xF81F};
    EXPECT_EQ(src->SetColorKey(0, &key), DDERR_INVALIDPARAMS);
    EXPECT_EQ(src->SetColorKey(DDCKEY_DESTBLT, &key), DDERR_UNSUPPORTED);
    EXPECT_EQ(src->SetColorKey(DDCKEY_SRCOVERLAY, &key), DDERR_UNSUPPORTED);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    DDCOLORKEY inverted{0x2000, 0x1000};
    EXPECT_EQ(src->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &inverted), DDERR_INVALIDPARAMS);

    EXPECT_EQ(dst->BltFast(4, 4, src, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    std::vector<uint16_t> want = Picture(16, 16, 0x2222, {4, 4, 12, 12}, 0x1111);
    want[4 * 16 + 4] = want[11 * 16 + 11] = 0x2222;
    want[7 * 16 + 7] = 0xF81E;
    EXPECT_EQ(Pixels(dst), want);
    // Without the flag the key is ignored.
    EXPECT_EQ(dst->BltFast(4, 4, src, nullptr, DDBLTFAST_NOCOLORKEY), DD_OK);
    want[4 * 16 + 4] = want[11 * 16 + 11] = 0xF81F;
    EXPECT_EQ(Pixels(dst), want);

    DDCOLORKEY range{0x1000, 0x1111};
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &range), DD_OK);
    FillSurface(dst, 0x2222);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    want = Picture(16, 16, 0x2222);
    want[0] = want[7 * 16 + 7] = 0xF81F;
    want[3 * 16 + 3] = 0xF81E;
    EXPECT_EQ(Pixels(dst), want);
    // Removing the key makes keyed blits refused again.
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
}

TEST_F(PlatformDirectDraw, BltColourFill) {
    IDirectDrawSurface* s = Make(10, 8);
    ASSERT_NE(s, nullptr);
    DDBLTFX fx = Sized<DDBLTFX>();
    fx.dwFillColor = 0x12345678;  // only the pixel's 16 bits are stored
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    fx.dwFillColor = 0xAAAA;
    RECT r{2, 3, 5, 7};
    EXPECT_EQ(s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    const std::vector<uint16_t> want = Picture(10, 8, 0x5678, r, 0xAAAA);
    EXPECT_EQ(Pixels(s), want);
    // Refusals draw nothing.
    fx.dwFillColor = 0;
    DDBLTFX large = fx;
    large.dwSize += 4;
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &large), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, 0, &fx), DDERR_UNSUPPORTED);
    for (RECT bad : {RECT{0, 0, 11, 8}, RECT{3, 3, 3, 6}, RECT{6, 3, 3, 6}}) {
        EXPECT_EQ(s->Blt(&bad, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
    }
    EXPECT_EQ(Pixels(s), want) << "a refused fill drew";
}

TEST_F(PlatformDirectDraw, LockAndUnlock) {
    IDirectDrawSurface* s = Make(641, 3);
    ASSERT_NE(s, nullptr);
    DDSURFACEDESC desc = Sized<DDSURFACEDESC>();
    DDSURFACEDESC second = desc;
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_NE(desc.lpSurface, nullptr);
    EXPECT_GE(desc.lPitch, 1282);
    // While locked it cannot be locked again, blitted to or from, or filled.
    EXPECT_EQ(s->Lock(nullptr, &second, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    RECT corner{0, 0, 4, 3};
    EXPECT_EQ(src->BltFast(0, 0, s, &corner, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->BltFast(0, 0, src, &corner, 0), DDERR_SURFACEBUSY);
    DDBLTFX fx = Sized<DDBLTFX>();
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    // Malformed requests lock nothing.
    DDSURFACEDESC wrong = second;
    wrong.dwSize -= 4;
    EXPECT_EQ(s->Lock(nullptr, &wrong, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Lock(nullptr, nullptr, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Lock(nullptr, &second, 0x100, nullptr), DDERR_INVALIDPARAMS);
    RECT outside{0, 0, 642, 3};
    EXPECT_EQ(s->Lock(&outside, &second, 0, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED) << "a refused lock locked";
    // A rectangle lock points at the rectangle's top-left pixel.
    RECT part{5, 2, 9, 3};
    ASSERT_EQ(s->Lock(&part, &second, 0, nullptr), DD_OK);
    EXPECT_EQ(second.lpSurface, static_cast<void*>(At(desc, 5, 2)));
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
}

// A page flip, not a copy: the two surfaces exchange their memory, whose rows are 1344 bytes
// apart; the visible picture is the front surface's. Refused flips neither exchange nor show.
TEST_F(PlatformDirectDraw, FlipExchangesTheMemoryOfTheTwoSurfaces) {
    auto memory = [](IDirectDrawSurface* s) {
        void* pixels = nullptr;
        WithLock(s, [&](const DDSURFACEDESC& d) {
            EXPECT_EQ(d.lPitch, 1344);
            EXPECT_EQ(std::pair(d.dwWidth, d.dwHeight), std::pair(640u, 480u));
            pixels = d.lpSurface;
        });
        return pixels;
    };
    void* front = memory(PrimarySurface);
    void* back = memory(BackSurface);
    int flips = Backend().flips;
    ASSERT_EQ(PrimarySurface->Flip(nullptr, 0), DD_OK);
    EXPECT_EQ(Backend().flips, flips + 1);
    EXPECT_EQ(memory(PrimarySurface), back);
    EXPECT_EQ(memory(BackSurface), front);
    EXPECT_EQ(plat::Front().pixels, back);
    EXPECT_EQ(plat::Front().pitch, 1344);
    ASSERT_EQ(PrimarySurface->Flip(BackSurface, DDFLIP_WAIT), DD_OK);  // the back buffer named
    EXPECT_EQ(memory(PrimarySurface), front);
    EXPECT_EQ(Backend().flips, flips + 2);

    EXPECT_EQ(BackSurface->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(src->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(PrimarySurface->Flip(src, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(PrimarySurface->Flip(nullptr, 0x8), DDERR_INVALIDPARAMS);
    for (IDirectDrawSurface* locked : {BackSurface, PrimarySurface}) {
        WithLock(locked, [](const DDSURFACEDESC&) {
            EXPECT_EQ(PrimarySurface->Flip(nullptr, 0), DDERR_SURFACEBUSY);
        });
    }
    EXPECT_EQ(Backend().flips, flips + 2);
    EXPECT_EQ(memory(PrimarySurface), front);
}

// The back buffer, with a reference, for the back-buffer caps; nothing for other caps or surfaces.
TEST_F(PlatformDirectDraw, GetAttachedSurface) {
    IDirectDrawSurface* found = nullptr;
    ULONG refs = BackSurface->AddRef() - 1;
    BackSurface->Release();
    DDSCAPS wanted{DDSCAPS_BACKBUFFER | DDSCAPS_VIDEOMEMORY};
    ASSERT_EQ(PrimarySurface->GetAttachedSurface(&wanted, &found), DD_OK);
    EXPECT_EQ(found, BackSurface);
    EXPECT_EQ(found->Release(), refs);
    const std::pair<IDirectDrawSurface*, DWORD> absent[] = {
        {PrimarySurface, 0},          {PrimarySurface, DDSCAPS_FLIP},
        {PrimarySurface, DDSCAPS_BACKBUFFER | DDSCAPS_OFFSCREENPLAIN},
        {BackSurface, DDSCAPS_BACKBUFFER}, {src, DDSCAPS_BACKBUFFER}};
    for (auto [surface, caps] : absent) {
        wanted.dwCaps = caps;
        found = src;
        EXPECT_EQ(surface->GetAttachedSurface(&wanted, &found), DDERR_NOTFOUND) << caps;
        EXPECT_EQ(found, nullptr);
    }
    EXPECT_EQ(PrimarySurface->GetAttachedSurface(nullptr, &found), DDERR_INVALIDPARAMS);
}

// The back buffer and offscreen surfaces have the display's format: its masks, 16 bits, no alpha.
TEST_F(PlatformDirectDraw, GetPixelFormatIn565And555) {
    for (const plat::PixelFormat& f : {plat::kFormat565, plat::kFormat555}) {
        DisplayUp(f);
        for (IDirectDrawSurface* s : {BackSurface, Make(3, 3)}) {
            DDPIXELFORMAT pf = Sized<DDPIXELFORMAT>();
            ASSERT_EQ(s->GetPixelFormat(&pf), DD_OK);
            EXPECT_EQ(std::tuple(pf.dwFlags, pf.dwRGBBitCount, pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask,
                                 pf.dwRGBAlphaBitMask),
                      std::tuple(DWORD{DDPF_RGB}, 16u, f.red, f.green, f.blue, 0u));
            pf.dwSize -= 1;
            EXPECT_EQ(s->GetPixelFormat(&pf), DDERR_INVALIDPARAMS);
        }
    }
}

// Changes to a 4 x 4 offscreen surface's description and what CreateSurface answers; a
// refusal hands out no surface, and a new surface is black.
TEST_F(PlatformDirectDraw, CreateSurface) {
    const struct {
        void (*change)(DDSURFACEDESC&);
        HRESULT want;
    } cases[] = {
        {[](DDSURFACEDESC&) {}, DD_OK},
        {[](DDSURFACEDESC& d) { d.dwWidth = 0; }, DDERR_INVALIDPARAMS},
        {[](DDSURFACEDESC& d) { d.dwHeight = 0; }, DDERR_INVALIDPARAMS},
        {[](DDSURFACEDESC& d) { d.dwWidth = 0x80000000u; }, DDERR_INVALIDPARAMS},  // negative sizes
        {[](DDSURFACEDESC& d) { d.dwHeight = 0xFFFFFFFFu; }, DDERR_INVALIDPARAMS},
        {[](DDSURFACEDESC& d) { d.dwWidth = 16384; }, DD_OK},  // the largest side
        {[](DDSURFACEDESC& d) { d.dwHeight = 16384; }, DD_OK},
        {[](DDSURFACEDESC& d) { d.dwWidth = 16385; }, DDERR_OUTOFMEMORY},
        {[](DDSURFACEDESC& d) { d.dwHeight = 16385; }, DDERR_OUTOFMEMORY},
        {[](DDSURFACEDESC& d) { d.dwWidth = 0x7FFFFFFFu; }, DDERR_OUTOFMEMORY},
        {[](DDSURFACEDESC& d) { d.dwSize -= 4; }, DDERR_INVALIDPARAMS},
        {[](DDSURFACEDESC& d) { d.dwFlags &= ~DWORD{DDSD_CAPS}; }, DDERR_INVALIDPARAMS},
        {[](DDSURFACEDESC& d) { d.dwFlags &= ~DWORD{DDSD_HEIGHT}; }, DDERR_INVALIDPARAMS},
        {[](DDSURFACEDESC& d) { d.ddsCaps.dwCaps = 0; }, DDERR_INVALIDCAPS},
        {[](DDSURFACEDESC& d) { d.ddsCaps.dwCaps |= DDSCAPS_FLIP; }, DDERR_INVALIDCAPS},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        DDSURFACEDESC desc = OffscreenDesc(4, 4);
        cases[i].change(desc);
        IDirectDrawSurface* out = nullptr;
        EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr), cases[i].want) << "case " << i;
        if (cases[i].want != DD_OK) {
            EXPECT_EQ(out, nullptr) << "case " << i;
            continue;
        }
        ASSERT_NE(out, nullptr);
        DDSURFACEDESC got = Sized<DDSURFACEDESC>();
        EXPECT_EQ(out->GetSurfaceDesc(&got), DD_OK);
        EXPECT_EQ(std::pair(got.dwWidth, got.dwHeight), std::pair(desc.dwWidth, desc.dwHeight));
        EXPECT_EQ(Pixels(out), Picture(static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight), 0));
        out->Release();
    }
    IDirectDrawSurface* out = nullptr;
    DDSURFACEDESC desc = OffscreenDesc(4, 4);
    IUnknown* outer = reinterpret_cast<IUnknown*>(&desc);
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, outer), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(DirectDrawObject->CreateSurface(nullptr, &out, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, nullptr, nullptr), DDERR_INVALIDPARAMS);
}

// Without a cooperative level nothing is allowed, without the exclusive one neither the mode nor
// a flip chain. A flip chain needs COMPLEX and one back buffer, and no size; there is one primary
// surface at a time, and it is what the backend shows until it is released.
TEST_F(PlatformDirectDraw, CooperativeLevelDisplayModeAndPrimarySurface) {
    DisplayDown();
    HWND window = GameWindow();
    LPDIRECTDRAW dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    DDSURFACEDESC desc = FlipChainDesc();
    IDirectDrawSurface* out = nullptr;
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DDERR_NOCOOPERATIVELEVELSET);
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_NOCOOPERATIVELEVELSET);
    const std::pair<HWND, DWORD> refused[] = {
        {window, 0}, {window, DDSCL_FULLSCREEN}, {window, DDSCL_EXCLUSIVE}, {window, kGameLevel | 0x100},
        {window, DDSCL_NORMAL | DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE}, {nullptr, kGameLevel}};
    for (auto [w, flags] : refused) EXPECT_EQ(dd->SetCooperativeLevel(w, flags), DDERR_INVALIDPARAMS) << flags;
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DDERR_NOCOOPERATIVELEVELSET) << "a refused level was set";
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DDERR_NOEXCLUSIVEMODE);
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(dd->SetCooperativeLevel(window, kGameLevel), DD_OK);
    for (auto [w, h, bpp] : {std::tuple{800u, 600u, 16u}, {640u, 480u, 8u}, {640u, 480u, 32u}, {320u, 200u, 16u}}) {
        EXPECT_EQ(dd->SetDisplayMode(w, h, bpp), DDERR_INVALIDMODE) << w << " x " << h << " x " << bpp;
    }
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DD_OK);

    const struct {
        void (*change)(DDSURFACEDESC&);
        HRESULT want;
    } cases[] = {
        {[](DDSURFACEDESC& d) { d.ddsCaps.dwCaps &= ~DWORD{DDSCAPS_COMPLEX}; }, DDERR_INVALIDCAPS},
        {[](DDSURFACEDESC& d) { d.dwBackBufferCount = 2; }, DDERR_INVALIDPARAMS},
        {[](DDSURFACEDESC& d) { d.dwFlags = DDSD_CAPS; }, DDERR_INVALIDPARAMS},
        {[](DDSURFACEDESC& d) { d.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT; d.dwWidth = 640; d.dwHeight = 480; },
         DDERR_INVALIDPARAMS},
    };
    for (const auto& c : cases) {
        desc = FlipChainDesc();
        c.change(desc);
        EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), c.want);
    }
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(plat::Front().pixels, nullptr) << "a refused primary became visible";
    desc = FlipChainDesc();
    ASSERT_EQ(dd->CreateSurface(&desc, &out, nullptr), DD_OK);
    DDSURFACEDESC got = Sized<DDSURFACEDESC>();
    ASSERT_EQ(out->GetSurfaceDesc(&got), DD_OK);
    EXPECT_EQ(std::pair(got.dwWidth, got.dwHeight), std::pair(640u, 480u));
    DWORD chain = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    EXPECT_EQ(got.ddsCaps.dwCaps & chain, chain);
    IDirectDrawSurface* second = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &second, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(plat::Front().pixels, nullptr);
    out->Release();
    EXPECT_EQ(plat::Front().pixels, nullptr) << "the released primary is still visible";
    EXPECT_EQ(dd->Release(), 0u);

    // DirectDrawCreate refuses a driver, an outer object and no out pointer, and hands out nothing.
    GUID driver{};
    LPDIRECTDRAW other = reinterpret_cast<LPDIRECTDRAW>(&driver);
    EXPECT_EQ(DirectDrawCreate(&driver, &other, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DirectDrawCreate(nullptr, &other, reinterpret_cast<IUnknown*>(&driver)), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(DirectDrawCreate(nullptr, nullptr, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(other, nullptr);
}

}  // namespace
