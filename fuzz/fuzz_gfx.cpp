// libFuzzer target for the .gfx picture loader: each input is written to a file, loaded onto
// an offscreen surface with DisplayDevice::LoadGfxImage, and the picture is then used the way
// the game uses its pictures: blitted to the back buffer, given the sprites' colour key and
// blitted again with it. A header that declares more pixels than the input can fill is made
// smaller first (FitToData), so that each run costs what its input holds.
//
// The window and the display device are brought up once, over a backend that does nothing.
#include "../platform/headless/quiet.h"
#include "../src/assets/assets.h"
#include "input_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool BringUp() {
    static headless::QuietBackend backend;
    return headless::BringUpDisplay(backend);
}

uint32_t Word(const uint8_t* data, size_t at) {
    return static_cast<uint32_t>(data[at]) | (static_cast<uint32_t>(data[at + 1]) << 8);
}

void PutWord(uint8_t* data, size_t at, uint32_t value) {
    data[at] = static_cast<uint8_t>(value & 0xFF);
    data[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

constexpr size_t kHeaderSize = 128;
constexpr int64_t kLargestSide = 1024;

// A picture's declared size costs time whatever the input holds: a 1 KB file may declare
// 16384 x 16384 pixels, or scan lines of 16 MB, all but a few bytes of them black. Such a
// header is made smaller before the picture is loaded, in a copy of the input, to what its data
// can fill: scan lines no longer than the data can decode to (and one byte more, so the data
// still ends inside the first line), no more lines than the data reaches (and two more, so it
// ends inside one), no wider than a line's bytes fill in any bit layout, and no side over
// kLargestSide. The loader runs the same code below that size, for the lines the data fills and
// for the black ones. What it refuses (no header, a size of zero or beyond its largest side, no
// planes, no bits) comes through unchanged, as it is refused before any work. Returns false
// when the input stays as it is.
bool FitToData(const uint8_t* data, size_t size, std::vector<uint8_t>& fitted) {
    if (size < kHeaderSize || data[0] != 10) return false;
    const int64_t xMin = Word(data, 4);
    const int64_t yMin = Word(data, 6);
    const int64_t width = static_cast<int64_t>(Word(data, 8)) - xMin + 1;
    const int64_t height = static_cast<int64_t>(Word(data, 10)) - yMin + 1;
    const int64_t planes = data[65];
    const int64_t planeBytes = Word(data, 66);
    if (width <= 0 || height <= 0 || width > kGfxMaxSide || height > kGfxMaxSide) return false;
    if (planes == 0 || data[3] == 0) return false;

    // The most bytes the data can decode to: a run of 63 from every two bytes.
    const int64_t decodable = static_cast<int64_t>(size - kHeaderSize) / 2 * 63 + 63;
    const int64_t newPlaneBytes = std::min(planeBytes, decodable / planes + 1);
    const int64_t lineLength = newPlaneBytes * planes;
    const int64_t lines = lineLength > 0 ? decodable / lineLength + 2 : 1;
    const int64_t newHeight = std::min({height, lines, kLargestSide});
    // One bit a pixel gives the most pixels a byte: eight.
    const int64_t newWidth = std::min({width, 8 * lineLength + 8, kLargestSide});
    if (newWidth == width && newHeight == height && newPlaneBytes == planeBytes) return false;

    fitted.assign(data, data + size);
    PutWord(fitted.data(), 8, static_cast<uint32_t>(xMin + newWidth - 1));
    PutWord(fitted.data(), 10, static_cast<uint32_t>(yMin + newHeight - 1));
    PutWord(fitted.data(), 66, static_cast<uint32_t>(newPlaneBytes));
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool up = BringUp();
    if (!up) std::abort();
    static const std::string& path = fuzz::InputPath("fuzz_gfx", ".gfx");
    static std::vector<uint8_t> fitted;
    if (FitToData(data, size, fitted)) {
        data = fitted.data();
        size = fitted.size();
    }

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
