#include "pacer.h"

namespace plat {

int64_t Pacer::Deadline() const {
    // Whole nanoseconds of each frame's due time, from the start of the run: no rounding
    // error piles up over a long race.
    return start_ + frames_ * 1000000000 / kFramesPerSecond;
}

void Pacer::WaitForFrame() {
    const int64_t now = clock_.NowNs();
    if (!started_) {
        Restart();
        return;
    }
    ++frames_;
    const int64_t period = 1000000000 / kFramesPerSecond;
    const int64_t deadline = Deadline();
    if (now > deadline + kStallPeriods * period || deadline > now + kStallPeriods * period) {
        Restart();
        return;
    }
    if (now < deadline) clock_.SleepUntilNs(deadline);
}

void Pacer::Restart() {
    started_ = true;
    start_ = clock_.NowNs();
    frames_ = 0;
}

}  // namespace plat
