// The main menu through the headless runner: the items and their highlight, the info box,
// the opening curtain and the keys while it opens.
#include "../support/drawn.h"
#include "../support/support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const uint32_t kBright = Shown565(255, 0, 0);
const uint32_t kDark = Shown565(128, 0, 0);
const uint32_t kInfoRed = Shown565(114, 0, 0);
const char* const kItems[5] = {"NEW GAME", "OPTIONS", "HIGH-SCORES", "ABOUT", "EXIT GAME"};
const struct {
    int y;
    const char* text;
} kInfoLines[] = {
    {400, "FIRST PLAYABLE VERSION"},
    {410, "ONLY POINT-COLLECT MODE AVAILABLE "},
    {420, "ASPHALTIX MODE NOT AVAILABLE "},
    {430, "NO SKILL-LEVELS"},
    {440, "NO WORKING HIGHSCORE-LIST"},
    {450, "NO OPTIONS-MENU"},
    {460, "AND A FEW BUGS !!!!! "},
};

// The menu with item `selection` highlighted (the version line, whose words are free, aside).
Drawn MenuDrawing(int selection) {
    Drawn d;
    d.Text(320, 250, "MAIN MENU", kBright);
    for (int n = 1; n <= 5; ++n) d.Text(320, 260 + 10 * n, kItems[n - 1], kDark);
    d.Rect(27, 377, 313, 473, kInfoRed);
    d.Rect(26, 376, 314, 474, Shown565(32, 0, 0));
    d.HLine(27, 313, 393, kInfoRed);
    for (const auto& line : kInfoLines) d.Text(30, line.y, line.text, 0);
    for (const auto& line : kInfoLines) d.Text(31, line.y + 1, line.text, kInfoRed);
    d.Text(320, 260 + 10 * selection, kItems[selection - 1], kBright);
    return d;
}

struct Shots {
    HeadlessRun run;
    std::vector<Picture> pictures;
};

// Runs the script up to the last asked frame and returns the pictures after the given frames.
Shots Shoot(const std::string& name, const std::string& script, const std::vector<int>& frames) {
    std::string dir = TempDir(name);
    std::vector<std::string> args = {"--frames", std::to_string(frames.back() + 1)};
    for (int f : frames) {
        args.push_back("--shot");
        args.push_back(std::to_string(f) + ":" + dir + "/" + std::to_string(f) + ".png");
    }
    Shots shots;
    shots.run = RunHeadless(args, script);
    EXPECT_EQ(shots.run.status, 0) << shots.run.stderrText;
    for (int f : frames) shots.pictures.push_back(ReadPng(dir + "/" + std::to_string(f) + ".png"));
    return shots;
}

Picture ShootOne(const std::string& name, const std::string& script, int frame) {
    Shots shots = Shoot(name, script, {frame});
    return shots.pictures.front();
}

std::vector<std::string> LinesStarting(const std::vector<std::string>& log, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& line : log) {
        if (line.rfind(prefix, 0) == 0) out.push_back(line);
    }
    return out;
}

void ExpectMenu(const Picture& picture, int selection) {
    ASSERT_EQ(picture.width, 640);
    std::string report;
    EXPECT_EQ(MenuDrawing(selection).Mismatches(picture, report), 0)
        << "selection " << selection << ": " << report;
}

TEST(MainMenu, OnlyTheSelectedItemIsBright) {
    for (int selection = 1; selection <= 5; ++selection) {
        SCOPED_TRACE(selection);
        std::string script;
        for (int n = 1; n < selection; ++n) script += std::to_string(98 + 2 * n) + " press DOWN\n";
        Picture picture = ShootOne("select" + std::to_string(selection), script, 120);
        ASSERT_EQ(picture.width, 640);
        ExpectMenu(picture, selection);
        for (int other = 1; other <= 5; ++other) {
            if (other == selection) continue;
            std::string report;
            EXPECT_GT(MenuDrawing(other).Mismatches(picture, report), 0) << other;
        }
        // 'N' of NEW GAME, row 0 (26): columns 2, 5 and 6 set.
        uint32_t newGame = selection == 1 ? kBright : kDark;
        EXPECT_EQ(picture.At(322, 270), newGame);
        EXPECT_EQ(picture.At(325, 270), newGame);
        EXPECT_EQ(picture.At(326, 270), newGame);
        // 'E' of EXIT GAME, row 5 (FE): columns 0..6.
        uint32_t exitGame = selection == 5 ? kBright : kDark;
        for (int x = 320; x <= 326; ++x) EXPECT_EQ(picture.At(x, 315), exitGame);
        // The title stays bright: 'M' row 2 (FE).
        for (int x = 320; x <= 326; ++x) EXPECT_EQ(picture.At(x, 252), kBright);
    }
}

TEST(MainMenu, SelectionWrapsAroundAndFollowsAHeldKey) {
    // Up on NEW GAME selects EXIT GAME.
    ExpectMenu(ShootOne("up", "100 press UP\n", 120), 5);
    // Down on EXIT GAME selects NEW GAME.
    ExpectMenu(ShootOne("down5",
                        "100 press DOWN\n102 press DOWN\n104 press DOWN\n106 press DOWN\n108 press DOWN\n", 120),
               1);
    // A held Down moves on with each auto-repeat, without a pause.
    Shots held = Shoot("held", "100 down DOWN\n101 repeat DOWN\n102 repeat DOWN\n103 up DOWN\n", {120});
    ExpectMenu(held.pictures[0], 4);
    EXPECT_EQ(LinesStarting(held.run.log, "sleep").size(), 1u);  // the start-up pause only
}

TEST(MainMenu, InfoBoxAndBlackEdges) {
    Picture picture = ShootOne("infobox", "", 120);
    ASSERT_EQ(picture.width, 640);
    ExpectMenu(picture, 1);
    // The two outlines and the separator, corner by corner.
    EXPECT_EQ(picture.At(27, 377), kInfoRed);
    EXPECT_EQ(picture.At(313, 377), kInfoRed);
    EXPECT_EQ(picture.At(27, 473), kInfoRed);
    EXPECT_EQ(picture.At(313, 473), kInfoRed);
    EXPECT_EQ(picture.At(26, 376), Shown565(32, 0, 0));
    EXPECT_EQ(picture.At(314, 474), Shown565(32, 0, 0));
    for (int x = 27; x <= 313; ++x) EXPECT_EQ(picture.At(x, 393), kInfoRed) << x;
    // 'F' of FIRST PLAYABLE VERSION, row 0 (3E): black shadow at (32..36, 400), red one lower
    // and one further right; the shadow's leftmost pixel (32, 400) is left uncovered.
    EXPECT_EQ(picture.At(32, 400), 0u);
    for (int x = 33; x <= 37; ++x) EXPECT_EQ(picture.At(x, 401), kInfoRed);
    // The version line above the separator: red letters from x 31 with their black shadow.
    int red = 0;
    int black = 0;
    for (int y = 380; y <= 388; ++y) {
        for (int x = 30; x <= 311; ++x) {
            if (picture.At(x, y) == kInfoRed) ++red;
            if (picture.At(x, y) == 0) ++black;
        }
    }
    EXPECT_GT(red, 35 * 8);
    EXPECT_GT(black, 35);
    // The outermost rows and columns stay black.
    for (int x = 0; x < 640; ++x) {
        EXPECT_EQ(picture.At(x, 0), 0u) << x;
        EXPECT_EQ(picture.At(x, 479), 0u) << x;
    }
    for (int y = 0; y < 480; ++y) {
        EXPECT_EQ(picture.At(0, y), 0u) << y;
        EXPECT_EQ(picture.At(639, y), 0u) << y;
    }
}

TEST(MainMenu, OptionsAndAboutPauseAndStay) {
    Shots options = Shoot("options", "100 press DOWN\n102 press ENTER\n", {110});
    ExpectMenu(options.pictures[0], 2);
    Shots about = Shoot("about", "100 press DOWN\n102 press DOWN\n104 press DOWN\n106 press ENTER\n", {110});
    ExpectMenu(about.pictures[0], 4);
    for (const auto* run : {&options.run, &about.run}) {
        std::vector<std::string> sleeps = LinesStarting(run->log, "sleep");
        EXPECT_EQ(sleeps, (std::vector<std::string>{"sleep 1000", "sleep 500"}));
        EXPECT_EQ(LinesStarting(run->log, "flip").size(), 111u);
        EXPECT_TRUE(LinesStarting(run->log, "mci").empty());
    }
}

// The curtain after frame `frame` over the menu picture.
void ExpectCurtain(const Picture& shot, const Picture& menu, int frame) {
    int p = 479 - 5 * frame;
    if (p < 0) p = 0;
    int wrong = 0;
    std::string report;
    for (int y = 0; y < 480; ++y) {
        bool black = p < 240 ? (y % 2 == 0 && y <= 2 * p - 2)
                             : (y >= 960 - 2 * p || (y % 2 == 0 && y < 960 - 2 * p));
        for (int x = 0; x < 640; ++x) {
            uint32_t want = black ? 0u : menu.At(x, y);
            if (shot.At(x, y) != want && ++wrong <= 5) {
                char line[96];
                std::snprintf(line, sizeof line, "(%d,%d) shows %06X, expected %06X; ", x, y, shot.At(x, y), want);
                report += line;
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "frame " << frame << " (curtain at " << p << "): " << report;
}

TEST(Curtain, OpensOverNinetySixFrames) {
    const std::vector<int> frames = {1, 2, 30, 47, 48, 60, 94, 95, 96, 97, 120};
    Shots shots = Shoot("curtain", "", frames);
    const Picture& menu = shots.pictures.back();
    ASSERT_EQ(menu.width, 640);
    ExpectMenu(menu, 1);
    for (size_t i = 0; i + 1 < frames.size(); ++i) {
        ASSERT_EQ(shots.pictures[i].width, 640);
        ExpectCurtain(shots.pictures[i], menu, frames[i]);
    }
    // Spot checks. Frame 1 (474): black lines on rows 0..10, a solid band from row 12; only
    // the odd rows 1..11 show the menu.
    const Picture& first = shots.pictures[0];
    for (int y = 12; y < 480; ++y) EXPECT_EQ(first.At(320, y), 0u) << y;
    // Frame 48 (239): black on the even rows 0..476 only.
    const Picture& half = shots.pictures[4];
    EXPECT_EQ(half.At(100, 476), 0u);
    EXPECT_EQ(half.At(100, 478), menu.At(100, 478));
    EXPECT_EQ(half.At(100, 477), menu.At(100, 477));
    // Frame 60 (179): black lines on the even rows 0..356.
    const Picture& sixty = shots.pictures[5];
    EXPECT_EQ(sixty.At(100, 356), 0u);
    EXPECT_EQ(sixty.At(100, 358), menu.At(100, 358));
    // Frame 96 and later: the menu alone.
    EXPECT_EQ(shots.pictures[8].rgb, menu.rgb);
    EXPECT_EQ(shots.pictures[9].rgb, menu.rgb);
}

TEST(Curtain, KeysAreIgnoredUntilItHasOpened) {
    for (int frame : {20, 95}) {
        SCOPED_TRACE(frame);
        Shots shots = Shoot("early" + std::to_string(frame), std::to_string(frame) + " press DOWN\n", {120});
        ExpectMenu(shots.pictures[0], 1);
        EXPECT_TRUE(LinesStarting(shots.run.log, "sound").empty());
    }
    Shots open = Shoot("open96", "96 press DOWN\n", {97, 120});
    ExpectMenu(open.pictures[0], 2);
    ExpectMenu(open.pictures[1], 2);
}

}  // namespace
