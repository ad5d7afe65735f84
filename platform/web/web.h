// The web backend of the platform layer: the game in a browser tab, over Emscripten's HTML5
// interface and the page's own script (page.js).
#pragma once

#include "../core/gamepad.h"
#include "../core/pacer.h"
#include "../core/platform.h"
#include "../core/present.h"

#include <emscripten/html5.h>

#include <cstdint>
#include <set>
#include <vector>

namespace web {

class Backend final : public plat::Backend, private plat::Clock {
public:
    Backend();

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

    // WinMain returned: the page says so.
    void Ended(int code);

private:
    // What the page's events leave for the next look into the message queue.
    struct Event {
        enum class Kind { kKeyDown, kKeyUp, kPause, kFocus, kBlur, kShown, kHidden, kResize };
        Kind kind;
        int vk = 0;
        bool repeat = false;
        bool alt = false;
    };

    static EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* event, void* self);
    static EM_BOOL OnFocus(int type, const EmscriptenFocusEvent* event, void* self);
    static EM_BOOL OnVisibility(int type, const EmscriptenVisibilityChangeEvent* event, void* self);
    static EM_BOOL OnResize(int type, const EmscriptenUiEvent* event, void* self);
    bool Key(int type, const EmscriptenKeyboardEvent& event);

    int64_t NowNs() override;
    void SleepUntilNs(int64_t when) override;
    void Yield(int ms);

    void MakeTarget();
    void Present();
    void Handle(const Event& event);
    void SetPaused(bool byPlayer);
    void ReadGamepads();
    void RunSilentMixer();

    bool windowUp_ = false;
    std::vector<Event> events_;
    std::vector<Event> due_;  // the events being handled, kept for its capacity

    plat::Presenter presenter_;
    std::vector<uint32_t> pixels_;
    int targetWidth_ = 0;
    int targetHeight_ = 0;

    plat::Pacer pacer_;
    bool yielded_ = false;       // the browser had its turn since the last frame
    double frameStart_ = 0;      // ms, when the game's current frame began
    bool framePending_ = false;  // a flip not yet shown
    bool frontChanged_ = false;  // a change of the visible surface not yet shown

    bool paused_ = false;  // by Alt+P
    bool hidden_ = false;  // the tab is not shown
    bool blurred_ = false;
    bool inactive_ = false;  // deactivated by any of them
    bool muted_ = false;

    plat::Mixer* mixer_ = nullptr;
    double silentUntil_ = 0;  // ms: the mix rendered unheard up to here
    std::vector<int16_t> silent_;

    plat::GamepadKeys pads_;
    std::set<int> padsSeen_;
};

}  // namespace web
