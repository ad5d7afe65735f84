// The race tick: start values, the countdown, the player's car under the keys, the clock,
// the status panel, the paused race, the frame around the view and the engine sound.
#include "../support/support.h"

#include "../../platform/core/mixer.h"
#include "../../src/assets/assets.h"
#include "../../src/audio/sound.h"
#include "../../src/display/display.h"
#include "../../src/display/font.h"
#include "../../src/game/race.h"
#include "../../src/game/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// R%n drawn from a copy of the race generator's state.
int32_t Draw(uint32_t& state, int32_t n) {
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 0x7FFF) % n;
}

uint16_t Pack565(int r, int g, int b) {
    return static_cast<uint16_t>(((r * 31 / 255) << 11) | ((g * 63 / 255) << 5) | (b * 31 / 255));
}
const uint16_t Red = Pack565(255, 0, 0), Label = Pack565(255, 0, 128), Value = Pack565(0, 128, 128);

// The picture on show after the last flip.
struct Screen {
    std::vector<uint16_t> pixels = std::vector<uint16_t>(640 * 480);
    Screen() {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        EXPECT_EQ(PrimarySurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        for (int y = 0; y < 480 && desc.lpSurface != nullptr; ++y)
            std::memcpy(&pixels[y * 640], static_cast<const uint8_t*>(desc.lpSurface) + y * desc.lPitch, 1280);
        EXPECT_EQ(PrimarySurface->Unlock(nullptr), DD_OK);
    }
    uint16_t At(int x, int y) const { return pixels[y * 640 + x]; }
    // The block-font text in `colour` at (x, y), `cells` characters wide: an empty cell reads
    // as a blank, one that matches no glyph as '?'; trailing blanks are dropped.
    std::string Text(int x, int y, uint16_t colour, int cells) const {
        std::string text;
        for (int cell = 0; cell < cells; ++cell, x += 8) {
            uint8_t rows[8] = {};
            for (int i = 0; i < 64; ++i)
                if (At(x + i % 8, y + i / 8) == colour) rows[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
            char found = std::memcmp(rows, "\0\0\0\0\0\0\0", 8) == 0 ? ' ' : '?';
            for (const BlockGlyph& glyph : BlockFont)
                if (found == '?' && std::memcmp(glyph.rows, rows, 8) == 0) found = glyph.character;
            text += found;
        }
        return text.erase(text.find_last_not_of(' ') + 1);
    }
};

// The race's scalar fields and the places of the first five cars, for whole-state comparisons.
std::vector<int64_t> Fields(const struct RaceState& s) {
    std::vector<int64_t> fields{s.playerX, s.playerY, s.speed, s.maxSpeed, s.energy, s.timeLeft, s.countdown,
                                s.points, s.pendingPoints, s.activeCars, s.playerMass, s.damageDivisor,
                                s.quitConfirm, s.frameDivider, s.roadScroll, s.timeBonus.xOffset, s.timeBonus.y,
                                s.energyBonus.xOffset, s.energyBonus.y};
    for (int i = 0; i < 5; ++i) fields.insert(fields.end(), {s.cars[i].x, s.cars[i].y});
    return fields;
}

// Holds exactly these keys (0 = none) for GetAsyncKeyState; their key-down messages are not
// the race's business.
void Keys(std::initializer_list<int> held) {
    plat::ReleaseAllKeys();
    for (int vk : held)
        if (vk != 0) plat::KeyDown(vk, false, false);
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) {
    }
}

void Tick(int frames) {
    for (int frame = 0; frame < frames; ++frame) RaceTick();
}

// Every test runs on the headless display, with the race at its program-start values, the
// generator at its start, no pictures and no sounds.
class Race : public ::testing::Test {
protected:
    void SetUp() override {
        DisplayUp();
        for (int i = 0; i < 4; ++i) std::swap(pictures_[i], *Pictures[i]);
        std::swap_ranges(sounds_, sounds_ + SoundSlots, SoundBuffers);
        Keys({});
        Backend().Reset();
        RaceState = {};
        RandomState = 1;
    }
    void TearDown() override {
        Keys({});
        if (StatusImage != nullptr) StatusImage->Release();  // the only picture a test makes
        for (int i = 0; i < 4; ++i) std::swap(pictures_[i], *Pictures[i]);
        std::swap_ranges(sounds_, sounds_ + SoundSlots, SoundBuffers);
    }
    // A race in its countdown, where neither traffic nor bonuses nor the clock run; or after
    // it, without traffic and with the bonuses far above the view.
    static void Start(int32_t speed, int32_t playerX = 402, bool running = false) {
        RaceState = {};
        RaceState.countdown = running ? 0 : 10000;
        RaceState.speed = speed;
        RaceState.playerX = playerX;
        if (!running) return;
        RaceState.activeCars = 0;
        RaceState.timeLeft = 200;
        RaceState.timeBonus = RaceState.energyBonus = {0, -30000};
    }

private:
    GfxImage* const Pictures[4] = {&RoadImage, &CarsImage, &BackImage, &StatusImage};
    GfxImage pictures_[4] = {};
    LPDIRECTSOUNDBUFFER sounds_[SoundSlots] = {};
};

// ---------------------------------------------------------------------------------------
// Start values and difficulty.

TEST_F(Race, ResetRaceSetsThePlayerAndLeavesTheCarriedFields) {
    // What an earlier race left, in field order: playerX, playerY, speed, maxSpeed, energy,
    // timeLeft, countdown, points, pendingPoints, activeCars, playerMass, damageDivisor,
    // quitConfirm, frameDivider, roadScroll.
    RaceState = {30, 12, -7, 141, -300, -40, -2, 4711, 33, 13, 2500, 6000, true, 4, 412};
    RandomState = 99;
    ResetRace();
    const struct RaceState after = RaceState;
    const uint32_t drawn = RandomState;
    // Cars 0 to 29 in turn, then the time bonus, then the energy bonus, and nothing else.
    RandomState = 99;
    for (int i = 0; i < TrafficPool; ++i) SpawnCar(i);
    EXPECT_EQ(std::memcmp(after.cars, RaceState.cars, sizeof after.cars), 0);
    uint32_t next = RandomState;
    struct RaceState want = {402, 400, 100, 141, 1000, 100, 250, 0, 0, 13, 2500, 6000, true, 4, 412};
    std::memcpy(want.cars, RaceState.cars, sizeof want.cars);
    want.timeBonus = {Draw(next, 150), -1000};
    want.energyBonus = {Draw(next, 150), -5000};
    EXPECT_EQ(Fields(after), Fields(want));
    EXPECT_EQ(drawn, next);
}

TEST_F(Race, DifficultyLevelsSetTheClockAndTheDamage) {
    const int32_t cases[][3] = {{1, 250, 12000}, {2, 200, 10000}, {3, 150, 8000},  {4, 75, 6000},
                                {0, 100, 10000}, {5, 100, 10000}, {-1, 100, 10000}, {2000000000, 100, 10000}};
    for (const auto& c : cases) {
        RaceState = {};
        struct RaceState want;  // the program-start values
        want.timeLeft = c[1];
        want.damageDivisor = c[2];
        ApplyDifficulty(c[0]);
        EXPECT_EQ(Fields(RaceState), Fields(want)) << c[0];
    }
}

// ---------------------------------------------------------------------------------------
// The countdown.

TEST_F(Race, CountdownShowsItsNumberAndHoldsTrafficBonusesAndClock) {
    ResetRace();
    ApplyDifficulty(2);
    const struct RaceState start = RaceState;
    std::string shown;
    for (int frame = 0; frame < 250; ++frame) {
        RaceTick();
        Screen screen;
        shown += screen.Text(262, 200, Red, 2);
        // The font has no question mark: it leaves its cell empty.
        EXPECT_EQ(screen.Text(216, 190, Red, 15), "ARE YOU READY") << frame;
    }
    std::string want(11, '7');  // 7 for 11 frames, 6 to 2 for 40 each, 1 for the last 39
    for (char digit = '6'; digit >= '2'; --digit) want += std::string(40, digit);
    EXPECT_EQ(shown, want + std::string(39, '1'));
    EXPECT_EQ(RaceState.countdown, 0);
    // Traffic, bonuses and the clock stood still (the last frame, a fifth one, still saw
    // countdown 1); the car slowed on the smooth band and the road scrolled.
    EXPECT_EQ(std::memcmp(RaceState.cars, start.cars, sizeof start.cars), 0);
    EXPECT_EQ(RaceState.timeBonus.y, start.timeBonus.y);
    EXPECT_EQ(RaceState.energyBonus.y, start.energyBonus.y);
    EXPECT_EQ(RaceState.timeLeft, 200);
    EXPECT_EQ(RaceState.speed, 50);
    EXPECT_NE(RaceState.roadScroll, start.roadScroll);

    // The first frame after it: no message, the bonuses move with the road.
    RaceTick();
    Screen screen;
    EXPECT_EQ(screen.Text(216, 190, Red, 15) + screen.Text(262, 200, Red, 2), "");
    EXPECT_EQ(RaceState.timeBonus.y, start.timeBonus.y + 50 / 15);
    // The clock falls every fifth frame, on below 0.
    Tick(4);
    EXPECT_EQ(RaceState.timeLeft, 199);
    RaceState.timeLeft = 1;
    Tick(15);
    EXPECT_EQ(RaceState.timeLeft, -2);
}

// ---------------------------------------------------------------------------------------
// The player's car.

TEST_F(Race, WithoutKeysTheGroundSlowsTheCarEveryFifthFrame) {
    const struct {
        int32_t x, speed, after;
        int32_t shake, spread;  // rough ground: x += shake - R%spread; 0, 0 on smooth ground
    } cases[] = {{170, 100, 99, 0, 0},  {260, 100, 99, 0, 0},   {380, 100, 99, 0, 0},  {530, 100, 99, 0, 0},
                 {169, 100, 95, 1, 4},  {261, 100, 95, 1, 4},   {379, 100, 95, 1, 4},  {531, 100, 95, 1, 4},
                 {300, 200, 190, 3, 7}, {100, 63, 60, 1, 2},    {600, 20, 19, 0, 1},   {300, 19, 19, 0, 1},
                 {402, 0, 0, 0, 0},     {100, -15, -15, 0, 0},  {402, -15, -15, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "x " << c.x << " speed " << c.speed);
        Start(c.speed, c.x);
        Tick(4);
        EXPECT_EQ(RaceState.speed, c.speed);
        EXPECT_EQ(RaceState.playerX, c.x);
        uint32_t next = RandomState;
        int32_t x = c.x + c.shake - (c.spread > 0 ? Draw(next, c.spread) : 0);
        RaceTick();
        EXPECT_EQ(RaceState.speed, c.after);
        EXPECT_EQ(RaceState.playerX, x);
        EXPECT_EQ(RaceState.frameDivider, 0);
    }
}

TEST_F(Race, OneFrameOfKeysMovesTheCarAndSetsTheTopSpeed) {
    const int L = VK_LEFT, R = VK_RIGHT, U = VK_UP, D = VK_DOWN, B = VK_SPACE;
    const struct {
        int key1, key2;
        int32_t x, speed, maxSpeed, wantX, wantSpeed;
    } cases[] = {
        // Steering: speed / 60 forward, speed / 80 reversing; far below the top speed no loss.
        {L, 0, 402, 120, 230, 400, 120}, {R, 0, 402, 120, 230, 404, 120}, {R, 0, 402, 60, 230, 403, 60},
        {L, 0, 402, 59, 230, 402, 59},   {L, 0, 402, 0, 230, 402, 0},     {L, 0, 402, -80, 230, 401, -80},
        {R, 0, 402, -80, 230, 403, -80}, {L, 0, 402, -79, 230, 402, -79}, {L, 0, 402, -160, 230, 400, -160},
        // Above the last top speed less 50, each steering key costs one.
        {L, 0, 402, 181, 230, 399, 180}, {L, 0, 402, 180, 230, 399, 180}, {R, 0, 402, 181, 230, 405, 180},
        {R, 0, 402, 180, 230, 405, 180}, {L, 0, 402, 160, 200, 400, 159}, {L, R, 402, 200, 230, 402, 198},
        // Left only while the car is left of 640, Right only while right of 0; then 22..638.
        {L, 0, 700, 190, 200, 638, 190}, {L, 0, 640, 190, 200, 638, 190}, {L, 0, 639, 190, 200, 636, 189},
        {R, 0, -5, 190, 200, 22, 190},   {R, 0, 1, 190, 200, 22, 189},    {L, 0, 23, 200, 230, 22, 199},
        {R, 0, 636, 200, 230, 638, 199}, {0, 0, 21, 0, 230, 22, 0},       {0, 0, -500, 0, 230, 22, 0},
        {0, 0, 22, 0, 230, 22, 0},       {0, 0, 638, 0, 230, 638, 0},     {0, 0, 639, 0, 230, 638, 0},
        // The brake takes 2 from a forward speed; Down takes 1 down to -20; Up stops at the top speed.
        {B, 0, 402, 100, 230, 402, 98},  {B, 0, 402, 1, 230, 402, -1},    {B, 0, 402, 0, 230, 402, 0},
        {B, 0, 402, -5, 230, 402, -5},   {D, 0, 402, -19, 230, 402, -20}, {D, 0, 402, -20, 230, 402, -20},
        {D, 0, 402, 50, 230, 402, 49},   {D, B, 402, 1, 230, 402, 0},     {U, 0, 402, 60, 60, 402, 60},
        {U, 0, 402, 230, 230, 402, 230},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "keys " << c.key1 << "+" << c.key2 << " x " << c.x << " speed " << c.speed);
        Start(c.speed, c.x);
        RaceState.maxSpeed = c.maxSpeed;
        Keys({c.key1, c.key2});
        RaceTick();
        EXPECT_EQ(RaceState.playerX, c.wantX);
        EXPECT_EQ(RaceState.speed, c.wantSpeed);
        EXPECT_EQ(RaceState.maxSpeed, 230);
    }
    // The top speed follows the energy; without energy it keeps its last value.
    for (auto [energy, top] : {std::pair{995, 230}, {991, 229}, {990, 229}, {501, 180}, {1, 130}, {0, 171}}) {
        Start(0);
        RaceState.energy = energy;
        RaceState.maxSpeed = 171;
        RaceTick();
        EXPECT_EQ(RaceState.maxSpeed, top) << energy;
    }
}

TEST_F(Race, AcceleratorAddsOneFourTimesInFiveUpToTheTopSpeed) {
    Start(100);
    Keys({VK_UP});
    for (int frame = 1; frame <= 600; ++frame) {
        uint32_t next = RandomState;  // the accelerator's is the first number a frame draws
        int32_t want = RaceState.speed - (RaceState.frameDivider == 4 ? 1 : 0);
        if (want < 230 && Draw(next, 5) != 0) want += 1;
        RaceTick();
        ASSERT_EQ(RaceState.speed, want) << "frame " << frame;
    }
    EXPECT_GE(RaceState.speed, 229);
}

TEST_F(Race, LowEnergyMakesTheCarDriftAboveSixty) {
    Start(100);
    for (int frame = 0; frame < 300; ++frame) {
        const int32_t energy = frame % 3 == 0 ? 500 : 1, d = 1001 - energy;
        RaceState.energy = energy;
        RaceState.playerX = 402;
        RaceState.frameDivider = 0;
        uint32_t next = RandomState;
        int32_t dx = (Draw(next, d) - d / 2) / 200;
        RaceTick();
        ASSERT_EQ(RaceState.playerX, 402 + dx) << "frame " << frame;
    }
    // At 60 the frame draws only the panel's number.
    RaceState.speed = 60;
    uint32_t next = RandomState;
    Draw(next, 2);
    RaceTick();
    EXPECT_EQ(RandomState, next);
    EXPECT_EQ(RaceState.playerX, 402);
}

TEST_F(Race, WithoutEnergyTheKeysAreDeadAndTheCarRollsToAStop) {
    for (int32_t speed : {100, -20}) {
        Start(speed);
        RaceState.energy = speed > 0 ? 0 : -40;
        RaceState.maxSpeed = 170;
        Keys({VK_LEFT, VK_UP, VK_SPACE, VK_DOWN});
        for (int frame = 0; RaceState.speed != 0 && frame < 2000; ++frame) {
            uint32_t next = RandomState;
            int32_t want = RaceState.speed - (RaceState.frameDivider == 4 && RaceState.speed > 0 ? 1 : 0);
            if (want > 0 && Draw(next, 150) != 0) want -= 1;
            if (want < 0 && Draw(next, 70) != 0) want += 1;
            RaceTick();
            ASSERT_EQ(RaceState.speed, want) << "speed " << speed << " frame " << frame;
            ASSERT_EQ(RaceState.playerX, 402);
        }
        Tick(20);
        EXPECT_EQ(RaceState.speed, 0);
        EXPECT_EQ(RaceState.maxSpeed, 170);
    }
    // An energy bonus under the car brings it back, from the next frame: this frame read no
    // key before the bonus was collected.
    Start(0, 402, true);
    RaceState.energy = -30;
    RaceState.energyBonus = {32, 400};
    Keys({VK_LEFT, VK_UP});
    RaceTick();
    EXPECT_EQ(RaceState.energy, 70);
    EXPECT_EQ(RaceState.speed, 0);
    RaceState.speed = 60;
    Keys({VK_LEFT});
    RaceTick();
    EXPECT_EQ(RaceState.playerX, 401);
}

// ---------------------------------------------------------------------------------------
// The clock and the panel.

TEST_F(Race, PanelShowsSpeedEnergyPointsAndTimeAndTheClockMessage) {
    const struct {
        int32_t speed, energy, timeLeft;
        const char *energyShown, *timeShown, *message;
    } cases[] = {{0, 1000, 321, "100", "321", ""},         {9, 999, 200, "99", "200", ""},
                 {1, 10, 50, "1", "50", ""},               {-20, 9, 49, "0", "49", "HURRY UP !"},
                 {10, 5, 1, "0", "1", "HURRY UP !"},       {10, 1, 0, "0", "0", "TIME OUT !"},
                 {0, 0, -1, "0", "0", "TIME OUT !"},       {0, -50, -4000, "0", "0", "TIME OUT !"},
                 {10, 500, 100, "50", "100", ""},          {10, 990, 100, "99", "100", ""},
                 {10, 1000, 100, "100", "100", ""},        {10, 900, 100, "90", "100", ""}};
    std::string speeds;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "speed " << c.speed << " energy " << c.energy << " time " << c.timeLeft);
        Start(c.speed);
        RaceState.energy = c.energy;
        RaceState.timeLeft = c.timeLeft;
        RaceState.points = 1234;
        RaceTick();
        Screen screen;
        // Below 10 the speed shows 0; from 10 it flickers between speed - 1 and speed, by the
        // frame's last number. Energy in tenths; energy and time never below 0.
        const std::string speed = std::to_string(c.speed < 10 ? 0 : 9 + ((RandomState >> 16) & 0x7FFF) % 2);
        const std::string labels[] = {"YOUR SPEED", "YOUR ENERGY", "YOUR POINTS", "TIME LEFT"};
        const std::string values[] = {speed, c.energyShown, "1234", c.timeShown};
        for (int row = 0; row < 4; ++row) {
            EXPECT_EQ(screen.Text(500, 200 + 10 * row, Label, 12), labels[row]);
            EXPECT_EQ(screen.Text(596, 200 + 10 * row, Value, 5), values[row]);
        }
        speeds += " " + screen.Text(596, 200, Value, 5);
        EXPECT_EQ(screen.Text(210, 460, Red, 10), c.message);
        // The shadow: one pixel up and left, dark red (the first letter's top row starts at its third column).
        EXPECT_EQ(screen.At(209 + 2, 459), *c.message != '\0' ? Pack565(128, 0, 0) : 0);
    }
    EXPECT_NE(speeds.find(" 9 "), std::string::npos);
    EXPECT_NE(speeds.find(" 10 "), std::string::npos);
}

// ---------------------------------------------------------------------------------------
// The paused race.

TEST_F(Race, QuitQuestionFreezesTheRaceButNotEverything) {
    Start(100, 402, true);
    RaceState.activeCars = 5;
    // Three oncoming cars on the left carriageway, two on the right, all far ahead of the player.
    for (int i = 0; i < 5; ++i) RaceState.cars[i] = {(i < 3 ? 132 : 292) + 55 * i, 150, i < 3 ? 100 : -100, 2500, 5 + i};
    RaceState.timeBonus = {0, 100};      // road x 370: beside the car, not under it
    RaceState.energyBonus = {149, 300};  // road x 519
    RaceState.frameDivider = 4;
    RaceState.roadScroll = 100;
    RaceState.pendingPoints = 5;
    RaceState.quitConfirm = true;
    const struct RaceState before = RaceState;
    Keys({VK_LEFT, VK_UP});
    for (int32_t points = 1; points <= 7; ++points) {
        RaceTick();  // points still arrive one per frame
        EXPECT_EQ(RaceState.points, std::min(points, 5));
    }
    Tick(93);
    struct RaceState want = before;
    want.points = 5;
    want.pendingPoints = 0;
    EXPECT_EQ(Fields(RaceState), Fields(want));  // the cars stand as well
    bool wandered = false;                        // but their speeds wander on
    for (int i = 0; i < 5; ++i) wandered = wandered || RaceState.cars[i].speed != before.cars[i].speed;
    EXPECT_TRUE(wandered);
    EXPECT_EQ(Backend().flips, 100);
    EXPECT_EQ(Screen().Text(200, 180, Red, 18), "ARE YOU SURE - Y/N");

    // Answered no: everything moves again.
    Keys({});
    RaceState.quitConfirm = false;
    RaceTick();
    const auto& s = RaceState;
    EXPECT_EQ((std::vector<int32_t>{s.frameDivider, s.speed, s.timeLeft, s.roadScroll, s.timeBonus.y, s.energyBonus.y}),
              (std::vector<int32_t>{0, 99, 199, 106, 106, 306}));
    for (int i = 0; i < 3; ++i) EXPECT_GT(s.cars[i].y, 150) << i;  // oncoming
    EXPECT_EQ(Screen().Text(200, 180, Red, 18), "");
}

// ---------------------------------------------------------------------------------------
// The frame around the view, the panel picture, the engine sound.

TEST_F(Race, FourGreyOutlinesFrameTheRoadViewBesideThePanelPicture) {
    StatusImage = MakeSurface(160, 480);
    ASSERT_NE(StatusImage, nullptr);
    FillSurface(StatusImage, 0x1234);
    Start(0);
    RaceTick();
    Screen screen;
    const uint16_t greys[4] = {Pack565(16, 16, 16), Pack565(32, 32, 32), Pack565(64, 64, 64), Pack565(96, 96, 96)};
    for (int ring = 0; ring < 4; ++ring)
        for (int along : {ring, 100, 240, 479 - ring})
            for (auto [x, y] : {std::pair{along, ring}, {along, 479 - ring}, {ring, along}, {479 - ring, along}})
                EXPECT_EQ(screen.At(x, y), greys[ring]) << x << ", " << y;
    EXPECT_EQ(screen.At(4, 4), 0);  // inside the frame: the cleared back buffer
    EXPECT_EQ(screen.At(100, 475), 0);
    EXPECT_EQ(screen.At(480, 0), 0x1234);
    EXPECT_EQ(screen.At(639, 479), 0x1234);
}

TEST_F(Race, EngineBuffersFollowTheSpeed) {
    ASSERT_TRUE(DirectSoundObject != nullptr || SoundDevice.Init());
    std::string sound[4];  // "sound N " for the buffers in slots 1 to 3
    for (int slot = 1; slot <= 3; ++slot) {
        SoundDevice.LoadSound(slot, (GameDir() + "/Engine.snd").c_str());
        if (SoundBuffers[slot] == nullptr) GTEST_SKIP() << "Engine.snd could not be loaded";
        sound[slot] = "sound " + std::to_string(plat::SoundBufferIndex(SoundBuffers[slot])) + " ";
    }
    const struct {
        int32_t speed;
        bool paused;
        std::vector<std::string> record;
    } steps[] = {
        {100, false,
         {sound[3] + "freq 37000", sound[1] + "freq 27000", sound[1] + "play", sound[2] + "play", sound[3] + "play"}},
        // Still sounding: only the pitch follows, lower when reversing, and also while paused.
        {-20, false, {sound[3] + "freq 31000", sound[1] + "freq 21000"}},
        {230, true, {sound[3] + "freq 43500", sound[1] + "freq 33500"}}};
    Start(0);
    for (const auto& step : steps) {
        RaceState.speed = step.speed;
        RaceState.quitConfirm = step.paused;
        Backend().Reset();
        RaceTick();
        EXPECT_EQ(Backend().Lines("sound"), step.record) << step.speed;
    }
    for (int slot = 1; slot <= 3; ++slot) SoundBuffers[slot]->Release();
}

}  // namespace
