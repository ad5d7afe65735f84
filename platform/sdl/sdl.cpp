// The SDL backend: a real window, full screen or a resizable window (Alt+Enter), the
// keyboard and game controllers as window messages, the picture scaled sharply and shown
// once a frame at 60 frames a second, message boxes, the audio output that the mixer feeds,
// and the player's extras: Alt+M mutes, Alt+P pauses, ASPHALTIX_RECORD writes what the
// player did as a script for the headless runner.
#include "sdl.h"

#include "../core/keys.h"
#include "asphaltix_icon.h"
#include "../core/mixer.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace sdl {
namespace {

int TranslateKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (key - SDLK_KP_1);
    switch (key) {
#define PLAT_SDL_KEY(vk, script, sdl, dom) \
    case SDLK_##sdl: return vk;
        // Keys that share a virtual key (Enter and the keypad's) give identical branches.
        PLAT_KEYS(PLAT_SDL_KEY)  // NOLINT(bugprone-branch-clone)
#undef PLAT_SDL_KEY
        default: return 0;
    }
}

bool Set(const char* name, const char* value) {
    const char* v = std::getenv(name);
    return v != nullptr && std::strcmp(v, value) == 0;
}

void AudioCallback(void* user, Uint8* stream, int bytes) {
    auto* mixer = static_cast<plat::Mixer*>(user);
    mixer->Render(reinterpret_cast<int16_t*>(stream), bytes / 4);
}

bool g_probeAllowed = false;

// Runs this program again with the probe variable set and reads what it says, within a few
// seconds. Whatever goes wrong counts as "no graphics hardware", as does a video driver
// without a screen.
bool RendererOnHardware() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (!g_probeAllowed || (driver != nullptr && (std::strcmp(driver, "dummy") == 0 ||
                                                  std::strcmp(driver, "offscreen") == 0))) {
        return false;
    }
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    env.push_back(std::string(kProbeVariable) + "=1");
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char self[] = "/proc/self/exe";
    char* argv[] = {self, nullptr};
    pid_t child = 0;
    const bool started = posix_spawn(&child, self, &actions, nullptr, argv, envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string said;
    if (started) {
        const Uint64 giveUp = SDL_GetTicks64() + 5000;
        for (;;) {
            const Uint64 now = SDL_GetTicks64();
            if (now >= giveUp) break;
            pollfd fd{out[0], POLLIN, 0};
            if (poll(&fd, 1, static_cast<int>(giveUp - now)) <= 0) break;
            char buffer[256];
            const ssize_t got = read(out[0], buffer, sizeof buffer);
            if (got <= 0) break;
            said.append(buffer, static_cast<size_t>(got));
        }
        if (child > 0) {
            kill(child, SIGKILL);
            int status = 0;
            waitpid(child, &status, 0);
        }
    }
    close(out[0]);
    if (said.rfind("renderer: ", 0) != 0) return false;
    for (const char* software : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast", "SWR"}) {
        if (said.find(software) != std::string::npos) return false;
    }
    return true;
}

}  // namespace

void AllowRendererProbe() { g_probeAllowed = true; }

int ProbeRenderer() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window* window =
        SDL_CreateWindow("probe", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
    using GetString = const unsigned char* (*)(unsigned);
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* name =
        context != nullptr && getString != nullptr ? getString(0x1F01) : nullptr;
    if (name != nullptr) std::printf("renderer: %s\n", reinterpret_cast<const char*>(name));
    std::fflush(stdout);
    _exit(name != nullptr ? 0 : 1);  // nothing of it needs tidying: the process ends here
}

Backend::Backend()
    : pacer_(*this), pads_([this](int vk, bool down, bool repeat) {
          if (down) {
              KeyDown(vk, repeat, false);
          } else {
              KeyUp(vk, false);
          }
      }) {}

// At exit the video side is left alone: the program may be ending because Xlib found its
// display gone, and tearing a window down over a dead connection waits for an answer forever.
// The sound device and the recording are closed, so that the mixer is not called during the
// exit and the recording is complete.
Backend::~Backend() { CloseSoundAndRecording(); }

void Backend::CloseSoundAndRecording() {
    if (audio_ != 0) SDL_CloseAudioDevice(audio_);
    audio_ = 0;
    if (recording_ != nullptr) std::fclose(recording_);
    recording_ = nullptr;
}

void Backend::Close() {
    if (std::getenv("ASPHALTIX_STATS") != nullptr && startTicks_ != 0) {
        const double seconds = static_cast<double>(SDL_GetTicks64() - startTicks_) / 1000.0;
        std::fprintf(stderr, "asphaltix: %lld pictures presented in %.1f s (%.1f a second)\n",
                     presents_, seconds,
                     seconds > 0 ? static_cast<double>(presents_) / seconds : 0.0);
        startTicks_ = 0;
    }
    CloseSoundAndRecording();
    for (auto& [id, controller] : controllers_) SDL_GameControllerClose(controller);
    controllers_.clear();
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    if (videoUp_) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER);
    videoUp_ = false;
}

// ---------------------------------------------------------------------------------------
// The window and the picture

bool Backend::CreateWindow(const char* title) {
    if (!videoUp_) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            std::fprintf(stderr, "asphaltix: no display: %s\n", SDL_GetError());
            return false;
        }
        videoUp_ = true;
        // Controllers are a welcome extra: the game runs without them.
        SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
    // main made the name a full one before the program changed its folder.
    if (const char* path = std::getenv("ASPHALTIX_RECORD"); path != nullptr && *path != '\0') {
        recording_ = std::fopen(path, "w");
        if (recording_ == nullptr) {
            std::fprintf(stderr, "asphaltix: cannot write the recording '%s'\n", path);
        } else {
            Record("# Asphaltix, as played: replay with asphaltix-headless --script FILE");
        }
    }
    fullScreen_ = !Set("ASPHALTIX_WINDOWED", "1");
    wholeMultiples_ = Set("ASPHALTIX_SCALE", "integer");
    // The window's first size, and the size it takes when the player leaves full screen:
    // twice the picture where that fits the screen, else the picture's own size.
    SDL_DisplayMode desktop{};
    const bool haveDesktop = SDL_GetDesktopDisplayMode(0, &desktop) == 0;
    const int twice = haveDesktop && desktop.w >= 2 * plat::kScreenWidth + 64 &&
                              desktop.h >= 2 * plat::kScreenHeight + 96
                          ? 2
                          : 1;
    windowedWidth_ = plat::kScreenWidth * twice;
    windowedHeight_ = plat::kScreenHeight * twice;
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
    int x = SDL_WINDOWPOS_CENTERED;
    int y = SDL_WINDOWPOS_CENTERED;
    int width = windowedWidth_;
    int height = windowedHeight_;
    if (fullScreen_ && haveDesktop) {
        // The window is also made as large as the screen, so that it covers it where no
        // window manager carries out the full-screen request.
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
        x = 0;
        y = 0;
        width = desktop.w;
        height = desktop.h;
    }
    fullScreen_ = fullScreen_ && haveDesktop;
    window_ = SDL_CreateWindow(title, x, y, width, height, flags);
    if (window_ == nullptr) return false;
    SDL_SetWindowMinimumSize(window_, plat::kScreenWidth / 2, plat::kScreenHeight / 2);
    if (SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<unsigned char*>(kIconRgba), kIconSize, kIconSize, 32, kIconSize * 4,
            SDL_PIXELFORMAT_RGBA32)) {
        SDL_SetWindowIcon(window_, icon);
        SDL_FreeSurface(icon);
    }
    if (UseRenderer()) {
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (renderer_ == nullptr) {
            std::fprintf(stderr, "asphaltix: no renderer (%s); drawing without one\n",
                         SDL_GetError());
        }
    }
    if (renderer_ == nullptr) {
        // Straight into the window's own pixels, with no OpenGL loaded for it.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    SDL_ShowCursor(SDL_DISABLE);
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    if (!MakeTarget()) return false;
    Present();
    startTicks_ = SDL_GetTicks64();
    return true;
}

// SDL's accelerated renderer where it stands on graphics hardware; where it would stand on a
// software rasteriser, the window's own pixels cost far less. The player's SDL_RENDER_DRIVER
// decides instead where it is set.
bool Backend::UseRenderer() {
    if (const char* driver = std::getenv("SDL_RENDER_DRIVER");
        driver != nullptr && *driver != '\0') {
        return true;
    }
    return RendererOnHardware();
}

bool Backend::MakeTarget() {
    int width = 0;
    int height = 0;
    if (renderer_ != nullptr) {
        if (SDL_GetRendererOutputSize(renderer_, &width, &height) != 0) return false;
        if (texture_ != nullptr) SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                     SDL_TEXTUREACCESS_STREAMING, width, height);
        if (texture_ == nullptr) return false;
    } else {
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (surface == nullptr) return false;
        width = surface->w;
        height = surface->h;
    }
    presenter_.SetTarget(width, height, wholeMultiples_);
    presenter_.Invalidate();
    return true;
}

void Backend::Present() {
    if (window_ == nullptr) return;
    plat::FrontView front = plat::Front();
    if (renderer_ != nullptr) {
        if (texture_ == nullptr) return;
        void* pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return;
        const auto changed = presenter_.Draw(front, static_cast<uint32_t*>(pixels), pitch, {});
        SDL_UnlockTexture(texture_);
        if (changed.empty()) return;
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
    } else {
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        if (surface == nullptr || surface->format->BytesPerPixel != 4) return;
        plat::Presenter::Layout layout;
        layout.redShift = surface->format->Rshift;
        layout.greenShift = surface->format->Gshift;
        layout.blueShift = surface->format->Bshift;
        if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
        const auto changed =
            presenter_.Draw(front, static_cast<uint32_t*>(surface->pixels), surface->pitch, layout);
        if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
        if (changed.empty()) return;
        std::vector<SDL_Rect> rects;
        rects.reserve(changed.size());
        for (const plat::Rect& r : changed) rects.push_back(SDL_Rect{r.x, r.y, r.width, r.height});
        SDL_UpdateWindowSurfaceRects(window_, rects.data(), static_cast<int>(rects.size()));
    }
    ++presents_;
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

void Backend::DestroyWindow() {
    if (window_ != nullptr) SDL_HideWindow(window_);
}

bool Backend::OpenDisplay() { return window_ != nullptr; }

void Backend::AfterFlip() {
    ++flips_;
    framePending_ = true;
}

void Backend::FrontChanged() { frontChanged_ = true; }

void Backend::ToggleFullScreen() {
    if (window_ == nullptr) return;
    fullScreen_ = !fullScreen_;
    if (fullScreen_) {
        SDL_GetWindowSize(window_, &windowedWidth_, &windowedHeight_);
        SDL_DisplayMode desktop;
        if (SDL_GetDesktopDisplayMode(SDL_GetWindowDisplayIndex(window_), &desktop) == 0) {
            SDL_SetWindowBordered(window_, SDL_FALSE);
            SDL_SetWindowPosition(window_, 0, 0);
            SDL_SetWindowSize(window_, desktop.w, desktop.h);
        }
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(window_, 0);
        SDL_SetWindowBordered(window_, SDL_TRUE);
        SDL_SetWindowSize(window_, windowedWidth_, windowedHeight_);
        SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    MakeTarget();
    Present();
}

// ---------------------------------------------------------------------------------------
// Time

int64_t Backend::NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// One sleep to the very time, not a spin over the last millisecond.
void Backend::SleepUntilNs(int64_t when) {
    timespec at{};
    at.tv_sec = static_cast<time_t>(when / 1000000000);
    at.tv_nsec = static_cast<long>(when % 1000000000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {}
}

void Backend::Sleep(DWORD ms) {
    if (framePending_ || frontChanged_) Present();
    framePending_ = frontChanged_ = false;
    SDL_Delay(ms);
    pacer_.Restart();
}

// ---------------------------------------------------------------------------------------
// Input, delivered only where the game looks into its message queue: between frames, so
// that every key read within one frame agrees and a recording replays to the same frames.

void Backend::PollInput() {
    if (!videoUp_) return;
    if (framePending_) {
        pacer_.WaitForFrame();
        Present();
    } else if (frontChanged_) {
        Present();
    }
    framePending_ = frontChanged_ = false;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) Handle(event);
    pads_.Tick(static_cast<int64_t>(SDL_GetTicks64()));
}

void Backend::WaitForInput() {
    if (!videoUp_) {
        PostQuitMessage(0);
        return;
    }
    SDL_Event event;
    // Held directions of a controller repeat while the game waits too.
    if (SDL_WaitEventTimeout(&event, 100) != 0) Handle(event);
    PollInput();
}

void Backend::KeyDown(int vk, bool repeat, bool alt) {
    if (paused_ || unfocused_) return;  // a paused game sees no key
    plat::KeyDown(vk, repeat, alt);
    Record(std::string(repeat ? "repeat " : "down ") + (alt ? "alt+" : "") + plat::NameOfKey(vk));
}

void Backend::KeyUp(int vk, bool alt) {
    plat::KeyUp(vk, alt);
    Record(std::string("up ") + (alt ? "alt+" : "") + plat::NameOfKey(vk));
}

void Backend::Activate(bool active) {
    plat::Activate(active);
    Record(active ? "activate" : "deactivate");
}

void Backend::Record(const std::string& line) {
    if (recording_ == nullptr) return;
    if (line[0] == '#') {
        std::fprintf(recording_, "%s\n", line.c_str());
    } else {
        std::fprintf(recording_, "%lld %s\n", flips_, line.c_str());
    }
    std::fflush(recording_);
}

// Alt+Enter, Alt+M and Alt+P belong to the backend; the game never sees them.
bool Backend::HandleSystemKey(SDL_Keycode key) {
    switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER: ToggleFullScreen(); return true;
        case SDLK_m:
            muted_ = !muted_;
            if (mixer_ != nullptr) mixer_->SetMuted(muted_);
            return true;
        case SDLK_p: SetPaused(!paused_, unfocused_); return true;
        default: return false;
    }
}

// Pausing deactivates the game, as losing the focus does: it then waits. A notice shows
// over the last picture while either holds; regaining the focus does not end a pause the
// player asked for.
void Backend::SetPaused(bool byPlayer, bool byFocus) {
    const bool before = paused_ || unfocused_;
    paused_ = byPlayer;
    unfocused_ = byFocus;
    const bool now = paused_ || unfocused_;
    presenter_.SetNotice(now ? "PAUSED" : "");
    if (before != now) Activate(!now);
    Present();
}

void Backend::OpenController(int device) {
    if (!SDL_IsGameController(device)) return;
    SDL_GameController* controller = SDL_GameControllerOpen(device);
    if (controller == nullptr) return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    if (controllers_.count(id) != 0) {
        SDL_GameControllerClose(controller);
        return;
    }
    controllers_[id] = controller;
}

void Backend::Handle(const SDL_Event& event) {
    const auto now = static_cast<int64_t>(SDL_GetTicks64());
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0;
            if (alt && event.type == SDL_KEYDOWN && event.key.repeat == 0 &&
                HandleSystemKey(event.key.keysym.sym)) {
                break;
            }
            const int vk = TranslateKey(event.key.keysym.sym);
            if (vk == 0) break;
            if (event.type == SDL_KEYDOWN) {
                KeyDown(vk, event.key.repeat != 0, alt && vk != VK_MENU);
            } else {
                KeyUp(vk, alt && vk != VK_MENU);
            }
            break;
        }
        case SDL_CONTROLLERDEVICEADDED: OpenController(event.cdevice.which); break;
        case SDL_CONTROLLERDEVICEREMOVED: {
            auto it = controllers_.find(event.cdevice.which);
            if (it == controllers_.end()) break;
            SDL_GameControllerClose(it->second);
            controllers_.erase(it);
            pads_.Remove(event.cdevice.which, now);
            break;
        }
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP: {
            static const std::pair<Uint8, plat::PadInput> kButtons[] = {
                {SDL_CONTROLLER_BUTTON_DPAD_UP, plat::PadInput::kDpadUp},
                {SDL_CONTROLLER_BUTTON_DPAD_DOWN, plat::PadInput::kDpadDown},
                {SDL_CONTROLLER_BUTTON_DPAD_LEFT, plat::PadInput::kDpadLeft},
                {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, plat::PadInput::kDpadRight},
                {SDL_CONTROLLER_BUTTON_A, plat::PadInput::kA},
                {SDL_CONTROLLER_BUTTON_B, plat::PadInput::kB},
                {SDL_CONTROLLER_BUTTON_X, plat::PadInput::kX},
                {SDL_CONTROLLER_BUTTON_Y, plat::PadInput::kY},
                {SDL_CONTROLLER_BUTTON_START, plat::PadInput::kStart},
            };
            for (const auto& [button, input] : kButtons) {
                if (button == event.cbutton.button) {
                    pads_.Set(event.cbutton.which, input, event.type == SDL_CONTROLLERBUTTONDOWN,
                              now);
                }
            }
            break;
        }
        case SDL_CONTROLLERAXISMOTION:
            switch (event.caxis.axis) {
                case SDL_CONTROLLER_AXIS_LEFTX:
                case SDL_CONTROLLER_AXIS_LEFTY:
                    pads_.Stick(event.caxis.which, event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY,
                                event.caxis.value, now);
                    break;
                case SDL_CONTROLLER_AXIS_TRIGGERLEFT:
                case SDL_CONTROLLER_AXIS_TRIGGERRIGHT:
                    pads_.Trigger(event.caxis.which,
                                  event.caxis.axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT,
                                  event.caxis.value, now);
                    break;
                default: break;
            }
            break;
        case SDL_WINDOWEVENT:
            switch (event.window.event) {
                case SDL_WINDOWEVENT_FOCUS_GAINED: SetPaused(paused_, false); break;
                case SDL_WINDOWEVENT_FOCUS_LOST: SetPaused(paused_, true); break;
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    MakeTarget();
                    Present();
                    break;
                case SDL_WINDOWEVENT_EXPOSED:
                    presenter_.Invalidate();
                    Present();
                    break;
                default: break;
            }
            break;
        case SDL_QUIT:
            plat::RequestClose();
            Record("close");
            break;
        default: break;
    }
}

// ---------------------------------------------------------------------------------------
// Message boxes and sound

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
    mixer_ = mixer;
    SDL_PauseAudioDevice(audio_, 0);
    return true;
}

}  // namespace sdl
