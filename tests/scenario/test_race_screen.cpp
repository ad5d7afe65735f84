// The race screen through the headless runner: the start countdown, the status panel, the
// frame around the road view, the music commands and the quit question.
#include "../support/drawn.h"
#include "../support/support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const uint32_t kRed = Shown565(255, 0, 0);
const uint32_t kDarkRed = Shown565(128, 0, 0);

void Shadowed(Drawn& d, int x, int y, const std::string& text) {
    d.Text(x - 1, y - 1, text, kDarkRed);
    d.Text(x, y, text, kRed);
}

struct Panel {
    std::string speed;
    std::string energy = "100";
    std::string points = "0";
    std::string time = "200";
};

// What a race frame draws over the road and the panel picture: the countdown (when `count`
// is given), the four grey outlines, the quit question, the panel's texts.
Drawn RaceDrawing(const std::string& count, bool question, const Panel& panel) {
    Drawn d;
    if (!count.empty()) {
        Shadowed(d, 216, 190, "ARE YOU READY ?");
        Shadowed(d, 262, 200, count);
    }
    d.Rect(3, 3, 476, 476, Shown565(96, 96, 96));
    d.Rect(2, 2, 477, 477, Shown565(64, 64, 64));
    d.Rect(1, 1, 478, 478, Shown565(32, 32, 32));
    d.Rect(0, 0, 479, 479, Shown565(16, 16, 16));
    if (question) Shadowed(d, 200, 180, "ARE YOU SURE - Y/N");
    const uint32_t label = Shown565(255, 0, 128);
    const uint32_t value = Shown565(0, 128, 128);
    d.Text(500, 200, "YOUR SPEED", label);
    d.Text(596, 200, panel.speed, value);
    d.Text(500, 210, "YOUR ENERGY", label);
    d.Text(596, 210, panel.energy, value);
    d.Text(500, 220, "YOUR POINTS", label);
    d.Text(596, 220, panel.points, value);
    d.Text(500, 230, "TIME LEFT", label);
    d.Text(596, 230, panel.time, value);
    return d;
}

// Mismatches of the best-fitting speed reading among `speeds`.
int BestFit(const Picture& picture, const std::string& count, bool question, Panel panel,
            const std::vector<std::string>& speeds, std::string& report) {
    int best = -1;
    for (const auto& speed : speeds) {
        panel.speed = speed;
        std::string text;
        int wrong = RaceDrawing(count, question, panel).Mismatches(picture, text);
        if (best < 0 || wrong < best) {
            best = wrong;
            report = "speed " + speed + ": " + text;
        }
    }
    return best;
}

std::vector<std::string> WithoutSound(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const auto& line : log) {
        if (line.rfind("sound ", 0) != 0) out.push_back(line);
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

// The lines between "flip n" and "flip n+1" (or the end), sound lines left out.
std::vector<std::string> AfterFlip(const std::vector<std::string>& log, int n) {
    std::vector<std::string> lines = WithoutSound(log);
    std::vector<std::string> out;
    bool inside = false;
    for (const auto& line : lines) {
        if (line == "flip " + std::to_string(n + 1)) break;
        if (inside && line.rfind("shot ", 0) != 0) out.push_back(line);
        if (line == "flip " + std::to_string(n)) inside = true;
    }
    return out;
}

struct Shots {
    HeadlessRun run;
    std::vector<Picture> pictures;
};

Shots Shoot(const std::string& name, const std::string& script, const std::vector<int>& frames, int last) {
    std::string dir = TempDir(name);
    std::vector<std::string> args = {"--frames", std::to_string(last)};
    for (int f : frames) {
        args.push_back("--shot");
        args.push_back(std::to_string(f) + ":" + dir + "/" + std::to_string(f) + ".png");
    }
    Shots shots;
    shots.run = RunHeadless(args, script);
    EXPECT_EQ(shots.run.status, 0) << shots.run.stderrText;
    for (int f : frames) {
        shots.pictures.push_back(ReadPng(dir + "/" + std::to_string(f) + ".png"));
        EXPECT_EQ(shots.pictures.back().width, 640);
    }
    return shots;
}

// NEW GAME at frame 100: frames 101 to 350 are the countdown.
const char kNewGame[] = "100 press ENTER\n";

TEST(RaceScreen, NewGameStopsTheMusicAndPauses) {
    Shots shots = Shoot("race-start", kNewGame, {}, 400);
    EXPECT_EQ(AfterFlip(shots.run.log, 100), (std::vector<std::string>{"mci 263 stop MUSIC", "sleep 500"}));
    EXPECT_EQ(LinesStarting(shots.run.log, "mci"), (std::vector<std::string>{"mci 263 stop MUSIC"}));
    EXPECT_EQ(LinesStarting(shots.run.log, "sleep"), (std::vector<std::string>{"sleep 1000", "sleep 500"}));
    EXPECT_EQ(LinesStarting(shots.run.log, "flip").size(), 400u);
}

TEST(RaceScreen, TheCountdownFrameAndPanel) {
    Shots shots = Shoot("countdown", kNewGame, {101, 111, 112, 200, 350}, 360);
    const std::vector<std::string> speeds = {"99", "100"};
    std::string report;
    // The first eleven frames count 7, then 6. The speed reading flickers between the speed
    // and one less; untouched, the speed falls by one every five frames on the smooth band.
    EXPECT_EQ(BestFit(shots.pictures[0], "7", false, Panel{}, speeds, report), 0) << report;
    EXPECT_EQ(BestFit(shots.pictures[1], "7", false, Panel{}, {"97", "98"}, report), 0) << report;
    EXPECT_EQ(BestFit(shots.pictures[2], "6", false, Panel{}, {"97", "98"}, report), 0) << report;
    EXPECT_GT(BestFit(shots.pictures[2], "7", false, Panel{}, {"97", "98"}, report), 0);
    // Frame 200 is the 100th of the countdown (150 left): 4. The clock stands meanwhile.
    EXPECT_EQ(BestFit(shots.pictures[3], "4", false, Panel{}, {"79", "80"}, report), 0) << report;
    // Frame 350 is the last of the countdown: 1.
    EXPECT_EQ(BestFit(shots.pictures[4], "1", false, Panel{}, {"49", "50"}, report), 0) << report;

    const Picture& first = shots.pictures[0];
    // "ARE YOU READY ?": 'A' row 0 (3E) red at (218..222, 190), its shadow's row 0 one row up
    // and one column left, uncovered by the red.
    for (int x = 218; x <= 222; ++x) EXPECT_EQ(first.At(x, 190), kRed) << x;
    for (int x = 217; x <= 221; ++x) EXPECT_EQ(first.At(x, 189), kDarkRed) << x;
    // "7" at (262, 200): row 0 (7E) sets columns 1..6.
    for (int x = 263; x <= 268; ++x) EXPECT_EQ(first.At(x, 200), kRed) << x;
    // The four outlines, nested, from grey 96 inside to 16 outside.
    for (int i = 0; i < 480; i += 7) {
        EXPECT_EQ(first.At(3 + (i % 474), 3), Shown565(96, 96, 96));
        EXPECT_EQ(first.At(476, 3 + (i % 474)), Shown565(96, 96, 96));
        EXPECT_EQ(first.At(2 + (i % 476), 477), Shown565(64, 64, 64));
        EXPECT_EQ(first.At(1, 1 + (i % 478)), Shown565(32, 32, 32));
        EXPECT_EQ(first.At(i, 0), Shown565(16, 16, 16));
        EXPECT_EQ(first.At(479, i), Shown565(16, 16, 16));
    }
    // The panel: 'Y' of YOUR SPEED row 0 (26) at columns 2, 5, 6 in (255, 0, 128); TIME LEFT's
    // value 200: '2' row 0 (7C) at columns 1..5 in (0, 128, 128).
    for (int x : {502, 505, 506}) EXPECT_EQ(first.At(x, 200), Shown565(255, 0, 128)) << x;
    for (int x = 597; x <= 601; ++x) EXPECT_EQ(first.At(x, 230), Shown565(0, 128, 128)) << x;
    // No quit question, no clock warning during the countdown.
    Drawn question;
    Shadowed(question, 200, 180, "ARE YOU SURE - Y/N");
    EXPECT_GT(question.Mismatches(first, report), 0);
}

TEST(RaceScreen, EscapeDuringTheCountdownOnlyClicks) {
    Shots shots = Shoot("countdown-escape", std::string(kNewGame) + "200 press ESCAPE\n210 press Y\n", {220}, 230);
    EXPECT_TRUE(AfterFlip(shots.run.log, 200).empty());
    EXPECT_TRUE(AfterFlip(shots.run.log, 210).empty());
    EXPECT_EQ(LinesStarting(shots.run.log, "mci").size(), 1u);
    // Frame 220 still counts down (130 left: 4), without the question.
    std::string report;
    EXPECT_EQ(BestFit(shots.pictures[0], "4", false, Panel{}, {"75", "76"}, report), 0) << report;
}

TEST(RaceScreen, TheQuitQuestionAndTheWayBackToTheMenu) {
    std::string dir = TempDir("race-menu");
    HeadlessRun menuRun = RunHeadless({"--frames", "121", "--shot", "120:" + dir + "/menu.png"});
    ASSERT_EQ(menuRun.status, 0);
    Picture menu = ReadPng(dir + "/menu.png");

    Shots shots = Shoot("race-quit", std::string(kNewGame) + "360 press ESCAPE\n370 press Y\n", {361, 369, 371, 380},
                        400);
    // Escape after the countdown: a click, no pause, the question on the next frame.
    EXPECT_TRUE(AfterFlip(shots.run.log, 360).empty());
    for (int i : {0, 1}) {
        const Picture& picture = shots.pictures[static_cast<size_t>(i)];
        Drawn question;
        Shadowed(question, 200, 180, "ARE YOU SURE - Y/N");
        std::string report;
        EXPECT_EQ(question.Mismatches(picture, report), 0) << report;
        // 'A' of ARE row 0 (3E) at columns 2..6.
        for (int x = 202; x <= 206; ++x) EXPECT_EQ(picture.At(x, 180), kRed) << x;
        // The frame around the road is still drawn under the question.
        EXPECT_EQ(picture.At(3, 240), Shown565(96, 96, 96));
        EXPECT_EQ(picture.At(0, 240), Shown565(16, 16, 16));
    }
    // Y: the music resumes, a pause, and the main menu from the next frame.
    EXPECT_EQ(AfterFlip(shots.run.log, 370),
              (std::vector<std::string>{"mci 263 play MUSIC notify", "sleep 500"}));
    EXPECT_EQ(LinesStarting(shots.run.log, "mci"),
              (std::vector<std::string>{"mci 263 stop MUSIC", "mci 263 play MUSIC notify"}));
    EXPECT_EQ(shots.pictures[2].rgb, menu.rgb);
    EXPECT_EQ(shots.pictures[3].rgb, menu.rgb);
}

TEST(RaceScreen, OtherKeysAnswerNoAndTheRaceGoesOn) {
    Shots shots = Shoot("race-no",
                        std::string(kNewGame) +
                            "360 press ESCAPE\n362 press ESCAPE\n364 press UP\n366 press DOWN\n370 press N\n"
                            "380 press ESCAPE\n385 press LEFT\n390 press ESCAPE\n395 press ENTER\n",
                        {368, 372, 387, 397}, 400);
    Drawn question;
    Shadowed(question, 200, 180, "ARE YOU SURE - Y/N");
    std::string report;
    // A second Escape, Up and Down leave the question up.
    EXPECT_EQ(question.Mismatches(shots.pictures[0], report), 0) << report;
    // N and Left answer no: no pause, the question gone, the race goes on.
    EXPECT_GT(question.Mismatches(shots.pictures[1], report), 0);
    EXPECT_GT(question.Mismatches(shots.pictures[2], report), 0);
    for (int n : {360, 362, 364, 366, 370, 380, 385, 390}) EXPECT_TRUE(AfterFlip(shots.run.log, n).empty()) << n;
    // Enter answers yes.
    EXPECT_EQ(AfterFlip(shots.run.log, 395),
              (std::vector<std::string>{"mci 263 play MUSIC notify", "sleep 500"}));
    // Back in the menu: 'N' of NEW GAME bright, the race's frame gone.
    EXPECT_EQ(shots.pictures[3].At(322, 270), kRed);
    EXPECT_EQ(shots.pictures[3].At(0, 240), 0u);
}

}  // namespace
