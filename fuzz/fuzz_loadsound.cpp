// libFuzzer target for the .snd loader: each input is written to a file and loaded into a
// sound slot with SoundDevice::LoadSound; a buffer that comes out of it is then used the way
// the game uses its effects: re-pitched, played, mixed for a few periods, re-pitched while it
// sounds, and stopped.
//
// The window and the sound device are brought up once, over a backend that does nothing.
#include "../platform/core/mixer.h"
#include "../platform/headless/quiet.h"
#include "../src/audio/sound.h"
#include "input_file.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool BringUp() {
    static headless::QuietBackend backend;
    plat::Install(&backend);
    if (!CreateMainWindow(nullptr, SW_SHOWDEFAULT)) return false;
    return SoundDevice.Init();
}

// Data chunks of more than 4 MiB are skipped: buffers of any size up to the largest one
// DirectSound allows are made by the same code, and each large one would cost a long run.
// Any "data" followed by a large size counts, wherever it stands.
constexpr uint32_t kLargestData = 4u << 20;

bool ClaimsTooMuch(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 8 <= size; ++i) {
        if (std::memcmp(data + i, "data", 4) != 0) continue;
        uint32_t claimed =
            static_cast<uint32_t>(data[i + 4]) | (static_cast<uint32_t>(data[i + 5]) << 8) |
            (static_cast<uint32_t>(data[i + 6]) << 16) | (static_cast<uint32_t>(data[i + 7]) << 24);
        if (claimed > kLargestData) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool up = BringUp();
    if (!up) std::abort();
    static const std::string& path = fuzz::InputPath("fuzz_loadsound", ".snd");
    if (ClaimsTooMuch(data, size)) return 0;

    fuzz::WriteInput(path, data, size);

    constexpr int32_t kSlot = kCrashSlot;
    SoundDevice.LoadSound(kSlot, path.c_str());
    LPDIRECTSOUNDBUFFER buffer = SoundBuffers[kSlot];
    if (buffer == nullptr) return 0;

    // A pitch taken from the input, within and around the range DirectSound accepts.
    uint32_t seed = size >= 4 ? (static_cast<uint32_t>(data[size - 1]) << 8 | data[size - 2]) : 0;
    DWORD pitch = 50 + seed * 2;  // 50 .. 131120 Hz
    static int16_t out[2 * 1024];
    SetSoundFrequency(buffer, pitch);
    SoundDevice.Play(buffer);
    for (int period = 0; period < 4; ++period) plat::TheMixer().Render(out, 512);
    SetSoundFrequency(buffer, 100000);
    SoundDevice.Play(buffer);
    plat::TheMixer().Render(out, 800);
    SoundDevice.Stop(buffer);
    plat::TheMixer().Render(out, 64);

    buffer->Release();
    SoundBuffers[kSlot] = nullptr;
    return 0;
}
