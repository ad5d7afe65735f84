// The race screen through the headless runner: the start countdown, the status panel, the
// frame around the road view, the music commands and the quit question.
#include "../support/support.h"

#include <gtest/gtest.h>

#include <cstdio>
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
