// The hall of fame through the headless runner: the fixed table, the keys on it, and the
// high-score file that gates it.
#include "../support/drawn.h"
#include "../support/support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const struct {
    const char* name;
    const char* score;
    int red;
} kRows[10] = {
    {"KORVAX 5", "01774", 255}, {"DRUMO", "00734", 215},    {"PILKE", "00334", 195},
    {"WENZO", "00177", 175},    {"TROXA", "00074", 155},    {"NO ENTRY", "00000", 135},
    {"NO ENTRY", "00000", 115}, {"NO ENTRY", "00000", 95},  {"NO ENTRY", "00000", 75},
    {"NO ENTRY", "00000", 55},
};

Drawn HallDrawing() {
    Drawn d;
    d.Text(320, 250, "HALL OF FAME", Shown565(255, 2, 0));
    for (int n = 1; n <= 10; ++n) {
        const auto& row = kRows[n - 1];
        d.Text(320, 260 + 10 * n, row.name, Shown565(row.red, 0, 0));
        d.Text(420, 260 + 10 * n, row.score, Shown565(row.red, 0, 0));
    }
    return d;
}

const char kToHallOfFame[] = "100 press DOWN\n102 press DOWN\n104 press ENTER\n";

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

// A folder with the game's pictures and sounds and, when `highScores` is given, a
// Highscore.List holding it.
std::string DataFolder(const std::string& name, const std::string* highScores) {
    std::string dir = TempDir(name);
    for (const char* file : {"Strasse.gfx", "Autos.gfx", "Back.gfx", "Status.gfx", "Menu.snd", "Engine.snd",
                             "Crash1.snd", "Bonus.snd"}) {
        std::filesystem::copy_file(GameDir() + "/" + file, dir + "/" + file);
    }
    if (highScores != nullptr) std::ofstream(dir + "/Highscore.List", std::ios::binary) << *highScores;
    return dir;
}

void ExpectHall(const Picture& picture) {
    ASSERT_EQ(picture.width, 640);
    std::string report;
    EXPECT_EQ(HallDrawing().Mismatches(picture, report), 0) << report;
}

TEST(HallOfFame, HighScoresShowsTheFixedTableAfterAPause) {
    std::string dir = TempDir("hall");
    HeadlessRun run = RunHeadless(
        {"--frames", "120", "--shot", "105:" + dir + "/105.png", "--shot", "119:" + dir + "/119.png"},
        kToHallOfFame);
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> log = WithoutSound(run.log);
    std::vector<std::string> start = Concat(Concat({"sleep 1000"}, FlipLines(1, 104)),
                                            {"sleep 500", "flip 105", "shot 105 " + dir + "/105.png"});
    ASSERT_GE(log.size(), start.size());
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + static_cast<long>(start.size())), start);
    EXPECT_TRUE(LinesStarting(run.log, "messagebox").empty());
    Picture first = ReadPng(dir + "/105.png");
    Picture later = ReadPng(dir + "/119.png");
    ExpectHall(first);
    ExpectHall(later);
    EXPECT_EQ(first.rgb, later.rgb);
    // The heading: 'H' row 0 (26) sets columns 2, 5 and 6; KORVAX 5 in full red, the last row
    // in (55, 0, 0): '0' row 0 (1C) of its score sets columns 3..5.
    EXPECT_EQ(first.At(322, 250), Shown565(255, 2, 0));
    EXPECT_EQ(first.At(325, 250), Shown565(255, 2, 0));
    EXPECT_EQ(first.At(326, 250), Shown565(255, 2, 0));
    EXPECT_EQ(first.At(322, 270), Shown565(255, 0, 0));
    for (int x = 423; x <= 425; ++x) EXPECT_EQ(first.At(x, 360), Shown565(55, 0, 0));
    // The same backdrop as the menu, with black outermost rows and columns.
    for (int x = 0; x < 640; ++x) {
        EXPECT_EQ(first.At(x, 0), 0u);
        EXPECT_EQ(first.At(x, 479), 0u);
    }
    for (int y = 0; y < 480; ++y) {
        EXPECT_EQ(first.At(0, y), 0u);
        EXPECT_EQ(first.At(639, y), 0u);
    }
}

TEST(HallOfFame, OnlyEscapeLeavesIt) {
    std::string dir = TempDir("hall-keys");
    std::string script = std::string(kToHallOfFame) +
                         "110 press ENTER\n112 press SPACE\n114 press UP\n116 press DOWN\n118 press Y\n"
                         "130 press ESCAPE\n";
    HeadlessRun run = RunHeadless({"--frames", "150", "--shot", "109:" + dir + "/109.png", "--shot",
                                   "129:" + dir + "/129.png", "--shot", "140:" + dir + "/140.png"},
                                  script);
    EXPECT_EQ(run.status, 0);
    // Enter, Space, the arrows and Y do nothing: no click, no pause, the same picture.
    std::vector<std::string> log = WithoutSound(run.log);
    EXPECT_EQ(LinesStarting(log, "sleep"), (std::vector<std::string>{"sleep 1000", "sleep 500", "sleep 500"}));
    // Clicks: the two moves and the choice in the menu, and Escape.
    EXPECT_EQ(LinesStarting(run.log, "sound 0 freq").size(), 4u);
    Picture before = ReadPng(dir + "/109.png");
    Picture after = ReadPng(dir + "/129.png");
    ExpectHall(before);
    EXPECT_EQ(before.rgb, after.rgb);
    // Escape: back to the main menu, HIGH-SCORES still selected ('H' row 2, E6: columns
    // 0, 1, 2, 5 and 6), NEW GAME dark ('N' row 0).
    Picture menu = ReadPng(dir + "/140.png");
    ASSERT_EQ(menu.width, 640);
    std::string report;
    EXPECT_GT(HallDrawing().Mismatches(menu, report), 0);
    for (int x : {320, 321, 322, 325, 326}) EXPECT_EQ(menu.At(x, 292), Shown565(255, 0, 0)) << x;
    EXPECT_EQ(menu.At(322, 270), Shown565(128, 0, 0));
    EXPECT_EQ(log.back(), "stop 150");
}

TEST(HallOfFame, AnyHighScoreFileWillDo) {
    std::string contents = "not a table at all\n\x01\x02\x03";
    std::string dir = DataFolder("hall-garbage", &contents);
    std::string shots = TempDir("hall-garbage-shots");
    HeadlessRun garbage = RunHeadless({"--frames", "110", "--shot", "109:" + shots + "/garbage.png"},
                                      kToHallOfFame, dir);
    HeadlessRun plain = RunHeadless({"--frames", "110", "--shot", "109:" + shots + "/plain.png"}, kToHallOfFame);
    EXPECT_EQ(garbage.status, 0);
    EXPECT_TRUE(LinesStarting(garbage.log, "messagebox").empty());
    ExpectHall(ReadPng(shots + "/garbage.png"));
    EXPECT_EQ(Bytes(shots + "/garbage.png"), Bytes(shots + "/plain.png"));
}

TEST(HallOfFame, WithoutTheHighScoreFileTheProgramEndsWithABox) {
    std::string dir = DataFolder("hall-missing", nullptr);
    std::string shots = TempDir("hall-missing-shots");
    HeadlessRun run =
        RunHeadless({"--frames", "300", "--shot", "103:" + shots + "/103.png"}, kToHallOfFame, dir);
    EXPECT_EQ(run.status, 0);
    // The menu worked until then: HIGH-SCORES highlighted after the two Downs.
    Picture menu = ReadPng(shots + "/103.png");
    ASSERT_EQ(menu.width, 640);
    for (int x : {320, 321, 322, 325, 326}) EXPECT_EQ(menu.At(x, 292), Shown565(255, 0, 0)) << x;
    // One box, the rest of the choice (its pause), and the end: no frame after the box.
    std::vector<std::string> log = WithoutSound(run.log);
    std::vector<std::string> boxes = LinesStarting(log, "messagebox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("messagebox 0x10 Asphaltix 1.0, ", 0), 0u) << boxes[0];
    const std::string tail = "|Highscore-Liste nicht gefunden!";
    ASSERT_GT(boxes[0].size(), tail.size());
    EXPECT_EQ(boxes[0].substr(boxes[0].size() - tail.size()), tail);
    EXPECT_EQ(log, Concat(Concat(Concat({"sleep 1000"}, FlipLines(1, 103)), {"shot 103 " + shots + "/103.png"}),
                          Concat(FlipLines(104, 104), {boxes[0], "sleep 500", "exit 0"})));
    EXPECT_TRUE(LinesStarting(log, "mci").empty());
}

}  // namespace
