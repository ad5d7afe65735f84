// DirectSound as the game uses it: the device, a static buffer of plain PCM with the game's
// controls, its frequency, playing it once to its end, and stopping it.
#include "conformance.h"

namespace conformance {
namespace {

constexpr DWORD kRate = 11025;
constexpr DWORD kBytes = 1103;  // a tenth of a second of 8-bit mono, an odd size

// The device at the game's cooperative level, and a buffer of mono PCM at kRate made on it.
class Sound : public ::testing::Test {
protected:
    void MakeBuffer(WORD bits, DWORD flags, DWORD bytes) {
        ASSERT_HR(DirectSoundCreate(nullptr, &sound, nullptr), DS_OK);
        ASSERT_NE(sound, nullptr);
        ASSERT_HR(sound->SetCooperativeLevel(Window(), DSSCL_NORMAL), DS_OK);
        const WORD blockAlign = static_cast<WORD>(bits / 8);
        WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, kRate, kRate * blockAlign, blockAlign, bits, 0};
        auto desc = Sized<DSBUFFERDESC>();
        desc.dwFlags = flags;
        desc.dwBufferBytes = bytes;
        desc.lpwfxFormat = &format;
        ASSERT_HR(sound->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
        ASSERT_NE(buffer, nullptr);
    }

    // The buffer's status: 0 when it stands, DSBSTATUS_PLAYING while it plays.
    DWORD Status() {
        DWORD status = 0xFFFF;
        EXPECT_HR(buffer->GetStatus(&status), DS_OK);
        return status;
    }

    void TearDown() override {
        if (buffer != nullptr) buffer->Release();
        if (sound != nullptr) sound->Release();
    }

    IDirectSound* sound = nullptr;
    IDirectSoundBuffer* buffer = nullptr;
};

TEST_F(Sound, ABufferPlaysOnceToItsEndAndStops) {
    MakeBuffer(8, DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME, kBytes);
    if (HasFatalFailure()) return;

    // The whole buffer in one piece.
    void *first = nullptr, *second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    ASSERT_HR(buffer->Lock(0, kBytes, &first, &firstBytes, &second, &secondBytes, 0), DS_OK);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::tuple(firstBytes, second, secondBytes),
              (std::tuple<DWORD, void*, DWORD>(kBytes, nullptr, 0)));
    auto* samples = static_cast<uint8_t*>(first);
    for (DWORD i = 0; i < firstBytes; ++i) samples[i] = static_cast<uint8_t>(i % 2 ? 0xA0 : 0x60);
    EXPECT_HR(buffer->Unlock(first, firstBytes, second, secondBytes), DS_OK);

    EXPECT_EQ(Status(), 0u);

    // The game's pitches, and ones out of range (a negative one seen as a DWORD).
    for (DWORD frequency : {22000, 44000}) EXPECT_HR(buffer->SetFrequency(frequency), DS_OK);
    for (DWORD frequency : std::initializer_list<DWORD>{
             DSBFREQUENCY_MAX + 1, static_cast<DWORD>(-5000), DSBFREQUENCY_MIN - 1})
        EXPECT_HR(buffer->SetFrequency(frequency), DSERR_INVALIDPARAM) << frequency;

    // Played once, it sounds until its last sample has been played, then reports stopped.
    ASSERT_HR(buffer->Play(0, 0, 0), DS_OK);
    DWORD status = Status();
    EXPECT_EQ(status, static_cast<DWORD>(DSBSTATUS_PLAYING));
    int waited = 0;
    while (status != 0 && waited < 3000) {
        Sleep(10);
        waited += 10;
        ASSERT_HR(buffer->GetStatus(&status), DS_OK);
    }
    EXPECT_EQ(status, 0u) << "still playing after " << waited << " ms";
    // Stopping a buffer that stands is no error.
    EXPECT_HR(buffer->Stop(), DS_OK);

    // Played again it starts over; stopped, it stands.
    ASSERT_HR(buffer->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Status(), static_cast<DWORD>(DSBSTATUS_PLAYING));
    EXPECT_HR(buffer->Stop(), DS_OK);
    EXPECT_EQ(Status(), 0u);
}

TEST_F(Sound, ABufferWithoutFrequencyControlRefusesAFrequency) {
    MakeBuffer(16, DSBCAPS_CTRLVOLUME, 2000);
    if (HasFatalFailure()) return;
    EXPECT_HR(buffer->SetFrequency(22000), DSERR_CONTROLUNAVAIL);
}

}  // namespace
}  // namespace conformance
