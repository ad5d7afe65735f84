// The race: its state, the per-frame tick, the traffic, the road, the sprites and the bonuses.
#pragma once

#include <cstdint>

struct TrafficCar {
    int32_t x;      // centre, road coordinates
    int32_t y;      // centre, screen rows
    int32_t speed;  // positive = down the screen
    int32_t mass;
    int32_t kind;  // column of the car picture
};

struct BonusItem {
    int32_t xOffset;  // road x is xOffset + 370
    int32_t y;
};

constexpr int32_t kTrafficPool = 30;
constexpr int32_t kMaxActiveCars = 15;

struct RaceVariables {
    int32_t playerX = 402;
    int32_t playerY = 400;
    int32_t speed = 80;
    int32_t maxSpeed = 200;
    int32_t energy = 1000;
    int32_t timeLeft = 100;
    int32_t countdown = 250;
    int32_t points = 0;
    int32_t pendingPoints = 0;
    int32_t activeCars = 5;
    int32_t playerMass = 2500;
    int32_t damageDivisor = 10000;
    bool quitConfirm = false;
    int32_t frameDivider = 0;
    int32_t roadScroll = 0;
    TrafficCar cars[kTrafficPool] = {};
    BonusItem timeBonus = {0, 0};
    BonusItem energyBonus = {0, 0};
};

extern RaceVariables RaceState;

void ResetRace();
void ApplyDifficulty(int32_t level);
void RaceTick();

// Traffic.
bool CarsOverlap(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void SpawnCar(int32_t index);
void UpdateTraffic();
// Push-apart steps taken by the traffic since the counter was last cleared.
extern int64_t TrafficPushSteps;

// Road, sprites and bonuses.
int32_t ViewOffset();
void DrawRoad();
void DrawCarSprite(int32_t kind, int32_t x, int32_t y, bool oncoming);
void DrawPlayerCar();
void UpdateTimeBonus();
void UpdateEnergyBonus();
void RespawnTimeBonus();
void RespawnEnergyBonus();
