// DirectSound buffers and the mixer behind them: creation checks, locks, play, stop,
// status, frequency, and what comes out of the mix.
#include "../support/support.h"

#include "../../platform/core/mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace testing_support;

namespace {

using Samples = std::vector<int16_t>;
constexpr DWORD kControls = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
constexpr DWORD kPlaying = DSBSTATUS_PLAYING;

WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits) {
    const WORD align = static_cast<WORD>(channels * bits / 8);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

DSBUFFERDESC Desc(WAVEFORMATEX* format, DWORD bytes, DWORD flags = kControls) {
    return {sizeof(DSBUFFERDESC), flags, bytes, 0, format};
}

// The next frames of a mix of mono buffers: the left side, after checking the right is the same.
Samples Mono(int frames) {
    Samples out(static_cast<size_t>(frames) * 2, 0x5555), left;
    plat::TheMixer().Render(out.data(), frames);
    for (size_t i = 0; i < out.size(); i += 2) {
        EXPECT_EQ(out[i + 1], out[i]) << "frame " << i / 2;
        left.push_back(out[i]);
    }
    return left;
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
        ASSERT_EQ(Backend().mixer, &plat::TheMixer());
        ASSERT_EQ(ds_->SetCooperativeLevel(GameWindow(), DSSCL_NORMAL), DS_OK);
        plat::TheMixer().StopAll();
    }
    void TearDown() override {
        for (IDirectSoundBuffer* b : made_) b->Release();
        if (ds_ != nullptr) ds_->Release();
    }
    IDirectSoundBuffer* Create(WAVEFORMATEX f, DWORD bytes, DWORD flags = kControls) {
        DSBUFFERDESC d = Desc(&f, bytes, flags);
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
        if (b != nullptr) made_.push_back(b);
        return b;
    }
    // A buffer of 16-bit samples (interleaved when stereo), written through a lock.
    IDirectSoundBuffer* Make(const Samples& s, WORD channels, DWORD rate, DWORD flags = kControls) {
        IDirectSoundBuffer* b = Create(Pcm(channels, rate, 16), static_cast<DWORD>(s.size() * 2), flags);
        void* p = nullptr;
        DWORD n = 0;
        if (b == nullptr || b->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER) != DS_OK) return nullptr;
        std::memcpy(p, s.data(), n);
        EXPECT_EQ(b->Unlock(p, n, nullptr, 0), DS_OK);
        return b;
    }

    IDirectSound* ds_ = nullptr;
    std::vector<IDirectSoundBuffer*> made_;
};

TEST_F(DirectSoundTest, CreateSoundBufferRefusesWhatItCannotPlay) {
    const struct { const char* what; HRESULT expected; void (*change)(DSBUFFERDESC&, WAVEFORMATEX&); } cases[] = {
        {"wrong dwSize", DSERR_INVALIDPARAM, [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwSize = 20; }},
        {"reserved field", DSERR_INVALIDPARAM, [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwReserved = 1; }},
        {"no format", DSERR_INVALIDPARAM, [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.lpwfxFormat = nullptr; }},
        {"unknown flag", DSERR_INVALIDPARAM, [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwFlags = 0x00010000; }},
        {"primary", DSERR_UNSUPPORTED, [](DSBUFFERDESC& d, WAVEFORMATEX&) { d = Desc(nullptr, 0, DSBCAPS_PRIMARYBUFFER); }},
        {"not PCM", DSERR_BADFORMAT, [](DSBUFFERDESC&, WAVEFORMATEX& f) { f.wFormatTag = 3; }},
        {"three channels", DSERR_BADFORMAT, [](DSBUFFERDESC&, WAVEFORMATEX& f) { f = Pcm(3, 22050, 8); }},
        {"24 bits", DSERR_BADFORMAT, [](DSBUFFERDESC&, WAVEFORMATEX& f) { f = Pcm(1, 22050, 24); }},
        {"block alignment", DSERR_BADFORMAT, [](DSBUFFERDESC&, WAVEFORMATEX& f) { f.nBlockAlign = 2; }},
        {"rate too low", DSERR_BADFORMAT, [](DSBUFFERDESC&, WAVEFORMATEX& f) { f = Pcm(1, DSBFREQUENCY_MIN - 1, 8); }},
        {"rate too high", DSERR_BADFORMAT, [](DSBUFFERDESC&, WAVEFORMATEX& f) { f = Pcm(1, DSBFREQUENCY_MAX + 1, 8); }},
        {"too small", DSERR_INVALIDPARAM, [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwBufferBytes = DSBSIZE_MIN - 1; }},
        {"too large", DSERR_INVALIDPARAM, [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwBufferBytes = DSBSIZE_MAX + 1; }},
    };
    WAVEFORMATEX good = Pcm(1, 22050, 8), f = good;
    for (const auto& c : cases) {
        DSBUFFERDESC d = Desc(&(f = good), 100);
        c.change(d, f);
        auto* b = reinterpret_cast<IDirectSoundBuffer*>(uintptr_t{0x1234});
        EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), c.expected) << c.what;
        EXPECT_EQ(b, nullptr) << c.what;
    }
    IDirectSoundBuffer* b = nullptr;
    DSBUFFERDESC d = Desc(&good, 100);
    EXPECT_EQ(ds_->CreateSoundBuffer(nullptr, &b, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds_->CreateSoundBuffer(&d, nullptr, nullptr), DSERR_INVALIDPARAM);

    // Before the cooperative level is set, nothing is made either.
    IDirectSound* fresh = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &fresh, nullptr), DS_OK);
    EXPECT_EQ(fresh->CreateSoundBuffer(&d, &b, nullptr), DSERR_UNINITIALIZED);
    EXPECT_EQ(fresh->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DSERR_INVALIDPARAM);
    EXPECT_EQ(fresh->Release(), 0u);

    // The limits themselves are fine; so is a size that is not a whole number of frames.
    Create(Pcm(2, DSBFREQUENCY_MAX, 16), DSBSIZE_MIN + 2, DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY);
    Create(Pcm(1, DSBFREQUENCY_MIN, 8), DSBSIZE_MIN, 0);
}

TEST_F(DirectSoundTest, NewBuffersAreSilentAndLocksWrapAround) {
    for (WORD bits : {8, 16}) {
        IDirectSoundBuffer* b = Create(Pcm(bits / 8, 22050, bits), 64);
        ASSERT_NE(b, nullptr);
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
        ASSERT_EQ(std::tuple(n1, p2, n2), std::tuple(DWORD{64}, nullptr, DWORD{0}));
        auto* bytes = static_cast<uint8_t*>(p1);
        EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 64), std::vector<uint8_t>(64, bits == 8 ? 0x80 : 0));
        EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);

        // Past the end the lock goes on at the start, given somewhere to put the second part.
        ASSERT_EQ(b->Lock(60, 10, &p1, &n1, &p2, &n2, 0), DS_OK);
        EXPECT_EQ(std::tuple(p1, n1, p2, n2), (std::tuple<void*, DWORD, void*, DWORD>(bytes + 60, 4, bytes, 6)));
        EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
        EXPECT_EQ(b->Lock(60, 10, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
        for (auto [at, size, flags] : {std::tuple<DWORD, DWORD, DWORD>{0, 65, 0}, {64, 1, 0}, {0, 0, 0}, {0, 4, 0x100}}) {
            EXPECT_EQ(b->Lock(at, size, &p1, &n1, &p2, &n2, flags), DSERR_INVALIDPARAM) << at << " " << size;
        }
        // Regions that are not the buffer's own are refused on unlock.
        char elsewhere[8];
        EXPECT_EQ(b->Unlock(elsewhere, 8, nullptr, 0), DSERR_INVALIDPARAM);
        EXPECT_EQ(b->Unlock(bytes + 60, 8, nullptr, 0), DSERR_INVALIDPARAM);
    }
}

TEST_F(DirectSoundTest, PlaysOnceOrLoopsStopsWhereItIsAndGoesWhenReleased) {
    IDirectSoundBuffer* b = Make({10, 20, 30, 40}, 1, 48000);  // one sample per output frame
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Mono(2), Samples(2, 0));  // silent until played
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Mono(3), (Samples{10, 20, 30}));
    EXPECT_EQ(Status(b), kPlaying);  // one sample to go
    EXPECT_EQ(Mono(2), (Samples{40, 0}));
    EXPECT_EQ(Status(b), 0u);

    // Played to its end, it starts again from its beginning; Stop keeps the position.
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Mono(1), Samples{10});
    ASSERT_EQ(b->Stop(), DS_OK);
    EXPECT_EQ(Status(b), 0u);
    EXPECT_EQ(Mono(2), Samples(2, 0));
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Mono(2), (Samples{20, 30}));

    // Looping at half a sample per frame, the last sample leads back into the first. Played
    // again without the flag while it sounds, it neither restarts nor skips, and ends.
    ASSERT_EQ(b->SetFrequency(24000), DS_OK);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(Status(b), kPlaying | DSBSTATUS_LOOPING);
    EXPECT_EQ(Mono(6), (Samples{40, 25, 10, 15, 20, 25}));
    EXPECT_EQ(Status(b), kPlaying | DSBSTATUS_LOOPING);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Status(b), kPlaying);
    EXPECT_EQ(Mono(6), (Samples{30, 35, 40, 20, 0, 0}));
    EXPECT_EQ(Status(b), 0u);

    EXPECT_EQ(b->Play(0, 0, 0x80), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->GetStatus(nullptr), DSERR_INVALIDPARAM);

    // References are counted; released while it sounds, the buffer leaves the mix at once.
    const int voices = plat::TheMixer().Voices();
    made_.clear();
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(b->AddRef(), 2u);
    EXPECT_EQ(b->Release(), 1u);
    EXPECT_EQ(Mono(2), (Samples{10, 15}));
    EXPECT_EQ(b->Release(), 0u);
    EXPECT_EQ(plat::SoundBufferIndex(b), -1);
    EXPECT_EQ(plat::TheMixer().Voices(), voices - 1);
    EXPECT_EQ(Mono(2), Samples(2, 0));
}

TEST_F(DirectSoundTest, SetFrequencyChecksItsRangeAndControlAndEveryCallIsReported) {
    IDirectSoundBuffer* b = Make({0, 0}, 1, 22050);
    IDirectSoundBuffer* fixed = Make({0, 0}, 1, 22050, DSBCAPS_CTRLVOLUME);
    ASSERT_TRUE(b && fixed);
    for (auto [hz, result] : {std::pair<DWORD, HRESULT>{DSBFREQUENCY_MIN - 1, DSERR_INVALIDPARAM},
                              {DSBFREQUENCY_MAX + 1, DSERR_INVALIDPARAM}, {DSBFREQUENCY_MIN, DS_OK},
                              {DSBFREQUENCY_MAX, DS_OK}, {0, DS_OK} /* the buffer's own rate */}) {
        EXPECT_EQ(b->SetFrequency(hz), result) << hz;
    }
    EXPECT_EQ(fixed->SetFrequency(44100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(b->Play(1, 0, 0), DSERR_INVALIDPARAM);

    // Refused or not, each call is told to the backend under the buffer's number, counted
    // in the order the buffers were made.
    const int n = plat::SoundBufferIndex(b);
    ASSERT_GE(n, 0);
    const std::string sn = "sound " + std::to_string(n) + " ", sm = "sound " + std::to_string(n + 1) + " ";
    EXPECT_EQ(Backend().Lines("sound"),
              (std::vector<std::string>{sn + "freq 99", sn + "freq 100001", sn + "freq 100", sn + "freq 100000",
                                        sn + "freq 0", sm + "freq 44100", sn + "play"}));
}

TEST_F(DirectSoundTest, InterpolatesLinearlyBetweenSamples) {
    IDirectSoundBuffer* b = Make({0, 400, 800, 1200, -1200, -400}, 1, 24000);
    IDirectSoundBuffer* fast = Make({0, 1000, 2000, 3000, 4000, 5000, 6000, 7000}, 1, 96000);
    ASSERT_TRUE(b && fast);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);  // half a sample per output frame, towards silence at the end
    EXPECT_EQ(Mono(12), (Samples{0, 200, 400, 600, 800, 1000, 1200, 0, -1200, -800, -400, -200}));
    EXPECT_EQ(Status(b), 0u);  // over with the last frame
    ASSERT_EQ(b->SetFrequency(12000), DS_OK);  // a quarter sample per output frame
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Mono(6), (Samples{0, 100, 200, 300, 400, 500}));
    ASSERT_EQ(b->SetFrequency(0), DS_OK);  // back to its own 24 kHz
    EXPECT_EQ(Mono(2), (Samples{600, 800}));
    ASSERT_EQ(b->Stop(), DS_OK);
    ASSERT_EQ(fast->Play(0, 0, 0), DS_OK);  // every other sample passed over
    EXPECT_EQ(Mono(5), (Samples{0, 2000, 4000, 6000, 0}));
    EXPECT_EQ(Status(fast), 0u);
}

TEST_F(DirectSoundTest, LoudBuffersClampOnceAfterTheSum) {
    IDirectSoundBuffer* b[5];
    for (int i = 0; i < 5; ++i) ASSERT_NE(b[i] = Make(Samples(64, i < 2 ? 30000 : -30000), 1, 48000), nullptr);
    for (int i : {0, 1}) ASSERT_EQ(b[i]->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Mono(4), Samples(4, 32767));
    ASSERT_EQ(b[2]->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Mono(4), Samples(4, 30000));  // 60000 - 30000: back in range
    for (int i : {3, 4}) ASSERT_EQ(b[i]->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Mono(4), Samples(4, -30000));  // 60000 - 90000
    for (int i : {0, 1}) ASSERT_EQ(b[i]->Stop(), DS_OK);
    EXPECT_EQ(Mono(4), Samples(4, -32768));
}

// The game thread starts, stops and re-pitches buffers while the audio thread renders.
// Nothing waits on a clock: the threads only count the periods rendered.
TEST_F(DirectSoundTest, RendersOnAnotherThreadWhileTheGamePlays) {
    IDirectSoundBuffer* engines[3];
    for (auto& e : engines) ASSERT_NE(e = Make(Samples(2205, 8000), 1, 22050), nullptr);
    std::atomic<bool> done{false};
    std::atomic<long> periods{0};
    std::thread audio([&] {
        for (Samples out(1024); !done; ++periods) plat::TheMixer().Render(out.data(), 512);
    });
    while (periods.load() == 0) std::this_thread::yield();  // the audio thread is running
    for (int frame = 0; frame < 9000; ++frame) {
        IDirectSoundBuffer* e = engines[frame % 3];
        EXPECT_EQ(e->SetFrequency(static_cast<DWORD>(22000 + (frame % 200) * 50)), DS_OK);
        EXPECT_EQ(Status(e) == kPlaying && frame % 7 == 0 ? e->Stop() : e->Play(0, 0, 0), DS_OK);
    }
    // A whole period is rendered after the last call.
    for (const long until = periods.load() + 2; periods.load() < until;) std::this_thread::yield();
    done = true;
    audio.join();
    for (auto* e : engines) EXPECT_EQ(e->Stop(), DS_OK);
    EXPECT_EQ(Mono(4), Samples(4, 0));
}

}  // namespace
