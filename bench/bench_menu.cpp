// One main-menu frame plus the curtain step, on the in-process headless display.
#include "bench.h"

#include "../src/app/app.h"
#include "../src/assets/assets.h"
#include "../src/display/display.h"
#include "../src/frontend/frontend.h"

#include <benchmark/benchmark.h>

namespace {

void Setup() {
    static bool done = [] {
        bench::DisplayUp();
        BackImage =
            DisplayDevice.LoadGfxImage(DirectDrawObject, bench::GameFile("Back.gfx").c_str());
        return true;
    }();
    (void)done;
}

void BM_MainMenuFrameWithCurtain(benchmark::State& state) {
    Setup();
    const int32_t position = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        MainMenuFrame();
        DrawCurtain(position, 0, 0, 0);
    }
}
// The curtain closed (most lines), half open, and open (only a lock and an unlock).
BENCHMARK(BM_MainMenuFrameWithCurtain)->Arg(474)->Arg(240)->Arg(0);

}  // namespace
