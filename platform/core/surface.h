// DirectDraw surfaces as the core keeps them; shared by the DirectDraw and GDI code.
#pragma once

#include "com.h"
#include "platform.h"

#include <memory>

namespace plat {

class Surface final : public ComObject<IDirectDrawSurface> {
public:
    Surface(int width, int height, int pitch, DWORD caps);
    ~Surface() override;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    HRESULT Blt(LPRECT destRect, LPDIRECTDRAWSURFACE src, LPRECT srcRect, DWORD flags,
                LPDDBLTFX fx) override;
    HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE src, LPRECT srcRect,
                    DWORD trans) override;
    HRESULT Flip(LPDIRECTDRAWSURFACE targetOverride, DWORD flags) override;
    HRESULT GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* attached) override;
    HRESULT GetDC(HDC* dc) override;
    HRESULT GetPixelFormat(LPDDPIXELFORMAT format) override;
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC desc) override;
    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) override;
    HRESULT ReleaseDC(HDC dc) override;
    HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
    HRESULT Unlock(LPVOID surfaceData) override;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Pitch() const { return pitch_; }
    uint8_t* Pixels() { return pixels_.get(); }
    const uint8_t* Pixels() const { return pixels_.get(); }
    uint16_t* Row(int y) {
        return reinterpret_cast<uint16_t*>(pixels_.get() +
                                           static_cast<size_t>(y) * static_cast<size_t>(pitch_));
    }
    const uint16_t* Row(int y) const {
        return reinterpret_cast<const uint16_t*>(pixels_.get() + static_cast<size_t>(y) *
                                                                     static_cast<size_t>(pitch_));
    }
    bool Busy() const { return locked_ || dcOut_; }
    bool HasDC() const { return dcOut_; }
    bool IsPrimary() const { return (caps_ & DDSCAPS_PRIMARYSURFACE) != 0; }
    void AttachBack(Surface* back) { back_ = back; }
    PixelFormat Format() const { return format_; }

    // Used by the GDI device context of the surface.
    void EndDC() { dcOut_ = false; }

private:
    int width_;
    int height_;
    int pitch_;
    DWORD caps_;
    PixelFormat format_;
    std::unique_ptr<uint8_t[]> pixels_;
    bool locked_ = false;
    bool dcOut_ = false;
    bool hasKey_ = false;
    DDCOLORKEY key_{};
    Surface* back_ = nullptr;  // the attached back buffer of a flip chain
    HDC dc_ = nullptr;
};

// The visible surface: the primary surface while it exists.
Surface* FrontSurface();

// GDI device contexts of surfaces (gdi.cpp).
HDC CreateSurfaceDC(Surface* surface);
void DeleteSurfaceDC(HDC dc);

// Largest side of a surface we agree to allocate.
constexpr int kMaxSurfaceSide = 16384;

}  // namespace plat
