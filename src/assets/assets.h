// The game's pictures and the colour-key utilities for sprite blits.
#pragma once

#include "../display/display.h"

extern GfxImage RoadImage;
extern GfxImage CarsImage;
extern GfxImage BackImage;
extern GfxImage StatusImage;

// Largest picture side the loader accepts.
constexpr int32_t kGfxMaxSide = 16384;

// The surface's packed pixel value for an RGB colour, or CLR_INVALID.
DWORD ColourMatch(LPDIRECTDRAWSURFACE surface, COLORREF colour);
// Makes the colour the surface's source colour key.
HRESULT SetColourKey(LPDIRECTDRAWSURFACE surface, COLORREF colour);
