// Colour tables and drawing into a locked 16-bit surface: pixels, spans, rectangle
// outlines, filled boxes and filled discs.
#include "display.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Address of pixel (x, y) of a locked surface.
uint16_t* PixelAddress(const DDSURFACEDESC* desc, int32_t x, int32_t y) {
    return reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(desc->lpSurface) +
                                       static_cast<intptr_t>(y) * desc->lPitch +
                                       static_cast<intptr_t>(x) * 2);
}

// Drawing goes only through a description that holds a lock; one whose lock failed was
// cleared and has no surface.
bool Drawable(const DDSURFACEDESC* desc) {
    return desc != nullptr && desc->lpSurface != nullptr && desc->lPitch > 0;
}

// The locked surface's size, as a last guard for the spans.
int32_t SurfaceWidth(const DDSURFACEDESC* desc) {
    return desc->dwWidth > static_cast<DWORD>(kScreenWidth) ? kScreenWidth
                                                            : static_cast<int32_t>(desc->dwWidth);
}

int32_t SurfaceHeight(const DDSURFACEDESC* desc) {
    return desc->dwHeight > static_cast<DWORD>(kScreenHeight)
               ? kScreenHeight
               : static_cast<int32_t>(desc->dwHeight);
}

}  // namespace

bool DirectDrawDevice::BuildColourTables(LPDIRECTDRAWSURFACE surface) {
    if (surface == nullptr) return false;
    DDPIXELFORMAT format;
    std::memset(&format, 0, sizeof format);
    format.dwSize = sizeof format;
    if (surface->GetPixelFormat(&format) < 0) return false;
    std::unique_ptr<uint32_t[]> block(new (std::nothrow) uint32_t[768]);
    if (block == nullptr) return false;
    tableBlock = std::move(block);
    redTable = tableBlock.get();
    greenTable = redTable + 256;
    blueTable = greenTable + 256;
    const uint32_t masks[3] = {format.dwRBitMask, format.dwGBitMask, format.dwBBitMask};
    uint32_t* tables[3] = {redTable, greenTable, blueTable};
    for (int c = 0; c < 3; ++c) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint64_t scaled = static_cast<uint64_t>(i) * masks[c] / 255;
            tables[c][i] = static_cast<uint32_t>(scaled) & masks[c];
        }
    }
    return true;
}

bool DirectDrawDevice::Packable(int32_t r, int32_t g, int32_t b) const {
    return tableBlock != nullptr && r >= 0 && r <= 255 && g >= 0 && g <= 255 && b >= 0 && b <= 255;
}

uint16_t DirectDrawDevice::Pack(int32_t r, int32_t g, int32_t b) const {
    return static_cast<uint16_t>(redTable[r] | greenTable[g] | blueTable[b]);
}

void DirectDrawDevice::PutPixel(int32_t x, int32_t y, int32_t r, int32_t g, int32_t b,
                                DDSURFACEDESC* desc) {
    if (!IsOnScreen(x, y)) return;
    if (!Drawable(desc) || !Packable(r, g, b)) return;
    if (x >= SurfaceWidth(desc) || y >= SurfaceHeight(desc)) return;
    *PixelAddress(desc, x, y) = Pack(r, g, b);
}

void DirectDrawDevice::PutGlyph(int32_t x, int32_t y, const uint8_t rows[8], int32_t r, int32_t g,
                                int32_t b) {
    const DDSURFACEDESC* desc = &LockDesc;
    // A glyph wholly inside what PutPixel draws (the screen less its column 0 and row 0, and
    // the locked surface) is written row by row; any other, cell by cell through PutPixel.
    const bool inside = Drawable(desc) && Packable(r, g, b) && x >= 1 && y >= 1 &&
                        x + 7 < SurfaceWidth(desc) && y + 7 < SurfaceHeight(desc);
    if (!inside) {
        for (int32_t row = 0; row < 8; ++row) {
            for (int32_t column = 0; column < 8; ++column) {
                if ((rows[row] & (0x80 >> column)) != 0) {
                    PutPixel(x + column, y + row, r, g, b, &LockDesc);
                }
            }
        }
        return;
    }
    const uint16_t value = Pack(r, g, b);
    for (int32_t row = 0; row < 8; ++row) {
        const uint8_t bits = rows[row];
        if (bits == 0) continue;
        uint16_t* p = PixelAddress(desc, x, y + row);
        for (int32_t column = 0; column < 8; ++column) {
            if ((bits & (0x80 >> column)) != 0) p[column] = value;
        }
    }
}

void DirectDrawDevice::DrawHLine(int32_t x1, int32_t x2, int32_t y, int32_t r, int32_t g, int32_t b,
                                 DDSURFACEDESC* desc) {
    if (!Drawable(desc) || !Packable(r, g, b)) return;
    uint16_t value = Pack(r, g, b);
    // The callers keep spans on the screen; a span that is not is cut to the surface.
    if (y < 0 || y >= SurfaceHeight(desc)) return;
    if (x1 < 0) x1 = 0;
    if (x2 >= SurfaceWidth(desc)) x2 = SurfaceWidth(desc) - 1;
    if (x2 < x1) return;
    uint16_t* p = PixelAddress(desc, x1, y);
    const int32_t span = x2 - x1 + 1;
    const auto count = static_cast<size_t>(span);
    if ((value & 0xFF) == (value >> 8)) {
        std::memset(p, value & 0xFF, count * 2);  // black and the like: bytewise
    } else {
        std::fill_n(p, count, value);
    }
}

void DirectDrawDevice::DrawVLine(int32_t x, int32_t y1, int32_t y2, int32_t r, int32_t g, int32_t b,
                                 DDSURFACEDESC* desc) {
    if (!Drawable(desc) || !Packable(r, g, b)) return;
    uint16_t value = Pack(r, g, b);
    if (x < 0 || x >= SurfaceWidth(desc)) return;
    if (y1 < 0) y1 = 0;
    if (y2 >= SurfaceHeight(desc)) y2 = SurfaceHeight(desc) - 1;
    if (y2 < y1) return;
    auto* p = reinterpret_cast<uint8_t*>(PixelAddress(desc, x, y1));
    for (int32_t count = y2 - y1 + 1; count > 0; --count) {
        *reinterpret_cast<uint16_t*>(p) = value;
        p += desc->lPitch;
    }
}

void DirectDrawDevice::DrawRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t r,
                                int32_t g, int32_t b) {
    if (x1 > x2) {
        int32_t t = x1;
        x1 = x2;
        x2 = t;
    }
    if (y1 > y2) {
        int32_t t = y1;
        y1 = y2;
        y2 = t;
    }
    DrawHLine(x1, x2, y1, r, g, b, &LockDesc);
    DrawHLine(x1, x2, y2, r, g, b, &LockDesc);
    DrawVLine(x1, y1, y2, r, g, b, &LockDesc);
    DrawVLine(x2, y1, y2, r, g, b, &LockDesc);
}

void DirectDrawDevice::FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t r,
                                int32_t g, int32_t b) {
    auto clampX = [](int32_t x) {
        return x < 0 ? 0 : (x > kScreenWidth - 1 ? kScreenWidth - 1 : x);
    };
    x1 = clampX(x1);
    x2 = clampX(x2);
    // Only rows 1..479 can be drawn, so the loop need not visit the others.
    int32_t first = y1 < 1 ? 1 : y1;
    int32_t last = y2 > kScreenHeight - 1 ? kScreenHeight - 1 : y2;
    for (int32_t y = first; y <= last; ++y) DrawHLine(x1, x2, y, r, g, b, &LockDesc);
}

void DirectDrawDevice::FillCircle(int32_t cx, int32_t cy, int32_t radius, int32_t r, int32_t g,
                                  int32_t b) {
    // Radii beyond the screen's diagonal draw the same as the screen's; keeps the sums small.
    if (radius > 2000) radius = 2000;
    if (cx < -4000 || cx > 4000 || cy < -4000 || cy > 4000) return;
    int32_t R = radius;
    int32_t x = 0;
    int32_t d = 2 * (1 - R);
    while (R >= 0) {
        int32_t left = cx - x;
        if (left < 0) left = 0;
        int32_t right = cx + x;
        if (right > kScreenWidth - 1) right = kScreenWidth - 1;
        if (cy + R >= 1 && cy + R <= kScreenHeight - 1)
            DrawHLine(left, right, cy + R, r, g, b, &LockDesc);
        if (cy - R >= 1 && cy - R <= kScreenHeight - 1)
            DrawHLine(left, right, cy - R, r, g, b, &LockDesc);
        if (d + R > 0) {
            R = R - 1;
            d = d - (2 * R - 1);
        }
        if (x > d) {
            x = x + 1;
            d = d + 2 * x + 1;
        }
    }
}
