// The hall of fame through the headless runner: the fixed table, the keys on it, and the
// high-score file that gates it.
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

// The block font's glyphs: eight rows, bit 0x80 is the leftmost column.
struct Glyph {
    char c;
    uint8_t rows[8];
};
constexpr Glyph kFont[] = {
    {'A', {0x3E, 0x76, 0xE6, 0xFE, 0xE6, 0xE6, 0xE6, 0x00}}, {'B', {0xF8, 0xEC, 0xEC, 0xFE, 0xE6, 0xFE, 0xFC, 0x00}},
    {'C', {0x3E, 0x76, 0xE0, 0xE0, 0xE6, 0xFE, 0x7E, 0x00}}, {'D', {0xF8, 0xEC, 0xE6, 0xE6, 0xE6, 0xE6, 0xFC, 0x00}},
    {'E', {0x3E, 0x76, 0xE0, 0xF8, 0xE0, 0xFE, 0xFE, 0x00}}, {'F', {0x3E, 0x76, 0xE0, 0xF8, 0xE0, 0xF0, 0xF0, 0x00}},
    {'G', {0x3E, 0x76, 0xE0, 0xEE, 0xE6, 0xFE, 0x7E, 0x00}}, {'H', {0x26, 0x66, 0xE6, 0xFE, 0xE6, 0xE6, 0xE6, 0x00}},
    {'I', {0x3E, 0x7C, 0x18, 0x18, 0x18, 0x3E, 0x7C, 0x00}}, {'J', {0x1E, 0x3E, 0x06, 0x46, 0xC6, 0xFE, 0x7C, 0x00}},
    {'K', {0x26, 0x66, 0xEC, 0xF8, 0xEC, 0xE6, 0xE6, 0x00}}, {'L', {0x20, 0x60, 0xE0, 0xE0, 0xE0, 0xE6, 0xFE, 0x00}},
    {'M', {0x26, 0x6E, 0xFE, 0xD6, 0xC6, 0xC6, 0xC6, 0x00}}, {'N', {0x26, 0x76, 0xFE, 0xDE, 0xCE, 0xC6, 0xC6, 0x00}},
    {'O', {0x3C, 0x76, 0xE6, 0xE6, 0xE6, 0xFE, 0x7C, 0x00}}, {'P', {0x3C, 0xE6, 0xE6, 0xFC, 0xE0, 0xF0, 0xF0, 0x00}},
    {'Q', {0x3C, 0x76, 0xE6, 0xE6, 0xE6, 0xFE, 0x7C, 0x06}}, {'R', {0x3C, 0x46, 0xC6, 0xFC, 0xE6, 0xE6, 0xE6, 0x00}},
    {'S', {0x3E, 0x70, 0xE0, 0x7C, 0x06, 0xFE, 0xFC, 0x00}}, {'T', {0x7E, 0xFC, 0x30, 0x30, 0x30, 0x78, 0x78, 0x00}},
    {'U', {0x26, 0x66, 0xE6, 0xE6, 0xE6, 0xFE, 0x7E, 0x00}}, {'V', {0x26, 0x66, 0xEC, 0xEC, 0xF8, 0xF8, 0x70, 0x00}},
    {'W', {0x26, 0x66, 0xE6, 0xF6, 0xFE, 0xEE, 0xC6, 0x00}}, {'X', {0xC3, 0x66, 0x3C, 0x18, 0x3C, 0x66, 0xC3, 0x00}},
    {'Y', {0x26, 0x66, 0xE6, 0x7E, 0x06, 0xFE, 0xFC, 0x00}}, {'Z', {0xFE, 0xC6, 0x0C, 0x18, 0x30, 0x7E, 0xFE, 0x00}},
    {'0', {0x1C, 0x36, 0x6E, 0x76, 0x66, 0x7E, 0x3C, 0x00}}, {'1', {0x18, 0x18, 0x38, 0x38, 0x18, 0x7E, 0x7E, 0x00}},
    {'2', {0x7C, 0x66, 0x06, 0x3C, 0x60, 0x7E, 0x7E, 0x00}}, {'3', {0x7C, 0x06, 0x1C, 0x06, 0x06, 0x7E, 0x7C, 0x00}},
    {'4', {0xCC, 0xCC, 0xCC, 0xFE, 0x0C, 0x1E, 0x1E, 0x00}}, {'5', {0x7E, 0x60, 0x7C, 0x06, 0x06, 0x7E, 0x7C, 0x00}},
    {'6', {0x3E, 0x60, 0x7C, 0x66, 0x66, 0x7E, 0x3C, 0x00}}, {'7', {0x7E, 0x66, 0x06, 0x0C, 0x18, 0x18, 0x18, 0x00}},
    {'8', {0x3C, 0x66, 0x3C, 0x66, 0x66, 0x7E, 0x3C, 0x00}}, {'9', {0x3C, 0x66, 0x66, 0x3E, 0x06, 0x7E, 0x7C, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x7E, 0xFC, 0x00, 0x00, 0x00}}, {'!', {0x18, 0x3C, 0x3C, 0x18, 0x18, 0x18, 0x00, 0x18}},
    {'/', {0x04, 0x0E, 0x1C, 0x38, 0x70, 0xE0, 0x40, 0x00}},
};

const Glyph* FindGlyph(char c) {
    for (const Glyph& g : kFont) {
        if (g.c == c) return &g;
    }
    return nullptr;
}

// What the game should have drawn over the backdrop, pixel by pixel, in drawing order.
class Drawn {
public:
    static constexpr int64_t kNothing = -1;

    Drawn() : colour_(640 * 480, kNothing) {}

    // A glyph pixel: column 0 and row 0 are never written.
    void Pixel(int x, int y, uint32_t c) {
        if (x >= 1 && x <= 639 && y >= 1 && y <= 479) colour_[static_cast<size_t>(y * 640 + x)] = c;
    }
    void Text(int x, int y, const std::string& text, uint32_t c) {
        for (char ch : text) {
            if (const Glyph* g = FindGlyph(ch)) {
                for (int row = 0; row < 8; ++row) {
                    for (int col = 0; col < 8; ++col) {
                        if (g->rows[row] & (0x80 >> col)) Pixel(x + col, y + row, c);
                    }
                }
            }
            x += 8;
        }
    }
    void HLine(int x1, int x2, int y, uint32_t c) {
        for (int x = x1; x <= x2; ++x) colour_[static_cast<size_t>(y * 640 + x)] = c;
    }
    void VLine(int x, int y1, int y2, uint32_t c) {
        for (int y = y1; y <= y2; ++y) colour_[static_cast<size_t>(y * 640 + x)] = c;
    }
    void Rect(int x1, int y1, int x2, int y2, uint32_t c) {
        HLine(x1, x2, y1, c);
        HLine(x1, x2, y2, c);
        VLine(x1, y1, y2, c);
        VLine(x2, y1, y2, c);
    }
    // How many drawn pixels the picture does not show; the first few are described.
    int Mismatches(const Picture& picture, std::string& report) const {
        int count = 0;
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                int64_t want = colour_[static_cast<size_t>(y * 640 + x)];
                if (want == kNothing || picture.At(x, y) == static_cast<uint32_t>(want)) continue;
                if (++count <= 5) {
                    char line[96];
                    std::snprintf(line, sizeof line, "(%d,%d) shows %06X, drawn %06X; ", x, y,
                                  picture.At(x, y), static_cast<unsigned>(want));
                    report += line;
                }
            }
        }
        return count;
    }

private:
    std::vector<int64_t> colour_;
};

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
