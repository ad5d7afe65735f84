// A long race with random keys: every frame's pushing-apart ends within its bound and no
// race value comes anywhere near the ends of the 32-bit range.
#include "../../tools/race_driver.h"
#include "../support/support.h"

#include "../../src/assets/assets.h"
#include "../../src/display/display.h"
#include "../../src/game/race.h"
#include "../../src/game/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace testing_support;

namespace {

using race_driver::Driver;

// The pictures are put aside for the run: without them the frames skip their blits and
// the run stays short; the race itself does not look at them.
struct PicturesAside {
    GfxImage road = RoadImage;
    GfxImage cars = CarsImage;
    GfxImage status = StatusImage;
    PicturesAside() { RoadImage = CarsImage = StatusImage = nullptr; }
    ~PicturesAside() {
        RoadImage = road;
        CarsImage = cars;
        StatusImage = status;
    }
};

// Most frames are run dark, with the flip chain out of the display device's hands: the
// clear, the locks, the drawing and the flip then find no surface and do nothing, and the
// race's logic alone runs. Every sixteenth frame is drawn in full.
struct ScreenSwitch {
    LPDIRECTDRAWSURFACE primary = PrimarySurface;
    LPDIRECTDRAWSURFACE back = BackSurface;
    void Dark() { PrimarySurface = BackSurface = nullptr; }
    void Lit() {
        PrimarySurface = primary;
        BackSurface = back;
    }
    ~ScreenSwitch() { Lit(); }
};

void DropMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// Pushing apart ends: two touching cars are less than 70 rows apart and every pass of a
// car-car loop widens the gap by 2 (at most 35 passes), every pass of the player's loop by
// 1 (at most 69, as a car level with the player is not pushed). Each of the 15 cars runs
// one loop per other car in the contact step and one in the final separation, and one
// with the player.
constexpr int64_t MaxPushStepsPerFrame = 15 * (14 * 35 + 14 * 35 + 69);

// Far from the 32-bit limits: a value that could be pumped up frame after frame would
// show long before it came near them.
constexpr int64_t Far = int64_t{1} << 24;

constexpr int FullTrafficFrom = 20000;

}  // namespace

TEST(Soak, AHundredThousandRaceFramesWithRandomKeysStayInRange) {
    Backend();
    DisplayUp();
    PicturesAside aside;
    ScreenSwitch screen;
    ASSERT_NE(screen.back, nullptr);
    plat::ReleaseAllKeys();
    DropMessages();
    Backend().log.clear();

    RaceState = {};
    RandomState = 1;
    TrafficPushSteps = 0;
    ResetRace();
    ApplyDifficulty(2);
    RaceState.quitConfirm = false;

    Driver driver(20240601);

    int64_t maxPushSteps = 0;
    int64_t maxCarSpeed = 0;
    int64_t maxPlayerSpeed = 0;
    int64_t minEnergy = 1000;
    int64_t maxActive = 0;
    int pausedFrames = 0;
    const auto started = std::chrono::steady_clock::now();

    constexpr int Frames = 100000;
    for (int frame = 0; frame < Frames; ++frame) {
        driver.Frame();
        DropMessages();  // the race polls its keys; the messages are not for this test

        auto& s = RaceState;
        if (s.countdown <= 0) {
            if (!s.quitConfirm && driver.Below(2500) == 0) {
                s.quitConfirm = true;
            } else if (s.quitConfirm && driver.Below(40) == 0) {
                s.quitConfirm = false;
            }
        }
        // Now and then a bonus right under the player's car.
        if (driver.Below(600) == 0) {
            s.energyBonus.xOffset = std::clamp(s.playerX - 370, 0, 149);
            s.energyBonus.y = s.playerY;
        }
        if (driver.Below(600) == 0) {
            s.timeBonus.xOffset = std::clamp(s.playerX - 370, 0, 149);
            s.timeBonus.y = s.playerY;
        }
        // And now and then a repaired car or a fresh clock, so that the keys work again
        // and collisions keep scoring.
        if (s.energy <= 0 && driver.Below(100) == 0) s.energy = 1000;
        if (s.timeLeft <= 0 && driver.Below(400) == 0) s.timeLeft = 200;
        // From frame 20,000 on, the full traffic of a long race, however the road went by.
        if (frame == FullTrafficFrom && s.activeCars < MaxActiveCars) s.activeCars = MaxActiveCars;

        const bool lit = frame < 300 || frame % 16 == 0;
        if (lit) {
            screen.Lit();
        } else {
            screen.Dark();
        }
        const int flipsBefore = Backend().flips;
        const int64_t before = TrafficPushSteps;
        RaceTick();
        ASSERT_EQ(Backend().flips - flipsBefore, lit ? 1 : 0);
        const int64_t steps = TrafficPushSteps - before;
        ASSERT_GE(steps, 0);
        ASSERT_LE(steps, MaxPushStepsPerFrame) << "frame " << frame;
        maxPushSteps = std::max(maxPushSteps, steps);
        if (s.quitConfirm) ++pausedFrames;

        const struct {
            const char* name;
            int32_t value;
        } fields[] = {
            {"playerX", s.playerX},   {"playerY", s.playerY},         {"speed", s.speed},
            {"maxSpeed", s.maxSpeed}, {"energy", s.energy},           {"timeLeft", s.timeLeft},
            {"countdown", s.countdown}, {"points", s.points},         {"pendingPoints", s.pendingPoints},
            {"activeCars", s.activeCars}, {"roadScroll", s.roadScroll},
            {"timeBonus.x", s.timeBonus.xOffset}, {"timeBonus.y", s.timeBonus.y},
            {"energyBonus.x", s.energyBonus.xOffset}, {"energyBonus.y", s.energyBonus.y},
        };
        for (const auto& field : fields) {
            ASSERT_LT(std::abs(int64_t{field.value}), Far) << field.name << " at frame " << frame;
        }
        for (int i = 0; i < TrafficPool; ++i) {
            const TrafficCar& car = s.cars[i];
            ASSERT_LT(std::abs(int64_t{car.x}), Far) << "car " << i << " x at frame " << frame;
            ASSERT_LT(std::abs(int64_t{car.y}), Far) << "car " << i << " y at frame " << frame;
            ASSERT_LT(std::abs(int64_t{car.speed}), Far) << "car " << i << " speed at frame " << frame;
            ASSERT_GE(car.mass, 2000);
            ASSERT_LE(car.mass, 2999);
            ASSERT_GE(car.kind, 5);
            ASSERT_LE(car.kind, 9);
            if (i < s.activeCars) maxCarSpeed = std::max<int64_t>(maxCarSpeed, std::abs(int64_t{car.speed}));
        }
        ASSERT_GE(s.activeCars, 5);
        ASSERT_LE(s.activeCars, 15);
        ASSERT_GE(s.roadScroll, 0);
        ASSERT_LE(s.roadScroll, 480);
        ASSERT_GE(s.frameDivider, 0);
        ASSERT_LE(s.frameDivider, 4);
        if (!s.quitConfirm) {
            // The knocks of one frame may push the player out of 22..638, but by no more than
            // about 15 cars times (speed / 60 + 2 + 1 for a nudge).
            ASSERT_GT(s.playerX, 22 - 150) << "frame " << frame;
            ASSERT_LT(s.playerX, 638 + 150) << "frame " << frame;
        }
        // No speed is pumped up: the accelerator stops at 230, the wander near 132, the
        // reactions follow other cars' speeds and the exchanges do not add energy.
        ASSERT_LT(std::abs(s.speed), 1000) << "frame " << frame;
        for (int i = 0; i < s.activeCars; ++i) {
            ASSERT_LT(std::abs(s.cars[i].speed), 1000) << "car " << i << " at frame " << frame;
        }
        maxPlayerSpeed = std::max<int64_t>(maxPlayerSpeed, std::abs(int64_t{s.speed}));
        minEnergy = std::min<int64_t>(minEnergy, s.energy);
        maxActive = std::max<int64_t>(maxActive, s.activeCars);
        if (frame % 1000 == 999) Backend().log.clear();
    }
    plat::ReleaseAllKeys();
    DropMessages();
    Backend().log.clear();

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("soak: %d frames in %.1f s; most push steps in a frame %lld (bound %lld); "
                "fastest car %lld, fastest player %lld; lowest energy %lld; points %d; "
                "paused frames %d; traffic %lld cars\n",
                Frames, seconds, static_cast<long long>(maxPushSteps),
                static_cast<long long>(MaxPushStepsPerFrame), static_cast<long long>(maxCarSpeed),
                static_cast<long long>(maxPlayerSpeed), static_cast<long long>(minEnergy),
                static_cast<int>(RaceState.points), pausedFrames, static_cast<long long>(maxActive));
    // The run really drove: with the full traffic, cars were hit, points scored, the race paused.
    EXPECT_EQ(maxActive, 15);
    EXPECT_GT(RaceState.points, 0);
    EXPECT_LT(minEnergy, 1000);
    EXPECT_GT(pausedFrames, 0);
    EXPECT_GT(maxPushSteps, 0);
}
