// GDI on the device context of a DirectDraw surface: StretchDIBits at 1:1 and single
// pixels, converting colours to the surface's 16-bit format by dropping low bits.
#include "surface.h"

#include <unordered_set>

struct HDC__ {
    plat::Surface* surface;
};

namespace plat {
namespace {

std::unordered_set<HDC>& LiveDCs() {
    static std::unordered_set<HDC> dcs;
    return dcs;
}

Surface* SurfaceOf(HDC dc) {
    if (dc == nullptr || LiveDCs().count(dc) == 0) return nullptr;
    return dc->surface->HasDC() ? dc->surface : nullptr;
}

int MaskShift(uint32_t mask) {
    int shift = 0;
    while (shift < 32 && ((mask >> shift) & 1u) == 0) ++shift;
    return shift;
}

int MaskWidth(uint32_t mask) {
    uint32_t bits = mask >> MaskShift(mask);
    int width = 0;
    while (width < 32 && ((bits >> width) & 1u) != 0) ++width;
    return width;
}

// Packs 8-bit components into the format by keeping each component's top bits.
struct Packer {
    int shift[3];
    int drop[3];
    explicit Packer(const PixelFormat& f) {
        const uint32_t masks[3] = {f.red, f.green, f.blue};
        for (int i = 0; i < 3; ++i) {
            shift[i] = MaskShift(masks[i]);
            int width = MaskWidth(masks[i]);
            drop[i] = width >= 8 ? 0 : 8 - width;
        }
    }
    uint16_t operator()(uint8_t r, uint8_t g, uint8_t b) const {
        uint32_t v = (static_cast<uint32_t>(r >> drop[0]) << shift[0]) |
                     (static_cast<uint32_t>(g >> drop[1]) << shift[1]) |
                     (static_cast<uint32_t>(b >> drop[2]) << shift[2]);
        return static_cast<uint16_t>(v);
    }
};

COLORREF Widen(uint16_t pixel, const PixelFormat& format) {
    uint8_t rgb[3];
    PixelToRgb(pixel, format, rgb);
    return RGB(rgb[0], rgb[1], rgb[2]);
}

}  // namespace

HDC CreateSurfaceDC(Surface* surface) {
    HDC dc = new HDC__{surface};
    LiveDCs().insert(dc);
    return dc;
}

void DeleteSurfaceDC(HDC dc) {
    LiveDCs().erase(dc);
    delete dc;
}

}  // namespace plat

int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int destWidth, int destHeight, int xSrc,
                         int ySrc, int srcWidth, int srcHeight, const void* bits,
                         const BITMAPINFO* bmi, UINT usage, DWORD rop) {
    plat::Surface* surface = plat::SurfaceOf(hdc);
    if (surface == nullptr || bits == nullptr || bmi == nullptr) return 0;
    if (usage != DIB_RGB_COLORS || rop != SRCCOPY) return 0;
    const BITMAPINFOHEADER& h = bmi->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biCompression != BI_RGB) {
        return 0;
    }
    int depth = h.biBitCount;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24) return 0;
    // Only 1:1 copies are supported.
    if (destWidth != srcWidth || destHeight != srcHeight) return 0;
    if (destWidth <= 0 || destHeight <= 0) return 0;
    constexpr int64_t kMaxSide = 1 << 20;
    int64_t dibWidth = h.biWidth;
    bool bottomUp = h.biHeight > 0;
    int64_t dibHeight = bottomUp ? h.biHeight : -static_cast<int64_t>(h.biHeight);
    if (dibWidth <= 0 || dibHeight <= 0 || dibWidth > kMaxSide || dibHeight > kMaxSide) return 0;
    int64_t stride = ((dibWidth * depth + 31) / 32) * 4;

    // Colour table: biClrUsed entries, or all that the depth can index.
    int tableSize = depth <= 8 ? (1 << depth) : 0;
    if (depth <= 8 && h.biClrUsed != 0 && h.biClrUsed < static_cast<DWORD>(tableSize)) {
        tableSize = static_cast<int>(h.biClrUsed);
    }
    plat::Packer pack(surface->Format());
    uint16_t table[256] = {};
    for (int i = 0; i < tableSize; ++i) {
        const RGBQUAD& q = bmi->bmiColors[i];
        table[i] = pack(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }

    const auto* data = static_cast<const uint8_t*>(bits);
    int64_t copied = 0;
    // The source rectangle is counted from the DIB's origin: its lower left corner when it is
    // stored bottom up, its upper left corner otherwise. `top` is the image row (counted from
    // the top) of the rectangle's top row.
    const int64_t top =
        bottomUp ? dibHeight - static_cast<int64_t>(ySrc) - srcHeight : static_cast<int64_t>(ySrc);
    for (int64_t row = 0; row < destHeight; ++row) {
        int64_t sy = top + row;  // source row counted from the top
        int64_t dy = static_cast<int64_t>(yDest) + row;
        if (sy < 0 || sy >= dibHeight || dy < 0 || dy >= surface->Height()) continue;
        int64_t memoryRow = bottomUp ? dibHeight - 1 - sy : sy;
        const uint8_t* line = data + memoryRow * stride;
        uint16_t* out = surface->Row(static_cast<int>(dy));
        for (int64_t col = 0; col < destWidth; ++col) {
            int64_t sx = static_cast<int64_t>(xSrc) + col;
            int64_t dx = static_cast<int64_t>(xDest) + col;
            if (sx < 0 || sx >= dibWidth || dx < 0 || dx >= surface->Width()) continue;
            uint16_t pixel = 0;
            switch (depth) {
                case 1: {
                    int index = (line[sx / 8] >> (7 - sx % 8)) & 1;
                    pixel = index < tableSize ? table[index] : 0;
                    break;
                }
                case 4: {
                    int index = (sx % 2 == 0) ? line[sx / 2] >> 4 : line[sx / 2] & 0x0F;
                    pixel = index < tableSize ? table[index] : 0;
                    break;
                }
                case 8: {
                    int index = line[sx];
                    pixel = index < tableSize ? table[index] : 0;
                    break;
                }
                default: {
                    const uint8_t* p = line + sx * 3;
                    pixel = pack(p[2], p[1], p[0]);
                    break;
                }
            }
            out[dx] = pixel;
        }
        ++copied;
    }
    return static_cast<int>(copied);
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
    plat::Surface* surface = plat::SurfaceOf(hdc);
    if (surface == nullptr || x < 0 || y < 0 || x >= surface->Width() || y >= surface->Height()) {
        return CLR_INVALID;
    }
    return plat::Widen(surface->Row(y)[x], surface->Format());
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
    plat::Surface* surface = plat::SurfaceOf(hdc);
    if (surface == nullptr || x < 0 || y < 0 || x >= surface->Width() || y >= surface->Height()) {
        return CLR_INVALID;
    }
    plat::Packer pack(surface->Format());
    uint16_t pixel = pack(GetRValue(color), GetGValue(color), GetBValue(color));
    surface->Row(y)[x] = pixel;
    return plat::Widen(pixel, surface->Format());
}
