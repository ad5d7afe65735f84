// Drawing costs on the in-process display: an empty frame, a line of block-font text, and
// loading each of the game's four pictures.
#include "bench.h"

#include "../src/display/display.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

namespace {

bool Up() { return bench::DisplayUp(); }

// The frame every screen starts from: clear, lock, unlock, flip.
void EmptyFrame(benchmark::State& state) {
    if (!Up()) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        DisplayDevice.ClearSurface(BackSurface);
        bool locked = DisplayDevice.LockSurface(BackSurface, &LockDesc);
        benchmark::DoNotOptimize(locked);
        DisplayDevice.UnlockSurface(BackSurface);
        DisplayDevice.Flip();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(EmptyFrame);

// One 35-character line of text, as the about box draws it, into the locked back buffer.
void BlockTextLine(benchmark::State& state) {
    if (!Up()) {
        state.SkipWithError("no display");
        return;
    }
    const char* line = "ASPHALTIX 1.0 - A GAME BY THE TEAM!";
    if (std::strlen(line) != 35) {
        state.SkipWithError("the line is not 35 characters long");
        return;
    }
    DisplayDevice.ClearSurface(BackSurface);
    if (!DisplayDevice.LockSurface(BackSurface, &LockDesc)) {
        state.SkipWithError("cannot lock the back buffer");
        return;
    }
    for (auto _ : state) {
        DisplayDevice.DrawBlockText(20, 200, line, 255, 255, 255);
        benchmark::ClobberMemory();
    }
    DisplayDevice.UnlockSurface(BackSurface);
    state.SetItemsProcessed(state.iterations() * 35);
}
BENCHMARK(BlockTextLine);

// Loading one of the game's pictures from its data folder onto a new surface.
void LoadPicture(benchmark::State& state, const std::string& name) {
    if (!Up()) {
        state.SkipWithError("no display");
        return;
    }
    const std::string path = bench::GameFile(name.c_str());
    int64_t pixels = 0;
    for (auto _ : state) {
        GfxImage image = DisplayDevice.LoadGfxImage(DirectDrawObject, path.c_str());
        if (image == nullptr) {
            state.SkipWithError(("cannot load " + path).c_str());
            break;
        }
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (image->GetSurfaceDesc(&desc) == DD_OK)
            pixels += static_cast<int64_t>(desc.dwWidth) * desc.dwHeight;
        image->Release();
    }
    state.SetItemsProcessed(pixels);
}
BENCHMARK_CAPTURE(LoadPicture, Strasse, std::string("Strasse.gfx"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadPicture, Autos, std::string("Autos.gfx"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadPicture, Back, std::string("Back.gfx"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadPicture, Status, std::string("Status.gfx"))->Unit(benchmark::kMillisecond);

}  // namespace
