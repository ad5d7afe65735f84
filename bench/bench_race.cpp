// One race frame on the headless display with the game's own pictures: the road, the
// bonuses, the traffic with its collision rules, the player's car, the frame and the panel.
#include "bench.h"

#include "../src/app/app.h"
#include "../src/assets/assets.h"
#include "../src/display/display.h"
#include "../src/game/race.h"
#include "../src/game/random.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// A race is run this many frames before it is started afresh, so that the measured frames
// stay those of a race in progress (a clock that has run out or a wrecked car change little).
constexpr int kFramesPerRace = 2000;

bool BringUpOnce() {
    static bool ready = [] {
        if (!bench::DisplayUp()) return false;
        RoadImage =
            DisplayDevice.LoadGfxImage(DirectDrawObject, bench::GameFile("Strasse.gfx").c_str());
        CarsImage =
            DisplayDevice.LoadGfxImage(DirectDrawObject, bench::GameFile("Autos.gfx").c_str());
        StatusImage =
            DisplayDevice.LoadGfxImage(DirectDrawObject, bench::GameFile("Status.gfx").c_str());
        return RoadImage != nullptr && CarsImage != nullptr && StatusImage != nullptr;
    }();
    return ready;
}

// A new race, past its countdown, with the accelerator held.
void StartRace(int cars) {
    RandomState = 1;
    RaceState = {};
    ResetRace();
    ApplyDifficulty(2);
    RaceState.countdown = 0;
    RaceState.activeCars = cars;
    ScreenState = 1;
    CurtainPos = 0;
    plat::KeyDown(VK_UP, false, false);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {}
}

void BM_RaceTick(benchmark::State& state) {
    if (!BringUpOnce()) {
        state.SkipWithError("the display or the game's pictures could not be brought up");
        return;
    }
    const int cars = static_cast<int>(state.range(0));
    StartRace(cars);
    int frames = 0;
    for (auto _ : state) {
        // The road's wraps add cars now and then; the figure is for a fixed number.
        RaceState.activeCars = cars;
        RaceTick();
        AdvanceCurtain();  // the main loop's step after every frame, the curtain long open
        if (++frames == kFramesPerRace) {
            state.PauseTiming();
            StartRace(cars);
            frames = 0;
            state.ResumeTiming();
        }
    }
    plat::ReleaseAllKeys();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RaceTick)->Arg(5)->Arg(15)->ArgName("activeCars")->Unit(benchmark::kMicrosecond);

}  // namespace
