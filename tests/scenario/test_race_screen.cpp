// The race screen through the headless runner: the start countdown, the status panel, the
// frame around the road view, the music commands and the quit question.
#include "../support/drawn.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

void Shadowed(Drawn& d, int x, int y, const std::string& text) {
    d.Text(x - 1, y - 1, text, Shown565(128, 0, 0));
    d.Text(x, y, text, Shown565(255, 0, 0));
}

Drawn Question() {
    Drawn d;
    Shadowed(d, 200, 180, "ARE YOU SURE - Y/N");
    return d;
}

// What a countdown frame draws over the road and the panel picture: the count, the four grey
// outlines, the panel's texts. The speed reading flickers between the speed and one less, so
// the best fit of the two is taken; empty when it matches.
std::string MisdrawnCountdown(const Picture& picture, const std::string& count, int speed) {
    std::string best;
    for (int shown : {speed - 1, speed}) {
        Drawn d;
        Shadowed(d, 216, 190, "ARE YOU READY ?");
        Shadowed(d, 262, 200, count);
        const int grey[4] = {96, 64, 32, 16};
        for (int i = 0; i < 4; ++i) d.Rect(3 - i, 3 - i, 476 + i, 476 + i, Shown565(grey[i], grey[i], grey[i]));
        const char* labels[4] = {"YOUR SPEED", "YOUR ENERGY", "YOUR POINTS", "TIME LEFT"};
        const std::string values[4] = {std::to_string(shown), "100", "0", "200"};
        for (int i = 0; i < 4; ++i) {
            d.Text(500, 200 + 10 * i, labels[i], Shown565(255, 0, 128));
            d.Text(596, 200 + 10 * i, values[i], Shown565(0, 128, 128));
        }
        std::string wrong = d.Misdrawn(picture);
        if (shown == speed - 1 || wrong.empty()) best = wrong;
    }
    return best;
}

TEST(RaceScreen, TheCountdownThePanelAndTheQuitQuestion) {
    // NEW GAME at frame 100: frames 101 to 350 are the countdown, where Escape (even on its
    // last frame) only clicks and Y does nothing. Then Escape asks; a second Escape, Up and
    // Down leave the question up, N and Left answer no, Y answers yes.
    Shots shots = Shoot("100 press ENTER\n349 press ESCAPE\n350 press Y\n360 press ESCAPE\n362 press ESCAPE\n"
                        "364 press UP\n366 press DOWN\n370 press N\n380 press ESCAPE\n385 press LEFT\n"
                        "390 press ESCAPE\n395 press Y\n",
                        {99, 101, 111, 112, 200, 350, 361, 368, 372, 387, 397}, 400);
    // The music stops with a pause as the race starts, and resumes with one at yes.
    EXPECT_EQ(Without(shots.run.log), Seq("sleep 1000", Flips(1, 100), "mci 263 stop MUSIC", "sleep 500",
                                          Flips(101, 395), "mci 263 play MUSIC notify", "sleep 500",
                                          Flips(396, 400), "stop 400"));
    // The first eleven frames count 7, then 6, ... the last 1. Untouched, the speed falls by one
    // every five frames on the smooth band; the clock stands meanwhile.
    const struct {
        size_t shot;
        const char* count;
        int speed;
    } countdown[] = {{1, "7", 100}, {2, "7", 98}, {3, "6", 98}, {4, "4", 80}, {5, "1", 50}};
    for (const auto& c : countdown) {
        EXPECT_EQ(MisdrawnCountdown(shots.at[c.shot], c.count, c.speed), "") << "count " << c.count;
    }
    EXPECT_NE(Question().Misdrawn(shots.at[5]), "");
    // The question over the race and its frame.
    for (size_t i : {6, 7}) {
        EXPECT_EQ(Question().Misdrawn(shots.at[i]), "");
        EXPECT_EQ(shots.at[i].At(3, 240), Shown565(96, 96, 96));
        EXPECT_EQ(shots.at[i].At(0, 240), Shown565(16, 16, 16));
    }
    EXPECT_NE(Question().Misdrawn(shots.at[8]), "");
    EXPECT_NE(Question().Misdrawn(shots.at[9]), "");
    // Back in the main menu, just as it was before the race.
    EXPECT_EQ(shots.at[10].rgb, shots.at[0].rgb);
}

TEST(RaceScreen, EnterAlsoAnswersYes) {
    HeadlessRun run = RunHeadless({"--frames", "370"}, "100 press ENTER\n360 press ESCAPE\n365 press ENTER\n");
    EXPECT_EQ(Without(run.log), Seq("sleep 1000", Flips(1, 100), "mci 263 stop MUSIC", "sleep 500", Flips(101, 365),
                                    "mci 263 play MUSIC notify", "sleep 500", Flips(366, 370), "stop 370"));
}

}  // namespace
