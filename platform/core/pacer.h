// Frame pacing: 60 frames a second by a deadline, whatever the monitor's rate, without drift
// over a long race, and resynchronised after a stall instead of racing to catch up.
#pragma once

#include <cstdint>

namespace plat {

// Time as the pacer sees it, so that a test can drive it with a simulated clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t NowNs() = 0;
    // Returns at the given time or a little later, never much earlier.
    virtual void SleepUntilNs(int64_t when) = 0;
};

class Pacer {
public:
    static constexpr int64_t kFramesPerSecond = 60;
    // A frame that comes this many periods late (or early) starts the count afresh.
    static constexpr int64_t kStallPeriods = 4;

    explicit Pacer(Clock& clock) : clock_(clock) {}

    // Waits until the next frame's time has come. Frame n of a run is shown at
    // start + n / 60 s; a frame further off than a few periods starts the run afresh.
    void WaitForFrame();
    // Starts afresh from now (after a pause the game asked for, such as a Sleep).
    void Restart();

private:
    int64_t Deadline() const;

    Clock& clock_;
    bool started_ = false;
    int64_t start_ = 0;   // when frame 0 of this run was due
    int64_t frames_ = 0;  // frames due since then
};

}  // namespace plat
