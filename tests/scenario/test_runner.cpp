// The headless runner itself: its options, its script, its pictures and logs, and the
// repeatability of a whole run.
#include "../support/support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace testing_support;

namespace {

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

size_t IndexOf(const std::vector<std::string>& log, const std::string& line) {
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i] == line) return i;
    }
    return log.size();
}

// The widened colour a picture shows for an RGB colour drawn by the game in 5-5-5.
uint32_t Shown555(int r, int g, int b) {
    auto widen = [](int value) {
        uint32_t v = static_cast<uint32_t>(value) * 31 / 255;
        return (v << 3) | (v >> 2);
    };
    return (widen(r) << 16) | (widen(g) << 8) | widen(b);
}

void ExpectOneLineError(const HeadlessRun& run) {
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.log.empty()) << "the game ran: " << run.log.front();
    ASSERT_FALSE(run.stderrText.empty());
    EXPECT_EQ(run.stderrText.find('\n'), run.stderrText.size() - 1) << run.stderrText;
}

TEST(Runner, BadOptionsAreRefusedBeforeAnythingRuns) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"frames", "10"},
        {"--frames"},
        {"--frames", "ten"},
        {"--frames", "-5"},
        {"--frames", ""},
        {"--shot", "12"},
        {"--shot", "12:"},
        {"--shot", "x:a.png"},
        {"--shot", "-1:a.png"},
        {"--format", "888"},
        {"--format"},
        {"--fail", "mouse"},
        {"--fail"},
        {"--script", "/nonexistent/asphaltix/script.txt"},
        {"--script"},
        {"--log"},
        {"--dir"},
        {"--audio"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args.front() + (args.size() > 1 ? " " + args[1] : std::string()));
        ExpectOneLineError(RunHeadless(args));
    }
    // A folder that cannot be entered: nothing is run either.
    ExpectOneLineError(RunHeadless({"--frames", "10"}, "", "/nonexistent/asphaltix"));
}

TEST(Runner, BadScriptLinesAreRefusedBeforeAnythingRuns) {
    const std::vector<std::string> scripts = {
        "5 jump\n",
        "five press ENTER\n",
        "-5 press ENTER\n",
        "5\n",
        "5 press\n",
        "5 press ENTER now\n",
        "5 press NOKEY\n",
        "5 press a\n",
        "5 press F13\n",
        "5 press F0\n",
        "5 press code:0\n",
        "5 press code:256\n",
        "5 press code:x\n",
        "5 close now\n",
        "5 activate ENTER\n",
        "5 shot\n",
        "5 shot a.png b.png\n",
        "10 press ENTER\n5 press ENTER\n",
        "100 press DOWN\n# fine so far\n\n101 press\n",
    };
    for (const auto& script : scripts) {
        SCOPED_TRACE(script);
        ExpectOneLineError(RunHeadless({"--frames", "10"}, script));
    }
}

TEST(Runner, ScriptsTakeCommentsBlankLinesAndEveryKeyForm) {
    HeadlessRun plain = RunHeadless({"--frames", "140"});
    ASSERT_EQ(plain.status, 0);
    // Keys without a meaning in the main menu change nothing there.
    HeadlessRun keys = RunHeadless({"--frames", "140"},
                                   "# keys the menu does not know\n"
                                   "\n"
                                   "100 press F1   # a function key\n"
                                   "100 press F12\n"
                                   "101 press Q\n"
                                   "101 press 7\n"
                                   "102 press code:65\n"
                                   "102 press LEFT\n"
                                   "103 down RIGHT\n"
                                   "104 repeat RIGHT\n"
                                   "105 up RIGHT\n"
                                   "   \n");
    EXPECT_EQ(keys.status, 0);
    EXPECT_EQ(keys.log, plain.log);
    // code:13 is Enter: NEW GAME starts a race.
    HeadlessRun enter = RunHeadless({"--frames", "140"}, "100 press code:13\n");
    EXPECT_EQ(enter.status, 0);
    EXPECT_LT(IndexOf(enter.log, "mci 263 stop MUSIC"), enter.log.size());
}

TEST(Runner, FrameLimits) {
    HeadlessRun none = RunHeadless({"--frames", "0"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.log, (std::vector<std::string>{"sleep 1000", "stop 0"}));
    HeadlessRun one = RunHeadless({"--frames", "1"});
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.log, (std::vector<std::string>{"sleep 1000", "flip 1", "stop 1"}));
}

TEST(Runner, ShotsAreWrittenAndLoggedBeforeTheNextFlip) {
    std::string dir = TempDir("shots");
    std::string a = dir + "/a.png";
    std::string b = dir + "/b.png";
    HeadlessRun run = RunHeadless({"--frames", "20", "--shot", "5:" + a}, "7 shot " + b + "\n");
    EXPECT_EQ(run.status, 0);
    size_t shotA = IndexOf(run.log, "shot 5 " + a);
    size_t shotB = IndexOf(run.log, "shot 7 " + b);
    ASSERT_LT(shotA, run.log.size());
    ASSERT_LT(shotB, run.log.size());
    EXPECT_EQ(run.log[shotA - 1], "flip 5");
    EXPECT_EQ(run.log[shotA + 1], "flip 6");
    EXPECT_EQ(run.log[shotB - 1], "flip 7");
    EXPECT_EQ(run.log[shotB + 1], "flip 8");
    EXPECT_EQ(run.log.back(), "stop 20");
    for (const auto& path : {a, b}) {
        Picture picture = ReadPng(path);
        EXPECT_EQ(picture.width, 640);
        EXPECT_EQ(picture.height, 480);
        EXPECT_EQ(picture.rgb.size(), 640u * 480u * 3u);
    }
    // After frame 5 the curtain stands at 454: its solid band starts at row 52.
    Picture picture = ReadPng(a);
    EXPECT_EQ(picture.At(320, 52), 0u);
    EXPECT_EQ(picture.At(320, 479), 0u);
}

TEST(Runner, RelativePathsResolveAgainstTheStartingFolder) {
    std::string start = TempDir("relative");
    ASSERT_EQ(::mkdir((start + "/sub").c_str(), 0755), 0);
    std::ofstream(start + "/script.txt") << "35 shot sub/rel35.png\n";
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(start.c_str()), 0);
    HeadlessRun run = RunHeadless(
        {"--log", "rel.log", "--shot", "30:rel30.png", "--script", "script.txt", "--audio", "rel.wav",
         "--frames", "40"});
    ASSERT_EQ(chdir(old), 0);
    EXPECT_EQ(run.status, 0) << run.stderrText;
    // The game ran in its data folder, but the files are where the runner was started.
    EXPECT_TRUE(Exists(start + "/rel.log"));
    EXPECT_TRUE(Exists(start + "/rel30.png"));
    EXPECT_TRUE(Exists(start + "/sub/rel35.png"));
    EXPECT_TRUE(Exists(start + "/rel.wav"));
    EXPECT_FALSE(Exists(GameDir() + "/rel.log"));
    EXPECT_FALSE(Exists(GameDir() + "/rel30.png"));
    EXPECT_FALSE(Exists(GameDir() + "/rel.wav"));
    std::string log = Bytes(start + "/rel.log");
    EXPECT_NE(log.find("shot 30 rel30.png\n"), std::string::npos);
    EXPECT_NE(log.find("shot 35 sub/rel35.png\n"), std::string::npos);
    EXPECT_NE(log.find("\nstop 40\n"), std::string::npos);
}

TEST(Runner, TheSameScriptGivesTheSameBytes) {
    // A race with steering, accelerating, traffic and the quit question.
    const std::string script =
        "100 press ENTER\n"
        "120 down UP\n"
        "300 down LEFT\n"
        "310 up LEFT\n"
        "400 down RIGHT\n"
        "415 up RIGHT\n"
        "500 up UP\n"
        "520 press SPACE\n"
        "560 press ESCAPE\n"
        "580 press N\n"
        "600 press ESCAPE\n"
        "620 press Y\n";
    std::vector<HeadlessRun> runs;
    std::vector<std::string> dirs;
    for (const char* name : {"first", "second"}) {
        std::string dir = TempDir(std::string("same-") + name);
        dirs.push_back(dir);
        runs.push_back(RunHeadless({"--frames", "700", "--shot", "350:" + dir + "/a.png", "--shot",
                                    "450:" + dir + "/b.png", "--shot", "590:" + dir + "/c.png", "--shot",
                                    "690:" + dir + "/d.png", "--audio", dir + "/sound.wav"},
                                   script));
    }
    ASSERT_EQ(runs[0].status, 0);
    ASSERT_EQ(runs[1].status, 0);
    ASSERT_GT(runs[0].log.size(), 700u);
    // The shot lines name their own folders; everything else must agree line by line.
    auto strip = [](std::vector<std::string> log) {
        for (auto& line : log) {
            if (line.rfind("shot ", 0) == 0) line = line.substr(0, line.find(' ', 5));
        }
        return log;
    };
    EXPECT_EQ(strip(runs[0].log), strip(runs[1].log));
    for (const char* file : {"a.png", "b.png", "c.png", "d.png", "sound.wav"}) {
        SCOPED_TRACE(file);
        std::string first = Bytes(dirs[0] + "/" + file);
        std::string second = Bytes(dirs[1] + "/" + file);
        EXPECT_FALSE(first.empty());
        EXPECT_TRUE(first == second);
    }
}

TEST(Runner, A555DisplayShowsItsOwnPixelValues) {
    std::string dir = TempDir("format");
    HeadlessRun menu565 = RunHeadless({"--frames", "121", "--shot", "120:" + dir + "/menu565.png"});
    HeadlessRun menu555 =
        RunHeadless({"--frames", "121", "--format", "555", "--shot", "120:" + dir + "/menu555.png"});
    ASSERT_EQ(menu565.status, 0);
    ASSERT_EQ(menu555.status, 0);
    EXPECT_EQ(menu565.log.size(), menu555.log.size());
    EXPECT_EQ(menu555.log.back(), "stop 121");
    Picture a = ReadPng(dir + "/menu565.png");
    Picture b = ReadPng(dir + "/menu555.png");
    ASSERT_EQ(a.rgb.size(), 640u * 480u * 3u);
    ASSERT_EQ(b.rgb.size(), 640u * 480u * 3u);
    EXPECT_NE(a.rgb, b.rgb);
    // Green has five bits on a 5-5-5 display: every shown green is a widened 5-bit value.
    auto fiveBit = [](uint32_t value) { return value == (((value >> 3) << 3) | (value >> 5)); };
    int sixBitGreens565 = 0;
    int sixBitGreens555 = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            if (!fiveBit((a.At(x, y) >> 8) & 0xFF)) ++sixBitGreens565;
            if (!fiveBit((b.At(x, y) >> 8) & 0xFF)) ++sixBitGreens555;
        }
    }
    EXPECT_GT(sixBitGreens565, 0);
    EXPECT_EQ(sixBitGreens555, 0);
    // Red has five bits in both formats: the menu's reds look the same. Title "MAIN MENU":
    // 'M' row 2 (FE) sets columns 0..6; the info box's inner outline at (27, 377).
    for (int x = 320; x <= 326; ++x) {
        EXPECT_EQ(b.At(x, 252), Shown555(255, 0, 0));
        EXPECT_EQ(a.At(x, 252), Shown565(255, 0, 0));
    }
    EXPECT_EQ(b.At(27, 377), Shown555(114, 0, 0));
    EXPECT_EQ(b.At(26, 376), Shown555(32, 0, 0));
    EXPECT_EQ(b.At(200, 393), Shown555(114, 0, 0));

    // The race's grey frame: (96, 96, 96) shows a different green.
    HeadlessRun race555 = RunHeadless(
        {"--frames", "111", "--format", "555", "--shot", "110:" + dir + "/race555.png"}, "100 press ENTER\n");
    ASSERT_EQ(race555.status, 0);
    Picture race = ReadPng(dir + "/race555.png");
    ASSERT_EQ(race.width, 640);
    EXPECT_EQ(race.At(3, 100), Shown555(96, 96, 96));
    EXPECT_EQ(race.At(2, 100), Shown555(64, 64, 64));
    EXPECT_NE(Shown555(96, 96, 96), Shown565(96, 96, 96));
}

}  // namespace
