// The scrolling road, the car sprites and the two bonus items.
#include "race.h"

#include "../assets/assets.h"
#include "../audio/sound.h"
#include "../display/display.h"
#include "arith.h"
#include "random.h"

namespace {

constexpr int32_t kRoadRows = 480;
constexpr int32_t kViewWidth = 480;
constexpr int32_t kBonusRoadX = 370;
constexpr COLORREF kMagenta = RGB(255, 0, 255);

struct BonusKind {
    int32_t respawnY;
    int32_t outer[3];
    int32_t inner[3];
};
constexpr BonusKind kTimeBonusKind{-1000, {255, 255, 255}, {255, 0, 255}};
constexpr BonusKind kEnergyBonusKind{-5000, {255, 255, 0}, {255, 255, 255}};

void Respawn(BonusItem& item, const BonusKind& kind) {
    item.y = kind.respawnY;
    item.xOffset = RandomBelow(150);
}

// Moves a bonus item with the road; true when the player's car is over it.
bool MoveAndCollect(BonusItem& item) {
    auto& s = RaceState;
    if (!s.quitConfirm) AddTo(item.y, s.speed / 15);
    int64_t roadX = int64_t{item.xOffset} + kBonusRoadX;
    return int64_t{s.playerX} - 20 < roadX && roadX < int64_t{s.playerX} + 20 &&
           int64_t{s.playerY} - 30 < item.y && item.y < int64_t{s.playerY} + 40;
}

void DrawBonus(const BonusItem& item, const BonusKind& kind) {
    int32_t x = Saturate(int64_t{item.xOffset} + kBonusRoadX - ViewOffset());
    DisplayDevice.LockSurface(BackSurface, &LockDesc);
    DisplayDevice.FillCircle(x, item.y, 5, kind.outer[0], kind.outer[1], kind.outer[2]);
    DisplayDevice.FillCircle(x, item.y, 3, kind.inner[0], kind.inner[1], kind.inner[2]);
    DisplayDevice.UnlockSurface(BackSurface);
}

}  // namespace

int32_t ViewOffset() {
    int32_t offset = RaceState.playerX < 240 ? 0 : RaceState.playerX - 240;
    return offset > 180 ? 180 : offset;
}

void DrawRoad() {
    auto& s = RaceState;
    if (!s.quitConfirm) AddTo(s.roadScroll, s.speed / 15);
    if (s.roadScroll >= kRoadRows) {
        s.roadScroll = 0;
        if (RandomBelow(40) == 1 && s.activeCars < kMaxActiveCars) s.activeCars += 1;
    }
    if (s.roadScroll < 0) s.roadScroll = kRoadRows;
    int32_t offset = ViewOffset();
    RECT lower{offset, kRoadRows - s.roadScroll, offset + kViewWidth, kRoadRows};
    DisplayDevice.BlitToBack(0, 0, RoadImage, &lower, DDBLTFAST_NOCOLORKEY);
    RECT upper{offset, 0, offset + kViewWidth, kRoadRows - s.roadScroll};
    DisplayDevice.BlitToBack(0, s.roadScroll, RoadImage, &upper, DDBLTFAST_NOCOLORKEY);
}

void DrawCarSprite(int32_t kind, int32_t x, int32_t y, bool oncoming) {
    if (!(x > -30 && x < 480 && y > -70 && y < 480)) return;
    if (kind < 1 || kind > 9) return;
    RECT source;
    source.left = 31 * (kind - 1);
    source.right = 31 * kind - 1;
    source.top = oncoming ? 71 : 0;
    source.bottom = source.top + 70;
    if (y < 36) {
        source.top += 35 - y;
        y = 36;
    }
    if (y > 444) source.bottom -= y - 445;
    if (x < 16) {
        source.left += 15 - x;
        x = 16;
    }
    if (x > 464) source.right -= x - 465;
    SetColourKey(CarsImage, kMagenta);
    DisplayDevice.BlitToBack(x - 15, y - 35, CarsImage, &source, DDBLTFAST_SRCCOLORKEY);
}

void DrawPlayerCar() {
    DrawCarSprite(2, RaceState.playerX - ViewOffset(), RaceState.playerY, false);
}

void RespawnTimeBonus() { Respawn(RaceState.timeBonus, kTimeBonusKind); }

void RespawnEnergyBonus() { Respawn(RaceState.energyBonus, kEnergyBonusKind); }

void UpdateTimeBonus() {
    auto& s = RaceState;
    if (s.timeLeft <= 0) return;
    if (MoveAndCollect(s.timeBonus)) {
        AddTo(s.timeLeft, 50);
        AddTo(s.pendingPoints, 50);
        RespawnTimeBonus();
        SoundDevice.Play(BonusSound);
    }
    DrawBonus(s.timeBonus, kTimeBonusKind);
    if (s.timeBonus.y > 480) RespawnTimeBonus();
}

void UpdateEnergyBonus() {
    auto& s = RaceState;
    if (MoveAndCollect(s.energyBonus)) {
        AddTo(s.energy, 100);
        if (s.energy > 1000) s.energy = 1000;
        RespawnEnergyBonus();
        SoundDevice.Play(BonusSound);
    }
    DrawBonus(s.energyBonus, kEnergyBonusKind);
    if (s.energyBonus.y > 480) RespawnEnergyBonus();
}
