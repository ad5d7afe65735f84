// The SDL backend of the platform layer.
#pragma once

#define SDL_MAIN_HANDLED
#include <SDL.h>

#include "../core/platform.h"

namespace sdl {

class Backend final : public plat::Backend {
public:
    ~Backend() override;
    void Close();

    bool CreateWindow(const char* title) override;
    void ScreenSize(int& width, int& height) override;
    bool ActivateOnShow() override;
    void DestroyWindow() override;
    void PollInput() override;
    void WaitForInput() override;
    bool OpenDisplay() override;
    plat::PixelFormat DisplayFormat() override;
    void BeforeFlip() override;
    void AfterFlip() override;
    void FrontChanged() override;
    void Sleep(DWORD ms) override;
    void ShowMessageBox(const char* title, const char* text, UINT style) override;
    bool OpenAudio(plat::Mixer* mixer) override;
    void SoundEvent(int buffer, const char* what, DWORD value) override;
    void MciCommand(const char* command, MCIERROR result) override;

private:
    void Handle(const SDL_Event& event);
    void Present();

    bool videoUp_ = false;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    SDL_AudioDeviceID audio_ = 0;
    Uint64 deadline_ = 0;
};

}  // namespace sdl
