// The entry function: start-up, the main loop and the shutdown.
#include "app.h"

#include "../assets/assets.h"
#include "../audio/sound.h"
#include "../display/display.h"
#include "../frontend/frontend.h"
#include "../game/race.h"

int32_t ScreenState = kScreenMainMenu;
int32_t AppActive = 0;
int32_t CurtainPos = kCurtainStart;
HWND MainWindow = nullptr;

void FatalError(const char* message) {
    MessageBoxA(MainWindow, message, kWindowClassText, MB_OK | MB_ICONHAND);
    DestroyWindow(MainWindow);
}

void AdvanceCurtain() {
    CurtainPos -= kCurtainStep;
    if (CurtainPos < 0) CurtainPos = 0;
    DrawCurtain(CurtainPos, 0, 0, 0);
}

namespace {

void LoadAssets() {
    RoadImage = DisplayDevice.LoadGfxImage(DirectDrawObject, "Strasse.gfx");
    CarsImage = DisplayDevice.LoadGfxImage(DirectDrawObject, "Autos.gfx");
    BackImage = DisplayDevice.LoadGfxImage(DirectDrawObject, "Back.gfx");
    StatusImage = DisplayDevice.LoadGfxImage(DirectDrawObject, "Status.gfx");
    SoundDevice.LoadSound(kMenuSlot, "Menu.snd");
    SoundDevice.LoadSound(kEngineSlot1, "Engine.snd");
    SoundDevice.LoadSound(kEngineSlot2, "Engine.snd");
    SoundDevice.LoadSound(kEngineSlot3, "Engine.snd");
    SoundDevice.LoadSound(kCrashSlot, "Crash1.snd");
    SoundDevice.LoadSound(kBonusSlot, "Bonus.snd");
}

void ReleaseImage(GfxImage& image) {
    if (image != nullptr) image->Release();
    image = nullptr;
}

void Shutdown() {
    SoundDevice.CloseMusic();
    for (int32_t slot = 0; slot < kSoundSlots; ++slot) SoundDevice.Stop(SoundBuffers[slot]);
    Sleep(500);
    ReleaseImage(CarsImage);
    ReleaseImage(RoadImage);
    ReleaseImage(BackImage);
    ReleaseImage(StatusImage);
    DisplayDevice.Release();
    PostMessageA(MainWindow, WM_CLOSE, 0, 0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    if (!CreateMainWindow(instance, showCommand)) {
        FatalError("Fehler beim Initialisieren des Fensters!");
        return 0;
    }
    if (!DisplayDevice.Init(MainWindow)) {
        FatalError("Fehler beim Initialisieren von Direct Draw!");
        return 0;
    }
    if (!SoundDevice.Init()) {
        FatalError("Fehler beim Initialisieren von Direct Sound!");
        return 0;
    }
    ResetRace();
    DisplayDevice.BuildColourTables(BackSurface);
    LoadAssets();
    Sleep(1000);

    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&message, nullptr, 0, 0)) return static_cast<int>(message.wParam);
            TranslateMessage(&message);
            DispatchMessageA(&message);
            continue;
        }
        if (!AppActive) {
            WaitMessage();
            continue;
        }
        switch (ScreenState) {
            case kScreenMainMenu: MainMenuFrame(); break;
            case kScreenRace: RaceTick(); break;
            case kScreenHallOfFame: HallOfFameFrame(); break;
            case kScreenExit: Shutdown(); return 0;
            default: break;
        }
        AdvanceCurtain();
    }
}
