// makegfx - paints Asphaltix's four pictures.
//
//   makegfx OUTDIR
//
// Writes OUTDIR/Strasse.gfx (the road), OUTDIR/Autos.gfx (car sprites),
// OUTDIR/Back.gfx (menu backdrop) and OUTDIR/Status.gfx (status panel).
// Each file is an 8-bit PCX image with a 256-colour palette.
//
// Every picture is painted procedurally in floating point RGB, then reduced
// to its own 256-colour palette (median cut refined by a few k-means passes)
// and written run-length encoded. There is no randomness other than integer
// hashes of fixed seeds, so the output is byte-for-byte reproducible.
//
// This file holds the command line, the palette reduction, the PCX writer and
// the shared helpers declared in gfx.h. The pictures themselves live in
// road.cpp, cars.cpp and screens.cpp.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "../tool_main.h"
#include "gfx.h"

namespace gfx {

// ---------------------------------------------------------------------------
// Noise

namespace {

int WrapIndex(int i, int period) {
    if (period <= 0) return i;
    i %= period;
    return i < 0 ? i + period : i;
}

float Lattice(int x, int y, int seed, int px, int py) {
    return Rnd(WrapIndex(x, px), WrapIndex(y, py), seed, 0x51ed);
}

float Fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

}  // namespace

float Noise(float x, float y, int seed, int px, int py) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    const float tx = Fade(x - fx), ty = Fade(y - fy);
    const float a = Lattice(ix, iy, seed, px, py);
    const float b = Lattice(ix + 1, iy, seed, px, py);
    const float c = Lattice(ix, iy + 1, seed, px, py);
    const float d = Lattice(ix + 1, iy + 1, seed, px, py);
    return Lerp(Lerp(a, b, tx), Lerp(c, d, tx), ty);
}

float Fbm(float x, float y, int seed, int octaves, int px, int py) {
    float sum = 0.0f, amp = 1.0f, norm = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * Noise(x, y, seed + o * 1013, px, py);
        norm += amp;
        amp *= 0.5f;
        x *= 2.0f;
        y *= 2.0f;
        px *= 2;
        py *= 2;
    }
    return sum / norm;
}

Cells Cellular(float x, float y, int seed, int px, int py) {
    const int ix = int(std::floor(x)), iy = int(std::floor(y));
    Cells r{1e9f, 1e9f, 0};
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int cx = ix + dx, cy = iy + dy;
            const int wx = WrapIndex(cx, px), wy = WrapIndex(cy, py);
            const float fx = float(cx) + 0.15f + 0.7f * Rnd(wx, wy, seed, 1);
            const float fy = float(cy) + 0.15f + 0.7f * Rnd(wx, wy, seed, 2);
            const float d = std::hypot(x - fx, y - fy);
            if (d < r.f1) {
                r.f2 = r.f1;
                r.f1 = d;
                r.id = Hash4(wx, wy, seed);
            } else if (d < r.f2) {
                r.f2 = d;
            }
        }
    return r;
}

// ---------------------------------------------------------------------------
// Fonts

namespace {

struct Glyph {
    char c;
    const char* rows[8];
};

// 5x7 font for the small print on dials and plates. '#' is ink.
const Glyph kSmallGlyphs[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {"###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'J', {"..###", "...#.", "...#.", "...#.", "#..#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {".#.", "##.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'/', {"....#", "...#.", "...#.", "..#..", ".#...", ".#...", "#...."}},
    {'-', {"...", "...", "...", "###", "...", "...", "..."}},
    {'.', {".", ".", ".", ".", ".", ".", "#"}},
    {' ', {"...", "...", "...", "...", "...", "...", "..."}},
};

// Chunky 6x8 letters with two-cell strokes for the game's name.
const Glyph kLogoGlyphs[] = {
    {'A', {".####.", "######", "##..##", "######", "######", "##..##", "##..##", "##..##"}},
    {'S', {".#####", "######", "##....", "######", "######", "....##", "######", "#####."}},
    {'P', {"#####.", "######", "##..##", "######", "#####.", "##....", "##....", "##...."}},
    {'H', {"##..##", "##..##", "##..##", "######", "######", "##..##", "##..##", "##..##"}},
    {'L', {"##....", "##....", "##....", "##....", "##....", "##....", "######", "######"}},
    {'T', {"######", "######", "..##..", "..##..", "..##..", "..##..", "..##..", "..##.."}},
    {'I', {"##", "##", "##", "##", "##", "##", "##", "##"}},
    {'X', {"##..##", "##..##", ".####.", "..##..", "..##..", ".####.", "##..##", "##..##"}},
    {' ', {"..", "..", "..", "..", "..", "..", "..", ".."}},
};

struct FontInfo {
    const Glyph* glyphs;
    std::size_t count;
    int rows;
};

FontInfo InfoOf(Font f) {
    if (f == Font::kLogo) return {kLogoGlyphs, std::size(kLogoGlyphs), 8};
    return {kSmallGlyphs, std::size(kSmallGlyphs), 7};
}

const Glyph* FindGlyph(Font f, char c) {
    const FontInfo fi = InfoOf(f);
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    for (std::size_t i = 0; i < fi.count; ++i)
        if (fi.glyphs[i].c == c) return &fi.glyphs[i];
    return &fi.glyphs[fi.count - 1];  // the space
}

int GlyphWidth(const Glyph* g) { return int(std::string(g->rows[0]).size()); }

bool Ink(const Glyph* g, int rows, int cx, int cy) {
    if (cy < 0 || cy >= rows || cx < 0 || cx >= GlyphWidth(g)) return false;
    return g->rows[cy][cx] == '#';
}

// Is the point (fx, fy) (in cells, inside glyph g) inked, with diagonal fills
// and corner cuts applied?
bool InkSmooth(const Glyph* g, int rows, float fx, float fy) {
    const int cx = int(std::floor(fx)), cy = int(std::floor(fy));
    const float u = fx - float(cx), v = fy - float(cy);
    const float cut = 0.5f;
    auto on = [&](int dx, int dy) { return Ink(g, rows, cx + dx, cy + dy); };
    if (on(0, 0)) {
        // Cut outer corners whose three neighbours are empty.
        if (!on(-1, 0) && !on(0, -1) && !on(-1, -1) && u + v < cut) return false;
        if (!on(1, 0) && !on(0, -1) && !on(1, -1) && (1 - u) + v < cut) return false;
        if (!on(-1, 0) && !on(0, 1) && !on(-1, 1) && u + (1 - v) < cut) return false;
        if (!on(1, 0) && !on(0, 1) && !on(1, 1) && (1 - u) + (1 - v) < cut) return false;
        return true;
    }
    // Fill inner corners between two inked neighbours.
    if (on(-1, 0) && on(0, -1) && u + v < cut) return true;
    if (on(1, 0) && on(0, -1) && (1 - u) + v < cut) return true;
    if (on(-1, 0) && on(0, 1) && u + (1 - v) < cut) return true;
    if (on(1, 0) && on(0, 1) && (1 - u) + (1 - v) < cut) return true;
    return false;
}

}  // namespace

Mask TextMask(const std::string& text, Font font, float cell, float gap, float shear, int pad) {
    const FontInfo fi = InfoOf(font);
    std::vector<const Glyph*> glyphs;
    std::vector<float> starts;  // in cells
    float pos = 0.0f;
    char prev = 0;
    for (char c : text) {
        const Glyph* g = FindGlyph(font, c);
        if (!glyphs.empty()) pos += gap;
        // L is open at the top right and T at the bottom left: tuck them together.
        if (font == Font::kLogo && prev == 'L' && c == 'T') pos -= 1.8f;
        prev = c;
        glyphs.push_back(g);
        starts.push_back(pos);
        pos += float(GlyphWidth(g));
    }
    const float textH = float(fi.rows) * cell;
    Mask m;
    m.w = int(std::ceil(pos * cell + shear * textH)) + 2 * pad;
    m.h = int(std::ceil(textH)) + 2 * pad;
    m.a.assign(std::size_t(m.w) * std::size_t(m.h), 0.0f);
    constexpr int kSS = 4;
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            int hits = 0;
            for (int sy = 0; sy < kSS; ++sy)
                for (int sx = 0; sx < kSS; ++sx) {
                    const float py = float(y - pad) + (float(sy) + 0.5f) / kSS;
                    const float px =
                        float(x - pad) + (float(sx) + 0.5f) / kSS - shear * (textH - py);
                    const float fu = px / cell, fv = py / cell;
                    if (fv < 0.0f || fv >= float(fi.rows)) continue;
                    // Which glyph? (there are only a handful)
                    for (std::size_t i = 0; i < glyphs.size(); ++i) {
                        const float lu = fu - starts[i];
                        if (lu < -1.0f || lu > float(GlyphWidth(glyphs[i])) + 1.0f) continue;
                        if (InkSmooth(glyphs[i], fi.rows, lu, fv)) {
                            ++hits;
                            break;
                        }
                    }
                }
            m.a[std::size_t(y) * std::size_t(m.w) + std::size_t(x)] =
                float(hits) / float(kSS * kSS);
        }
    return m;
}

std::vector<float> BlurMask(const Mask& m, float sigma) {
    const int r = std::max(1, int(std::ceil(sigma * 3.0f)));
    std::vector<float> k(std::size_t(2 * r + 1));
    float sum = 0.0f;
    for (int i = -r; i <= r; ++i) {
        k[std::size_t(i + r)] = std::exp(-float(i * i) / (2.0f * sigma * sigma));
        sum += k[std::size_t(i + r)];
    }
    for (float& v : k) v /= sum;
    std::vector<float> tmp(m.a.size(), 0.0f), out(m.a.size(), 0.0f);
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            float s = 0.0f;
            for (int i = -r; i <= r; ++i) s += k[std::size_t(i + r)] * m.At(x + i, y);
            tmp[std::size_t(y) * std::size_t(m.w) + std::size_t(x)] = s;
        }
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            float s = 0.0f;
            for (int i = -r; i <= r; ++i) {
                const int yy = y + i;
                if (yy < 0 || yy >= m.h) continue;
                s += k[std::size_t(i + r)] *
                     tmp[std::size_t(yy) * std::size_t(m.w) + std::size_t(x)];
            }
            out[std::size_t(y) * std::size_t(m.w) + std::size_t(x)] = s;
        }
    return out;
}

float TextWidth(const std::string& text, float scale, Font font) {
    float w = 0.0f;
    bool first = true;
    for (char c : text) {
        if (!first) w += 1.0f;
        first = false;
        w += float(GlyphWidth(FindGlyph(font, c)));
    }
    return w * scale;
}

void DrawText(Image& img, const std::string& text, float x, float y, float scale, Col colour,
              float alpha, Font font) {
    const Mask m = TextMask(text, font, scale, 1.0f, 0.0f, 1);
    const int ox = int(std::floor(x)) - 1, oy = int(std::floor(y)) - 1;
    for (int j = 0; j < m.h; ++j)
        for (int i = 0; i < m.w; ++i) img.Blend(ox + i, oy + j, colour, m.At(i, j) * alpha);
}

float SdPolygon(float x, float y, const std::vector<std::array<float, 2>>& pts) {
    float d = 1e9f;
    bool in = false;
    const std::size_t n = pts.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const auto& a = pts[i];
        const auto& b = pts[j];
        d = std::min(d, SdSegment(x, y, a[0], a[1], b[0], b[1]));
        if ((a[1] > y) != (b[1] > y) && x < (b[0] - a[0]) * (y - a[1]) / (b[1] - a[1]) + a[0])
            in = !in;
    }
    return in ? -d : d;
}

// ---------------------------------------------------------------------------
// Palette reduction

namespace {

struct Picture {
    int w = 0, h = 0;
    std::vector<std::uint8_t> index;
    std::array<std::uint8_t, 768> palette{};
};

struct QuantOptions {
    float dither = 0.0f;     // amplitude of the ordered dither, in 0..255 units
    bool colourKey = false;  // reserve index 0 for kTransparent
};

struct Bin {
    float r, g, b;  // mean colour
    double n;       // pixel count
};

float Dist2(float r1, float g1, float b1, float r2, float g2, float b2) {
    const float dr = r1 - r2, dg = g1 - g2, db = b1 - b2;
    return 3.0f * dr * dr + 4.0f * dg * dg + 2.0f * db * db;
}

// Median cut over the histogram bins, then k-means to settle the entries.
std::vector<std::array<float, 3>> BuildPalette(const std::vector<Bin>& bins, int want) {
    std::vector<std::vector<int>> boxes(1);
    for (int i = 0; i < int(bins.size()); ++i) boxes[0].push_back(i);

    auto boxStats = [&](const std::vector<int>& box, int& axis, double& score) {
        double n = 0, s[3] = {0, 0, 0}, s2[3] = {0, 0, 0};
        for (int i : box) {
            const Bin& b = bins[std::size_t(i)];
            const double c[3] = {b.r, b.g, b.b};
            n += b.n;
            for (int k = 0; k < 3; ++k) {
                s[k] += b.n * c[k];
                s2[k] += b.n * c[k] * c[k];
            }
        }
        constexpr double kWeight[3] = {3, 4, 2};
        score = 0;
        double best = -1;
        axis = 0;
        for (int k = 0; k < 3; ++k) {
            const double var = (s2[k] - s[k] * s[k] / n) * kWeight[k];
            score += var;
            if (var > best) {
                best = var;
                axis = k;
            }
        }
        if (box.size() < 2) score = -1;
    };

    while (int(boxes.size()) < want) {
        int pick = -1, axis = 0;
        double bestScore = 0;
        for (int i = 0; i < int(boxes.size()); ++i) {
            int ax;
            double sc;
            boxStats(boxes[std::size_t(i)], ax, sc);
            if (sc > bestScore) {
                bestScore = sc;
                pick = i;
                axis = ax;
            }
        }
        if (pick < 0) break;
        std::vector<int>& box = boxes[std::size_t(pick)];
        auto key = [&](int i) {
            const Bin& b = bins[std::size_t(i)];
            return axis == 0 ? b.r : axis == 1 ? b.g : b.b;
        };
        std::sort(box.begin(), box.end(), [&](int a, int b) {
            const float ka = key(a), kb = key(b);
            return ka != kb ? ka < kb : a < b;
        });
        double total = 0;
        for (int i : box) total += bins[std::size_t(i)].n;
        double acc = 0;
        std::size_t cut = 1;
        for (std::size_t i = 0; i + 1 < box.size(); ++i) {
            acc += bins[std::size_t(box[i])].n;
            cut = i + 1;
            if (acc >= total * 0.5) break;
        }
        std::vector<int> upper(box.begin() + std::ptrdiff_t(cut), box.end());
        box.resize(cut);
        boxes.push_back(std::move(upper));
    }

    std::vector<std::array<float, 3>> pal;
    for (const auto& box : boxes) {
        double n = 0, r = 0, g = 0, b = 0;
        for (int i : box) {
            const Bin& bn = bins[std::size_t(i)];
            n += bn.n;
            r += bn.n * bn.r;
            g += bn.n * bn.g;
            b += bn.n * bn.b;
        }
        if (n > 0) pal.push_back({float(r / n), float(g / n), float(b / n)});
    }

    for (int iter = 0; iter < 10; ++iter) {
        std::vector<double> n(pal.size(), 0), r(pal.size(), 0), g(pal.size(), 0), b(pal.size(), 0);
        for (const Bin& bn : bins) {
            std::size_t best = 0;
            float bd = 1e30f;
            for (std::size_t k = 0; k < pal.size(); ++k) {
                const float d = Dist2(bn.r, bn.g, bn.b, pal[k][0], pal[k][1], pal[k][2]);
                if (d < bd) {
                    bd = d;
                    best = k;
                }
            }
            n[best] += bn.n;
            r[best] += bn.n * bn.r;
            g[best] += bn.n * bn.g;
            b[best] += bn.n * bn.b;
        }
        for (std::size_t k = 0; k < pal.size(); ++k)
            if (n[k] > 0) pal[k] = {float(r[k] / n[k]), float(g[k] / n[k]), float(b[k] / n[k])};
    }
    return pal;
}

int ToByte(float v) { return std::clamp(int(std::lround(v)), 0, 255); }

Picture Quantise(const Image& img, const QuantOptions& opt) {
    static const int kBayer[64] = {0,  32, 8,  40, 2,  34, 10, 42, 48, 16, 56, 24, 50, 18, 58, 26,
                                   12, 44, 4,  36, 14, 46, 6,  38, 60, 28, 52, 20, 62, 30, 54, 22,
                                   3,  35, 11, 43, 1,  33, 9,  41, 51, 19, 59, 27, 49, 17, 57, 25,
                                   15, 47, 7,  39, 13, 45, 5,  37, 63, 31, 55, 23, 61, 29, 53, 21};
    Picture pic;
    pic.w = img.w;
    pic.h = img.h;
    const std::size_t count = img.px.size();

    // Round to 8 bits and note which pixels are the colour key.
    std::vector<std::uint32_t> packed(count);
    std::vector<bool> isKey(count, false);
    for (std::size_t i = 0; i < count; ++i) {
        const Col c = img.px[i];
        const int r = ToByte(c.r), g = ToByte(c.g), b = ToByte(c.b);
        packed[i] = std::uint32_t(r << 16 | g << 8 | b);
        if (opt.colourKey && r == 255 && g == 0 && b == 255) isKey[i] = true;
    }

    // Histogram on 6 bits per channel, keeping exact means.
    std::vector<Bin> binOf(1u << 18, Bin{0, 0, 0, 0});
    for (std::size_t i = 0; i < count; ++i) {
        if (isKey[i]) continue;
        const std::uint32_t p = packed[i];
        const float r = float(p >> 16), g = float((p >> 8) & 255), b = float(p & 255);
        Bin& bn = binOf[(p >> 18 & 63) << 12 | (p >> 10 & 63) << 6 | (p >> 2 & 63)];
        bn.r += r;
        bn.g += g;
        bn.b += b;
        bn.n += 1;
    }
    std::vector<Bin> bins;
    for (const Bin& bn : binOf)
        if (bn.n > 0)
            bins.push_back({float(bn.r / bn.n), float(bn.g / bn.n), float(bn.b / bn.n), bn.n});

    const int first = opt.colourKey ? 1 : 0;
    std::vector<std::array<float, 3>> pal = BuildPalette(bins, 256 - first);

    // Sprite colours must never turn into the key on a 16-bit display.
    if (opt.colourKey)
        for (auto& e : pal)
            if (e[0] >= 236.0f && e[2] >= 236.0f && e[1] < 20.0f) e[1] = 20.0f;

    std::array<std::array<int, 3>, 256> entries{};
    for (std::size_t k = 0; k < pal.size(); ++k)
        entries[k + std::size_t(first)] = {ToByte(pal[k][0]), ToByte(pal[k][1]), ToByte(pal[k][2])};
    if (opt.colourKey) entries[0] = {255, 0, 255};
    const int used = first + int(pal.size());
    for (int k = 0; k < 256; ++k)
        for (int c = 0; c < 3; ++c)
            pic.palette[std::size_t(k * 3 + c)] =
                std::uint8_t(entries[std::size_t(k)][std::size_t(c)]);

    std::unordered_map<std::uint32_t, std::uint8_t> cache;
    pic.index.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (isKey[i]) {
            pic.index[i] = 0;
            continue;
        }
        const int x = int(i % std::size_t(img.w)), y = int(i / std::size_t(img.w));
        const float d = opt.dither * ((float(kBayer[(y & 7) * 8 + (x & 7)]) + 0.5f) / 64.0f - 0.5f);
        const Col c = img.px[i];
        const int r = ToByte(c.r + d), g = ToByte(c.g + d), b = ToByte(c.b + d);
        const std::uint32_t key = std::uint32_t(r << 16 | g << 8 | b);
        auto it = cache.find(key);
        if (it != cache.end()) {
            pic.index[i] = it->second;
            continue;
        }
        int best = first;
        float bd = 1e30f;
        for (int k = first; k < used; ++k) {
            const auto& e = entries[std::size_t(k)];
            const float dd =
                Dist2(float(r), float(g), float(b), float(e[0]), float(e[1]), float(e[2]));
            if (dd < bd) {
                bd = dd;
                best = k;
            }
        }
        cache.emplace(key, std::uint8_t(best));
        pic.index[i] = std::uint8_t(best);
    }
    return pic;
}

// ---------------------------------------------------------------------------
// PCX output

void Put16(std::vector<std::uint8_t>& out, std::size_t at, int v) {
    out[at] = std::uint8_t(v & 255);
    out[at + 1] = std::uint8_t((v >> 8) & 255);
}

std::vector<std::uint8_t> EncodePcx(const Picture& pic) {
    const int bytesPerLine = (pic.w + 1) & ~1;
    std::vector<std::uint8_t> out(128, 0);
    out[0] = 10;  // manufacturer
    out[1] = 5;   // version
    out[2] = 1;   // run-length encoded
    out[3] = 8;   // bits per pixel per plane
    Put16(out, 4, 0);
    Put16(out, 6, 0);
    Put16(out, 8, pic.w - 1);
    Put16(out, 10, pic.h - 1);
    Put16(out, 12, 72);
    Put16(out, 14, 72);
    for (int i = 0; i < 48; ++i) out[16 + std::size_t(i)] = pic.palette[std::size_t(i)];
    out[64] = 0;
    out[65] = 1;  // one colour plane
    Put16(out, 66, bytesPerLine);
    Put16(out, 68, 1);

    std::vector<std::uint8_t> line(std::size_t(bytesPerLine), 0);
    for (int y = 0; y < pic.h; ++y) {
        std::fill(line.begin(), line.end(), std::uint8_t(0));
        std::copy_n(pic.index.begin() + std::ptrdiff_t(y) * pic.w, pic.w, line.begin());
        int x = 0;
        while (x < bytesPerLine) {
            const std::uint8_t v = line[std::size_t(x)];
            int run = 1;
            while (x + run < bytesPerLine && run < 63 && line[std::size_t(x + run)] == v) ++run;
            if (run > 1 || v >= 0xC0) {
                out.push_back(std::uint8_t(0xC0 | run));
                out.push_back(v);
            } else {
                out.push_back(v);
            }
            x += run;
        }
    }
    out.push_back(12);
    out.insert(out.end(), pic.palette.begin(), pic.palette.end());
    return out;
}

}  // namespace
}  // namespace gfx

int main(int argc, char** argv) {
    std::filesystem::path dir;
    if (!tool::OutputFolder(argc, argv, "makegfx", dir)) return 2;

    struct Job {
        const char* file;
        gfx::Image (*draw)();
        int width, height;
        gfx::QuantOptions opt;
    };
    const Job kJobs[] = {
        {"Strasse.gfx", gfx::DrawRoad, 660, 480, {0.0f, false}},
        {"Autos.gfx", gfx::DrawCars, 279, 141, {0.0f, true}},
        {"Back.gfx", gfx::DrawTitle, 640, 480, {5.0f, false}},
        {"Status.gfx", gfx::DrawPanel, 160, 480, {3.0f, false}},
    };

    for (const Job& job : kJobs) {
        const gfx::Image img = job.draw();
        if (img.w != job.width || img.h != job.height) {
            std::cerr << "makegfx: internal error: " << job.file << " has the wrong size\n";
            return 1;
        }
        const std::vector<std::uint8_t> pcx = gfx::EncodePcx(gfx::Quantise(img, job.opt));
        if (!tool::WriteFile("makegfx", dir / job.file, pcx.data(), pcx.size())) return 1;
    }
    return 0;
}
