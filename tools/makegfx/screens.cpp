// Back.gfx (menu / hall of fame backdrop, 640 x 480) and Status.gfx (the
// status panel right of the road, 160 x 480).
//
// Both carry the chrome "ASPHALTIX" logo built from the chunky logo font.
// The game prints over both pictures, so the places it writes to are kept
// dark and quiet:
//   Back:   menu text at x 320..460, y 250..370 and the info box at
//           (26,376)..(314,474).
//   Status: four label/value lines at x 20..159, y 200..237.
// Nothing on the panel looks like an instrument: the game shows its numbers in
// the text lines only.

#include "gfx.h"

namespace gfx {
namespace {

// ---------------------------------------------------------------------------
// Chrome lettering

// How the logo is drawn, given in the order of the fields.
struct ChromeStyle {
    Col skyTop, skyLow;        // upper half reflects the sky...
    Col groundTop, groundLow;  // ...lower half the ground
    Col outline;
    float outlineW;
    Col glow;
    float glowSigma, glowAlpha;
    float shadowDx, shadowDy, shadowAlpha;
    float bevel;  // blur radius used as the bevel height field
    int trails;   // motion trails to the left
    float trailStep;
};

Mask Dilate(const Mask& m, float r) {
    Mask out = m;
    const int ir = int(std::ceil(r));
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            float best = 0.0f;
            for (int dy = -ir; dy <= ir; ++dy)
                for (int dx = -ir; dx <= ir; ++dx) {
                    const float d = std::hypot(float(dx), float(dy));
                    if (d > r + 0.5f) continue;
                    const float w = Clamp01(r + 0.5f - d);
                    best = std::max(best, m.At(x + dx, y + dy) * w);
                }
            out.a[std::size_t(y) * std::size_t(m.w) + std::size_t(x)] = best;
        }
    return out;
}

Col ChromeEnv(const ChromeStyle& st, float t) {
    if (t < 0.5f) return Mix(st.skyTop, st.skyLow, Smoothstep(0.0f, 0.5f, t));
    if (t < 0.56f) return Mix(st.skyLow * 0.4f, st.groundTop, (t - 0.5f) / 0.06f);
    return Mix(st.groundTop, st.groundLow, Smoothstep(0.56f, 1.0f, t));
}

// Draws text in chrome, centred on centreX, glyph tops at y.
void ChromeText(Image& img, const std::string& text, float cell, float gap, float shear,
                float centreX, int y, const ChromeStyle& st) {
    const int pad =
        int(std::ceil(st.outlineW + st.glowSigma * 2.5f + std::max(st.shadowDx, st.shadowDy))) + 2;
    const Mask m = TextMask(text, Font::kLogo, cell, gap, shear, pad);
    const Mask outline = Dilate(m, st.outlineW);
    const int ox = int(std::lround(centreX - float(m.w) * 0.5f)), oy = y - pad;
    const float top = float(pad), height = 8.0f * cell;

    // Glow around everything.
    if (st.glowAlpha > 0.0f) {
        const std::vector<float> g = BlurMask(outline, st.glowSigma);
        for (int j = 0; j < m.h; ++j)
            for (int i = 0; i < m.w; ++i)
                img.Add(ox + i, oy + j, st.glow,
                        g[std::size_t(j) * std::size_t(m.w) + std::size_t(i)] * st.glowAlpha);
    }
    // Drop shadow.
    for (int j = 0; j < m.h; ++j)
        for (int i = 0; i < m.w; ++i) {
            const float a = outline.At(i - int(st.shadowDx), j - int(st.shadowDy));
            if (a > 0.0f) img.Blend(ox + i, oy + j, Rgb(0, 0, 0), a * st.shadowAlpha);
        }
    // Motion trails: fading copies of the outline to the left.
    for (int k = st.trails; k >= 1; --k) {
        const int shift = int(float(k) * st.trailStep);
        const float a = 0.22f * (1.0f - float(k) / float(st.trails + 1));
        for (int j = 0; j < m.h; ++j)
            for (int i = 0; i < m.w; ++i) {
                const float c = m.At(i + shift, j);
                if (c > 0.0f) img.Blend(ox + i, oy + j, Mix(st.glow, st.skyLow, 0.3f), c * a);
            }
    }
    // Outline.
    for (int j = 0; j < m.h; ++j)
        for (int i = 0; i < m.w; ++i) img.Blend(ox + i, oy + j, st.outline, outline.At(i, j));
    // Bevelled chrome face.
    const std::vector<float> hgt = BlurMask(m, st.bevel);
    auto heightAt = [&](int i, int j) {
        i = std::clamp(i, 0, m.w - 1);
        j = std::clamp(j, 0, m.h - 1);
        return hgt[std::size_t(j) * std::size_t(m.w) + std::size_t(i)];
    };
    const float lx = -0.5f, ly = -0.62f, lz = 0.6f;
    const float hx0 = lx, hy0 = ly, hz0 = lz + 1.0f;
    const float hl = std::sqrt(hx0 * hx0 + hy0 * hy0 + hz0 * hz0);
    const float k = 2.2f * st.bevel;
    for (int j = 0; j < m.h; ++j)
        for (int i = 0; i < m.w; ++i) {
            const float a = m.At(i, j);
            if (a <= 0.0f) continue;
            float nx = -(heightAt(i + 1, j) - heightAt(i - 1, j)) * k,
                  ny = -(heightAt(i, j + 1) - heightAt(i, j - 1)) * k, nz = 1.0f;
            Normalise(nx, ny, nz);
            const float t = (float(j) + 0.5f - top) / height + ny * 0.45f;
            const float dif = std::max(0.0f, nx * lx + ny * ly + nz * lz);
            const float shine =
                std::pow(std::max(0.0f, (nx * hx0 + ny * hy0 + nz * hz0) / hl), 24.0f);
            // Edges facing away from the light sink into shadow.
            Col c = ChromeEnv(st, Clamp01(t)) * (0.45f + 0.65f * dif) + Grey(230.0f * shine);
            img.Blend(ox + i, oy + j, c, a);
        }
}

// ---------------------------------------------------------------------------
// Shared panel bits

void ClampImage(Image& img) {
    for (Col& c : img.px) c = ClampColour(c);
}

// A disc of radius r on (cx, cy), coloured by colour(x, y) as in PaintSdf().
template <class Colour>
void PaintDisc(Image& img, float cx, float cy, float r, Colour colour) {
    PaintSdf(
        img, int(cx - r - 2), int(cy - r - 2), int(cx + r + 3), int(cy + r + 3),
        [&](float x, float y) { return SdCircle(x, y, cx, cy, r); }, colour);
}

// Darkens a rounded rectangle towards `tone`, feathered over `soft` pixels.
void ShadePanel(Image& img, float x0, float y0, float x1, float y1, float radius, float soft,
                Col tone, float amount) {
    const float cx = 0.5f * (x0 + x1), cy = 0.5f * (y0 + y1), hx = 0.5f * (x1 - x0),
                hy = 0.5f * (y1 - y0);
    for (int y = int(y0 - soft) - 1; y <= int(y1 + soft) + 1; ++y)
        for (int x = int(x0 - soft) - 1; x <= int(x1 + soft) + 1; ++x) {
            if (!img.Inside(x, y)) continue;
            const float d = SdBox(float(x) + 0.5f, float(y) + 0.5f, cx, cy, hx, hy, radius);
            const float a = soft > 0.0f ? Smoothstep(soft, 0.0f, d) : Clamp01(0.5f - d);
            if (a > 0.0f) img.At(x, y) = Mix(img.At(x, y), tone, a * amount);
        }
}

// A small domed rivet lit from the upper left.
void Rivet(Image& img, float cx, float cy, float r) {
    PaintSdf(
        img, int(cx - r - 3), int(cy - r - 3), int(cx + r + 4), int(cy + r + 4),
        [&](float x, float y) { return SdCircle(x, y, cx + 1.2f, cy + 1.2f, r); },
        [](float, float) { return Rgb(10, 10, 14); }, 0.5f);
    PaintDisc(img, cx, cy, r, [&](float x, float y) {
        const float nx = (x - cx) / r, ny = (y - cy) / r;
        const float lit = Clamp01(0.55f - 0.5f * (nx + ny) * 0.8f);
        Col c = Mix(Rgb(70, 72, 80), Rgb(220, 224, 232), lit);
        if (std::hypot(nx + 0.35f, ny + 0.35f) < 0.3f) c = Rgb(250, 250, 255);
        return c;
    });
}

// Recessed (inset) or raised bevel frame around a rectangle.
void BevelFrame(Image& img, int x0, int y0, int x1, int y1, int width, bool inset, float strength) {
    for (int i = 0; i < width; ++i) {
        const float f = strength * (1.0f - float(i) / float(width));
        const Col dark = Rgb(0, 0, 0), light = Rgb(255, 255, 255);
        for (int x = x0 + i; x < x1 - i; ++x) {
            img.Blend(x, y0 + i, inset ? dark : light, f * (inset ? 0.6f : 0.45f));
            img.Blend(x, y1 - 1 - i, inset ? light : dark, f * (inset ? 0.35f : 0.6f));
        }
        for (int y = y0 + i + 1; y < y1 - i - 1; ++y) {
            img.Blend(x0 + i, y, inset ? dark : light, f * (inset ? 0.5f : 0.4f));
            img.Blend(x1 - 1 - i, y, inset ? light : dark, f * (inset ? 0.3f : 0.55f));
        }
    }
}

// ---------------------------------------------------------------------------
// Title backdrop helpers

constexpr int kTW = 640, kTH = 480;
constexpr float kHorizon = 236.0f;
constexpr float kVanishX = 330.0f;
constexpr float kRoadScale = 1.2f;  // screen pixels per world unit per row below the horizon
constexpr float kDepthK = 1000.0f;  // depth = kDepthK / rows below the horizon

Col SkyAt(float y) {
    struct Stop {
        float t;
        Col c;
    };
    static const Stop kStops[] = {{0.0f, Rgb(6, 6, 30)},     {0.3f, Rgb(26, 18, 68)},
                                  {0.55f, Rgb(86, 32, 106)}, {0.75f, Rgb(178, 56, 100)},
                                  {0.9f, Rgb(240, 110, 80)}, {1.0f, Rgb(255, 172, 92)}};
    const float t = Clamp01(y / kHorizon);
    for (std::size_t i = 1; i < std::size(kStops); ++i)
        if (t <= kStops[i].t)
            return Mix(kStops[i - 1].c, kStops[i].c,
                       (t - kStops[i - 1].t) / (kStops[i].t - kStops[i - 1].t));
    return kStops[std::size(kStops) - 1].c;
}

const Col kHaze = Rgb(190, 84, 104);

// Colour of the ground / road at a screen position below the horizon.
Col GroundAt(float x, float y) {
    const float dy = y - kHorizon;
    const float z = kDepthK / dy;
    const float worldX = (x - kVanishX) / (dy * kRoadScale);
    const float aX = std::fabs(worldX);
    const bool band = int(std::floor(z * 2.5f)) % 2 == 0;
    Col c;
    if (aX < 1.0f) {
        // Asphalt with the sunset reflected on its sheen.
        c = band ? Rgb(52, 48, 62) : Rgb(46, 42, 56);
        const float sheen = std::exp(-dy / 70.0f) * 0.6f;
        c = Mix(c, SkyAt(kHorizon - dy * 0.8f), sheen);
        const float sunCol = std::exp(-Sq(worldX * 2.4f)) * std::exp(-dy / 110.0f);
        c = c + Rgb(255, 140, 90) * (0.55f * sunCol);
        // Markings.
        const bool dash = std::fmod(z, 2.0f) < 0.9f;
        if (aX > 0.9f && aX < 0.95f) c = Mix(c, Rgb(236, 232, 222), 0.9f);
        if (std::fabs(aX - 0.47f) < 0.022f && dash) c = Mix(c, Rgb(236, 232, 222), 0.85f);
        if (std::fabs(aX - 0.018f) < 0.011f) c = Mix(c, Rgb(240, 200, 80), 0.85f);
    } else if (aX < 1.1f) {
        // Red and white rumble strip.
        c = band ? Rgb(210, 30, 36) : Rgb(232, 228, 220);
        c = c * 0.85f;
    } else {
        c = band ? Rgb(28, 62, 46) : Rgb(22, 50, 40);
        c = c + Grey(RndS(int(x), int(y), 900) * 3.0f);
    }
    // Distance haze.
    const float fog = std::exp(-dy / 26.0f);
    return Mix(c, kHaze, fog);
}

}  // namespace

Image DrawTitle() {
    Image img(kTW, kTH);

    // --- Sky ------------------------------------------------------------------
    for (int y = 0; y < int(kHorizon); ++y)
        for (int x = 0; x < kTW; ++x) img.At(x, y) = SkyAt(float(y) + 0.5f);
    // Stars, fading towards the glow of the sunset.
    for (int y = 0; y < 170; ++y)
        for (int x = 0; x < kTW; ++x) {
            const float r = Rnd(x, y, 501);
            const float fade = 1.0f - float(y) / 170.0f;
            if (r < 0.0022f)
                img.Add(x, y, Rgb(255, 250, 240), (0.35f + 0.6f * Rnd(x, y, 502)) * fade);
            if (r < 0.00018f) {
                for (int d = 1; d <= 2; ++d) {
                    const float a = 0.5f * fade / float(d);
                    img.Add(x + d, y, Rgb(200, 210, 255), a);
                    img.Add(x - d, y, Rgb(200, 210, 255), a);
                    img.Add(x, y + d, Rgb(200, 210, 255), a);
                    img.Add(x, y - d, Rgb(200, 210, 255), a);
                }
            }
        }

    // --- Sun with its glow and retro stripes ------------------------------------
    const float sunX = kVanishX, sunY = kHorizon - 6.0f, sunR = 78.0f;
    for (int y = 0; y < int(kHorizon); ++y)
        for (int x = 0; x < kTW; ++x) {
            const float d = std::hypot(float(x) + 0.5f - sunX, (float(y) + 0.5f - sunY) * 1.15f);
            img.Add(x, y, Rgb(255, 120, 70), 0.45f * std::exp(-d / 70.0f));
        }
    PaintSdf(
        img, int(sunX - sunR - 2), int(sunY - sunR - 2), int(sunX + sunR + 2), int(kHorizon),
        [&](float x, float y) {
            float d = SdCircle(x, y, sunX, sunY, sunR);
            // Horizontal cuts, thicker towards the horizon.
            const float rel = (y - (sunY - sunR * 0.15f)) / (sunR * 0.15f + 6.0f);
            if (rel > 0.0f) {
                const float period = 11.0f;
                const float phase = std::fmod(y - (sunY - sunR * 0.15f), period);
                const float gapH = 1.5f + rel * 3.5f;
                const float inGap = std::min(phase - (period - gapH), period - phase);
                if (phase > period - gapH) d = std::max(d, inGap);
            }
            return d;
        },
        [&](float, float y) {
            const float t = Clamp01((y - (sunY - sunR)) / (sunR * 1.1f));
            return Mix(Rgb(255, 240, 150), Rgb(255, 72, 112), t);
        });

    // Thin clouds drifting across the sun.
    for (int y = 120; y < int(kHorizon); ++y)
        for (int x = 0; x < kTW; ++x) {
            const float n = Fbm(float(x) / 110.0f, float(y) / 5.0f, 610, 4);
            const float band = Smoothstep(0.56f, 0.68f, n) * Smoothstep(118.0f, 150.0f, float(y));
            if (band <= 0.0f) continue;
            const float under =
                Smoothstep(0.68f, 0.56f, Fbm(float(x) / 110.0f, (float(y) - 2.0f) / 5.0f, 610, 4));
            Col c = Mix(Rgb(70, 24, 76), Rgb(255, 150, 110), under * 0.6f);
            img.Blend(x, y, c, band * 0.85f);
        }

    // --- Skyline: a hazy far layer and a dark near layer -----------------------
    for (int layer = 0; layer < 2; ++layer) {
        Rng rng(layer == 0 ? 71u : 72u);
        const Col body = layer == 0 ? Rgb(96, 38, 92) : Rgb(24, 12, 38);
        float x = -10.0f;
        while (x < float(kTW)) {
            const float w = rng.Range(12.0f, layer == 0 ? 30.0f : 40.0f);
            const float centre = 1.0f - std::fabs(x - kVanishX) / 400.0f;
            const float base = rng.Range(8.0f, 26.0f);  // one draw a statement, in this order
            float h = base + centre * rng.Range(0.0f, layer == 0 ? 60.0f : 46.0f);
            if (layer == 1) h *= 0.8f;
            const int x0 = int(x), x1 = int(x + w);
            const int top = int(kHorizon - h);
            const bool spire = rng.Uniform() < 0.2f;
            for (int yy = top; yy < int(kHorizon); ++yy)
                for (int xx = x0; xx < x1; ++xx) {
                    if (!img.Inside(xx, yy)) continue;
                    Col c = body * (1.0f - 0.25f * float(yy - top) / std::max(1.0f, h));
                    if (xx == x0 && layer == 1)
                        c = c + Rgb(60, 24, 40);  // rim light from the sunset
                    // Windows.
                    if (layer == 1 && (xx - x0) % 4 == 2 && (yy - top) % 5 == 3 && xx < x1 - 1 &&
                        yy < int(kHorizon) - 2 && Rnd(xx, yy, 77) < 0.3f)
                        c = Mix(Rgb(255, 200, 110), Rgb(255, 240, 200), Rnd(xx, yy, 78)) * 0.85f;
                    img.At(xx, yy) = c;
                }
            if (spire) {
                const int sx = (x0 + x1) / 2;
                for (int yy = top - int(h * 0.35f); yy < top; ++yy)
                    if (img.Inside(sx, yy)) img.At(sx, yy) = body;
                if (layer == 1) {
                    img.Add(sx, top - int(h * 0.35f) - 1, Rgb(255, 40, 40), 1.0f);
                    img.Add(sx + 1, top - int(h * 0.35f) - 1, Rgb(255, 40, 40), 0.4f);
                    img.Add(sx - 1, top - int(h * 0.35f) - 1, Rgb(255, 40, 40), 0.4f);
                }
            }
            x += w + rng.Range(-2.0f, 4.0f);
        }
    }

    // --- Ground and road running to the horizon (4x4 samples) -------------
    for (int y = int(kHorizon); y < kTH; ++y)
        for (int x = 0; x < kTW; ++x) {
            Col sum{};
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    sum = sum + GroundAt(float(x) + (float(sx) + 0.5f) / 4.0f,
                                         float(y) + (float(sy) + 0.5f) / 4.0f + 0.01f);
            img.At(x, y) = sum * (1.0f / 16.0f);
        }

    // Street lamps along both sides, far ones first.
    for (int i = 12; i >= 0; --i) {
        const float z = 10.0f + float(i) * 4.0f;
        const float dy = kDepthK / z;
        const float s = dy * kRoadScale;  // pixels per world unit here
        const float baseY = kHorizon + dy;
        for (int side = -1; side <= 1; side += 2) {
            const float bx = kVanishX + float(side) * 1.3f * s;
            const float topY = baseY - 1.2f * s;
            const float armX = bx - float(side) * 0.35f * s;
            const float wdt = std::max(0.6f, 0.03f * s);
            const float fog = std::exp(-dy / 26.0f);
            const Col pole = Mix(Rgb(20, 14, 30), kHaze, fog);
            PaintSdf(
                img, int(std::min(bx, armX) - 4), int(topY - 4), int(std::max(bx, armX) + 5),
                int(baseY + 2),
                [&](float x, float y) {
                    return std::min(SdSegment(x, y, bx, baseY, bx, topY),
                                    SdSegment(x, y, bx, topY, armX, topY)) -
                           wdt;
                },
                [&](float, float) { return pole; });
            // Lamp glow.
            const float gr = std::max(1.5f, 0.1f * s);
            const int r = int(gr * 4.0f);
            for (int yy = int(topY) - r; yy <= int(topY) + r; ++yy)
                for (int xx = int(armX) - r; xx <= int(armX) + r; ++xx) {
                    const float d =
                        std::hypot(float(xx) + 0.5f - armX, float(yy) + 0.5f - topY - 0.3f * gr);
                    img.Add(
                        xx, yy, Rgb(255, 170, 80),
                        0.9f * std::exp(-d * d / (gr * gr)) + 0.1f * std::exp(-d / (gr * 1.2f)));
                }
            // Pool of light on the road.
            const float py = baseY - 0.05f * s;
            for (int yy = int(py - 0.2f * s); yy <= int(py + 0.2f * s); ++yy)
                for (int xx = int(armX - 0.6f * s); xx <= int(armX + 0.6f * s); ++xx) {
                    const float ex = (float(xx) - armX) / (0.6f * s),
                                ey = (float(yy) - py) / (0.2f * s);
                    const float d2 = ex * ex + ey * ey;
                    if (d2 < 1.0f) img.Add(xx, yy, Rgb(255, 150, 70), 0.16f * (1.0f - d2));
                }
        }
    }

    // --- The player's car from behind ------------------------------------------
    {
        const float cx = 514.0f, by = 471.0f;
        // Shadow.
        PaintSdf(
            img, int(cx - 100), int(by - 14), int(cx + 100), int(by + 10),
            [&](float x, float y) {
                return (std::hypot((x - cx) / 86.0f, (y - by) / 7.0f) - 1.0f) * 7.0f;
            },
            [](float, float) { return Rgb(0, 0, 0); }, 0.7f);
        // Tyres.
        for (int side = -1; side <= 1; side += 2) {
            const float tx = cx + float(side) * 58.0f;
            PaintSdf(
                img, int(tx - 16), int(by - 34), int(tx + 16), int(by + 2),
                [&](float x, float y) { return SdBox(x, y, tx, by - 15.0f, 13.0f, 15.0f, 4.0f); },
                [&](float x, float) {
                    const float t = (x - (tx - 13.0f)) / 26.0f;
                    return Mix(Rgb(40, 36, 44), Rgb(12, 12, 16), t) +
                           Grey(std::fabs(t - 0.3f) < 0.08f ? 18.0f : 0.0f);
                });
        }
        const Col red = Rgb(214, 22, 24);
        // Lower body / diffuser.
        PaintSdf(
            img, int(cx - 80), int(by - 44), int(cx + 80), int(by - 10),
            [&](float x, float y) { return SdBox(x, y, cx, by - 25.0f, 73.0f, 13.0f, 6.0f); },
            [&](float x, float y) {
                Col c = Rgb(26, 24, 30);
                if (y > by - 22.0f && std::fmod(std::fabs(x - cx), 12.0f) < 1.5f &&
                    std::fabs(x - cx) < 40.0f)
                    c = Rgb(70, 66, 78);
                return c;
            });
        // Main rear panel: trapezoid, widest at the shoulder.
        const std::vector<std::array<float, 2>> panel = {
            {cx - 64.0f, by - 68.0f}, {cx + 64.0f, by - 68.0f}, {cx + 76.0f, by - 50.0f},
            {cx + 74.0f, by - 30.0f}, {cx - 74.0f, by - 30.0f}, {cx - 76.0f, by - 50.0f}};
        PaintSdf(
            img, int(cx - 80), int(by - 72), int(cx + 80), int(by - 26),
            [&](float x, float y) { return SdPolygon(x, y, panel) - 1.5f; },
            [&](float x, float y) {
                const float t = Clamp01((y - (by - 69.0f)) / 40.0f);
                Col c = Mix(red * 1.2f + Rgb(40, 40, 30), red * 0.45f, t);
                if (std::fabs(y - (by - 51.0f)) < 1.0f) c = c + Rgb(90, 70, 70);  // shoulder crease
                const float ax = std::fabs(x - cx);
                if (ax > 5.0f && ax < 15.0f)
                    c = Mix(c, Rgb(240, 240, 236) * (1.15f - 0.6f * t), 0.92f);  // stripes
                return c;
            });
        // Cabin and rear window.
        const std::vector<std::array<float, 2>> cabin = {{cx - 40.0f, by - 92.0f},
                                                         {cx + 40.0f, by - 92.0f},
                                                         {cx + 56.0f, by - 68.0f},
                                                         {cx - 56.0f, by - 68.0f}};
        PaintSdf(
            img, int(cx - 60), int(by - 96), int(cx + 60), int(by - 66),
            [&](float x, float y) { return SdPolygon(x, y, cabin) - 1.0f; },
            [&](float x, float y) {
                const float ax = std::fabs(x - cx);
                if (y < by - 88.0f) {  // roof edge
                    Col c = red * 1.25f;
                    if (ax > 5.0f && ax < 15.0f) c = Rgb(246, 246, 240);
                    return c;
                }
                const float t = Clamp01((y - (by - 88.0f)) / 20.0f);
                Col g = Mix(Rgb(30, 18, 52), Rgb(236, 120, 96), t * t);
                if (std::fabs((x - cx) * 0.6f + (y - (by - 80.0f)) * 1.4f - 14.0f) < 3.0f)
                    g = g + Rgb(50, 40, 60);
                // Window frame (the C pillars).
                const float edge = (y - (by - 92.0f)) / 24.0f * 16.0f + 40.0f;
                if (ax > edge - 5.0f) return red * 0.9f;
                return g;
            });
        // Rear wing.
        PaintSdf(
            img, int(cx - 82), int(by - 80), int(cx + 82), int(by - 58),
            [&](float x, float y) {
                const float wing = SdBox(x, y, cx, by - 72.0f, 76.0f, 3.5f, 2.0f);
                const float legs = std::min(SdBox(x, y, cx - 42.0f, by - 66.0f, 3.0f, 5.0f, 0.5f),
                                            SdBox(x, y, cx + 42.0f, by - 66.0f, 3.0f, 5.0f, 0.5f));
                return std::min(wing, legs);
            },
            [&](float x, float y) {
                if (y > by - 68.5f) return Rgb(20, 18, 24);
                Col c = y < by - 74.5f ? red * 1.3f + Rgb(40, 30, 30) : red * 0.7f;
                const float ax = std::fabs(x - cx);
                if (ax > 5.0f && ax < 15.0f)
                    c = Rgb(246, 246, 240) * (y < by - 74.5f ? 1.0f : 0.7f);
                if (ax > 72.0f) c = Rgb(30, 28, 34);
                return c;
            });
        // Tail lights with a red bloom.
        for (int side = -1; side <= 1; side += 2) {
            const float lx0 = cx + float(side) * 50.0f;
            for (int yy = int(by - 80); yy < int(by - 20); ++yy)
                for (int xx = int(lx0 - 50); xx < int(lx0 + 50); ++xx) {
                    const float d = SdBox(float(xx) + 0.5f, float(yy) + 0.5f, lx0, by - 43.0f,
                                          19.0f, 4.5f, 2.0f);
                    if (d > 0.0f) img.Add(xx, yy, Rgb(255, 30, 20), 0.5f * std::exp(-d / 7.0f));
                }
            PaintSdf(
                img, int(lx0 - 22), int(by - 50), int(lx0 + 22), int(by - 36),
                [&](float x, float y) { return SdBox(x, y, lx0, by - 43.0f, 19.0f, 4.5f, 2.0f); },
                [&](float x, float y) {
                    const bool seg = std::fmod(std::fabs(x - lx0) + 100.0f, 9.5f) < 7.5f;
                    Col c = seg ? Rgb(255, 60, 44) : Rgb(150, 10, 14);
                    if (std::fabs(y - (by - 44.0f)) < 1.5f && seg) c = Rgb(255, 200, 170);
                    return c;
                });
        }
        // Number plate.
        PaintSdf(
            img, int(cx - 26), int(by - 36), int(cx + 26), int(by - 20),
            [&](float x, float y) { return SdBox(x, y, cx, by - 28.0f, 22.0f, 6.5f, 1.5f); },
            [&](float x, float y) {
                const float d = SdBox(x, y, cx, by - 28.0f, 22.0f, 6.5f, 1.5f);
                return d > -1.0f ? Rgb(30, 30, 36) : Rgb(236, 234, 222);
            });
        DrawText(img, "ASX-99", cx - TextWidth("ASX-99", 1.0f) * 0.5f, by - 31.0f, 1.0f,
                 Rgb(20, 20, 30));
        // Twin exhausts.
        for (int side = -1; side <= 1; side += 2) {
            const float ex = cx + float(side) * 28.0f, ey = by - 14.0f;
            PaintSdf(
                img, int(ex - 7), int(ey - 6), int(ex + 7), int(ey + 6),
                [&](float x, float y) { return SdBox(x, y, ex, ey, 5.5f, 3.5f, 3.0f); },
                [&](float x, float y) {
                    const float d = SdBox(x, y, ex, ey, 5.5f, 3.5f, 3.0f);
                    return d > -1.3f ? Rgb(210, 214, 220) : Rgb(10, 8, 12);
                });
        }
    }

    // --- Logo --------------------------------------------------------------------
    // Speed streaks behind it.
    {
        Rng rng(808);
        for (int i = 0; i < 16; ++i) {
            const float y = rng.Range(34.0f, 104.0f);
            const float x1 = rng.Range(120.0f, 300.0f), len = rng.Range(90.0f, 220.0f);
            const float th = rng.Range(0.6f, 2.0f);
            for (int xx = int(x1 - len); xx < int(x1); ++xx)
                for (int yy = int(y - 3); yy <= int(y + 3); ++yy) {
                    const float t = (float(xx) - (x1 - len)) / len;
                    const float a =
                        Clamp01(th + 0.5f - std::fabs(float(yy) + 0.5f - y)) * t * t * 0.5f;
                    img.Add(xx, yy, Rgb(255, 190, 140), a);
                }
        }
    }
    // The logo in chrome: blue sky over a sunset ground, wide glow, long shadow, motion trails.
    ChromeText(
        img, "ASPHALTIX", 9.4f, 1.0f, 0.26f, float(kTW) * 0.5f, 30,
        {Rgb(60, 92, 190), Rgb(236, 244, 255), Rgb(96, 44, 40), Rgb(255, 206, 120), Rgb(14, 8, 24),
         3.0f, Rgb(255, 90, 60), 7.0f, 0.8f, 6.0f, 6.0f, 0.55f, 2.6f, 4, 7.0f});

    // Tag line.
    {
        const std::string tag = "HIGH SPEED  ARCADE RACING";
        const float s = 2.0f;
        const float w = TextWidth(tag, s);
        const float tx = std::floor((float(kTW) - w) * 0.5f), ty = 118.0f;
        DrawText(img, tag, tx + 2.0f, ty + 2.0f, s, Rgb(0, 0, 0), 0.7f);
        DrawText(img, tag, tx, ty, s, Rgb(255, 214, 150));
    }

    // --- Quiet plates for the game's own text ------------------------------------
    // Menu: text at x 320..460, y 250..370.
    ShadePanel(img, 302.0f, 240.0f, 478.0f, 381.0f, 6.0f, 0.0f, Rgb(16, 14, 24), 0.88f);
    for (int x = 308; x < 472; ++x) {
        img.Blend(x, 240, Rgb(200, 170, 220), 0.45f);
        img.Blend(x, 380, Rgb(0, 0, 0), 0.6f);
    }
    for (int y = 246; y < 375; ++y) {
        img.Blend(302, y, Rgb(200, 170, 220), 0.35f);
        img.Blend(477, y, Rgb(0, 0, 0), 0.6f);
    }
    // Info box drawn by the game at (26,376)..(314,474).
    ShadePanel(img, 22.0f, 372.0f, 318.0f, 477.0f, 6.0f, 3.0f, Rgb(10, 8, 16), 0.9f);

    ClampImage(img);
    return img;
}

// ---------------------------------------------------------------------------
// Status panel

namespace {

constexpr int kPW = 160, kPH = 480;

Col Brushed(int x, int y) {
    const float streak = Noise(float(x) / 46.0f, float(y) * 1.0f, 1200) * 0.7f +
                         Noise(float(x) / 9.0f, float(y) * 1.0f, 1201) * 0.3f;
    float v = 112.0f + 34.0f * (streak - 0.5f) + RndS(x, y, 1202) * 4.0f;
    v += 18.0f * (1.0f - float(y) / float(kPH));              // lit from above
    v += 10.0f * std::exp(-Sq(float(y) - 150.0f) / 6000.0f);  // broad sheen
    return {v * 0.94f, v * 0.97f, v * 1.04f};
}

// The car's start number as painted on its doors: black on a white rounded plate with a
// black edge.
void RaceNumber(Image& img, float cx, float cy, float hx, float hy, const std::string& number) {
    auto plate = [&](float grow) {
        return [=](float x, float y) {
            return SdBox(x, y, cx, cy, hx + grow, hy + grow, 14.0f + grow);
        };
    };
    PaintSdf(
        img, int(cx - hx - 8), int(cy - hy - 8), int(cx + hx + 10), int(cy + hy + 10),
        [&](float x, float y) { return plate(1.0f)(x - 2.5f, y - 3.0f); },
        [](float, float) { return Rgb(0, 0, 0); }, 0.5f);
    PaintSdf(img, int(cx - hx - 4), int(cy - hy - 4), int(cx + hx + 5), int(cy + hy + 5),
             plate(3.0f), [](float, float) { return Rgb(14, 14, 18); });
    PaintSdf(img, int(cx - hx - 1), int(cy - hy - 1), int(cx + hx + 2), int(cy + hy + 2),
             plate(0.0f), [&](float, float y) {
                 return Mix(Rgb(252, 252, 246), Rgb(214, 214, 206),
                            Clamp01((y - cy + hy) / (2.0f * hy)));
             });
    const float scale = 6.0f;
    const float w = TextWidth(number, scale);
    DrawText(img, number, std::round(cx - w * 0.5f), std::round(cy - 3.5f * scale), scale,
             Rgb(16, 16, 20));
}

// A chequered flag on a plate, rippling a little.
void ChequeredPlate(Image& img, int x0, int y0, int x1, int y1) {
    ShadePanel(img, float(x0), float(y0), float(x1), float(y1), 3.0f, 0.0f, Rgb(0, 0, 0), 0.6f);
    for (int y = y0 + 2; y < y1 - 2; ++y)
        for (int x = x0 + 2; x < x1 - 2; ++x) {
            const float wave = 2.5f * std::sin(float(x - x0) * 0.09f);
            const int cell = (int(std::floor((float(y) + wave) / 8.0f)) + (x - x0) / 8) % 2;
            const float shade = 0.8f + 0.2f * std::cos(float(x - x0) * 0.09f);
            img.At(x, y) = (cell == 0 ? Rgb(236, 236, 230) : Rgb(20, 20, 24)) * shade;
        }
    BevelFrame(img, x0, y0, x1, y1, 2, true, 1.0f);
}

}  // namespace

Image DrawPanel() {
    Image img(kPW, kPH);
    for (int y = 0; y < kPH; ++y)
        for (int x = 0; x < kPW; ++x) img.At(x, y) = Brushed(x, y);

    // Edge against the road: a dark groove, then a bright lip.
    for (int y = 0; y < kPH; ++y) {
        img.At(0, y) = Rgb(8, 8, 12);
        img.At(1, y) = img.At(1, y) * 0.35f;
        img.At(2, y) = img.At(2, y) * 0.7f;
        img.At(3, y) = img.At(3, y) * 1.35f;
        img.At(kPW - 1, y) = img.At(kPW - 1, y) * 0.45f;
        img.At(kPW - 2, y) = img.At(kPW - 2, y) * 0.8f;
    }
    BevelFrame(img, 4, 0, kPW - 2, kPH, 2, false, 0.6f);

    // --- Logo plate -----------------------------------------------------------------
    ShadePanel(img, 9.0f, 9.0f, 151.0f, 49.0f, 4.0f, 0.0f, Rgb(18, 18, 26), 0.92f);
    BevelFrame(img, 9, 9, 151, 49, 2, true, 0.9f);
    for (int y = 11; y < 47; ++y)
        for (int x = 11; x < 149; ++x) {
            // A faint carbon weave.
            const bool w = ((x / 2) + (y / 2)) % 2 == 0;
            img.At(x, y) = img.At(x, y) + Grey(w ? 4.0f : -2.0f);
        }
    // The logo in chrome: gold over a fiery ground and a tight glow, as the plate is small.
    ChromeText(img, "ASPHALTIX", 2.2f, 1.0f, 0.25f, float(kPW) * 0.5f, 20,
               {Rgb(255, 236, 150), Rgb(255, 255, 230), Rgb(150, 20, 20), Rgb(255, 120, 40),
                Rgb(0, 0, 0), 1.0f, Rgb(255, 60, 30), 2.5f, 0.5f, 1.0f, 1.0f, 0.6f, 0.9f, 0, 0.0f});
    // Red and orange pinstripes under the plate.
    for (int x = 10; x < 150; ++x) {
        img.At(x, 53) = Rgb(220, 30, 30);
        img.At(x, 54) = Rgb(220, 30, 30);
        img.At(x, 56) = Rgb(250, 150, 30);
    }

    // --- The car's start number, in its livery's stripes --------------------------
    for (int y = 80; y < 168; ++y) {
        const bool stripe = (y >= 98 && y < 108) || (y >= 136 && y < 146);
        if (!stripe) continue;
        for (int x = 8; x < 152; ++x)
            img.At(x, y) = img.At(x, y) * 0.25f + Rgb(200, 30, 30) * 0.75f;
    }
    RaceNumber(img, 80.0f, 122.0f, 46.0f, 34.0f, "99");

    // --- Read-out plate for the game's text (x 20..159, y 200..237) ----------------
    ShadePanel(img, 13.0f, 193.0f, 158.0f, 243.0f, 3.0f, 0.0f, Rgb(0, 0, 0), 0.6f);
    for (int y = 195; y < 241; ++y)
        for (int x = 15; x < 157; ++x) {
            // Nearly black with the slightest green cast, like an unlit LCD.
            img.At(x, y) = Rgb(10, 13, 13) + Grey(float(240 - y) * 0.05f);
        }
    BevelFrame(img, 13, 193, 159, 243, 2, true, 1.0f);
    Rivet(img, 8.0f, 200.0f, 2.0f);
    Rivet(img, 8.0f, 236.0f, 2.0f);

    // --- A chequered flag and the team's plate --------------------------------------
    ChequeredPlate(img, 14, 262, 146, 322);
    ShadePanel(img, 22.0f, 332.0f, 138.0f, 352.0f, 3.0f, 0.0f, Rgb(18, 18, 26), 0.9f);
    BevelFrame(img, 22, 332, 138, 352, 2, true, 0.9f);
    const float plateWidth = TextWidth("TEAM ASPHALTIX", 1.0f);
    DrawText(img, "TEAM ASPHALTIX", std::round(80.0f - plateWidth * 0.5f), 339.0f, 1.0f,
             Rgb(250, 150, 30));

    // --- Vent grille -------------------------------------------------------------------
    for (int i = 0; i < 6; ++i) {
        const float y = 366.0f + float(i) * 9.0f;
        PaintSdf(
            img, 18, int(y - 4), 142, int(y + 5),
            [&](float x, float yy) { return SdBox(x, yy, 80.0f, y, 58.0f, 2.2f, 2.2f); },
            [&](float, float yy) { return yy < y ? Rgb(6, 6, 8) : Rgb(30, 30, 36); });
        for (int x = 24; x < 137; ++x) img.Blend(x, int(y + 3.0f), Rgb(255, 255, 255), 0.35f);
    }

    // --- Hazard stripes ------------------------------------------------------------------
    for (int y = 426; y < 466; ++y)
        for (int x = 12; x < 148; ++x) {
            const bool yellow = ((x + y) / 10) % 2 == 0;
            Col c = yellow ? Rgb(246, 196, 24) : Rgb(22, 22, 26);
            c = c * (0.95f + 0.1f * (1.0f - float(y - 426) / 40.0f)) +
                Grey(RndS(x, y, 1300) * 4.0f);
            img.At(x, y) = c;
        }
    BevelFrame(img, 10, 424, 150, 468, 2, true, 1.0f);

    // Rivets in the corners and between sections.
    for (float y : {6.0f, 186.0f, 252.0f, 416.0f, 474.0f}) {
        Rivet(img, 9.0f, y, 2.2f);
        Rivet(img, 151.0f, y, 2.2f);
    }

    ClampImage(img);
    return img;
}

}  // namespace gfx
