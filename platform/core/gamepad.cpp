#include "gamepad.h"

#include <windows.h>

namespace plat {
namespace {

bool IsDirection(PadInput input) { return input <= PadInput::kStickRight; }

}  // namespace

int GamepadKeys::KeyOf(PadInput input) {
    switch (input) {
        case PadInput::kDpadUp:
        case PadInput::kStickUp:
        case PadInput::kRightTrigger: return VK_UP;
        case PadInput::kDpadDown:
        case PadInput::kStickDown:
        case PadInput::kLeftTrigger: return VK_DOWN;
        case PadInput::kDpadLeft:
        case PadInput::kStickLeft: return VK_LEFT;
        case PadInput::kDpadRight:
        case PadInput::kStickRight: return VK_RIGHT;
        case PadInput::kA: return VK_SPACE;
        case PadInput::kB: return VK_ESCAPE;
        case PadInput::kX: return 'N';
        case PadInput::kY: return 'Y';
        case PadInput::kStart: return VK_RETURN;
        case PadInput::kCount: break;
    }
    return 0;
}

void GamepadKeys::Set(int pad, PadInput input, bool held, int64_t nowMs) {
    if (input >= PadInput::kCount) return;
    Held& state = pads_[pad];
    bool& was = state[static_cast<size_t>(input)];
    if (was == held) return;
    was = held;
    const int vk = KeyOf(input);
    Key& key = keys_[vk];
    const int step = held ? 1 : -1;
    key.holders += step;
    if (IsDirection(input)) {
        key.directions += step;
        if (held && key.directions == 1) key.nextRepeat = nowMs + kRepeatDelayMs;
    }
    if (held && key.holders == 1) sink_(vk, true, false);
    if (!held && key.holders == 0) sink_(vk, false, false);
}

void GamepadKeys::Stick(int pad, bool vertical, int value, int64_t nowMs) {
    const PadInput low = vertical ? PadInput::kStickUp : PadInput::kStickLeft;
    const PadInput high = vertical ? PadInput::kStickDown : PadInput::kStickRight;
    const Held& state = pads_[pad];
    // Past kPressAt it counts as pressed; it stays so until it comes back within kReleaseAt.
    const bool lowHeld = state[static_cast<size_t>(low)] ? value < -kReleaseAt : value < -kPressAt;
    const bool highHeld = state[static_cast<size_t>(high)] ? value > kReleaseAt : value > kPressAt;
    Set(pad, low, lowHeld, nowMs);
    Set(pad, high, highHeld, nowMs);
}

void GamepadKeys::Trigger(int pad, bool right, int value, int64_t nowMs) {
    const PadInput input = right ? PadInput::kRightTrigger : PadInput::kLeftTrigger;
    const bool was = pads_[pad][static_cast<size_t>(input)];
    Set(pad, input, was ? value > kReleaseAt : value > kPressAt, nowMs);
}

void GamepadKeys::Remove(int pad, int64_t nowMs) {
    auto it = pads_.find(pad);
    if (it == pads_.end()) return;
    for (size_t i = 0; i < it->second.size(); ++i) {
        Set(pad, static_cast<PadInput>(i), false, nowMs);
    }
    pads_.erase(pad);
}

void GamepadKeys::Tick(int64_t nowMs) {
    for (auto& [vk, key] : keys_) {
        if (key.directions <= 0) continue;
        while (nowMs >= key.nextRepeat) {
            sink_(vk, true, true);
            key.nextRepeat += kRepeatIntervalMs;
            // After a long gap (a stall), one repeat rather than a burst.
            if (nowMs - key.nextRepeat > kRepeatIntervalMs)
                key.nextRepeat = nowMs + kRepeatIntervalMs;
        }
    }
}

}  // namespace plat
