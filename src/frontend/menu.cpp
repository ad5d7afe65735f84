// The main menu with its info box (the about text) and the opening curtain.
#include "frontend.h"

#include "../app/app.h"
#include "../assets/assets.h"
#include "../display/display.h"

const char kVersionLine[] = "VERSION 1-0 / BY THE ASPHALTIX TEAM";
static_assert(sizeof kVersionLine - 1 == 35, "the version line fills the info box");

namespace {

struct MenuText {
    const char* text;
    int32_t y;
};

constexpr int32_t kMenuX = 320;
constexpr MenuText kTitle{"MAIN MENU", 250};
constexpr MenuText kItems[kMenuItems] = {
    {"NEW GAME", 270}, {"OPTIONS", 280}, {"HIGH-SCORES", 290}, {"ABOUT", 300}, {"EXIT GAME", 310}};

constexpr int32_t kInfoX = 30;
constexpr int32_t kInfoRed = 114;
const MenuText kInfoLines[8] = {
    {kVersionLine, 380},
    {"FIRST PLAYABLE VERSION", 400},
    {"ONLY POINT-COLLECT MODE AVAILABLE ", 410},
    {"ASPHALTIX MODE NOT AVAILABLE ", 420},
    {"NO SKILL-LEVELS", 430},
    {"NO WORKING HIGHSCORE-LIST", 440},
    {"NO OPTIONS-MENU", 450},
    {"AND A FEW BUGS !!!!! ", 460},
};

}  // namespace

void DrawBackdrop() {
    DisplayDevice.ClearSurface(BackSurface);
    RECT backdrop{1, 1, kScreenWidth - 1, kScreenHeight - 1};
    DisplayDevice.BlitToBack(1, 1, BackImage, &backdrop, DDBLTFAST_NOCOLORKEY);
    DisplayDevice.LockSurface(BackSurface, &LockDesc);
}

void MainMenuFrame() {
    DrawBackdrop();

    DisplayDevice.DrawBlockText(kMenuX, kTitle.y, kTitle.text, 255, 0, 0);
    for (const MenuText& item : kItems)
        DisplayDevice.DrawBlockText(kMenuX, item.y, item.text, 128, 0, 0);

    DisplayDevice.DrawRect(27, 377, 313, 473, kInfoRed, 0, 0);
    DisplayDevice.DrawRect(26, 376, 314, 474, 32, 0, 0);
    DisplayDevice.DrawHLine(27, 313, 393, kInfoRed, 0, 0, &LockDesc);

    for (const MenuText& line : kInfoLines)
        DisplayDevice.DrawBlockText(kInfoX, line.y, line.text, 0, 0, 0);
    for (const MenuText& line : kInfoLines) {
        DisplayDevice.DrawBlockText(kInfoX + 1, line.y + 1, line.text, kInfoRed, 0, 0);
    }

    if (MenuSelection >= kNewGame && MenuSelection <= kExitGame) {
        const MenuText& selected = kItems[MenuSelection - kNewGame];
        DisplayDevice.DrawBlockText(kMenuX, selected.y, selected.text, 255, 0, 0);
    }

    DisplayDevice.UnlockSurface(BackSurface);
    DisplayDevice.Flip();
}

void DrawCurtain(int32_t position, int32_t r, int32_t g, int32_t b) {
    DisplayDevice.LockSurface(PrimarySurface, &LockDesc);
    if (position < 240) {
        for (int32_t row = 0; row <= 2 * position - 2; row += 2) {
            DisplayDevice.DrawHLine(0, kScreenWidth - 1, row, r, g, b, &LockDesc);
        }
    } else {
        int32_t band = 960 - 2 * position;
        for (int32_t row = 0; row < band; row += 2) {
            DisplayDevice.DrawHLine(0, kScreenWidth - 1, row, r, g, b, &LockDesc);
        }
        DisplayDevice.FillRect(0, band, kScreenWidth - 1, kScreenHeight - 1, r, g, b);
    }
    DisplayDevice.UnlockSurface(PrimarySurface);
}
