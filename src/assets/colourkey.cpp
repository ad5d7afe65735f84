// Colour keys: the surface's own pixel value for an RGB colour, found by letting GDI write
// the colour into the surface and reading back what landed there.
#include "assets.h"

#include <cstring>

DWORD ColourMatch(LPDIRECTDRAWSURFACE surface, COLORREF colour) {
    DWORD result = CLR_INVALID;
    if (surface == nullptr) return result;
    bool saved = false;
    COLORREF probe = 0;
    HDC dc = nullptr;
    if (colour != CLR_INVALID && surface->GetDC(&dc) == DD_OK) {
        probe = GetPixel(dc, 0, 0);
        SetPixel(dc, 0, 0, colour);
        surface->ReleaseDC(dc);
        saved = true;
    }
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    HRESULT hr;
    while ((hr = surface->Lock(nullptr, &desc, 0, nullptr)) == DDERR_WASSTILLDRAWING) {}
    if (hr == DD_OK) {
        // Read exactly one pixel, as wide as the surface's pixels.
        DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
        size_t bytes = bits >= 32 ? 4 : (bits + 7) / 8;
        if (bytes == 0) bytes = 1;
        uint8_t raw[4] = {0, 0, 0, 0};
        if (desc.lpSurface != nullptr) std::memcpy(raw, desc.lpSurface, bytes);
        result = static_cast<DWORD>(raw[0]) | (static_cast<DWORD>(raw[1]) << 8) |
                 (static_cast<DWORD>(raw[2]) << 16) | (static_cast<DWORD>(raw[3]) << 24);
        if (bits < 32) result &= (static_cast<DWORD>(1) << bits) - 1;
        surface->Unlock(nullptr);
    }
    if (saved && surface->GetDC(&dc) == DD_OK) {
        SetPixel(dc, 0, 0, probe);
        surface->ReleaseDC(dc);
    }
    return result;
}

HRESULT SetColourKey(LPDIRECTDRAWSURFACE surface, COLORREF colour) {
    if (surface == nullptr) return DDERR_INVALIDOBJECT;
    DWORD value = ColourMatch(surface, colour);
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = value;
    key.dwColorSpaceHighValue = value;
    return surface->SetColorKey(DDCKEY_SRCBLT, &key);
}
