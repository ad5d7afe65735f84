// The full-screen window and its procedure: activation, the hidden cursor, and the keys
// that move through the menu, change screens and ask the race's quit question.
#include "app.h"

#include "../audio/sound.h"
#include "../display/display.h"
#include "../frontend/frontend.h"
#include "../game/race.h"

const char kWindowTitle[] = "Asphaltix 1.0";
const char kWindowClassText[] = "Asphaltix 1.0, a game by the Asphaltix team";

int32_t MenuSelection = kNewGame;

namespace {

constexpr DWORD kChooseFrequency = 44000;
constexpr DWORD kMoveFrequency = 22000;
constexpr DWORD kScreenChangePause = 500;

void Click(DWORD frequency) {
    if (MenuSound != nullptr) MenuSound->SetFrequency(frequency);
    SoundDevice.Play(MenuSound);
}

void Pause() { Sleep(kScreenChangePause); }

void AnswerYes() {
    if (ScreenState != kScreenRace || !RaceState.quitConfirm) return;
    Click(kChooseFrequency);
    SoundDevice.ResumeMusic();
    Pause();
    ScreenState = kScreenMainMenu;
}

void AnswerNo() {
    if (ScreenState != kScreenRace || !RaceState.quitConfirm) return;
    Click(kChooseFrequency);
    RaceState.quitConfirm = false;
}

void ChooseMenuItem() {
    switch (MenuSelection) {
        case kNewGame:
            ResetRace();
            SoundDevice.StopMusic();
            RaceState.quitConfirm = false;
            ApplyDifficulty(2);
            ScreenState = kScreenRace;
            Pause();
            break;
        case kOptions:
        case kAbout:
            ScreenState = kScreenMainMenu;
            Pause();
            break;
        case kHighScores:
            ReadHighScores();
            ScreenState = kScreenHallOfFame;
            Pause();
            break;
        case kExitGame:
            ScreenState = kScreenExit;
            Pause();
            break;
        default: break;
    }
}

void MainMenuKey(WPARAM key) {
    switch (key) {
        case VK_RETURN:
        case VK_SPACE:
            Click(kChooseFrequency);
            ChooseMenuItem();
            break;
        case VK_ESCAPE:
            Click(kChooseFrequency);
            ScreenState = kScreenExit;
            Pause();
            break;
        case VK_UP:
            MenuSelection -= 1;
            if (MenuSelection < kNewGame) MenuSelection = kExitGame;
            Click(kMoveFrequency);
            break;
        case VK_DOWN:
            MenuSelection += 1;
            if (MenuSelection > kExitGame) MenuSelection = kNewGame;
            Click(kMoveFrequency);
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
            Click(kChooseFrequency);
            if (RaceState.countdown <= 0) RaceState.quitConfirm = true;
            break;
        case VK_UP:
        case VK_DOWN: break;
        default: AnswerNo(); break;
    }
}

void OtherScreenKey(WPARAM key) {
    if (key != VK_ESCAPE) return;
    Click(kChooseFrequency);
    ScreenState = kScreenMainMenu;
    Pause();
}

void KeyDown(WPARAM key) {
    // Keys do nothing while the curtain opens.
    if (CurtainPos >= 3 && CurtainPos <= 477) return;
    if (ScreenState == kScreenMainMenu) {
        MainMenuKey(key);
    } else if (ScreenState == kScreenRace) {
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
    windowClass.lpszClassName = kWindowClassText;
    RegisterClassA(&windowClass);

    MainWindow = CreateWindowExA(WS_EX_TOPMOST, kWindowClassText, kWindowTitle, WS_POPUP, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                 nullptr, nullptr, instance, nullptr);
    if (MainWindow == nullptr) return false;
    ShowCursor(FALSE);
    ShowWindow(MainWindow, showCommand);
    UpdateWindow(MainWindow);
    return true;
}
