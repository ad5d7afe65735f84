// The application shell: screen states, the main loop's globals, the window and its
// procedure, the fatal-error box.
#pragma once

#include <windows.h>

#include <cstdint>

// Screen-state codes of the main loop.
constexpr int32_t ScreenMainMenu = 0;
constexpr int32_t ScreenRace = 1;
constexpr int32_t ScreenHallOfFame = 3;
constexpr int32_t ScreenExit = 5;

constexpr int32_t CurtainStart = 479;
constexpr int32_t CurtainStep = 5;

extern int32_t ScreenState;
extern int32_t AppActive;
extern int32_t CurtainPos;
extern HWND MainWindow;
extern int32_t MenuSelection;

// Title of every message box and the window class's name.
extern const char WindowClassText[];
extern const char WindowTitle[];

void FatalError(const char* message);
bool CreateMainWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The curtain step after every frame.
void AdvanceCurtain();
