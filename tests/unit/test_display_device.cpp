// The display device: creation, release, the retry rule, locks, blits, flips, the on-screen test.
#include "../support/support.h"

#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testing_support;

namespace {

// A surface that answers a blit, fill or flip with DDERR_WASSTILLDRAWING `busy` times, then
// with `last`, then with DD_OK; it cannot be locked and has no pixel format.
class BusySurface final : public IDirectDrawSurface {
public:
    explicit BusySurface(int busy, HRESULT last = DDERR_SURFACEBUSY) : busy_(busy), last_(last) {}
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
        return calls <= busy_ ? DDERR_WASSTILLDRAWING : calls == busy_ + 1 ? last_ : DD_OK;
    }
    int busy_;
    HRESULT last_;
};

void ExpectVariables(bool directDraw, bool primary, bool back) {
    EXPECT_EQ(DirectDrawObject != nullptr, directDraw);
    EXPECT_EQ(PrimarySurface != nullptr, primary);
    EXPECT_EQ(BackSurface != nullptr, back);
}

// Release finds only what exists, before any Init, twice in a row, and after an Init that
// failed part way; Init reports each failure and releases nothing itself.
TEST(DisplayDevice, InitAndRelease) {
    DisplayDown();
    DisplayDevice.Release();
    DisplayDevice.Flip();  // the device's calls find nothing to act on
    DisplayDevice.ClearSurface(BackSurface);
    EXPECT_FALSE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    EXPECT_FALSE(DisplayDevice.UnlockSurface(BackSurface));

    Backend().failDisplay = true;  // no DirectDraw at all
    EXPECT_FALSE(DisplayDevice.Init(GameWindow()));
    Backend().failDisplay = false;
    ExpectVariables(false, false, false);
    EXPECT_FALSE(DisplayDevice.Init(nullptr));  // no window: no exclusive level
    ExpectVariables(true, false, false);
    DisplayDevice.Release();
    ExpectVariables(false, false, false);

    EXPECT_TRUE(DisplayDevice.Init(GameWindow()));
    ExpectVariables(true, true, true);
    DisplayDevice.Release();
    ExpectVariables(false, false, false);
}

// Clear, blit and flip repeat a call while it answers DDERR_WASSTILLDRAWING, and only then.
TEST(DisplayDevice, RetriesWhileTheBlitterIsBusy) {
    LPDIRECTDRAWSURFACE primary = PrimarySurface;
    LPDIRECTDRAWSURFACE back = BackSurface;
    RECT r{0, 0, 1, 1};
    for (int busy : {0, 3}) {
        BusySurface clear(busy), flip(busy), blit(busy);
        DisplayDevice.ClearSurface(&clear);
        PrimarySurface = &flip;
        DisplayDevice.Flip();
        BackSurface = &blit;
        DisplayDevice.BlitToBack(0, 0, &blit, &r, DDBLTFAST_NOCOLORKEY);
        PrimarySurface = primary;
        BackSurface = back;
        EXPECT_EQ(clear.calls, busy + 1);
        EXPECT_EQ(flip.calls, busy + 1);
        EXPECT_EQ(blit.calls, busy + 1);
    }
}

TEST(DisplayDevice, IsOnScreenExcludesColumnZeroAndRowZero) {
    for (auto [x, y] : {std::pair{1, 1}, {639, 479}}) EXPECT_TRUE(DisplayDevice.IsOnScreen(x, y));
    for (auto [x, y] : {std::pair{0, 5}, {5, 0}, {640, 5}, {5, 480}, {-1, 5}, {5, -1}}) {
        EXPECT_FALSE(DisplayDevice.IsOnScreen(x, y)) << x << "," << y;
    }
}

// A lock fills the shared description; a failed one leaves it zero but for its size.
TEST(DisplayDevice, LockSurface) {
    DisplayUp();
    ASSERT_TRUE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    EXPECT_NE(LockDesc.lpSurface, nullptr);
    EXPECT_GE(LockDesc.lPitch, 1280);
    EXPECT_TRUE(DisplayDevice.UnlockSurface(BackSurface));
    EXPECT_FALSE(DisplayDevice.UnlockSurface(BackSurface));
    BusySurface busy(0);  // it cannot be locked and has no pixel format
    std::memset(&LockDesc, 0xAB, sizeof LockDesc);
    EXPECT_FALSE(DisplayDevice.LockSurface(&busy, &LockDesc));
    DDSURFACEDESC empty;
    std::memset(&empty, 0, sizeof empty);
    empty.dwSize = sizeof empty;
    EXPECT_EQ(std::memcmp(&LockDesc, &empty, sizeof empty), 0);
    // Colour tables cannot be built from it; the old ones stay.
    uint32_t* block = DisplayDevice.tableBlock;
    EXPECT_FALSE(DisplayDevice.BuildColourTables(&busy));
    EXPECT_EQ(DisplayDevice.tableBlock, block);
    DisplayDown();
}

// One frame as the game makes it: clear, blits, flip. Nothing is clipped, so a rectangle that
// does not fit is not drawn at all.
TEST(DisplayDevice, ClearBlitAndFlip) {
    DisplayUp();
    IDirectDrawSurface* picture = MakeSurface(8, 4);
    ASSERT_NE(picture, nullptr);
    FillSurface(picture, 0x1234);
    FillSurface(BackSurface, 0xFFFF);
    DisplayDevice.ClearSurface(BackSurface);
    RECT r{2, 1, 6, 3};
    for (auto [x, y] : {std::pair{630, 470}, {637, 10}, {-1, 10}, {10, 479}}) {
        DisplayDevice.BlitToBack(x, y, picture, &r, DDBLTFAST_NOCOLORKEY);
    }
    DisplayDevice.BlitToBack(0, 0, nullptr, &r, DDBLTFAST_NOCOLORKEY);  // a picture that failed to load
    int flips = Backend().flips;
    DisplayDevice.Flip();
    EXPECT_EQ(Backend().flips, flips + 1);
    // The front is black but for the 4 x 2 rectangle at (630, 470).
    ASSERT_TRUE(DisplayDevice.LockSurface(PrimarySurface, &LockDesc));
    int wrong = 0;
    for (int y = 0; y < 480; ++y) {
        const auto* row = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(LockDesc.lpSurface) +
                                                            y * LockDesc.lPitch);
        for (int x = 0; x < 640; ++x) {
            wrong += row[x] != (x >= 630 && x < 634 && y >= 470 && y < 472 ? 0x1234 : 0);
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(DisplayDevice.UnlockSurface(PrimarySurface));
    // A flip while the back buffer is locked is refused and not repeated.
    ASSERT_TRUE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    DisplayDevice.Flip();
    EXPECT_EQ(Backend().flips, flips + 1);
    EXPECT_TRUE(DisplayDevice.UnlockSurface(BackSurface));
    picture->Release();
    DisplayDown();
}

}  // namespace
