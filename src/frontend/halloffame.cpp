// The hall of fame with its fixed table, and the check for the high-score file.
#include "frontend.h"

#include "../app/app.h"
#include "../assets/assets.h"
#include "../display/display.h"

#include <cstdio>

HighScoreEntry HighScoreTable[kHighScoreRows];

namespace {

struct FameRow {
    const char* name;
    const char* score;
    int32_t red;
};

constexpr FameRow kFameRows[kHighScoreRows] = {
    {"KORVAX 5", "01774", 255}, {"DRUMO", "00734", 215},   {"PILKE", "00334", 195},
    {"WENZO", "00177", 175},    {"TROXA", "00074", 155},   {"NO ENTRY", "00000", 135},
    {"NO ENTRY", "00000", 115}, {"NO ENTRY", "00000", 95}, {"NO ENTRY", "00000", 75},
    {"NO ENTRY", "00000", 55},
};

constexpr int32_t kNameX = 320;
constexpr int32_t kScoreX = 420;

}  // namespace

void HallOfFameFrame() {
    DrawBackdrop();
    DisplayDevice.DrawBlockText(kNameX, 250, "HALL OF FAME", 255, 2, 0);
    for (int32_t n = 1; n <= kHighScoreRows; ++n) {
        const FameRow& row = kFameRows[n - 1];
        int32_t y = 260 + 10 * n;
        DisplayDevice.DrawBlockText(kNameX, y, row.name, row.red, 0, 0);
        DisplayDevice.DrawBlockText(kScoreX, y, row.score, row.red, 0, 0);
    }
    DisplayDevice.UnlockSurface(BackSurface);
    DisplayDevice.Flip();
}

void ReadHighScores() {
    std::FILE* file = std::fopen("Highscore.List", "r");
    if (file == nullptr) {
        FatalError("Highscore-Liste nicht gefunden!");
        return;
    }
    std::fclose(file);
}
