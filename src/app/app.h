// The application shell: screen states, the main loop's globals, the window and its
// procedure, the fatal-error box.
#pragma once

#include <windows.h>

#include <cstdint>

// Screen-state codes of the main loop.
constexpr int32_t kScreenMainMenu = 0;
constexpr int32_t kScreenRace = 1;
constexpr int32_t kScreenHallOfFame = 3;
constexpr int32_t kScreenExit = 5;

constexpr int32_t kCurtainStart = 479;
constexpr int32_t kCurtainStep = 5;

extern int32_t ScreenState;
extern int32_t AppActive;
extern int32_t CurtainPos;
extern HWND MainWindow;
extern int32_t MenuSelection;

// The main menu's items, top to bottom; MenuSelection holds one of them.
enum MenuItem : int32_t { kNewGame = 1, kOptions, kHighScores, kAbout, kExitGame };
constexpr int32_t kMenuItems = kExitGame;

// Title of every message box and the window class's name.
extern const char kWindowClassText[];
extern const char kWindowTitle[];

void FatalError(const char* message);
bool CreateMainWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The curtain step after every frame.
void AdvanceCurtain();
