// The headless runner itself: its options, its script, its pictures and logs, and the
// repeatability of a whole run.
#include "../support/drawn.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

// The widened colour a picture shows for an RGB colour drawn by the game in 5-5-5.
uint32_t Shown555(int r, int g, int b) {
    auto widen = [](int value) { return (value * 31 / 255) << 3 | (value * 31 / 255) >> 2; };
    return static_cast<uint32_t>(widen(r) << 16 | widen(g) << 8 | widen(b));
}

TEST(Runner, BadOptionsAndScriptLinesAreRefusedWithOneLineBeforeAnythingRuns) {
    auto refused = [](const std::vector<std::string>& args, const std::string& script, const std::string& dir = "") {
        SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : "") + " / " + script + " / " + dir);
        HeadlessRun run = RunHeadless(args, script, dir);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.log.empty()) << "the game ran";
        EXPECT_TRUE(run.stderrText.size() > 1 && run.stderrText.find('\n') == run.stderrText.size() - 1)
            << run.stderrText;
    };
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"frames", "10"}, {"--frames"}, {"--frames", "ten"}, {"--frames", "-5"}, {"--frames", ""},
             {"--shot", "12"}, {"--shot", "12:"}, {"--shot", "x:a.png"}, {"--shot", "-1:a.png"}, {"--format", "888"},
             {"--format"}, {"--fail", "mouse"}, {"--fail"}, {"--script", "/nonexistent/asphaltix/script.txt"},
             {"--script"}, {"--log"}, {"--dir"}, {"--audio"}}) {
        refused(args, "");
    }
    for (const char* script :
         {"5 jump\n", "five press ENTER\n", "-5 press ENTER\n", "5\n", "5 press\n", "5 press ENTER now\n",
          "5 press NOKEY\n", "5 press a\n", "5 press F13\n", "5 press F0\n", "5 press code:0\n", "5 press code:255\n",
          "5 press code:x\n", "5 close now\n", "5 shot\n", "5 shot a.png b.png\n", "10 press ENTER\n9 press ENTER\n",
          "100 press DOWN\n# fine so far\n\n101 press\n"}) {
        refused({"--frames", "10"}, script);
    }
    // A folder that cannot be entered: nothing is run either.
    refused({"--frames", "10"}, "", "/nonexistent/asphaltix");
}

TEST(Runner, ScriptsTakeCommentsBlankLinesAndEveryKeyForm) {
    // Keys without a meaning in the main menu change nothing; code:13 is Enter and starts a race.
    HeadlessRun run = RunHeadless({"--frames", "140"},
                                  "# keys the menu does not know\n\n"
                                  "100 press F1   # a function key\n100 press F12\n101 press Q\n101 press 7\n"
                                  "102 press code:65\n102 press LEFT\n103 down RIGHT\n104 repeat RIGHT\n"
                                  "105 up RIGHT\n   \n110 press code:13\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Without(run.log), Seq("sleep 1000", Flips(1, 110), "mci 263 stop MUSIC", "sleep 500",
                                    Flips(111, 140), "stop 140"));
    EXPECT_EQ(Only(run.log, {"sound 0"}), Seq("sound 0 freq 44000", "sound 0 play"));
}

TEST(Runner, ShotsAreWrittenAndLoggedBeforeTheNextFlip) {
    std::string a = TempDir("shots") + "/a.png";
    std::string b = TempDir("shots-script") + "/b.png";
    HeadlessRun run = RunHeadless({"--frames", "20", "--shot", "5:" + a}, "7 shot " + b + "\n");
    EXPECT_EQ(run.log,
              Seq("sleep 1000", Flips(1, 5), "shot 5 " + a, Flips(6, 7), "shot 7 " + b, Flips(8, 20), "stop 20"));
    EXPECT_EQ(ReadPng(b).rgb.size(), 640u * 480u * 3u);
    // After frame 5 the curtain stands at 454: its solid band starts at row 52.
    Picture picture = ReadPng(a);
    ASSERT_EQ(picture.rgb.size(), 640u * 480u * 3u);
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
    HeadlessRun run = RunHeadless({"--log", "rel.log", "--shot", "30:rel30.png", "--script", "script.txt",
                                   "--audio", "rel.wav", "--frames", "40"});
    ASSERT_EQ(chdir(old), 0);
    EXPECT_EQ(run.status, 0) << run.stderrText;
    // The game ran in its data folder, but the files are where the runner was started.
    struct stat st;
    for (const char* file : {"rel.log", "rel30.png", "sub/rel35.png", "rel.wav"}) {
        EXPECT_EQ(stat((start + "/" + file).c_str(), &st), 0) << file;
        EXPECT_NE(stat((GameDir() + "/" + file).c_str(), &st), 0) << file;
    }
    EXPECT_NE(Bytes(start + "/rel.log").find("shot 30 rel30.png\nflip 31\n"), std::string::npos);
    EXPECT_NE(Bytes(start + "/rel.log").find("shot 35 sub/rel35.png\nflip 36\n"), std::string::npos);
}

TEST(Runner, TheSameScriptGivesTheSameBytes) {
    // A race with steering, accelerating, braking, traffic and the quit question.
    const std::string script =
        "100 press ENTER\n120 down UP\n300 down LEFT\n310 up LEFT\n400 down RIGHT\n415 up RIGHT\n500 up UP\n"
        "520 press SPACE\n560 press ESCAPE\n580 press N\n600 press ESCAPE\n620 press Y\n";
    std::vector<std::string> dirs = {TempDir("same1"), TempDir("same2")};
    std::vector<HeadlessRun> runs;
    for (const auto& dir : dirs) {
        runs.push_back(RunHeadless({"--frames", "700", "--shot", "450:" + dir + "/b.png", "--shot",
                                    "590:" + dir + "/c.png", "--audio", dir + "/sound.wav"},
                                   script));
        ASSERT_EQ(runs.back().status, 0);
    }
    // The shot lines name their own folders; everything else must agree line by line.
    EXPECT_EQ(Without(runs[0].log, {"shot "}), Without(runs[1].log, {"shot "}));
    EXPECT_GT(runs[0].log.size(), 700u);
    for (const char* file : {"/b.png", "/c.png", "/sound.wav"}) {
        EXPECT_FALSE(Bytes(dirs[0] + file).empty()) << file;
        EXPECT_TRUE(Bytes(dirs[0] + file) == Bytes(dirs[1] + file)) << file;
    }
}

TEST(Runner, A555DisplayShowsItsOwnPixelValues) {
    Shots shots = Shoot("121 press ENTER\n", {120, 130}, 131, {"--format", "555"});
    const Picture& menu = shots.at[0];
    // Green has five bits: every shown green is a widened 5-bit value.
    int sixBitGreens = 0;
    for (int i = 0; i < 640 * 480; ++i) {
        uint32_t g = menu.At(i % 640, i / 640) >> 8 & 0xFF;
        sixBitGreens += g != ((g >> 3) << 3 | g >> 5);
    }
    EXPECT_EQ(sixBitGreens, 0);
    // The menu's title "MAIN MENU" ('M' row 2, FE, sets columns 0..6) and the info box's outlines.
    for (int x = 320; x <= 326; ++x) EXPECT_EQ(menu.At(x, 252), Shown555(255, 0, 0));
    EXPECT_EQ(menu.At(27, 377), Shown555(114, 0, 0));
    EXPECT_EQ(menu.At(26, 376), Shown555(32, 0, 0));
    EXPECT_EQ(menu.At(200, 393), Shown555(114, 0, 0));
    // The race's grey frame, whose greens differ from 5-6-5.
    EXPECT_EQ(shots.at[1].At(3, 100), Shown555(96, 96, 96));
    EXPECT_EQ(shots.at[1].At(2, 100), Shown555(64, 64, 64));
    EXPECT_NE(Shown555(96, 96, 96), Shown565(96, 96, 96));
}

}  // namespace
