// The cost of the software mixer: one second of output (48000 frames, in the 512-frame
// periods the audio thread asks for) with six buffers sounding at once at different pitches,
// the way a race sounds: three engine copies, the crash, the bonus and the menu click.
// The `core_percent` counter is the share of one processor core that mixing in real time takes.
#include "../platform/core/mixer.h"
#include "bench.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <iterator>
#include <vector>

namespace {

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Sound {
    WORD channels;
    DWORD rate;
    DWORD pitch;  // the frequency set before playing; 0 keeps the file's rate
};

// 16-bit mono like the game's files, pitched as the race and the menu pitch them.
constexpr Sound kSounds[] = {
    {1, 22050, 22000 + 120 * 50},  // engine 1 at a speed of 120
    {1, 22050, 0},                 // engine 2 at its own rate
    {1, 22050, 32000 + 120 * 50},  // engine 3
    {1, 22050, 22000},             // crash
    {1, 44100, 0},                 // bonus
    {1, 44100, 44000},             // menu click
};

IDirectSoundBuffer* MakeBuffer(IDirectSound* ds, const Sound& s, int index) {
    WAVEFORMATEX format;
    std::memset(&format, 0, sizeof format);
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = s.channels;
    format.nSamplesPerSec = s.rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(s.channels * 2);
    format.nAvgBytesPerSec = s.rate * format.nBlockAlign;
    DSBUFFERDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
    desc.dwBufferBytes = s.rate * format.nBlockAlign;  // one second
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* buffer = nullptr;
    if (ds->CreateSoundBuffer(&desc, &buffer, nullptr) != DS_OK) return nullptr;
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0;
    DWORD n2 = 0;
    if (buffer->Lock(0, desc.dwBufferBytes, &p1, &n1, &p2, &n2, 0) != DS_OK) return nullptr;
    auto* samples = static_cast<int16_t*>(p1);
    for (DWORD i = 0; i < n1 / 2; ++i) {
        samples[i] = static_cast<int16_t>(6000 * std::sin(0.01 * (index + 1) * i));
    }
    buffer->Unlock(p1, n1, p2, n2);
    if (s.pitch != 0) buffer->SetFrequency(s.pitch);
    return buffer;
}

void BM_MixOneSecondOfSixBuffers(benchmark::State& state) {
    IDirectSound* ds = nullptr;
    if (!bench::DisplayUp() || DirectSoundCreate(nullptr, &ds, nullptr) != DS_OK ||
        ds->SetCooperativeLevel(MainWindow, DSSCL_NORMAL) != DS_OK) {
        state.SkipWithError("no DirectSound");
        return;
    }
    plat::TheMixer().StopAll();
    std::vector<IDirectSoundBuffer*> buffers;
    for (size_t i = 0; i < std::size(kSounds); ++i) {
        IDirectSoundBuffer* b = MakeBuffer(ds, kSounds[i], static_cast<int>(i));
        if (b == nullptr) {
            state.SkipWithError("cannot make a buffer");
            return;
        }
        buffers.push_back(b);
    }
    constexpr int kPeriod = 512;
    std::vector<int16_t> out(2 * kPeriod);
    double cpu = 0;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        for (auto* b : buffers) b->Play(0, 0, DSBPLAY_LOOPING);
        for (int done = 0; done < plat::Mixer::kOutputRate; done += kPeriod) {
            int frames = std::min(kPeriod, plat::Mixer::kOutputRate - done);
            plat::TheMixer().Render(out.data(), frames);
            benchmark::DoNotOptimize(out.data());
        }
        benchmark::ClobberMemory();
        cpu += ThreadSeconds() - start;
    }
    // Processor seconds of mixing per second of sound, in percent of one core.
    if (state.iterations() > 0) {
        state.counters["core_percent"] = 100.0 * cpu / static_cast<double>(state.iterations());
    }
    for (auto* b : buffers) {
        b->Stop();
        b->Release();
    }
    ds->Release();
}
BENCHMARK(BM_MixOneSecondOfSixBuffers)->Unit(benchmark::kMillisecond);

}  // namespace
