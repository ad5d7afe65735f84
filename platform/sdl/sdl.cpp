// The SDL backend: a real window (full screen by default), the keyboard as window messages,
// the picture presented through a streaming texture at 60 flips a second, message boxes,
// and the audio output that the mixer feeds.
#include "sdl.h"

#include "../core/mixer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sdl {
namespace {

int TranslateKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (key - SDLK_KP_1);
    switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return VK_RETURN;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_UP: return VK_UP;
        case SDLK_DOWN: return VK_DOWN;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_BACKSPACE: return VK_BACK;
        case SDLK_TAB: return VK_TAB;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT: return VK_SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL: return VK_CONTROL;
        case SDLK_LALT:
        case SDLK_RALT: return VK_MENU;
        case SDLK_PAUSE: return VK_PAUSE;
        case SDLK_CAPSLOCK: return VK_CAPITAL;
        case SDLK_PAGEUP: return VK_PRIOR;
        case SDLK_PAGEDOWN: return VK_NEXT;
        case SDLK_END: return VK_END;
        case SDLK_HOME: return VK_HOME;
        case SDLK_INSERT: return VK_INSERT;
        case SDLK_DELETE: return VK_DELETE;
        case SDLK_KP_0: return VK_NUMPAD0;
        case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
        case SDLK_KP_PLUS: return VK_ADD;
        case SDLK_KP_MINUS: return VK_SUBTRACT;
        case SDLK_KP_PERIOD: return VK_DECIMAL;
        case SDLK_KP_DIVIDE: return VK_DIVIDE;
        case SDLK_NUMLOCKCLEAR: return VK_NUMLOCK;
        case SDLK_SCROLLLOCK: return VK_SCROLL;
        case SDLK_SEMICOLON: return VK_OEM_1;
        case SDLK_EQUALS: return VK_OEM_PLUS;
        case SDLK_COMMA: return VK_OEM_COMMA;
        case SDLK_MINUS: return VK_OEM_MINUS;
        case SDLK_PERIOD: return VK_OEM_PERIOD;
        case SDLK_SLASH: return VK_OEM_2;
        case SDLK_BACKQUOTE: return VK_OEM_3;
        case SDLK_LEFTBRACKET: return VK_OEM_4;
        case SDLK_BACKSLASH: return VK_OEM_5;
        case SDLK_RIGHTBRACKET: return VK_OEM_6;
        case SDLK_QUOTE: return VK_OEM_7;
        default: return 0;
    }
}

constexpr double kFrameSeconds = 1.0 / 60.0;

void AudioCallback(void* user, Uint8* stream, int bytes) {
    auto* mixer = static_cast<plat::Mixer*>(user);
    mixer->Render(reinterpret_cast<int16_t*>(stream), bytes / 4);
}

}  // namespace

Backend::~Backend() { Close(); }

void Backend::Close() {
    if (audio_ != 0) {
        SDL_CloseAudioDevice(audio_);
        audio_ = 0;
    }
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    if (videoUp_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoUp_ = false;
}

bool Backend::CreateWindow(const char* title) {
    if (!videoUp_) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            std::fprintf(stderr, "asphaltix: no display: %s\n", SDL_GetError());
            return false;
        }
        videoUp_ = true;
    }
    const char* windowed = std::getenv("ASPHALTIX_WINDOWED");
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
    int x = SDL_WINDOWPOS_CENTERED;
    int y = SDL_WINDOWPOS_CENTERED;
    int width = plat::kScreenWidth;
    int height = plat::kScreenHeight;
    SDL_DisplayMode desktop;
    if ((windowed == nullptr || std::strcmp(windowed, "1") != 0) &&
        SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
        // Full screen. The window is also made as large as the screen, so that it covers it
        // where no window manager carries out the full-screen request.
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
        x = 0;
        y = 0;
        width = desktop.w;
        height = desktop.h;
    }
    window_ = SDL_CreateWindow(title, x, y, width, height, flags);
    if (window_ == nullptr) return false;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
    if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_ == nullptr) return false;
    SDL_RenderSetLogicalSize(renderer_, plat::kScreenWidth, plat::kScreenHeight);
    SDL_RenderSetIntegerScale(renderer_, SDL_FALSE);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                 plat::kScreenWidth, plat::kScreenHeight);
    if (texture_ == nullptr) return false;
    SDL_ShowCursor(SDL_DISABLE);
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);
    deadline_ = SDL_GetPerformanceCounter();
    return true;
}

void Backend::ScreenSize(int& width, int& height) {
    SDL_DisplayMode mode;
    if (window_ != nullptr &&
        SDL_GetDesktopDisplayMode(SDL_GetWindowDisplayIndex(window_), &mode) == 0) {
        width = mode.w;
        height = mode.h;
        return;
    }
    width = plat::kScreenWidth;
    height = plat::kScreenHeight;
}

bool Backend::ActivateOnShow() { return true; }

void Backend::DestroyWindow() {
    if (window_ != nullptr) SDL_HideWindow(window_);
}

void Backend::Handle(const SDL_Event& event) {
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            int vk = TranslateKey(event.key.keysym.sym);
            if (vk == 0) break;
            bool alt = (event.key.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
            if (event.type == SDL_KEYDOWN) {
                plat::KeyDown(vk, event.key.repeat != 0, alt);
            } else {
                plat::KeyUp(vk, alt && vk != VK_MENU ? true : false);
            }
            break;
        }
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) plat::Activate(true);
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) plat::Activate(false);
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) plat::RequestClose();
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED) Present();
            break;
        case SDL_QUIT: plat::RequestClose(); break;
        default: break;
    }
}

void Backend::PollInput() {
    if (!videoUp_) return;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) Handle(event);
}

void Backend::WaitForInput() {
    if (!videoUp_) return;
    SDL_Event event;
    if (SDL_WaitEvent(&event) != 0) Handle(event);
    PollInput();
}

bool Backend::OpenDisplay() { return window_ != nullptr && texture_ != nullptr; }

plat::PixelFormat Backend::DisplayFormat() { return plat::kFormat565; }

void Backend::BeforeFlip() {
    // Flips are paced to 60 a second by a deadline, whatever the monitor's rate.
    const Uint64 frequency = SDL_GetPerformanceFrequency();
    const auto period = static_cast<Uint64>(static_cast<double>(frequency) * kFrameSeconds);
    deadline_ += period;
    Uint64 now = SDL_GetPerformanceCounter();
    if (now > deadline_ + 4 * period || deadline_ > now + 4 * period) {
        deadline_ = now;  // far behind or ahead (a pause, a stall): start counting afresh
        return;
    }
    while (now < deadline_) {
        Uint64 left = deadline_ - now;
        Uint32 ms = static_cast<Uint32>(left * 1000 / frequency);
        if (ms > 1) SDL_Delay(ms - 1);
        now = SDL_GetPerformanceCounter();
    }
}

void Backend::AfterFlip() { Present(); }

void Backend::FrontChanged() { Present(); }

void Backend::Present() {
    if (renderer_ == nullptr || texture_ == nullptr) return;
    const plat::FrontView front = plat::Front();
    const void* pixels = front.pixels;
    const int pitch = front.pitch;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (pixels != nullptr) {
        SDL_UpdateTexture(texture_, nullptr, pixels, pitch);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    }
    SDL_RenderPresent(renderer_);
}

void Backend::Sleep(DWORD ms) {
    SDL_Delay(ms);
    deadline_ = SDL_GetPerformanceCounter();
}

void Backend::ShowMessageBox(const char* title, const char* text, UINT) {
    std::fprintf(stderr, "%s: %s\n", title, text);
    if (videoUp_) {
        // The full-screen window would cover the box: it steps aside while the box is up.
        if (window_ != nullptr) SDL_HideWindow(window_);
        SDL_ShowCursor(SDL_ENABLE);
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text, nullptr);
        SDL_ShowCursor(SDL_DISABLE);
        if (window_ != nullptr) SDL_ShowWindow(window_);
    }
}

bool Backend::OpenAudio(plat::Mixer* mixer) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "asphaltix: no audio: %s\n", SDL_GetError());
        return false;
    }
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = plat::Mixer::kOutputRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 512;  // about 11 ms a period
    want.callback = AudioCallback;
    want.userdata = mixer;
    SDL_AudioSpec have;
    audio_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (audio_ == 0) {
        std::fprintf(stderr, "asphaltix: no audio output: %s\n", SDL_GetError());
        return false;
    }
    SDL_PauseAudioDevice(audio_, 0);
    return true;
}

void Backend::SoundEvent(int, const char*, DWORD) {}

void Backend::MciCommand(const char*, MCIERROR) {}

}  // namespace sdl
