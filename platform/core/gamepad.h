// Game controllers as the keys the game knows: the d-pad and the left stick give the arrow
// keys, the right trigger Up (accelerate) and the left trigger Down (brake and reverse), A
// Space, B Escape, Start Enter, Y the Y key and X the N key. A held direction repeats like a
// held key: after half a second, then 30 times a second. Shared by the backends; each feeds
// it what its controllers report.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>

namespace plat {

enum class PadInput {
    kDpadUp,
    kDpadDown,
    kDpadLeft,
    kDpadRight,
    kStickUp,
    kStickDown,
    kStickLeft,
    kStickRight,
    kRightTrigger,
    kLeftTrigger,
    kA,
    kB,
    kX,
    kY,
    kStart,
    kCount
};

class GamepadKeys {
public:
    static constexpr int64_t kRepeatDelayMs = 500;
    static constexpr int64_t kRepeatIntervalMs = 33;
    // How far a stick or trigger must go to count as pressed, and come back to count as
    // released, out of 32767.
    static constexpr int kPressAt = 16000;
    static constexpr int kReleaseAt = 12000;

    // Receives the key changes: down (repeat false), a repeat (repeat true), or up.
    using Sink = std::function<void(int vk, bool down, bool repeat)>;
    explicit GamepadKeys(Sink sink) : sink_(std::move(sink)) {}

    // A button or direction of controller `pad` is held or let go, at time `nowMs`.
    void Set(int pad, PadInput input, bool held, int64_t nowMs);
    // An axis moved: the left stick's x or y (`vertical`), from -32768 to 32767.
    void Stick(int pad, bool vertical, int value, int64_t nowMs);
    // A trigger moved, from 0 to 32767.
    void Trigger(int pad, bool right, int value, int64_t nowMs);
    // The controller went away: everything it held is let go.
    void Remove(int pad, int64_t nowMs);
    // Sends the repeats that are due.
    void Tick(int64_t nowMs);

    static int KeyOf(PadInput input);

private:
    struct Key {
        int holders = 0;     // inputs holding it, over all controllers
        int directions = 0;  // of those, held directions (they repeat)
        int64_t nextRepeat = 0;
    };
    using Held = std::array<bool, static_cast<size_t>(PadInput::kCount)>;

    Sink sink_;
    std::map<int, Held> pads_;
    std::map<int, Key> keys_;
};

}  // namespace plat
