// Test support: an in-process backend for the platform layer, helpers that bring the game's
// display up and down, and a runner for the headless program.
#pragma once

#include "../../platform/core/platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A backend that records what the game did and lets a test feed input.
class TestBackend final : public plat::Backend {
public:
    bool CreateWindow(const char*) override { return !failWindow; }
    void ScreenSize(int& w, int& h) override { w = 640; h = 480; }
    bool ActivateOnShow() override { return activateOnShow; }
    void DestroyWindow() override { log.push_back("destroy"); }
    void PollInput() override;
    void WaitForInput() override;
    bool OpenDisplay() override { return !failDisplay; }
    plat::PixelFormat DisplayFormat() override { return format; }
    void BeforeFlip() override {}
    void AfterFlip() override { ++flips; log.push_back("flip"); }
    void FrontChanged() override { ++frontChanges; }
    void Sleep(DWORD ms) override { log.push_back("sleep " + std::to_string(ms)); }
    void ShowMessageBox(const char* title, const char* text, UINT style) override;
    bool OpenAudio(plat::Mixer* m) override { mixer = m; return !failAudio; }
    void SoundEvent(int buffer, const char* what, DWORD value) override;
    void MciCommand(const char* command, MCIERROR result) override;

    // Clears the record and the failure switches.
    void Reset();
    // Lines of the record that start with `prefix`.
    std::vector<std::string> Lines(const std::string& prefix) const;

    bool failWindow = false;
    bool failDisplay = false;
    bool failAudio = false;
    bool activateOnShow = true;
    plat::PixelFormat format = plat::kFormat565;
    std::vector<std::string> log;
    int flips = 0;
    int frontChanges = 0;
    plat::Mixer* mixer = nullptr;
    // Input handed to the core at the next poll, one entry per poll.
    std::vector<std::function<void()>> pending;
};

TestBackend& Backend();

// The game's window, created once for the whole test program.
HWND GameWindow();
// Brings the display device up in the given format, with its colour tables built.
void DisplayUp(plat::PixelFormat format = plat::kFormat565);
void DisplayDown();

// Reads a 16-bit pixel of a surface (locks and unlocks it).
uint16_t SurfacePixel(IDirectDrawSurface* surface, int x, int y);
// Fills a whole surface with one 16-bit value through a lock.
void FillSurface(IDirectDrawSurface* surface, uint16_t value);
// A new offscreen surface of the display's format; fails the test if it cannot be made.
IDirectDrawSurface* MakeSurface(int width, int height);

// Runs asphaltix-headless with the arguments in the game's data folder (or `dir`),
// returning its exit status; the log's lines in `log` when `logLines` is given.
struct HeadlessRun {
    int status = -1;
    std::vector<std::string> log;
    std::string stderrText;
};
HeadlessRun RunHeadless(const std::vector<std::string>& args, const std::string& script = "",
                        const std::string& dir = "");
// A PNG written by the runner, as 640 x 480 RGB bytes.
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
// The folder that holds the game's data files.
std::string GameDir();

// The widened colour the headless picture shows for an RGB colour drawn by the game in 5-6-5.
uint32_t Shown565(int r, int g, int b);

}  // namespace testing_support
