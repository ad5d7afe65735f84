// asphaltix: the game in a real window, with SDL underneath the platform layer.
#include "sdl.h"

#include <cstdlib>

int main(int, char**) {
    if (std::getenv(sdl::kProbeVariable) != nullptr) return sdl::ProbeRenderer();
    SDL_SetMainReady();
    static sdl::Backend backend;
    plat::Install(&backend);
    static char empty[] = "";
    int code = WinMain(reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000)), nullptr,
                       empty, SW_SHOWDEFAULT);
    backend.Close();
    SDL_Quit();
    return code;
}
