// The platform's DirectDraw: rectangle checks, blits with and without a colour key, colour
// fills, locks, the flip chain, pixel formats, surface creation and the cooperative level.
// (Its GDI is tested through the picture loader and the colour keys, which use it.)
#include "../support/support.h"

#include <tuple>

using namespace testing_support;

namespace {

constexpr DWORD kGameLevel =
    DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX;
using Pixels = std::vector<uint16_t>;

DDSURFACEDESC Desc(DWORD flags, DWORD caps, DWORD width = 4, DWORD height = 4) {
    DDSURFACEDESC desc = Sized<DDSURFACEDESC>();
    desc.dwFlags = flags, desc.dwWidth = width, desc.dwHeight = height, desc.ddsCaps.dwCaps = caps;
    desc.dwBackBufferCount = 1;
    return desc;
}
DDSURFACEDESC Offscreen() {
    return Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN);
}
DDSURFACEDESC FlipChain() {
    return Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX, 0, 0);
}

uint16_t* At(const DDSURFACEDESC& d, int x, int y) {
    return reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch) + x;
}
// Locks the whole surface for `use` and unlocks it; the description of the lock.
DDSURFACEDESC Locked(IDirectDrawSurface* s,
                     const std::function<void(const DDSURFACEDESC&)>& use = {}) {
    DDSURFACEDESC d = Sized<DDSURFACEDESC>();
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    if (use) use(d);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    return d;
}
// Every pixel of a surface, row by row; or sets one.
Pixels All(IDirectDrawSurface* s) {
    Pixels out;
    Locked(s, [&](const DDSURFACEDESC& d) {
        for (DWORD y = 0; y < d.dwHeight; ++y)
            out.insert(out.end(), At(d, 0, y), At(d, 0, y) + d.dwWidth);
    });
    return out;
}
void Put(IDirectDrawSurface* s, int x, int y, uint16_t value) {
    Locked(s, [=](const DDSURFACEDESC& d) { *At(d, x, y) = value; });
}

// The pixels of a `width` pixels wide picture of `base` with the rectangle `r` in `value`.
Pixels Picture(int width, int height, uint16_t base, RECT r = {}, uint16_t value = 0) {
    Pixels out(size_t(width * height), base);
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) out[size_t(y * width + x)] = value;
    return out;
}

// Each test starts with the game's display up, an 8 x 8 source of 0x1111 and a 16 x 16 target
// of 0x2222; the surfaces it makes are released at its end.
class PlatformDirectDraw : public ::testing::Test {
protected:
    void SetUp() override {
        DisplayUp();
        src = Make(8, 8, 0x1111), dst = Make(16, 16, 0x2222);
        ASSERT_TRUE(src != nullptr && dst != nullptr);
    }
    void TearDown() override {
        for (IDirectDrawSurface* s : made_) s->Release();
        DisplayUp();
    }
    IDirectDrawSurface* Make(int width, int height, uint16_t fill = 0) {
        IDirectDrawSurface* s = MakeSurface(width, height);
        if (s != nullptr) FillSurface(s, fill), made_.push_back(s);
        return s;
    }
    std::vector<IDirectDrawSurface*> made_;
    IDirectDrawSurface *src = nullptr, *dst = nullptr;
};

TEST_F(PlatformDirectDraw, BltFastRefusesRectanglesThatDoNotFitAndCopiesThoseThatDo) {
    // A column or a row too many, left of or above the source, outside, empty, inverted, past
    // the target's right or bottom edge; negative positions arrive as large unsigned values.
    const std::tuple<DWORD, DWORD, RECT> bad[] = {
        {0, 0, {0, 0, 9, 8}},           {0, 0, {0, 0, 8, 9}}, {0, 0, {-1, 0, 4, 4}},
        {0, 0, {0, -1, 4, 4}},          {0, 0, {2, 2, 2, 5}}, {0, 0, {2, 5, 5, 2}},
        {9, 0, {0, 0, 8, 8}},           {0, 9, {0, 0, 8, 8}}, {0xFFFFFFFFu, 0, {0, 0, 8, 8}},
        {0, 0xFFFFFFF8u, {0, 0, 8, 8}},
    };
    for (auto [x, y, r] : bad)
        EXPECT_EQ(dst->BltFast(x, y, src, &r, DDBLTFAST_SRCCOLORKEY), DDERR_INVALIDRECT)
            << x << "," << y;
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_DESTCOLORKEY), DDERR_UNSUPPORTED);
    EXPECT_EQ(dst->BltFast(0, 0, nullptr, nullptr, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(All(dst), Picture(16, 16, 0x2222)) << "a refused blit drew";
    // Exactly fitting at the bottom-right corner, right and bottom exclusive.
    RECT r{2, 3, 5, 5};
    EXPECT_EQ(dst->BltFast(13, 14, src, &r, DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT), DD_OK);
    EXPECT_EQ(All(dst), Picture(16, 16, 0x2222, {13, 14, 16, 16}, 0x1111));

    // Within one surface, keyed or not, overlapping rectangles come out as if read from a copy.
    IDirectDrawSurface* row = Make(16, 1);
    DDCOLORKEY unused{0xFFFF, 0xFFFF};
    ASSERT_EQ(row->SetColorKey(DDCKEY_SRCBLT, &unused), DD_OK);
    for (DWORD flags : {DWORD{DDBLTFAST_NOCOLORKEY}, DWORD{DDBLTFAST_SRCCOLORKEY}}) {
        for (int x = 0; x < 16; ++x) Put(row, x, 0, uint16_t(x + 1));
        RECT left{0, 0, 8, 1};
        EXPECT_EQ(row->BltFast(2, 0, row, &left, flags), DD_OK);
        EXPECT_EQ(All(row), (Pixels{1, 2, 1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16}));
    }
}

// Source pixels of the key's value are left out; refused keys change nothing.
TEST_F(PlatformDirectDraw, SourceColourKeyLeavesKeyedPixelsOut) {
    Put(src, 0, 0, 0xF81F), Put(src, 7, 7, 0xF81F),
        Put(src, 3, 3, 0xF81E);  // one below the key: drawn
    DDCOLORKEY key{0xF81F, 0xF81F}, inverted{0x2000, 0x1000};
    EXPECT_EQ(src->SetColorKey(0, &key), DDERR_INVALIDPARAMS);
    EXPECT_EQ(src->SetColorKey(DDCKEY_DESTBLT, &key), DDERR_UNSUPPORTED);
    EXPECT_EQ(src->SetColorKey(DDCKEY_SRCOVERLAY, &key), DDERR_UNSUPPORTED);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(src->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &inverted), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dst->BltFast(4, 4, src, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    Pixels want = Picture(16, 16, 0x2222, {4, 4, 12, 12}, 0x1111);
    want[4 * 16 + 4] = want[11 * 16 + 11] = 0x2222;
    want[7 * 16 + 7] = 0xF81E;
    EXPECT_EQ(All(dst), want);
    // Removing the key makes keyed blits refused again.
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
}

TEST_F(PlatformDirectDraw, BltColourFill) {
    IDirectDrawSurface* s = Make(10, 8);
    DDBLTFX fx = Sized<DDBLTFX>(), large = fx;
    large.dwSize += 4;
    fx.dwFillColor = 0x12345678;  // only the pixel's 16 bits are stored
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
    fx.dwFillColor = 0xAAAA;
    RECT r{2, 3, 5, 7};
    EXPECT_EQ(s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    // Refusals draw nothing.
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &large), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, 0, &fx), DDERR_UNSUPPORTED);
    for (RECT bad : {RECT{0, 0, 11, 8}, RECT{3, 3, 3, 6}, RECT{6, 3, 3, 6}})
        EXPECT_EQ(s->Blt(&bad, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
    EXPECT_EQ(All(s), Picture(10, 8, 0x5678, r, 0xAAAA));
}

TEST_F(PlatformDirectDraw, LockAndUnlock) {
    IDirectDrawSurface* s = Make(641, 3);
    DDSURFACEDESC desc = Sized<DDSURFACEDESC>(), second = desc, wrong = desc;
    wrong.dwSize -= 4;
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_NE(desc.lpSurface, nullptr);
    EXPECT_GE(desc.lPitch, 1282);
    // While locked it cannot be locked again, blitted to or from, or filled.
    EXPECT_EQ(s->Lock(nullptr, &second, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    RECT corner{0, 0, 4, 3}, outside{0, 0, 642, 3}, part{5, 2, 9, 3};
    EXPECT_EQ(src->BltFast(0, 0, s, &corner, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->BltFast(0, 0, src, &corner, 0), DDERR_SURFACEBUSY);
    DDBLTFX fx = Sized<DDBLTFX>();
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    // Malformed requests lock nothing.
    EXPECT_EQ(s->Lock(nullptr, &wrong, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Lock(nullptr, nullptr, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Lock(nullptr, &second, 0x100, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Lock(&outside, &second, 0, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED) << "a refused lock locked";
    // A rectangle lock points at the rectangle's top-left pixel.
    ASSERT_EQ(s->Lock(&part, &second, 0, nullptr), DD_OK);
    EXPECT_EQ(second.lpSurface, static_cast<void*>(At(desc, 5, 2)));
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
}

// A page flip, not a copy: the two surfaces exchange their memory, whose rows are 1344 bytes
// apart; the visible picture is the front surface's. Refused flips neither exchange nor show.
TEST_F(PlatformDirectDraw, FlipExchangesTheMemoryOfTheTwoSurfaces) {
    auto memory = [](IDirectDrawSurface* s) {
        const DDSURFACEDESC d = Locked(s);
        EXPECT_EQ(std::tuple(d.lPitch, d.dwWidth, d.dwHeight), std::tuple(1344, 640u, 480u));
        return d.lpSurface;
    };
    void *front = memory(PrimarySurface), *back = memory(BackSurface);
    const int flips = Backend().flips;
    ASSERT_EQ(PrimarySurface->Flip(nullptr, 0), DD_OK);
    EXPECT_EQ(std::tuple(memory(PrimarySurface), memory(BackSurface), Backend().flips),
              std::tuple(back, front, flips + 1));
    EXPECT_EQ(plat::Front().pixels, back);
    ASSERT_EQ(PrimarySurface->Flip(BackSurface, DDFLIP_WAIT), DD_OK);  // the back buffer named
    EXPECT_EQ(BackSurface->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(PrimarySurface->Flip(src, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(PrimarySurface->Flip(nullptr, 0x8), DDERR_INVALIDPARAMS);
    Locked(BackSurface, [](const DDSURFACEDESC&) {
        EXPECT_EQ(PrimarySurface->Flip(nullptr, 0), DDERR_SURFACEBUSY);
    });
    EXPECT_EQ(std::pair(memory(PrimarySurface), Backend().flips), std::pair(front, flips + 2));
}

// Changes to a 4 x 4 offscreen surface's description and what CreateSurface answers; a
// refusal hands out no surface, and a new surface is black. The largest side is 16384.
TEST_F(PlatformDirectDraw, CreateSurface) {
    const std::pair<void (*)(DDSURFACEDESC&), HRESULT> cases[] = {
        {[](DDSURFACEDESC&) {}, DD_OK},
        {[](DDSURFACEDESC& d) { d.dwWidth = 0; }, DDERR_INVALIDPARAMS},
        {[](DDSURFACEDESC& d) { d.dwHeight = 0xFFFFFFFFu; }, DDERR_INVALIDPARAMS},
        {[](DDSURFACEDESC& d) { d.dwWidth = 16384; }, DD_OK},
        {[](DDSURFACEDESC& d) { d.dwHeight = 16385; }, DDERR_OUTOFMEMORY},
        {[](DDSURFACEDESC& d) { d.dwWidth = 0x7FFFFFFFu; }, DDERR_OUTOFMEMORY},
        {[](DDSURFACEDESC& d) { d.dwSize -= 4; }, DDERR_INVALIDPARAMS},
        {[](DDSURFACEDESC& d) { d.dwFlags &= ~DWORD{DDSD_CAPS}; }, DDERR_INVALIDPARAMS},
        {[](DDSURFACEDESC& d) { d.ddsCaps.dwCaps = 0; }, DDERR_INVALIDCAPS},
        {[](DDSURFACEDESC& d) { d.ddsCaps.dwCaps |= DDSCAPS_FLIP; }, DDERR_INVALIDCAPS}};
    for (auto [change, result] : cases) {
        DDSURFACEDESC desc = Offscreen();
        change(desc);
        IDirectDrawSurface* out = nullptr;
        EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr), result)
            << desc.dwWidth << desc.dwHeight;
        if (result != DD_OK || out == nullptr) {
            EXPECT_EQ(out, nullptr);
            continue;
        }
        EXPECT_EQ(All(out), Picture(int(desc.dwWidth), int(desc.dwHeight), 0));
        out->Release();
    }
    IDirectDrawSurface* out = nullptr;
    DDSURFACEDESC desc = Offscreen();
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, reinterpret_cast<IUnknown*>(&desc)),
              CLASS_E_NOAGGREGATION);
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
    DDSURFACEDESC desc = FlipChain();
    IDirectDrawSurface *out = nullptr, *second = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_NOCOOPERATIVELEVELSET);
    // A level with the full screen but not exclusive, an unknown flag, normal and exclusive at
    // once, exclusive without a window; then the modes other than the game's.
    for (auto [w, flags] : {std::pair{window, DWORD{0}},
                            {window, DWORD{DDSCL_FULLSCREEN}},
                            {window, kGameLevel | 0x100},
                            {window, DDSCL_NORMAL | DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE},
                            {HWND{}, kGameLevel}})
        EXPECT_EQ(dd->SetCooperativeLevel(w, flags), DDERR_INVALIDPARAMS) << flags;
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DDERR_NOCOOPERATIVELEVELSET)
        << "a refused level was set";
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DDERR_NOEXCLUSIVEMODE);
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(dd->SetCooperativeLevel(window, kGameLevel), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 32), DDERR_INVALIDMODE);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16), DD_OK);
    DDSURFACEDESC simple =
        Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP, 0, 0);
    EXPECT_EQ(dd->CreateSurface(&simple, &out, nullptr), DDERR_INVALIDCAPS);
    desc.dwBackBufferCount = 2;
    EXPECT_EQ(dd->CreateSurface(&desc, &out, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(plat::Front().pixels, nullptr) << "a refused primary became visible";
    desc = FlipChain();
    ASSERT_EQ(dd->CreateSurface(&desc, &out, nullptr), DD_OK);
    EXPECT_EQ(dd->CreateSurface(&desc, &second, nullptr), DDERR_PRIMARYSURFACEALREADYEXISTS);
    EXPECT_NE(plat::Front().pixels, nullptr);
    out->Release();
    EXPECT_EQ(plat::Front().pixels, nullptr) << "the released primary is still visible";
    EXPECT_EQ(dd->Release(), 0u);
    // DirectDrawCreate refuses a driver, an outer object and no out pointer, and hands out nothing.
    GUID driver{};
    LPDIRECTDRAW other = reinterpret_cast<LPDIRECTDRAW>(&driver);
    EXPECT_EQ(DirectDrawCreate(&driver, &other, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DirectDrawCreate(nullptr, &other, reinterpret_cast<IUnknown*>(&driver)),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(DirectDrawCreate(nullptr, nullptr, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(other, nullptr);
}

}  // namespace
