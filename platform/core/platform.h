// The platform core's own interface: what a backend supplies (window, input,
// presentation, time, message boxes, audio output) and what the core offers the
// backends, the runners and the tests. The game never includes this file.
#pragma once

#include <ddraw.h>
#include <dsound.h>
#include <mmsystem.h>
#include <windows.h>

#include <cstdint>
#include <string>

namespace plat {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;

struct PixelFormat {
    uint32_t red;
    uint32_t green;
    uint32_t blue;
};
constexpr PixelFormat kFormat565{0xF800, 0x07E0, 0x001F};
constexpr PixelFormat kFormat555{0x7C00, 0x03E0, 0x001F};

// A view of the visible picture: 640 x 480 16-bit pixels, `pitch` bytes apart.
struct FrontView {
    const uint8_t* pixels = nullptr;  // null when there is no front surface
    int pitch = 0;
    PixelFormat format{};
};

class Mixer;

// What a backend supplies. Every operation but WaitForInput has a do-nothing default: a
// backend without a screen, keyboard, clock or sound device overrides only what it has.
class Backend {
public:
    virtual ~Backend() = default;

    // Window. CreateWindow answers whether CreateWindowExA succeeds.
    virtual bool CreateWindow(const char* /*title*/) { return true; }
    virtual void ScreenSize(int& width, int& height) {
        width = kScreenWidth;
        height = kScreenHeight;
    }
    // Whether showing the window activates the application.
    virtual bool ActivateOnShow() { return true; }
    virtual void DestroyWindow() {}

    // Input: deliver what is due to the core (KeyDown, Activate, ...) without blocking;
    // WaitForInput blocks until something has been delivered. It has no default: one that
    // returned with nothing delivered would leave GetMessageA spinning.
    virtual void PollInput() {}
    virtual void WaitForInput() = 0;

    // Display. OpenDisplay answers whether DirectDrawCreate succeeds.
    virtual bool OpenDisplay() { return true; }
    virtual PixelFormat DisplayFormat() { return kFormat565; }
    // Called when the game calls Flip on the primary surface, before and after the exchange.
    virtual void BeforeFlip() {}
    virtual void AfterFlip() {}
    // The game drew onto the visible surface outside a flip.
    virtual void FrontChanged() {}

    virtual void Sleep(DWORD /*ms*/) {}
    virtual void ShowMessageBox(const char* /*title*/, const char* /*text*/, UINT /*style*/) {}

    // Audio. OpenAudio answers whether DirectSoundCreate succeeds and hands over the mixer
    // that the backend is to drive.
    virtual bool OpenAudio(Mixer* /*mixer*/) { return true; }
    // Lets the backend note the calls made on sound buffers (index counted from 0).
    virtual void SoundEvent(int /*buffer*/, const char* /*what*/, DWORD /*value*/) {}
    virtual void MciCommand(const char* /*command*/, MCIERROR /*result*/) {}
};

// Installs the backend every platform call goes to. Must be called before WinMain.
void Install(Backend* backend);
Backend& Current();

// Input delivered by a backend.
void KeyDown(int vk, bool repeat, bool alt);
void KeyUp(int vk, bool alt);
void ReleaseAllKeys();
void Activate(bool active);
void RequestClose();

// The visible picture, for presentation and screenshots.
FrontView Front();

// Widening of a 16-bit pixel to 8-bit components by bit replication.
void PixelToRgb(uint16_t pixel, const PixelFormat& format, uint8_t rgb[3]);

}  // namespace plat
