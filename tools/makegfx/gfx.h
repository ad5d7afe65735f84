// Shared pieces of makegfx: a float RGB canvas, deterministic noise, the two
// little bitmap fonts and the painting helpers every picture uses.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace gfx {

// ---------------------------------------------------------------------------
// Colour and canvas

struct Col {
    float r = 0.0f, g = 0.0f, b = 0.0f;
};

inline Col operator+(Col a, Col b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Col operator-(Col a, Col b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Col operator*(Col a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline Col operator*(float s, Col a) { return a * s; }
inline Col Mix(Col a, Col b, float t) { return a + (b - a) * t; }
inline Col Rgb(int r, int g, int b) { return {float(r), float(g), float(b)}; }
inline Col Grey(float v) { return {v, v, v}; }
// Each channel brought into 0..255, as the palette reduction expects.
inline Col ClampColour(Col c) {
    return {std::clamp(c.r, 0.0f, 255.0f), std::clamp(c.g, 0.0f, 255.0f),
            std::clamp(c.b, 0.0f, 255.0f)};
}

inline float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
inline float Smoothstep(float e0, float e1, float x) {
    const float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}
inline float Lerp(float a, float b, float t) { return a + (b - a) * t; }
inline float Sq(float v) { return v * v; }

// Scales (x, y, z) to unit length: the normal of a height field before it is lit.
inline void Normalise(float& x, float& y, float& z) {
    const float len = std::sqrt(x * x + y * y + z * z);
    x /= len;
    y /= len;
    z /= len;
}

struct Image {
    int w = 0, h = 0;
    std::vector<Col> px;

    Image(int width, int height, Col fill = {})
        : w(width), h(height), px(std::size_t(width) * std::size_t(height), fill) {}

    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
    Col& At(int x, int y) { return px[std::size_t(y) * std::size_t(w) + std::size_t(x)]; }
    const Col& At(int x, int y) const {
        return px[std::size_t(y) * std::size_t(w) + std::size_t(x)];
    }

    // Alpha blend / add, silently clipped.
    void Blend(int x, int y, Col c, float a) {
        if (!Inside(x, y) || a <= 0.0f) return;
        Col& d = At(x, y);
        d = Mix(d, c, std::min(a, 1.0f));
    }
    void Add(int x, int y, Col c, float a) {
        if (!Inside(x, y) || a <= 0.0f) return;
        Col& d = At(x, y);
        d = d + c * a;
    }
    void Darken(int x, int y, float f) {
        if (!Inside(x, y)) return;
        At(x, y) = At(x, y) * f;
    }
};

// ---------------------------------------------------------------------------
// Deterministic randomness

inline std::uint32_t HashU(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

inline std::uint32_t Hash4(std::int32_t a, std::int32_t b = 0, std::int32_t c = 0,
                           std::int32_t d = 0) {
    std::uint32_t h = HashU(std::uint32_t(a) + 0x9e3779b9u);
    h = HashU(h ^ (std::uint32_t(b) + 0x85ebca6bu));
    h = HashU(h ^ (std::uint32_t(c) + 0xc2b2ae35u));
    h = HashU(h ^ (std::uint32_t(d) + 0x27d4eb2fu));
    return h;
}

// Uniform in [0, 1) and [-1, 1).
inline float Rnd(std::int32_t a, std::int32_t b = 0, std::int32_t c = 0, std::int32_t d = 0) {
    return float(Hash4(a, b, c, d) >> 8) / 16777216.0f;
}
inline float RndS(std::int32_t a, std::int32_t b = 0, std::int32_t c = 0, std::int32_t d = 0) {
    return Rnd(a, b, c, d) * 2.0f - 1.0f;
}

// Small LCG for placing things.
class Rng {
public:
    explicit Rng(std::uint32_t seed) : state_(HashU(seed + 1u)) {}
    std::uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return HashU(state_);
    }
    float Uniform() { return float(Next() >> 8) / 16777216.0f; }
    float Range(float lo, float hi) { return lo + (hi - lo) * Uniform(); }

private:
    std::uint32_t state_;
};

// Value noise in [0, 1] on an integer lattice. Lattice coordinates wrap with
// period px / py (0 = no wrap), which is how the road texture tiles.
float Noise(float x, float y, int seed, int px = 0, int py = 0);
// Fractal sum of Noise(), normalised to [0, 1]. Each octave doubles both the
// frequency and the wrap periods, so a tiling base stays tiling.
float Fbm(float x, float y, int seed, int octaves, int px = 0, int py = 0);

// Cellular noise: distance to the nearest and second nearest feature point of
// a jittered grid (cell size 1), wrapping like Noise().
struct Cells {
    float f1, f2;
    std::uint32_t id;
};
Cells Cellular(float x, float y, int seed, int px = 0, int py = 0);

// ---------------------------------------------------------------------------
// Fonts and text masks

enum class Font { kSmall, kLogo };

// Coverage mask, 0..1 per pixel.
struct Mask {
    int w = 0, h = 0;
    std::vector<float> a;
    float At(int x, int y) const {
        if (x < 0 || y < 0 || x >= w || y >= h) return 0.0f;
        return a[std::size_t(y) * std::size_t(w) + std::size_t(x)];
    }
};

// Renders text with cells of `cell` pixels, `gap` cells between letters and an
// italic lean of `shear` pixels per pixel of height. Diagonal steps between
// cells are filled and lonely outer corners are cut, which turns the blocky
// glyphs into something that looks drawn. `pad` empty pixels surround it.
Mask TextMask(const std::string& text, Font font, float cell, float gap, float shear, int pad);

// Gaussian blur of a mask, used as a height field for bevels.
std::vector<float> BlurMask(const Mask& m, float sigma);

// ---------------------------------------------------------------------------
// Painting helpers

// Paints the pixels of [x0,x1)x[y0,y1) with antialiased coverage of a signed
// distance function (negative inside, in pixels); colour(x, y) is evaluated at
// the pixel centre.
template <class Sdf, class Colour>
void PaintSdf(Image& img, int x0, int y0, int x1, int y1, Sdf sdf, Colour colour,
              float alpha = 1.0f) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, img.w);
    y1 = std::min(y1, img.h);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const float fx = float(x) + 0.5f, fy = float(y) + 0.5f;
            const float cov = Clamp01(0.5f - sdf(fx, fy));
            if (cov <= 0.0f) continue;
            img.Blend(x, y, colour(fx, fy), cov * alpha);
        }
}

inline float SdCircle(float x, float y, float cx, float cy, float r) {
    return std::hypot(x - cx, y - cy) - r;
}

// Rounded box centred on (cx, cy) with half extents hx, hy and corner radius r.
inline float SdBox(float x, float y, float cx, float cy, float hx, float hy, float r) {
    const float qx = std::fabs(x - cx) - hx + r;
    const float qy = std::fabs(y - cy) - hy + r;
    const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.0f) - r;
}

inline float SdSegment(float x, float y, float ax, float ay, float bx, float by) {
    const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    const float len2 = dx * dx + dy * dy;
    const float t = len2 > 0.0f ? Clamp01((px * dx + py * dy) / len2) : 0.0f;
    return std::hypot(px - dx * t, py - dy * t);
}

// Convex or concave polygon, even-odd rule; returns signed distance.
float SdPolygon(float x, float y, const std::vector<std::array<float, 2>>& pts);

// Small text in a flat colour, antialiased edges (font cell = scale pixels).
void DrawText(Image& img, const std::string& text, float x, float y, float scale, Col colour,
              float alpha = 1.0f, Font font = Font::kSmall);
// Width in pixels of text drawn with DrawText().
float TextWidth(const std::string& text, float scale, Font font = Font::kSmall);

// ---------------------------------------------------------------------------
// The pictures

Image DrawRoad();   // Strasse.gfx, 660 x 480
Image DrawCars();   // Autos.gfx, 279 x 141
Image DrawTitle();  // Back.gfx, 640 x 480
Image DrawPanel();  // Status.gfx, 160 x 480

constexpr Col kTransparent{255.0f, 0.0f, 255.0f};

}  // namespace gfx
