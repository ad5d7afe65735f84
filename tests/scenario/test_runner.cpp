// The headless runner itself: its options, its script, its pictures, logs and sound file, and
// the repeatability of a whole run.
#include "../support/drawn.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

TEST(Runner, BadOptionsAndScriptLinesAreRefusedWithOneLineBeforeAnythingRuns) {
    auto refused = [](const std::vector<std::string>& args, const std::string& script,
                      const std::string& dir = "") {
        HeadlessRun run = RunHeadless(args, script, dir);
        EXPECT_EQ(run.status, 2) << args[0] << " / " << script;
        EXPECT_TRUE(run.log.empty()) << "the game ran";
        EXPECT_TRUE(run.stderrText.size() > 1 &&
                    run.stderrText.find('\n') == run.stderrText.size() - 1)
            << run.stderrText;
    };
    // Options, their words apart by '|'.
    for (std::string options : {"--bogus", "frames|10", "--frames", "--frames|ten", "--frames|-5",
                                "--shot|12:", "--shot|x:a.png", "--format|888", "--fail|mouse",
                                "--script|/nonexistent/s.txt"}) {
        std::vector<std::string> args(1);
        for (char c : options) c == '|' ? void(args.emplace_back()) : args.back().push_back(c);
        refused(args, "");
    }
    for (const char* script :
         {"5 jump\n", "five press ENTER\n", "5 press\n", "5 press ENTER now\n", "5 press NOKEY\n",
          "5 press F13\n", "5 press code:255\n", "5 shot\n", "10 press ENTER\n9 press ENTER\n",
          "100 press DOWN\n# fine\n\n101 press\n"})
        refused({"--frames", "10"}, script);
    // A folder that cannot be entered: nothing is run either.
    refused({"--frames", "10"}, "", "/nonexistent/asphaltix");
}

// Keys without a meaning in the main menu change nothing; code:13 is Enter and starts a race.
// Relative paths name files in the folder the runner was started from, while the game runs in
// its data folder; shots are written and logged before the next flip.
TEST(Runner, ScriptKeyFormsRelativePathsAndShots) {
    const std::string start = TempDir("relative");
    ASSERT_EQ(::mkdir((start + "/sub").c_str(), 0755), 0);
    std::ofstream(start + "/script.txt")
        << "# keys the menu does not know\n\n"
           "5 shot sub/rel5.png\n100 press F1   # a function key\n100 press F12\n"
           "101 press Q\n101 press 7\n102 press code:65\n102 press LEFT\n"
           "103 down RIGHT\n104 repeat RIGHT\n105 up RIGHT\n   \n110 press code:13\n";
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(start.c_str()), 0);
    HeadlessRun run = RunHeadless({"--log", "rel.log", "--shot", "7:rel7.png", "--script",
                                   "script.txt", "--audio", "rel.wav", "--frames", "140"});
    ASSERT_EQ(chdir(old), 0);
    EXPECT_EQ(run.status, 0) << run.stderrText;
    std::vector<std::string> log;
    for (std::ifstream in(start + "/rel.log"); std::getline(in, log.emplace_back());) continue;
    log.pop_back();
    EXPECT_EQ(Without(log, {"sound "}),
              Seq("sleep 1000", Flips(1, 5), "shot 5 sub/rel5.png", Flips(6, 7), "shot 7 rel7.png",
                  Flips(8, 110), "mci 263 stop MUSIC", "sleep 500", Flips(111, 140), "stop 140"));
    EXPECT_EQ(Only(log, {"sound 0"}), Seq("sound 0 freq 44000", "sound 0 play"));
    struct stat st;
    for (const char* file : {"rel.log", "rel7.png", "sub/rel5.png", "rel.wav"}) {
        EXPECT_EQ(stat((start + "/" + file).c_str(), &st), 0) << file;
        EXPECT_NE(stat((GameDir() + "/" + file).c_str(), &st), 0) << file;
    }
    // After frame 5 the curtain stands at 454: its solid band starts at row 52.
    Picture picture = ReadPng(start + "/sub/rel5.png");
    ASSERT_EQ(picture.rgb.size(), 640u * 480u * 3u);
    EXPECT_EQ(picture.At(320, 52) | picture.At(320, 479), 0u);
    EXPECT_NE(picture.At(320, 51), 0u);
}

// A race with steering into the traffic, accelerating, braking and the quit question, twice:
// the same log, pictures and sound, a 48 kHz stereo 16-bit PCM file in which the race is heard.
TEST(Runner, TheSameScriptGivesTheSameBytesAndTheRaceIsHeard) {
    const std::string script =
        "100 press ENTER\n110 down UP\n300 down LEFT\n360 up LEFT\n900 down RIGHT\n915 up RIGHT\n"
        "950 press SPACE\n1000 press ESCAPE\n1020 press N\n1100 press ESCAPE\n1120 press Y\n";
    std::vector<std::string> dirs = {TempDir("same1"), TempDir("same2")};
    std::vector<HeadlessRun> runs;
    for (const auto& dir : dirs) {
        runs.push_back(RunHeadless({"--frames", "1200", "--shot", "450:" + dir + "/b.png", "--shot",
                                    "1110:" + dir + "/c.png", "--audio", dir + "/sound.wav"},
                                   script));
        ASSERT_EQ(runs.back().status, 0);
    }
    // The shot lines name their own folders; everything else must agree line by line.
    EXPECT_EQ(Without(runs[0].log, {"shot "}), Without(runs[1].log, {"shot "}));
    for (const char* file : {"/b.png", "/c.png", "/sound.wav"}) {
        EXPECT_FALSE(ReadFile(dirs[0] + file).empty()) << file;
        EXPECT_TRUE(ReadFile(dirs[0] + file) == ReadFile(dirs[1] + file)) << file;
    }
    // Every race frame sets the third engine buffer's pitch, then the first's, 10000 Hz lower,
    // at 50 Hz a unit of speed over 22000 Hz, also while the question is up. Every engine
    // buffer plays, and the crash: its frequency set, its sound started.
    const std::vector<std::string> sound = Only(runs[0].log, {"sound 1 freq", "sound 3 freq"});
    ASSERT_EQ(sound.size(), 2u * 1020);
    for (size_t i = 0; i < sound.size(); i += 2) {
        const int high = std::atoi(sound[i].c_str() + 13),
                  low = std::atoi(sound[i + 1].c_str() + 13);
        EXPECT_EQ(sound[i].substr(0, 13) + sound[i + 1].substr(0, 13),
                  "sound 3 freq sound 1 freq ");
        EXPECT_EQ(std::pair(high - low, (low - 22000) % 50), std::pair(10000, 0))
            << sound[i] << ", " << sound[i + 1];
    }
    for (const char* line :
         {"sound 1 play", "sound 2 play", "sound 3 play", "sound 4 freq 22000", "sound 4 play"})
        EXPECT_FALSE(Only(runs[0].log, {line}).empty()) << line;

    const std::string bytes = ReadFile(dirs[0] + "/sound.wav");
    ASSERT_GE(bytes.size(), 44u);
    auto le = [&](size_t at, int size) {  // a little-endian number
        uint32_t value = 0;
        for (size_t i = at + size_t(size); i-- > at;) value = value << 8 | uint8_t(bytes[i]);
        return value;
    };
    EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(8, 8), "RIFFWAVEfmt ");
    // PCM, two channels, 48000 frames a second, 16 bits; 800 frames a flip and 48 a millisecond
    // of Sleep (the start-up pause, the two pauses of the race), four bytes each.
    const uint32_t data = (1200 * 800 + 2000 * 48) * 4;
    EXPECT_EQ(
        (std::vector<uint32_t>{le(4, 4), le(20, 2), le(22, 2), le(24, 4), le(34, 2), le(40, 4)}),
        (std::vector<uint32_t>{36 + data, 1, 2, 48000, 16, data}));
    EXPECT_EQ(bytes.size(), 44 + data);
    int loudest = 0;
    for (size_t at = 44 + (bytes.size() - 44) / 2; at + 1 < bytes.size(); at += 2)
        loudest = std::max(loudest, int(int16_t(le(at, 2))));
    EXPECT_GT(loudest, 1000);
}

}  // namespace
