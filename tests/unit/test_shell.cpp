// The window procedure: the keys of every screen, the quit question of the race, the
// curtain's key lock, activation and the hidden cursor.
#include "../support/support.h"

#include "../../platform/core/mixer.h"
#include "../../src/app/app.h"
#include "../../src/audio/sound.h"
#include "../../src/display/display.h"
#include "../../src/game/race.h"
#include "../../src/game/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace testing_support;

namespace {

using Lines = std::vector<std::string>;

// The main loop's message step: every waiting message is translated and dispatched (or,
// with `drop`, taken away without reaching the window).
void PumpMessages(bool drop = false) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, drop ? PM_REMOVE : PM_NOREMOVE)) {
        if (drop) continue;
        if (!GetMessageA(&message, nullptr, 0, 0)) break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

LRESULT Key(WPARAM vk) { return MainWndProc(MainWindow, WM_KEYDOWN, vk, 0); }

// The record without the MCI result codes ("mci 263 stop MUSIC" -> "mci stop MUSIC").
Lines Record() {
    Lines out;
    for (const std::string& line : Backend().log)
        out.push_back(line.rfind("mci ", 0) == 0 ? "mci " + line.substr(line.find(' ', 4) + 1) : line);
    return out;
}

// Every test starts in the main menu with the curtain open, the race at its program-start
// values and no sound loaded (a click on an empty slot is silent).
class ShellKeys : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(GameWindow(), nullptr);
        plat::ReleaseAllKeys();
        PumpMessages(true);
        std::swap_ranges(sounds_, sounds_ + SoundSlots, SoundBuffers);
        ScreenState = CurtainPos = 0;
        MenuSelection = 1;
        RaceState = {};
        RandomState = 1;
        Backend().Reset();
    }
    void TearDown() override {
        plat::ReleaseAllKeys();
        PumpMessages(true);
        std::swap_ranges(sounds_, sounds_ + SoundSlots, SoundBuffers);
        ScreenState = CurtainPos = 0;
        MenuSelection = AppActive = 1;
        RaceState = {};
    }

private:
    LPDIRECTSOUNDBUFFER sounds_[SoundSlots] = {};
};

// ---------------------------------------------------------------------------------------
// The keys of every screen.

TEST_F(ShellKeys, EveryScreenAnswersItsKeysWithClickMusicAndPause) {
    // HIGH-SCORES needs the list in the current folder.
    const std::string dir = TempDir("shell-with-list");
    std::ofstream(dir + "/Highscore.List") << "";
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    ASSERT_TRUE(DirectSoundObject != nullptr || SoundDevice.Init());
    SoundDevice.LoadSound(0, (GameDir() + "/Menu.snd").c_str());
    const std::string menu = "sound " + std::to_string(plat::SoundBufferIndex(MenuSound)) + " ";

    const int Enter = VK_RETURN, Space = VK_SPACE, Esc = VK_ESCAPE, Up = VK_UP, Down = VK_DOWN, Y = 'Y', N = 'N';
    const bool T = true, F = false;
    // The record: C a click at 44000, M a click at 22000, S "stop MUSIC", R "play MUSIC
    // notify", P the half-second pause.
    const struct {
        int32_t state, selection, countdown;
        bool asked;
        int key;
        int32_t wantState, wantSelection;
        bool wantAsked;
        const char* record;
    } cases[] = {
        // Main menu: the items, Escape, and the selection going round.
        {0, 1, 9, T, Enter, 1, 1, F, "CSP"}, {0, 1, 9, T, Space, 1, 1, F, "CSP"}, {0, 2, 9, F, Enter, 0, 2, F, "CP"},
        {0, 2, 9, F, Space, 0, 2, F, "CP"},  {0, 3, 9, F, Enter, 3, 3, F, "CP"},  {0, 4, 9, F, Enter, 0, 4, F, "CP"},
        {0, 4, 9, F, Space, 0, 4, F, "CP"},  {0, 5, 9, F, Enter, 5, 5, F, "CP"},  {0, 5, 9, F, Space, 5, 5, F, "CP"},
        {0, 1, 9, F, Esc, 5, 1, F, "CP"},    {0, 3, 9, F, Esc, 5, 3, F, "CP"},    {0, 1, 9, F, Up, 0, 5, F, "M"},
        {0, 2, 9, F, Up, 0, 1, F, "M"},      {0, 4, 9, F, Up, 0, 3, F, "M"},      {0, 5, 9, F, Down, 0, 1, F, "M"},
        {0, 4, 9, F, Down, 0, 5, F, "M"},    {0, 1, 9, F, Down, 0, 2, F, "M"},    {0, 3, 9, F, Y, 0, 3, F, ""},
        {0, 3, 9, F, N, 0, 3, F, ""},        {0, 3, 9, F, VK_LEFT, 0, 3, F, ""},  {0, 3, 9, F, VK_F1, 0, 3, F, ""},
        // The race: Escape asks only once the countdown has run out.
        {1, 1, 250, F, Esc, 1, 1, F, "C"},   {1, 1, 1, F, Esc, 1, 1, F, "C"},     {1, 1, 0, F, Esc, 1, 1, T, "C"},
        {1, 1, -3, F, Esc, 1, 1, T, "C"},    {1, 1, 0, T, Esc, 1, 1, T, "C"},     {1, 1, 0, T, Up, 1, 1, T, ""},
        {1, 1, 0, T, Down, 1, 1, T, ""},
        // Y, Enter and Space answer yes; any other key no; without a question nothing.
        {1, 1, 0, T, Y, 0, 1, T, "CRP"},     {1, 1, 0, T, Enter, 0, 1, T, "CRP"}, {1, 1, 0, T, Space, 0, 1, T, "CRP"},
        {1, 1, 0, T, VK_LEFT, 1, 1, F, "C"}, {1, 1, 0, T, VK_RIGHT, 1, 1, F, "C"}, {1, 1, 0, T, N, 1, 1, F, "C"},
        {1, 1, 0, T, 'A', 1, 1, F, "C"},     {1, 1, 0, T, VK_TAB, 1, 1, F, "C"},  {1, 1, 0, F, Y, 1, 1, F, ""},
        {1, 1, 0, F, Enter, 1, 1, F, ""},    {1, 1, 0, F, Space, 1, 1, F, ""},    {1, 1, 0, F, N, 1, 1, F, ""},
        {1, 1, 0, F, Up, 1, 1, F, ""},       {1, 1, 250, F, Y, 1, 1, F, ""},      {1, 1, 250, F, N, 1, 1, F, ""},
        // The hall of fame and every other state: only Escape, back to the main menu.
        {3, 2, 0, F, Enter, 3, 2, F, ""},    {3, 2, 0, F, Space, 3, 2, F, ""},    {3, 2, 0, F, Up, 3, 2, F, ""},
        {3, 2, 0, F, Down, 3, 2, F, ""},     {3, 2, 0, F, Y, 3, 2, F, ""},        {3, 2, 0, T, N, 3, 2, T, ""},
        {3, 2, 0, F, Esc, 0, 2, F, "CP"},    {5, 2, 0, F, Enter, 5, 2, F, ""},    {5, 2, 0, F, Esc, 0, 2, F, "CP"},
        {2, 2, 0, F, Space, 2, 2, F, ""},    {4, 2, 0, F, Esc, 0, 2, F, "CP"},    {7, 2, 0, F, Esc, 0, 2, F, "CP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.state << " selection " << c.selection << " countdown "
                                        << c.countdown << (c.asked ? " asked" : "") << " key " << c.key);
        RaceState = {};
        RaceState.countdown = c.countdown;
        RaceState.quitConfirm = c.asked;
        ScreenState = c.state;
        MenuSelection = c.selection;
        if (MenuSound != nullptr) MenuSound->Stop();
        Backend().Reset();
        EXPECT_EQ(Key(static_cast<WPARAM>(c.key)), 0);
        EXPECT_EQ(ScreenState, c.wantState);
        EXPECT_EQ(MenuSelection, c.wantSelection);
        EXPECT_EQ(RaceState.quitConfirm, c.wantAsked);
        Lines want;
        for (const char* code = c.record; *code != '\0'; ++code) {
            if ((*code == 'C' || *code == 'M') && MenuSound != nullptr) {
                want.push_back(menu + (*code == 'C' ? "freq 44000" : "freq 22000"));
                want.push_back(menu + "play");
            }
            if (*code == 'S' || *code == 'R') want.push_back(*code == 'S' ? "mci stop MUSIC" : "mci play MUSIC notify");
            if (*code == 'P') want.push_back("sleep 500");
        }
        EXPECT_EQ(Record(), want);
    }
    // While the click still sounds its pitch changes, but it is not restarted.
    if (MenuSound != nullptr) {
        ScreenState = 0;
        Key(VK_DOWN);
        Backend().Reset();
        Key(VK_DOWN);
        EXPECT_EQ(Record(), Lines{menu + "freq 22000"});
        MenuSound->Release();
    }
    EXPECT_EQ(chdir(here), 0);
}

TEST_F(ShellKeys, NewGameStartsFromResetRaceAndLevelTwo) {
    for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_SPACE}}) {
        // What an earlier race left, in field order: playerX, playerY, speed, maxSpeed, energy,
        // timeLeft, countdown, points, pendingPoints, activeCars, playerMass, damageDivisor,
        // quitConfirm, frameDivider, roadScroll.
        RaceState = {100, 12, 5, 151, -40, -12, 0, 77, 9, 11, 2500, 6000, true, 3, 333};
        ScreenState = 0;
        RandomState = 12345;
        Key(key);
        const struct RaceState& s = RaceState;
        EXPECT_EQ((std::vector<int32_t>{ScreenState, s.playerX, s.playerY, s.speed, s.maxSpeed, s.energy, s.timeLeft,
                                        s.countdown, s.points, s.pendingPoints, s.activeCars, s.damageDivisor,
                                        s.quitConfirm, s.frameDivider, s.roadScroll}),
                  (std::vector<int32_t>{1, 402, 400, 100, 151, 1000, 200, 250, 0, 0, 11, 10000, 0, 3, 333}))
            << key;
        EXPECT_EQ(s.timeBonus.y + s.energyBonus.y, -6000);  // the bonuses placed afresh
        EXPECT_NE(RandomState, 12345u);
    }
}

// Without the list the game reports it and destroys the window, which ends the program; so
// a child process does it and sends back what it saw.
TEST_F(ShellKeys, HighScoresWithoutTheListEndsTheProgramAfterTheAction) {
    const std::string dir = TempDir("shell-without-list");
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DisplayUp();
        MenuSelection = 3;
        Backend().Reset();
        if (chdir(dir.c_str()) != 0) _exit(2);
        Key(VK_RETURN);
        MSG message{};
        const bool quit = PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) && message.message == WM_QUIT &&
                          message.wParam == 0;
        std::string report = "state " + std::to_string(ScreenState) + " quit " + std::to_string(quit) + " display " +
                             std::to_string(PrimarySurface != nullptr || DirectDrawObject != nullptr) + " active " +
                             std::to_string(AppActive) + "\n";
        for (const std::string& line : Record()) report += line + "\n";
        _exit(write(channel[1], report.data(), report.size()) == static_cast<ssize_t>(report.size()) ? 0 : 3);
    }
    close(channel[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<size_t>(got));
    close(channel[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(report, "state 3 quit 1 display 0 active 0\nmessagebox 0x10 " + std::string(WindowClassText) +
                          "|Highscore-Liste nicht gefunden!\ndestroy\nsleep 500\n");
}

// ---------------------------------------------------------------------------------------
// The message loop, the curtain's key lock, activation and the cursor.

TEST_F(ShellKeys, KeysThroughTheMessageLoop) {
    // A held Down key moves on with every auto-repeat, without a pause.
    plat::KeyDown(VK_DOWN, false, false);
    plat::KeyDown(VK_DOWN, true, false);
    plat::KeyDown(VK_DOWN, true, false);
    plat::KeyUp(VK_DOWN, false);
    // Keys with Alt held arrive as system keys and are not the menu's.
    plat::KeyDown(VK_ESCAPE, false, true);
    plat::KeyUp(VK_ESCAPE, true);
    plat::KeyDown(VK_RETURN, false, true);
    plat::KeyUp(VK_RETURN, true);
    PumpMessages();
    EXPECT_EQ(ScreenState, 0);
    EXPECT_EQ(MenuSelection, 4);
    EXPECT_TRUE(Record().empty());
    // Escape held in the main menu: the first press chooses the exit, and each auto-repeat
    // queued meanwhile is handled before the main loop can shut down.
    for (int presses : {2, 3}) {
        Backend().Reset();
        for (int press = 0; press < presses; ++press) plat::KeyDown(VK_ESCAPE, press > 0, false);
        plat::KeyUp(VK_ESCAPE, false);
        PumpMessages();
        EXPECT_EQ(ScreenState, presses == 2 ? 0 : 5) << presses;
        EXPECT_EQ(Record(), Lines(static_cast<size_t>(presses), "sleep 500")) << presses;
    }
}

TEST_F(ShellKeys, KeysAreIgnoredWhileTheCurtainOpens) {
    for (auto [position, locked] : {std::pair{479, false}, {478, false}, {477, true}, {400, true}, {240, true},
                                    {3, true}, {2, false}, {0, false}}) {
        SCOPED_TRACE(position);
        CurtainPos = position;
        ScreenState = 0;
        MenuSelection = 1;
        Backend().Reset();
        Key(VK_DOWN);
        Key(VK_ESCAPE);
        EXPECT_EQ(MenuSelection, locked ? 1 : 2);
        EXPECT_EQ(ScreenState, locked ? 0 : 5);
        ScreenState = 1;
        RaceState.countdown = 0;
        RaceState.quitConfirm = true;
        Key('N');
        EXPECT_EQ(RaceState.quitConfirm, locked);
        ScreenState = 3;
        Key(VK_ESCAPE);
        EXPECT_EQ(ScreenState, locked ? 3 : 0);
        EXPECT_EQ(Record(), locked ? Lines() : Lines(2, "sleep 500"));
        EXPECT_EQ(CurtainPos, position);
    }
}

TEST_F(ShellKeys, ActivationFollowsTheSystemAndTheCursorStaysHidden) {
    for (WPARAM active : {0, 1, 0, 7}) {
        EXPECT_EQ(MainWndProc(MainWindow, WM_ACTIVATEAPP, active, 0), 0);
        EXPECT_EQ(AppActive != 0, active != 0) << active;
    }
    plat::Activate(false);
    EXPECT_EQ(AppActive, 0);
    plat::Activate(true);
    EXPECT_NE(AppActive, 0);
    // The cursor message is answered with 1; others take the default answer.
    EXPECT_EQ(MainWndProc(MainWindow, WM_SETCURSOR, 0, 0), 1);
    EXPECT_EQ(SendMessageA(MainWindow, WM_SETCURSOR, reinterpret_cast<WPARAM>(MainWindow), 1), 1);
    EXPECT_EQ(MainWndProc(MainWindow, WM_KEYUP, VK_DOWN, 0), 0);
    EXPECT_EQ(MenuSelection, 1);
    EXPECT_TRUE(Record().empty());
}

}  // namespace
