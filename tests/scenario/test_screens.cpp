// The game's screens through the headless runner: the main menu with its opening curtain, its
// items and their highlight and the info box; the hall of fame with its fixed table and the
// high-score file that gates it; the race screen with its countdown, status panel, frame around
// the road view, music commands and quit question.
#include "../support/drawn.h"

#include <filesystem>

using namespace testing_support;

namespace {

const uint32_t kBright = Shown565(255, 0, 0);
const uint32_t kInfoRed = Shown565(114, 0, 0);

// The menu with item `selection` highlighted (the version line, whose words are free, aside).
Drawn MenuDrawing(int selection) {
    const char* const items[5] = {"NEW GAME", "OPTIONS", "HIGH-SCORES", "ABOUT", "EXIT GAME"};
    const char* const info[7] = {
        "FIRST PLAYABLE VERSION",        "ONLY POINT-COLLECT MODE AVAILABLE ",
        "ASPHALTIX MODE NOT AVAILABLE ", "NO SKILL-LEVELS",
        "NO WORKING HIGHSCORE-LIST",     "NO OPTIONS-MENU",
        "AND A FEW BUGS !!!!! "};
    Drawn d;
    d.Text(320, 250, "MAIN MENU", kBright);
    for (int n = 1; n <= 5; ++n)
        d.Text(320, 260 + 10 * n, items[n - 1], Shown565(n == selection ? 255 : 128, 0, 0));
    d.Rect(0, 0, 639, 479, 0);  // the outermost rows and columns stay black
    d.Rect(27, 377, 313, 473, kInfoRed);
    d.Rect(26, 376, 314, 474, Shown565(32, 0, 0));
    d.Rect(27, 393, 313, 393, kInfoRed);
    // A black shadow under each line.
    for (int i = 0; i < 7; ++i) d.Text(30, 400 + 10 * i, info[i], 0);
    for (int i = 0; i < 7; ++i) d.Text(31, 401 + 10 * i, info[i], kInfoRed);
    return d;
}

TEST(MainMenu, TheCurtainOpensOverNinetySixFramesThenTheHighlightFollowsTheKeys) {
    // Moves two frames apart, each seen on the next frame: Down four times, Down on EXIT GAME
    // wraps to NEW GAME, Up wraps back; a held Down moves on with each auto-repeat.
    Shots shots = Shoot(
        "100 press DOWN\n102 press DOWN\n104 press DOWN\n106 press DOWN\n108 press DOWN\n"
        "110 press UP\n112 down DOWN\n113 repeat DOWN\n114 repeat DOWN\n115 up DOWN\n",
        {1, 2, 47, 48, 95, 96, 99, 101, 103, 105, 107, 109, 111, 116}, 117);
    const int curtain[6] = {1, 2, 47, 48, 95, 96};
    const int selected[8] = {1, 2, 3, 4, 5, 1, 5, 3};  // after frames 99, 101, ..., 111 and 116
    const Picture& menu = shots.at[6];
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(MenuDrawing(selected[i]).Misdrawn(shots.at[6 + i]), "") << i;
    // A move clicks at 22000 Hz and does not pause.
    EXPECT_EQ(Only(shots.run.log, {"sound 0 freq"}),
              std::vector<std::string>(9, "sound 0 freq 22000"));
    EXPECT_EQ(Only(shots.run.log, {"sleep"}), Seq("sleep 1000"));

    // After frame f the curtain stands at p = 479 - 5f (at least 0). From 240 on, it blackens the
    // even rows above 960 - 2p and every row from there; below 240, the even rows up to 2p - 2.
    for (size_t i = 0; i < 6; ++i) {
        int p = std::max(0, 479 - 5 * curtain[i]);
        int wrong = 0;
        for (int y = 0; y < 480; ++y) {
            bool black =
                p < 240 ? (y % 2 == 0 && y <= 2 * p - 2) : (y >= 960 - 2 * p || y % 2 == 0);
            for (int x = 0; x < 640; ++x)
                wrong += shots.at[i].At(x, y) != (black ? 0u : menu.At(x, y));
        }
        EXPECT_EQ(wrong, 0) << "after frame " << curtain[i] << " (curtain at " << p << ")";
    }

    // The version line above the separator: red letters from x 31 on their black shadow.
    int red = 0, black = 0;
    for (int i = 0; i < 282 * 9; ++i) {
        const uint32_t c = menu.At(30 + i % 282, 380 + i / 282);
        red += c == kInfoRed, black += c == 0;
    }
    EXPECT_GT(red, 35 * 8);
    EXPECT_GT(black, 35);
}

const char kToHallOfFame[] = "100 press DOWN\n102 press DOWN\n104 press ENTER\n";

// A copy of the game's folder whose high-score file holds `highScores`, or that has none.
std::string GameFolder(const std::string& name, const char* highScores) {
    std::string dir = TempDir(name);
    std::filesystem::copy(GameDir(), dir);
    EXPECT_TRUE(std::filesystem::remove(dir + "/Highscore.List"));
    if (highScores != nullptr)
        std::ofstream(dir + "/Highscore.List", std::ios::binary) << highScores;
    return dir;
}

// Any high-score file will do: HIGH-SCORES shows the fixed table, each row darker than the
// one above, until Escape leads back to the main menu with HIGH-SCORES still bright ('H' row 2,
// E6: columns 0, 1, 2, 5 and 6) and NEW GAME dark ('N' row 0).
TEST(HallOfFame, HighScoresShowsTheFixedTableUntilEscape) {
    Shots shots = Shoot(std::string(kToHallOfFame) + "130 press ESCAPE\n", {105, 129, 140}, 150, {},
                        GameFolder("garbage", "not a table at all\n\x01\x02"));
    EXPECT_EQ(Without(shots.run.log), Seq("sleep 1000", Flips(1, 104), "sleep 500", Flips(105, 130),
                                          "sleep 500", Flips(131, 150), "stop 150"));
    const char* const rows[10][2] = {
        {"KORVAX 5", "01774"}, {"DRUMO", "00734"},    {"PILKE", "00334"},    {"WENZO", "00177"},
        {"TROXA", "00074"},    {"NO ENTRY", "00000"}, {"NO ENTRY", "00000"}, {"NO ENTRY", "00000"},
        {"NO ENTRY", "00000"}, {"NO ENTRY", "00000"}};
    const int reds[10] = {255, 215, 195, 175, 155, 135, 115, 95, 75, 55};
    Drawn hall;
    hall.Rect(0, 0, 639, 479, 0);  // the outermost rows and columns stay black
    hall.Text(320, 250, "HALL OF FAME", Shown565(255, 2, 0));
    for (int n = 0; n < 10; ++n) {
        hall.Text(320, 270 + 10 * n, rows[n][0], Shown565(reds[n], 0, 0));
        hall.Text(420, 270 + 10 * n, rows[n][1], Shown565(reds[n], 0, 0));
    }
    EXPECT_EQ(hall.Misdrawn(shots.at[0]), "");
    EXPECT_EQ(shots.at[1].rgb, shots.at[0].rgb);
    EXPECT_NE(hall.Misdrawn(shots.at[2]), "");
    for (int x : {320, 321, 322, 325, 326})
        EXPECT_EQ(shots.at[2].At(x, 292), Shown565(255, 0, 0)) << x;
    EXPECT_EQ(shots.at[2].At(322, 270), Shown565(128, 0, 0));
}

// Without the file: one box, the rest of the choice (its pause), and the end: no frame after it.
TEST(HallOfFame, WithoutTheHighScoreFileTheProgramEndsWithABox) {
    HeadlessRun run =
        RunHeadless({"--frames", "300"}, kToHallOfFame, GameFolder("missing", nullptr));
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> log = Without(run.log);
    ASSERT_EQ(log.size(), 108u);
    EXPECT_TRUE(IsBox(log[105], "Highscore-Liste nicht gefunden!")) << log[105];
    EXPECT_EQ(log, Seq("sleep 1000", Flips(1, 104), log[105], "sleep 500", "exit 0"));
}

void Shadowed(Drawn& d, int x, int y, const std::string& text) {
    d.Text(x - 1, y - 1, text, Shown565(128, 0, 0));
    d.Text(x, y, text, Shown565(255, 0, 0));
}

// NEW GAME at frame 100: frames 101 to 350 are the countdown. Its first eleven frames count 7,
// its last 1; untouched, the speed falls by one every five frames on the smooth band and the
// clock stands. Escape then asks, a second Escape leaves the question up, Y answers yes: the
// music stops with a pause as the race starts, and resumes with one at yes, in the main menu
// just as it was before the race.
TEST(RaceScreen, TheCountdownThePanelAndTheQuitQuestion) {
    Shots shots = Shoot("100 press ENTER\n360 press ESCAPE\n362 press ESCAPE\n395 press Y\n",
                        {99, 101, 350, 361, 363, 397}, 400);
    EXPECT_EQ(Without(shots.run.log),
              Seq("sleep 1000", Flips(1, 100), "mci 263 stop MUSIC", "sleep 500", Flips(101, 395),
                  "mci 263 play MUSIC notify", "sleep 500", Flips(396, 400), "stop 400"));
    // What a countdown frame draws over the road and the panel picture: the count, the four
    // grey outlines, the panel's texts. The speed reading flickers between the speed and one
    // less, so either may show.
    for (auto [shot, count, speed] : {std::tuple{1, "7", 100}, {2, "1", 50}}) {
        std::string misdrawn[2];
        for (int flicker : {0, 1}) {
            Drawn d;
            Shadowed(d, 216, 190, "ARE YOU READY ?");
            Shadowed(d, 262, 200, count);
            const int grey[4] = {96, 64, 32, 16};
            for (int i = 0; i < 4; ++i)
                d.Rect(3 - i, 3 - i, 476 + i, 476 + i, Shown565(grey[i], grey[i], grey[i]));
            const char* labels[4] = {"YOUR SPEED", "YOUR ENERGY", "YOUR POINTS", "TIME LEFT"};
            const std::string values[4] = {std::to_string(speed - flicker), "100", "0", "200"};
            for (int i = 0; i < 4; ++i) {
                d.Text(500, 200 + 10 * i, labels[i], Shown565(255, 0, 128));
                d.Text(596, 200 + 10 * i, values[i], Shown565(0, 128, 128));
            }
            misdrawn[flicker] = d.Misdrawn(shots.at[size_t(shot)]);
        }
        EXPECT_TRUE(misdrawn[0].empty() || misdrawn[1].empty()) << count << ": " << misdrawn[1];
    }
    Drawn question;
    Shadowed(question, 200, 180, "ARE YOU SURE - Y/N");
    EXPECT_NE(question.Misdrawn(shots.at[2]), "");
    for (size_t i : {3, 4}) EXPECT_EQ(question.Misdrawn(shots.at[i]), "");
    EXPECT_EQ(shots.at[5].rgb, shots.at[0].rgb);
}

}  // namespace
