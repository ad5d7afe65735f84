// The spine through the headless runner: start-up, the loop, the fatal boxes, the shutdown,
// activation and the keys that end the program.
#include "../support/support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const char kBoxPrefix[] = "messagebox 0x10 Asphaltix 1.0, ";

// The log without the sound buffer lines, which interleave with everything else.
std::vector<std::string> WithoutSound(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const auto& line : log) {
        if (line.rfind("sound ", 0) != 0) out.push_back(line);
    }
    return out;
}

std::vector<std::string> WithoutShots(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const auto& line : log) {
        if (line.rfind("shot ", 0) != 0) out.push_back(line);
    }
    return out;
}

std::vector<std::string> LinesStarting(const std::vector<std::string>& log, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& line : log) {
        if (line.rfind(prefix, 0) == 0) out.push_back(line);
    }
    return out;
}

// "flip 1" ... "flip n".
std::vector<std::string> FlipLines(int from, int to) {
    std::vector<std::string> out;
    for (int i = from; i <= to; ++i) out.push_back("flip " + std::to_string(i));
    return out;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Spine, TwoHundredFramesAfterTheStartUpPause) {
    std::string dir = TempDir("empty");
    HeadlessRun run = RunHeadless({"--frames", "200"}, "", dir);
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.log.size(), 202u);
    EXPECT_EQ(run.log.front(), "sleep 1000");
    for (int i = 1; i <= 200; ++i) EXPECT_EQ(run.log[static_cast<size_t>(i)], "flip " + std::to_string(i));
    EXPECT_EQ(run.log.back(), "stop 200");
}

TEST(Spine, EachStartUpFailureShowsOneGermanBoxAndNoFrame) {
    const struct {
        const char* what;
        const char* message;
    } cases[] = {
        {"window", "Fehler beim Initialisieren des Fensters!"},
        {"ddraw", "Fehler beim Initialisieren von Direct Draw!"},
        {"dsound", "Fehler beim Initialisieren von Direct Sound!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HeadlessRun run = RunHeadless({"--fail", c.what, "--frames", "50"});
        EXPECT_EQ(run.status, 0);
        ASSERT_EQ(run.log.size(), 2u);
        const std::string& box = run.log[0];
        const std::string tail = std::string("|") + c.message;
        ASSERT_EQ(box.rfind(kBoxPrefix, 0), 0u) << box;
        ASSERT_GE(box.size(), sizeof kBoxPrefix - 1 + tail.size());
        EXPECT_EQ(box.substr(box.size() - tail.size()), tail);
        // The title carries a notice after "Asphaltix 1.0, ".
        std::string notice = box.substr(sizeof kBoxPrefix - 1, box.size() - tail.size() - (sizeof kBoxPrefix - 1));
        EXPECT_FALSE(notice.empty());
        EXPECT_EQ(notice.find('|'), std::string::npos);
        EXPECT_EQ(run.log[1], "exit 0");
        EXPECT_TRUE(run.stderrText.empty()) << run.stderrText;
    }
    // With DirectDraw and DirectSound both failing, only the first failure is reported.
    HeadlessRun both = RunHeadless({"--fail", "dsound", "--fail", "ddraw", "--frames", "50"});
    EXPECT_EQ(both.status, 0);
    ASSERT_EQ(both.log.size(), 2u);
    const std::string tail = "|Fehler beim Initialisieren von Direct Draw!";
    ASSERT_GT(both.log[0].size(), tail.size());
    EXPECT_EQ(both.log[0].substr(both.log[0].size() - tail.size()), tail);
    EXPECT_EQ(both.log[1], "exit 0");
}

TEST(Spine, EscapeInTheMainMenuRunsTheShutdown) {
    HeadlessRun run = RunHeadless({"--frames", "400"}, "120 press ESCAPE\n");
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> expected = Concat(Concat({"sleep 1000"}, FlipLines(1, 120)),
                                               {"sleep 500", "mci 0 close all", "sleep 500", "exit 0"});
    EXPECT_EQ(WithoutSound(run.log), expected);
}

TEST(Spine, KeysDoNothingWhileTheCurtainOpens) {
    // At frame 10 the curtain stands at 429; at frame 95 at 4.
    for (const char* script : {"10 press ESCAPE\n", "95 press ESCAPE\n", "50 press ENTER\n"}) {
        SCOPED_TRACE(script);
        HeadlessRun run = RunHeadless({"--frames", "150"}, script);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.log, Concat(Concat({"sleep 1000"}, FlipLines(1, 150)), {"stop 150"}));
    }
    // From frame 96 on the curtain is open and Escape acts.
    HeadlessRun run = RunHeadless({"--frames", "150"}, "96 press ESCAPE\n");
    EXPECT_EQ(WithoutSound(run.log),
              Concat(Concat({"sleep 1000"}, FlipLines(1, 96)),
                     {"sleep 500", "mci 0 close all", "sleep 500", "exit 0"}));
}

TEST(Spine, EscapeDuringTheStartUpPauseEndsTheProgramBeforeAnyFrame) {
    HeadlessRun run = RunHeadless({"--frames", "100"}, "0 press ESCAPE\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(WithoutSound(run.log),
              (std::vector<std::string>{"sleep 1000", "sleep 500", "mci 0 close all", "sleep 500", "exit 0"}));
}

TEST(Spine, EnterDuringTheStartUpPauseStartsARaceUnderTheCurtain) {
    std::string dir = TempDir("startup-enter");
    std::string shot = dir + "/race.png";
    HeadlessRun run = RunHeadless({"--frames", "20", "--shot", "10:" + shot}, "0 press ENTER\n");
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> log = WithoutSound(run.log);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[0], "sleep 1000");
    EXPECT_EQ(log[1], "mci 263 stop MUSIC");
    EXPECT_EQ(log[2], "sleep 500");
    EXPECT_EQ(log[3], "flip 1");
    EXPECT_EQ(log.back(), "stop 20");
    // The race's frame (grey outline at the left, the panel at the right) shows through the
    // curtain's lines: after frame 10 the curtain stands at 429, so the odd rows up to 101
    // are open and rows 102 onwards are one black band.
    Picture picture = ReadPng(shot);
    ASSERT_EQ(picture.width, 640);
    EXPECT_EQ(picture.At(3, 51), Shown565(96, 96, 96));
    EXPECT_EQ(picture.At(476, 101), Shown565(96, 96, 96));
    EXPECT_EQ(picture.At(3, 50), 0u);
    EXPECT_EQ(picture.At(3, 102), 0u);
    EXPECT_EQ(picture.At(3, 103), 0u);
    EXPECT_EQ(picture.At(3, 300), 0u);
}

TEST(Spine, TheSystemsCloseCommandEndsWithoutTheShutdown) {
    HeadlessRun run = RunHeadless({"--frames", "400"}, "50 close\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.log, Concat(Concat({"sleep 1000"}, FlipLines(1, 50)), {"exit 0"}));
    // Also in the middle of a race: no pause, no music commands, no further frame.
    run = RunHeadless({"--frames", "400"}, "100 press ENTER\n150 close\n");
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> log = WithoutSound(run.log);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "flip 150");
    EXPECT_EQ(log.back(), "exit 0");
    EXPECT_EQ(LinesStarting(log, "mci ").size(), 1u);  // only the race's "stop MUSIC"
}

TEST(Spine, WithoutActivationNoFrameIsDrawn) {
    HeadlessRun run = RunHeadless({"--no-activate", "--frames", "50"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.log, (std::vector<std::string>{"sleep 1000", "stop idle"}));

    // Keys arriving meanwhile wait in the queue; the curtain stands at 479 so they act.
    run = RunHeadless({"--no-activate", "--frames", "50"}, "0 press DOWN\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(LinesStarting(run.log, "flip").size(), 0u);
    EXPECT_EQ(run.log.back(), "stop idle");

    run = RunHeadless({"--no-activate", "--frames", "30"}, "5 activate\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.log, Concat(Concat({"sleep 1000"}, FlipLines(1, 30)), {"stop 30"}));
}

TEST(Spine, DeactivationStopsTheFramesAndTheCurtain) {
    std::string dir = TempDir("deactivate");
    // Undisturbed: the curtain after frames 40 and 41.
    HeadlessRun plain = RunHeadless(
        {"--frames", "60", "--shot", "40:" + dir + "/plain40.png", "--shot", "41:" + dir + "/plain41.png"});
    ASSERT_EQ(plain.status, 0);

    // Deactivated after frame 40 and never activated again: the run idles with the picture of
    // frame 40 on the screen; a shot asked for later shows that same picture.
    HeadlessRun idle = RunHeadless({"--frames", "60", "--shot", "40:" + dir + "/idle40.png", "--shot",
                                    "55:" + dir + "/idle55.png"},
                                   "40 deactivate\n");
    EXPECT_EQ(idle.status, 0);
    std::vector<std::string> log = WithoutSound(idle.log);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(LinesStarting(log, "flip").size(), 40u);
    EXPECT_EQ(log[log.size() - 1], "stop idle");
    EXPECT_EQ(Bytes(dir + "/idle40.png"), Bytes(dir + "/plain40.png"));
    EXPECT_EQ(Bytes(dir + "/idle55.png"), Bytes(dir + "/plain40.png"));

    // Deactivated and activated again: the frames and the curtain go on from where they stood.
    HeadlessRun back = RunHeadless({"--frames", "60", "--shot", "40:" + dir + "/back40.png", "--shot",
                                    "41:" + dir + "/back41.png"},
                                   "40 deactivate\n45 activate\n");
    EXPECT_EQ(back.status, 0);
    EXPECT_EQ(WithoutShots(back.log), WithoutShots(plain.log));
    EXPECT_EQ(Bytes(dir + "/back40.png"), Bytes(dir + "/plain40.png"));
    EXPECT_EQ(Bytes(dir + "/back41.png"), Bytes(dir + "/plain41.png"));
    EXPECT_NE(Bytes(dir + "/plain40.png"), Bytes(dir + "/plain41.png"));
}

TEST(Spine, AHeldEscapeFlipsBetweenMenuAndExitUntilTheQueueIsEmpty) {
    // Key-down and two auto-repeats: exit, menu, exit; the shutdown runs at the first idle moment.
    HeadlessRun odd = RunHeadless({"--frames", "200"},
                                  "120 down ESCAPE\n120 repeat ESCAPE\n120 repeat ESCAPE\n");
    EXPECT_EQ(odd.status, 0);
    EXPECT_EQ(WithoutSound(odd.log),
              Concat(Concat({"sleep 1000"}, FlipLines(1, 120)),
                     {"sleep 500", "sleep 500", "sleep 500", "mci 0 close all", "sleep 500", "exit 0"}));
    // Each key-down clicked at 44000 Hz.
    EXPECT_EQ(LinesStarting(odd.log, "sound 0 freq 44000").size(), 3u);

    // Key-down and three auto-repeats end in the main menu, which goes on.
    HeadlessRun even = RunHeadless(
        {"--frames", "130"}, "120 down ESCAPE\n120 repeat ESCAPE\n120 repeat ESCAPE\n120 repeat ESCAPE\n");
    EXPECT_EQ(even.status, 0);
    EXPECT_EQ(WithoutSound(even.log),
              Concat(Concat(Concat({"sleep 1000"}, FlipLines(1, 120)),
                            {"sleep 500", "sleep 500", "sleep 500", "sleep 500"}),
                     Concat(FlipLines(121, 130), {"stop 130"})));
    EXPECT_EQ(LinesStarting(even.log, "sound 0 freq 44000").size(), 4u);
}

TEST(Spine, MenuKeysClick) {
    // Moving clicks at 22000 Hz, choosing at 44000 Hz; the click is the menu sound, buffer 0.
    // The click lasts less than the 20 frames between the keys, so each one starts anew.
    HeadlessRun run = RunHeadless({"--frames", "140"}, "100 press DOWN\n120 press ENTER\n");
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> sounds = LinesStarting(run.log, "sound ");
    ASSERT_EQ(sounds.size(), 4u);
    EXPECT_EQ(sounds[0], "sound 0 freq 22000");
    EXPECT_EQ(sounds[1], "sound 0 play");
    EXPECT_EQ(sounds[2], "sound 0 freq 44000");
    EXPECT_EQ(sounds[3], "sound 0 play");
    // OPTIONS: the click, a pause, and the menu goes on.
    std::vector<std::string> log = WithoutSound(run.log);
    EXPECT_EQ(log, Concat(Concat(Concat({"sleep 1000"}, FlipLines(1, 120)), {"sleep 500"}),
                          Concat(FlipLines(121, 140), {"stop 140"})));
}

}  // namespace
