// The race tick: start values, the countdown, the player's car under the keys, the clock,
// the status panel, the paused race, the frame around the view and the engine sound.
#include "../support/support.h"

#include "../../platform/core/mixer.h"
#include "../../src/app/app.h"
#include "../../src/assets/assets.h"
#include "../../src/audio/sound.h"
#include "../../src/display/display.h"
#include "../../src/display/font.h"
#include "../../src/game/race.h"
#include "../../src/game/random.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// The race's generator, stepped on a copy of its state to know the next numbers.
struct Generator {
    uint32_t state;
    int32_t Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int32_t>((state >> 16) & 0x7FFF);
    }
    int32_t Below(int32_t n) { return Next() % n; }
};

// A colour as the game packs it for the 5-6-5 display.
uint16_t Pack565(int r, int g, int b) {
    return static_cast<uint16_t>(((r * 31 / 255) << 11) | ((g * 63 / 255) << 5) | (b * 31 / 255));
}
const uint16_t Red = Pack565(255, 0, 0);
const uint16_t LabelColour = Pack565(255, 0, 128);
const uint16_t ValueColour = Pack565(0, 128, 128);

// A copy of a surface's 640 x 480 pixels.
struct Screen {
    std::vector<uint16_t> pixels;
    uint16_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * 640 + static_cast<size_t>(x)]; }
};

Screen Snapshot(IDirectDrawSurface* surface) {
    Screen screen;
    screen.pixels.assign(640 * 480, 0);
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    EXPECT_NE(surface, nullptr);
    if (surface == nullptr) return screen;
    HRESULT locked = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    EXPECT_EQ(locked, DD_OK);
    if (locked != DD_OK) return screen;
    for (int y = 0; y < 480; ++y) {
        std::memcpy(&screen.pixels[static_cast<size_t>(y) * 640],
                    static_cast<const uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch, 640 * 2);
    }
    EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
    return screen;
}

// The block-font text drawn in `colour` at (x, y), `cells` characters wide: an empty cell
// reads as a blank, a cell that matches no glyph as '?'. Trailing blanks are dropped.
std::string ReadText(const Screen& screen, int x, int y, uint16_t colour, int cells = 20) {
    std::string text;
    for (int cell = 0; cell < cells && x + 8 * cell + 7 < 640; ++cell) {
        uint8_t rows[8] = {};
        bool any = false;
        for (int row = 0; row < 8; ++row) {
            for (int column = 0; column < 8; ++column) {
                if (screen.At(x + 8 * cell + column, y + row) == colour) {
                    rows[row] = static_cast<uint8_t>(rows[row] | (0x80 >> column));
                    any = true;
                }
            }
        }
        if (!any) {
            text += ' ';
            continue;
        }
        char found = '?';
        for (const BlockGlyph& glyph : BlockFont) {
            if (std::memcmp(glyph.rows, rows, 8) == 0) found = glyph.character;
        }
        text += found;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

void DropQueuedMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// Holds a key down for GetAsyncKeyState; its key-down message is not the race's business.
void Hold(int vk) {
    plat::KeyDown(vk, false, false);
    DropQueuedMessages();
}
void Let(int vk) {
    plat::KeyUp(vk, false);
    DropQueuedMessages();
}

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

// Every test runs on the headless display, in the race screen, with the race at its
// program-start values, the generator at its start, no pictures and no sounds.
class Race : public ::testing::Test {
protected:
    void SetUp() override {
        Backend();
        ASSERT_NE(GameWindow(), nullptr);
        DisplayUp();
        ASSERT_NE(BackSurface, nullptr);
        savedPictures_ = {RoadImage, CarsImage, BackImage, StatusImage};
        RoadImage = CarsImage = BackImage = StatusImage = nullptr;
        for (int slot = 0; slot < SoundSlots; ++slot) {
            savedSounds_[static_cast<size_t>(slot)] = SoundBuffers[slot];
            SoundBuffers[slot] = nullptr;
        }
        plat::ReleaseAllKeys();
        DropQueuedMessages();
        Backend().Reset();
        ScreenState = 1;
        CurtainPos = 0;
        RaceState = {};
        RandomState = 1;
    }
    void TearDown() override {
        plat::ReleaseAllKeys();
        DropQueuedMessages();
        for (IDirectDrawSurface* made : made_) made->Release();
        RoadImage = savedPictures_[0];
        CarsImage = savedPictures_[1];
        BackImage = savedPictures_[2];
        StatusImage = savedPictures_[3];
        for (int slot = 0; slot < SoundSlots; ++slot) SoundBuffers[slot] = savedSounds_[static_cast<size_t>(slot)];
        RaceState = {};
        ScreenState = 0;
    }

    // A race standing still in its countdown: neither traffic nor bonuses nor the clock run.
    void Countdown(int32_t speed, int32_t playerX = 402) {
        RaceState = {};
        RaceState.countdown = 10000;
        RaceState.speed = speed;
        RaceState.playerX = playerX;
    }
    // A race after its countdown, without traffic, the bonuses far above the view.
    void Running(int32_t speed) {
        RaceState = {};
        RaceState.countdown = 0;
        RaceState.activeCars = 0;
        RaceState.speed = speed;
        RaceState.timeLeft = 200;
        RaceState.timeBonus = {0, -30000};
        RaceState.energyBonus = {0, -30000};
    }
    IDirectDrawSurface* Picture(int width, int height, uint16_t colour) {
        IDirectDrawSurface* surface = MakeSurface(width, height);
        if (surface != nullptr) {
            FillSurface(surface, colour);
            made_.push_back(surface);
        }
        return surface;
    }

private:
    std::array<IDirectDrawSurface*, 4> savedPictures_{};
    std::array<LPDIRECTSOUNDBUFFER, SoundSlots> savedSounds_{};
    std::vector<IDirectDrawSurface*> made_;
};

// ---------------------------------------------------------------------------------------
// Start values and difficulty.

TEST_F(Race, ResetRaceSetsThePlayerAndLeavesTheCarriedFields) {
    RaceState.playerX = 30;
    RaceState.playerY = 12;
    RaceState.speed = -7;
    RaceState.energy = -300;
    RaceState.points = 4711;
    RaceState.pendingPoints = 33;
    RaceState.timeLeft = -40;
    RaceState.countdown = -2;
    RaceState.activeCars = 13;
    RaceState.maxSpeed = 141;
    RaceState.damageDivisor = 6000;
    RaceState.roadScroll = 412;
    RaceState.frameDivider = 4;
    RaceState.quitConfirm = true;
    RandomState = 99;
    ResetRace();
    const struct RaceState after = RaceState;
    const uint32_t generatorAfter = RandomState;
    EXPECT_EQ(after.playerX, 402);
    EXPECT_EQ(after.playerY, 400);
    EXPECT_EQ(after.speed, 100);
    EXPECT_EQ(after.energy, 1000);
    EXPECT_EQ(after.points, 0);
    EXPECT_EQ(after.pendingPoints, 0);
    EXPECT_EQ(after.timeLeft, 100);
    EXPECT_EQ(after.countdown, 250);
    EXPECT_EQ(after.activeCars, 13);
    EXPECT_EQ(after.maxSpeed, 141);
    EXPECT_EQ(after.damageDivisor, 6000);
    EXPECT_EQ(after.roadScroll, 412);
    EXPECT_EQ(after.frameDivider, 4);
    EXPECT_TRUE(after.quitConfirm);
    EXPECT_EQ(after.playerMass, 2500);

    // Cars 0 to 29 in turn, then the time bonus, then the energy bonus.
    RandomState = 99;
    for (int i = 0; i < TrafficPool; ++i) SpawnCar(i);
    for (int i = 0; i < TrafficPool; ++i) {
        EXPECT_EQ(std::memcmp(&after.cars[i], &RaceState.cars[i], sizeof(TrafficCar)), 0) << i;
    }
    Generator next{RandomState};
    EXPECT_EQ(after.timeBonus.y, -1000);
    EXPECT_EQ(after.timeBonus.xOffset, next.Below(150));
    EXPECT_EQ(after.energyBonus.y, -5000);
    EXPECT_EQ(after.energyBonus.xOffset, next.Below(150));
    EXPECT_EQ(next.state, generatorAfter);  // nothing else was drawn
}

TEST_F(Race, DifficultyLevelsSetTheClockAndTheDamage) {
    const int32_t expected[5][2] = {{0, 0}, {250, 12000}, {200, 10000}, {150, 8000}, {75, 6000}};
    for (int32_t level = 1; level <= 4; ++level) {
        RaceState.timeLeft = 1;
        RaceState.damageDivisor = 1;
        ApplyDifficulty(level);
        EXPECT_EQ(RaceState.timeLeft, expected[level][0]) << level;
        EXPECT_EQ(RaceState.damageDivisor, expected[level][1]) << level;
    }
    for (int32_t level : {0, 5, -1, 2000000000}) {
        RaceState = {};
        RaceState.timeLeft = 77;
        RaceState.damageDivisor = 5555;
        struct RaceState before = RaceState;
        ApplyDifficulty(level);
        EXPECT_EQ(std::memcmp(&before, &RaceState, sizeof before), 0) << level;
    }
}

// ---------------------------------------------------------------------------------------
// The countdown.

TEST_F(Race, CountdownShowsItsNumberAndHoldsTrafficBonusesAndClock) {
    RandomState = 1;
    ResetRace();
    RaceState.quitConfirm = false;
    ApplyDifficulty(2);
    const struct RaceState start = RaceState;
    std::string shown;
    std::vector<int> runs;  // lengths of the runs of equal numbers
    char last = 0;
    for (int frame = 0; frame < 250; ++frame) {
        RaceTick();
        Screen screen = Snapshot(PrimarySurface);
        std::string number = ReadText(screen, 262, 200, Red, 3);
        ASSERT_EQ(number.size(), 1u) << "frame " << frame << ": '" << number << "'";
        if (number[0] != last) runs.push_back(0);
        runs.back() += 1;
        last = number[0];
        shown += number;
        if (frame == 0 || frame == 249) {
            // The font has no question mark: it leaves its cell empty.
            EXPECT_EQ(ReadText(screen, 216, 190, Red, 15), "ARE YOU READY") << frame;
        }
    }
    EXPECT_EQ(shown.substr(0, 1), "7");
    EXPECT_EQ(runs, (std::vector<int>{11, 40, 40, 40, 40, 40, 39}));
    std::string order;
    for (size_t i = 0, at = 0; i < runs.size(); at += static_cast<size_t>(runs[i]), ++i) order += shown[at];
    EXPECT_EQ(order, "7654321");
    EXPECT_EQ(RaceState.countdown, 0);
    EXPECT_EQ(Backend().flips, 250);

    // Traffic and bonuses stood still, the clock did not run; the road did scroll.
    for (int i = 0; i < TrafficPool; ++i) {
        EXPECT_EQ(RaceState.cars[i].y, start.cars[i].y) << i;
        EXPECT_EQ(RaceState.cars[i].x, start.cars[i].x) << i;
    }
    EXPECT_EQ(RaceState.timeBonus.y, start.timeBonus.y);
    EXPECT_EQ(RaceState.energyBonus.y, start.energyBonus.y);
    EXPECT_EQ(RaceState.timeLeft, 200);
    EXPECT_NE(RaceState.roadScroll, start.roadScroll);
    EXPECT_EQ(RaceState.speed, 50);  // one less every five frames on the smooth band

    // The first frame after it: no message, the bonuses move with the road.
    int32_t bonusY = RaceState.timeBonus.y;
    RaceTick();
    Screen screen = Snapshot(PrimarySurface);
    EXPECT_EQ(ReadText(screen, 216, 190, Red, 15), "");
    EXPECT_EQ(ReadText(screen, 262, 200, Red, 3), "");
    EXPECT_EQ(RaceState.timeBonus.y, bonusY + RaceState.speed / 15);
    EXPECT_EQ(RaceState.countdown, 0);
}

// ---------------------------------------------------------------------------------------
// The player's car without keys.

TEST_F(Race, SmoothGroundLosesOneEveryFifthFrame) {
    for (int32_t x : {170, 260, 380, 402, 530}) {
        Countdown(100, x);
        std::vector<int32_t> speeds;
        for (int frame = 0; frame < 10; ++frame) {
            RaceTick();
            speeds.push_back(RaceState.speed);
            EXPECT_EQ(RaceState.playerX, x);
        }
        EXPECT_EQ(speeds, (std::vector<int32_t>{100, 100, 100, 100, 99, 99, 99, 99, 99, 98})) << x;
        EXPECT_EQ(RaceState.frameDivider, 0);
    }
    // Standing or reversing cars do not slow down by themselves.
    for (int32_t speed : {0, -15}) {
        Countdown(speed);
        for (int frame = 0; frame < 10; ++frame) RaceTick();
        EXPECT_EQ(RaceState.speed, speed);
    }
}

TEST_F(Race, RoughGroundShakesAndBrakesHard) {
    struct Case {
        int32_t x;
        int32_t speed;
        int32_t shake;   // speed / 63
        int32_t spread;  // speed / 33 + 1
        int32_t after;
    };
    const Case cases[] = {{169, 100, 1, 4, 95}, {261, 100, 1, 4, 95}, {379, 100, 1, 4, 95}, {531, 100, 1, 4, 95},
                          {300, 200, 3, 7, 190}, {100, 63, 1, 2, 60}, {600, 20, 0, 1, 19},
                          {300, 19, 0, 1, 19}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        SCOPED_TRACE(c.speed);
        Countdown(c.speed, c.x);
        RaceState.frameDivider = 4;
        RandomState = 4242;
        Generator next{RandomState};
        int32_t expectedX = c.x + c.shake - next.Below(c.spread);
        RaceTick();
        EXPECT_EQ(RaceState.playerX, expectedX);
        EXPECT_EQ(RaceState.speed, c.after);
        EXPECT_EQ(RaceState.frameDivider, 0);
    }
    // The shake stays inside the road's edges.
    Countdown(200, 22);
    RaceState.frameDivider = 4;
    for (uint32_t seed = 1; seed < 40; ++seed) {
        RaceState.playerX = 22;
        RaceState.speed = 200;
        RaceState.frameDivider = 4;
        RandomState = seed;
        RaceTick();
        EXPECT_GE(RaceState.playerX, 22);
        EXPECT_LE(RaceState.playerX, 25);
    }
}

// ---------------------------------------------------------------------------------------
// Keys.

TEST_F(Race, SteeringMovesBySpeedOverSixtyAndReversedByEighty) {
    struct Case {
        int vk;
        int32_t speed;
        int32_t dx;
    };
    const Case cases[] = {{VK_LEFT, 120, -2}, {VK_RIGHT, 120, 2},  {VK_LEFT, 179, -2}, {VK_RIGHT, 60, 1},
                          {VK_LEFT, 59, 0},   {VK_RIGHT, 59, 0},   {VK_LEFT, 0, 0},    {VK_LEFT, -80, -1},
                          {VK_RIGHT, -80, 1}, {VK_LEFT, -79, 0},   {VK_RIGHT, -20, 0}, {VK_LEFT, -160, -2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vk);
        SCOPED_TRACE(c.speed);
        Countdown(c.speed);
        RaceState.maxSpeed = 230;
        Hold(c.vk);
        RaceTick();
        Let(c.vk);
        EXPECT_EQ(RaceState.playerX, 402 + c.dx);
        EXPECT_EQ(RaceState.speed, c.speed);  // far below the top speed: no loss
    }
    // Both held: the moves cancel, and near the top speed each costs one.
    Countdown(200);
    RaceState.maxSpeed = 230;
    Hold(VK_LEFT);
    Hold(VK_RIGHT);
    RaceTick();
    EXPECT_EQ(RaceState.playerX, 402);
    EXPECT_EQ(RaceState.speed, 198);
    Let(VK_LEFT);
    Let(VK_RIGHT);
}

TEST_F(Race, SteeringNearTheTopSpeedCostsSpeedAgainstTheLastTopSpeed) {
    Countdown(160);
    RaceState.maxSpeed = 200;  // the program-start value; this frame sets it to 230
    Hold(VK_LEFT);
    RaceTick();
    EXPECT_EQ(RaceState.speed, 159);
    EXPECT_EQ(RaceState.playerX, 400);
    EXPECT_EQ(RaceState.maxSpeed, 230);
    RaceTick();  // 159 is not above 230 - 50
    EXPECT_EQ(RaceState.speed, 159);
    RaceState.speed = 181;
    RaceTick();
    EXPECT_EQ(RaceState.speed, 180);
    RaceTick();
    EXPECT_EQ(RaceState.speed, 180);
    Let(VK_LEFT);
}

TEST_F(Race, SteeringNeedsTheCarInsideTheRoadPicture) {
    // Left only while playerX < 640, Right only while playerX > 0 (a push by the traffic can
    // leave it outside until the next physics step).
    Countdown(190);
    RaceState.maxSpeed = 200;
    RaceState.playerX = 700;
    Hold(VK_LEFT);
    RaceTick();
    EXPECT_EQ(RaceState.speed, 190);
    EXPECT_EQ(RaceState.playerX, 638);

    RaceState.maxSpeed = 200;
    RaceState.playerX = 639;
    RaceTick();
    EXPECT_EQ(RaceState.speed, 189);
    EXPECT_EQ(RaceState.playerX, 636);
    Let(VK_LEFT);

    Countdown(190);
    RaceState.maxSpeed = 200;
    RaceState.playerX = -5;
    Hold(VK_RIGHT);
    RaceTick();
    EXPECT_EQ(RaceState.speed, 190);
    EXPECT_EQ(RaceState.playerX, 22);

    RaceState.maxSpeed = 200;
    RaceState.playerX = 1;
    RaceTick();
    EXPECT_EQ(RaceState.speed, 189);
    EXPECT_EQ(RaceState.playerX, 22);
    Let(VK_RIGHT);
}

TEST_F(Race, PlayerStaysBetweenTheRoadsEdges) {
    for (int32_t x : {10, -500, 21}) {
        Countdown(0, x);
        RaceTick();
        EXPECT_EQ(RaceState.playerX, 22) << x;
    }
    for (int32_t x : {639, 700, 100000}) {
        Countdown(0, x);
        RaceTick();
        EXPECT_EQ(RaceState.playerX, 638) << x;
    }
    Countdown(200, 23);
    RaceState.maxSpeed = 230;
    Hold(VK_LEFT);
    for (int frame = 0; frame < 3; ++frame) {
        RaceTick();
        EXPECT_EQ(RaceState.playerX, 22);
    }
    Let(VK_LEFT);
    Countdown(200, 636);
    Hold(VK_RIGHT);
    RaceTick();
    EXPECT_EQ(RaceState.playerX, 638);
    Let(VK_RIGHT);
}

TEST_F(Race, AcceleratorAddsOneFourTimesInFive) {
    Countdown(100);
    RaceState.maxSpeed = 230;
    Hold(VK_UP);
    int gained = 0;
    for (int frame = 1; frame <= 200; ++frame) {
        int32_t expected = RaceState.speed - (RaceState.frameDivider == 4 ? 1 : 0);
        if (expected < 230) {
            Generator next{RandomState};
            bool up = next.Below(5) != 0;  // the first number this frame draws
            expected += up ? 1 : 0;
            gained += up ? 1 : 0;
        }
        RaceTick();
        ASSERT_EQ(RaceState.speed, expected) << "frame " << frame;
    }
    EXPECT_GT(gained, 120);
    EXPECT_LT(gained, 170);
    // It never goes past the top speed.
    for (int frame = 0; frame < 400; ++frame) {
        RaceTick();
        EXPECT_LE(RaceState.speed, 230);
    }
    EXPECT_GE(RaceState.speed, 228);
    // A weaker car tops out lower.
    Countdown(200);
    RaceState.energy = 501;
    RaceState.maxSpeed = 180;
    for (int frame = 0; frame < 200; ++frame) {
        RaceTick();
        EXPECT_LE(RaceState.speed, 200);
    }
    EXPECT_LE(RaceState.speed, 180);
    EXPECT_EQ(RaceState.maxSpeed, 180);
    Let(VK_UP);
}

TEST_F(Race, BrakeAndReverse) {
    Countdown(100);
    Hold(VK_SPACE);
    RaceTick();
    EXPECT_EQ(RaceState.speed, 98);
    for (int32_t speed : {2, 1}) {
        RaceState.speed = speed;
        RaceState.frameDivider = 0;
        RaceTick();
        EXPECT_EQ(RaceState.speed, speed - 2);
    }
    RaceState.speed = 0;
    RaceTick();
    EXPECT_EQ(RaceState.speed, 0);  // the brake does not reverse
    RaceState.speed = -5;
    RaceTick();
    EXPECT_EQ(RaceState.speed, -5);
    Let(VK_SPACE);

    Countdown(-18);
    Hold(VK_DOWN);
    RaceTick();
    EXPECT_EQ(RaceState.speed, -19);
    RaceTick();
    EXPECT_EQ(RaceState.speed, -20);
    RaceTick();
    EXPECT_EQ(RaceState.speed, -20);
    RaceState.speed = 50;
    RaceTick();
    EXPECT_EQ(RaceState.speed, 49);
    // Down and the brake together on a slow car: Down first, then the brake finds 0.
    RaceState.speed = 1;
    RaceState.frameDivider = 0;
    Hold(VK_SPACE);
    RaceTick();
    EXPECT_EQ(RaceState.speed, 0);
    Let(VK_SPACE);
    Let(VK_DOWN);
}

TEST_F(Race, LowEnergyMakesTheCarDrift) {
    Countdown(100);
    RaceState.energy = 1;
    int32_t lowest = 0;
    int32_t highest = 0;
    for (int frame = 1; frame <= 200; ++frame) {
        RaceState.playerX = 402;
        RaceState.frameDivider = 0;
        RaceState.speed = 100;
        Generator next{RandomState};
        int32_t dx = (next.Below(1000) - 500) / 200;
        RaceTick();
        ASSERT_EQ(RaceState.playerX, 402 + dx) << "frame " << frame;
        lowest = std::min(lowest, dx);
        highest = std::max(highest, dx);
    }
    EXPECT_EQ(lowest, -2);
    EXPECT_EQ(highest, 2);
    EXPECT_EQ(RaceState.maxSpeed, 130);

    // Half energy drifts up to one pixel; at 60 or slower there is no drift.
    RaceState.energy = 500;
    for (int frame = 0; frame < 100; ++frame) {
        RaceState.playerX = 402;
        RaceState.speed = 100;
        RaceTick();
        EXPECT_GE(RaceState.playerX, 401);
        EXPECT_LE(RaceState.playerX, 403);
    }
    EXPECT_EQ(RaceState.maxSpeed, 180);
    RaceState.energy = 1;
    RaceState.playerX = 402;
    for (int frame = 0; frame < 50; ++frame) {
        RaceState.speed = 60;
        RaceState.frameDivider = 0;
        RaceTick();
        EXPECT_EQ(RaceState.playerX, 402);
    }
}

TEST_F(Race, TopSpeedFollowsTheEnergy) {
    const int32_t cases[][2] = {{1000, 230}, {995, 230}, {991, 229}, {990, 229}, {501, 180}, {1, 130}};
    for (const auto& c : cases) {
        Countdown(0);
        RaceState.energy = c[0];
        RaceTick();
        EXPECT_EQ(RaceState.maxSpeed, c[1]) << c[0];
    }
    // Without energy it keeps its last value.
    Countdown(0);
    RaceState.energy = 0;
    RaceState.maxSpeed = 171;
    RaceTick();
    EXPECT_EQ(RaceState.maxSpeed, 171);
}

TEST_F(Race, WithoutEnergyTheKeysAreDeadAndTheCarRollsToAStop) {
    Countdown(100);
    RaceState.energy = 0;
    RaceState.maxSpeed = 170;
    for (int vk : {VK_LEFT, VK_UP, VK_SPACE}) Hold(vk);
    int frames = 0;
    while (RaceState.speed > 0 && frames < 2000) {
        int32_t before = RaceState.speed;
        bool fifth = RaceState.frameDivider == 4;
        Generator next{RandomState};
        int32_t slowed = fifth ? before - 1 : before;
        int32_t expected = slowed > 0 && next.Below(150) != 0 ? slowed - 1 : slowed;
        RaceTick();
        ASSERT_EQ(RaceState.speed, expected) << "frame " << frames;
        ASSERT_EQ(RaceState.playerX, 402);
        ++frames;
    }
    EXPECT_EQ(RaceState.speed, 0);
    EXPECT_GT(frames, 60);
    EXPECT_LT(frames, 100);
    for (int frame = 0; frame < 20; ++frame) RaceTick();
    EXPECT_EQ(RaceState.speed, 0);
    EXPECT_EQ(RaceState.maxSpeed, 170);

    // Reversing, it rolls forward to a stop; Down does nothing.
    Countdown(-20);
    RaceState.energy = -40;
    Hold(VK_DOWN);
    frames = 0;
    while (RaceState.speed < 0 && frames < 2000) {
        int32_t before = RaceState.speed;
        Generator next{RandomState};
        int32_t expected = next.Below(70) != 0 ? before + 1 : before;
        RaceTick();
        ASSERT_EQ(RaceState.speed, expected) << "frame " << frames;
        ++frames;
    }
    EXPECT_EQ(RaceState.speed, 0);
    for (int vk : {VK_LEFT, VK_UP, VK_SPACE, VK_DOWN}) Let(vk);
}

TEST_F(Race, AnEnergyBonusBringsADeadCarBack) {
    Running(0);
    RaceState.energy = -30;
    RaceState.energyBonus = {32, 400};  // under the car
    Hold(VK_LEFT);
    Hold(VK_UP);
    RaceTick();  // keys still dead in this frame; the bonus is collected after the physics
    EXPECT_EQ(RaceState.energy, 70);
    EXPECT_EQ(RaceState.playerX, 402);
    EXPECT_EQ(RaceState.speed, 0);
    RaceState.speed = 120;
    Generator next{RandomState};
    bool up = next.Below(5) != 0;
    int32_t drift = (next.Below(1001 - 70) - (1001 - 70) / 2) / 200;
    RaceTick();
    EXPECT_EQ(RaceState.playerX, 400 + drift);
    EXPECT_EQ(RaceState.speed, up ? 121 : 120);
    Let(VK_LEFT);
    Let(VK_UP);
}

// ---------------------------------------------------------------------------------------
// The clock and the panel.

TEST_F(Race, ClockFallsEveryFifthFrameAfterTheCountdown) {
    Running(0);
    RaceState.countdown = 5;
    std::vector<int32_t> clock;
    for (int frame = 0; frame < 15; ++frame) {
        RaceTick();
        clock.push_back(RaceState.timeLeft);
    }
    // Frame 5 still sees countdown 1 in its physics; frames 10 and 15 count.
    EXPECT_EQ(clock, (std::vector<int32_t>{200, 200, 200, 200, 200, 200, 200, 200, 200, 199, 199, 199, 199, 199, 198}));

    // It goes on below zero.
    Running(0);
    RaceState.timeLeft = 1;
    for (int frame = 0; frame < 15; ++frame) RaceTick();
    EXPECT_EQ(RaceState.timeLeft, -2);
}

TEST_F(Race, ClockMessageWarnsAndRunsOut) {
    struct Case {
        int32_t timeLeft;
        const char* message;
        const char* shown;
    };
    const Case cases[] = {{200, "", "200"},          {50, "", "50"},           {49, "HURRY UP !", "49"},
                          {1, "HURRY UP !", "1"},    {0, "TIME OUT !", "0"},   {-1, "TIME OUT !", "0"},
                          {-4000, "TIME OUT !", "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timeLeft);
        Running(0);
        RaceState.timeLeft = c.timeLeft;
        RaceTick();
        Screen screen = Snapshot(PrimarySurface);
        EXPECT_EQ(ReadText(screen, 210, 460, Red, 10), c.message);
        EXPECT_EQ(ReadText(screen, 596, 230, ValueColour, 5), c.shown);
        EXPECT_EQ(ReadText(screen, 500, 230, LabelColour, 11), "TIME LEFT");
        if (*c.message != '\0') {
            // The shadow: one pixel up and left, dark red.
            EXPECT_EQ(screen.At(209 + 2, 459 + 0), Pack565(128, 0, 0));  // H's top row starts at column 2
        }
    }
}

TEST_F(Race, PanelShowsSpeedEnergyPointsAndTime) {
    Countdown(0);
    RaceState.energy = 1000;
    RaceState.points = 1234;
    RaceState.timeLeft = 321;
    RaceTick();
    Screen screen = Snapshot(PrimarySurface);
    EXPECT_EQ(ReadText(screen, 500, 200, LabelColour, 12), "YOUR SPEED");
    EXPECT_EQ(ReadText(screen, 500, 210, LabelColour, 12), "YOUR ENERGY");
    EXPECT_EQ(ReadText(screen, 500, 220, LabelColour, 12), "YOUR POINTS");
    EXPECT_EQ(ReadText(screen, 500, 230, LabelColour, 12), "TIME LEFT");
    EXPECT_EQ(ReadText(screen, 596, 200, ValueColour, 5), "0");
    EXPECT_EQ(ReadText(screen, 596, 210, ValueColour, 5), "100");
    EXPECT_EQ(ReadText(screen, 596, 220, ValueColour, 5), "1234");
    EXPECT_EQ(ReadText(screen, 596, 230, ValueColour, 5), "321");

    // Energy shown in tenths, never below 0.
    const int32_t energies[][2] = {{999, 99}, {10, 1}, {9, 0}, {5, 0}, {0, 0}, {-50, 0}};
    for (const auto& e : energies) {
        Countdown(0);
        RaceState.energy = e[0];
        RaceTick();
        EXPECT_EQ(ReadText(Snapshot(PrimarySurface), 596, 210, ValueColour, 5), std::to_string(e[1])) << e[0];
    }

    // Below 10 the speed shows 0; from 10 it flickers between speed - 1 and speed, by the
    // last number the frame drew.
    for (int32_t speed : {9, 1, -20}) {
        Countdown(speed);
        RaceTick();
        EXPECT_EQ(ReadText(Snapshot(PrimarySurface), 596, 200, ValueColour, 5), "0") << speed;
    }
    bool sawLower = false;
    bool sawSpeed = false;
    for (int frame = 0; frame < 40; ++frame) {
        Countdown(10);
        RaceTick();
        int32_t lastDraw = static_cast<int32_t>((RandomState >> 16) & 0x7FFF);
        std::string shown = ReadText(Snapshot(PrimarySurface), 596, 200, ValueColour, 5);
        EXPECT_EQ(shown, std::to_string(9 + lastDraw % 2));
        sawLower = sawLower || shown == "9";
        sawSpeed = sawSpeed || shown == "10";
    }
    EXPECT_TRUE(sawLower);
    EXPECT_TRUE(sawSpeed);
}

TEST_F(Race, PointsArriveOnePerFrameEvenWhilePaused) {
    Countdown(0);
    RaceState.points = 10;
    RaceState.pendingPoints = 3;
    std::vector<std::string> shown;
    for (int frame = 0; frame < 4; ++frame) {
        RaceTick();
        shown.push_back(ReadText(Snapshot(PrimarySurface), 596, 220, ValueColour, 5));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"11", "12", "13", "13"}));
    EXPECT_EQ(RaceState.pendingPoints, 0);

    RaceState.quitConfirm = true;
    RaceState.pendingPoints = 50;
    for (int frame = 0; frame < 20; ++frame) RaceTick();
    EXPECT_EQ(RaceState.points, 33);
    EXPECT_EQ(RaceState.pendingPoints, 30);
}

// ---------------------------------------------------------------------------------------
// The paused race.

TEST_F(Race, QuitQuestionFreezesTheRaceButNotEverything) {
    Running(100);
    RaceState.activeCars = 5;
    const int32_t lanes[5] = {132, 187, 242, 457, 512};
    for (int i = 0; i < 5; ++i) {
        RaceState.cars[i] = {lanes[i], 150, i < 3 ? 100 : -100, 2500, 5 + i};
    }
    RaceState.timeBonus = {0, 100};       // road x 370: beside the car, not under it
    RaceState.energyBonus = {149, 300};   // road x 519
    RaceState.frameDivider = 4;
    RaceState.timeLeft = 100;
    RaceState.roadScroll = 100;
    RaceState.pendingPoints = 5;
    RaceState.quitConfirm = true;
    const struct RaceState before = RaceState;
    Hold(VK_LEFT);
    Hold(VK_UP);
    uint32_t generator = RandomState;
    for (int frame = 0; frame < 20; ++frame) RaceTick();
    EXPECT_EQ(RaceState.playerX, 402);
    EXPECT_EQ(RaceState.speed, 100);
    EXPECT_EQ(RaceState.frameDivider, 4);
    EXPECT_EQ(RaceState.timeLeft, 100);
    EXPECT_EQ(RaceState.roadScroll, 100);
    EXPECT_EQ(RaceState.timeBonus.y, 100);
    EXPECT_EQ(RaceState.energyBonus.y, 300);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(RaceState.cars[i].y, 150) << i;
        EXPECT_EQ(RaceState.cars[i].x, lanes[i]) << i;
    }
    EXPECT_EQ(RaceState.points, 5);
    EXPECT_EQ(RaceState.pendingPoints, 0);
    EXPECT_EQ(Backend().flips, 20);
    EXPECT_NE(RandomState, generator);  // the traffic's speeds wander on
    Screen screen = Snapshot(PrimarySurface);
    EXPECT_EQ(ReadText(screen, 200, 180, Red, 18), "ARE YOU SURE - Y/N");
    std::string speedShown = ReadText(screen, 596, 200, ValueColour, 5);
    EXPECT_TRUE(speedShown == "99" || speedShown == "100") << speedShown;
    for (int frame = 0; frame < 80; ++frame) RaceTick();
    bool wandered = false;
    for (int i = 0; i < 5; ++i) {
        wandered = wandered || RaceState.cars[i].speed != before.cars[i].speed;
        EXPECT_EQ(RaceState.cars[i].y, 150) << i;
    }
    EXPECT_TRUE(wandered);
    Let(VK_LEFT);
    Let(VK_UP);

    // Answered no: everything moves again.
    RaceState.quitConfirm = false;
    struct RaceState paused = RaceState;
    RaceTick();
    EXPECT_EQ(RaceState.frameDivider, 0);
    EXPECT_EQ(RaceState.speed, 99);
    EXPECT_EQ(RaceState.timeLeft, 99);
    EXPECT_EQ(RaceState.roadScroll, 100 + 99 / 15);
    EXPECT_EQ(RaceState.timeBonus.y, 100 + 99 / 15);
    EXPECT_EQ(RaceState.energyBonus.y, 300 + 99 / 15);
    for (int i = 0; i < 3; ++i) EXPECT_GT(RaceState.cars[i].y, paused.cars[i].y) << i;  // oncoming
    EXPECT_EQ(ReadText(Snapshot(PrimarySurface), 200, 180, Red, 18), "");
}

TEST_F(Race, NewRaceAfterALongOneKeepsItsTraffic) {
    RaceState.activeCars = 12;
    RaceState.roadScroll = 300;
    ScreenState = 0;
    MenuSelection = 1;
    MainWndProc(MainWindow, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(ScreenState, 1);
    EXPECT_EQ(RaceState.activeCars, 12);
    EXPECT_EQ(RaceState.roadScroll, 300);
    EXPECT_EQ(RaceState.timeLeft, 200);
    EXPECT_EQ(RaceState.countdown, 250);
}

// ---------------------------------------------------------------------------------------
// The frame around the view, the panel picture, the engine sound.

TEST_F(Race, FourGreyOutlinesFrameTheRoadView) {
    StatusImage = Picture(160, 480, 0x1234);
    ASSERT_NE(StatusImage, nullptr);
    Countdown(0);
    RaceTick();
    Screen screen = Snapshot(PrimarySurface);
    const uint16_t greys[4] = {Pack565(16, 16, 16), Pack565(32, 32, 32), Pack565(64, 64, 64), Pack565(96, 96, 96)};
    EXPECT_EQ(greys[3], 0x5AEB);
    for (int ring = 0; ring < 4; ++ring) {
        SCOPED_TRACE(ring);
        int lo = ring;
        int hi = 479 - ring;
        for (int along : {ring, 100, 240, 479 - ring}) {
            EXPECT_EQ(screen.At(along, lo), greys[ring]) << along;
            EXPECT_EQ(screen.At(along, hi), greys[ring]) << along;
            EXPECT_EQ(screen.At(lo, along), greys[ring]) << along;
            EXPECT_EQ(screen.At(hi, along), greys[ring]) << along;
        }
    }
    EXPECT_EQ(screen.At(4, 4), 0);       // inside the frame: the cleared back buffer
    EXPECT_EQ(screen.At(100, 475), 0);
    // The panel picture fills the right 160 columns.
    EXPECT_EQ(screen.At(480, 0), 0x1234);
    EXPECT_EQ(screen.At(639, 479), 0x1234);
    EXPECT_EQ(screen.At(560, 100), 0x1234);
}

TEST_F(Race, EngineBuffersFollowTheSpeed) {
    std::array<LPDIRECTSOUNDBUFFER, 6> sounds = GameSounds();
    if (sounds[1] == nullptr || sounds[2] == nullptr || sounds[3] == nullptr) {
        GTEST_SKIP() << "Engine.snd could not be loaded";
    }
    for (int slot = 1; slot <= 3; ++slot) {
        sounds[static_cast<size_t>(slot)]->Stop();
        SoundBuffers[slot] = sounds[static_cast<size_t>(slot)];
    }
    std::string one = std::to_string(plat::SoundBufferIndex(sounds[1]));
    std::string two = std::to_string(plat::SoundBufferIndex(sounds[2]));
    std::string three = std::to_string(plat::SoundBufferIndex(sounds[3]));
    Countdown(100);
    Backend().Reset();
    RaceTick();
    EXPECT_EQ(Backend().Lines("sound"),
              (std::vector<std::string>{"sound " + three + " freq 37000", "sound " + one + " freq 27000",
                                        "sound " + one + " play", "sound " + two + " play", "sound " + three + " play"}));
    // Still sounding: only the pitch follows (reversing lowers it).
    RaceState.speed = -20;
    Backend().Reset();
    RaceTick();
    EXPECT_EQ(Backend().Lines("sound"),
              (std::vector<std::string>{"sound " + three + " freq 31000", "sound " + one + " freq 21000"}));
    // Paused, the engine goes on.
    RaceState.quitConfirm = true;
    RaceState.speed = 230;
    Backend().Reset();
    RaceTick();
    EXPECT_EQ(Backend().Lines("sound"),
              (std::vector<std::string>{"sound " + three + " freq 43500", "sound " + one + " freq 33500"}));
    for (int slot = 1; slot <= 3; ++slot) sounds[static_cast<size_t>(slot)]->Stop();
}

}  // namespace
