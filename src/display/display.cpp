// The display device's flip chain and the surface operations of a frame.
#include "display.h"

#include <cstring>

DirectDrawDevice DisplayDevice;
LPDIRECTDRAW DirectDrawObject = nullptr;
LPDIRECTDRAWSURFACE PrimarySurface = nullptr;
LPDIRECTDRAWSURFACE BackSurface = nullptr;
DDSURFACEDESC LockDesc;

bool DirectDrawDevice::Init(HWND window) {
    if (DirectDrawCreate(nullptr, &DirectDrawObject, nullptr) != DD_OK) return false;
    if (DirectDrawObject->SetCooperativeLevel(
            window, DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX) !=
        DD_OK) {
        return false;
    }
    if (DirectDrawObject->SetDisplayMode(kScreenWidth, kScreenHeight, kScreenBitsPerPixel) !=
        DD_OK) {
        return false;
    }
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    if (DirectDrawObject->CreateSurface(&desc, &PrimarySurface, nullptr) != DD_OK) return false;
    DDSCAPS caps;
    caps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_VIDEOMEMORY;
    if (PrimarySurface->GetAttachedSurface(&caps, &BackSurface) != DD_OK) return false;
    return true;
}

void DirectDrawDevice::Release() {
    if (BackSurface != nullptr) {
        BackSurface->Release();
        BackSurface = nullptr;
    }
    if (PrimarySurface != nullptr) {
        PrimarySurface->Release();
        PrimarySurface = nullptr;
    }
    if (DirectDrawObject != nullptr) {
        DirectDrawObject->Release();
        DirectDrawObject = nullptr;
    }
}

void DirectDrawDevice::ClearSurface(LPDIRECTDRAWSURFACE surface) {
    if (surface == nullptr) return;
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0;
    while (surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx) == DDERR_WASSTILLDRAWING) {
    }
}

void DirectDrawDevice::BlitToBack(int32_t x, int32_t y, LPDIRECTDRAWSURFACE source,
                                  RECT* sourceRect, DWORD flags) {
    // A picture that failed to load, or a display already released, has nothing to blit.
    if (BackSurface == nullptr || source == nullptr) return;
    while (BackSurface->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), source, sourceRect,
                                flags) == DDERR_WASSTILLDRAWING) {}
}

bool DirectDrawDevice::LockSurface(LPDIRECTDRAWSURFACE surface, DDSURFACEDESC* desc) {
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = sizeof *desc;
    if (surface == nullptr) return false;
    return surface->Lock(nullptr, desc, DDLOCK_WAIT, nullptr) >= 0;
}

bool DirectDrawDevice::UnlockSurface(LPDIRECTDRAWSURFACE surface) {
    if (surface == nullptr) return false;
    return surface->Unlock(nullptr) >= 0;
}

void DirectDrawDevice::Flip() {
    if (PrimarySurface == nullptr) return;
    while (PrimarySurface->Flip(nullptr, 0) == DDERR_WASSTILLDRAWING) {}
}

bool DirectDrawDevice::IsOnScreen(int32_t x, int32_t y) {
    return x > 0 && x < kScreenWidth && y > 0 && y < kScreenHeight;
}
