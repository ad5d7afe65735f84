// What the game plays: the engine buffers following the speed every race frame, the crash,
// the bonus chime, and the mixed sound written by --audio.
#include "../support/support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

using namespace testing_support;

namespace {

// The log's sound lines grouped by the frame in which they happened (frame 0: before the
// first flip); a line belongs to the frame that the next flip ends.
std::map<int, std::vector<std::string>> SoundByFrame(const std::vector<std::string>& log) {
    std::map<int, std::vector<std::string>> frames;
    int frame = 1;
    for (const auto& line : log) {
        if (line.rfind("flip ", 0) == 0) {
            frame = std::atoi(line.c_str() + 5) + 1;
        } else if (line.rfind("sound ", 0) == 0) {
            frames[frame].push_back(line);
        }
    }
    return frames;
}

int Value(const std::string& line) { return std::atoi(line.substr(line.rfind(' ') + 1).c_str()); }

TEST(RaceSound, EngineBuffersFollowTheSpeedAndRestartOnlyWhenRunOut) {
    HeadlessRun run = RunHeadless({"--frames", "700"}, "100 press ENTER\n110 down UP\n");
    ASSERT_EQ(run.status, 0) << run.stderrText;
    auto frames = SoundByFrame(run.log);
    // The race's first frame is the one after the key's frame.
    int first = 0;
    for (const auto& [frame, lines] : frames) {
        if (!lines.empty() && lines[0].rfind("sound 3 freq", 0) == 0) {
            first = frame;
            break;
        }
    }
    ASSERT_GT(first, 100);
    int fastest = -1000;
    std::vector<int> plays[4];
    for (int frame = first; frame <= 700; ++frame) {
        const auto& lines = frames[frame];
        ASSERT_GE(lines.size(), 2u) << "frame " << frame;
        // Every frame: the third engine buffer, then the first, from the same speed.
        ASSERT_EQ(lines[0].rfind("sound 3 freq ", 0), 0u) << lines[0];
        ASSERT_EQ(lines[1].rfind("sound 1 freq ", 0), 0u) << lines[1];
        int high = Value(lines[0]);
        int low = Value(lines[1]);
        EXPECT_EQ(high - low, 10000);
        EXPECT_EQ((low - 22000) % 50, 0);
        int speed = (low - 22000) / 50;
        if (frame < first + 250 && speed > fastest) fastest = speed;  // the countdown: no traffic yet
        // Then the plays, in buffer order, only for buffers that have run out.
        int previous = 0;
        for (size_t i = 2; i < lines.size(); ++i) {
            if (lines[i].rfind("sound 4", 0) == 0 ||
                lines[i].rfind("sound 5", 0) == 0) {
                continue;  // a crash or a bonus in the same frame
            }
            ASSERT_TRUE(lines[i] == "sound 1 play" || lines[i] == "sound 2 play" || lines[i] == "sound 3 play")
                << lines[i];
            int buffer = lines[i][6] - '0';
            EXPECT_GT(buffer, previous);
            previous = buffer;
            plays[buffer].push_back(frame);
        }
    }
    EXPECT_GT(fastest, 200) << "the accelerator is held through the countdown";
    for (int buffer = 1; buffer <= 3; ++buffer) {
        ASSERT_GE(plays[buffer].size(), 3u);
        EXPECT_EQ(plays[buffer][0], first);
    }
    // The second buffer plays at the file's own rate: its recording lasts 48 frames, so it is
    // started again in the first frame after it has run out.
    for (size_t i = 1; i < plays[2].size(); ++i) {
        int gap = plays[2][i] - plays[2][i - 1];
        EXPECT_GE(gap, 48);
        EXPECT_LE(gap, 49);
    }
    // The third buffer runs faster than the first (higher frequency), so it restarts more often.
    EXPECT_GT(plays[3].size(), plays[1].size());
}

TEST(RaceSound, CrashesPlayTheCrashSoundAtItsPitch) {
    HeadlessRun run = RunHeadless({"--frames", "1200"},
                                  "100 press ENTER\n110 down UP\n300 down LEFT\n360 up LEFT\n");
    ASSERT_EQ(run.status, 0) << run.stderrText;
    int crashes = 0;
    int plays = 0;
    for (size_t i = 0; i < run.log.size(); ++i) {
        if (run.log[i].rfind("sound 4", 0) != 0) continue;
        if (run.log[i] == "sound 4 play") {
            ++plays;
            ASSERT_GT(i, 0u);
            EXPECT_EQ(run.log[i - 1], "sound 4 freq 22000") << "the pitch is set just before";
            continue;
        }
        EXPECT_EQ(run.log[i], "sound 4 freq 22000");
        ++crashes;
    }
    EXPECT_GT(crashes, 0);
    EXPECT_GT(plays, 0);
    EXPECT_LE(plays, crashes) << "a crash sound still playing is not restarted";
}

TEST(RaceSound, AudioFileHoldsTheWholeRunAt48kHzStereo) {
    std::string dir = TempDir("audio");
    std::string wav = dir + "/race.wav";
    HeadlessRun run = RunHeadless({"--frames", "400", "--audio", wav}, "100 press ENTER\n110 down UP\n");
    ASSERT_EQ(run.status, 0) << run.stderrText;
    std::ifstream in(wav, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 44u);
    auto u32 = [&](size_t at) {
        return uint32_t{bytes[at]} | (uint32_t{bytes[at + 1]} << 8) | (uint32_t{bytes[at + 2]} << 16) |
               (uint32_t{bytes[at + 3]} << 24);
    };
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(bytes[at] | (bytes[at + 1] << 8)); };
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u16(20), 1u);      // PCM
    EXPECT_EQ(u16(22), 2u);      // stereo
    EXPECT_EQ(u32(24), 48000u);  // frames a second
    EXPECT_EQ(u16(34), 16u);
    // Every flip is 800 frames and every Sleep 48 frames a millisecond.
    uint64_t frames = 0;
    for (const auto& line : run.log) {
        if (line.rfind("flip ", 0) == 0) frames += 800;
        if (line.rfind("sleep ", 0) == 0) frames += 48 * static_cast<uint64_t>(std::atoi(line.c_str() + 6));
    }
    EXPECT_EQ(u32(40), frames * 4);
    // The race is heard: the engine makes the second half of the file anything but silent.
    int16_t loudest = 0;
    for (size_t at = 44 + (bytes.size() - 44) / 2; at + 1 < bytes.size(); at += 2) {
        auto sample = static_cast<int16_t>(u16(at));
        if (sample > loudest) loudest = sample;
    }
    EXPECT_GT(loudest, 1000);
}

}  // namespace
