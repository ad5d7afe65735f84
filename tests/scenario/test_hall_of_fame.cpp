// The hall of fame through the headless runner: the fixed table, the keys on it, and the
// high-score file that gates it.
#include "../support/drawn.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testing_support;

namespace {

const char kToHallOfFame[] = "100 press DOWN\n102 press DOWN\n104 press ENTER\n";

Drawn HallDrawing() {
    const struct {
        const char* name;
        const char* score;
        int red;
    } rows[10] = {
        {"KORVAX 5", "01774", 255}, {"DRUMO", "00734", 215},    {"PILKE", "00334", 195},
        {"WENZO", "00177", 175},    {"TROXA", "00074", 155},    {"NO ENTRY", "00000", 135},
        {"NO ENTRY", "00000", 115}, {"NO ENTRY", "00000", 95},  {"NO ENTRY", "00000", 75},
        {"NO ENTRY", "00000", 55},
    };
    Drawn d;
    d.Rect(0, 0, 639, 479, 0);  // the outermost rows and columns stay black
    d.Text(320, 250, "HALL OF FAME", Shown565(255, 2, 0));
    for (int n = 1; n <= 10; ++n) {
        d.Text(320, 260 + 10 * n, rows[n - 1].name, Shown565(rows[n - 1].red, 0, 0));
        d.Text(420, 260 + 10 * n, rows[n - 1].score, Shown565(rows[n - 1].red, 0, 0));
    }
    return d;
}

// A copy of the game's folder whose high-score file holds `highScores`, or that has none.
std::string GameFolder(const std::string& name, const char* highScores) {
    std::string dir = TempDir(name);
    std::filesystem::copy(GameDir(), dir);
    EXPECT_TRUE(std::filesystem::remove(dir + "/Highscore.List"));
    if (highScores != nullptr) std::ofstream(dir + "/Highscore.List", std::ios::binary) << highScores;
    return dir;
}

TEST(HallOfFame, HighScoresShowsTheFixedTableUntilEscape) {
    // Any high-score file will do. Enter, Space, the arrows and Y do nothing in the hall of
    // fame: no click, no pause, the same picture.
    Shots shots = Shoot(std::string(kToHallOfFame) +
                            "110 press ENTER\n112 press SPACE\n114 press UP\n116 press DOWN\n118 press Y\n"
                            "130 press ESCAPE\n",
                        {105, 129, 140}, 150, {}, GameFolder("garbage", "not a table at all\n\x01\x02"));
    EXPECT_EQ(Without(shots.run.log),
              Seq("sleep 1000", Flips(1, 104), "sleep 500", Flips(105, 130), "sleep 500", Flips(131, 150), "stop 150"));
    // Clicks: the two moves and the choice in the menu, and Escape.
    EXPECT_EQ(Only(shots.run.log, {"sound 0 freq"}).size(), 4u);
    EXPECT_EQ(HallDrawing().Misdrawn(shots.at[0]), "");
    EXPECT_EQ(shots.at[1].rgb, shots.at[0].rgb);
    // Escape leads back to the main menu with HIGH-SCORES still bright ('H' row 2, E6:
    // columns 0, 1, 2, 5 and 6) and NEW GAME dark ('N' row 0).
    EXPECT_NE(HallDrawing().Misdrawn(shots.at[2]), "");
    for (int x : {320, 321, 322, 325, 326}) EXPECT_EQ(shots.at[2].At(x, 292), Shown565(255, 0, 0)) << x;
    EXPECT_EQ(shots.at[2].At(322, 270), Shown565(128, 0, 0));
}

TEST(HallOfFame, WithoutTheHighScoreFileTheProgramEndsWithABox) {
    HeadlessRun run = RunHeadless({"--frames", "300"}, kToHallOfFame, GameFolder("missing", nullptr));
    EXPECT_EQ(run.status, 0);
    // One box, the rest of the choice (its pause), and the end: no frame after the box.
    std::vector<std::string> log = Without(run.log);
    ASSERT_EQ(log.size(), 108u);
    EXPECT_TRUE(IsBox(log[105], "Highscore-Liste nicht gefunden!")) << log[105];
    EXPECT_EQ(log, Seq("sleep 1000", Flips(1, 104), log[105], "sleep 500", "exit 0"));
}

}  // namespace
