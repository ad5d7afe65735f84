// The display device: creation, release, the retry rule, the on-screen test.
#include "../support/support.h"

#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace testing_support;

namespace {

// A surface that answers DDERR_WASSTILLDRAWING a number of times before it gives in.
class BusySurface final : public IDirectDrawSurface {
public:
    explicit BusySurface(int busy) : busy_(busy) {}
    int calls = 0;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 0; }
    HRESULT Blt(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDBLTFX) override { return Answer(); }
    HRESULT BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) override { return Answer(); }
    HRESULT Flip(LPDIRECTDRAWSURFACE, DWORD) override { return Answer(); }
    HRESULT GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE*) override { return DDERR_NOTFOUND; }
    HRESULT GetDC(HDC*) override { return DDERR_CANTCREATEDC; }
    HRESULT GetPixelFormat(LPDDPIXELFORMAT) override { return DDERR_INVALIDPARAMS; }
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC) override { return DDERR_INVALIDPARAMS; }
    HRESULT Lock(LPRECT, LPDDSURFACEDESC, DWORD, HANDLE) override { return DDERR_SURFACEBUSY; }
    HRESULT ReleaseDC(HDC) override { return DDERR_NODC; }
    HRESULT SetColorKey(DWORD, LPDDCOLORKEY) override { return DDERR_UNSUPPORTED; }
    HRESULT Unlock(LPVOID) override { return DDERR_NOTLOCKED; }

private:
    HRESULT Answer() {
        ++calls;
        return calls <= busy_ ? DDERR_WASSTILLDRAWING : DD_OK;
    }
    int busy_;
};

TEST(DisplayDevice, InitBuildsTheFlipChainAndReleaseEmptiesIt) {
    DisplayUp();
    EXPECT_NE(DirectDrawObject, nullptr);
    EXPECT_NE(PrimarySurface, nullptr);
    EXPECT_NE(BackSurface, nullptr);
    DisplayDevice.Release();
    EXPECT_EQ(DirectDrawObject, nullptr);
    EXPECT_EQ(PrimarySurface, nullptr);
    EXPECT_EQ(BackSurface, nullptr);
    DisplayDevice.Release();  // a second release finds nothing to release
    EXPECT_EQ(PrimarySurface, nullptr);
}

TEST(DisplayDevice, RetriesWhileTheBlitterIsBusy) {
    BusySurface busy(3);
    DisplayDevice.ClearSurface(&busy);
    EXPECT_EQ(busy.calls, 4);
}

TEST(DisplayDevice, LockThatFailsLeavesTheDescriptionEmpty) {
    BusySurface busy(0);
    DDSURFACEDESC desc;
    std::memset(&desc, 0xAB, sizeof desc);
    EXPECT_FALSE(DisplayDevice.LockSurface(&busy, &desc));
    EXPECT_EQ(desc.dwSize, sizeof(DDSURFACEDESC));
    EXPECT_EQ(desc.lpSurface, nullptr);
    EXPECT_EQ(desc.lPitch, 0);
}

TEST(DisplayDevice, IsOnScreenExcludesColumnZeroAndRowZero) {
    EXPECT_TRUE(DisplayDevice.IsOnScreen(1, 1));
    EXPECT_TRUE(DisplayDevice.IsOnScreen(639, 479));
    EXPECT_FALSE(DisplayDevice.IsOnScreen(0, 5));
    EXPECT_FALSE(DisplayDevice.IsOnScreen(5, 0));
    EXPECT_FALSE(DisplayDevice.IsOnScreen(640, 5));
    EXPECT_FALSE(DisplayDevice.IsOnScreen(5, 480));
    EXPECT_FALSE(DisplayDevice.IsOnScreen(-1, -1));
}

TEST(DisplayDevice, InitFailsWithoutDirectDraw) {
    DisplayDown();
    GameWindow();
    Backend().failDisplay = true;
    EXPECT_FALSE(DisplayDevice.Init(GameWindow()));
    Backend().failDisplay = false;
    EXPECT_EQ(DirectDrawObject, nullptr);
    EXPECT_EQ(PrimarySurface, nullptr);
    EXPECT_EQ(BackSurface, nullptr);
    DisplayDevice.Release();
    EXPECT_EQ(DirectDrawObject, nullptr);
}

TEST(DisplayDevice, PartialInitIsReleasedByRelease) {
    DisplayDown();
    GameWindow();
    // No window: the exclusive level is refused after the object was made.
    EXPECT_FALSE(DisplayDevice.Init(nullptr));
    EXPECT_NE(DirectDrawObject, nullptr);
    EXPECT_EQ(PrimarySurface, nullptr);
    EXPECT_EQ(BackSurface, nullptr);
    DisplayDevice.Release();
    EXPECT_EQ(DirectDrawObject, nullptr);

    // Another primary surface in the way: the flip chain is refused.
    LPDIRECTDRAW other = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &other, nullptr), DD_OK);
    ASSERT_EQ(other->SetCooperativeLevel(GameWindow(), DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface* primary = nullptr;
    ASSERT_EQ(other->CreateSurface(&desc, &primary, nullptr), DD_OK);
    EXPECT_FALSE(DisplayDevice.Init(GameWindow()));
    EXPECT_NE(DirectDrawObject, nullptr);
    EXPECT_EQ(PrimarySurface, nullptr);
    EXPECT_EQ(BackSurface, nullptr);
    DisplayDevice.Release();
    EXPECT_EQ(DirectDrawObject, nullptr);
    primary->Release();
    other->Release();

    // With the way clear it works again.
    DisplayUp();
    EXPECT_NE(BackSurface, nullptr);
    DisplayDown();
}

TEST(DisplayDevice, ReleaseBeforeInitIsHarmless) {
    DisplayDown();
    DisplayDevice.Release();
    DisplayDevice.Release();
    EXPECT_EQ(DirectDrawObject, nullptr);
    EXPECT_EQ(PrimarySurface, nullptr);
    EXPECT_EQ(BackSurface, nullptr);
    // The device's calls find nothing to act on.
    DisplayDevice.Flip();
    DisplayDevice.ClearSurface(BackSurface);
    EXPECT_FALSE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    EXPECT_FALSE(DisplayDevice.UnlockSurface(BackSurface));
}

TEST(DisplayDevice, ColourTablesNeedThePixelFormat) {
    BusySurface busy(0);  // its GetPixelFormat fails
    DisplayUp();
    uint32_t* block = DisplayDevice.tableBlock;
    EXPECT_FALSE(DisplayDevice.BuildColourTables(&busy));
    EXPECT_EQ(DisplayDevice.tableBlock, block);
    DisplayDown();
}

TEST(DisplayDevice, ClearSurfaceBlackensEveryPixel) {
    DisplayUp();
    FillSurface(BackSurface, 0xFFFF);
    DisplayDevice.ClearSurface(BackSurface);
    ASSERT_TRUE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    int lit = 0;
    for (int y = 0; y < 480; ++y) {
        const auto* row = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(LockDesc.lpSurface) +
                                                            y * LockDesc.lPitch);
        for (int x = 0; x < 640; ++x) lit += row[x] != 0;
    }
    EXPECT_EQ(lit, 0);
    EXPECT_TRUE(DisplayDevice.UnlockSurface(BackSurface));
    DisplayDown();
}

TEST(DisplayDevice, LockSurfaceFillsTheSharedDescription) {
    DisplayUp();
    std::memset(&LockDesc, 0xCD, sizeof LockDesc);
    ASSERT_TRUE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    EXPECT_EQ(LockDesc.dwSize, sizeof(DDSURFACEDESC));
    EXPECT_NE(LockDesc.lpSurface, nullptr);
    EXPECT_GE(LockDesc.lPitch, 1280);
    // A second lock fails and leaves the description empty.
    EXPECT_FALSE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    EXPECT_EQ(LockDesc.lpSurface, nullptr);
    EXPECT_EQ(LockDesc.lPitch, 0);
    EXPECT_EQ(LockDesc.dwSize, sizeof(DDSURFACEDESC));
    EXPECT_TRUE(DisplayDevice.UnlockSurface(BackSurface));
    EXPECT_FALSE(DisplayDevice.UnlockSurface(BackSurface));
    // The front surface is locked through the same description.
    ASSERT_TRUE(DisplayDevice.LockSurface(PrimarySurface, &LockDesc));
    EXPECT_NE(LockDesc.lpSurface, nullptr);
    EXPECT_TRUE(DisplayDevice.UnlockSurface(PrimarySurface));
    DisplayDown();
}

TEST(DisplayDevice, BlitToBackCopiesAtThePosition) {
    DisplayUp();
    IDirectDrawSurface* picture = MakeSurface(8, 4);
    ASSERT_NE(picture, nullptr);
    FillSurface(picture, 0x1234);
    FillSurface(BackSurface, 0x0000);
    RECT r{2, 1, 6, 3};
    DisplayDevice.BlitToBack(630, 470, picture, &r, DDBLTFAST_NOCOLORKEY);
    EXPECT_EQ(SurfacePixel(BackSurface, 630, 470), 0x1234);
    EXPECT_EQ(SurfacePixel(BackSurface, 633, 471), 0x1234);
    EXPECT_EQ(SurfacePixel(BackSurface, 634, 471), 0x0000);
    EXPECT_EQ(SurfacePixel(BackSurface, 630, 472), 0x0000);
    EXPECT_EQ(SurfacePixel(BackSurface, 629, 470), 0x0000);
    // Nothing is clipped: a rectangle that does not fit is not drawn at all.
    FillSurface(BackSurface, 0x0000);
    DisplayDevice.BlitToBack(637, 10, picture, &r, DDBLTFAST_NOCOLORKEY);
    DisplayDevice.BlitToBack(-1, 10, picture, &r, DDBLTFAST_NOCOLORKEY);
    DisplayDevice.BlitToBack(10, 479, picture, &r, DDBLTFAST_NOCOLORKEY);
    EXPECT_EQ(SurfacePixel(BackSurface, 637, 10), 0x0000);
    EXPECT_EQ(SurfacePixel(BackSurface, 639, 10), 0x0000);
    EXPECT_EQ(SurfacePixel(BackSurface, 0, 10), 0x0000);
    EXPECT_EQ(SurfacePixel(BackSurface, 10, 479), 0x0000);
    // A picture that failed to load has nothing to blit.
    DisplayDevice.BlitToBack(0, 0, nullptr, &r, DDBLTFAST_NOCOLORKEY);
    EXPECT_EQ(SurfacePixel(BackSurface, 0, 0), 0x0000);
    picture->Release();
    DisplayDown();
}

TEST(DisplayDevice, KeyedBlitToBackLeavesKeyedPixels) {
    DisplayUp();
    IDirectDrawSurface* sprite = MakeSurface(3, 1);
    ASSERT_NE(sprite, nullptr);
    FillSurface(sprite, 0x0FF0);
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    ASSERT_EQ(sprite->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    static_cast<uint16_t*>(desc.lpSurface)[1] = 0xF81F;
    ASSERT_EQ(sprite->Unlock(nullptr), DD_OK);
    DDCOLORKEY key{0xF81F, 0xF81F};
    ASSERT_EQ(sprite->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    FillSurface(BackSurface, 0x7777);
    RECT r{0, 0, 3, 1};
    DisplayDevice.BlitToBack(20, 30, sprite, &r, DDBLTFAST_SRCCOLORKEY);
    EXPECT_EQ(SurfacePixel(BackSurface, 20, 30), 0x0FF0);
    EXPECT_EQ(SurfacePixel(BackSurface, 21, 30), 0x7777);
    EXPECT_EQ(SurfacePixel(BackSurface, 22, 30), 0x0FF0);
    sprite->Release();
    DisplayDown();
}

TEST(DisplayDevice, FlipShowsTheBackBufferOncePerCall) {
    DisplayUp();
    FillSurface(BackSurface, 0x00FF);
    FillSurface(PrimarySurface, 0x0000);
    int flips = Backend().flips;
    DisplayDevice.Flip();
    EXPECT_EQ(Backend().flips, flips + 1);
    EXPECT_EQ(SurfacePixel(PrimarySurface, 320, 240), 0x00FF);
    EXPECT_EQ(SurfacePixel(BackSurface, 320, 240), 0x0000);
    // A flip while the back buffer is locked is refused and not repeated.
    ASSERT_TRUE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    DisplayDevice.Flip();
    EXPECT_EQ(Backend().flips, flips + 1);
    EXPECT_TRUE(DisplayDevice.UnlockSurface(BackSurface));
    DisplayDown();
}

TEST(DisplayDevice, FlipAndBlitRetryWhileBusy) {
    DisplayUp();
    LPDIRECTDRAWSURFACE primary = PrimarySurface;
    LPDIRECTDRAWSURFACE back = BackSurface;
    BusySurface busyFront(5);
    PrimarySurface = &busyFront;
    DisplayDevice.Flip();
    EXPECT_EQ(busyFront.calls, 6);
    BusySurface busyBack(2);
    BackSurface = &busyBack;
    RECT r{0, 0, 1, 1};
    DisplayDevice.BlitToBack(0, 0, &busyBack, &r, DDBLTFAST_NOCOLORKEY);
    EXPECT_EQ(busyBack.calls, 3);
    BusySurface idle(0);
    DisplayDevice.ClearSurface(&idle);
    EXPECT_EQ(idle.calls, 1);
    PrimarySurface = primary;
    BackSurface = back;
    DisplayDown();
}

}  // namespace
