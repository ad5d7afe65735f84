// The platform's DirectDraw where tests/conformance, which holds for Windows too, says nothing:
// the calls it refuses and that a refusal draws nothing, blits within one surface, a locked
// surface, the flip's exchange of memory and what the backend shows, surface creation and the
// cooperative level.
#include "../support/support.h"

#include <tuple>

using namespace testing_support;

namespace {

constexpr DWORD kGameLevel =
    DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX;

DDSURFACEDESC Desc(DWORD flags, DWORD caps, DWORD width = 4, DWORD height = 4) {
    DDSURFACEDESC desc = Sized<DDSURFACEDESC>();
    desc.dwFlags = flags, desc.dwWidth = width, desc.dwHeight = height, desc.ddsCaps.dwCaps = caps;
    desc.dwBackBufferCount = 1;
    return desc;
}
DDSURFACEDESC FlipChain() {
    return Desc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX, 0, 0);
}

// The memory and pitch of a lock.
std::pair<void*, LONG> Memory(IDirectDrawSurface* s) {
    DDSURFACEDESC d = Sized<DDSURFACEDESC>();
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    return {d.lpSurface, d.lPitch};
}

class PlatformDirectDraw : public ::testing::Test {
protected:
    void SetUp() override { DisplayUp(); }
    void TearDown() override {
        for (IDirectDrawSurface* s : made_) s->Release();
        DisplayUp();
    }
    IDirectDrawSurface* Make(int width, int height, uint16_t fill) {
        IDirectDrawSurface* s = MakeSurface(width, height);
        if (s != nullptr) FillSurface(s, fill), made_.push_back(s);
        return s;
    }
    std::vector<IDirectDrawSurface*> made_;
};

// Refused blits, fills, keys and locks change nothing; a fill stores the pixel's 16 bits; within
// one surface, keyed or not, overlapping rectangles come out as if read from a copy.
TEST_F(PlatformDirectDraw, RefusalsDrawNothingAndOverlappingBlitsReadACopy) {
    IDirectDrawSurface *src = Make(8, 1, 0x1111), *dst = Make(8, 1, 0x2222);
    ASSERT_TRUE(src != nullptr && dst != nullptr);
    DDCOLORKEY key{0x1111, 0x1111}, inverted{0x2000, 0x1000};
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_DESTCOLORKEY), DDERR_UNSUPPORTED);
    EXPECT_EQ(dst->BltFast(0, 0, nullptr, nullptr, 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(src->SetColorKey(DDCKEY_DESTBLT, &key), DDERR_UNSUPPORTED);
    EXPECT_EQ(src->SetColorKey(DDCKEY_SRCOVERLAY, &key), DDERR_UNSUPPORTED);
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(src->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &inverted), DDERR_INVALIDPARAMS);
    ASSERT_EQ(src->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK);  // the key removed
    EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
    DDBLTFX fx = Sized<DDBLTFX>(), large = fx;
    large.dwSize += 4, fx.dwFillColor = 0x12345678;
    RECT empty{3, 0, 3, 1};
    EXPECT_EQ(dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &large), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dst->Blt(nullptr, nullptr, nullptr, 0, &fx), DDERR_UNSUPPORTED);
    EXPECT_EQ(dst->Blt(&empty, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
    EXPECT_EQ(SurfacePixels(dst, 8, 1), Pixels(8, 0x2222)) << "a refused call drew";
    EXPECT_EQ(dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(SurfacePixels(dst, 8, 1), Pixels(8, 0x5678));

    IDirectDrawSurface* row = Make(16, 1, 0);
    DDCOLORKEY unused{0xFFFF, 0xFFFF};
    ASSERT_EQ(row->SetColorKey(DDCKEY_SRCBLT, &unused), DD_OK);
    for (DWORD flags :
         {DWORD{DDBLTFAST_NOCOLORKEY}, DWORD{DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT}}) {
        EachPixel(row, 16, 1, [](int x, int, uint16_t& pixel) { pixel = uint16_t(x + 1); });
        RECT left{0, 0, 8, 1};
        EXPECT_EQ(row->BltFast(2, 0, row, &left, flags), DD_OK);
        EXPECT_EQ(SurfacePixels(row, 16, 1),
                  (Pixels{1, 2, 1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16}));
    }
}

// A locked surface can be neither blitted to or from nor filled; a malformed lock locks nothing.
TEST_F(PlatformDirectDraw, ALockedSurfaceIsBusyAndAMalformedLockLocksNothing) {
    IDirectDrawSurface *s = Make(8, 3, 0), *other = Make(8, 3, 0);
    DDSURFACEDESC desc = Sized<DDSURFACEDESC>(), wrong = desc;
    wrong.dwSize -= 4;
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    RECT corner{0, 0, 4, 3};
    EXPECT_EQ(other->BltFast(0, 0, s, &corner, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->BltFast(0, 0, other, &corner, 0), DDERR_SURFACEBUSY);
    DDBLTFX fx = Sized<DDBLTFX>();
    EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACEBUSY);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(s->Lock(nullptr, &wrong, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Lock(nullptr, nullptr, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Lock(nullptr, &desc, 0x100, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED) << "a refused lock locked";
}

// A page flip, not a copy: the two surfaces exchange their memory, whose rows are 1344 bytes
// apart; the visible picture is the front surface's. Refused flips neither exchange nor show.
TEST_F(PlatformDirectDraw, FlipExchangesTheMemoryOfTheTwoSurfaces) {
    const auto [front, pitch] = Memory(PrimarySurface);
    void* back = Memory(BackSurface).first;
    EXPECT_EQ(pitch, 1344);
    const int flips = Backend().flips;
    ASSERT_EQ(PrimarySurface->Flip(nullptr, 0), DD_OK);
    EXPECT_EQ(std::tuple(Memory(PrimarySurface).first, Memory(BackSurface).first, Backend().flips),
              std::tuple(back, front, flips + 1));
    EXPECT_EQ(plat::Front().pixels, back);
    ASSERT_EQ(PrimarySurface->Flip(BackSurface, DDFLIP_WAIT), DD_OK);  // the back buffer named
    EXPECT_EQ(BackSurface->Flip(nullptr, 0), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(PrimarySurface->Flip(Make(4, 4, 0), 0), DDERR_INVALIDPARAMS);
    EXPECT_EQ(PrimarySurface->Flip(nullptr, 0x8), DDERR_INVALIDPARAMS);
    DDSURFACEDESC d = Sized<DDSURFACEDESC>();
    ASSERT_EQ(BackSurface->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(PrimarySurface->Flip(nullptr, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(BackSurface->Unlock(nullptr), DD_OK);
    EXPECT_EQ(std::pair(Memory(PrimarySurface).first, Backend().flips),
              std::pair(front, flips + 2));
}

// Changes to a 4 x 4 offscreen surface's fields and what CreateSurface answers; a refusal hands
// out no surface, and a new surface is black. The largest side is 16384.
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
    const DDSURFACEDESC offscreen =
        Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN);
    for (auto [change, result] : cases) {
        DDSURFACEDESC desc = offscreen;
        change(desc);
        IDirectDrawSurface* out = nullptr;
        EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &out, nullptr), result)
            << desc.dwWidth << desc.dwHeight;
        if (result != DD_OK || out == nullptr) {
            EXPECT_EQ(out, nullptr);
            continue;
        }
        EXPECT_EQ(SurfacePixel(out, int(desc.dwWidth) - 1, 3), 0);
        out->Release();
    }
    IDirectDrawSurface* out = nullptr;
    DDSURFACEDESC desc = offscreen;
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
