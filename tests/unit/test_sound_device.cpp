// The sound device as the game uses it: loading .snd files into the slots, playing once
// without restarting, stopping only what sounds, and pitch changes heard in the mix.
#include "../support/support.h"

#include "../../platform/core/mixer.h"
#include "../../src/app/app.h"
#include "../../src/audio/sound.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace testing_support;
using namespace std::literals;

namespace {

using Samples = std::vector<int16_t>;

std::string Le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
    return s;
}

std::string Chunk(const char* id, const std::string& data) {
    return std::string(id, 4) + Le(static_cast<uint32_t>(data.size()), 4) + data + (data.size() % 2 ? "\0"s : ""s);
}

std::string Wave(const std::string& body) { return "RIFF" + Le(static_cast<uint32_t>(4 + body.size()), 4) + "WAVE" + body; }

// The 16 bytes of a format chunk.
std::string Format(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag = WAVE_FORMAT_PCM) {
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    return Le(tag, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * align, 4) + Le(align, 2) + Le(bits, 2);
}

std::string Pcm16(const Samples& samples) {
    std::string s;
    for (int16_t v : samples) s += Le(static_cast<uint16_t>(v), 2);
    return s;
}

// A mono 16-bit file.
std::string Wave16(const Samples& samples, uint32_t rate) {
    return Wave(Chunk("fmt ", Format(1, rate, 16)) + Chunk("data", Pcm16(samples)));
}

// The left side of the next frames of the mix.
Samples Left(int frames) {
    Samples out(static_cast<size_t>(frames) * 2, 0x5555), left;
    plat::TheMixer().Render(out.data(), frames);
    for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
    return left;
}

DWORD Status(LPDIRECTSOUNDBUFFER b) {
    DWORD status = 0xDEAD;
    EXPECT_EQ(b->GetStatus(&status), DS_OK);
    return status;
}

class SoundDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        Backend().Reset();
        ASSERT_NE(GameWindow(), nullptr);
        if (DirectSoundObject != nullptr) DirectSoundObject->Release();
        for (auto& slot : SoundBuffers) {
            if (slot != nullptr) slot->Release();
            slot = nullptr;
        }
        ASSERT_TRUE(SoundDevice.Init());
        plat::TheMixer().StopAll();
        dir_ = TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    // Loads the bytes into a slot through a file.
    LPDIRECTSOUNDBUFFER Load(int slot, const std::string& bytes) {
        std::string path = dir_ + "/" + std::to_string(++files_) + ".snd";
        std::ofstream(path, std::ios::binary) << bytes;
        SoundDevice.LoadSound(slot, path.c_str());
        return SoundBuffers[slot];
    }

    std::string dir_;
    int files_ = 0;
};

TEST_F(SoundDeviceTest, InitNeedsTheSoundDevice) {
    DirectSoundObject->Release();
    Backend().failAudio = true;
    EXPECT_FALSE(SoundDevice.Init());
    EXPECT_EQ(DirectSoundObject, nullptr);
    Backend().failAudio = false;
    EXPECT_TRUE(SoundDevice.Init());
    EXPECT_NE(DirectSoundObject, nullptr);
}

TEST_F(SoundDeviceTest, FilesThatCannotBePlayedLeaveTheSlotEmpty) {
    const std::string fmt = Chunk("fmt ", Format(1, 22050, 8)), data = Chunk("data", std::string(64, '\x90'));
    const struct { const char* what; std::string bytes; } cases[] = {
        {"empty file", ""},
        {"no format chunk", Wave(data)},
        {"no data chunk", Wave(fmt + Chunk("LIST", "INFO"))},
        {"data before format", Wave(data + fmt)},
        {"format chunk of 14 bytes", Wave(Chunk("fmt ", Format(1, 22050, 8).substr(0, 14)) + data)},
        {"not PCM", Wave(Chunk("fmt ", Format(1, 22050, 32, 3)) + data)},
    };
    for (const auto& c : cases) EXPECT_EQ(Load(6, c.bytes), nullptr) << c.what;

    // What the game does with an empty slot passes over it.
    SoundDevice.Play(SoundBuffers[6]);
    SoundDevice.Stop(SoundBuffers[6]);
    SetSoundFrequency(SoundBuffers[6], 22000);
    EXPECT_TRUE(Backend().Lines("sound").empty());
}

TEST_F(SoundDeviceTest, FilesPlayAtTheirOwnRateWithWhatTheirDataChunkLacksSilent) {
    const std::string fmt = Chunk("fmt ", Format(1, 24000, 16)), data = Chunk("data", Pcm16({1000, 2000, 3000, 4000}));
    const Samples ramp = {1000, 1500, 2000, 2500, 3000, 3500, 4000, 2000};
    const struct { std::string bytes; Samples left; } files[] = {
        {Wave(fmt + data), ramp},
        {Wave(Chunk("fmt ", Format(1, 24000, 16) + Le(0, 2)) + data), ramp},  // a format chunk of 18 bytes
        {Wave(Chunk("fact", "1234") + fmt + Chunk("cue ", "xyz") + data), ramp},  // other chunks around
        // Data chunks that claim four samples and hold two.
        {Wave(fmt + "data" + Le(8, 4) + Pcm16({1000, 2000})), {1000, 1500, 2000, 1000, 0, 0, 0, 0}},
        {Wave(Chunk("fmt ", Format(1, 24000, 8)) + "data" + Le(4, 4) + "\xC0\xC0"), {16384, 16384, 16384, 8192, 0, 0, 0, 0}},
    };
    for (int slot = 0; slot < 5; ++slot) {
        LPDIRECTSOUNDBUFFER b = Load(slot, files[slot].bytes);
        ASSERT_NE(b, nullptr) << slot;
        SoundDevice.Play(b);
        EXPECT_EQ(Left(8), files[slot].left) << slot;
        EXPECT_EQ(Status(b), 0u) << slot;  // over with its last frame
    }

    // 8-bit stereo plays too, each side on its own.
    LPDIRECTSOUNDBUFFER b = Load(5, Wave(Chunk("fmt ", Format(2, 48000, 8)) + Chunk("data", "\x80\xC0\x40\xFF\x00\x80"s)));
    ASSERT_NE(b, nullptr);
    SoundDevice.Play(b);
    Samples out(6);
    plat::TheMixer().Render(out.data(), 3);
    EXPECT_EQ(out, (Samples{0, 64 * 256, -64 * 256, 127 * 256, -128 * 256, 0}));
}

// What the race does each frame: set an engine's pitch, then play it; a crash or bonus
// sound plays once; at the end every slot is stopped.
TEST_F(SoundDeviceTest, PlayAndStopTouchOnlyWhatNeedsItAndPitchIsHeard) {
    Samples ramp(100);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(100 * i + 100);
    LPDIRECTSOUNDBUFFER engine = Load(1, Wave16(ramp, 24000)), bonus = Load(5, Wave16(Samples(4, 1000), 48000));
    ASSERT_TRUE(engine && bonus);
    SoundDevice.Play(engine);
    EXPECT_EQ(Left(2), (Samples{100, 150}));
    SoundDevice.Play(engine);  // sounding: neither restarted nor told again
    SetSoundFrequency(engine, 48000);
    SoundDevice.Play(engine);
    EXPECT_EQ(Left(2), (Samples{200, 300}));
    SetSoundFrequency(engine, 12000);
    SoundDevice.Play(bonus);
    EXPECT_EQ(Left(4), (Samples{1400, 1425, 1450, 1475}));
    EXPECT_EQ(Status(bonus), 0u);  // played to its end: a stop passes it over
    for (auto* slot : SoundBuffers) SoundDevice.Stop(slot);
    EXPECT_EQ(Status(engine), 0u);
    EXPECT_EQ(Left(2), Samples(2, 0));
    SoundDevice.Play(engine);  // on from where it stopped
    EXPECT_EQ(Left(1), Samples{500});
    SetSoundFrequency(engine, DSBFREQUENCY_MAX);
    Left(100);
    SoundDevice.Play(engine);  // played to its end: again from its beginning
    EXPECT_EQ(Left(1), Samples{100});
    const std::string e = "sound " + std::to_string(plat::SoundBufferIndex(engine)) + " ",
                      b = "sound " + std::to_string(plat::SoundBufferIndex(bonus)) + " ";
    EXPECT_EQ(Backend().Lines("sound"), (std::vector<std::string>{e + "play", e + "freq 48000", e + "freq 12000", b + "play",
                                                                  e + "stop", e + "play", e + "freq 100000", e + "play"}));
}

TEST_F(SoundDeviceTest, PlainNamesAreOpenedInTheCurrentFolderIntoKnownSlotsOnly) {
    std::ofstream(dir_ + "/Menu.snd", std::ios::binary) << Wave16({1, 2, 3, 4}, 22050);
    const int voices = plat::TheMixer().Voices();
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    SoundDevice.LoadSound(0, "Menu.snd");
    SoundDevice.LoadSound(4, "Crash1.snd");
    SoundDevice.LoadSound(-1, "Menu.snd");
    SoundDevice.LoadSound(SoundSlots, "Menu.snd");
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_NE(MenuSound, nullptr);
    EXPECT_EQ(CrashSound, nullptr);
    EXPECT_EQ(plat::TheMixer().Voices(), voices + 1);  // nothing made for the slots outside the table
}

}  // namespace
