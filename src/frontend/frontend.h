// The front end: main menu with its info box, the opening curtain, the hall of fame.
#pragma once

#include <cstdint>

// The menu's and the hall of fame's back buffer: cleared, the background picture inside its
// one-pixel frame, and locked into LockDesc for the text.
void DrawBackdrop();
void MainMenuFrame();
void DrawCurtain(int32_t position, int32_t r, int32_t g, int32_t b);
void HallOfFameFrame();
void ReadHighScores();

// The info box's first line: version and credit, 35 characters.
extern const char kVersionLine[];

struct HighScoreEntry {
    char name[10];
    int32_t score;
};
constexpr int32_t kHighScoreRows = 10;
// Kept beside the hall of fame; nothing fills it yet.
extern HighScoreEntry HighScoreTable[kHighScoreRows];
