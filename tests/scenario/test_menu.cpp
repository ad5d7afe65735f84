// The main menu through the headless runner: the opening curtain, the items and their
// highlight, the info box, and the items that only pause.
#include "../support/drawn.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;

namespace {

const uint32_t kBright = Shown565(255, 0, 0);
const uint32_t kInfoRed = Shown565(114, 0, 0);

// The menu with item `selection` highlighted (the version line, whose words are free, aside).
Drawn MenuDrawing(int selection) {
    const char* const items[5] = {"NEW GAME", "OPTIONS", "HIGH-SCORES", "ABOUT", "EXIT GAME"};
    const char* const info[7] = {"FIRST PLAYABLE VERSION", "ONLY POINT-COLLECT MODE AVAILABLE ",
                                 "ASPHALTIX MODE NOT AVAILABLE ", "NO SKILL-LEVELS", "NO WORKING HIGHSCORE-LIST",
                                 "NO OPTIONS-MENU", "AND A FEW BUGS !!!!! "};
    Drawn d;
    d.Text(320, 250, "MAIN MENU", kBright);
    for (int n = 1; n <= 5; ++n) d.Text(320, 260 + 10 * n, items[n - 1], Shown565(n == selection ? 255 : 128, 0, 0));
    d.Rect(0, 0, 639, 479, 0);  // the outermost rows and columns stay black
    d.Rect(27, 377, 313, 473, kInfoRed);
    d.Rect(26, 376, 314, 474, Shown565(32, 0, 0));
    d.Rect(27, 393, 313, 393, kInfoRed);
    for (int i = 0; i < 7; ++i) d.Text(30, 400 + 10 * i, info[i], 0);  // a black shadow under each line
    for (int i = 0; i < 7; ++i) d.Text(31, 401 + 10 * i, info[i], kInfoRed);
    return d;
}

TEST(MainMenu, TheCurtainOpensOverNinetySixFramesThenTheHighlightFollowsTheKeys) {
    // Moves two frames apart, each seen on the next frame: Down four times, Down on EXIT GAME
    // wraps to NEW GAME, Up wraps back; a held Down moves on with each auto-repeat.
    Shots shots = Shoot("100 press DOWN\n102 press DOWN\n104 press DOWN\n106 press DOWN\n108 press DOWN\n"
                        "110 press UP\n112 down DOWN\n113 repeat DOWN\n114 repeat DOWN\n115 up DOWN\n",
                        {1, 2, 47, 48, 95, 96, 99, 101, 103, 105, 107, 109, 111, 116}, 117);
    const int curtain[6] = {1, 2, 47, 48, 95, 96};
    const int selected[8] = {1, 2, 3, 4, 5, 1, 5, 3};  // after frames 99, 101, ..., 111 and 116
    const Picture& menu = shots.at[6];
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(MenuDrawing(selected[i]).Misdrawn(shots.at[6 + i]), "") << i;
    // A move clicks at 22000 Hz and does not pause.
    EXPECT_EQ(Only(shots.run.log, {"sound 0 freq"}), std::vector<std::string>(9, "sound 0 freq 22000"));
    EXPECT_EQ(Only(shots.run.log, {"sleep"}), Seq("sleep 1000"));

    // After frame f the curtain stands at p = 479 - 5f (at least 0). From 240 on, it blackens the
    // even rows above 960 - 2p and every row from there; below 240, the even rows up to 2p - 2.
    for (size_t i = 0; i < 6; ++i) {
        int p = std::max(0, 479 - 5 * curtain[i]);
        int wrong = 0;
        for (int y = 0; y < 480; ++y) {
            bool black = p < 240 ? (y % 2 == 0 && y <= 2 * p - 2) : (y >= 960 - 2 * p || y % 2 == 0);
            for (int x = 0; x < 640; ++x) wrong += shots.at[i].At(x, y) != (black ? 0u : menu.At(x, y));
        }
        EXPECT_EQ(wrong, 0) << "after frame " << curtain[i] << " (curtain at " << p << ")";
    }

    // The version line above the separator: red letters from x 31 on their black shadow.
    int red = 0;
    int black = 0;
    for (int i = 0; i < 282 * 9; ++i) {
        red += menu.At(30 + i % 282, 380 + i / 282) == kInfoRed;
        black += menu.At(30 + i % 282, 380 + i / 282) == 0;
    }
    EXPECT_GT(red, 35 * 8);
    EXPECT_GT(black, 35);
}

TEST(MainMenu, OptionsAndAboutClickPauseAndStay) {
    // Moves click at 22000 Hz, choices at 44000 Hz; each click is over before the next key.
    Shots shots = Shoot("100 press DOWN\n120 press ENTER\n140 press DOWN\n160 press DOWN\n180 press ENTER\n",
                        {130, 190}, 191);
    EXPECT_EQ(Without(shots.run.log),
              Seq("sleep 1000", Flips(1, 120), "sleep 500", Flips(121, 180), "sleep 500", Flips(181, 191), "stop 191"));
    std::vector<std::string> clicks;
    for (const char* hz : {"22000", "44000", "22000", "22000", "44000"}) {
        clicks = Seq(clicks, std::string("sound 0 freq ") + hz, "sound 0 play");
    }
    EXPECT_EQ(Only(shots.run.log, {"sound "}), clicks);
    EXPECT_EQ(MenuDrawing(2).Misdrawn(shots.at[0]), "");
    EXPECT_EQ(MenuDrawing(4).Misdrawn(shots.at[1]), "");
}

}  // namespace
