// A random driver for long unattended races (the soak test and tools/longrun): it holds
// and releases the race's keys through the platform, as a player's keyboard would.
#pragma once

#include "../platform/core/platform.h"
#include "../src/game/race.h"

#include <cstdint>

namespace race_driver {

// The driver's own numbers, apart from the race's generator.
struct Dice {
    uint64_t state;
    uint32_t Below(uint32_t n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33) % n;
    }
};

// A random driver: mostly on the accelerator, now and then braking or backing up, steering
// with some jitter towards a lane it picks anew every few seconds (oncoming lanes too).
class Driver {
public:
    explicit Driver(uint64_t seed) : dice_{seed} {}

    void Frame() {
        static const int32_t lanes[6] = {132, 187, 242, 402, 457, 512};
        if (dice_.Below(150) == 0) {
            // One time in four a lane of the oncoming traffic.
            int32_t lane = dice_.Below(4) == 0 ? dice_.Below(3) : 3 + dice_.Below(3);
            target_ = lanes[lane] + static_cast<int32_t>(dice_.Below(41)) - 20;
        }
        const int32_t dx = target_ - RaceState.playerX;
        Set(Up, held_[Up] ? dice_.Below(80) != 0 : dice_.Below(6) == 0);
        Set(Space, held_[Space] ? dice_.Below(6) != 0 : dice_.Below(400) == 0);
        Set(Down, held_[Down] ? dice_.Below(8) != 0 : dice_.Below(1000) == 0);
        Set(Left, dx < -4 ? dice_.Below(4) != 0 : dice_.Below(40) == 0);
        Set(Right, dx > 4 ? dice_.Below(4) != 0 : dice_.Below(40) == 0);
    }
    uint32_t Below(uint32_t n) { return dice_.Below(n); }

private:
    enum Key { Up, Left, Right, Down, Space };
    void Set(Key key, bool down) {
        static const int codes[5] = {VK_UP, VK_LEFT, VK_RIGHT, VK_DOWN, VK_SPACE};
        if (held_[key] == down) return;
        held_[key] = down;
        if (down) {
            plat::KeyDown(codes[key], false, false);
        } else {
            plat::KeyUp(codes[key], false);
        }
    }

    Dice dice_;
    int32_t target_ = 402;
    bool held_[5] = {};
};

}  // namespace race_driver
