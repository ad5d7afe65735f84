// The race tick: start values, the countdown, the player's car under the keys, the clock,
// the status panel, the paused race and the engine sound.
#include "../support/support.h"

#include <climits>

using namespace testing_support;

namespace {

const uint16_t Red = Pack565(255, 0, 0), Label = Pack565(255, 0, 128), Value = Pack565(0, 128, 128);

// The picture on show after the last flip.
struct Screen {
    Pixels pixels = SurfacePixels(PrimarySurface, 640, 480);
    uint16_t At(int x, int y) const { return pixels[y * 640 + x]; }
    // The block-font text in `colour` at (x, y), `cells` characters wide: an empty cell reads
    // as a blank, one that matches no glyph as '?'; trailing blanks are dropped.
    std::string Text(int x, int y, uint16_t colour, int cells) const {
        std::string text;
        for (int cell = 0; cell < cells; ++cell, x += 8) {
            uint8_t rows[8] = {};
            for (int i = 0; i < 64; ++i)
                if (At(x + i % 8, y + i / 8) == colour) rows[i / 8] |= uint8_t(0x80 >> (i % 8));
            char found = std::memcmp(rows, "\0\0\0\0\0\0\0", 8) == 0 ? ' ' : '?';
            for (const BlockGlyph& glyph : BlockFont)
                if (found == '?' && std::memcmp(glyph.rows, rows, 8) == 0) found = glyph.character;
            text += found;
        }
        return text.erase(text.find_last_not_of(' ') + 1);
    }
};

// The race's scalar fields and the places of the first five cars, for whole-state comparisons.
std::vector<int64_t> Fields(const RaceVariables& s) {
    std::vector<int64_t> fields{
        s.playerX,     s.playerY,           s.speed,         s.maxSpeed,           s.energy,
        s.timeLeft,    s.countdown,         s.points,        s.pendingPoints,      s.activeCars,
        s.playerMass,  s.damageDivisor,     s.quitConfirm,   s.frameDivider,       s.roadScroll,
        s.timeBonus.y, s.timeBonus.xOffset, s.energyBonus.y, s.energyBonus.xOffset};
    for (int i = 0; i < 5; ++i) fields.insert(fields.end(), {s.cars[i].x, s.cars[i].y});
    return fields;
}

// Holds exactly these keys (0 = none) for GetAsyncKeyState; their messages are dropped, and
// no key counts as pressed since the race last read it.
void Keys(std::initializer_list<int> held) {
    plat::ReleaseAllKeys();
    for (int vk = 1; vk < 256; ++vk) GetAsyncKeyState(vk);
    for (int vk : held)
        if (vk != 0) plat::KeyDown(vk, false, false);
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) continue;
}

void Tick(int frames) {
    for (int frame = 0; frame < frames; ++frame) RaceTick();
}

class Race : public GameTest {
protected:
    // A race in its countdown, where neither traffic nor bonuses nor the clock run; or after
    // it, without traffic and with the bonuses far above the view.
    static void Start(int32_t speed, int32_t playerX = 402, bool running = false) {
        RaceState = {};
        RaceState.countdown = running ? 0 : 10000, RaceState.speed = speed,
        RaceState.playerX = playerX;
        if (!running) return;
        RaceState.activeCars = 0, RaceState.timeLeft = 200;
        RaceState.timeBonus = RaceState.energyBonus = {0, -30000};
    }
};

TEST_F(Race, ResetRaceSetsThePlayerAndLeavesTheCarriedFields) {
    // What an earlier race left, in field order: playerX, playerY, speed, maxSpeed, energy,
    // timeLeft, countdown, points, pendingPoints, activeCars, playerMass, damageDivisor,
    // quitConfirm, frameDivider, roadScroll.
    RaceState = {30, 12, -7, 141, -300, -40, -2, 4711, 33, 13, 2500, 6000, true, 4, 412};
    RandomState = 99;
    ResetRace();
    const RaceVariables after = RaceState;
    const uint32_t drawn = RandomState;
    // Cars 0 to 29 in turn, then the time bonus, then the energy bonus, and nothing else.
    RandomState = 99;
    for (int i = 0; i < kTrafficPool; ++i) SpawnCar(i);
    EXPECT_EQ(std::memcmp(after.cars, RaceState.cars, sizeof after.cars), 0);
    uint32_t next = RandomState;
    RaceVariables want = {402, 400, 100, 141, 1000, 100, 250, 0, 0, 13, 2500, 6000, true, 4, 412};
    std::memcpy(want.cars, RaceState.cars, sizeof want.cars);
    want.timeBonus = {Draw(next, 150), -1000};
    want.energyBonus = {Draw(next, 150), -5000};
    EXPECT_EQ(Fields(after), Fields(want));
    EXPECT_EQ(drawn, next);
    // A level outside 1..4 changes nothing.
    for (int32_t level : {0, 5, -1, INT_MAX}) {
        ApplyDifficulty(level);
        EXPECT_EQ(Fields(RaceState), Fields(want)) << level;
    }
}

TEST_F(Race, CountdownShowsItsNumberAndHoldsTrafficBonusesAndClock) {
    ResetRace();
    ApplyDifficulty(2);
    const RaceVariables start = RaceState;
    // 7 for 11 frames, 6 to 2 for 40 each, 1 for the last 39; the font has no question mark:
    // it leaves its cell empty.
    std::string shown;
    for (int frame = 1; frame <= 250; ++frame) {
        RaceTick();
        if (frame == 1 || frame == 250 || frame % 40 == 11 || frame % 40 == 12)
            shown += Screen().Text(262, 200, Red, 2);
    }
    EXPECT_EQ(shown, "77665544332211");
    EXPECT_EQ(Screen().Text(216, 190, Red, 15), "ARE YOU READY");
    // Traffic, bonuses and the clock stood still (the last frame, a fifth one, still saw
    // countdown 1); the car slowed on the smooth band and the road scrolled.
    EXPECT_EQ(std::memcmp(RaceState.cars, start.cars, sizeof start.cars), 0);
    const auto& s = RaceState;
    EXPECT_EQ((std::vector{s.countdown, s.timeBonus.y, s.energyBonus.y, s.timeLeft, s.speed}),
              (std::vector{0, start.timeBonus.y, start.energyBonus.y, 200, 50}));
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

TEST_F(Race, WithoutKeysTheGroundSlowsTheCarEveryFifthFrame) {
    // x, speed, speed after; rough ground: x += shake - R%spread (0, 0 on smooth ground).
    const int32_t cases[][5] = {{170, 100, 99, 0, 0}, {260, 100, 99, 0, 0}, {380, 100, 99, 0, 0},
                                {530, 100, 99, 0, 0}, {169, 100, 95, 1, 4}, {261, 100, 95, 1, 4},
                                {379, 100, 95, 1, 4}, {531, 100, 95, 1, 4}, {300, 200, 190, 3, 7},
                                {100, 63, 60, 1, 2},  {600, 20, 19, 0, 1},  {300, 19, 19, 0, 1},
                                {402, 0, 0, 0, 0},    {100, -15, -15, 0, 0}};
    for (auto [x, speed, after, shake, spread] : cases) {
        SCOPED_TRACE(testing::Message() << "x " << x << ", speed " << speed);
        Start(speed, x);
        Tick(4);
        EXPECT_EQ(std::pair(RaceState.speed, RaceState.playerX), std::pair(speed, x));
        uint32_t next = RandomState;
        int32_t wantX = x + shake - (spread > 0 ? Draw(next, spread) : 0);
        RaceTick();
        EXPECT_EQ((std::vector{RaceState.speed, RaceState.playerX, RaceState.frameDivider}),
                  (std::vector{after, wantX, 0}));
    }
}

TEST_F(Race, OneFrameOfKeysMovesTheCarAndSetsTheTopSpeed) {
    const int L = VK_LEFT, R = VK_RIGHT, U = VK_UP, D = VK_DOWN, B = VK_SPACE, LR = L | R << 8,
              DB = D | B << 8;
    // Keys, x, speed, the last top speed; x and speed after. Steering: speed / 60 forward,
    // speed / 80 reversing; far below the top speed no loss. Above the last top speed less 50,
    // each steering key costs one. Left only while the car is left of 640, Right only while
    // right of 0; then 22..638. The brake takes 2 from a forward speed; Down 1 down to -20; Up
    // stops at the top speed.
    const int32_t cases[][6] = {
        {L, 402, 120, 230, 400, 120},  {R, 402, 120, 230, 404, 120}, {R, 402, 60, 230, 403, 60},
        {L, 402, 59, 230, 402, 59},    {L, 402, -80, 230, 401, -80}, {R, 402, -80, 230, 403, -80},
        {L, 402, -79, 230, 402, -79},  {L, 402, 181, 230, 399, 180}, {L, 402, 180, 230, 399, 180},
        {R, 402, 181, 230, 405, 180},  {R, 402, 180, 230, 405, 180}, {L, 402, 160, 200, 400, 159},
        {LR, 402, 200, 230, 402, 198}, {L, 700, 190, 200, 638, 190}, {L, 640, 190, 200, 638, 190},
        {L, 639, 190, 200, 636, 189},  {R, -5, 190, 200, 22, 190},   {R, 1, 190, 200, 22, 189},
        {L, 23, 200, 230, 22, 199},    {R, 636, 200, 230, 638, 199}, {0, 21, 0, 230, 22, 0},
        {0, 22, 0, 230, 22, 0},        {0, 639, 0, 230, 638, 0},     {B, 402, 100, 230, 402, 98},
        {B, 402, 1, 230, 402, -1},     {B, 402, 0, 230, 402, 0},     {D, 402, -19, 230, 402, -20},
        {D, 402, -20, 230, 402, -20},  {D, 402, 50, 230, 402, 49},   {DB, 402, 1, 230, 402, 0},
        {U, 402, 60, 60, 402, 60},     {U, 402, 230, 230, 402, 230},
    };
    for (auto [keys, x, speed, top, wantX, wantSpeed] : cases) {
        SCOPED_TRACE(testing::Message() << "x " << x << ", speed " << speed);
        Start(speed, x);
        RaceState.maxSpeed = top;
        Keys({keys & 0xFF, keys >> 8});
        RaceTick();
        EXPECT_EQ((std::vector{RaceState.playerX, RaceState.speed, RaceState.maxSpeed}),
                  (std::vector{wantX, wantSpeed, 230}));
    }
    // The top speed follows the energy; without energy it keeps its last value.
    for (auto [energy, top] :
         {std::pair{995, 230}, {991, 229}, {990, 229}, {501, 180}, {1, 130}, {0, 171}}) {
        Start(0);
        RaceState.energy = energy, RaceState.maxSpeed = 171;
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
        RaceState.energy = energy, RaceState.playerX = 402, RaceState.frameDivider = 0;
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
    EXPECT_EQ(std::pair(RandomState, RaceState.playerX), std::pair(next, 402));
}

TEST_F(Race, WithoutEnergyTheKeysAreDeadAndTheCarRollsToAStop) {
    for (int32_t speed : {100, -20}) {
        Start(speed);
        RaceState.energy = speed > 0 ? 0 : -40, RaceState.maxSpeed = 170;
        Keys({VK_LEFT, VK_UP, VK_SPACE, VK_DOWN});
        for (int frame = 0; RaceState.speed != 0 && frame < 2000; ++frame) {
            uint32_t next = RandomState;
            int32_t want = RaceState.speed - (RaceState.frameDivider == 4 && RaceState.speed > 0);
            if (want > 0 && Draw(next, 150) != 0) want -= 1;
            if (want < 0 && Draw(next, 70) != 0) want += 1;
            RaceTick();
            ASSERT_EQ(std::pair(RaceState.speed, RaceState.playerX), std::pair(want, 402)) << frame;
        }
        Tick(20);
        EXPECT_EQ(std::pair(RaceState.speed, RaceState.maxSpeed), std::pair(0, 170));
    }
    // The car keeps its speed exactly when its number is a multiple of 150 (forward) or 70
    // (back), and only then: one state draws such a multiple that is none of 151 or 71, the
    // other the other way round.
    for (auto [speed, n] : {std::pair{40, 150}, {-40, 70}}) {
        for (bool zero : {true, false}) {
            Start(speed);
            RaceState.energy = 0, RaceState.frameDivider = 1;
            RandomState = StateFor({{32768, [n = n, zero](int32_t r) {
                                         return (r % n == 0) == zero && (r % (n + 1) == 0) != zero;
                                     }}});
            RaceTick();
            EXPECT_EQ(RaceState.speed, zero ? speed : speed - speed / 40) << speed << zero;
        }
    }
    // An energy bonus under the car brings it back, from the next frame: this frame read no
    // key before the bonus was collected.
    Start(0, 402, true);
    RaceState.energy = -30, RaceState.energyBonus = {32, 400};
    Keys({VK_LEFT, VK_UP});
    RaceTick();
    EXPECT_EQ(std::pair(RaceState.energy, RaceState.speed), std::pair(70, 0));
    RaceState.speed = 60;
    Keys({VK_LEFT});
    RaceTick();
    EXPECT_EQ(RaceState.playerX, 401);
}

TEST_F(Race, PanelShowsSpeedEnergyPointsAndTimeAndTheClockMessage) {
    // The panel picture, beside the road view.
    FillSurface(StatusImage = MakeSurface(160, 480), 0x1234);
    const struct {
        int32_t speed, energy, timeLeft;
        const char *energyShown, *timeShown, *message;
    } cases[] = {{0, 1000, 321, "100", "321", ""},
                 {9, 999, 200, "99", "200", ""},
                 {1, 10, 50, "1", "50", ""},
                 {-20, 9, 49, "0", "49", "HURRY UP !"},
                 {10, 5, 1, "0", "1", "HURRY UP !"},
                 {10, 1, 0, "0", "0", "TIME OUT !"},
                 {0, -50, -4000, "0", "0", "TIME OUT !"},
                 {10, 990, 100, "99", "100", ""}};
    std::string speeds;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.timeLeft);
        Start(c.speed);
        RaceState.energy = c.energy, RaceState.timeLeft = c.timeLeft, RaceState.points = 1234;
        RaceTick();
        Screen screen;
        // Below 10 the speed shows 0; from 10 it flickers between speed - 1 and speed, by the
        // frame's last number. Energy in tenths; energy and time never below 0.
        const int shown = c.speed < 10 ? 0 : 9 + ((RandomState >> 16) & 0x7FFF) % 2;
        const std::string labels[] = {"YOUR SPEED", "YOUR ENERGY", "YOUR POINTS", "TIME LEFT"};
        const std::string values[] = {std::to_string(shown), c.energyShown, "1234", c.timeShown};
        for (int row = 0; row < 4; ++row) {
            EXPECT_EQ(screen.Text(500, 200 + 10 * row, Label, 12), labels[row]);
            EXPECT_EQ(screen.Text(596, 200 + 10 * row, Value, 5), values[row]);
        }
        speeds += " " + values[0];
        EXPECT_EQ(screen.Text(210, 460, Red, 10), c.message);
        // The shadow: one pixel up and left, dark red (the first letter's top row starts at its
        // third column).
        EXPECT_EQ(screen.At(209 + 2, 459), *c.message != '\0' ? Pack565(128, 0, 0) : 0);
        EXPECT_EQ((std::vector{screen.At(480, 0), screen.At(639, 479), screen.At(4, 4)}),
                  (std::vector<uint16_t>{0x1234, 0x1234, 0}));
    }
    EXPECT_NE(speeds.find(" 9"), std::string::npos);
    EXPECT_NE(speeds.find(" 10"), std::string::npos);
}

TEST_F(Race, QuitQuestionFreezesTheRaceButNotEverything) {
    Start(100, 402, true);
    RaceState.activeCars = 5;
    // Three oncoming cars on the left carriageway, two on the right, all far ahead.
    for (int i = 0; i < 5; ++i)
        RaceState.cars[i] = {(i < 3 ? 132 : 292) + 55 * i, 150, i < 3 ? 100 : -100, 2500, 5 + i};
    // The time bonus at road x 370, beside the car, not under it; the energy bonus at 519.
    RaceState.timeBonus = {0, 100}, RaceState.energyBonus = {149, 300};
    RaceState.frameDivider = 4, RaceState.roadScroll = 100, RaceState.pendingPoints = 5;
    RaceState.quitConfirm = true;
    const RaceVariables before = RaceState;
    Keys({VK_LEFT, VK_UP});
    for (int32_t points = 1; points <= 7; ++points) {
        RaceTick();  // points still arrive one per frame
        EXPECT_EQ(RaceState.points, std::min(points, 5));
    }
    Tick(93);
    RaceVariables want = before;
    want.points = 5, want.pendingPoints = 0;
    EXPECT_EQ(Fields(RaceState), Fields(want));  // the cars stand as well
    // But their speeds wander on.
    EXPECT_FALSE(std::equal(before.cars, before.cars + 5, RaceState.cars,
                            [](auto& a, auto& b) { return a.speed == b.speed; }));
    EXPECT_EQ(Backend().flips, 100);
    EXPECT_EQ(Screen().Text(200, 180, Red, 18), "ARE YOU SURE - Y/N");

    // Answered no: everything moves again.
    Keys({});
    RaceState.quitConfirm = false;
    RaceTick();
    const auto& s = RaceState;
    EXPECT_EQ((std::vector{s.frameDivider, s.speed, s.timeLeft, s.roadScroll, s.timeBonus.y,
                           s.energyBonus.y}),
              (std::vector{0, 99, 199, 106, 106, 306}));
    for (int i = 0; i < 3; ++i) EXPECT_GT(s.cars[i].y, 150) << i;  // oncoming
    EXPECT_EQ(Screen().Text(200, 180, Red, 18), "");
}

}  // namespace
