// Sound: the platform's DirectSound buffers and the mixer behind them, its RIFF file reading,
// and the sound device as the game uses it: loading .snd files into the slots, playing once
// without restarting, stopping only what sounds.
#include "../support/support.h"

#include <fstream>
#include <tuple>
#include <unistd.h>

using namespace testing_support;
using namespace std::literals;

namespace {

using Samples = std::vector<int16_t>;
constexpr DWORD kControls = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
constexpr DWORD kPlaying = DSBSTATUS_PLAYING;

WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits) {
    const WORD align = WORD(channels * bits / 8);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
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
        ds_->Release();
    }
    IDirectSoundBuffer* Create(WAVEFORMATEX f, DWORD bytes, DWORD flags = kControls) {
        DSBUFFERDESC d{sizeof(DSBUFFERDESC), flags, bytes, 0, &f};
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
        if (b != nullptr) made_.push_back(b);
        return b;
    }
    // A buffer of mono 16-bit samples, written through a lock.
    IDirectSoundBuffer* Make(const Samples& s, DWORD rate, DWORD flags = kControls) {
        IDirectSoundBuffer* b = Create(Pcm(1, rate, 16), DWORD(s.size() * 2), flags);
        void* p = nullptr;
        DWORD n = 0;
        if (b == nullptr || b->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER) != DS_OK)
            return nullptr;
        std::memcpy(p, s.data(), n);
        EXPECT_EQ(b->Unlock(p, n, nullptr, 0), DS_OK);
        return b;
    }
    IDirectSound* ds_ = nullptr;
    std::vector<IDirectSoundBuffer*> made_;
};

// Refused: a wrong dwSize, no format, an unknown flag, a primary buffer, not PCM, three
// channels, a wrong block alignment, a rate too low, a size too small or too large.
TEST_F(DirectSoundTest, CreateSoundBufferRefusesWhatItCannotPlay) {
    const DWORD size = sizeof(DSBUFFERDESC), lo = DSBSIZE_MIN - 1, hi = DSBSIZE_MAX + 1;
    const WAVEFORMATEX good = Pcm(1, 22050, 8), tag3 = {3, 1, 22050, 22050, 1, 8, 0},
                       align2 = {WAVE_FORMAT_PCM, 1, 22050, 22050, 2, 8, 0};
    const std::tuple<DWORD, DWORD, DWORD, bool, WAVEFORMATEX, HRESULT> cases[] = {
        {20, kControls, 100, true, good, DSERR_INVALIDPARAM},
        {size, kControls, 100, false, good, DSERR_INVALIDPARAM},
        {size, 0x00010000, 100, true, good, DSERR_INVALIDPARAM},
        {size, DSBCAPS_PRIMARYBUFFER, 0, false, good, DSERR_UNSUPPORTED},
        {size, kControls, 100, true, tag3, DSERR_BADFORMAT},
        {size, kControls, 100, true, Pcm(3, 22050, 8), DSERR_BADFORMAT},
        {size, kControls, 100, true, align2, DSERR_BADFORMAT},
        {size, kControls, 100, true, Pcm(1, DSBFREQUENCY_MIN - 1, 8), DSERR_BADFORMAT},
        {size, kControls, lo, true, good, DSERR_INVALIDPARAM},
        {size, kControls, hi, true, good, DSERR_INVALIDPARAM},
    };
    for (auto [dwSize, flags, bytes, format, f, result] : cases) {
        WAVEFORMATEX copy = f;
        DSBUFFERDESC d{dwSize, flags, bytes, 0, format ? &copy : nullptr};
        auto* b = reinterpret_cast<IDirectSoundBuffer*>(uintptr_t{0x1234});
        EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), result) << flags << " " << bytes;
        EXPECT_EQ(b, nullptr);
    }
    IDirectSoundBuffer *b = nullptr, **none = nullptr;
    WAVEFORMATEX copy = good;
    DSBUFFERDESC d{sizeof(DSBUFFERDESC), kControls, 100, 0, &copy};
    EXPECT_EQ(ds_->CreateSoundBuffer(nullptr, &b, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds_->CreateSoundBuffer(&d, none, nullptr), DSERR_INVALIDPARAM);
    // Before the cooperative level is set, nothing is made either.
    IDirectSound* fresh = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &fresh, nullptr), DS_OK);
    EXPECT_EQ(fresh->CreateSoundBuffer(&d, &b, nullptr), DSERR_UNINITIALIZED);
    EXPECT_EQ(fresh->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DSERR_INVALIDPARAM);
    EXPECT_EQ(fresh->Release(), 0u);
    // The limits themselves are fine; so is a size that is not a whole number of frames.
    Create(Pcm(2, DSBFREQUENCY_MAX, 16), DSBSIZE_MIN + 2, DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY);
}

TEST_F(DirectSoundTest, PlaysOnceOrLoopsStopsWhereItIsAndGoesWhenReleased) {
    IDirectSoundBuffer* b = Make({10, 20, 30, 40}, 48000);  // one sample per output frame
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(MixLeft(2), Samples(2, 0));  // silent until played
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(MixLeft(3), (Samples{10, 20, 30}));
    EXPECT_EQ(SoundStatus(b), kPlaying);  // one sample to go
    EXPECT_EQ(MixLeft(2), (Samples{40, 0}));
    EXPECT_EQ(SoundStatus(b), 0u);
    // Played to its end, it starts again from its beginning; Stop keeps the position.
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(MixLeft(1), Samples{10});
    ASSERT_EQ(b->Stop(), DS_OK);
    EXPECT_EQ(SoundStatus(b), 0u);
    EXPECT_EQ(MixLeft(2), Samples(2, 0));
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(MixLeft(2), (Samples{20, 30}));
    // Looping at half a sample per frame, the last sample leads back into the first. Played
    // again without the flag while it sounds, it neither restarts nor skips, and ends.
    ASSERT_EQ(b->SetFrequency(24000), DS_OK);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(SoundStatus(b), kPlaying | DSBSTATUS_LOOPING);
    EXPECT_EQ(MixLeft(6), (Samples{40, 25, 10, 15, 20, 25}));
    EXPECT_EQ(SoundStatus(b), kPlaying | DSBSTATUS_LOOPING);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(SoundStatus(b), kPlaying);
    EXPECT_EQ(MixLeft(6), (Samples{30, 35, 40, 20, 0, 0}));
    EXPECT_EQ(SoundStatus(b), 0u);
    EXPECT_EQ(b->Play(0, 0, 0x80), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->GetStatus(nullptr), DSERR_INVALIDPARAM);
    // References are counted; released while it sounds, the buffer leaves the mix at once.
    const int voices = plat::TheMixer().Voices();
    made_.clear();
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(b->AddRef(), 2u);
    EXPECT_EQ(b->Release(), 1u);
    EXPECT_EQ(MixLeft(2), (Samples{10, 15}));
    EXPECT_EQ(b->Release(), 0u);
    EXPECT_EQ(std::pair(plat::SoundBufferIndex(b), plat::TheMixer().Voices()),
              std::pair(-1, voices - 1));
    EXPECT_EQ(MixLeft(2), Samples(2, 0));
}

// The frequency's range and control; refused or not, each call is told to the backend under
// the buffer's number, counted in the order the buffers were made.
TEST_F(DirectSoundTest, SetFrequencyChecksItsRangeAndControlAndEveryCallIsReported) {
    IDirectSoundBuffer *b = Make({0, 0}, 22050), *fixed = Make({0, 0}, 22050, DSBCAPS_CTRLVOLUME);
    // 0 is the buffer's own rate.
    EXPECT_EQ((std::vector{b->SetFrequency(99), b->SetFrequency(100001), b->SetFrequency(100),
                           b->SetFrequency(100000), b->SetFrequency(0), fixed->SetFrequency(44100),
                           b->Play(1, 0, 0)}),
              (std::vector<HRESULT>{DSERR_INVALIDPARAM, DSERR_INVALIDPARAM, DS_OK, DS_OK, DS_OK,
                                    DSERR_CONTROLUNAVAIL, DSERR_INVALIDPARAM}));
    const int n = plat::SoundBufferIndex(b);
    const std::string sn = "sound " + std::to_string(n) + " ",
                      sm = "sound " + std::to_string(n + 1) + " ";
    EXPECT_EQ(Only(Backend().log, {"sound"}),
              (std::vector<std::string>{sn + "freq 99", sn + "freq 100001", sn + "freq 100",
                                        sn + "freq 100000", sn + "freq 0", sm + "freq 44100",
                                        sn + "play"}));
}

// Linear interpolation between samples, towards silence at the end, or samples passed over;
// the sum of loud buffers is clamped once, after the sum.
TEST_F(DirectSoundTest, InterpolatesLinearlyAndClampsOnceAfterTheSum) {
    IDirectSoundBuffer *b = Make({0, 400, 800, 1200, -1200, -400}, 24000),
                       *fast = Make({0, 1000, 2000, 3000, 4000, 5000, 6000, 7000}, 96000);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);  // half a sample per output frame
    EXPECT_EQ(MixLeft(12),
              (Samples{0, 200, 400, 600, 800, 1000, 1200, 0, -1200, -800, -400, -200}));
    ASSERT_EQ(fast->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(MixLeft(5), (Samples{0, 2000, 4000, 6000, 0}));
    EXPECT_EQ(SoundStatus(b) | SoundStatus(fast), 0u);  // over with the last frame
    IDirectSoundBuffer* loud[5];
    for (int i = 0; i < 5; ++i) loud[i] = Make(Samples(64, i < 2 ? 30000 : -30000), 48000);
    // 60000 clamped; 60000 - 30000 back in range; 60000 - 90000; -90000 clamped.
    for (auto [first, last, sum] :
         {std::tuple{0, 1, 32767}, {2, 2, 30000}, {3, 4, -30000}, {0, 1, -32768}}) {
        for (int i = first; i <= last; ++i)
            ASSERT_EQ(sum == -32768 ? loud[i]->Stop() : loud[i]->Play(0, 0, 0), DS_OK);
        EXPECT_EQ(MixLeft(4), Samples(4, int16_t(sum)));
    }
}

// The 16 bytes of a format chunk; 16-bit samples; a mono 16-bit file.
std::string Format(uint16_t channels, uint32_t rate, uint16_t bits,
                   uint16_t tag = WAVE_FORMAT_PCM) {
    const uint16_t align = uint16_t(channels * bits / 8);
    return Le(tag, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * align, 4) + Le(align, 2) +
           Le(bits, 2);
}
std::string Pcm16(const Samples& samples) {
    std::string s;
    for (int16_t v : samples) s += Le(uint16_t(v), 2);
    return s;
}
std::string Wave16(const Samples& samples, uint32_t rate) {
    return Riff("WAVE", Chunk("fmt ", Format(1, rate, 16)) + Chunk("data", Pcm16(samples)));
}

class SoundDeviceTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        if (DirectSoundObject != nullptr) DirectSoundObject->Release();
        ASSERT_TRUE(SoundDevice.Init());
        plat::TheMixer().StopAll();
        dir_ = TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    // Writes the bytes as a file; the file's name.
    std::string File(const std::string& bytes) {
        std::string path = dir_ + "/" + std::to_string(++files_) + ".snd";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // Loads the bytes into a slot through a file.
    LPDIRECTSOUNDBUFFER Load(int slot, const std::string& bytes) {
        SoundDevice.LoadSound(slot, File(bytes).c_str());
        return SoundBuffers[slot];
    }
    std::string dir_;
    int files_ = 0;
};

// What cannot be played leaves the slot empty: an empty file, no format chunk, no data chunk,
// data before the format, a format chunk of 14 bytes, not PCM, no WAVE form, a RIFX file, a
// LIST that is not a RIFF, headers cut off (a sub-chunk's in half), garbage, a data chunk
// outside its RIFF, and chunks that claim more than there is: a skipped chunk running past its
// parent, one whose size wraps 32-bit offsets, one whose size with its pad byte wraps.
TEST_F(SoundDeviceTest, InitNeedsTheSoundDeviceAndUnplayableFilesLeaveTheSlotEmpty) {
    DirectSoundObject->Release();
    Backend().failAudio = true;
    EXPECT_FALSE(SoundDevice.Init());
    EXPECT_EQ(DirectSoundObject, nullptr);
    Backend().failAudio = false;
    EXPECT_TRUE(SoundDevice.Init());
    const std::string fmt = Chunk("fmt ", Format(1, 22050, 8)),
                      data = Chunk("data", std::string(64, '\x90'));
    std::vector<std::string> files = {
        "",
        Riff("WAVE", data),
        Riff("WAVE", fmt + Chunk("LIST", "INFO")),
        Riff("WAVE", data + fmt),
        Riff("WAVE", Chunk("fmt ", Format(1, 22050, 8).substr(0, 14)) + data),
        Riff("WAVE", Chunk("fmt ", Format(1, 22050, 32, 3)) + data),
        Riff("AVI ", fmt + data),
        "RIFX" + Le(4 + fmt.size() + data.size(), 4) + "WAVE" + fmt + data,
        Chunk("LIST", "WAVE" + fmt + data),
        "RIF",
        "RIFF" + Le(2, 4) + "WA",
        Riff("WAVE", "fmt \x10\0"s),
        Riff("WAVE", fmt + "dat"),
        "\xFF\x00\x13"s,
        "RIFF" + Le(4 + fmt.size(), 4) + "WAVE" + fmt + data};
    for (uint32_t lie : {1000u, 0xFFFFFFF8u, 0xFFFFFFFFu})
        files.push_back(Riff("WAVE", "junk" + Le(lie, 4) + std::string(8, 'j') + fmt + data));
    for (const std::string& bytes : files) EXPECT_EQ(Load(6, bytes), nullptr) << bytes.size();
    // What the game does with an empty slot passes over it.
    SoundDevice.Play(SoundBuffers[6]);
    SoundDevice.Stop(SoundBuffers[6]);
    SetSoundFrequency(SoundBuffers[6], 22000);
    EXPECT_TRUE(Only(Backend().log, {"sound"}).empty());
}

// A format chunk of 16 or 18 bytes, other chunks around (odd-sized ones with their pad byte),
// the second of two forms; a data chunk that claims four samples and holds two is silent after
// them (0 for 16 bits, 0x80 for 8), also when the RIFF claims more than the file.
TEST_F(SoundDeviceTest, FilesPlayAtTheirOwnRateWithWhatTheirDataChunkLacksSilent) {
    const std::string fmt = Chunk("fmt ", Format(1, 24000, 16)),
                      data = Chunk("data", Pcm16({1000, 2000, 3000, 4000}));
    const Samples ramp = {1000, 1500, 2000, 2500, 3000, 3500, 4000, 2000};
    const std::pair<std::string, Samples> files[] = {
        {Riff("WAVE", fmt + data), ramp},
        {Riff("WAVE", Chunk("fmt ", Format(1, 24000, 16) + Le(0, 2)) + data), ramp},
        {Riff("WAVE",
              Chunk("LIST", "INFOabc") + Chunk("fact", "1234") + fmt + Chunk("cue ", "xyz") + data),
         ramp},
        {Riff("AVI ", Chunk("data", "zz")) + Riff("WAVE", fmt + data), ramp},
        {"RIFF" + Le(0x7FFFFFF0u, 4) + "WAVE" + fmt + "data" + Le(8, 4) + Pcm16({1000, 2000}),
         {1000, 1500, 2000, 1000, 0, 0, 0, 0}},
        {Riff("WAVE", Chunk("fmt ", Format(1, 24000, 8)) + "data" + Le(4, 4) + "\xC0\xC0"),
         {16384, 16384, 16384, 8192, 0, 0, 0, 0}}};
    for (const auto& [bytes, left] : files) {
        LPDIRECTSOUNDBUFFER b = Load(0, bytes);
        ASSERT_NE(b, nullptr) << &left - &files[0].second;
        SoundDevice.Play(b);
        EXPECT_EQ(MixLeft(8), left) << bytes.size();
        EXPECT_EQ(SoundStatus(b), 0u);  // over with its last frame
        b->Release();
        SoundBuffers[kMenuSlot] = nullptr;
    }
    // 8-bit stereo plays too, each side on its own.
    LPDIRECTSOUNDBUFFER b = Load(5, Riff("WAVE", Chunk("fmt ", Format(2, 48000, 8)) +
                                                     Chunk("data", "\x80\xC0\x40\xFF\x00\x80"s)));
    ASSERT_NE(b, nullptr);
    SoundDevice.Play(b);
    Samples out(6);
    plat::TheMixer().Render(out.data(), 3);
    EXPECT_EQ(out, (Samples{0, 64 * 256, -64 * 256, 127 * 256, -128 * 256, 0}));
}

// What the race does each frame: set an engine's pitch, then play it; a bonus plays once; at
// the end every slot is stopped, but only what still sounds is told to stop.
TEST_F(SoundDeviceTest, PlayAndStopTouchOnlyWhatNeedsItAndPitchIsHeard) {
    Samples ramp(100);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = int16_t(100 * i + 100);
    LPDIRECTSOUNDBUFFER engine = Load(1, Wave16(ramp, 24000)),
                        bonus = Load(5, Wave16(Samples(4, 1000), 48000));
    ASSERT_TRUE(engine && bonus);
    SoundDevice.Play(engine);
    EXPECT_EQ(MixLeft(2), (Samples{100, 150}));
    SoundDevice.Play(engine);  // sounding: neither restarted nor told again
    SetSoundFrequency(engine, 48000);
    EXPECT_EQ(MixLeft(2), (Samples{200, 300}));
    SoundDevice.Play(bonus);
    EXPECT_EQ(MixLeft(4), (Samples{1400, 1500, 1600, 1700}));
    for (auto* slot : SoundBuffers) SoundDevice.Stop(slot);
    EXPECT_EQ(MixLeft(2), Samples(2, 0));
    SoundDevice.Play(engine);  // on from where it stopped
    EXPECT_EQ(MixLeft(1), Samples{800});
    const std::string e = "sound " + std::to_string(plat::SoundBufferIndex(engine)) + " ",
                      b = "sound " + std::to_string(plat::SoundBufferIndex(bonus)) + " ";
    EXPECT_EQ(Only(Backend().log, {"sound"}),
              (std::vector<std::string>{e + "play", e + "freq 48000", b + "play", e + "stop",
                                        e + "play"}));
}

// At any pitch each frame blends the two samples it stands between by its exact 16-bit
// fraction, over the widest swings a sample can make.
TEST_F(SoundDeviceTest, AnyPitchBlendsNeighbouringSamplesExactly) {
    Samples wave(300);
    for (size_t i = 0; i < wave.size(); ++i)
        wave[i] = int16_t(i % 3 == 0 ? (i % 2 ? 32767 : -32768) : (i * 40503u) % 65536);
    LPDIRECTSOUNDBUFFER b = Load(2, Wave16(wave, 22050));
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->SetFrequency(31234), DS_OK);
    SoundDevice.Play(b);
    const uint64_t step = (uint64_t{31234} << 32) / 48000;
    Samples expected;
    for (uint64_t pos = 0; (pos >> 32) + 1 < wave.size(); pos += step) {
        const int64_t a = wave[pos >> 32], d = wave[(pos >> 32) + 1] - a;
        expected.push_back(int16_t(a + ((d * int64_t((pos >> 16) & 0xFFFF)) >> 16)));
    }
    EXPECT_EQ(MixLeft(int(expected.size())), expected);
}

// Plain names are opened in the current folder, into the table's slots only. The file reader
// opens only files, reads to their end, and refuses dead handles: a closed one, a made-up one
// and none at all.
TEST_F(SoundDeviceTest, PlainNamesAreOpenedInTheCurrentFolderIntoKnownSlotsOnly) {
    std::ofstream(dir_ + "/Menu.snd", std::ios::binary) << Wave16({1, 2, 3, 4}, 22050);
    const int voices = plat::TheMixer().Voices();
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    SoundDevice.LoadSound(kMenuSlot, "Menu.snd");
    SoundDevice.LoadSound(kCrashSlot, "Crash1.snd");
    SoundDevice.LoadSound(-1, "Menu.snd");
    SoundDevice.LoadSound(kSoundSlots, "Menu.snd");
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_NE(MenuSound, nullptr);
    EXPECT_EQ(CrashSound, nullptr);
    // Nothing made for the slots outside the table.
    EXPECT_EQ(plat::TheMixer().Voices(), voices + 1);

    char buf[32], missing[] = "/nonexistent/folder/none.snd";
    EXPECT_EQ(mmioOpenA(missing, nullptr, MMIO_ALLOCBUF | MMIO_READ), nullptr);
    EXPECT_EQ(mmioOpenA(dir_.data(), nullptr, MMIO_READ), nullptr);  // a folder
    HMMIO h = mmioOpenA(File(Riff("WAVE", "")).data(), nullptr, MMIO_READ);
    EXPECT_EQ(mmioRead(h, buf, 32), 12);  // to its end
    EXPECT_EQ(mmioRead(h, buf, 8), 0);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
    MMCKINFO ck{0, 0, mmioFOURCC('W', 'A', 'V', 'E'), 0, 0};
    for (HMMIO bad : {h, reinterpret_cast<HMMIO>(uintptr_t{0x7654321}), HMMIO{}}) {
        EXPECT_EQ(mmioRead(bad, buf, 4), -1);
        EXPECT_TRUE(mmioDescend(bad, &ck, nullptr, MMIO_FINDRIFF) && mmioAscend(bad, &ck, 0) &&
                    mmioClose(bad, 0));
    }
}

}  // namespace
