// What the game plays in a race: the engine buffers following the speed every frame, the
// crash, and the mixed sound written by --audio.
#include "../support/drawn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace testing_support;

namespace {

int Value(const std::string& line) { return std::atoi(line.substr(line.rfind(' ') + 1).c_str()); }

TEST(RaceSound, EngineAndCrashSoundsAndTheMixedSoundFile) {
    // A race from frame 101, the accelerator held from frame 110, steering into the traffic;
    // the start-up pause and the race's pause are its only Sleeps.
    std::string wav = TempDir("audio") + "/race.wav";
    HeadlessRun run = RunHeadless({"--frames", "1200", "--audio", wav},
                                  "100 press ENTER\n110 down UP\n300 down LEFT\n360 up LEFT\n");
    ASSERT_EQ(run.status, 0) << run.stderrText;
    // The sound lines after each flip of the race.
    std::vector<std::vector<std::string>> after(1201);
    size_t flip = 0;
    for (const auto& line : Only(run.log, {"flip ", "sound "})) {
        if (line[1] == 'l') flip = static_cast<size_t>(Value(line));
        if (line[1] == 'o' && flip >= 101) after[flip].push_back(line);
    }
    int fastest = 0;
    std::vector<int> plays[4];
    for (int frame = 101; frame <= 1200; ++frame) {
        const auto& lines = after[static_cast<size_t>(frame)];
        // Every race frame sets the third engine buffer, then the first, from the same speed.
        ASSERT_GE(lines.size(), 2u) << "frame " << frame;
        ASSERT_EQ(lines[0].rfind("sound 3 freq ", 0), 0u) << lines[0];
        ASSERT_EQ(lines[1].rfind("sound 1 freq ", 0), 0u) << lines[1];
        int low = Value(lines[1]);
        EXPECT_EQ(Value(lines[0]) - low, 10000);
        EXPECT_EQ((low - 22000) % 50, 0);
        if (frame <= 350) fastest = std::max(fastest, (low - 22000) / 50);  // the countdown
        // Then it plays the engine buffers that have run out, in order.
        size_t i = 2;
        for (int b = 1; b <= 3; ++b) {
            if (i < lines.size() && lines[i] == "sound " + std::to_string(b) + " play") {
                plays[b].push_back(frame);
                ++i;
            }
        }
        // Then come the next frame's bonus chimes and crashes: a crash sets 22000 Hz, and its
        // sound plays right after unless it is still playing.
        for (; i < lines.size(); ++i) {
            bool crash = lines[i] == "sound 4 freq 22000" ||
                         (lines[i] == "sound 4 play" && lines[i - 1] == "sound 4 freq 22000");
            EXPECT_TRUE(crash || lines[i].rfind("sound 5 ", 0) == 0) << "frame " << frame << ": " << lines[i];
        }
    }
    EXPECT_GT(fastest, 200) << "the accelerator is held through the countdown";
    size_t crashes = Only(run.log, {"sound 4 freq"}).size();
    EXPECT_GT(Only(run.log, {"sound 4 play"}).size(), 0u);
    EXPECT_LE(Only(run.log, {"sound 4 play"}).size(), crashes);
    for (int buffer = 1; buffer <= 3; ++buffer) {
        ASSERT_GE(plays[buffer].size(), 3u);
        EXPECT_EQ(plays[buffer][0], 101);
    }
    // The second buffer plays at the file's own rate: its recording lasts 48 frames, so it is
    // started again in the first frame after it has run out. The third runs faster than the first.
    for (size_t i = 1; i < plays[2].size(); ++i) {
        EXPECT_GE(plays[2][i] - plays[2][i - 1], 48);
        EXPECT_LE(plays[2][i] - plays[2][i - 1], 49);
    }
    EXPECT_GT(plays[3].size(), plays[1].size());

    // The whole run as a 48 kHz stereo 16-bit PCM file.
    std::string bytes = Bytes(wav);
    ASSERT_GE(bytes.size(), 44u);
    auto le = [&](size_t at, int size) {  // a little-endian number
        uint32_t value = 0;
        for (size_t i = at + static_cast<size_t>(size); i-- > at;) value = value << 8 | static_cast<uint8_t>(bytes[i]);
        return value;
    };
    EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(8, 8), "RIFFWAVEfmt ");
    // PCM, two channels, 48000 frames a second, 16 bits; 800 frames a flip and 48 a millisecond
    // of Sleep, four bytes each.
    const uint32_t data = (1200 * 800 + 1500 * 48) * 4;
    EXPECT_EQ((std::vector<uint32_t>{le(4, 4), le(20, 2), le(22, 2), le(24, 4), le(34, 2), le(40, 4)}),
              (std::vector<uint32_t>{36 + data, 1, 2, 48000, 16, data}));
    EXPECT_EQ(bytes.size(), 44 + data);
    // The race is heard: the engine makes the second half of the file anything but silent.
    int loudest = 0;
    for (size_t at = 44 + (bytes.size() - 44) / 2; at + 1 < bytes.size(); at += 2) {
        loudest = std::max(loudest, static_cast<int>(static_cast<int16_t>(le(at, 2))));
    }
    EXPECT_GT(loudest, 1000);
}

}  // namespace
