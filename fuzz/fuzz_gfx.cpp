// libFuzzer target for the .gfx picture loader: each input is written to a file, loaded onto
// an offscreen surface with DisplayDevice::LoadGfxImage, and the picture is then used the way
// the game uses its pictures: blitted to the back buffer, given the sprites' colour key and
// blitted again with it.
//
// The window and the display device are brought up once, over a backend that does nothing.
#include "../platform/headless/quiet.h"
#include "../src/assets/assets.h"
#include "input_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool BringUp() {
    static headless::QuietBackend backend;
    return headless::BringUpDisplay(backend);
}

uint32_t Word(const uint8_t* data, size_t at) {
    return static_cast<uint32_t>(data[at]) | (static_cast<uint32_t>(data[at + 1]) << 8);
}

// Pictures of more than 2048 x 2048 pixels are skipped: they are refused or loaded by the
// same code as smaller ones, and each would cost too long a run.
bool TooLarge(const uint8_t* data, size_t size) {
    if (size < 12) return false;
    int64_t width = static_cast<int64_t>(Word(data, 8)) - static_cast<int64_t>(Word(data, 4)) + 1;
    int64_t height = static_cast<int64_t>(Word(data, 10)) - static_cast<int64_t>(Word(data, 6)) + 1;
    if (width <= 0 || height <= 0) return false;
    return width * height > int64_t{2048} * 2048;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool up = BringUp();
    if (!up) std::abort();
    static const std::string& path = fuzz::InputPath("fuzz_gfx", ".gfx");
    if (TooLarge(data, size)) return 0;

    fuzz::WriteInput(path, data, size);

    GfxImage image = DisplayDevice.LoadGfxImage(DirectDrawObject, path.c_str());
    if (image == nullptr) return 0;

    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    if (image->GetSurfaceDesc(&desc) != DD_OK) std::abort();
    RECT source{0, 0, static_cast<LONG>(desc.dwWidth < 640 ? desc.dwWidth : 640),
                static_cast<LONG>(desc.dwHeight < 480 ? desc.dwHeight : 480)};
    DisplayDevice.ClearSurface(BackSurface);
    DisplayDevice.BlitToBack(0, 0, image, &source, DDBLTFAST_NOCOLORKEY);
    SetColourKey(image, RGB(255, 0, 255));
    DisplayDevice.BlitToBack(0, 0, image, &source, DDBLTFAST_SRCCOLORKEY);
    if (DisplayDevice.LockSurface(BackSurface, &LockDesc)) {
        DisplayDevice.DrawBlockText(10, 10, "FUZZ", 255, 255, 255);
        DisplayDevice.UnlockSurface(BackSurface);
    }
    DisplayDevice.Flip();
    image->Release();
    return 0;
}
