// The display device: DirectDraw's flip chain at 640 x 480 x 16, the few surface
// operations a frame needs, the colour tables with the pixel and shape drawing, the block
// font and the picture loader.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <cstdint>
#include <memory>

constexpr int32_t kScreenWidth = 640;
constexpr int32_t kScreenHeight = 480;
constexpr int32_t kScreenBitsPerPixel = 16;

// One picture in an offscreen surface; the interface pointer is the image.
typedef IDirectDrawSurface* GfxImage;

class DirectDrawDevice {
public:
    bool Init(HWND window);
    void Release();
    void ClearSurface(LPDIRECTDRAWSURFACE surface);
    void BlitToBack(int32_t x, int32_t y, LPDIRECTDRAWSURFACE source, RECT* sourceRect,
                    DWORD flags);
    bool LockSurface(LPDIRECTDRAWSURFACE surface, DDSURFACEDESC* desc);
    bool UnlockSurface(LPDIRECTDRAWSURFACE surface);
    void Flip();
    bool IsOnScreen(int32_t x, int32_t y);

    // Colour tables and drawing into a locked surface.
    bool BuildColourTables(LPDIRECTDRAWSURFACE surface);
    void PutPixel(int32_t x, int32_t y, int32_t r, int32_t g, int32_t b, DDSURFACEDESC* desc);
    void DrawHLine(int32_t x1, int32_t x2, int32_t y, int32_t r, int32_t g, int32_t b,
                   DDSURFACEDESC* desc);
    void DrawVLine(int32_t x, int32_t y1, int32_t y2, int32_t r, int32_t g, int32_t b,
                   DDSURFACEDESC* desc);
    void DrawRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t r, int32_t g, int32_t b);
    void FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t r, int32_t g, int32_t b);
    void FillCircle(int32_t cx, int32_t cy, int32_t radius, int32_t r, int32_t g, int32_t b);

    // Block font text into the surface locked into LockDesc.
    void DrawBlockText(int32_t x, int32_t y, const char* text, int32_t r, int32_t g, int32_t b);

    // Picture loading (.gfx files).
    GfxImage LoadGfxImage(LPDIRECTDRAW directDraw, const char* fileName);

    // The three tables live in one block that the device owns; a rebuild replaces it. The
    // colour names are views into it, valid while the block is.
    std::unique_ptr<uint32_t[]> tableBlock;
    uint32_t* redTable = nullptr;
    uint32_t* greenTable = nullptr;
    uint32_t* blueTable = nullptr;

private:
    // The set cells of an 8 x 8 glyph (row 0 first, bit 0x80 the left column) at (x, y), each
    // with the effect of PutPixel through LockDesc.
    void PutGlyph(int32_t x, int32_t y, const uint8_t rows[8], int32_t r, int32_t g, int32_t b);
    bool Packable(int32_t r, int32_t g, int32_t b) const;
    uint16_t Pack(int32_t r, int32_t g, int32_t b) const;
};

extern DirectDrawDevice DisplayDevice;
extern LPDIRECTDRAW DirectDrawObject;
extern LPDIRECTDRAWSURFACE PrimarySurface;
extern LPDIRECTDRAWSURFACE BackSurface;
extern DDSURFACEDESC LockDesc;

// Row length in bytes of a DIB for a picture's bit count; the bit count becomes the DIB's depth.
int32_t DibRowStride(int32_t& bitCount, int32_t width);
