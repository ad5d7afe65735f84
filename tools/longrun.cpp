// longrun FRAMES: drives the race for FRAMES frames with randomly held keys, in process,
// on a quiet backend without pictures, and prints what the race came to: the most
// push-apart steps in one frame, the fastest player and traffic car, the lowest energy,
// the most points and the number of collisions with the player. Exits with 1 when some
// value ran into trouble (a push-apart beyond its bound, a value near the ends of the
// 32-bit range, a speed pumped up to 1000 or more, a counter outside its range, a race that
// scored nothing).
#include "race_driver.h"
#include "../platform/core/mixer.h"
#include "../platform/headless/quiet.h"
#include "../src/app/app.h"
#include "../src/audio/sound.h"
#include "../src/display/display.h"
#include "../src/game/race.h"
#include "../src/game/random.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

// The quiet backend, counting the crash sound's starts and the message boxes.
class CountingBackend final : public headless::QuietBackend {
public:
    void ShowMessageBox(const char* title, const char* text, UINT) override {
        std::fprintf(stderr, "longrun: message box %s: %s\n", title, text);
        ++messageBoxes;
    }
    void SoundEvent(int buffer, const char* what, DWORD value) override {
        if (buffer == crashIndex && std::strcmp(what, "freq") == 0 && value == 22000) ++crashes;
    }

    int crashIndex = -1;
    int64_t crashes = 0;
    int messageBoxes = 0;
};

using race_driver::Driver;

void DropMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
}

// A silent buffer in the crash sound's slot: the race sets its frequency at every
// collision with the player, which the backend counts.
bool InstallCrashBuffer(CountingBackend& backend) {
    if (!SoundDevice.Init()) return false;
    WAVEFORMATEX format;
    std::memset(&format, 0, sizeof format);
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 22050;
    format.wBitsPerSample = 8;
    format.nBlockAlign = 1;
    format.nAvgBytesPerSec = 22050;
    DSBUFFERDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_CTRLFREQUENCY;
    desc.dwBufferBytes = 2205;
    desc.lpwfxFormat = &format;
    LPDIRECTSOUNDBUFFER buffer = nullptr;
    if (DirectSoundObject->CreateSoundBuffer(&desc, &buffer, nullptr) != DS_OK ||
        buffer == nullptr) {
        return false;
    }
    CrashSound = buffer;
    backend.crashIndex = plat::SoundBufferIndex(buffer);
    return backend.crashIndex >= 0;
}

constexpr int64_t MaxPushStepsPerFrame = 15 * (14 * 35 + 14 * 35 + 69);
constexpr int64_t Far = int64_t{1} << 28;
constexpr int64_t Fastest = 1000;  // no speed of the race comes near it
constexpr long long FullTrafficFrom = 20000;

}  // namespace

int main(int argc, char** argv) {
    char* end = nullptr;
    long long frames = argc == 2 ? std::strtoll(argv[1], &end, 10) : -1;
    if (argc != 2 || end == argv[1] || *end != '\0' || frames < 0) {
        std::fprintf(stderr, "usage: longrun FRAMES\n");
        return 2;
    }

    static CountingBackend backend;
    if (!headless::BringUpDisplay(backend)) {
        std::fprintf(stderr, "longrun: the display did not come up\n");
        return 1;
    }
    const bool counting = InstallCrashBuffer(backend);

    ResetRace();
    ApplyDifficulty(2);
    RaceState.quitConfirm = false;

    Driver driver(20240601);

    int64_t maxPushSteps = 0;
    int64_t maxPushFrame = -1;
    int64_t totalPushSteps = 0;
    int64_t maxPlayerSpeed = 0;
    int64_t maxCarSpeed = 0;
    int64_t maxPlayerMomentum = 0;  // |speed x mass|, the products of the damage rule
    int64_t maxCarMomentum = 0;
    int64_t minEnergy = RaceState.energy;
    int64_t maxPoints = 0;
    int64_t fullTrafficFrame = -1;
    int64_t energyDrops = 0;
    int64_t largest = 0;  // the largest magnitude of any race value seen
    std::string largestName = "-";
    int64_t anomalies = 0;
    auto anomaly = [&](long long frame, const std::string& what) {
        if (anomalies < 20) std::printf("anomaly at frame %lld: %s\n", frame, what.c_str());
        ++anomalies;
    };

    const auto started = std::chrono::steady_clock::now();
    for (long long frame = 0; frame < frames; ++frame) {
        driver.Frame();
        DropMessages();

        auto& s = RaceState;
        if (s.countdown <= 0) {
            if (!s.quitConfirm && driver.Below(2500) == 0) {
                s.quitConfirm = true;
            } else if (s.quitConfirm && driver.Below(40) == 0) {
                s.quitConfirm = false;
            }
        }
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
        if (frame == FullTrafficFrom && s.activeCars < kMaxActiveCars)
            s.activeCars = kMaxActiveCars;

        const int32_t energyBefore = s.energy;
        const int64_t pushBefore = TrafficPushSteps;
        RaceTick();
        const int64_t steps = TrafficPushSteps - pushBefore;
        totalPushSteps += steps;
        if (steps > maxPushSteps) {
            maxPushSteps = steps;
            maxPushFrame = frame;
        }
        if (steps < 0 || steps > MaxPushStepsPerFrame)
            anomaly(frame, "push steps " + std::to_string(steps));
        if (s.energy < energyBefore) ++energyDrops;

        auto look = [&](const char* name, int32_t value) {
            int64_t magnitude = value < 0 ? -int64_t{value} : int64_t{value};
            if (magnitude > largest) {
                largest = magnitude;
                largestName = name;
            }
            if (magnitude >= Far) anomaly(frame, std::string(name) + " = " + std::to_string(value));
        };
        look("playerX", s.playerX);
        look("speed", s.speed);
        look("maxSpeed", s.maxSpeed);
        look("energy", s.energy);
        look("timeLeft", s.timeLeft);
        look("points", s.points);
        look("pendingPoints", s.pendingPoints);
        look("timeBonus.y", s.timeBonus.y);
        look("energyBonus.y", s.energyBonus.y);
        for (int i = 0; i < kTrafficPool; ++i) {
            const TrafficCar& car = s.cars[i];
            look("car x", car.x);
            look("car y", car.y);
            look("car speed", car.speed);
            if (i < s.activeCars) {
                int64_t magnitude = car.speed < 0 ? -int64_t{car.speed} : car.speed;
                maxCarSpeed = std::max(maxCarSpeed, magnitude);
                maxCarMomentum = std::max(maxCarMomentum, magnitude * car.mass);
            }
            if (car.mass < 2000 || car.mass > 2999 || car.kind < 5 || car.kind > 9) {
                anomaly(frame, "car " + std::to_string(i) + " mass or kind");
            }
        }
        if (s.activeCars < 5 || s.activeCars > 15)
            anomaly(frame, "activeCars " + std::to_string(s.activeCars));
        if (s.roadScroll < 0 || s.roadScroll > 480)
            anomaly(frame, "roadScroll " + std::to_string(s.roadScroll));
        if (fullTrafficFrame < 0 && s.activeCars == 15) fullTrafficFrame = frame;
        maxPlayerSpeed =
            std::max<int64_t>(maxPlayerSpeed, s.speed < 0 ? -int64_t{s.speed} : s.speed);
        maxPlayerMomentum = std::max(maxPlayerMomentum, maxPlayerSpeed * s.playerMass);
        minEnergy = std::min<int64_t>(minEnergy, s.energy);
        maxPoints = std::max<int64_t>(maxPoints, s.points);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (backend.messageBoxes > 0) anomaly(frames, "message boxes shown");
    if (std::max(maxPlayerSpeed, maxCarSpeed) >= Fastest) anomaly(frames, "a speed pumped up");
    if (frames >= 10000 && maxPoints == 0) anomaly(frames, "the race scored nothing");

    std::printf("frames %lld in %.2f s\n", frames, seconds);
    std::printf("push-apart steps: most in one frame %" PRId64 " (frame %" PRId64 ", bound %" PRId64
                "), total %" PRId64 "\n",
                maxPushSteps, maxPushFrame, MaxPushStepsPerFrame, totalPushSteps);
    std::printf("largest |speed|: player %" PRId64 ", traffic %" PRId64 "\n", maxPlayerSpeed,
                maxCarSpeed);
    std::printf("largest |speed x mass|: player %" PRId64 ", traffic %" PRId64
                " (32-bit limit %d)\n",
                maxPlayerMomentum, maxCarMomentum, std::numeric_limits<int32_t>::max());
    std::printf("lowest energy %" PRId64 "\n", minEnergy);
    std::printf("most points %" PRId64 "\n", maxPoints);
    if (counting) {
        std::printf("collisions with the player %" PRId64 " (frames with energy lost %" PRId64
                    ")\n",
                    backend.crashes, energyDrops);
    } else {
        std::printf(
            "collisions with the player: not counted (no sound buffer); frames with energy lost "
            "%" PRId64 "\n",
            energyDrops);
    }
    std::printf("traffic at 15 cars from frame %" PRId64
                " (made 15 at frame %lld if the road had not grown it)\n",
                fullTrafficFrame, FullTrafficFrom);
    std::printf("largest magnitude of any race value %" PRId64
                " (%s), limit for an anomaly %" PRId64 "\n",
                largest, largestName.c_str(), Far);
    std::printf("anomalies %" PRId64 "\n", anomalies);
    return anomalies == 0 ? 0 : 1;
}
