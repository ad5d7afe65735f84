// The traffic: a pool of car records, their lanes, speeds and reactions, the knocks between
// cars and the collisions with the player.
#include "race.h"

#include "../audio/sound.h"
#include "arith.h"
#include "random.h"

int64_t TrafficPushSteps = 0;

namespace {

constexpr int32_t kDivide = 330;  // the line between the two carriageways

struct Lane {
    int32_t x;
    bool oncoming;
};
constexpr Lane kLanes[6] = {{132, true},  {187, true},  {242, true},
                            {402, false}, {457, false}, {512, false}};

// Speeds of an elastic exchange: in, divided by `in` scale, averaged by mass, and back.
void Exchange(int32_t& va, int32_t ma, int32_t& vb, int32_t mb, double inScale, double outScale,
              bool negateIn) {
    int64_t a =
        TruncateToInt((negateIn ? -static_cast<double>(va) : static_cast<double>(va)) / inScale);
    int64_t b =
        TruncateToInt((negateIn ? -static_cast<double>(vb) : static_cast<double>(vb)) / inScale);
    if (static_cast<int64_t>(ma) + mb == 0) return;
    int64_t w = (static_cast<int64_t>(ma) * a + static_cast<int64_t>(mb) * b) /
                (static_cast<int64_t>(ma) + mb);
    va = TruncateToInt(static_cast<double>(2 * w - a) * outScale);
    vb = TruncateToInt(static_cast<double>(2 * w - b) * outScale);
}

// Two cars that touch knock: one of them, drawn at random, is shifted sideways by d, towards
// the other (two traffic cars) or away from it (a traffic car and the player's, `away`). Cars
// that touch exactly end to end are also nudged a pixel either way, one of four ways drawn.
void KnockAndNudge(int32_t& ax, int32_t ay, int32_t& bx, int32_t by, int64_t d, bool away) {
    const int64_t shift = away ? d : -d;
    if (RandomBelow(2) == 1) {
        if (bx < ax) AddTo(ax, shift);
        if (bx > ax) AddTo(ax, -shift);
    } else {
        if (bx < ax) AddTo(bx, -shift);
        if (bx > ax) AddTo(bx, shift);
    }
    if (int64_t{by} == int64_t{ay} + 69 || int64_t{ay} == int64_t{by} + 69) {
        switch (RandomBelow(6)) {
            case 0: AddTo(ax, -1); break;
            case 1: AddTo(ax, 1); break;
            case 2: AddTo(bx, -1); break;
            case 3: AddTo(bx, 1); break;
            default: break;
        }
    }
}

}  // namespace

bool CarsOverlap(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    int64_t dx = static_cast<int64_t>(x2) - x1;
    int64_t dy = static_cast<int64_t>(y2) - y1;
    return dx > -30 && dx < 30 && dy > -70 && dy < 70;
}

void SpawnCar(int32_t index) {
    if (index < 0 || index >= kTrafficPool) return;
    TrafficCar& car = RaceState.cars[index];
    const Lane& lane = kLanes[RandomBelow(6)];
    car.x = lane.x;
    car.speed = lane.oncoming ? RandomBelow(50) + 80 : -(RandomBelow(50) + 80);
    int32_t r = RandomBelow(800) - 400;
    car.y = r > 0 ? r + 500 : -500 - r;
    car.kind = RandomBelow(5) + 5;
    car.mass = RandomBelow(1000) + 2000;
}

void UpdateTraffic() {
    auto& s = RaceState;
    for (int32_t i = 0; i < s.activeCars && i < kTrafficPool; ++i) {
        TrafficCar& car = s.cars[i];
        const int32_t count = s.activeCars < kTrafficPool ? s.activeCars : kTrafficPool;

        // 1. Recycle a car that has left the play band.
        if (car.y >= 800 || car.y < -400) SpawnCar(i);

        // 2. Speed wander, also while the race is held.
        if (car.speed >= 0) {
            int32_t r = RandomBelow(30);
            if (r == 0 && car.speed < 130) car.speed += 3;
            if (r == 1 && car.speed > 80) car.speed -= 3;
        } else {
            int32_t r = RandomBelow(30);
            if (r == 0 && car.speed > -130) car.speed -= 3;
            if (r == 1 && car.speed < -80) car.speed += 3;
        }

        // 3. Move.
        if (!s.quitConfirm) AddTo(car.y, (static_cast<int64_t>(car.speed) + s.speed) / 15);

        // 4. The other cars.
        for (int32_t j = 0; j < count; ++j) {
            if (j == i) continue;
            TrafficCar& other = s.cars[j];
            if (car.speed < 0 &&
                (CarsOverlap(car.x, Saturate(int64_t{car.y} - 70), other.x, other.y) ||
                 CarsOverlap(car.x, Saturate(int64_t{car.y} - 140), other.x, other.y)) &&
                car.speed < other.speed) {
                car.speed += 2;  // keep distance from the car ahead
            }
            if (car.speed < 0 &&
                (CarsOverlap(car.x, Saturate(int64_t{car.y} + 70), other.x, other.y) ||
                 CarsOverlap(car.x, Saturate(int64_t{car.y} + 140), other.x, other.y)) &&
                car.speed > other.speed) {
                car.speed -= 2;  // make way for the car behind
            }
            if (!CarsOverlap(car.x, car.y, other.x, other.y)) continue;
            KnockAndNudge(car.x, car.y, other.x, other.y, s.speed / 60 + 1, false);
            if (car.y < other.y) {
                while (CarsOverlap(car.x, car.y, other.x, other.y)) {
                    AddTo(car.y, -1);
                    AddTo(other.y, 1);
                    ++TrafficPushSteps;
                }
                Exchange(car.speed, car.mass, other.speed, other.mass, 3.6, 3.6, false);
            }
        }

        // 5. The player.
        if (car.speed < 0 &&
            (CarsOverlap(car.x, Saturate(int64_t{car.y} - 70), s.playerX, s.playerY) ||
             CarsOverlap(car.x, Saturate(int64_t{car.y} - 140), s.playerX, s.playerY)) &&
            car.speed < s.speed && car.speed < 0) {
            car.speed += 1;
        }
        if (CarsOverlap(s.playerX, s.playerY, car.x, car.y)) {
            KnockAndNudge(car.x, car.y, s.playerX, s.playerY, s.speed / 60 + 2, true);
            if (CarsOverlap(s.playerX, s.playerY, car.x, car.y)) {
                if (s.energy > 0 && s.timeLeft > 0) {
                    AddTo(s.pendingPoints, Abs64(int64_t{car.speed} - s.speed) / 10);
                }
                int64_t carMomentum = int64_t{car.speed} * car.mass;
                int64_t playerMomentum = int64_t{s.speed} * s.playerMass;
                if (s.playerX < kDivide) {
                    AddTo(s.energy, -(Abs64(carMomentum + playerMomentum) / 2500));
                } else {
                    int64_t divisor = s.damageDivisor > 0 ? s.damageDivisor : 1;
                    AddTo(s.energy, -(Abs64(carMomentum - playerMomentum) / divisor));
                }
                SetSoundFrequency(CrashSound, 22000);
                SoundDevice.Play(CrashSound);
            }
            if (s.playerY != car.y) {
                int32_t step = s.playerY < car.y ? 1 : -1;
                while (CarsOverlap(s.playerX, s.playerY, car.x, car.y)) {
                    AddTo(car.y, step);
                    ++TrafficPushSteps;
                }
                Exchange(s.speed, s.playerMass, car.speed, car.mass, 3.6, 2.2, true);
            }
        }

        // 6. Final separation from every other car.
        for (int32_t j = 0; j < count; ++j) {
            if (j == i) continue;
            TrafficCar& other = s.cars[j];
            while (CarsOverlap(car.x, car.y, other.x, other.y)) {
                if (car.y > other.y) {
                    AddTo(car.y, 1);
                    AddTo(other.y, -1);
                } else {
                    AddTo(car.y, -1);
                    AddTo(other.y, 1);
                }
                ++TrafficPushSteps;
            }
        }

        // 7. A car on the wrong carriageway stops.
        if (car.x > kDivide && car.speed > 0) car.speed = 0;
        if (car.x < kDivide && car.speed < 0) car.speed = 0;

        // 8. Draw.
        DrawCarSprite(car.kind, Saturate(int64_t{car.x} - ViewOffset()), car.y, car.x < kDivide);
    }
}
