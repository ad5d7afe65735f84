// The traffic: the car box, spawning, the speed wander, the reactions to other cars and to
// the player, knocks, nudges, push-apart, the speed exchanges, damage and points, the
// carriageway rule.
#include "../support/support.h"

#include <array>
#include <limits>
#include <tuple>

using namespace testing_support;

namespace {

TrafficCar Car(int32_t x, int32_t y, int32_t speed, int32_t mass = 2500) {
    return {x, y, speed, mass, 5};
}
// A speed-wander draw that leaves the speed alone.
Want Calm() {
    return {30, [](int32_t r) { return r >= 2; }};
}

// The race at its program-start values, paused unless asked (the cars then
// stand still), the player's car at speed 100 parked at the right edge of the road, out of
// the way of the lanes.
void TrafficUp(bool paused = true) {
    RaceState = {};
    RaceState.quitConfirm = paused, RaceState.playerX = 638, RaceState.speed = 100;
    TrafficPushSteps = 0;
}

// Runs one traffic frame with the cars given, from a generator state that yields `draws` (a
// calm speed wander for each car when none are given), and checks that exactly those draws
// were made.
void TrafficFrame(const std::vector<TrafficCar>& cars, std::vector<Want> draws = {}) {
    if (draws.empty()) draws.assign(cars.size(), Calm());
    RaceState.activeCars = static_cast<int32_t>(cars.size());
    std::copy(cars.begin(), cars.end(), RaceState.cars);
    const uint32_t start = StateFor(draws);
    RandomState = start;
    UpdateTraffic();
    EXPECT_EQ(RandomState, After(start, draws.size()))
        << "the frame drew another count than " << draws.size();
}

// One paused frame: the cars, the speeds they come out with, the draws (a calm wander for
// each car when none are given), and the player.
struct Reaction {
    std::vector<TrafficCar> cars;
    std::vector<int32_t> speeds;
    std::vector<Want> draws = {};
    int32_t playerX = 638, playerSpeed = 100;
};
void ExpectSpeeds(const std::vector<Reaction>& cases) {
    for (size_t n = 0; n < cases.size(); ++n) {
        SCOPED_TRACE(n);
        TrafficUp();
        RaceState.playerX = cases[n].playerX, RaceState.speed = cases[n].playerSpeed;
        TrafficFrame(cases[n].cars, cases[n].draws);
        for (size_t k = 0; k < cases[n].speeds.size(); ++k)
            EXPECT_EQ(RaceState.cars[k].speed, cases[n].speeds[k]) << "car " << k;
    }
}

// x, y, speed, mass, kind.
std::array<int32_t, 5> Fields(const TrafficCar& c) { return {c.x, c.y, c.speed, c.mass, c.kind}; }

using Traffic = GameTest;

}  // namespace

// Boxes overlap strictly inside 30 by 70, whichever comes first; far-apart values do not wrap
// around into an overlap.
TEST_F(Traffic, CarBoxesOverlapStrictlyInsideThirtyBySeventy) {
    const int32_t lo = std::numeric_limits<int32_t>::min(),
                  hi = std::numeric_limits<int32_t>::max();
    const std::tuple<int32_t, int32_t, bool> cases[] = {{29, 69, true}, {-29, -69, true},
                                                        {30, 0, false}, {-30, 0, false},
                                                        {0, 70, false}, {0, -70, false}};
    for (auto [dx, dy, overlap] : cases)
        EXPECT_EQ(std::pair(CarsOverlap(0, 0, dx, dy), CarsOverlap(dx, dy, 0, 0)),
                  std::pair(overlap, overlap));
    EXPECT_FALSE(CarsOverlap(lo, 0, hi, 0) || CarsOverlap(0, hi, 0, lo));
    EXPECT_TRUE(CarsOverlap(hi, hi, hi - 29, hi - 69));
}

TEST_F(Traffic, SpawnDrawsLaneSpeedPositionKindAndMassInThatOrder) {
    TrafficUp();
    // From 28 the first six spawns visit every lane and both ends of the play band.
    RandomState = 28;
    const TrafficCar spawns[6] = {{457, -415, -92, 2751, 9}, {512, 758, -108, 2306, 8},
                                  {242, -107, 114, 2326, 6}, {402, -403, -114, 2010, 9},
                                  {132, -186, 85, 2357, 7},  {187, -108, 108, 2236, 9}};
    for (int k = 0; k < 6; ++k) SpawnCar(5 * k);
    EXPECT_EQ(RandomState, After(28, 30)) << "a spawn draws five numbers";
    for (int k = 0; k < kTrafficPool; ++k)
        EXPECT_EQ(Fields(RaceState.cars[k]), Fields(k % 5 == 0 ? spawns[k / 5] : TrafficCar{}))
            << "record " << k;
    // The position's draw R%800 - 400 = r: r + 500 below the screen when positive, -500 - r above.
    const std::pair<int32_t, int32_t> positions[] = {
        {400, -500}, {401, 501}, {0, -100}, {799, 899}};
    for (const auto& [draw, y] : positions) {
        RandomState = StateFor({Any(6), Any(50), Is(800, draw)});
        SpawnCar(0);
        EXPECT_EQ(RaceState.cars[0].y, y) << "R%800 = " << draw;
    }
}

TEST_F(Traffic, CarsOutsideThePlayBandAreSpawnedAgainAtTheirNextUpdate) {
    TrafficUp();
    // The band's edges: 799 and -400 stay, 800 and -401 are spawned again (five more draws).
    for (auto [y, respawned] : {std::pair{799, false}, {800, true}, {-400, false}, {-401, true}}) {
        const std::vector<Want> spawn = {Any(6), Any(50), Any(800), Any(5), Any(1000), Any(30)};
        TrafficFrame({Car(132, y, 100)}, respawned ? spawn : std::vector<Want>{Any(30)});
        EXPECT_EQ(RaceState.cars[0].y != y, respawned) << y;
    }
}

TEST_F(Traffic, CarsMoveByTheirSpeedPlusThePlayersUnlessThePauseHoldsThem) {
    for (bool paused : {false, true}) {
        TrafficUp(paused);
        RaceState.speed = 20;
        RaceState.cars[3] = Car(132, 100, 7);  // an idle record, right on car 0
        // Truncating divisions: 120 / 15 = 8, -110 / 15 = -7, -60 / 15 = -4.
        TrafficFrame({Car(132, 100, 100), Car(512, 100, -130), Car(402, 100, -80)});
        EXPECT_EQ((std::array{RaceState.cars[0].y, RaceState.cars[1].y, RaceState.cars[2].y}),
                  paused ? (std::array{100, 100, 100}) : (std::array{108, 93, 96}));
        EXPECT_EQ(Fields(RaceState.cars[3]), Fields(Car(132, 100, 7)))
            << "an idle record took part";
    }
}

TEST_F(Traffic, SpeedsWanderWithinTheirLimitsAlsoWhilePaused) {
    // R%30 = 0 speeds up by 3, R%30 = 1 slows down by 3, each only from inside 80..130.
    ExpectSpeeds({
        {{Car(132, 100, 127)}, {130}, {Is(30, 0)}},
        {{Car(132, 100, 130)}, {130}, {Is(30, 0)}},
        {{Car(132, 100, 83)}, {80}, {Is(30, 1)}},
        {{Car(132, 100, 80)}, {80}, {Is(30, 1)}},
        {{Car(402, 100, -127)}, {-130}, {Is(30, 0)}},
        {{Car(402, 100, -130)}, {-130}, {Is(30, 0)}},
        {{Car(402, 100, -83)}, {-80}, {Is(30, 1)}},
        {{Car(402, 100, -80)}, {-80}, {Is(30, 1)}},
        {{Car(132, 100, 100)}, {100}, {Is(30, 2)}},
        {{Car(402, 100, -100)}, {-100}, {Is(30, 29)}},
    });
}

TEST_F(Traffic, SameDirectionCarsKeepTheirDistanceFromCarsAndThePlayerAndMakeWay) {
    ExpectSpeeds({
        // Car 1 is ahead of car 0 in the same lane and slower: car 0 eases off, car 1 speeds up.
        {{Car(402, 200, -100), Car(402, 100, -90)}, {-98, -92}},
        // The reach is 209 rows: 200 - 209 = -9.
        {{Car(402, 200, -100), Car(402, -9, -90)}, {-98, -92}},
        {{Car(402, 200, -100), Car(402, -10, -90)}, {-100, -90}},
        // A neighbour lane within the box's width counts, one further does not.
        {{Car(402, 200, -100), Car(431, 100, -90)}, {-98, -92}},
        {{Car(402, 200, -100), Car(432, 100, -90)}, {-100, -90}},
        // The car ahead is the faster one, or as fast: nobody reacts. Oncoming cars do neither.
        {{Car(402, 200, -90), Car(402, 100, -100)}, {-90, -100}},
        {{Car(402, 200, -100), Car(402, 100, -100)}, {-100, -100}},
        {{Car(132, 200, 90), Car(132, 100, 100)}, {90, 100}},
        {{Car(132, 100, 90), Car(132, 200, 100)}, {90, 100}},
        // Nor does a stopped car, on the divide where it may go either way.
        {{Car(330, 200, 0), Car(330, 100, 5)}, {0, 5}},
        // A car in the 140 rows behind the slower player eases off by 1.
        {{Car(402, 500, -100)}, {-99}, {}, 402},
        {{Car(402, 609, -100)}, {-99}, {}, 402},
        {{Car(402, 610, -100)}, {-100}, {}, 402},
        {{Car(402, 500, -100)}, {-100}, {}, 402, -100},  // not when the player is slower
        {{Car(330, 500, 10)}, {10}, {}, 330},            // nor for an oncoming car
    });
}

TEST_F(Traffic, ACarOnTheWrongCarriagewayStops) {
    ExpectSpeeds({
        {{Car(329, -300, 100), Car(330, 0, 100), Car(331, 300, 100)}, {100, 100, 0}},
        {{Car(329, -390, -100), Car(330, -170, -100), Car(331, 50, -100)}, {0, -100, -100}},
        // A stopped car stays stopped on the right-hand side even when its wander adds 3.
        {{Car(402, 100, 0)}, {0}, {Is(30, 0)}},
        // Knocked from 329 to 331 (R%2 = 1, d = 2): it stops; the car it hit, on the right-hand
        // side with a positive speed after the exchange (97), stops too. From 328 to 330: not.
        {{Car(329, 200, 100), Car(345, 250, 100)}, {0, 0}, {Calm(), Is(2, 1), Calm()}},
        {{Car(328, 200, 100), Car(345, 250, 100)}, {97, 0}, {Calm(), Is(2, 1), Calm()}},
    });
}

TEST_F(Traffic, TheUpperCarOfATouchingPairExchangesSpeedsElastically) {
    // Both on the divide, where no speed is stopped by the carriageway rule.
    const std::vector<Want> touch = {Calm(), Any(2), Calm()};
    ExpectSpeeds({
        // a = trunc(100 / 3.6) = 27, b = -27, w = (2000 * 27 - 3000 * 27) / 5000 = -5 (not -6),
        // vi = trunc((-10 - 27) * 3.6) = -133, vj = trunc((-10 + 27) * 3.6) = 61.
        {{Car(330, 200, 100, 2000), Car(330, 250, -100, 3000)}, {-133, 61}, touch},
        // Equal masses swap the truncated speeds: -100 and 100 become 97 and -97; then car 1,
        // now in the same direction and right behind car 0's box, eases off by 2.
        {{Car(330, 200, -100), Car(330, 250, 100)}, {97, -95}, touch},
        // b = trunc(91 / 3.6) = 25, w = (2000 * 27 + 3000 * 25) / 5000 = 25: 82 and
        // trunc(25 * 3.6) = 90 (in double precision 25 * 3.6 is exactly 90).
        {{Car(330, 200, 100, 2000), Car(330, 250, 91, 3000)}, {82, 90}, touch},
        // The lower car touching the upper one exchanges nothing: the final separation parts them.
        {{Car(330, 250, 100, 2000), Car(330, 200, -100, 3000)}, {100, -100}, touch},
    });
}

TEST_F(Traffic, TheSidewaysKnockMovesOneCarTowardsTheOther) {
    // R%2 = 1 moves this car, R%2 = 0 the other one, by d = player's speed / 60 + 1 (2 at
    // 100, 3 at 120, 4 at 180, 1 at -59, 0 at -60, -1 at -120: the move goes the other way).
    // A crossing over is taken back at once, but not when the move itself crosses over; side by
    // side, nothing moves.
    const struct {
        int32_t xi, xj, draw, playerSpeed, wantXi, wantXj;
    } cases[] = {
        {150, 160, 1, 100, 152, 160}, {150, 160, 0, 100, 150, 158},  {160, 150, 1, 100, 158, 150},
        {151, 150, 1, 100, 151, 150}, {150, 151, 1, 100, 152, 151},  {150, 150, 1, 100, 150, 150},
        {150, 160, 1, 119, 152, 160}, {150, 160, 1, 120, 153, 160},  {150, 160, 1, -59, 151, 160},
        {150, 160, 1, -60, 150, 160}, {150, 160, 1, -120, 149, 160},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        TrafficUp();
        RaceState.speed = c.playerSpeed;
        TrafficFrame({Car(c.xi, 200, 100), Car(c.xj, 260, 100)}, {Calm(), Is(2, c.draw), Calm()});
        // Pushed apart, car 0 up and car 1 down, one row each per step.
        EXPECT_EQ(
            (std::array<int64_t, 5>{RaceState.cars[0].x, RaceState.cars[1].x, RaceState.cars[0].y,
                                    RaceState.cars[1].y, TrafficPushSteps}),
            (std::array<int64_t, 5>{c.wantXi, c.wantXj, 195, 265, 5}));
    }
    // Level cars are parted by the final separation alone: car 0 up, car 1 down, speeds kept.
    TrafficUp();
    TrafficFrame({Car(132, 200, 100), Car(140, 200, 100)}, {Calm(), Is(2, 0), Calm()});
    EXPECT_EQ(Fields(RaceState.cars[0]), Fields(Car(132, 165, 100)));
    EXPECT_EQ(Fields(RaceState.cars[1]), Fields(Car(138, 235, 100)));
    EXPECT_EQ(TrafficPushSteps, 35);
}

TEST_F(Traffic, TheBumperNudgeComesOnlyAtExactly69Apart) {
    const struct {
        int32_t draw, wantX0, wantX1;
    } nudges[] = {
        {0, 149, 150}, {1, 151, 150}, {2, 150, 149}, {3, 150, 151}, {4, 150, 150}, {5, 150, 150},
    };
    for (const auto& n : nudges) {
        TrafficUp();
        // Car 1 69 below car 0, then car 0 69 below car 1: the same nudge.
        for (int32_t y0 : {200, 269}) {
            TrafficFrame({Car(150, y0, 100), Car(150, 469 - y0, 100)},
                         {Calm(), Any(2), Is(6, n.draw), Calm()});
            EXPECT_EQ((std::array{RaceState.cars[0].x, RaceState.cars[1].x, RaceState.cars[0].y}),
                      (std::array{n.wantX0, n.wantX1, y0 == 200 ? 199 : 270}))
                << "R%6 = " << n.draw << ", car 0 at " << y0;
        }
    }
    // 68 apart: no nudge is drawn. 70 apart: no contact at all.
    TrafficFrame({Car(150, 200, 100), Car(150, 268, 100)}, {Calm(), Any(2), Calm()});
    TrafficFrame({Car(150, 200, 100), Car(150, 270, 100)});
    EXPECT_EQ(RaceState.cars[1].y, 270);
}

TEST_F(Traffic, CollisionsWithThePlayerKnockNudgeDamageScoreAndBounce) {
    // At the hardest level the damage from x 330 on is |car's momentum - player's| / 6000, left
    // of it |car's + player's| / 2500; the player's mass is 2500. Points |car's speed - player's|
    // / 10, while there is energy and time. The bounce: a = trunc(-speed / 3.6) for each, w = the
    // masses' average of a, and each becomes trunc((2w - a) * 2.2).
    // An oncoming car at +100 hit on the left: it comes down 200 / 15 = 13 rows into the
    // player's box; R%2 = 1 pushes it 3 away; it is pushed up until the boxes part. 200
    // energy, no points. Bounce: a = b = -27, w = -27: both trunc(-27 * 2.2) = -59; the car,
    // going up on the left carriageway, stops.
    // A car at -100 hit on the right: R%2 = 0 pushes the player 3 away. 83 energy, 20 points.
    // A car of mass 2000 at -80 comes (-80 + 150) / 15 = 4 rows down, eases off to -79 and
    // touches the player from below: 22 points, |-79 * 2000 - 150 * 2500| / 6000 = 88 energy.
    // a = trunc(-150 / 3.6) = -41, b = trunc(79 / 3.6) = 21, w = (2500 * -41 + 2000 * 21) / 4500
    // = -13: the player trunc(15 * 2.2) = 33, the car trunc(-47 * 2.2) = -103.
    // The divide: a car of mass 2000 at -80 one row into the box costs |-160000 + 250000| /
    // 2500 = 36 left of 330 and |-160000 - 250000| / 6000 = 68 from 330 on. a = -27, b = 22,
    // w = -5: the player 37, the car -70, or 0 when it stops left of the divide.
    // A knock that parts the boxes costs nothing, but the bounce still happens.
    // Level with the player: no bounce, and when still touching, no push either.
    // 69 apart, above or below, the bumper nudge is drawn.
    // Below, the car first eases off to -99: 19 points, |-99 * 2500 - 100 * 2500| / 6000 = 82.
    // No points without time or energy, but damage all the same.
    // playerX, car x, car y, energy, points, player speed, car speed, push steps
    // Each row: the player's x, speed, energy and time; the car's x, y, speed and mass; the R%2
    // and R%6 drawn (-1: any knock, no nudge). Then the player's x, the car's x and y, the
    // energy, the points, the player's speed, the car's speed and the push steps after it.
    const int32_t hits[][18] = {
        {200, 100, 1000, 100, 205, 327, 100, 2500, 1, -1, 200, 208, 330, 800, 0, -59, 0, 10},
        {402, 100, 1000, 100, 410, 340, -100, 2500, 0, -1, 399, 410, 330, 917, 20, 59, -59, 10},
        {402, 150, 1000, 100, 402, 456, -80, 2000, -1, -1, 402, 402, 470, 912, 22, 33, -103, 10},
        {329, 100, 1000, 100, 329, 339, -80, 2000, -1, -1, 329, 329, 330, 964, 18, 37, 0, 10},
        {330, 100, 1000, 100, 330, 339, -80, 2000, -1, -1, 330, 330, 330, 932, 18, 37, -70, 10},
        {402, 100, 1000, 100, 430, 340, -100, 2500, 1, -1, 402, 433, 340, 1000, 0, 59, -59, 0},
        {402, 100, 1000, 100, 430, 340, -100, 2500, 0, -1, 399, 430, 340, 1000, 0, 59, -59, 0},
        {402, 100, 1000, 100, 430, 400, -100, 2500, 1, -1, 402, 433, 400, 1000, 0, 100, -100, 0},
        {402, 100, 1000, 100, 410, 400, -100, 2500, 1, -1, 402, 413, 400, 917, 20, 100, -100, 0},
        {402, 100, 1000, 100, 402, 331, -100, 2500, -1, 0, 402, 401, 330, 917, 20, 59, -59, 1},
        {402, 100, 1000, 100, 402, 331, -100, 2500, -1, 1, 402, 403, 330, 917, 20, 59, -59, 1},
        {402, 100, 1000, 100, 402, 331, -100, 2500, -1, 2, 401, 402, 330, 917, 20, 59, -59, 1},
        {402, 100, 1000, 100, 402, 331, -100, 2500, -1, 3, 403, 402, 330, 917, 20, 59, -59, 1},
        {402, 100, 1000, 100, 402, 331, -100, 2500, -1, 4, 402, 402, 330, 917, 20, 59, -59, 1},
        {402, 100, 1000, 100, 402, 331, -100, 2500, -1, 5, 402, 402, 330, 917, 20, 59, -59, 1},
        {402, 100, 1000, 100, 402, 469, -100, 2500, -1, 4, 402, 402, 470, 918, 19, 59, -59, 1},
        {402, 100, 1000, 0, 402, 340, -100, 2500, -1, -1, 402, 402, 330, 917, 0, 59, -59, 10},
        {402, 100, 1000, -7, 402, 340, -100, 2500, -1, -1, 402, 402, 330, 917, 0, 59, -59, 10},
        {402, 100, 0, 100, 402, 340, -100, 2500, -1, -1, 402, 402, 330, -83, 0, 59, -59, 10},
        {402, 100, -10, 100, 402, 340, -100, 2500, -1, -1, 402, 402, 330, -93, 0, 59, -59, 10},
        {402, 100, 1, 1, 402, 340, -100, 2500, -1, -1, 402, 402, 330, -82, 20, 59, -59, 10},
    };
    for (const auto& h : hits) {
        TrafficUp(false);
        ApplyDifficulty(4);
        std::tie(RaceState.playerX, RaceState.speed, RaceState.energy, RaceState.timeLeft) =
            std::tuple(h[0], h[1], h[2], h[3]);
        std::vector<Want> draws = {Calm(), h[8] < 0 ? Any(2) : Is(2, h[8])};
        if (h[9] >= 0) draws.push_back(Is(6, h[9]));
        TrafficFrame({Car(h[4], h[5], h[6], h[7])}, draws);
        const TrafficCar& car = RaceState.cars[0];
        EXPECT_EQ((std::vector<int64_t>{RaceState.playerX, car.x, car.y, RaceState.energy,
                                        RaceState.pendingPoints, RaceState.speed, car.speed,
                                        TrafficPushSteps}),
                  std::vector<int64_t>(h + 10, h + 18))
            << "case " << &h - hits;
    }
}
