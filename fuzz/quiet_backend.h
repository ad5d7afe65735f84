// A backend that does nothing and waits for nothing, for the fuzz targets: they need a
// window, a display and the mixer, and no real screen, keyboard or clock.
#pragma once

#include "../platform/core/platform.h"

class QuietBackend final : public plat::Backend {
public:
    bool CreateWindow(const char*) override { return true; }
    void ScreenSize(int& width, int& height) override {
        width = plat::kScreenWidth;
        height = plat::kScreenHeight;
    }
    bool ActivateOnShow() override { return true; }
    void DestroyWindow() override {}
    void PollInput() override {}
    void WaitForInput() override {}
    bool OpenDisplay() override { return true; }
    plat::PixelFormat DisplayFormat() override { return plat::kFormat565; }
    void BeforeFlip() override {}
    void AfterFlip() override {}
    void FrontChanged() override {}
    void Sleep(DWORD) override {}
    void ShowMessageBox(const char*, const char*, UINT) override {}
    bool OpenAudio(plat::Mixer*) override { return true; }
    void SoundEvent(int, const char*, DWORD) override {}
    void MciCommand(const char*, MCIERROR) override {}
};
