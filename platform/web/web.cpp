// The web backend: the picture on the page's canvas, scaled sharply and shown once a frame at
// 60 frames a second, the page's keys and game controllers as window messages, sound through
// Web Audio, message boxes as a dialog on the page, and the player's extras: Alt+Enter for
// full screen, Alt+M mutes, Alt+P pauses. The game's own loop runs unchanged: its flips,
// sleeps and waits hand the browser its turn (ASYNCIFY).
#include "web.h"

#include "../core/keys.h"
#include "../core/mixer.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

// The page's side, in page.js.
extern "C" {
void asphaltix_page_put(const uint32_t* pixels, int width, int height, int x, int y, int w, int h);
void asphaltix_page_frame(double busyMs);
int asphaltix_page_open_audio(int rate, int frames);
void asphaltix_page_resume_audio();
int asphaltix_page_audio_running();
void asphaltix_page_full_screen();
void asphaltix_page_show_box(const char* title, const char* text);
int asphaltix_page_box_open();
void asphaltix_page_ended(int code);
}

namespace web {
namespace {

constexpr const char* kCanvas = "#canvas";
constexpr int kAudioFrames = 256;  // frames of one audio period, about 5 ms
// A wait for input looks again this often, so that held controller directions repeat.
constexpr int kWaitStepMs = 10;
constexpr int kWaitMs = 100;
constexpr int kBoxPollMs = 20;

plat::Mixer* g_mixer = nullptr;
std::vector<int16_t> g_period;

double NowMs() { return emscripten_get_now(); }

}  // namespace
}  // namespace web

// Called by the page's audio output for each period it plays.
extern "C" EMSCRIPTEN_KEEPALIVE const int16_t* asphaltix_render(int frames) {
    using web::g_period;
    if (frames <= 0) return nullptr;
    g_period.resize(static_cast<size_t>(frames) * 2);
    if (web::g_mixer != nullptr) {
        web::g_mixer->Render(g_period.data(), frames);  // writes every sample
    } else {
        std::fill(g_period.begin(), g_period.end(), int16_t{0});
    }
    return g_period.data();
}

namespace web {

Backend::Backend()
    : pacer_(*this), pads_([this](int vk, bool down, bool repeat) {
          // A controller is no keyboard: its keys never come with Alt.
          if (down) {
              if (!inactive_) plat::KeyDown(vk, repeat, false);
          } else {
              plat::KeyUp(vk, false);
          }
      }) {}

// ---------------------------------------------------------------------------------------
// The window and the picture

bool Backend::CreateWindow(const char* /*title*/) {
    if (windowUp_) return true;
    windowUp_ = true;
    const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
    emscripten_set_keydown_callback(window, this, true, OnKey);
    emscripten_set_keyup_callback(window, this, true, OnKey);
    emscripten_set_blur_callback(window, this, true, OnFocus);
    emscripten_set_focus_callback(window, this, true, OnFocus);
    emscripten_set_visibilitychange_callback(this, true, OnVisibility);
    emscripten_set_resize_callback(window, this, true, OnResize);
    MakeTarget();
    Present();
    return true;
}

// The canvas fills the page; its pixels are the screen's own, so that the sharp scaling
// decides every one of them, not the browser.
void Backend::MakeTarget() {
    double cssWidth = 0;
    double cssHeight = 0;
    emscripten_get_element_css_size(kCanvas, &cssWidth, &cssHeight);
    const double ratio = emscripten_get_device_pixel_ratio();
    const int width = std::max(1, static_cast<int>(std::lround(cssWidth * ratio)));
    const int height = std::max(1, static_cast<int>(std::lround(cssHeight * ratio)));
    if (width != targetWidth_ || height != targetHeight_) {
        targetWidth_ = width;
        targetHeight_ = height;
        emscripten_set_canvas_element_size(kCanvas, width, height);
        pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        presenter_.SetTarget(width, height, false);
    }
    presenter_.Invalidate();
}

void Backend::Present() {
    if (!windowUp_ || pixels_.empty()) return;
    // The canvas takes bytes in the order red, green, blue, alpha.
    plat::Presenter::Layout layout;
    layout.redShift = 0;
    layout.greenShift = 8;
    layout.blueShift = 16;
    layout.opaque = 0xFF000000u;
    const auto changed = presenter_.Draw(plat::Front(), pixels_.data(), targetWidth_ * 4, layout);
    for (const plat::Rect& r : changed) {
        asphaltix_page_put(pixels_.data(), targetWidth_, targetHeight_, r.x, r.y, r.width,
                           r.height);
    }
}

void Backend::ScreenSize(int& width, int& height) {
    width = targetWidth_ > 0 ? targetWidth_ : plat::kScreenWidth;
    height = targetHeight_ > 0 ? targetHeight_ : plat::kScreenHeight;
}

void Backend::DestroyWindow() { windowUp_ = false; }

bool Backend::OpenDisplay() { return windowUp_; }

void Backend::AfterFlip() { framePending_ = true; }

void Backend::FrontChanged() { frontChanged_ = true; }

// ---------------------------------------------------------------------------------------
// Time: every wait is the browser's turn.

int64_t Backend::NowNs() { return static_cast<int64_t>(NowMs() * 1e6); }

void Backend::SleepUntilNs(int64_t when) {
    const int64_t left = when - NowNs();
    if (left <= 0) return;
    // The browser's timers count whole milliseconds and never fire early.
    Yield(static_cast<int>((left + 999999) / 1000000));
}

void Backend::Yield(int ms) {
    emscripten_sleep(static_cast<unsigned>(std::max(ms, 0)));
    yielded_ = true;
}

void Backend::Sleep(DWORD ms) {
    if (framePending_ || frontChanged_) Present();
    framePending_ = frontChanged_ = false;
    Yield(static_cast<int>(std::min<DWORD>(ms, 1000000)));
    pacer_.Restart();
}

// ---------------------------------------------------------------------------------------
// Input, delivered only where the game looks into its message queue, between frames, as the
// SDL backend delivers it.

void Backend::PollInput() {
    if (!windowUp_) return;
    if (framePending_) {
        const double busy = NowMs() - frameStart_;
        yielded_ = false;
        pacer_.WaitForFrame();
        // The page is drawn and its events run only while the game waits.
        if (!yielded_) Yield(0);
        frameStart_ = NowMs();
        Present();
        asphaltix_page_frame(busy);
    } else if (frontChanged_) {
        Present();
    }
    framePending_ = frontChanged_ = false;
    due_.clear();
    due_.swap(events_);
    for (const Event& event : due_) Handle(event);
    ReadGamepads();
    pads_.Tick(static_cast<int64_t>(NowMs()));
    RunSilentMixer();
}

void Backend::WaitForInput() {
    if (!windowUp_) {
        PostQuitMessage(0);
        return;
    }
    if (framePending_ || frontChanged_) PollInput();
    for (int waited = 0; waited < kWaitMs && events_.empty(); waited += kWaitStepMs) {
        Yield(kWaitStepMs);
    }
    PollInput();
    pacer_.Restart();
}

EM_BOOL Backend::OnKey(int type, const EmscriptenKeyboardEvent* event, void* self) {
    return static_cast<Backend*>(self)->Key(type, *event) ? EM_TRUE : EM_FALSE;
}

// Answers whether the page's own handling of the key is to be prevented.
bool Backend::Key(int type, const EmscriptenKeyboardEvent& event) {
    if (asphaltix_page_box_open() != 0) return false;  // the message box has the keys
    const bool down = type == EMSCRIPTEN_EVENT_KEYDOWN;
    // Browsers start sound only after the player did something on the page.
    if (down) asphaltix_page_resume_audio();
    const int vk =
        plat::KeyFromBrowser(event.key, event.code, event.location == DOM_KEY_LOCATION_NUMPAD);
    const bool alt = event.altKey != 0;
    // Alt+Enter, Alt+M and Alt+P belong to the backend; the game never sees them. Full
    // screen is granted only within the key's own event.
    if (alt && down && vk != VK_MENU) {
        switch (vk) {
            case VK_RETURN:
                if (event.repeat == 0) asphaltix_page_full_screen();
                return true;
            case 'M':
                if (event.repeat == 0) {
                    muted_ = !muted_;
                    if (mixer_ != nullptr) mixer_->SetMuted(muted_);
                }
                return true;
            case 'P':
                if (event.repeat == 0) events_.push_back(Event{Event::Kind::kPause});
                return true;
            default: break;
        }
    }
    if (vk == 0) return false;
    Event e{down ? Event::Kind::kKeyDown : Event::Kind::kKeyUp};
    e.vk = vk;
    e.repeat = down && event.repeat != 0;
    e.alt = alt && vk != VK_MENU;
    events_.push_back(e);
    // The browser keeps its own shortcuts and function keys; arrows and Space must not
    // scroll, Alt must not open a menu.
    return event.ctrlKey == 0 && event.metaKey == 0 && !(vk >= VK_F1 && vk < VK_F1 + 12);
}

EM_BOOL Backend::OnFocus(int type, const EmscriptenFocusEvent*, void* self) {
    auto* backend = static_cast<Backend*>(self);
    backend->events_.push_back(
        Event{type == EMSCRIPTEN_EVENT_BLUR ? Event::Kind::kBlur : Event::Kind::kFocus});
    return EM_FALSE;
}

EM_BOOL Backend::OnVisibility(int, const EmscriptenVisibilityChangeEvent* event, void* self) {
    auto* backend = static_cast<Backend*>(self);
    backend->events_.push_back(
        Event{event->hidden != 0 ? Event::Kind::kHidden : Event::Kind::kShown});
    return EM_FALSE;
}

EM_BOOL Backend::OnResize(int, const EmscriptenUiEvent*, void* self) {
    static_cast<Backend*>(self)->events_.push_back(Event{Event::Kind::kResize});
    return EM_FALSE;
}

void Backend::Handle(const Event& event) {
    switch (event.kind) {
        case Event::Kind::kKeyDown:
            // A paused game sees no key.
            if (!inactive_) plat::KeyDown(event.vk, event.repeat, event.alt);
            break;
        case Event::Kind::kKeyUp: plat::KeyUp(event.vk, event.alt); break;
        case Event::Kind::kPause: SetPaused(!paused_); break;
        case Event::Kind::kBlur:
        case Event::Kind::kFocus:
            blurred_ = event.kind == Event::Kind::kBlur;
            SetPaused(paused_);
            break;
        case Event::Kind::kHidden:
        case Event::Kind::kShown:
            hidden_ = event.kind == Event::Kind::kHidden;
            SetPaused(paused_);
            break;
        case Event::Kind::kResize:
            MakeTarget();
            Present();
            break;
    }
}

// Pausing deactivates the game, as a hidden tab or a page without the focus does: it then
// waits. A notice shows over the last picture while either holds; coming back to the page
// does not end a pause the player asked for.
void Backend::SetPaused(bool byPlayer) {
    paused_ = byPlayer;
    const bool now = paused_ || hidden_ || blurred_;
    presenter_.SetNotice(now ? "PAUSED" : "");
    if (now != inactive_) plat::Activate(!now);
    inactive_ = now;
    Present();
}

// The browser's standard controller layout: buttons 0 to 3 are A, B, X and Y, 6 and 7 the
// left and right triggers, 9 Start, 12 to 15 the d-pad; axes 0 and 1 the left stick.
void Backend::ReadGamepads() {
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return;
    const auto now = static_cast<int64_t>(NowMs());
    std::set<int> present;
    const int count = emscripten_get_num_gamepads();
    for (int i = 0; i < count; ++i) {
        EmscriptenGamepadEvent pad;
        if (emscripten_get_gamepad_status(i, &pad) != EMSCRIPTEN_RESULT_SUCCESS) continue;
        if (pad.connected == 0 || std::strcmp(pad.mapping, "standard") != 0) continue;
        present.insert(pad.index);
        static const std::pair<int, plat::PadInput> kButtons[] = {
            {12, plat::PadInput::kDpadUp},   {13, plat::PadInput::kDpadDown},
            {14, plat::PadInput::kDpadLeft}, {15, plat::PadInput::kDpadRight},
            {0, plat::PadInput::kA},         {1, plat::PadInput::kB},
            {2, plat::PadInput::kX},         {3, plat::PadInput::kY},
            {9, plat::PadInput::kStart},
        };
        for (const auto& [button, input] : kButtons) {
            if (button < pad.numButtons) {
                pads_.Set(pad.index, input, pad.digitalButton[button] != 0, now);
            }
        }
        auto axis = [](double value) {
            return static_cast<int>(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
        };
        if (pad.numAxes >= 2) {
            pads_.Stick(pad.index, false, axis(pad.axis[0]), now);
            pads_.Stick(pad.index, true, axis(pad.axis[1]), now);
        }
        if (pad.numButtons > 7) {
            pads_.Trigger(pad.index, false, axis(pad.analogButton[6]), now);
            pads_.Trigger(pad.index, true, axis(pad.analogButton[7]), now);
        }
    }
    for (int gone : padsSeen_) {
        if (present.count(gone) == 0) pads_.Remove(gone, now);
    }
    padsSeen_.swap(present);
}

// ---------------------------------------------------------------------------------------
// Message boxes, sound and the end

void Backend::ShowMessageBox(const char* title, const char* text, UINT) {
    std::fprintf(stderr, "%s: %s\n", title, text);
    if (framePending_ || frontChanged_) Present();
    asphaltix_page_show_box(title, text);
    // The game waits for the box, as it does on Windows.
    while (asphaltix_page_box_open() != 0) Yield(kBoxPollMs);
    pacer_.Restart();
}

bool Backend::OpenAudio(plat::Mixer* mixer) {
    if (asphaltix_page_open_audio(plat::Mixer::kOutputRate, kAudioFrames) == 0) return false;
    mixer_ = mixer;
    g_mixer = mixer;
    silentUntil_ = NowMs();
    return true;
}

// Until the page's audio runs, the mix is rendered unheard as time passes, so that sounds
// end when they would have ended aloud.
void Backend::RunSilentMixer() {
    if (mixer_ == nullptr) return;
    const double now = NowMs();
    if (asphaltix_page_audio_running() != 0) {
        silentUntil_ = now;
        return;
    }
    const double due = std::min(now - silentUntil_, 1000.0);
    const int frames = static_cast<int>(due * plat::Mixer::kOutputRate / 1000.0);
    if (frames <= 0) return;
    silent_.resize(static_cast<size_t>(frames) * 2);
    mixer_->Render(silent_.data(), frames);
    silentUntil_ = now;
}

void Backend::Ended(int code) {
    windowUp_ = false;
    g_mixer = nullptr;
    asphaltix_page_ended(code);
}

}  // namespace web
