// DirectDraw: one display mode (640 x 480 x 16), a two-surface flip chain that flips by
// exchanging the surfaces' memory, offscreen plain surfaces, colour fills, fast blits with
// and without a source colour key, locks and colour keys. Every rectangle is checked the
// way DirectDraw checks it; a refused call changes nothing.
#include "surface.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace plat {
namespace {

// Rows of the flip chain are further apart than 1280 bytes, as on many display cards.
constexpr int kChainPitch = 1344;

Surface* g_front = nullptr;

class DirectDraw;
DirectDraw* g_directDraw = nullptr;

class DirectDraw final : public ComObject<IDirectDraw> {
public:
    ~DirectDraw() override {
        if (g_directDraw == this) g_directDraw = nullptr;
    }

    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override {
        const DWORD known = DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_NOWINDOWCHANGES |
                            DDSCL_NORMAL | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX;
        if ((flags & ~known) != 0) return DDERR_INVALIDPARAMS;
        bool fullscreen = (flags & DDSCL_FULLSCREEN) != 0;
        bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
        bool normal = (flags & DDSCL_NORMAL) != 0;
        if (fullscreen != exclusive) return DDERR_INVALIDPARAMS;
        if (normal == exclusive) return DDERR_INVALIDPARAMS;
        if (exclusive && hwnd == nullptr) return DDERR_INVALIDPARAMS;
        exclusive_ = exclusive;
        levelSet_ = true;
        return DD_OK;
    }

    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp) override {
        if (!levelSet_) return DDERR_NOCOOPERATIVELEVELSET;
        if (!exclusive_) return DDERR_NOEXCLUSIVEMODE;
        if (width != kScreenWidth || height != kScreenHeight || bpp != 16) {
            return DDERR_INVALIDMODE;
        }
        return DD_OK;
    }

    HRESULT RestoreDisplayMode() override { return DD_OK; }

    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out,
                          IUnknown* outer) override {
        if (out == nullptr || desc == nullptr) return DDERR_INVALIDPARAMS;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        if (desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
        if ((desc->dwFlags & DDSD_CAPS) == 0) return DDERR_INVALIDPARAMS;
        if (!levelSet_) return DDERR_NOCOOPERATIVELEVELSET;
        DWORD caps = desc->ddsCaps.dwCaps;
        if ((caps & DDSCAPS_PRIMARYSURFACE) != 0) return CreatePrimary(desc, out);
        if ((caps & DDSCAPS_OFFSCREENPLAIN) != 0) return CreateOffscreen(desc, out);
        return DDERR_INVALIDCAPS;
    }

private:
    HRESULT CreatePrimary(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out) {
        DWORD caps = desc->ddsCaps.dwCaps;
        if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) != 0) {
            return DDERR_INVALIDPARAMS;
        }
        if (g_front != nullptr) return DDERR_PRIMARYSURFACEALREADYEXISTS;
        bool flip = (caps & DDSCAPS_FLIP) != 0;
        if (!flip) {
            if ((desc->dwFlags & DDSD_BACKBUFFERCOUNT) != 0) return DDERR_INVALIDPARAMS;
            auto* primary = new Surface(kScreenWidth, kScreenHeight, kChainPitch,
                                        DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY);
            g_front = primary;
            *out = primary;
            return DD_OK;
        }
        if (!exclusive_) return DDERR_NOEXCLUSIVEMODE;
        if ((caps & DDSCAPS_COMPLEX) == 0) return DDERR_INVALIDCAPS;
        if ((desc->dwFlags & DDSD_BACKBUFFERCOUNT) == 0 || desc->dwBackBufferCount != 1) {
            return DDERR_INVALIDPARAMS;
        }
        auto* primary = new Surface(kScreenWidth, kScreenHeight, kChainPitch,
                                    DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                                        DDSCAPS_FRONTBUFFER | DDSCAPS_VIDEOMEMORY);
        auto* back =
            new Surface(kScreenWidth, kScreenHeight, kChainPitch,
                        DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY);
        primary->AttachBack(back);
        g_front = primary;
        *out = primary;
        return DD_OK;
    }

    HRESULT CreateOffscreen(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out) {
        DWORD caps = desc->ddsCaps.dwCaps;
        if ((caps & (DDSCAPS_FLIP | DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX)) != 0) {
            return DDERR_INVALIDCAPS;
        }
        if ((desc->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT)) {
            return DDERR_INVALIDPARAMS;
        }
        if ((desc->dwFlags & DDSD_PIXELFORMAT) != 0) {
            const DDPIXELFORMAT& pf = desc->ddpfPixelFormat;
            PixelFormat display = Current().DisplayFormat();
            if ((pf.dwFlags & DDPF_RGB) == 0 || pf.dwRGBBitCount != 16 ||
                pf.dwRBitMask != display.red || pf.dwGBitMask != display.green ||
                pf.dwBBitMask != display.blue) {
                return DDERR_INVALIDPIXELFORMAT;
            }
        }
        // A size of zero, a negative size seen as unsigned, or one too large to hold safely.
        if (desc->dwWidth == 0 || desc->dwHeight == 0 || desc->dwWidth > 0x7FFFFFFFu ||
            desc->dwHeight > 0x7FFFFFFFu) {
            return DDERR_INVALIDPARAMS;
        }
        if (desc->dwWidth > static_cast<DWORD>(kMaxSurfaceSide) ||
            desc->dwHeight > static_cast<DWORD>(kMaxSurfaceSide)) {
            return DDERR_OUTOFMEMORY;
        }
        int width = static_cast<int>(desc->dwWidth);
        int height = static_cast<int>(desc->dwHeight);
        int pitch = (width * 2 + 7) & ~7;
        DWORD memory =
            (caps & DDSCAPS_SYSTEMMEMORY) != 0 ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_VIDEOMEMORY;
        auto* surface = new Surface(width, height, pitch, DDSCAPS_OFFSCREENPLAIN | memory);
        if (surface->Pixels() == nullptr) {
            surface->Release();
            return DDERR_OUTOFMEMORY;
        }
        *out = surface;
        return DD_OK;
    }

    bool levelSet_ = false;
    bool exclusive_ = false;
};

// A rectangle of a surface, checked as DirectDraw checks it: inside the surface and not
// empty or inverted.
bool RectInside(const RECT& r, int width, int height) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= width &&
           r.bottom <= height;
}

}  // namespace

Surface* FrontSurface() { return g_front; }

FrontView Front() {
    FrontView view;
    if (g_front != nullptr) {
        view.pixels = g_front->Pixels();
        view.pitch = g_front->Pitch();
        view.format = g_front->Format();
    }
    return view;
}

void PixelToRgb(uint16_t pixel, const PixelFormat& format, uint8_t rgb[3]) {
    const uint32_t masks[3] = {format.red, format.green, format.blue};
    for (int i = 0; i < 3; ++i) {
        uint32_t mask = masks[i];
        if (mask == 0) {
            rgb[i] = 0;
            continue;
        }
        int shift = 0;
        while (((mask >> shift) & 1u) == 0) ++shift;
        uint32_t bits = mask >> shift;
        int width = 0;
        while (((bits >> width) & 1u) != 0) ++width;
        uint32_t v = (pixel & mask) >> shift;
        // Bit replication up to eight bits.
        uint32_t wide = 0;
        int filled = 0;
        while (filled < 8) {
            int take = std::min(width, 8 - filled);
            wide = (wide << take) | (v >> (width - take));
            filled += take;
        }
        rgb[i] = static_cast<uint8_t>(wide);
    }
}

Surface::Surface(int width, int height, int pitch, DWORD caps)
    : width_(width),
      height_(height),
      pitch_(pitch),
      caps_(caps),
      format_(Current().DisplayFormat()) {
    size_t bytes = static_cast<size_t>(pitch) * static_cast<size_t>(height);
    // Zeroed, as a new surface is black. Memory that cannot be had leaves the surface without
    // pixels, and whoever creates it refuses with DDERR_OUTOFMEMORY.
    pixels_.reset(new (std::nothrow) uint8_t[bytes]());
}

Surface::~Surface() {
    if (dc_ != nullptr) DeleteSurfaceDC(dc_);
    if (back_ != nullptr) back_->Release();
    if (g_front == this) g_front = nullptr;
}

HRESULT Surface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE src, LPRECT srcRect, DWORD flags,
                     LPDDBLTFX fx) {
    if ((flags & DDBLT_COLORFILL) == 0) return DDERR_UNSUPPORTED;
    if ((flags & ~(DDBLT_COLORFILL | DDBLT_WAIT)) != 0) return DDERR_UNSUPPORTED;
    if (src != nullptr || srcRect != nullptr) return DDERR_INVALIDPARAMS;
    if (fx == nullptr || fx->dwSize != sizeof(DDBLTFX)) return DDERR_INVALIDPARAMS;
    RECT r{0, 0, width_, height_};
    if (destRect != nullptr) {
        r = *destRect;
        if (!RectInside(r, width_, height_)) return DDERR_INVALIDRECT;
    }
    if (Busy()) return DDERR_SURFACEBUSY;
    auto value = static_cast<uint16_t>(fx->dwFillColor & 0xFFFF);
    const size_t count = static_cast<size_t>(r.right - r.left);
    for (int y = r.top; y < r.bottom; ++y) {
        uint16_t* row = Row(y) + r.left;
        if ((value & 0xFF) == (value >> 8)) {
            std::memset(row, value & 0xFF, count * 2);  // black, white and the like: bytewise
        } else {
            std::fill(row, row + count, value);
        }
    }
    return DD_OK;
}

HRESULT Surface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE srcIface, LPRECT srcRect,
                         DWORD trans) {
    auto* src = dynamic_cast<Surface*>(srcIface);
    if (src == nullptr) return DDERR_INVALIDPARAMS;
    if ((trans & ~(DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT)) != 0) return DDERR_UNSUPPORTED;
    RECT r{0, 0, src->width_, src->height_};
    if (srcRect != nullptr) {
        r = *srcRect;
        if (!RectInside(r, src->width_, src->height_)) return DDERR_INVALIDRECT;
    }
    int w = r.right - r.left;
    int h = r.bottom - r.top;
    if (static_cast<uint64_t>(x) + static_cast<uint64_t>(w) > static_cast<uint64_t>(width_) ||
        static_cast<uint64_t>(y) + static_cast<uint64_t>(h) > static_cast<uint64_t>(height_)) {
        return DDERR_INVALIDRECT;
    }
    bool keyed = (trans & DDBLTFAST_SRCCOLORKEY) != 0;
    if (keyed && !src->hasKey_) return DDERR_NOCOLORKEY;
    if (Busy() || src->Busy()) return DDERR_SURFACEBUSY;
    int dx = static_cast<int>(x);
    int dy = static_cast<int>(y);
    DWORD lo = src->key_.dwColorSpaceLowValue;
    DWORD hi = src->key_.dwColorSpaceHighValue;
    // A blit within one surface reads from a copy, so overlapping rectangles come out right.
    std::unique_ptr<uint16_t[]> copy;
    size_t copyPitch = static_cast<size_t>(w);
    if (src == this) {
        copy = std::make_unique<uint16_t[]>(copyPitch * static_cast<size_t>(h));
        for (int i = 0; i < h; ++i) {
            std::memcpy(copy.get() + copyPitch * static_cast<size_t>(i), Row(r.top + i) + r.left,
                        copyPitch * 2);
        }
    }
    for (int i = 0; i < h; ++i) {
        const uint16_t* from =
            copy ? copy.get() + copyPitch * static_cast<size_t>(i) : src->Row(r.top + i) + r.left;
        uint16_t* to = Row(dy + i) + dx;
        if (!keyed) {
            std::memcpy(to, from, static_cast<size_t>(w) * 2);
            continue;
        }
        if (lo == hi) {
            // One transparent value, as the game sets it: a select the compiler can vectorise.
            for (int c = 0; c < w; ++c) to[c] = from[c] == lo ? to[c] : from[c];
            continue;
        }
        for (int c = 0; c < w; ++c) {
            DWORD p = from[c];
            if (p < lo || p > hi) to[c] = from[c];
        }
    }
    return DD_OK;
}

HRESULT Surface::Flip(LPDIRECTDRAWSURFACE targetOverride, DWORD flags) {
    if (back_ == nullptr) return DDERR_NOTFLIPPABLE;
    if ((flags & ~DDFLIP_WAIT) != 0) return DDERR_INVALIDPARAMS;
    if (targetOverride != nullptr && targetOverride != back_) return DDERR_INVALIDPARAMS;
    if (Busy() || back_->Busy()) return DDERR_SURFACEBUSY;
    Backend& backend = Current();
    backend.BeforeFlip();
    std::swap(pixels_, back_->pixels_);
    backend.AfterFlip();
    return DD_OK;
}

HRESULT Surface::GetAttachedSurface(LPDDSCAPS caps, LPDIRECTDRAWSURFACE* attached) {
    if (caps == nullptr || attached == nullptr) return DDERR_INVALIDPARAMS;
    DWORD wanted = caps->dwCaps & ~(DDSCAPS_VIDEOMEMORY);
    if (back_ == nullptr || wanted == 0 || (wanted & ~DDSCAPS_BACKBUFFER & ~DDSCAPS_FLIP) != 0 ||
        (wanted & DDSCAPS_BACKBUFFER) == 0) {
        *attached = nullptr;
        return DDERR_NOTFOUND;
    }
    back_->AddRef();
    *attached = back_;
    return DD_OK;
}

HRESULT Surface::GetDC(HDC* dc) {
    if (dc == nullptr) return DDERR_INVALIDPARAMS;
    if (dcOut_) return DDERR_DCALREADYCREATED;
    if (locked_) return DDERR_SURFACEBUSY;
    if (dc_ == nullptr) dc_ = CreateSurfaceDC(this);
    dcOut_ = true;
    *dc = dc_;
    return DD_OK;
}

HRESULT Surface::ReleaseDC(HDC dc) {
    if (!dcOut_ || dc == nullptr || dc != dc_) return DDERR_INVALIDPARAMS;
    dcOut_ = false;
    if (IsPrimary() && this == g_front) Current().FrontChanged();
    return DD_OK;
}

HRESULT Surface::GetPixelFormat(LPDDPIXELFORMAT format) {
    if (format == nullptr || format->dwSize != sizeof(DDPIXELFORMAT)) return DDERR_INVALIDPARAMS;
    format->dwFlags = DDPF_RGB;
    format->dwFourCC = 0;
    format->dwRGBBitCount = 16;
    format->dwRBitMask = format_.red;
    format->dwGBitMask = format_.green;
    format->dwBBitMask = format_.blue;
    format->dwRGBAlphaBitMask = 0;
    return DD_OK;
}

HRESULT Surface::GetSurfaceDesc(LPDDSURFACEDESC desc) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = static_cast<DWORD>(width_);
    desc->dwHeight = static_cast<DWORD>(height_);
    desc->lPitch = pitch_;
    desc->ddsCaps.dwCaps = caps_;
    desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    return GetPixelFormat(&desc->ddpfPixelFormat);
}

HRESULT Surface::Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC)) return DDERR_INVALIDPARAMS;
    if ((flags & ~DDLOCK_WAIT) != 0) return DDERR_INVALIDPARAMS;
    RECT r{0, 0, width_, height_};
    if (rect != nullptr) {
        r = *rect;
        // Lock refuses a rectangle with DDERR_INVALIDPARAMS (DDERR_INVALIDRECT is not among its
        // answers), and takes an empty one inside the surface.
        if (r.left < 0 || r.top < 0 || r.left > r.right || r.top > r.bottom || r.right > width_ ||
            r.bottom > height_) {
            return DDERR_INVALIDPARAMS;
        }
    }
    if (locked_ || dcOut_) return DDERR_SURFACEBUSY;
    HRESULT hr = GetSurfaceDesc(desc);
    if (FAILED(hr)) return hr;
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = reinterpret_cast<uint8_t*>(Row(r.top)) + static_cast<size_t>(r.left) * 2;
    locked_ = true;
    return DD_OK;
}

HRESULT Surface::Unlock(LPVOID) {
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
    if (this == g_front) Current().FrontChanged();
    return DD_OK;
}

HRESULT Surface::SetColorKey(DWORD flags, LPDDCOLORKEY key) {
    DWORD kind = flags & ~DDCKEY_COLORSPACE;
    if (kind != DDCKEY_SRCBLT) {
        return kind == 0 ? DDERR_INVALIDPARAMS : DDERR_UNSUPPORTED;
    }
    if (key == nullptr) {
        hasKey_ = false;
        return DD_OK;
    }
    DDCOLORKEY wanted = *key;
    if ((flags & DDCKEY_COLORSPACE) == 0)
        wanted.dwColorSpaceHighValue = wanted.dwColorSpaceLowValue;
    if (wanted.dwColorSpaceHighValue < wanted.dwColorSpaceLowValue) return DDERR_INVALIDPARAMS;
    key_ = wanted;
    hasKey_ = true;
    return DD_OK;
}

}  // namespace plat

HRESULT WINAPI DirectDrawCreate(GUID* driver, LPDIRECTDRAW* out, IUnknown* outer) {
    if (out == nullptr) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (driver != nullptr) return DDERR_INVALIDPARAMS;
    if (!plat::Current().OpenDisplay()) return DDERR_NODIRECTDRAWHW;
    auto* dd = new plat::DirectDraw();
    plat::g_directDraw = dd;
    *out = dd;
    return DD_OK;
}
