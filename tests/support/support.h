// Test support: an in-process backend for the platform layer, helpers that bring the game's
// display up and down, a copy of the race's generator, a stand-in surface, a fixture with the
// game's state at its start, and a runner for the headless program. It brings in the game's
// headers for the tests.
#pragma once

#include "../../platform/core/mixer.h"
#include "../../platform/core/platform.h"
#include "../../src/app/app.h"
#include "../../src/assets/assets.h"
#include "../../src/audio/sound.h"
#include "../../src/display/display.h"
#include "../../src/display/font.h"
#include "../../src/game/race.h"
#include "../../src/game/random.h"
#include "../conformance/riff.h"
#include "../conformance/sized.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// A backend that records what the game did and lets a test feed input; the rest is the
// defaults of plat::Backend.
class TestBackend final : public plat::Backend {
public:
    void DestroyWindow() override { log.push_back("destroy"); }
    void PollInput() override;
    void WaitForInput() override;
    bool OpenDisplay() override { return !failDisplay; }
    plat::PixelFormat DisplayFormat() override { return format; }
    void AfterFlip() override { ++flips, log.push_back("flip"); }
    void Sleep(DWORD ms) override { log.push_back("sleep " + std::to_string(ms)); }
    void ShowMessageBox(const char* title, const char* text, UINT style) override;
    bool OpenAudio(plat::Mixer* m) override { return mixer = m, !failAudio; }
    void SoundEvent(int buffer, const char* what, DWORD value) override;
    void MciCommand(const char* command, MCIERROR result) override;

    // Clears the record and the failure switches.
    void Reset();

    bool failDisplay = false, failAudio = false;
    plat::PixelFormat format = plat::kFormat565;
    std::vector<std::string> log;
    int flips = 0;
    plat::Mixer* mixer = nullptr;
    // Input handed to the core at the next poll, one entry per poll.
    std::vector<std::function<void()>> pending;
};

TestBackend& Backend();

// The log's lines that start (with keep = false: that do not start) with one of the prefixes.
inline std::vector<std::string> Only(const std::vector<std::string>& log,
                                     std::initializer_list<const char*> prefixes,
                                     bool keep = true) {
    std::vector<std::string> out;
    for (const auto& line : log) {
        bool match = false;
        for (const char* p : prefixes) match = match || line.rfind(p, 0) == 0;
        if (match == keep) out.push_back(line);
    }
    return out;
}
inline std::vector<std::string> Without(const std::vector<std::string>& log,
                                        std::initializer_list<const char*> prefixes = {"sound ",
                                                                                       "shot "}) {
    return Only(log, prefixes, false);
}

// The game's window, created once for the whole test program.
HWND GameWindow();
// Brings the display device up in the given format, with its colour tables built.
void DisplayUp(plat::PixelFormat format = plat::kFormat565);
void DisplayDown();

using Pixels = std::vector<uint16_t>;
// Runs `visit` on each 16-bit pixel of a surface's top left `width` x `height` corner, under
// one lock; fails the test if the surface cannot be locked or unlocked.
void EachPixel(IDirectDrawSurface* surface, int width, int height,
               const std::function<void(int x, int y, uint16_t& pixel)>& visit);
// The pixels of that corner, row by row; one pixel of a surface.
Pixels SurfacePixels(IDirectDrawSurface* surface, int width, int height);
uint16_t SurfacePixel(IDirectDrawSurface* surface, int x, int y);
// Fills a whole surface with one 16-bit value through a colour fill.
void FillSurface(IDirectDrawSurface* surface, uint16_t value);
// A new offscreen surface of the display's format, each pixel pixel(x, y) when that is given;
// fails the test if it cannot be made.
IDirectDrawSurface* MakeSurface(int width, int height,
                                const std::function<uint16_t(int, int)>& pixel = nullptr);

// The 5-6-5 pixel the game's colour tables make of an RGB colour.
uint16_t Pack565(int r, int g, int b);

// The race's generator, copied: steps `state` as the game does and gives R%n.
int32_t Draw(uint32_t& state, int32_t n);
// One expected draw: R%n and what its value must satisfy.
struct Want {
    int32_t n;
    std::function<bool(int32_t)> fits;
};
inline Want Is(int32_t n, int32_t value) {
    return {n, [value](int32_t r) { return r == value; }};
}
inline Want Any(int32_t n) {
    return {n, [](int32_t) { return true; }};
}
// A generator state whose next draws come out as wanted.
uint32_t StateFor(const std::vector<Want>& draws);
// The state `count` draws after `state`.
uint32_t After(uint32_t state, size_t count);

// Little-endian bytes of a number; a RIFF chunk, with its pad byte when its size is odd; a
// RIFF form.
using riff::Chunk;
using riff::Le;
using riff::Riff;
// The left side of the next frames of the mix, after checking that the right is the same.
std::vector<int16_t> MixLeft(int frames);
// A sound buffer's status.
DWORD SoundStatus(IDirectSoundBuffer* buffer);

// A stand-in surface. Blits, fills and flips answer DDERR_WASSTILLDRAWING `busy` times, then
// DDERR_SURFACEBUSY once, then DD_OK, counting the calls. A lock hands out `memory` with
// `bits` bits a pixel, or fails when there is none; it has no DC and no pixel format.
class FakeSurface final : public IDirectDrawSurface {
public:
    explicit FakeSurface(int busyCalls = 0, void* pixels = nullptr, DWORD pixelBits = 16)
        : busy(busyCalls), memory(pixels), bits(pixelBits) {}
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
    HRESULT Lock(LPRECT, LPDDSURFACEDESC desc, DWORD, HANDLE) override;
    HRESULT ReleaseDC(HDC) override { return DDERR_NODC; }
    HRESULT SetColorKey(DWORD, LPDDCOLORKEY) override { return DDERR_UNSUPPORTED; }
    HRESULT Unlock(LPVOID) override { return memory != nullptr ? DD_OK : DDERR_NOTLOCKED; }

    int busy, calls = 0;
    void* memory;
    DWORD bits;

private:
    HRESULT Answer() {
        return ++calls <= busy     ? DDERR_WASSTILLDRAWING
               : calls == busy + 1 ? DDERR_SURFACEBUSY
                                   : DD_OK;
    }
};

// The game's state as the program starts it, on the headless display, with the curtain open,
// the keys up, no messages waiting, and no pictures or sounds but those a test makes (released
// at its end, when the game's own come back).
class GameTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Takes away every waiting message (or, with `dispatch`, hands it to the window procedure
    // as the main loop does).
    static void Pump(bool dispatch = false);

private:
    // Exchanges the game's pictures and sounds with the ones kept aside, and puts the state back
    // to the start.
    void Swap();
    IDirectDrawSurface* pictures_[4] = {};
    IDirectSoundBuffer* sounds_[10] = {};
};

// Runs asphaltix-headless with the arguments in the game's data folder (or `dir`),
// returning its exit status, its log's lines and what it wrote to stderr.
struct HeadlessRun {
    int status = -1;
    std::vector<std::string> log;
    std::string stderrText;
};
HeadlessRun RunHeadless(const std::vector<std::string>& args, const std::string& script = "",
                        const std::string& dir = "");
// A PNG written by the runner, as RGB bytes.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    // The colour at (x, y) as 0xRRGGBB.
    uint32_t At(int x, int y) const;
};
Picture ReadPng(const std::string& path);
// A fresh empty folder under the test's temporary area.
std::string TempDir(const std::string& name);
// A whole file's bytes (none when it cannot be read).
std::string ReadFile(const std::string& path);
// The folder that holds the game's data files.
std::string GameDir();

// The widened colour the headless picture shows for an RGB colour drawn by the game in 5-6-5.
uint32_t Shown565(int r, int g, int b);

}  // namespace testing_support
