// The full-screen window and its procedure: activation, the hidden cursor, and the keys
// that move through the menu, change screens and ask the race's quit question.
#include "app.h"

#include "../audio/sound.h"
#include "../display/display.h"
#include "../frontend/frontend.h"
#include "../game/race.h"

const char WindowTitle[] = "Asphaltix 1.0";
const char WindowClassText[] = "Asphaltix 1.0, a game by the Asphaltix team";

int32_t MenuSelection = 1;

namespace {

constexpr DWORD ChooseFrequency = 44000;
constexpr DWORD MoveFrequency = 22000;
constexpr DWORD ScreenChangePause = 500;

enum MenuItem : int32_t { NewGame = 1, Options = 2, HighScores = 3, About = 4, ExitGame = 5 };

void Click(DWORD frequency) {
    if (MenuSound != nullptr) MenuSound->SetFrequency(frequency);
    SoundDevice.Play(MenuSound);
}

void Pause() { Sleep(ScreenChangePause); }

void AnswerYes() {
    if (ScreenState != ScreenRace || !RaceState.quitConfirm) return;
    Click(ChooseFrequency);
    SoundDevice.ResumeMusic();
    Pause();
    ScreenState = ScreenMainMenu;
}

void AnswerNo() {
    if (ScreenState != ScreenRace || !RaceState.quitConfirm) return;
    Click(ChooseFrequency);
    RaceState.quitConfirm = false;
}

void ChooseMenuItem() {
    switch (MenuSelection) {
        case NewGame:
            ResetRace();
            SoundDevice.StopMusic();
            RaceState.quitConfirm = false;
            ApplyDifficulty(2);
            ScreenState = ScreenRace;
            Pause();
            break;
        case Options:
        case About:
            ScreenState = ScreenMainMenu;
            Pause();
            break;
        case HighScores:
            ReadHighScores();
            ScreenState = ScreenHallOfFame;
            Pause();
            break;
        case ExitGame:
            ScreenState = ScreenExit;
            Pause();
            break;
        default: break;
    }
}

void MainMenuKey(WPARAM key) {
    switch (key) {
        case VK_RETURN:
        case VK_SPACE:
            Click(ChooseFrequency);
            ChooseMenuItem();
            break;
        case VK_ESCAPE:
            Click(ChooseFrequency);
            ScreenState = ScreenExit;
            Pause();
            break;
        case VK_UP:
            MenuSelection -= 1;
            if (MenuSelection < 1) MenuSelection = 5;
            Click(MoveFrequency);
            break;
        case VK_DOWN:
            MenuSelection += 1;
            if (MenuSelection > 5) MenuSelection = 1;
            Click(MoveFrequency);
            break;
        default: break;
    }
}

void RaceKey(WPARAM key) {
    switch (key) {
        case VK_RETURN:
        case VK_SPACE:
        case 'Y': AnswerYes(); break;
        case VK_ESCAPE:
            Click(ChooseFrequency);
            if (RaceState.countdown <= 0) RaceState.quitConfirm = true;
            break;
        case VK_UP:
        case VK_DOWN: break;
        default: AnswerNo(); break;
    }
}

void OtherScreenKey(WPARAM key) {
    if (key != VK_ESCAPE) return;
    Click(ChooseFrequency);
    ScreenState = ScreenMainMenu;
    Pause();
}

void KeyDown(WPARAM key) {
    // Keys do nothing while the curtain opens.
    if (CurtainPos >= 3 && CurtainPos <= 477) return;
    if (ScreenState == ScreenMainMenu) {
        MainMenuKey(key);
    } else if (ScreenState == ScreenRace) {
        RaceKey(key);
    } else {
        OtherScreenKey(key);
    }
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            DisplayDevice.Release();
            PostQuitMessage(0);
            break;
        case WM_ACTIVATEAPP: AppActive = wParam != 0 ? 1 : 0; break;
        case WM_SETCURSOR: SetCursor(nullptr); return 1;
        case WM_KEYDOWN: KeyDown(wParam); break;
        default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool CreateMainWindow(HINSTANCE instance, int showCommand) {
    WNDCLASSA windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = WindowClassText;
    RegisterClassA(&windowClass);

    MainWindow = CreateWindowExA(WS_EX_TOPMOST, WindowClassText, WindowTitle, WS_POPUP, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                 nullptr, nullptr, instance, nullptr);
    if (MainWindow == nullptr) return false;
    ShowCursor(FALSE);
    ShowWindow(MainWindow, showCommand);
    UpdateWindow(MainWindow);
    return true;
}
