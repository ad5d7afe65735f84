// The SDL backend of the platform layer.
#pragma once

#define SDL_MAIN_HANDLED
#include <SDL.h>

#include "../core/gamepad.h"
#include "../core/pacer.h"
#include "../core/platform.h"
#include "../core/present.h"

#include <cstdio>
#include <map>
#include <string>

namespace sdl {

// Answers, in a short-lived child of this program, whether SDL's accelerated renderer stands on
// real graphics hardware. The answer goes to standard output; main runs it when the variable
// kProbeVariable is set.
constexpr const char* kProbeVariable = "ASPHALTIX_RENDER_PROBE";
int ProbeRenderer();
// Lets the backend ask the probe: only a program whose main answers it may (any other one
// would run itself again instead).
void AllowRendererProbe();

class Backend final : public plat::Backend, private plat::Clock {
public:
    Backend();
    ~Backend() override;
    void Close();

    bool CreateWindow(const char* title) override;
    void ScreenSize(int& width, int& height) override;
    void DestroyWindow() override;
    void PollInput() override;
    void WaitForInput() override;
    bool OpenDisplay() override;
    void AfterFlip() override;
    void FrontChanged() override;
    void Sleep(DWORD ms) override;
    void ShowMessageBox(const char* title, const char* text, UINT style) override;
    bool OpenAudio(plat::Mixer* mixer) override;

private:
    void CloseSoundAndRecording();
    int64_t NowNs() override;
    void SleepUntilNs(int64_t when) override;

    bool UseRenderer();
    bool MakeTarget();
    void Present();
    void Handle(const SDL_Event& event);
    bool HandleSystemKey(SDL_Keycode key);
    void ToggleFullScreen();
    void SetPaused(bool byPlayer, bool byFocus);
    void OpenController(int device);

    // Input to the game, and to the recording of it.
    void KeyDown(int vk, bool repeat, bool alt);
    void KeyUp(int vk, bool alt);
    void Activate(bool active);
    void Record(const std::string& line);

    bool videoUp_ = false;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;  // only where it stands on graphics hardware
    SDL_Texture* texture_ = nullptr;
    SDL_AudioDeviceID audio_ = 0;
    plat::Mixer* mixer_ = nullptr;

    plat::Presenter presenter_;
    plat::Pacer pacer_;
    bool fullScreen_ = true;
    bool wholeMultiples_ = false;
    int windowedWidth_ = 0;
    int windowedHeight_ = 0;
    bool framePending_ = false;  // a flip not yet shown
    bool frontChanged_ = false;  // a change of the visible surface not yet shown
    bool paused_ = false;        // by Alt+P
    bool unfocused_ = false;
    bool muted_ = false;

    plat::GamepadKeys pads_;
    std::map<SDL_JoystickID, SDL_GameController*> controllers_;

    long long flips_ = 0;
    std::FILE* recording_ = nullptr;
    long long presents_ = 0;
    Uint64 startTicks_ = 0;
};

}  // namespace sdl
