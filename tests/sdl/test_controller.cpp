// The real game on the SDL backend, in process, with SDL's dummy video driver and a virtual
// game controller: a held d-pad direction moves through the menu, the triggers and the stick
// drive and steer a race, and the recording of it replays in the headless runner.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "../../platform/sdl/sdl.h"
#include "../support/support.h"

using namespace testing_support;

namespace {

SDL_Joystick* g_pad = nullptr;

// What the controller does, at times from the start of the game.
struct Step {
    Uint32 at;
    int button;  // or -1
    int axis;    // or -1
    int value;   // pressed (1) or not (0); an axis's value
};
const Step kSteps[] = {
    {3200, SDL_CONTROLLER_BUTTON_START, -1, 1},  // NEW GAME, once the curtain has opened
    {3300, SDL_CONTROLLER_BUTTON_START, -1, 0},
    {4000, -1, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767},  // accelerate
    {8500, -1, SDL_CONTROLLER_AXIS_LEFTX, -32768},        // steer left
    {8900, -1, SDL_CONTROLLER_AXIS_LEFTX, 0},
    {9500, -1, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768},
    {9600, SDL_CONTROLLER_BUTTON_B, -1, 1},  // the quit question
    {9700, SDL_CONTROLLER_BUTTON_B, -1, 0},
    {10200, SDL_CONTROLLER_BUTTON_Y, -1, 1},  // yes
    {10300, SDL_CONTROLLER_BUTTON_Y, -1, 0},
    {11200, SDL_CONTROLLER_BUTTON_DPAD_DOWN, -1, 1},  // held: down the menu, and on
    {12300, SDL_CONTROLLER_BUTTON_DPAD_DOWN, -1, 0},
    {12800, SDL_CONTROLLER_BUTTON_B, -1, 1},  // Escape in the menu ends the game
    {12900, SDL_CONTROLLER_BUTTON_B, -1, 0},
};

Uint32 Drive(Uint32, void* next) {
    auto& i = *static_cast<size_t*>(next);
    const Step& step = kSteps[i];
    if (step.button >= 0)
        SDL_JoystickSetVirtualButton(g_pad, step.button, static_cast<Uint8>(step.value));
    if (step.axis >= 0)
        SDL_JoystickSetVirtualAxis(g_pad, step.axis, static_cast<Sint16>(step.value));
    return ++i == std::size(kSteps) ? 0 : kSteps[i].at - step.at;
}

std::vector<std::string> Lines(const std::string& path, const std::string& prefix) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        if (line.find(prefix) != std::string::npos) out.push_back(line);
    return out;
}

TEST(SdlController, DrivesTheMenuAndARaceAndTheRecordingReplays) {
    const std::string dir = TempDir("sdl-controller");
    const std::string recording = dir + "/played.txt";
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1", 1);
    setenv("ASPHALTIX_RECORD", recording.c_str(), 1);
    ASSERT_EQ(chdir(GameDir().c_str()), 0);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER | SDL_INIT_TIMER), 0);
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION, desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX, desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    const int device = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(device, 0) << SDL_GetError();
    g_pad = SDL_JoystickOpen(device);
    ASSERT_NE(g_pad, nullptr);
    SDL_JoystickSetVirtualAxis(g_pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
    SDL_JoystickSetVirtualAxis(g_pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    size_t next = 0;
    ASSERT_NE(SDL_AddTimer(kSteps[0].at, Drive, &next), 0);

    static sdl::Backend backend;
    plat::Install(&backend);
    static char empty[] = "";
    const int status =
        WinMain(reinterpret_cast<HINSTANCE>(uintptr_t{0x400000}), nullptr, empty, SW_SHOWDEFAULT);
    backend.Close();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(next, std::size(kSteps));

    // The controller's inputs arrived as the game's keys, the held direction repeating.
    for (const char* key : {" down ENTER", " down UP", " down LEFT", " down Y"})
        EXPECT_EQ(Lines(recording, key).size(), 1u) << key;
    EXPECT_GE(Lines(recording, " repeat DOWN").size(), 15u);
    // Replayed, the same race: it starts, the engine's pitch rises above its start, the menu
    // clicks down through its items, and Escape in the menu ends the game.
    const HeadlessRun replay =
        RunHeadless({"--script", recording, "--log", dir + "/replay.log"}, "", GameDir());
    EXPECT_EQ(replay.status, 0);
    EXPECT_EQ(Lines(dir + "/replay.log", "mci 263 stop MUSIC").size(), 1u);
    // 30000 Hz and more: speed 160 and more.
    EXPECT_FALSE(Lines(dir + "/replay.log", "sound 1 freq 3").empty());
    EXPECT_GE(Lines(dir + "/replay.log", "sound 0 freq 22000").size(), 16u);
    EXPECT_EQ(Lines(dir + "/replay.log", "exit 0").size(), 1u);
}

}  // namespace
