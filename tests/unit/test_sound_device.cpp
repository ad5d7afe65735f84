// The sound device as the game uses it: loading .snd files into the slots, playing once
// without restarting, stopping only what sounds, and pitch changes heard in the mix.
#include "../support/support.h"

#include "../../platform/core/mixer.h"
#include "../../src/app/app.h"
#include "../../src/audio/sound.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace testing_support;

namespace {

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string Le16(uint16_t v) {
    std::string s(2, '\0');
    s[0] = static_cast<char>(v & 0xFF);
    s[1] = static_cast<char>(v >> 8);
    return s;
}

std::string Chunk(const char* id, const std::string& data) {
    std::string s = std::string(id, 4) + Le32(static_cast<uint32_t>(data.size())) + data;
    if (data.size() % 2 != 0) s.push_back('\0');
    return s;
}

std::string Riff(const char* form, const std::string& body) {
    return "RIFF" + Le32(static_cast<uint32_t>(4 + body.size())) + std::string(form, 4) + body;
}

// The 16 bytes of a PCM format chunk.
std::string Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                   uint16_t align = 0) {
    if (align == 0) align = static_cast<uint16_t>(channels * bits / 8);
    return Le16(tag) + Le16(channels) + Le32(rate) + Le32(rate * align) + Le16(align) + Le16(bits);
}

std::string Samples16(const std::vector<int16_t>& samples) {
    std::string s;
    for (int16_t v : samples) s += Le16(static_cast<uint16_t>(v));
    return s;
}

std::string Wave16(const std::vector<int16_t>& samples, uint32_t rate) {
    return Riff("WAVE", Chunk("fmt ", Format(WAVE_FORMAT_PCM, 1, rate, 16)) +
                            Chunk("data", Samples16(samples)));
}

std::vector<int16_t> Render(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2, 0x5555);
    plat::TheMixer().Render(out.data(), frames);
    return out;
}

std::vector<int16_t> Left(const std::vector<int16_t>& out) {
    std::vector<int16_t> left;
    for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
    return left;
}

int ZeroCrossings(const std::vector<int16_t>& out) {
    int count = 0;
    for (size_t i = 2; i < out.size(); i += 2) {
        if ((out[i - 2] < 0) != (out[i] < 0)) ++count;
    }
    return count;
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
        DirectSoundObject = nullptr;
        for (auto& slot : SoundBuffers) {
            if (slot != nullptr) slot->Release();
            slot = nullptr;
        }
        ASSERT_TRUE(SoundDevice.Init());
        ASSERT_NE(DirectSoundObject, nullptr);
        plat::TheMixer().StopAll();
        dir_ = TempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        Backend().log.clear();
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // Loads the bytes into a slot through a file.
    LPDIRECTSOUNDBUFFER Load(int slot, const std::string& bytes) {
        std::string path = Write("load" + std::to_string(++files_) + ".snd", bytes);
        SoundDevice.LoadSound(slot, path.c_str());
        return SoundBuffers[slot];
    }
    std::string Event(LPDIRECTSOUNDBUFFER b, const std::string& what) {
        return "sound " + std::to_string(plat::SoundBufferIndex(b)) + " " + what;
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
    const std::string fmt = Chunk("fmt ", Format(WAVE_FORMAT_PCM, 1, 22050, 8));
    const std::string data = Chunk("data", std::string(64, '\x90'));
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty file", ""},
        {"not RIFF", "RIFX" + Le32(4 + static_cast<uint32_t>(fmt.size() + data.size())) + "WAVE" + fmt + data},
        {"not WAVE", Riff("AVI ", fmt + data)},
        {"no format chunk", Riff("WAVE", data)},
        {"no data chunk", Riff("WAVE", fmt + Chunk("LIST", "INFO"))},
        {"data before format", Riff("WAVE", data + fmt)},
        {"format chunk of 14 bytes", Riff("WAVE", Chunk("fmt ", Format(WAVE_FORMAT_PCM, 1, 22050, 8).substr(0, 14)) + data)},
        {"not PCM", Riff("WAVE", Chunk("fmt ", Format(3, 1, 22050, 32)) + data)},
        {"24 bits", Riff("WAVE", Chunk("fmt ", Format(WAVE_FORMAT_PCM, 1, 22050, 24)) + Chunk("data", std::string(66, '\0')))},
        {"three channels", Riff("WAVE", Chunk("fmt ", Format(WAVE_FORMAT_PCM, 3, 22050, 8)) + Chunk("data", std::string(66, '\0')))},
        {"rate of 50 Hz", Riff("WAVE", Chunk("fmt ", Format(WAVE_FORMAT_PCM, 1, 50, 8)) + data)},
        {"wrong block alignment", Riff("WAVE", Chunk("fmt ", Format(WAVE_FORMAT_PCM, 2, 22050, 16, 2)) + data)},
        {"empty data", Riff("WAVE", fmt + Chunk("data", ""))},
        {"three bytes of data", Riff("WAVE", fmt + Chunk("data", "abc"))},
        {"data larger than any buffer", Riff("WAVE", fmt + "data" + Le32(DSBSIZE_MAX + 1u) + "abcd")},
    };
    const int voices = plat::TheMixer().Voices();
    for (const Case& c : cases) {
        EXPECT_EQ(Load(6, c.bytes), nullptr) << c.what;
    }
    std::string missing = dir_ + "/Missing.snd";
    SoundDevice.LoadSound(6, missing.c_str());
    EXPECT_EQ(SoundBuffers[6], nullptr);
    SoundDevice.LoadSound(6, dir_.c_str());  // a folder
    EXPECT_EQ(SoundBuffers[6], nullptr);
    EXPECT_EQ(plat::TheMixer().Voices(), voices);  // no buffer left behind

    // What the game does with an empty slot passes over it.
    SoundDevice.Play(SoundBuffers[6]);
    SoundDevice.Stop(SoundBuffers[6]);
    SetSoundFrequency(SoundBuffers[6], 22000);
    EXPECT_TRUE(Backend().Lines("sound").empty());
}

TEST_F(SoundDeviceTest, FormatChunksOfSixteenBytesPlayAtTheFileRate) {
    std::vector<int16_t> ramp(240);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 100 - 12000);
    const std::string samples = Chunk("data", Samples16(ramp));
    const std::string fmt16 = Chunk("fmt ", Format(WAVE_FORMAT_PCM, 1, 24000, 16));
    const std::string fmt18 = Chunk("fmt ", Format(WAVE_FORMAT_PCM, 1, 24000, 16) + Le16(0));
    const std::string files[] = {
        Riff("WAVE", fmt16 + samples),
        Riff("WAVE", fmt18 + samples),
        // A LIST chunk of odd size with its pad byte, and an unknown chunk, before the format.
        Riff("WAVE", Chunk("LIST", std::string("INFOISFT\x05\0\0\0Tool!", 17)) + Chunk("fact", "1234") + fmt16 + samples),
        Riff("WAVE", fmt16 + Chunk("cue ", "xyz") + samples),
    };
    for (const std::string& bytes : files) {
        plat::TheMixer().StopAll();
        LPDIRECTSOUNDBUFFER b = Load(1, bytes);
        ASSERT_NE(b, nullptr);
        SoundDevice.Play(b);
        // 240 samples at 24 kHz sound for 480 output frames, each second one halfway between.
        std::vector<int16_t> left = Left(Render(479));
        for (int k = 0; k < 479; ++k) {
            int expected = k % 2 == 0 ? ramp[k / 2] : (ramp[k / 2] + ramp[k / 2 + 1]) / 2;
            ASSERT_EQ(left[k], expected) << k;
        }
        EXPECT_EQ(Status(b), static_cast<DWORD>(DSBSTATUS_PLAYING));
        Render(1);
        EXPECT_EQ(Status(b), 0u);
        b->Release();
        SoundBuffers[1] = nullptr;
    }

    // 8-bit stereo plays too, each side on its own.
    LPDIRECTSOUNDBUFFER b = Load(2, Riff("WAVE", Chunk("fmt ", Format(WAVE_FORMAT_PCM, 2, 48000, 8)) +
                                                     Chunk("data", "\x80\xC0\x40\xFF")));
    ASSERT_NE(b, nullptr);
    SoundDevice.Play(b);
    std::vector<int16_t> out = Render(3);
    EXPECT_EQ(out, (std::vector<int16_t>{0, 64 * 256, -64 * 256, 127 * 256, 0, 0}));
}

TEST_F(SoundDeviceTest, ShortDataChunksMakeTheirBufferWithTheRestSilent) {
    for (int bits : {8, 16}) {
        std::string present(600, '\x11');
        std::string bytes = Riff("WAVE", Chunk("fmt ", Format(WAVE_FORMAT_PCM, 1, 22050, static_cast<uint16_t>(bits))) +
                                             "data" + Le32(1000) + present);
        LPDIRECTSOUNDBUFFER b = Load(3, bytes);
        ASSERT_NE(b, nullptr) << bits;
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0;
        DWORD n2 = 0;
        ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
        ASSERT_EQ(n1, 1000u);
        const auto* mem = static_cast<const uint8_t*>(p1);
        const uint8_t silence = bits == 8 ? 0x80 : 0x00;
        for (int i = 0; i < 1000; ++i) {
            ASSERT_EQ(mem[i], i < 600 ? 0x11 : silence) << bits << " bits, byte " << i;
        }
        EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
        b->Release();
        SoundBuffers[3] = nullptr;
    }
}

TEST_F(SoundDeviceTest, PlayDoesNotRestartASoundingBuffer) {
    std::vector<int16_t> ramp(1000);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 20 + 1);
    LPDIRECTSOUNDBUFFER b = Load(0, Wave16(ramp, 48000));
    ASSERT_NE(b, nullptr);
    SoundDevice.Play(b);
    std::vector<int16_t> left = Left(Render(100));
    EXPECT_EQ(left[0], ramp[0]);
    EXPECT_EQ(left[99], ramp[99]);
    SoundDevice.Play(b);  // sounding: nothing happens
    SoundDevice.Play(b);
    left = Left(Render(100));
    EXPECT_EQ(left[0], ramp[100]);
    EXPECT_EQ(Backend().Lines("sound"), (std::vector<std::string>{Event(b, "play")}));

    Render(800);  // to its end
    EXPECT_EQ(Status(b), 0u);
    SoundDevice.Play(b);
    left = Left(Render(2));
    EXPECT_EQ(left[0], ramp[0]);  // again from its beginning
    EXPECT_EQ(left[1], ramp[1]);
    EXPECT_EQ(Backend().Lines("sound"), (std::vector<std::string>{Event(b, "play"), Event(b, "play")}));
}

TEST_F(SoundDeviceTest, FrequencyChangesDuringPlayChangeThePitch) {
    // A triangle of 100 samples a period: 220.5 Hz at 22050 Hz, two zero crossings a period.
    std::vector<int16_t> wave(22050);
    for (size_t i = 0; i < wave.size(); ++i) {
        int phase = static_cast<int>(i % 100);
        wave[i] = static_cast<int16_t>(std::abs(phase - 50) * 480 - 12000 + 240);
    }
    LPDIRECTSOUNDBUFFER b = Load(1, Wave16(wave, 22050));
    ASSERT_NE(b, nullptr);
    SoundDevice.Play(b);
    const int own = ZeroCrossings(Render(4800));  // a tenth of a second: 44 crossings
    EXPECT_NEAR(own, 44, 2);
    SetSoundFrequency(b, 44100);
    SoundDevice.Play(b);  // what the race does each frame: pitch, then play
    const int doubled = ZeroCrossings(Render(4800));
    EXPECT_NEAR(doubled, 88, 2);
    SetSoundFrequency(b, 11025);
    const int halved = ZeroCrossings(Render(4800));
    EXPECT_NEAR(halved, 22, 2);
    EXPECT_EQ(Status(b), static_cast<DWORD>(DSBSTATUS_PLAYING));
    EXPECT_EQ(Backend().Lines("sound"),
              (std::vector<std::string>{Event(b, "play"), Event(b, "freq 44100"), Event(b, "freq 11025")}));
}

TEST_F(SoundDeviceTest, StopOnlyStopsASoundingBuffer) {
    std::vector<int16_t> beep(480, 1000);
    const std::string file = Wave16(beep, 48000);
    for (int slot = 0; slot < 6; ++slot) ASSERT_NE(Load(slot, file), nullptr);
    SoundDevice.Play(SoundBuffers[0]);
    Render(480);  // played to its end
    EXPECT_EQ(Status(SoundBuffers[0]), 0u);
    SoundDevice.Stop(SoundBuffers[0]);
    EXPECT_EQ(Backend().Lines("sound"), (std::vector<std::string>{Event(SoundBuffers[0], "play")}));

    // The shutdown stops all ten slots: only the two sounding buffers get a stop.
    Backend().log.clear();
    SoundDevice.Play(SoundBuffers[2]);
    SoundDevice.Play(SoundBuffers[5]);
    Render(100);
    for (auto* slot : SoundBuffers) SoundDevice.Stop(slot);
    EXPECT_EQ(Backend().Lines("sound"),
              (std::vector<std::string>{Event(SoundBuffers[2], "play"), Event(SoundBuffers[5], "play"),
                                        Event(SoundBuffers[2], "stop"), Event(SoundBuffers[5], "stop")}));
    EXPECT_EQ(Status(SoundBuffers[2]), 0u);
    EXPECT_EQ(Render(10), std::vector<int16_t>(20, 0));
    for (int slot = 6; slot < SoundSlots; ++slot) EXPECT_EQ(SoundBuffers[slot], nullptr);

    // A stopped buffer plays on from where it stopped.
    SoundDevice.Play(SoundBuffers[2]);
    EXPECT_EQ(Left(Render(380)).back(), 1000);
    EXPECT_EQ(Status(SoundBuffers[2]), 0u);
}

TEST_F(SoundDeviceTest, PlainNamesAreOpenedInTheCurrentFolder) {
    Write("Menu.snd", Wave16({1, 2, 3, 4}, 22050));
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    SoundDevice.LoadSound(0, "Menu.snd");
    SoundDevice.LoadSound(4, "Crash1.snd");
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_NE(MenuSound, nullptr);
    EXPECT_EQ(CrashSound, nullptr);
    // Slots outside the table are refused.
    SoundDevice.LoadSound(-1, "Menu.snd");
    SoundDevice.LoadSound(SoundSlots, "Menu.snd");
}

}  // namespace
