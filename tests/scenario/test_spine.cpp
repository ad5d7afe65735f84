// The spine through the headless runner: start-up, the loop, the fatal boxes, the shutdown,
// activation and the keys that end the program.
#include "../support/drawn.h"

using namespace testing_support;

namespace {

const std::vector<std::string> kShutdown = {"sleep 500", "mci 0 close all", "sleep 500", "exit 0"};

// Runs the game and compares its log, the sound lines left out unless `sound`.
HeadlessRun ExpectLog(const std::vector<std::string>& args, const std::string& script,
                      const std::vector<std::string>& log, bool sound = false,
                      const std::string& dir = "") {
    HeadlessRun run = RunHeadless(args, script, dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(sound ? run.log : Without(run.log), log) << script;
    return run;
}

// Without data files the frames follow the start-up pause all the same. Each start-up failure
// shows one German box and no frame; only the first failure is reported.
TEST(Spine, StartUpWithoutDataFilesAndItsFailures) {
    ExpectLog({"--frames", "200"}, "", Seq("sleep 1000", Flips(1, 200), "stop 200"), true,
              TempDir("empty"));
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--fail", "window"}, "Fehler beim Initialisieren des Fensters!"},
        {{"--fail", "ddraw"}, "Fehler beim Initialisieren von Direct Draw!"},
        {{"--fail", "dsound"}, "Fehler beim Initialisieren von Direct Sound!"},
        {{"--fail", "dsound", "--fail", "ddraw"}, "Fehler beim Initialisieren von Direct Draw!"}};
    for (const auto& [fail, message] : cases) {
        HeadlessRun run = RunHeadless(Seq(fail, "--frames", "50"));
        EXPECT_EQ(run.status, 0);
        ASSERT_EQ(run.log.size(), 2u);
        EXPECT_TRUE(IsBox(run.log[0], message)) << run.log[0];
        EXPECT_EQ(run.log[1] + run.stderrText, "exit 0");
    }
}

TEST(Spine, KeysActBeforeAndAfterTheCurtainButNotWhileItOpens) {
    // During the start-up pause the curtain stands at 479: Escape ends before any frame.
    ExpectLog({"--frames", "150"}, "0 press ESCAPE\n", Seq("sleep 1000", kShutdown));
    // After frame 10 it stands at 429, after frame 95 at 4: keys do nothing, not even click.
    ExpectLog({"--frames", "150"}, "10 press ESCAPE\n50 press ENTER\n95 press ESCAPE\n",
              Seq("sleep 1000", Flips(1, 150), "stop 150"), true);
    // From frame 96 on it is open. Each key-down clicks at 44000 Hz and toggles exit and menu;
    // an odd count ends the program at the first idle moment.
    HeadlessRun run =
        ExpectLog({"--frames", "130"}, "96 down ESCAPE\n96 repeat ESCAPE\n96 repeat ESCAPE\n",
                  Seq("sleep 1000", Flips(1, 96), "sleep 500", "sleep 500", kShutdown));
    EXPECT_EQ(Only(run.log, {"sound 0 freq 44000"}).size(), 3u);
}

// The system's close ends without the shutdown, also in the middle of a race: no pause, no
// music command but the race's own, no further frame.
TEST(Spine, TheSystemsCloseCommandEndsWithoutTheShutdown) {
    ExpectLog({"--frames", "400"}, "50 close\n", Seq("sleep 1000", Flips(1, 50), "exit 0"), true);
    ExpectLog({"--frames", "400"}, "100 press ENTER\n150 close\n",
              Seq("sleep 1000", Flips(1, 100), "mci 263 stop MUSIC", "sleep 500", Flips(101, 150),
                  "exit 0"));
}

// Without activation nothing is drawn, but a key pressed meanwhile is taken at once (the
// curtain stands at 479): its click. Deactivated, the run idles with its last frame on the
// screen; activated again, the frames and the curtain go on from where they stood.
TEST(Spine, ActivationHoldsTheFramesAndTheCurtain) {
    ExpectLog({"--no-activate", "--frames", "50"}, "0 press DOWN\n",
              Seq("sleep 1000", "sound 0 freq 22000", "sound 0 play", "stop idle"), true);
    ExpectLog({"--no-activate", "--frames", "30"}, "5 activate\n",
              Seq("sleep 1000", Flips(1, 30), "stop 30"), true);
    ExpectLog({"--frames", "60"}, "40 deactivate\n", Seq("sleep 1000", Flips(1, 40), "stop idle"));
    Shots plain = Shoot("", {41}, 60), back = Shoot("40 deactivate\n45 activate\n", {41}, 60);
    EXPECT_EQ(Without(back.run.log), Seq("sleep 1000", Flips(1, 60), "stop 60"));
    EXPECT_EQ(back.at[0].rgb, plain.at[0].rgb);
}

}  // namespace
