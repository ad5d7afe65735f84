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

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace testing_support;

namespace {

// Takes every queued message away without handing it to the window.
void DropQueuedMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// The main loop's message step: every waiting message is translated and dispatched.
void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (!GetMessageA(&message, nullptr, 0, 0)) break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

LRESULT Key(WPARAM vk) { return MainWndProc(MainWindow, WM_KEYDOWN, vk, 0); }

// The record without the MCI result codes ("mci 263 stop MUSIC" -> "mci stop MUSIC").
std::vector<std::string> Record() {
    std::vector<std::string> out;
    for (const std::string& line : Backend().log) {
        if (line.rfind("mci ", 0) == 0) {
            size_t blank = line.find(' ', 4);
            out.push_back("mci " + (blank == std::string::npos ? std::string() : line.substr(blank + 1)));
        } else {
            out.push_back(line);
        }
    }
    return out;
}

using Lines = std::vector<std::string>;

// Runs with the current directory switched, and switches back.
class InDirectory {
public:
    explicit InDirectory(const std::string& dir) {
        char buffer[4096];
        if (getcwd(buffer, sizeof buffer) != nullptr) previous_ = buffer;
        EXPECT_EQ(chdir(dir.c_str()), 0);
    }
    ~InDirectory() {
        if (!previous_.empty()) {
            EXPECT_EQ(chdir(previous_.c_str()), 0);
        }
    }

private:
    std::string previous_;
};

// Every test starts in the main menu with the curtain open, the race at its program-start
// values and no sound loaded (a click on an empty slot is silent).
class ShellKeys : public ::testing::Test {
protected:
    void SetUp() override {
        Backend();
        ASSERT_NE(GameWindow(), nullptr);
        plat::ReleaseAllKeys();
        DropQueuedMessages();
        for (int slot = 0; slot < SoundSlots; ++slot) {
            savedSounds_[slot] = SoundBuffers[slot];
            SoundBuffers[slot] = nullptr;
        }
        ScreenState = 0;
        CurtainPos = 0;
        MenuSelection = 1;
        RaceState = {};
        RandomState = 1;
        Backend().Reset();
    }
    void TearDown() override {
        plat::ReleaseAllKeys();
        DropQueuedMessages();
        for (int slot = 0; slot < SoundSlots; ++slot) SoundBuffers[slot] = savedSounds_[slot];
        ScreenState = 0;
        CurtainPos = 0;
        MenuSelection = 1;
        RaceState = {};
        AppActive = 1;
    }

    void InRaceAsked() {
        ScreenState = 1;
        RaceState.countdown = 0;
        RaceState.quitConfirm = true;
        Backend().Reset();
    }

private:
    std::array<LPDIRECTSOUNDBUFFER, SoundSlots> savedSounds_{};
};

// The game's sounds, loaded once; a test puts them into their slots only while it runs.
std::array<LPDIRECTSOUNDBUFFER, 6> GameSounds() {
    static std::array<LPDIRECTSOUNDBUFFER, 6> sounds = [] {
        std::array<LPDIRECTSOUNDBUFFER, 6> loaded{};
        if (DirectSoundObject == nullptr) {
            EXPECT_TRUE(SoundDevice.Init());
        }
        const char* files[6] = {"Menu.snd", "Engine.snd", "Engine.snd", "Engine.snd", "Crash1.snd", "Bonus.snd"};
        for (int slot = 0; slot < 6; ++slot) {
            LPDIRECTSOUNDBUFFER before = SoundBuffers[slot];
            SoundBuffers[slot] = nullptr;
            SoundDevice.LoadSound(slot, (GameDir() + "/" + files[slot]).c_str());
            loaded[static_cast<size_t>(slot)] = SoundBuffers[slot];
            SoundBuffers[slot] = before;
        }
        return loaded;
    }();
    return sounds;
}

// ---------------------------------------------------------------------------------------
// Main menu.

TEST_F(ShellKeys, NewGameResetsTheRaceStopsTheMusicAndStartsTheRace) {
    for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_SPACE}}) {
        SCOPED_TRACE(key);
        ScreenState = 0;
        MenuSelection = 1;
        // What an earlier race left behind.
        RaceState.playerX = 100;
        RaceState.speed = 5;
        RaceState.energy = -40;
        RaceState.points = 77;
        RaceState.pendingPoints = 9;
        RaceState.timeLeft = -12;
        RaceState.countdown = 0;
        RaceState.quitConfirm = true;
        RaceState.activeCars = 11;
        RaceState.maxSpeed = 151;
        RaceState.damageDivisor = 6000;
        RaceState.roadScroll = 333;
        RaceState.frameDivider = 3;
        RandomState = 12345;
        Backend().Reset();

        EXPECT_EQ(Key(key), 0);

        EXPECT_EQ(ScreenState, 1);
        EXPECT_EQ(MenuSelection, 1);
        EXPECT_EQ(Record(), (Lines{"mci stop MUSIC", "sleep 500"}));
        const struct RaceState after = RaceState;
        EXPECT_EQ(after.playerX, 402);
        EXPECT_EQ(after.playerY, 400);
        EXPECT_EQ(after.speed, 100);
        EXPECT_EQ(after.energy, 1000);
        EXPECT_EQ(after.points, 0);
        EXPECT_EQ(after.pendingPoints, 0);
        EXPECT_EQ(after.countdown, 250);
        EXPECT_FALSE(after.quitConfirm);
        // Level 2 replaces what the reset set.
        EXPECT_EQ(after.timeLeft, 200);
        EXPECT_EQ(after.damageDivisor, 10000);
        // Kept from the earlier race.
        EXPECT_EQ(after.activeCars, 11);
        EXPECT_EQ(after.maxSpeed, 151);
        EXPECT_EQ(after.roadScroll, 333);
        EXPECT_EQ(after.frameDivider, 3);
        // The whole pool was spawned afresh, then both bonuses, from the generator's state.
        RandomState = 12345;
        for (int i = 0; i < TrafficPool; ++i) SpawnCar(i);
        for (int i = 0; i < TrafficPool; ++i) {
            EXPECT_EQ(after.cars[i].x, RaceState.cars[i].x) << i;
            EXPECT_EQ(after.cars[i].y, RaceState.cars[i].y) << i;
            EXPECT_EQ(after.cars[i].speed, RaceState.cars[i].speed) << i;
            EXPECT_EQ(after.cars[i].mass, RaceState.cars[i].mass) << i;
            EXPECT_EQ(after.cars[i].kind, RaceState.cars[i].kind) << i;
        }
        EXPECT_EQ(after.timeBonus.y, -1000);
        EXPECT_EQ(after.timeBonus.xOffset, RandomBelow(150));
        EXPECT_EQ(after.energyBonus.y, -5000);
        EXPECT_EQ(after.energyBonus.xOffset, RandomBelow(150));
        RaceState = {};
    }
}

TEST_F(ShellKeys, OptionsAndAboutStayInTheMenuAfterAPause) {
    for (int32_t item : {2, 4}) {
        for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_SPACE}}) {
            SCOPED_TRACE(item);
            ScreenState = 0;
            MenuSelection = item;
            Backend().Reset();
            Key(key);
            EXPECT_EQ(ScreenState, 0);
            EXPECT_EQ(MenuSelection, item);
            EXPECT_EQ(Record(), (Lines{"sleep 500"}));
            EXPECT_EQ(RaceState.countdown, 250);  // the race was not touched
        }
    }
}

TEST_F(ShellKeys, HighScoresWithTheListOpensTheHallOfFame) {
    std::string dir = TempDir("shell-with-list");
    std::ofstream(dir + "/Highscore.List") << "";
    InDirectory here(dir);
    MenuSelection = 3;
    Key(VK_RETURN);
    EXPECT_EQ(ScreenState, 3);
    EXPECT_EQ(MenuSelection, 3);
    EXPECT_EQ(Record(), (Lines{"sleep 500"}));
}

// Without the list the game reports it and destroys the window, so this runs in a child
// process; the child sends back what it saw.
TEST_F(ShellKeys, HighScoresWithoutTheListEndsTheProgramAfterTheAction) {
    std::string dir = TempDir("shell-without-list");
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(channel[0]);
        DisplayUp();
        InDirectory here(dir);
        ScreenState = 0;
        MenuSelection = 3;
        Backend().Reset();
        Key(VK_RETURN);
        MSG message{};
        bool quit = PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) && message.message == WM_QUIT &&
                    message.wParam == 0;
        std::string report = "state " + std::to_string(ScreenState) + "\n" + "quit " +
                             std::to_string(quit ? 1 : 0) + "\n" + "display " +
                             std::to_string(PrimarySurface == nullptr && DirectDrawObject == nullptr ? 0 : 1) +
                             "\n" + "active " + std::to_string(AppActive) + "\n";
        for (const std::string& line : Record()) report += line + "\n";
        ssize_t written = write(channel[1], report.data(), report.size());
        _exit(written == static_cast<ssize_t>(report.size()) ? 0 : 3);
    }
    close(channel[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<size_t>(got));
    close(channel[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::string box = std::string("messagebox 0x10 ") + WindowClassText + "|Highscore-Liste nicht gefunden!";
    std::string expected = "state 3\nquit 1\ndisplay 0\nactive 0\n" + box + "\ndestroy\nsleep 500\n";
    EXPECT_EQ(report, expected);
}

TEST_F(ShellKeys, ExitGameAndEscapeEndTheMenuWithAPause) {
    MenuSelection = 5;
    Key(VK_SPACE);
    EXPECT_EQ(ScreenState, 5);
    EXPECT_EQ(Record(), (Lines{"sleep 500"}));

    for (int32_t item = 1; item <= 5; ++item) {
        ScreenState = 0;
        MenuSelection = item;
        RaceState = {};
        Backend().Reset();
        Key(VK_ESCAPE);
        EXPECT_EQ(ScreenState, 5) << item;
        EXPECT_EQ(MenuSelection, item);
        EXPECT_EQ(RaceState.countdown, 250);
        EXPECT_EQ(Record(), (Lines{"sleep 500"}));
    }
}

TEST_F(ShellKeys, UpAndDownMoveTheSelectionAroundWithoutAPause) {
    MenuSelection = 1;
    Key(VK_UP);
    EXPECT_EQ(MenuSelection, 5);
    Key(VK_UP);
    EXPECT_EQ(MenuSelection, 4);
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(MenuSelection, 1);
    std::vector<int32_t> seen;
    for (int i = 0; i < 6; ++i) {
        Key(VK_DOWN);
        seen.push_back(MenuSelection);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{2, 3, 4, 5, 1, 2}));
    EXPECT_EQ(ScreenState, 0);
    EXPECT_TRUE(Record().empty());

    // Keys without a meaning in the menu, and Y, do nothing.
    MenuSelection = 3;
    for (WPARAM key : {WPARAM{'Y'}, WPARAM{'N'}, WPARAM{VK_LEFT}, WPARAM{VK_RIGHT}, WPARAM{VK_F1}}) {
        Key(key);
        EXPECT_EQ(MenuSelection, 3);
        EXPECT_EQ(ScreenState, 0);
    }
    EXPECT_TRUE(Record().empty());
}

TEST_F(ShellKeys, HeldDownKeyRepeatsThroughTheMessageLoop) {
    MenuSelection = 1;
    plat::KeyDown(VK_DOWN, false, false);
    plat::KeyDown(VK_DOWN, true, false);
    plat::KeyDown(VK_DOWN, true, false);
    plat::KeyUp(VK_DOWN, false);
    PumpMessages();
    EXPECT_EQ(MenuSelection, 4);
    EXPECT_TRUE(Record().empty());

    // Keys with Alt held arrive as system keys and are not the menu's.
    plat::KeyDown(VK_ESCAPE, false, true);
    plat::KeyUp(VK_ESCAPE, true);
    plat::KeyDown(VK_RETURN, false, true);
    plat::KeyUp(VK_RETURN, true);
    PumpMessages();
    EXPECT_EQ(ScreenState, 0);
    EXPECT_EQ(MenuSelection, 4);
    EXPECT_TRUE(Record().empty());
}

// ---------------------------------------------------------------------------------------
// The race and its quit question.

TEST_F(ShellKeys, EscapeDuringTheCountdownIsNotAQuestion) {
    ScreenState = 1;
    for (int32_t countdown : {250, 1}) {
        RaceState.countdown = countdown;
        Key(VK_ESCAPE);
        EXPECT_FALSE(RaceState.quitConfirm) << countdown;
        EXPECT_EQ(ScreenState, 1);
    }
    EXPECT_TRUE(Record().empty());
    // So Y, Enter and Space have nothing to answer.
    for (WPARAM key : {WPARAM{'Y'}, WPARAM{VK_RETURN}, WPARAM{VK_SPACE}}) {
        Key(key);
        EXPECT_EQ(ScreenState, 1);
    }
    EXPECT_TRUE(Record().empty());
}

TEST_F(ShellKeys, EscapeAfterTheCountdownAsksAndKeepsAsking) {
    for (int32_t countdown : {0, -3}) {
        ScreenState = 1;
        RaceState.countdown = countdown;
        RaceState.quitConfirm = false;
        Key(VK_ESCAPE);
        EXPECT_TRUE(RaceState.quitConfirm) << countdown;
        Key(VK_ESCAPE);
        EXPECT_TRUE(RaceState.quitConfirm);
        Key(VK_UP);
        Key(VK_DOWN);
        EXPECT_TRUE(RaceState.quitConfirm);
        EXPECT_EQ(ScreenState, 1);
        EXPECT_EQ(MenuSelection, 1);
    }
    EXPECT_TRUE(Record().empty());  // no pause, no music command
}

TEST_F(ShellKeys, YesLeavesTheRaceWithTheMusicResumed) {
    for (WPARAM key : {WPARAM{'Y'}, WPARAM{VK_RETURN}, WPARAM{VK_SPACE}}) {
        SCOPED_TRACE(key);
        InRaceAsked();
        Key(key);
        EXPECT_EQ(ScreenState, 0);
        EXPECT_TRUE(RaceState.quitConfirm);  // cleared only by the next new race
        EXPECT_EQ(Record(), (Lines{"mci play MUSIC notify", "sleep 500"}));
    }
}

TEST_F(ShellKeys, AnyOtherKeyAnswersNoAndTheRaceGoesOn) {
    for (WPARAM key : {WPARAM{VK_LEFT}, WPARAM{VK_RIGHT}, WPARAM{'N'}, WPARAM{'A'}, WPARAM{VK_F1}, WPARAM{VK_TAB}}) {
        SCOPED_TRACE(key);
        InRaceAsked();
        Key(key);
        EXPECT_FALSE(RaceState.quitConfirm);
        EXPECT_EQ(ScreenState, 1);
        EXPECT_TRUE(Record().empty());  // no pause
        // Without a question the same key does nothing.
        Key(key);
        EXPECT_FALSE(RaceState.quitConfirm);
        EXPECT_EQ(ScreenState, 1);
    }
}

TEST_F(ShellKeys, YWithoutAQuestionDoesNothing) {
    ScreenState = 1;
    RaceState.countdown = 0;
    for (WPARAM key : {WPARAM{'Y'}, WPARAM{VK_RETURN}, WPARAM{VK_SPACE}, WPARAM{VK_UP}, WPARAM{VK_DOWN}}) {
        Key(key);
        EXPECT_EQ(ScreenState, 1);
        EXPECT_FALSE(RaceState.quitConfirm);
    }
    EXPECT_EQ(MenuSelection, 1);
    EXPECT_TRUE(Record().empty());
}

// ---------------------------------------------------------------------------------------
// Hall of fame and every other state.

TEST_F(ShellKeys, OnlyEscapeLeavesTheOtherScreens) {
    for (int32_t state : {3, 2, 4, 5, 7}) {
        SCOPED_TRACE(state);
        ScreenState = state;
        MenuSelection = 2;
        Backend().Reset();
        for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_SPACE}, WPARAM{VK_UP}, WPARAM{VK_DOWN}, WPARAM{'Y'}, WPARAM{'N'}}) {
            Key(key);
            EXPECT_EQ(ScreenState, state);
            EXPECT_EQ(MenuSelection, 2);
        }
        EXPECT_TRUE(Record().empty());
        Key(VK_ESCAPE);
        EXPECT_EQ(ScreenState, 0);
        EXPECT_EQ(Record(), (Lines{"sleep 500"}));
    }
}

TEST_F(ShellKeys, EscapeQueuedAfterExitGoesBackToTheMenu) {
    // Escape held in the main menu: the first press chooses the exit, each auto-repeat
    // queued meanwhile is handled before the main loop can shut down.
    plat::KeyDown(VK_ESCAPE, false, false);
    plat::KeyDown(VK_ESCAPE, true, false);
    PumpMessages();
    EXPECT_EQ(ScreenState, 0);
    EXPECT_EQ(Record(), (Lines{"sleep 500", "sleep 500"}));

    Backend().Reset();
    plat::KeyDown(VK_ESCAPE, true, false);
    plat::KeyDown(VK_ESCAPE, true, false);
    plat::KeyDown(VK_ESCAPE, true, false);
    plat::KeyUp(VK_ESCAPE, false);
    PumpMessages();
    EXPECT_EQ(ScreenState, 5);
    EXPECT_EQ(Record(), (Lines{"sleep 500", "sleep 500", "sleep 500"}));
}

// ---------------------------------------------------------------------------------------
// The curtain's key lock.

TEST_F(ShellKeys, KeysAreIgnoredWhileTheCurtainOpens) {
    for (int32_t position : {477, 400, 240, 3}) {
        SCOPED_TRACE(position);
        CurtainPos = position;
        ScreenState = 0;
        MenuSelection = 1;
        RaceState = {};
        Backend().Reset();
        for (WPARAM key : {WPARAM{VK_DOWN}, WPARAM{VK_UP}, WPARAM{VK_RETURN}, WPARAM{VK_SPACE}, WPARAM{VK_ESCAPE}}) {
            Key(key);
            EXPECT_EQ(ScreenState, 0);
            EXPECT_EQ(MenuSelection, 1);
        }
        EXPECT_EQ(RaceState.countdown, 250);
        InRaceAsked();
        Key('Y');
        Key('N');
        EXPECT_EQ(ScreenState, 1);
        EXPECT_TRUE(RaceState.quitConfirm);
        ScreenState = 3;
        Key(VK_ESCAPE);
        EXPECT_EQ(ScreenState, 3);
        EXPECT_TRUE(Record().empty());
        EXPECT_EQ(CurtainPos, position);
    }
}

TEST_F(ShellKeys, KeysActBeforeAndAfterTheCurtainMoves) {
    for (int32_t position : {479, 478, 2, 0}) {
        SCOPED_TRACE(position);
        CurtainPos = position;
        ScreenState = 0;
        MenuSelection = 1;
        Key(VK_DOWN);
        EXPECT_EQ(MenuSelection, 2);
        InRaceAsked();
        Key('N');
        EXPECT_FALSE(RaceState.quitConfirm);
        ScreenState = 3;
        Key(VK_ESCAPE);
        EXPECT_EQ(ScreenState, 0);
        EXPECT_EQ(CurtainPos, position);
    }
}

// ---------------------------------------------------------------------------------------
// Activation and the cursor.

TEST_F(ShellKeys, ActivationFollowsTheSystemsMessage) {
    EXPECT_EQ(MainWndProc(MainWindow, WM_ACTIVATEAPP, 0, 0), 0);
    EXPECT_EQ(AppActive, 0);
    MainWndProc(MainWindow, WM_ACTIVATEAPP, 1, 0);
    EXPECT_NE(AppActive, 0);
    MainWndProc(MainWindow, WM_ACTIVATEAPP, 0, 0);
    EXPECT_EQ(AppActive, 0);
    MainWndProc(MainWindow, WM_ACTIVATEAPP, 7, 0);
    EXPECT_NE(AppActive, 0);
    // Through the platform as well.
    plat::Activate(false);
    EXPECT_EQ(AppActive, 0);
    plat::Activate(true);
    EXPECT_NE(AppActive, 0);
    EXPECT_TRUE(Record().empty());
}

TEST_F(ShellKeys, TheCursorMessageIsAnsweredWithOne) {
    EXPECT_EQ(MainWndProc(MainWindow, WM_SETCURSOR, 0, 0), 1);
    EXPECT_EQ(SendMessageA(MainWindow, WM_SETCURSOR, reinterpret_cast<WPARAM>(MainWindow), 1), 1);
    // Other messages take the default answer.
    EXPECT_EQ(MainWndProc(MainWindow, WM_KEYDOWN, VK_DOWN, 0), 0);
    EXPECT_EQ(MainWndProc(MainWindow, WM_KEYUP, VK_DOWN, 0), 0);
    EXPECT_EQ(MenuSelection, 2);
}

// ---------------------------------------------------------------------------------------
// The click, when the menu sound is loaded.

TEST_F(ShellKeys, TheClickSetsTheMenuSoundsPitchThenPlaysIt) {
    LPDIRECTSOUNDBUFFER menu = GameSounds()[0];
    if (menu == nullptr) GTEST_SKIP() << "Menu.snd could not be loaded";
    menu->Stop();
    SoundBuffers[0] = menu;
    std::string index = std::to_string(plat::SoundBufferIndex(menu));
    ASSERT_NE(index, "-1");
    Backend().Reset();

    Key(VK_DOWN);
    EXPECT_EQ(Record(), (Lines{"sound " + index + " freq 22000", "sound " + index + " play"}));

    // While it still sounds (nothing has consumed it here) the pitch changes but it is
    // not restarted.
    Backend().Reset();
    Key(VK_UP);
    EXPECT_EQ(Record(), (Lines{"sound " + index + " freq 22000"}));

    menu->Stop();
    Backend().Reset();
    MenuSelection = 2;
    Key(VK_RETURN);
    EXPECT_EQ(Record(), (Lines{"sound " + index + " freq 44000", "sound " + index + " play", "sleep 500"}));

    // Silent: keys during the curtain, Y without a question, Enter in the hall of fame.
    menu->Stop();
    Backend().Reset();
    CurtainPos = 100;
    Key(VK_DOWN);
    CurtainPos = 0;
    ScreenState = 1;
    RaceState.countdown = 0;
    Key('Y');
    Key('N');
    ScreenState = 3;
    Key(VK_RETURN);
    EXPECT_TRUE(Record().empty());

    // Escape during the countdown clicks and nothing more.
    ScreenState = 1;
    RaceState.countdown = 20;
    Key(VK_ESCAPE);
    EXPECT_EQ(Record(), (Lines{"sound " + index + " freq 44000", "sound " + index + " play"}));
    EXPECT_FALSE(RaceState.quitConfirm);

    // Every choosing, leaving and answering key clicks at 44000 before it acts.
    const std::string freq = "sound " + index + " freq 44000";
    const std::string play = "sound " + index + " play";
    struct Step {
        int32_t state;
        bool asked;
        int32_t selection;
        WPARAM key;
        Lines record;
    };
    const Step steps[] = {
        {1, true, 1, VK_ESCAPE, {freq, play}},
        {1, true, 1, VK_LEFT, {freq, play}},
        {1, true, 1, 'Y', {freq, play, "mci play MUSIC notify", "sleep 500"}},
        {3, false, 1, VK_ESCAPE, {freq, play, "sleep 500"}},
        {0, false, 1, VK_RETURN, {freq, play, "mci stop MUSIC", "sleep 500"}},
        {0, false, 5, VK_SPACE, {freq, play, "sleep 500"}},
        {0, false, 2, VK_ESCAPE, {freq, play, "sleep 500"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.key);
        ScreenState = step.state;
        RaceState.countdown = 0;
        RaceState.quitConfirm = step.asked;
        MenuSelection = step.selection;
        menu->Stop();
        Backend().Reset();
        Key(step.key);
        EXPECT_EQ(Record(), step.record);
    }
    menu->Stop();
}

}  // namespace
