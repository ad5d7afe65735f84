// The traffic: the car box, spawning, the speed wander, the reactions to other cars and to
// the player, knocks, nudges, push-apart, the speed exchanges, damage and points, the
// carriageway rule, and the road wraps that add cars.
#include "../support/support.h"

#include "../../platform/core/mixer.h"
#include "../../src/audio/sound.h"
#include "../../src/display/display.h"
#include "../../src/game/race.h"
#include "../../src/game/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// A copy of the race's generator, to know the numbers it is going to draw.
struct Generator {
    uint32_t state;
    int32_t Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int32_t>((state >> 16) & 0x7FFF);
    }
    int32_t Below(int32_t n) { return Next() % n; }
    void Skip(int count) {
        for (int k = 0; k < count; ++k) Next();
    }
};

// One expected draw: R%n and what its value must satisfy.
struct Draw {
    int32_t n;
    std::function<bool(int32_t)> fits;
};
Draw Is(int32_t n, int32_t value) {
    return {n, [value](int32_t r) { return r == value; }};
}
Draw Any(int32_t n) {
    return {n, [](int32_t) { return true; }};
}
// A speed-wander draw that leaves the speed alone.
Draw Calm() {
    return {30, [](int32_t r) { return r >= 2; }};
}

// A generator state whose next draws come out as listed.
uint32_t StateFor(const std::vector<Draw>& draws) {
    Generator walker{0x2468ACE1u};
    for (int k = 0; k < 2000000; ++k) {
        walker.Next();
        Generator probe{walker.state};
        bool fits = true;
        for (const Draw& d : draws) {
            if (!d.fits(probe.Below(d.n))) {
                fits = false;
                break;
            }
        }
        if (fits) return walker.state;
    }
    ADD_FAILURE() << "no generator state gives the wanted draws";
    return 1;
}

// The state the generator reaches after `count` draws from `start`.
uint32_t After(uint32_t start, int count) {
    Generator g{start};
    g.Skip(count);
    return g.state;
}

// What SpawnCar makes of the next five draws.
TrafficCar ExpectedSpawn(Generator& g) {
    static const int32_t lanes[6] = {132, 187, 242, 402, 457, 512};
    TrafficCar car{};
    int32_t lane = g.Below(6);
    car.x = lanes[lane];
    car.speed = lane < 3 ? g.Below(50) + 80 : -(g.Below(50) + 80);
    int32_t r = g.Below(800) - 400;
    car.y = r > 0 ? r + 500 : -500 - r;
    car.kind = g.Below(5) + 5;
    car.mass = g.Below(1000) + 2000;
    return car;
}

TrafficCar Car(int32_t x, int32_t y, int32_t speed, int32_t mass = 2500, int32_t kind = 5) {
    TrafficCar car{};
    car.x = x;
    car.y = y;
    car.speed = speed;
    car.mass = mass;
    car.kind = kind;
    return car;
}

// The display up and the race at its program-start values, the player's car parked at the
// right edge of the road, out of the way of the lanes.
void TrafficUp() {
    Backend();
    DisplayUp();
    RaceState = {};
    RandomState = 1;
    TrafficPushSteps = 0;
    RaceState.playerX = 638;
    RaceState.playerY = 400;
    RaceState.speed = 100;
}

// Runs one traffic frame with the cars given, from a generator state that yields `draws`,
// and checks that exactly those draws were made.
void TrafficFrame(const std::vector<TrafficCar>& cars, const std::vector<Draw>& draws) {
    RaceState.activeCars = static_cast<int32_t>(cars.size());
    for (size_t k = 0; k < cars.size(); ++k) RaceState.cars[k] = cars[k];
    uint32_t start = StateFor(draws);
    RandomState = start;
    UpdateTraffic();
    EXPECT_EQ(RandomState, After(start, static_cast<int>(draws.size())))
        << "the frame drew another number of random numbers than " << draws.size();
}

bool CrashSoundLoaded() {
    if (CrashSound == nullptr) {
        if (DirectSoundObject == nullptr && !SoundDevice.Init()) return false;
        SoundDevice.LoadSound(4, (GameDir() + "/Crash1.snd").c_str());
    }
    return CrashSound != nullptr;
}

}  // namespace

TEST(Traffic, CarBoxesOverlapStrictlyInsideThirtyBySeventy) {
    EXPECT_TRUE(CarsOverlap(0, 0, 29, 69));
    EXPECT_TRUE(CarsOverlap(29, 69, 0, 0));
    EXPECT_TRUE(CarsOverlap(0, 0, -29, -69));
    EXPECT_TRUE(CarsOverlap(0, 0, 0, 0));
    EXPECT_FALSE(CarsOverlap(0, 0, 30, 0));
    EXPECT_FALSE(CarsOverlap(30, 0, 0, 0));
    EXPECT_FALSE(CarsOverlap(0, 0, -30, 0));
    EXPECT_FALSE(CarsOverlap(0, 0, 0, 70));
    EXPECT_FALSE(CarsOverlap(0, 70, 0, 0));
    EXPECT_FALSE(CarsOverlap(0, 0, 0, -70));
    EXPECT_FALSE(CarsOverlap(0, 0, 29, 70));
    EXPECT_FALSE(CarsOverlap(0, 0, 30, 69));
    // Far-apart values do not wrap around into an overlap.
    const int32_t lo = std::numeric_limits<int32_t>::min();
    const int32_t hi = std::numeric_limits<int32_t>::max();
    EXPECT_FALSE(CarsOverlap(lo, 0, hi, 0));
    EXPECT_FALSE(CarsOverlap(0, hi, 0, lo));
    EXPECT_TRUE(CarsOverlap(hi, hi, hi - 29, hi - 69));
}

TEST(Traffic, SpawnDrawsLaneSpeedPositionKindAndMassInThatOrder) {
    TrafficUp();
    RandomState = 1;
    int lanesSeen[6] = {};
    bool below = false;
    bool above = false;
    for (int k = 0; k < 3000; ++k) {
        int32_t index = k % TrafficPool;
        TrafficCar before = RaceState.cars[(index + 1) % TrafficPool];
        Generator g{RandomState};
        TrafficCar want = ExpectedSpawn(g);
        SpawnCar(index);
        const TrafficCar& got = RaceState.cars[index];
        ASSERT_EQ(got.x, want.x) << "spawn " << k;
        ASSERT_EQ(got.speed, want.speed) << "spawn " << k;
        ASSERT_EQ(got.y, want.y) << "spawn " << k;
        ASSERT_EQ(got.kind, want.kind) << "spawn " << k;
        ASSERT_EQ(got.mass, want.mass) << "spawn " << k;
        ASSERT_EQ(RandomState, g.state) << "a spawn draws five numbers";
        // The table's ranges.
        if (got.x < 330) {
            EXPECT_TRUE(got.x == 132 || got.x == 187 || got.x == 242) << got.x;
            EXPECT_GE(got.speed, 80);
            EXPECT_LE(got.speed, 129);
        } else {
            EXPECT_TRUE(got.x == 402 || got.x == 457 || got.x == 512) << got.x;
            EXPECT_GE(got.speed, -129);
            EXPECT_LE(got.speed, -80);
        }
        EXPECT_TRUE((got.y >= 501 && got.y <= 899) || (got.y >= -500 && got.y <= -100)) << got.y;
        below = below || got.y > 0;
        above = above || got.y < 0;
        EXPECT_GE(got.kind, 5);
        EXPECT_LE(got.kind, 9);
        EXPECT_GE(got.mass, 2000);
        EXPECT_LE(got.mass, 2999);
        for (int lane = 0; lane < 6; ++lane) {
            static const int32_t lanes[6] = {132, 187, 242, 402, 457, 512};
            if (got.x == lanes[lane]) ++lanesSeen[lane];
        }
        // Only the record named is filled.
        const TrafficCar& other = RaceState.cars[(index + 1) % TrafficPool];
        EXPECT_EQ(other.x, before.x);
        EXPECT_EQ(other.y, before.y);
        EXPECT_EQ(other.speed, before.speed);
    }
    for (int lane = 0; lane < 6; ++lane) EXPECT_GT(lanesSeen[lane], 300) << "lane " << lane;
    EXPECT_TRUE(below);
    EXPECT_TRUE(above);
}

TEST(Traffic, CarsOutsideThePlayBandAreSpawnedAgainAtTheirNextUpdate) {
    TrafficUp();
    RaceState.quitConfirm = true;  // the cars stand still: only the respawn moves them
    // A spawn that lands at 800..899 and one at -500..-401: found by trying generator states.
    auto spawnStateWhere = [](const std::function<bool(int32_t)>& fitsY) {
        Generator walker{77};
        for (int k = 0; k < 100000; ++k) {
            walker.Next();
            Generator probe{walker.state};
            if (fitsY(ExpectedSpawn(probe).y)) return walker.state;
        }
        ADD_FAILURE() << "no such spawn";
        return 1u;
    };
    const uint32_t lowStates[2] = {spawnStateWhere([](int32_t y) { return y >= 800; }),
                                   spawnStateWhere([](int32_t y) { return y < -400; })};
    for (uint32_t state : lowStates) {
        RaceState.activeCars = 1;
        RandomState = state;
        SpawnCar(0);
        ASSERT_TRUE(RaceState.cars[0].y >= 800 || RaceState.cars[0].y < -400) << RaceState.cars[0].y;
        Generator g{RandomState};
        TrafficCar want = ExpectedSpawn(g);
        g.Next();  // the speed wander
        UpdateTraffic();
        const TrafficCar& got = RaceState.cars[0];
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.kind, want.kind);
        EXPECT_EQ(got.mass, want.mass);
        EXPECT_LE(std::abs(got.speed - want.speed), 3);
        EXPECT_EQ(RandomState, g.state);
    }
    // The band's edges: 799 and -400 stay, 800 and -401 are spawned again.
    const struct {
        int32_t y;
        bool respawned;
    } edges[] = {{799, false}, {800, true}, {-400, false}, {-401, true}};
    for (const auto& edge : edges) {
        RaceState.activeCars = 1;
        RaceState.cars[0] = Car(132, edge.y, 100);
        uint32_t start = RandomState;
        UpdateTraffic();
        EXPECT_EQ(RandomState, After(start, edge.respawned ? 6 : 1)) << "y " << edge.y;
        if (edge.respawned) {
            EXPECT_NE(RaceState.cars[0].y, edge.y);
        } else {
            EXPECT_EQ(RaceState.cars[0].y, edge.y);
        }
    }
}

TEST(Traffic, CarsMoveByTheirSpeedPlusThePlayersUnlessThePauseHoldsThem) {
    TrafficUp();
    for (int k = 3; k < TrafficPool; ++k) RaceState.cars[k] = Car(1000 + k, 2000 + k, 7, 2222, 9);
    RaceState.speed = 20;
    // Truncating divisions: 120 / 15 = 8, -110 / 15 = -7, -60 / 15 = -4.
    TrafficFrame({Car(132, 100, 100), Car(512, 100, -130), Car(402, 100, -80)},
                 {Calm(), Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].y, 108);
    EXPECT_EQ(RaceState.cars[1].y, 93);
    EXPECT_EQ(RaceState.cars[2].y, 96);
    for (int k = 3; k < TrafficPool; ++k) {
        EXPECT_EQ(RaceState.cars[k].x, 1000 + k) << "an idle record changed";
        EXPECT_EQ(RaceState.cars[k].y, 2000 + k);
        EXPECT_EQ(RaceState.cars[k].speed, 7);
    }
    RaceState.quitConfirm = true;
    TrafficFrame({Car(132, 100, 100), Car(512, 100, -130), Car(402, 100, -80)},
                 {Calm(), Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].y, 100);
    EXPECT_EQ(RaceState.cars[1].y, 100);
    EXPECT_EQ(RaceState.cars[2].y, 100);
}

TEST(Traffic, SpeedsWanderWithinTheirLimitsAlsoWhilePaused) {
    TrafficUp();
    RaceState.quitConfirm = true;
    RaceState.activeCars = 4;
    // Steps of 3 from 81 reach both ends, 78 and 132, and no further.
    RaceState.cars[0] = Car(132, 100, 81);
    RaceState.cars[1] = Car(242, 100, 129);
    RaceState.cars[2] = Car(402, 100, -81);
    RaceState.cars[3] = Car(512, 100, -129);
    int32_t lowest[4] = {1000, 1000, 1000, 1000};
    int32_t highest[4] = {};
    for (int frame = 0; frame < 30000; ++frame) {
        int32_t before[4];
        for (int k = 0; k < 4; ++k) before[k] = RaceState.cars[k].speed;
        UpdateTraffic();
        for (int k = 0; k < 4; ++k) {
            int32_t v = RaceState.cars[k].speed;
            int32_t change = v - before[k];
            ASSERT_TRUE(change == 0 || change == 3 || change == -3) << "car " << k << " frame " << frame;
            ASSERT_EQ(v > 0, k < 2) << "car " << k << " changed direction";
            int32_t magnitude = std::abs(v);
            ASSERT_GE(magnitude, 78) << "car " << k << " frame " << frame;
            ASSERT_LE(magnitude, 132) << "car " << k << " frame " << frame;
            lowest[k] = std::min(lowest[k], magnitude);
            highest[k] = std::max(highest[k], magnitude);
        }
    }
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(lowest[k], 78) << "car " << k;
        EXPECT_EQ(highest[k], 132) << "car " << k;
        EXPECT_EQ(RaceState.cars[k].y, 100) << "a paused car moved";
    }
}

TEST(Traffic, SameDirectionCarsKeepTheirDistanceAndMakeWay) {
    TrafficUp();
    RaceState.quitConfirm = true;
    // Car 1 is ahead of car 0 in the same lane and slower: car 0 eases off, car 1 speeds up.
    TrafficFrame({Car(402, 200, -100), Car(402, 100, -90)}, {Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, -98);
    EXPECT_EQ(RaceState.cars[1].speed, -92);
    // The reach is 209 pixels: 200 - 209 = -9.
    TrafficFrame({Car(402, 200, -100), Car(402, -9, -90)}, {Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, -98);
    EXPECT_EQ(RaceState.cars[1].speed, -92);
    TrafficFrame({Car(402, 200, -100), Car(402, -10, -90)}, {Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, -100);
    EXPECT_EQ(RaceState.cars[1].speed, -90);
    // A neighbour lane within the box's width counts, one further does not.
    TrafficFrame({Car(402, 200, -100), Car(431, 100, -90)}, {Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, -98);
    EXPECT_EQ(RaceState.cars[1].speed, -92);
    TrafficFrame({Car(402, 200, -100), Car(432, 100, -90)}, {Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, -100);
    EXPECT_EQ(RaceState.cars[1].speed, -90);
    // The car ahead is the faster one: nobody reacts.
    TrafficFrame({Car(402, 200, -90), Car(402, 100, -100)}, {Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, -90);
    EXPECT_EQ(RaceState.cars[1].speed, -100);
    // Oncoming cars do neither.
    TrafficFrame({Car(132, 200, 90), Car(132, 100, 100)}, {Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, 90);
    EXPECT_EQ(RaceState.cars[1].speed, 100);
    TrafficFrame({Car(132, 100, 90), Car(132, 200, 100)}, {Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, 90);
    EXPECT_EQ(RaceState.cars[1].speed, 100);
}

TEST(Traffic, CarsBehindThePlayerEaseOff) {
    TrafficUp();
    RaceState.quitConfirm = true;
    RaceState.playerX = 402;
    RaceState.speed = 100;
    TrafficFrame({Car(402, 500, -100)}, {Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, -99);
    TrafficFrame({Car(402, 609, -100)}, {Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, -99);
    TrafficFrame({Car(402, 610, -100)}, {Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, -100);
    // Not when the player is slower.
    RaceState.speed = -100;
    TrafficFrame({Car(402, 500, -100)}, {Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, -100);
    // Nor for an oncoming car.
    RaceState.speed = 100;
    TrafficFrame({Car(402, 500, 10)}, {Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, 0) << "an oncoming car on the right-hand side stops";
    TrafficFrame({Car(330, 500, 10)}, {Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, 10);
    EXPECT_EQ(RaceState.energy, 1000);
}

TEST(Traffic, OverlappingCarsAtTheSameHeightAreSeparatedUpAndDown) {
    TrafficUp();
    RaceState.quitConfirm = true;
    // The knock (R%2 = 0) draws car 1 two pixels towards car 0; no exchange of speeds.
    TrafficFrame({Car(132, 200, 100), Car(140, 200, 100)}, {Calm(), Is(2, 0), Calm()});
    EXPECT_EQ(RaceState.cars[0].x, 132);
    EXPECT_EQ(RaceState.cars[1].x, 138);
    EXPECT_EQ(RaceState.cars[0].y, 165);
    EXPECT_EQ(RaceState.cars[1].y, 235);
    EXPECT_EQ(RaceState.cars[0].speed, 100);
    EXPECT_EQ(RaceState.cars[1].speed, 100);
    EXPECT_EQ(TrafficPushSteps, 35);
}

TEST(Traffic, TheSidewaysKnockMovesOneCarTowardsTheOther) {
    TrafficUp();
    RaceState.quitConfirm = true;
    const struct {
        int32_t xi, xj, draw, playerSpeed;
        int32_t wantXi, wantXj;
    } cases[] = {
        {150, 160, 1, 100, 152, 160},  // R%2 = 1: this car moves, d = 100 / 60 + 1 = 2
        {150, 160, 0, 100, 150, 158},  // R%2 = 0: the other car moves
        {160, 150, 1, 100, 158, 150},
        {160, 150, 0, 100, 160, 152},
        {151, 150, 1, 100, 151, 150},  // crossing over is taken back at once
        {151, 150, 0, 100, 151, 150},
        {150, 151, 1, 100, 152, 151},  // ... but not when the move itself crosses over
        {150, 150, 1, 100, 150, 150},  // side by side: no move
        {150, 160, 1, 119, 152, 160},
        {150, 160, 1, 120, 153, 160},  // d = 3
        {150, 160, 0, 180, 150, 156},  // d = 4
        {150, 160, 1, -59, 151, 160},  // -59 / 60 = 0: d = 1
        {150, 160, 1, -60, 150, 160},  // -60 / 60 = -1: d = 0
        {150, 160, 1, -120, 149, 160}, // d = -1: the move goes the other way
    };
    for (const auto& c : cases) {
        RaceState.speed = c.playerSpeed;
        TrafficPushSteps = 0;
        TrafficFrame({Car(c.xi, 200, 100), Car(c.xj, 260, 100)}, {Calm(), Is(2, c.draw), Calm()});
        EXPECT_EQ(RaceState.cars[0].x, c.wantXi) << c.xi << " " << c.xj << " " << c.draw << " " << c.playerSpeed;
        EXPECT_EQ(RaceState.cars[1].x, c.wantXj) << c.xi << " " << c.xj << " " << c.draw << " " << c.playerSpeed;
        // Pushed apart, car 0 up and car 1 down, one pixel each per step.
        EXPECT_EQ(RaceState.cars[0].y, 195);
        EXPECT_EQ(RaceState.cars[1].y, 265);
        EXPECT_EQ(TrafficPushSteps, 5);
    }
}

TEST(Traffic, TheBumperNudgeComesOnlyAtExactly69Apart) {
    TrafficUp();
    RaceState.quitConfirm = true;
    const struct {
        int32_t draw;
        int32_t wantXi, wantXj;
    } nudges[] = {{0, 149, 150}, {1, 151, 150}, {2, 150, 149}, {3, 150, 151}, {4, 150, 150}, {5, 150, 150}};
    for (const auto& n : nudges) {
        // Car 1 69 below car 0.
        TrafficFrame({Car(150, 200, 100), Car(150, 269, 100)}, {Calm(), Any(2), Is(6, n.draw), Calm()});
        EXPECT_EQ(RaceState.cars[0].x, n.wantXi) << "R%6 = " << n.draw;
        EXPECT_EQ(RaceState.cars[1].x, n.wantXj) << "R%6 = " << n.draw;
        EXPECT_EQ(RaceState.cars[0].y, 199);
        EXPECT_EQ(RaceState.cars[1].y, 270);
        // Car 0 69 below car 1: the same nudge; the final separation moves them, no exchange.
        TrafficFrame({Car(150, 269, 100), Car(150, 200, 90)}, {Calm(), Any(2), Is(6, n.draw), Calm()});
        EXPECT_EQ(RaceState.cars[0].x, n.wantXi) << "R%6 = " << n.draw;
        EXPECT_EQ(RaceState.cars[1].x, n.wantXj) << "R%6 = " << n.draw;
        EXPECT_EQ(RaceState.cars[0].y, 270);
        EXPECT_EQ(RaceState.cars[1].y, 199);
        EXPECT_EQ(RaceState.cars[0].speed, 100);
        EXPECT_EQ(RaceState.cars[1].speed, 90);
    }
    // 68 apart: no nudge is drawn.
    TrafficFrame({Car(150, 200, 100), Car(150, 268, 100)}, {Calm(), Any(2), Calm()});
    EXPECT_EQ(RaceState.cars[0].y, 199);
    EXPECT_EQ(RaceState.cars[1].y, 269);
    // 70 apart: no contact at all.
    TrafficFrame({Car(150, 200, 100), Car(150, 270, 100)}, {Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].y, 200);
    EXPECT_EQ(RaceState.cars[1].y, 270);
}

TEST(Traffic, TheUpperCarOfATouchingPairExchangesSpeedsElastically) {
    TrafficUp();
    RaceState.quitConfirm = true;
    // Both on the divide, where no speed is stopped by the carriageway rule.
    // a = trunc(100 / 3.6) = 27, b = -27, w = (2000 * 27 - 3000 * 27) / 5000 = -5 (not -6),
    // vi = trunc((-10 - 27) * 3.6) = -133, vj = trunc((-10 + 27) * 3.6) = 61.
    TrafficFrame({Car(330, 200, 100, 2000), Car(330, 250, -100, 3000)}, {Calm(), Any(2), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, -133);
    EXPECT_EQ(RaceState.cars[1].speed, 61);
    EXPECT_EQ(RaceState.cars[0].y, 190);
    EXPECT_EQ(RaceState.cars[1].y, 260);
    // Equal masses swap the truncated speeds: -100 and 100 become 97 and -97; then car 1,
    // now in the same direction and right behind car 0's box, eases off by 2.
    TrafficFrame({Car(330, 200, -100, 2500), Car(330, 250, 100, 2500)}, {Calm(), Any(2), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, 97);
    EXPECT_EQ(RaceState.cars[1].speed, -95);
    // a = 27, b = trunc(91 / 3.6) = 25, w = (2000 * 27 + 3000 * 25) / 5000 = 25: 82 and
    // trunc(25 * 3.6) = 90 (in double precision 25 * 3.6 is exactly 90).
    TrafficFrame({Car(330, 200, 100, 2000), Car(330, 250, 91, 3000)}, {Calm(), Any(2), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, 82);
    EXPECT_EQ(RaceState.cars[1].speed, 90);
    // The lower car touching the upper one exchanges nothing: the final separation parts them.
    TrafficFrame({Car(330, 250, 100, 2000), Car(330, 200, -100, 3000)}, {Calm(), Any(2), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, 100);
    EXPECT_EQ(RaceState.cars[1].speed, -100);
    EXPECT_EQ(RaceState.cars[0].y, 260);
    EXPECT_EQ(RaceState.cars[1].y, 190);
}

TEST(Traffic, HeadOnAndRearCollisionsWithThePlayerAtStartSpeeds) {
    TrafficUp();
    RaceState.speed = 100;
    RaceState.energy = 1000;
    RaceState.timeLeft = 100;
    // An oncoming car at +100 hit on the left: it comes down 200 / 15 = 13 rows into the
    // player's box. R%2 = 1 pushes it 3 pixels away. 200 energy, no points.
    RaceState.playerX = 200;
    TrafficFrame({Car(205, 327, 100)}, {Calm(), Is(2, 1)});
    EXPECT_EQ(RaceState.energy, 800);
    EXPECT_EQ(RaceState.pendingPoints, 0);
    EXPECT_EQ(RaceState.playerX, 200);
    EXPECT_EQ(RaceState.cars[0].x, 208);
    EXPECT_EQ(RaceState.cars[0].y, 330) << "pushed up until the boxes part";
    EXPECT_EQ(TrafficPushSteps, 10);
    // Bounce: a = b = -27, w = -27: both become trunc(-27 * 2.2) = -59; the car, now going
    // up on the left carriageway, stops.
    EXPECT_EQ(RaceState.speed, -59);
    EXPECT_EQ(RaceState.cars[0].speed, 0);

    // A car in the player's direction at -100 hit on the right: R%2 = 0 pushes the player
    // 3 pixels away. 50 energy and 20 points.
    RaceState.speed = 100;
    RaceState.energy = 1000;
    RaceState.playerX = 402;
    TrafficPushSteps = 0;
    TrafficFrame({Car(410, 340, -100)}, {Calm(), Is(2, 0)});
    EXPECT_EQ(RaceState.energy, 950);
    EXPECT_EQ(RaceState.pendingPoints, 20);
    EXPECT_EQ(RaceState.playerX, 399);
    EXPECT_EQ(RaceState.cars[0].x, 410);
    EXPECT_EQ(RaceState.cars[0].y, 330);
    EXPECT_EQ(TrafficPushSteps, 10);
    EXPECT_EQ(RaceState.speed, 59);
    EXPECT_EQ(RaceState.cars[0].speed, -59);
}

TEST(Traffic, ThePlayersBounceScalesTheExchangeBy2point2) {
    TrafficUp();
    RaceState.playerX = 402;
    RaceState.speed = 150;
    // A car of mass 2000 at -80 behind the player: it moves (-80 + 150) / 15 = 4 rows down,
    // eases off to -79 (the player is ahead of it), and touches the player from below.
    TrafficFrame({Car(402, 456, -80, 2000)}, {Calm(), Any(2)});
    EXPECT_EQ(RaceState.pendingPoints, 22);    // |-79 - 150| / 10
    EXPECT_EQ(RaceState.energy, 1000 - 53);    // |-79 * 2000 - 150 * 2500| / 10000
    EXPECT_EQ(RaceState.cars[0].y, 470);       // pushed down until the boxes part
    // a = trunc(-150 / 3.6) = -41, b = trunc(79 / 3.6) = 21,
    // w = (2500 * -41 + 2000 * 21) / 4500 = -13; player trunc(15 * 2.2) = 33,
    // car trunc(-47 * 2.2) = -103.
    EXPECT_EQ(RaceState.speed, 33);
    EXPECT_EQ(RaceState.cars[0].speed, -103);
    // The player's bumper nudges.
    const struct {
        int32_t draw;
        int32_t wantPlayerX, wantCarX;
    } nudges[] = {{0, 402, 401}, {1, 402, 403}, {2, 401, 402}, {3, 403, 402}, {4, 402, 402}, {5, 402, 402}};
    for (const auto& n : nudges) {
        RaceState.playerX = 402;
        RaceState.speed = 100;
        RaceState.energy = 1000;
        RaceState.pendingPoints = 0;
        RaceState.quitConfirm = true;
        TrafficFrame({Car(402, 331, -100)}, {Calm(), Any(2), Is(6, n.draw)});
        EXPECT_EQ(RaceState.playerX, n.wantPlayerX) << "R%6 = " << n.draw;
        EXPECT_EQ(RaceState.cars[0].x, n.wantCarX) << "R%6 = " << n.draw;
        EXPECT_EQ(RaceState.cars[0].y, 330);
        EXPECT_EQ(RaceState.energy, 950);
        EXPECT_EQ(RaceState.pendingPoints, 20);
    }
    // 69 below the player: the nudge is drawn as well.
    RaceState.playerX = 402;
    RaceState.speed = 100;
    TrafficFrame({Car(402, 469, -100)}, {Calm(), Any(2), Is(6, 4)});
    EXPECT_EQ(RaceState.cars[0].y, 470);
}

TEST(Traffic, NoPointsWithoutTimeOrEnergyButStillDamage) {
    TrafficUp();
    const struct {
        int32_t energy, timeLeft;
        int32_t wantEnergy, wantPoints;
    } cases[] = {
        {1000, 0, 950, 0}, {1000, -7, 950, 0}, {0, 100, -50, 0}, {-10, 100, -60, 0}, {1, 1, -49, 20},
    };
    for (const auto& c : cases) {
        RaceState.playerX = 402;
        RaceState.speed = 100;
        RaceState.energy = c.energy;
        RaceState.timeLeft = c.timeLeft;
        RaceState.pendingPoints = 0;
        TrafficFrame({Car(402, 340, -100)}, {Calm(), Any(2)});
        EXPECT_EQ(RaceState.energy, c.wantEnergy) << c.energy << " " << c.timeLeft;
        EXPECT_EQ(RaceState.pendingPoints, c.wantPoints) << c.energy << " " << c.timeLeft;
    }
}

TEST(Traffic, AKnockThatPartsTheBoxesCostsNothingButTheBounceStillHappens) {
    TrafficUp();
    const struct {
        int32_t draw;
        int32_t wantPlayerX, wantCarX;
    } knocks[] = {{1, 402, 433}, {0, 399, 430}};
    for (const auto& k : knocks) {
        RaceState.playerX = 402;
        RaceState.speed = 100;
        RaceState.energy = 1000;
        RaceState.pendingPoints = 0;
        TrafficPushSteps = 0;
        TrafficFrame({Car(430, 340, -100)}, {Calm(), Is(2, k.draw)});
        EXPECT_EQ(RaceState.playerX, k.wantPlayerX);
        EXPECT_EQ(RaceState.cars[0].x, k.wantCarX);
        EXPECT_EQ(RaceState.energy, 1000);
        EXPECT_EQ(RaceState.pendingPoints, 0);
        EXPECT_EQ(RaceState.cars[0].y, 340);
        EXPECT_EQ(TrafficPushSteps, 0);
        EXPECT_EQ(RaceState.speed, 59);
        EXPECT_EQ(RaceState.cars[0].speed, -59);
    }
    // Level with the player: no bounce.
    RaceState.playerX = 402;
    RaceState.speed = 100;
    TrafficFrame({Car(430, 400, -100)}, {Calm(), Is(2, 1)});
    EXPECT_EQ(RaceState.cars[0].x, 433);
    EXPECT_EQ(RaceState.speed, 100);
    EXPECT_EQ(RaceState.cars[0].speed, -100);
    EXPECT_EQ(RaceState.energy, 1000);
    // Level with the player and still touching: damage and points, but neither push nor bounce.
    RaceState.quitConfirm = true;
    TrafficFrame({Car(410, 400, -100)}, {Calm(), Is(2, 1)});
    EXPECT_EQ(RaceState.cars[0].x, 413);
    EXPECT_EQ(RaceState.cars[0].y, 400);
    EXPECT_EQ(RaceState.speed, 100);
    EXPECT_EQ(RaceState.cars[0].speed, -100);
    EXPECT_EQ(RaceState.energy, 950);
    EXPECT_EQ(RaceState.pendingPoints, 20);
}

TEST(Traffic, ACarOnTheWrongCarriagewayStops) {
    TrafficUp();
    RaceState.quitConfirm = true;
    TrafficFrame({Car(329, -300, 100), Car(330, 0, 100), Car(331, 300, 100)}, {Calm(), Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, 100);
    EXPECT_EQ(RaceState.cars[1].speed, 100);
    EXPECT_EQ(RaceState.cars[2].speed, 0);
    TrafficFrame({Car(329, -390, -100), Car(330, -170, -100), Car(331, 50, -100)}, {Calm(), Calm(), Calm()});
    EXPECT_EQ(RaceState.cars[0].speed, 0);
    EXPECT_EQ(RaceState.cars[1].speed, -100);
    EXPECT_EQ(RaceState.cars[2].speed, -100);
    // A stopped car stays stopped on the right-hand side even when its wander adds 3.
    TrafficFrame({Car(402, 100, 0)}, {Is(30, 0)});
    EXPECT_EQ(RaceState.cars[0].speed, 0);
    // Knocked from 329 to 331 (R%2 = 1, d = 2): it stops; the car it hit, on the right-hand
    // side with a positive speed after the exchange (97), stops too.
    TrafficFrame({Car(329, 200, 100), Car(345, 250, 100)}, {Calm(), Is(2, 1), Calm()});
    EXPECT_EQ(RaceState.cars[0].x, 331);
    EXPECT_EQ(RaceState.cars[0].speed, 0);
    EXPECT_EQ(RaceState.cars[1].speed, 0);
    // Knocked from 328 to 330: it keeps the speed of the exchange.
    TrafficFrame({Car(328, 200, 100), Car(345, 250, 100)}, {Calm(), Is(2, 1), Calm()});
    EXPECT_EQ(RaceState.cars[0].x, 330);
    EXPECT_EQ(RaceState.cars[0].speed, 97);
}

TEST(Traffic, DamageUsesTheDivisorFromPlayerX330On) {
    TrafficUp();
    ApplyDifficulty(4);
    ASSERT_EQ(RaceState.damageDivisor, 6000);
    const struct {
        int32_t playerX, wantLoss;
    } cases[] = {
        {329, 36},  // |-80 * 2000 + 100 * 2500| / 2500
        {330, 68},  // |-80 * 2000 - 100 * 2500| / 6000
        {331, 68},
        {200, 36},
    };
    for (const auto& c : cases) {
        RaceState.playerX = c.playerX;
        RaceState.speed = 100;
        RaceState.energy = 1000;
        // (-80 + 100) / 15 = 1 row down into the player's box.
        TrafficFrame({Car(c.playerX, 339, -80, 2000)}, {Calm(), Any(2)});
        EXPECT_EQ(RaceState.energy, 1000 - c.wantLoss) << "playerX " << c.playerX;
    }
}

TEST(Traffic, CollisionPlaysTheCrashSound) {
    TrafficUp();
    if (!CrashSoundLoaded()) GTEST_SKIP() << "the sound platform did not load Crash1.snd";
    const std::string prefix = "sound " + std::to_string(plat::SoundBufferIndex(CrashSound)) + " ";
    ASSERT_NE(prefix, "sound -1 ");
    auto crashLines = [&] { return Backend().Lines(prefix); };

    // Out of energy: no points, but damage and the crash sound.
    EXPECT_EQ(CrashSound->Stop(), DS_OK);
    Backend().log.clear();
    RaceState.playerX = 402;
    RaceState.speed = 100;
    RaceState.energy = 0;
    TrafficFrame({Car(402, 340, -100)}, {Calm(), Any(2)});
    EXPECT_EQ(RaceState.energy, -50);
    EXPECT_EQ(RaceState.pendingPoints, 0);
    EXPECT_EQ(crashLines(), (std::vector<std::string>{prefix + "freq 22000", prefix + "play"}));

    // A knock that parts the boxes: no sound.
    EXPECT_EQ(CrashSound->Stop(), DS_OK);
    Backend().log.clear();
    RaceState.playerX = 402;
    RaceState.speed = 100;
    TrafficFrame({Car(430, 340, -100)}, {Calm(), Is(2, 1)});
    EXPECT_TRUE(crashLines().empty());
    EXPECT_EQ(RaceState.energy, -50);

    // A crash sound still playing is not started again; its frequency is set all the same.
    Backend().log.clear();
    RaceState.playerX = 402;
    RaceState.speed = 100;
    TrafficFrame({Car(402, 340, -100)}, {Calm(), Any(2)});
    TrafficFrame({Car(402, 340, -100)}, {Calm(), Any(2)});
    EXPECT_EQ(crashLines(), (std::vector<std::string>{prefix + "freq 22000", prefix + "play",
                                                      prefix + "freq 22000"}));
    EXPECT_EQ(CrashSound->Stop(), DS_OK);
}

TEST(Traffic, RoadWrapsAddCarsUpToFifteenAndANewRaceKeepsThem) {
    TrafficUp();
    RaceState.speed = 15;  // one row per frame
    ASSERT_EQ(RaceState.activeCars, 5);
    // A wrap that draws anything but 1 adds no car.
    RaceState.roadScroll = 479;
    uint32_t start = StateFor({Is(40, 0)});
    RandomState = start;
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 0);
    EXPECT_EQ(RaceState.activeCars, 5);
    EXPECT_EQ(RandomState, After(start, 1));
    // No wrap, no draw.
    RaceState.roadScroll = 478;
    start = RandomState;
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 479);
    EXPECT_EQ(RandomState, start);
    // Every wrap that draws 1 adds one, up to 15; the number is drawn also at 15.
    for (int32_t want = 6; want <= 17; ++want) {
        RaceState.roadScroll = 479;
        start = StateFor({Is(40, 1)});
        RandomState = start;
        DrawRoad();
        EXPECT_EQ(RaceState.activeCars, std::min(want, 15));
        EXPECT_EQ(RandomState, After(start, 1));
    }
    // The overshoot is dropped: 476 + 6 wraps to 0, not 2.
    RaceState.speed = 100;
    RaceState.roadScroll = 476;
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 0);
    // Backwards from 0: 480.
    RaceState.speed = -20;
    start = RandomState;
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 480);
    EXPECT_EQ(RandomState, start);
    // A new race respawns all thirty records and keeps the traffic's size.
    ResetRace();
    EXPECT_EQ(RaceState.activeCars, 15);
    // And the natural growth: at speed 100 a wrap every 80 frames, one in 40 adds a car.
    RaceState = {};
    RaceState.speed = 100;
    RandomState = 1;
    int frames = 0;
    while (RaceState.activeCars < 15 && frames < 1000000) {
        DrawRoad();
        ++frames;
    }
    EXPECT_EQ(RaceState.activeCars, 15);
    EXPECT_GT(frames, 10 * 80) << "ten cars need at least ten wraps";
}
