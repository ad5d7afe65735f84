// Start-up to the first frame, less the fixed one-second pause: the display device and its
// colour tables, the four pictures and the six sounds, and the first main-menu frame with the
// curtain step.
#include <benchmark/benchmark.h>

#include "../src/app/app.h"
#include "../src/assets/assets.h"
#include "../src/audio/sound.h"
#include "../src/display/display.h"
#include "../src/frontend/frontend.h"
#include "bench.h"

namespace {

void ReleaseAssets() {
    for (GfxImage* image : {&RoadImage, &CarsImage, &BackImage, &StatusImage}) {
        if (*image != nullptr) (*image)->Release();
        *image = nullptr;
    }
    for (LPDIRECTSOUNDBUFFER& buffer : SoundBuffers) {
        if (buffer != nullptr) buffer->Release();
        buffer = nullptr;
    }
}

void BM_StartUpToFirstFrame(benchmark::State& state) {
    if (!bench::DisplayUp() || (DirectSoundObject == nullptr && !SoundDevice.Init())) {
        state.SkipWithError("no display or sound");
        return;
    }
    const std::string names[4] = {bench::GameFile("Strasse.gfx"), bench::GameFile("Autos.gfx"),
                                  bench::GameFile("Back.gfx"), bench::GameFile("Status.gfx")};
    const std::string sounds[6] = {bench::GameFile("Menu.snd"),   bench::GameFile("Engine.snd"),
                                   bench::GameFile("Engine.snd"), bench::GameFile("Engine.snd"),
                                   bench::GameFile("Crash1.snd"), bench::GameFile("Bonus.snd")};
    for (auto _ : state) {
        state.PauseTiming();
        ReleaseAssets();
        DisplayDevice.Release();
        CurtainPos = kCurtainStart;
        state.ResumeTiming();
        DisplayDevice.Init(MainWindow);
        DisplayDevice.BuildColourTables(BackSurface);
        RoadImage = DisplayDevice.LoadGfxImage(DirectDrawObject, names[0].c_str());
        CarsImage = DisplayDevice.LoadGfxImage(DirectDrawObject, names[1].c_str());
        BackImage = DisplayDevice.LoadGfxImage(DirectDrawObject, names[2].c_str());
        StatusImage = DisplayDevice.LoadGfxImage(DirectDrawObject, names[3].c_str());
        for (int32_t slot = kMenuSlot; slot <= kBonusSlot; ++slot)
            SoundDevice.LoadSound(slot, sounds[slot].c_str());
        MainMenuFrame();
        AdvanceCurtain();
    }
    ReleaseAssets();
}
BENCHMARK(BM_StartUpToFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
