// A long race with random keys: every frame's pushing-apart ends within its bound and no
// race value comes anywhere near the ends of the 32-bit range.
#include "../../tools/race_driver.h"
#include "../support/support.h"

#include "../../src/display/display.h"
#include "../../src/game/race.h"
#include "../../src/game/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

using namespace testing_support;

namespace {

// Most frames are run dark, with the flip chain out of the display device's hands: the
// clear, the locks, the drawing and the flip then find no surface and do nothing, and the
// race's logic alone runs. (No pictures are loaded here: even the lit frames skip their
// blits, and the run stays short; the race itself does not look at them.)
struct DarkScreen {
    LPDIRECTDRAWSURFACE primary = PrimarySurface, back = BackSurface;
    void Lit(bool lit) {
        PrimarySurface = lit ? primary : nullptr;
        BackSurface = lit ? back : nullptr;
    }
    ~DarkScreen() { Lit(true); }
};

// The race polls its keys; the messages are not for this test.
void DropMessages() {
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) continue;
}

// Pushing apart ends: two touching cars are less than 70 rows apart and every pass of a
// car-car loop widens the gap by 2 (at most 35 passes), every pass of the player's loop by
// 1 (at most 69, as a car level with the player is not pushed). Each of the 15 cars runs
// one loop per other car in the contact step and one in the final separation, and one
// with the player.
constexpr int64_t MaxPushStepsPerFrame = 15 * (14 * 35 + 14 * 35 + 69);

// Far from the 32-bit limits: a value that could be pumped up frame after frame would
// show long before it came near them.
constexpr int64_t Far = (int64_t{1} << 24) - 1;

}  // namespace

TEST(Soak, AHundredThousandRaceFramesWithRandomKeysStayInRange) {
    DisplayUp();
    DarkScreen screen;
    ASSERT_NE(screen.back, nullptr);
    plat::ReleaseAllKeys();
    DropMessages();
    RaceState = {};
    RandomState = 1;
    TrafficPushSteps = 0;
    ResetRace();
    ApplyDifficulty(2);
    race_driver::Driver driver(20240601);
    int64_t minEnergy = 1000, pausedFrames = 0;

    for (int frame = 0; frame < 100000; ++frame) {
        driver.Frame();
        DropMessages();
        auto& s = RaceState;
        // Now and then a pause, a bonus right under the player's car, and a repaired car or a
        // fresh clock, so that the keys work again and collisions keep scoring.
        if (s.countdown <= 0 && driver.Below(s.quitConfirm ? 40 : 2500) == 0) s.quitConfirm = !s.quitConfirm;
        for (BonusItem* bonus : {&s.energyBonus, &s.timeBonus})
            if (driver.Below(600) == 0) *bonus = {std::clamp(s.playerX - 370, 0, 149), s.playerY};
        if (s.energy <= 0 && driver.Below(100) == 0) s.energy = 1000;
        if (s.timeLeft <= 0 && driver.Below(400) == 0) s.timeLeft = 200;
        // From frame 20,000 on, the full traffic of a long race, however the road went by.
        if (frame == 20000) s.activeCars = MaxActiveCars;
        // Every sixteenth frame is drawn in full.
        screen.Lit(frame < 300 || frame % 16 == 0);
        const int64_t stepsBefore = TrafficPushSteps;
        RaceTick();
        ASSERT_LE(TrafficPushSteps - stepsBefore, MaxPushStepsPerFrame) << "frame " << frame;

        // The knocks of one frame may push the player out of 22..638, but by no more than about
        // 15 cars times (speed / 60 + 2 + 1 for a nudge). No speed is pumped up: the accelerator
        // stops at 230, the wander near 132, the reactions follow other cars' speeds and the
        // exchanges do not add energy.
        const struct { const char* name; int64_t value, lo, hi; } fields[] = {
            {"playerX", s.playerX, s.quitConfirm ? -Far : 22 - 149, s.quitConfirm ? Far : 638 + 149},
            {"speed", s.speed, -999, 999}, {"activeCars", s.activeCars, 5, 15}, {"roadScroll", s.roadScroll, 0, 480},
            {"frameDivider", s.frameDivider, 0, 4}, {"playerY", s.playerY, -Far, Far},
            {"maxSpeed", s.maxSpeed, -Far, Far}, {"energy", s.energy, -Far, Far}, {"timeLeft", s.timeLeft, -Far, Far},
            {"countdown", s.countdown, -Far, Far}, {"points", s.points, -Far, Far},
            {"pendingPoints", s.pendingPoints, -Far, Far},
            {"timeBonus.x", s.timeBonus.xOffset, -Far, Far}, {"timeBonus.y", s.timeBonus.y, -Far, Far},
            {"energyBonus.x", s.energyBonus.xOffset, -Far, Far}, {"energyBonus.y", s.energyBonus.y, -Far, Far}};
        for (const auto& f : fields)
            ASSERT_TRUE(f.value >= f.lo && f.value <= f.hi) << f.name << " " << f.value << " at frame " << frame;
        for (const TrafficCar& c : s.cars)
            ASSERT_TRUE(std::abs(int64_t{c.x}) <= Far && std::abs(int64_t{c.y}) <= Far &&
                        std::abs(int64_t{c.speed}) < 1000 && c.mass >= 2000 && c.mass <= 2999 && c.kind >= 5 &&
                        c.kind <= 9)
                << "car " << &c - s.cars << " at frame " << frame << ": " << c.x << "," << c.y << " speed "
                << c.speed << " mass " << c.mass << " kind " << c.kind;
        minEnergy = std::min<int64_t>(minEnergy, s.energy);
        pausedFrames += s.quitConfirm;
        if (frame % 1000 == 999) Backend().log.clear();
    }
    plat::ReleaseAllKeys();
    DropMessages();
    // The run really drove: cars were hit and pushed apart, points scored, the race paused.
    EXPECT_GT(RaceState.points, 0);
    EXPECT_LT(minEnergy, 1000);
    EXPECT_GT(pausedFrames, 0);
    EXPECT_GT(TrafficPushSteps, 0);
}
