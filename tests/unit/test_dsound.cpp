// DirectSound buffers and the mixer behind them: creation checks, locks, play, stop,
// status, frequency, and what comes out of the mix.
#include "../support/support.h"

#include "../../platform/core/mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace testing_support;

namespace {

WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits) {
    WAVEFORMATEX f;
    std::memset(&f, 0, sizeof f);
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

DSBUFFERDESC Desc(WAVEFORMATEX* format, DWORD bytes,
                  DWORD flags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME) {
    DSBUFFERDESC d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    d.dwFlags = flags;
    d.dwBufferBytes = bytes;
    d.lpwfxFormat = format;
    return d;
}

std::vector<int16_t> Render(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2, 0x5555);
    plat::TheMixer().Render(out.data(), frames);
    return out;
}

DWORD Status(IDirectSoundBuffer* b) {
    DWORD status = 0xDEAD;
    EXPECT_EQ(b->GetStatus(&status), DS_OK);
    return status;
}

class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        Backend().Reset();
        ASSERT_EQ(DirectSoundCreate(nullptr, &ds_, nullptr), DS_OK);
        ASSERT_NE(ds_, nullptr);
        ASSERT_EQ(Backend().mixer, &plat::TheMixer());
        ASSERT_EQ(ds_->SetCooperativeLevel(GameWindow(), DSSCL_NORMAL), DS_OK);
        plat::TheMixer().StopAll();
    }
    void TearDown() override {
        for (IDirectSoundBuffer* b : made_) b->Release();
        if (ds_ != nullptr) ds_->Release();
    }

    // A buffer holding the given 16-bit samples (interleaved when stereo).
    IDirectSoundBuffer* Make16(const std::vector<int16_t>& samples, WORD channels, DWORD rate,
                               DWORD flags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME) {
        WAVEFORMATEX f = Pcm(channels, rate, 16);
        DSBUFFERDESC d = Desc(&f, static_cast<DWORD>(samples.size() * 2), flags);
        return Fill(d, samples.data(), samples.size() * 2);
    }
    IDirectSoundBuffer* Make8(const std::vector<uint8_t>& samples, DWORD rate) {
        WAVEFORMATEX f = Pcm(1, rate, 8);
        DSBUFFERDESC d = Desc(&f, static_cast<DWORD>(samples.size()));
        return Fill(d, samples.data(), samples.size());
    }
    IDirectSoundBuffer* Fill(const DSBUFFERDESC& d, const void* bytes, size_t size) {
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
        if (b == nullptr) return nullptr;
        made_.push_back(b);
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0;
        DWORD n2 = 0;
        EXPECT_EQ(b->Lock(0, static_cast<DWORD>(size), &p1, &n1, &p2, &n2, 0), DS_OK);
        EXPECT_EQ(n1, size);
        EXPECT_EQ(p2, nullptr);
        std::memcpy(p1, bytes, size);
        EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
        return b;
    }

    IDirectSound* ds_ = nullptr;
    std::vector<IDirectSoundBuffer*> made_;
};

TEST_F(DirectSoundTest, CreateSoundBufferRefusesWhatItCannotPlay) {
    struct Case {
        const char* what;
        HRESULT expected;
        DSBUFFERDESC desc;
    };
    WAVEFORMATEX good = Pcm(1, 22050, 8);
    WAVEFORMATEX floatTag = good;
    floatTag.wFormatTag = 3;
    WAVEFORMATEX threeChannels = Pcm(3, 22050, 8);
    WAVEFORMATEX bits24 = Pcm(1, 22050, 24);
    WAVEFORMATEX badAlign = Pcm(2, 22050, 16);
    badAlign.nBlockAlign = 2;
    WAVEFORMATEX slow = Pcm(1, DSBFREQUENCY_MIN - 1, 8);
    WAVEFORMATEX fast = Pcm(1, DSBFREQUENCY_MAX + 1, 8);
    DSBUFFERDESC wrongSize = Desc(&good, 100);
    wrongSize.dwSize = 20;
    DSBUFFERDESC reserved = Desc(&good, 100);
    reserved.dwReserved = 1;
    const Case cases[] = {
        {"wrong dwSize", DSERR_INVALIDPARAM, wrongSize},
        {"reserved field", DSERR_INVALIDPARAM, reserved},
        {"no format", DSERR_INVALIDPARAM, Desc(nullptr, 100)},
        {"unknown flag", DSERR_INVALIDPARAM, Desc(&good, 100, 0x00010000)},
        {"primary with a format", DSERR_INVALIDPARAM, Desc(&good, 100, DSBCAPS_PRIMARYBUFFER)},
        {"primary", DSERR_UNSUPPORTED, Desc(nullptr, 0, DSBCAPS_PRIMARYBUFFER)},
        {"not PCM", DSERR_BADFORMAT, Desc(&floatTag, 100)},
        {"three channels", DSERR_BADFORMAT, Desc(&threeChannels, 300)},
        {"24 bits", DSERR_BADFORMAT, Desc(&bits24, 300)},
        {"block alignment", DSERR_BADFORMAT, Desc(&badAlign, 100)},
        {"rate too low", DSERR_BADFORMAT, Desc(&slow, 100)},
        {"rate too high", DSERR_BADFORMAT, Desc(&fast, 100)},
        {"too small", DSERR_INVALIDPARAM, Desc(&good, DSBSIZE_MIN - 1)},
        {"too large", DSERR_INVALIDPARAM, Desc(&good, DSBSIZE_MAX + 1)},
    };
    int voices = plat::TheMixer().Voices();
    for (const Case& c : cases) {
        IDirectSoundBuffer* b = reinterpret_cast<IDirectSoundBuffer*>(uintptr_t{0x1234});
        EXPECT_EQ(ds_->CreateSoundBuffer(&c.desc, &b, nullptr), c.expected) << c.what;
        EXPECT_EQ(b, nullptr) << c.what;
    }
    EXPECT_EQ(plat::TheMixer().Voices(), voices);  // nothing was made

    IDirectSoundBuffer* b = nullptr;
    DSBUFFERDESC d = Desc(&good, 100);
    EXPECT_EQ(ds_->CreateSoundBuffer(nullptr, &b, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds_->CreateSoundBuffer(&d, nullptr, nullptr), DSERR_INVALIDPARAM);

    // Before the cooperative level is set, nothing is made either.
    IDirectSound* fresh = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &fresh, nullptr), DS_OK);
    EXPECT_EQ(fresh->CreateSoundBuffer(&d, &b, nullptr), DSERR_UNINITIALIZED);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(fresh->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DSERR_INVALIDPARAM);
    EXPECT_EQ(fresh->Release(), 0u);

    // The limits themselves are fine; so is a size that is not a whole number of frames.
    WAVEFORMATEX edges = Pcm(2, DSBFREQUENCY_MAX, 16);
    d = Desc(&edges, DSBSIZE_MIN + 2, DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY);
    ASSERT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    made_.push_back(b);
    WAVEFORMATEX low = Pcm(1, DSBFREQUENCY_MIN, 8);
    d = Desc(&low, DSBSIZE_MIN, 0);
    ASSERT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    made_.push_back(b);
}

TEST_F(DirectSoundTest, NewBuffersAreSilentAndLocksWrapAround) {
    WAVEFORMATEX f8 = Pcm(1, 22050, 8);
    WAVEFORMATEX f16 = Pcm(2, 22050, 16);
    for (WAVEFORMATEX* f : {&f8, &f16}) {
        DSBUFFERDESC d = Desc(f, 64);
        IDirectSoundBuffer* b = nullptr;
        ASSERT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
        made_.push_back(b);
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0;
        DWORD n2 = 0;
        ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
        ASSERT_EQ(n1, 64u);
        EXPECT_EQ(p2, nullptr);
        EXPECT_EQ(n2, 0u);
        const uint8_t silence = f->wBitsPerSample == 8 ? 0x80 : 0x00;
        auto* bytes = static_cast<uint8_t*>(p1);
        for (int i = 0; i < 64; ++i) EXPECT_EQ(bytes[i], silence) << i;
        EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);

        // Past the end the lock goes on at the start.
        ASSERT_EQ(b->Lock(60, 10, &p1, &n1, &p2, &n2, 0), DS_OK);
        EXPECT_EQ(p1, bytes + 60);
        EXPECT_EQ(n1, 4u);
        EXPECT_EQ(p2, bytes);
        EXPECT_EQ(n2, 6u);
        EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
        EXPECT_EQ(b->Lock(60, 10, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);

        EXPECT_EQ(b->Lock(0, 65, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
        EXPECT_EQ(p1, nullptr);
        EXPECT_EQ(b->Lock(64, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
        EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
        EXPECT_EQ(b->Lock(0, 4, nullptr, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
        EXPECT_EQ(b->Lock(0, 4, &p1, &n1, &p2, &n2, 0x100), DSERR_INVALIDPARAM);

        // Regions that are not the buffer's own are refused on unlock.
        char elsewhere[8];
        EXPECT_EQ(b->Unlock(elsewhere, 8, nullptr, 0), DSERR_INVALIDPARAM);
        EXPECT_EQ(b->Unlock(bytes + 60, 8, nullptr, 0), DSERR_INVALIDPARAM);
        EXPECT_EQ(b->Unlock(nullptr, 4, nullptr, 0), DSERR_INVALIDPARAM);
    }
}

TEST_F(DirectSoundTest, PlaysOnceUntilTheLastSampleIsConsumed) {
    // 480 frames at 48 kHz: one sample per output frame.
    std::vector<int16_t> ramp(480);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(10 * i + 10);
    IDirectSoundBuffer* b = Make16(ramp, 1, 48000);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Status(b), 0u);
    EXPECT_EQ(Render(16), std::vector<int16_t>(32, 0));  // silent until played

    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Status(b), static_cast<DWORD>(DSBSTATUS_PLAYING));
    std::vector<int16_t> out = Render(479);
    for (int k = 0; k < 479; ++k) {
        ASSERT_EQ(out[2 * k], ramp[k]) << k;
        ASSERT_EQ(out[2 * k + 1], ramp[k]) << k;  // mono on both sides
    }
    EXPECT_EQ(Status(b), static_cast<DWORD>(DSBSTATUS_PLAYING));  // one sample to go
    out = Render(2);
    EXPECT_EQ(out[0], ramp[479]);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(Status(b), 0u);

    // Played to its end, it starts again from its beginning.
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    out = Render(2);
    EXPECT_EQ(out[0], ramp[0]);
    EXPECT_EQ(out[2], ramp[1]);

    // Stop keeps the position; Play goes on from there.
    ASSERT_EQ(b->Stop(), DS_OK);
    EXPECT_EQ(Status(b), 0u);
    EXPECT_EQ(Render(8), std::vector<int16_t>(16, 0));
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    out = Render(1);
    EXPECT_EQ(out[0], ramp[2]);
    // Play on a sounding buffer neither restarts nor skips.
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    out = Render(1);
    EXPECT_EQ(out[0], ramp[3]);

    EXPECT_EQ(b->Play(1, 0, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Play(0, 1, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Play(0, 0, 0x80), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->GetStatus(nullptr), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, LoopingBuffersGoRoundUntilStopped) {
    IDirectSoundBuffer* b = Make16({100, 200, 300, 400}, 1, 48000);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(Status(b), static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    std::vector<int16_t> out = Render(10);
    const int16_t expected[] = {100, 200, 300, 400, 100, 200, 300, 400, 100, 200};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(out[2 * k], expected[k]) << k;
    EXPECT_EQ(Status(b), static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    ASSERT_EQ(b->Stop(), DS_OK);
    EXPECT_EQ(Status(b), 0u);
}

TEST_F(DirectSoundTest, SetFrequencyChecksItsRangeAndControl) {
    IDirectSoundBuffer* b = Make16({0, 0, 0, 0}, 1, 22050);
    IDirectSoundBuffer* fixed = Make16({0, 0, 0, 0}, 1, 22050, DSBCAPS_CTRLVOLUME);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(b->SetFrequency(DSBFREQUENCY_MIN - 1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(DSBFREQUENCY_MAX + 1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(DSBFREQUENCY_MIN), DS_OK);
    EXPECT_EQ(b->SetFrequency(DSBFREQUENCY_MAX), DS_OK);
    EXPECT_EQ(b->SetFrequency(0), DS_OK);  // back to the buffer's own rate
    EXPECT_EQ(fixed->SetFrequency(44100), DSERR_CONTROLUNAVAIL);

    // Every call that reaches a buffer is told to the backend, refused or not.
    const int n = plat::SoundBufferIndex(b);
    const int m = plat::SoundBufferIndex(fixed);
    ASSERT_GE(n, 0);
    EXPECT_EQ(m, n + 1);
    EXPECT_EQ(plat::SoundBufferIndex(nullptr), -1);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(b->Stop(), DS_OK);
    ASSERT_EQ(b->Play(1, 0, 0), DSERR_INVALIDPARAM);
    const std::string sn = "sound " + std::to_string(n);
    const std::string sm = "sound " + std::to_string(m);
    EXPECT_EQ(Backend().Lines("sound"),
              (std::vector<std::string>{sn + " freq 99", sn + " freq 100001", sn + " freq 100",
                                        sn + " freq 100000", sn + " freq 0", sm + " freq 44100",
                                        sn + " play", sn + " stop", sn + " play"}));
}

TEST_F(DirectSoundTest, InterpolatesLinearlyBetweenSamples) {
    std::vector<int16_t> ramp = {0, 400, 800, 1200, -1200, -400};
    IDirectSoundBuffer* b = Make16(ramp, 1, 24000);  // half a sample per output frame
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = Render(12);
    const int16_t half[] = {0, 200, 400, 600, 800, 1000, 1200, 0, -1200, -800, -400, -200};
    for (int k = 0; k < 12; ++k) EXPECT_EQ(out[2 * k], half[k]) << k;
    EXPECT_EQ(Status(b), 0u);

    ASSERT_EQ(b->SetFrequency(12000), DS_OK);  // a quarter sample per output frame
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    out = Render(6);
    const int16_t quarter[] = {0, 100, 200, 300, 400, 500};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(out[2 * k], quarter[k]) << k;

    // At 96 kHz every other sample is passed over.
    ASSERT_EQ(b->Stop(), DS_OK);
    ASSERT_EQ(b->SetFrequency(96000), DS_OK);
    IDirectSoundBuffer* c = Make16({0, 1000, 2000, 3000, 4000, 5000, 6000, 7000}, 1, 96000);
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->Play(0, 0, 0), DS_OK);
    out = Render(5);
    const int16_t skip[] = {0, 2000, 4000, 6000, 0};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(out[2 * k], skip[k]) << k;
    EXPECT_EQ(Status(c), 0u);

    // 8-bit samples are unsigned around 128 and widened to 16 bits; stereo keeps its sides.
    IDirectSoundBuffer* e = Make8({128, 192, 64, 255, 0}, 48000);
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->Play(0, 0, 0), DS_OK);
    out = Render(5);
    const int16_t widened[] = {0, 64 * 256, -64 * 256, 127 * 256, -128 * 256};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(out[2 * k], widened[k]) << k;
    IDirectSoundBuffer* s = Make16({1000, -1000, 2000, -2000}, 2, 24000);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->Play(0, 0, 0), DS_OK);
    out = Render(2);
    EXPECT_EQ(out[0], 1000);
    EXPECT_EQ(out[1], -1000);
    EXPECT_EQ(out[2], 1500);
    EXPECT_EQ(out[3], -1500);
}

TEST_F(DirectSoundTest, LoudBuffersClampInsteadOfWrapping) {
    std::vector<int16_t> loud(64, 30000);
    std::vector<int16_t> quiet(64, -30000);
    IDirectSoundBuffer* a = Make16(loud, 1, 48000);
    IDirectSoundBuffer* b = Make16(loud, 1, 48000);
    IDirectSoundBuffer* c = Make16(quiet, 1, 48000);
    IDirectSoundBuffer* d = Make16(quiet, 1, 48000);
    IDirectSoundBuffer* e = Make16(quiet, 1, 48000);
    ASSERT_TRUE(a && b && c && d && e);
    ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = Render(4);
    for (int16_t v : out) EXPECT_EQ(v, 32767);
    ASSERT_EQ(c->Play(0, 0, 0), DS_OK);  // 60000 - 30000: back in range
    out = Render(4);
    for (int16_t v : out) EXPECT_EQ(v, 30000);
    ASSERT_EQ(d->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(e->Play(0, 0, 0), DS_OK);  // 60000 - 90000
    out = Render(4);
    for (int16_t v : out) EXPECT_EQ(v, -30000);
    ASSERT_EQ(a->Stop(), DS_OK);
    ASSERT_EQ(b->Stop(), DS_OK);
    out = Render(4);
    for (int16_t v : out) EXPECT_EQ(v, -32768);
}

TEST_F(DirectSoundTest, ReleaseCountsReferencesAndLeavesTheMix) {
    IDirectSoundBuffer* b = Make16(std::vector<int16_t>(4800, 5000), 1, 48000);
    ASSERT_NE(b, nullptr);
    made_.pop_back();
    const int voices = plat::TheMixer().Voices();
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Render(1)[0], 5000);
    EXPECT_EQ(b->AddRef(), 2u);
    EXPECT_EQ(b->Release(), 1u);
    EXPECT_EQ(plat::TheMixer().Voices(), voices);
    const int n = plat::SoundBufferIndex(b);
    EXPECT_GE(n, 0);
    EXPECT_EQ(b->Release(), 0u);  // while it sounds
    EXPECT_EQ(plat::SoundBufferIndex(b), -1);
    EXPECT_EQ(plat::TheMixer().Voices(), voices - 1);
    EXPECT_EQ(Render(4), std::vector<int16_t>(8, 0));
}

// The game thread starts, stops and re-pitches buffers while the audio thread renders.
TEST_F(DirectSoundTest, RendersOnAnotherThreadWhileTheGamePlays) {
    std::vector<int16_t> wave(2205);
    for (size_t i = 0; i < wave.size(); ++i) wave[i] = static_cast<int16_t>((i % 50) * 400 - 10000);
    IDirectSoundBuffer* engines[3];
    for (auto& e : engines) {
        e = Make16(wave, 1, 22050);
        ASSERT_NE(e, nullptr);
    }
    std::atomic<bool> done{false};
    std::atomic<long> periods{0};
    std::thread audio([&] {
        std::vector<int16_t> out(1024);
        while (!done) {
            plat::TheMixer().Render(out.data(), 512);
            ++periods;
        }
    });
    while (periods.load() == 0) std::this_thread::yield();  // the audio thread is running
    for (int frame = 0; frame < 3000; ++frame) {
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(engines[i]->SetFrequency(static_cast<DWORD>(22000 + (frame % 200) * 50 + i * 1000)), DS_OK);
            DWORD status = 0;
            EXPECT_EQ(engines[i]->GetStatus(&status), DS_OK);
            if (status != DSBSTATUS_PLAYING) {
                EXPECT_EQ(engines[i]->Play(0, 0, 0), DS_OK);
            }
            if (frame % 97 == i) {
                EXPECT_EQ(engines[i]->Stop(), DS_OK);
            }
        }
        if (frame % 100 == 0) std::this_thread::yield();
    }
    const long before = periods.load();
    while (periods.load() < before + 2) std::this_thread::yield();  // a whole period after the last call
    done = true;
    audio.join();
    for (auto* e : engines) EXPECT_EQ(e->Stop(), DS_OK);
    EXPECT_EQ(Render(4), std::vector<int16_t>(8, 0));
}

}  // namespace
