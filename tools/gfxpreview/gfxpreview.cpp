// gfxpreview DATA_DIR OUT_DIR: decodes each of the game's pictures with the game's own loader,
// draws it through the platform into a surface, and writes that surface as a PNG. So the
// previews show exactly what the game shows, and prove the loader on the real pictures.
#include "../../platform/headless/headless.h"
#include "../../src/assets/assets.h"
#include "../../src/display/display.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: gfxpreview DATA_DIR OUT_DIR\n");
        return 2;
    }
    static headless::Backend backend{headless::Options{}};
    plat::Install(&backend);
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "gfxpreview";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "gfxpreview", "gfxpreview", WS_POPUP, 0, 0, 640, 480, nullptr,
                                  nullptr, nullptr, nullptr);
    if (window == nullptr || !DisplayDevice.Init(window)) {
        std::fprintf(stderr, "gfxpreview: no display\n");
        return 1;
    }
    const char* names[] = {"Strasse", "Autos", "Back", "Status"};
    int failures = 0;
    for (const char* name : names) {
        std::string in = std::string(argv[1]) + "/" + name + ".gfx";
        std::string out = std::string(argv[2]) + "/" + name + ".png";
        GfxImage image = DisplayDevice.LoadGfxImage(DirectDrawObject, in.c_str());
        if (image == nullptr) {
            std::fprintf(stderr, "gfxpreview: %s does not load\n", in.c_str());
            ++failures;
            continue;
        }
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (image->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) {
            std::fprintf(stderr, "gfxpreview: cannot lock %s\n", in.c_str());
            ++failures;
        } else {
            plat::PixelFormat format{desc.ddpfPixelFormat.dwRBitMask,
                                     desc.ddpfPixelFormat.dwGBitMask,
                                     desc.ddpfPixelFormat.dwBBitMask};
            if (!headless::WritePng(out, static_cast<const uint8_t*>(desc.lpSurface), desc.lPitch,
                                    static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight),
                                    format)) {
                std::fprintf(stderr, "gfxpreview: cannot write %s\n", out.c_str());
                ++failures;
            } else {
                std::printf("%s: %lux%lu\n", out.c_str(), static_cast<unsigned long>(desc.dwWidth),
                            static_cast<unsigned long>(desc.dwHeight));
            }
            image->Unlock(nullptr);
        }
        image->Release();
    }
    DisplayDevice.Release();
    return failures == 0 ? 0 : 1;
}
