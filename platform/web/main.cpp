// asphaltix in a browser: the game over the web backend. Its data files are packed into the
// page and lie in the current folder, where the game looks for them.
#include "web.h"

int main() {
    static web::Backend backend;
    plat::Install(&backend);
    static char empty[] = "";
    const int code = WinMain(reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000)), nullptr,
                             empty, SW_SHOWDEFAULT);
    backend.Ended(code);
    return code;
}
