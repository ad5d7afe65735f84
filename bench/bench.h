// What every benchmark stands on: the game's window and display brought up in process over
// the quiet backend, and the game's data files.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../platform/headless/quiet.h"

#ifndef ASPHALTIX_GAME_DIR
#error "ASPHALTIX_GAME_DIR must name the game's data folder"
#endif

namespace bench {

inline bool DisplayUp() {
    static headless::QuietBackend backend;
    return headless::BringUpDisplay(backend);
}

inline std::string GameFile(const char* name) {
    return std::string(ASPHALTIX_GAME_DIR) + "/" + name;
}

// The physical limit of a frame, measured beside every figure: the memory traffic of clearing
// the 640 x 480 back buffer and copying the 480 x 480 road view and the 160 x 480 panel into it,
// with the surfaces' own row lengths.
inline void FrameMemoryBaseline(benchmark::State& state) {
    constexpr size_t kBackPitch = 1344, kRoadPitch = 1320, kPanelPitch = 320;
    std::vector<uint8_t> back(kBackPitch * 480), road(kRoadPitch * 480, 1),
        panel(kPanelPitch * 480, 2);
    for (auto _ : state) {
        for (size_t y = 0; y < 480; ++y) std::memset(&back[y * kBackPitch], 0, 1280);
        for (size_t y = 0; y < 480; ++y)
            std::memcpy(&back[y * kBackPitch], &road[y * kRoadPitch + 360], 960);
        for (size_t y = 0; y < 480; ++y)
            std::memcpy(&back[y * kBackPitch + 960], &panel[y * kPanelPitch], 320);
        benchmark::DoNotOptimize(back.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(FrameMemoryBaseline)->Unit(benchmark::kMicrosecond);

}  // namespace bench
