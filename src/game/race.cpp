// The race's state and its per-frame tick: the player's car, the clock, the status panel
// and the engine sound.
#include "race.h"

#include "../assets/assets.h"
#include "../audio/sound.h"
#include "../display/display.h"
#include "arith.h"
#include "random.h"

#include <cstdio>

RaceVariables RaceState;

namespace {

void ShadowedMessage(int32_t x, int32_t y, const char* text) {
    DisplayDevice.DrawBlockText(x - 1, y - 1, text, 128, 0, 0);
    DisplayDevice.DrawBlockText(x, y, text, 255, 0, 0);
}

void PanelLine(int32_t y, const char* label, int32_t value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", static_cast<int>(value));
    DisplayDevice.DrawBlockText(500, y, label, 255, 0, 128);
    DisplayDevice.DrawBlockText(596, y, digits, 0, 128, 128);
}

bool OnSmoothBand(int32_t x) { return (x >= 170 && x <= 260) || (x >= 380 && x <= 530); }

bool KeyHeld(int key) { return GetAsyncKeyState(key) != 0; }

void Physics() {
    auto& s = RaceState;
    s.frameDivider += 1;
    if (s.frameDivider >= 5) {
        if (s.speed > 0) {
            if (OnSmoothBand(s.playerX)) {
                s.speed -= 1;
            } else {
                // Rough ground: the car shakes and brakes hard.
                AddTo(s.playerX, s.speed / 63 - RandomBelow(s.speed / 33 + 1));
                s.speed -= s.speed / 20;
            }
        }
        if (s.countdown <= 0) AddTo(s.timeLeft, -1);
        s.frameDivider = 0;
    }
    if (s.energy > 0) {
        bool left = KeyHeld(VK_LEFT);
        if (left && s.playerX < 640) {
            if (s.speed > 0) {
                AddTo(s.playerX, -(s.speed / 60));
            } else {
                AddTo(s.playerX, s.speed / 80);
            }
            if (s.speed > s.maxSpeed - 50) s.speed -= 1;
        }
        bool right = KeyHeld(VK_RIGHT);
        if (right && s.playerX > 0) {
            if (s.speed > 0) {
                AddTo(s.playerX, s.speed / 60);
            } else {
                AddTo(s.playerX, -(s.speed / 80));
            }
            if (s.speed > s.maxSpeed - 50) s.speed -= 1;
        }
        if (KeyHeld(VK_DOWN) && s.speed > -20) s.speed -= 1;
        if (KeyHeld(VK_UP) && s.speed < s.maxSpeed) {
            if (RandomBelow(5) != 0) s.speed += 1;
        }
        if (KeyHeld(VK_SPACE) && s.speed > 0) s.speed -= 2;
        if (s.speed > 60) {
            int32_t d = 1001 - s.energy;
            AddTo(s.playerX, (RandomBelow(d) - d / 2) / 200);
        }
        s.maxSpeed = 230 - (1001 - s.energy) / 10;
    } else {
        if (s.speed > 0 && RandomBelow(150) != 0) s.speed -= 1;
        if (s.speed < 0 && RandomBelow(70) != 0) s.speed += 1;
    }
    if (s.playerX < 22) s.playerX = 22;
    if (s.playerX > 638) s.playerX = 638;
}

// The engine's pitch for a speed, handed on as the 32-bit value the formula gives (a negative
// one becomes a frequency far out of range, which the sound buffer refuses).
DWORD EngineFrequency(int32_t speed, int32_t base) {
    return static_cast<DWORD>(Saturate(static_cast<int64_t>(speed) * 50 + base));
}

}  // namespace

void ResetRace() {
    auto& s = RaceState;
    for (int32_t i = 0; i < kTrafficPool; ++i) SpawnCar(i);
    RespawnTimeBonus();
    RespawnEnergyBonus();
    s.playerX = 402;
    s.playerY = 400;
    s.speed = 100;
    s.energy = 1000;
    s.points = 0;
    s.pendingPoints = 0;
    s.timeLeft = 100;
    s.countdown = 250;
}

void ApplyDifficulty(int32_t level) {
    static const struct {
        int32_t timeLeft;
        int32_t damageDivisor;
    } Levels[4] = {{250, 12000}, {200, 10000}, {150, 8000}, {75, 6000}};
    if (level < 1 || level > 4) return;
    RaceState.timeLeft = Levels[level - 1].timeLeft;
    RaceState.damageDivisor = Levels[level - 1].damageDivisor;
}

void RaceTick() {
    auto& s = RaceState;
    if (!s.quitConfirm) Physics();

    DisplayDevice.ClearSurface(BackSurface);
    RECT panel{0, 0, 160, 480};
    DisplayDevice.BlitToBack(480, 0, StatusImage, &panel, DDBLTFAST_NOCOLORKEY);
    DrawRoad();

    if (s.countdown > 0) {
        DisplayDevice.LockSurface(BackSurface, &LockDesc);
        ShadowedMessage(216, 190, "ARE YOU READY ?");
        char number[16];
        std::snprintf(number, sizeof number, "%d", static_cast<int>(s.countdown / 40 + 1));
        ShadowedMessage(262, 200, number);
        DisplayDevice.UnlockSurface(BackSurface);
        s.countdown -= 1;
    } else {
        UpdateTimeBonus();
        UpdateEnergyBonus();
        UpdateTraffic();
    }

    DrawPlayerCar();

    if (s.pendingPoints > 0) {
        AddTo(s.points, 1);
        s.pendingPoints -= 1;
    }

    DisplayDevice.LockSurface(BackSurface, &LockDesc);
    DisplayDevice.DrawRect(3, 3, 476, 476, 96, 96, 96);
    DisplayDevice.DrawRect(2, 2, 477, 477, 64, 64, 64);
    DisplayDevice.DrawRect(1, 1, 478, 478, 32, 32, 32);
    DisplayDevice.DrawRect(0, 0, 479, 479, 16, 16, 16);
    if (s.quitConfirm) ShadowedMessage(200, 180, "ARE YOU SURE - Y/N");

    PanelLine(200, "YOUR SPEED", s.speed >= 10 ? s.speed - 1 + RandomBelow(2) : 0);
    PanelLine(210, "YOUR ENERGY", s.energy > 0 ? s.energy / 10 : 0);
    PanelLine(220, "YOUR POINTS", s.points);
    if (s.timeLeft > 0 && s.timeLeft < 50) {
        ShadowedMessage(210, 460, "HURRY UP !");
    } else if (s.timeLeft <= 0) {
        ShadowedMessage(210, 460, "TIME OUT !");
    }
    PanelLine(230, "TIME LEFT", s.timeLeft > 0 ? s.timeLeft : 0);

    DisplayDevice.UnlockSurface(BackSurface);
    DisplayDevice.Flip();

    SetSoundFrequency(EngineSound3, EngineFrequency(s.speed, 32000));
    SetSoundFrequency(EngineSound1, EngineFrequency(s.speed, 22000));
    SoundDevice.Play(EngineSound1);
    SoundDevice.Play(EngineSound2);
    SoundDevice.Play(EngineSound3);
}
