// Strasse.gfx - the motorway seen from straight above, 660 x 480.
//
// The picture scrolls down the screen and repeats every 480 rows, so every
// texture here is built from noise that wraps vertically and every object is
// placed with wrapped y coordinates: row 479 runs straight into row 0.
//
// Across x (the view shows 480 of the 660 columns at a time):
//   0..~100     verge: trees, bushes, grass, gravel, granite kerb
//   103..157    left carriageway, outer lane: old cobbles under broken asphalt
//               (the car shakes here, so it has to look bad)
//   157..274    left carriageway, two good lanes (oncoming traffic)
//   274..371    central reservation: kerbs, grass, double crash barrier
//   371..546    right carriageway, three good lanes (our direction)
//   546..660    verge again
// Lane centres: 132, 187, 242 | 402, 457, 512.

#include "gfx.h"

namespace gfx {
namespace {

constexpr int kWidth = 660;
constexpr int kHeight = 480;

int WrapY(int y) {
    y %= kHeight;
    return y < 0 ? y + kHeight : y;
}

// Noise with a feature size of roughly `cell` pixels that repeats every kHeight rows.
float TiledNoise(float x, float y, float cell, int seed) {
    const int py = std::max(1, int(std::lround(float(kHeight) / cell)));
    return Noise(x / cell, y * float(py) / float(kHeight), seed, 0, py);
}

float TiledFbm(float x, float y, float cell, int seed, int octaves) {
    const int py = std::max(1, int(std::lround(float(kHeight) / cell)));
    return Fbm(x / cell, y * float(py) / float(kHeight), seed, octaves, 0, py);
}

// Lane geometry.
constexpr float kLanes[] = {132.0f, 187.0f, 242.0f, 402.0f, 457.0f, 512.0f};
constexpr float kGoodLeft0 = 157.0f;  // good asphalt, left carriageway
constexpr float kGoodLeft1 = 274.0f;
constexpr float kGoodRight0 = 371.0f;  // right carriageway
constexpr float kGoodRight1 = 546.0f;

// ---------------------------------------------------------------------------
// Surfaces

Col Asphalt(int x, int y, int seed) {
    const float mottle = TiledFbm(float(x), float(y), 40.0f, seed, 3) - 0.5f;
    const float fine = TiledNoise(float(x), float(y), 3.0f, seed + 5) - 0.5f;
    float v = 86.0f + mottle * 16.0f + fine * 8.0f;
    v += RndS(x, y, seed) * 9.0f;
    const float grit = Rnd(x, y, seed + 1);
    if (grit < 0.05f)
        v += 20.0f;
    else if (grit > 0.965f)
        v -= 16.0f;
    return {v * 0.97f, v * 0.98f, v * 1.04f};
}

Col Grass(int x, int y, int seed) {
    const float n = TiledFbm(float(x), float(y), 36.0f, seed, 4);
    const float dry = TiledFbm(float(x) + 311.0f, float(y), 60.0f, seed + 1, 3);
    Col g = Mix(Rgb(40, 86, 30), Rgb(92, 146, 48), Smoothstep(0.2f, 0.8f, n));
    g = Mix(g, Rgb(128, 134, 66), Smoothstep(0.58f, 0.74f, dry) * 0.55f);
    // Blades: short vertical streaks of light and dark.
    const float blade = RndS(x, y / 3, seed + 2) * 14.0f + RndS(x, y, seed + 3) * 8.0f;
    g = g + Col{blade * 0.55f, blade, blade * 0.35f};
    // Tiny flowers here and there.
    const float f = Rnd(x, y, seed + 4);
    if (f < 0.0012f)
        g = Rgb(235, 230, 120);
    else if (f < 0.0020f)
        g = Rgb(230, 235, 240);
    return g;
}

Col Gravel(int x, int y, int seed) {
    static const Col kStones[] = {Rgb(150, 144, 132), Rgb(118, 113, 106), Rgb(172, 166, 152),
                                  Rgb(98, 96, 94),    Rgb(138, 126, 108), Rgb(160, 150, 128)};
    const int cx = (x + int(Hash4(y / 2, seed) & 1)) / 2, cy = y / 2;
    const Col s = kStones[Hash4(cx, cy, seed) % 6];
    // Each pebble lit from the top left.
    const int lx = (x + int(Hash4(y / 2, seed) & 1)) & 1, ly = y & 1;
    const float lit = (lx == 0 && ly == 0) ? 1.12f : (lx == 1 && ly == 1) ? 0.82f : 0.97f;
    return s * lit + Grey(RndS(x, y, seed + 1) * 6.0f);
}

// Granite / concrete kerb stones along a strip [x0, x1), blocks `len` rows.
Col Kerb(int x, int y, int x0, int x1, int len, int seed, Col base) {
    const int block = y / len, v = y % len;
    const int u = x - x0, wdt = x1 - x0;
    Col c = base * (0.94f + 0.12f * Rnd(block, seed)) + Grey(RndS(x, y, seed) * 7.0f);
    if (v == 0) return c * 0.45f;  // joint
    if (v == 1) c = c * 1.08f;
    if (u == 0) c = c * 1.15f;       // lit edge
    if (u == wdt - 1) c = c * 0.7f;  // shaded edge
    return c;
}

// Cobbles in rows of 10 pixels (48 rows per picture).
Col Cobble(int x, int y) {
    const int row = y / 10;
    const int v = y % 10;
    Rng rng(std::uint32_t(row * 7919 + 17));
    float bx = 96.0f - rng.Range(0.0f, 10.0f);
    float bw = rng.Range(8.0f, 13.0f);
    int k = 0;
    while (bx + bw <= float(x)) {
        bx += bw;
        bw = rng.Range(8.0f, 13.0f);
        ++k;
    }
    const float u = float(x) - bx + 0.5f;
    const float fv = float(v) + 0.5f;
    const float cu = bw * 0.5f, cv = 5.0f;
    const float inset = 0.9f + 0.5f * Rnd(row, k, 3);
    const float sd = SdBox(u, fv, cu, cv, cu - inset, cv - inset, 2.6f);
    Col joint = Rgb(58, 53, 46) + Grey(RndS(x, y, 91) * 8.0f);
    if (Rnd(x, y, 92) < 0.15f) joint = Rgb(112, 100, 80);  // sand
    if (sd > 0.0f) return joint;
    static const Col kTones[] = {Rgb(122, 118, 112), Rgb(104, 104, 110), Rgb(134, 124, 110),
                                 Rgb(112, 108, 100), Rgb(96, 94, 92),    Rgb(128, 126, 122)};
    Col c = kTones[Hash4(row, k, 5) % 6];
    // Domed top, lit from the upper left.
    const float nx = (u - cu) / cu, ny = (fv - cv) / cv;
    const float lit = 1.0f - 0.22f * (nx + ny) - 0.18f * (nx * nx + ny * ny);
    c = c * lit;
    c = c * (0.9f + 0.2f * Smoothstep(0.0f, -1.6f, sd));  // rim
    return c + Grey(RndS(x, y, 93) * 7.0f);
}

// ---------------------------------------------------------------------------
// Trees and bushes (height field so they can be lit and cast shadows)

struct Tree {
    float x, y, r;
    int kind;  // 0 broadleaf, 1 conifer, 2 bush
    int seed;
};

struct Canopy {
    std::vector<float> h;   // height, <0 = none
    std::vector<int> tree;  // which tree
    float& At(int x, int y) { return h[std::size_t(y) * kWidth + std::size_t(x)]; }
    float Get(int x, int y) const {
        if (x < 0 || x >= kWidth) return -1.0f;
        return h[std::size_t(WrapY(y)) * kWidth + std::size_t(x)];
    }
};

float TreeHeight(const Tree& t, float dx, float dy) {
    if (t.kind == 1) {
        // Conifer: a spiky cone.
        const float d = std::hypot(dx, dy);
        const float ang = std::atan2(dy, dx);
        const float spikes = std::fabs(std::sin(ang * 8.0f + float(t.seed % 7)));
        const float rr = t.r * (0.8f + 0.2f * spikes * spikes);
        if (d >= rr) return -1.0f;
        // Whorls of branches show as faint rings.
        return (rr - d) * 1.2f + 0.5f * std::sin(d * 1.3f);
    }
    // Broadleaf and bush: a cluster of domed lobes.
    float best = -1.0f;
    Rng rng{std::uint32_t(t.seed)};
    const int lobes = t.kind == 2 ? 5 : 8;
    for (int i = 0; i <= lobes; ++i) {
        float lx = 0.0f, ly = 0.0f, lr = t.r * 0.62f, base = t.r * 0.25f;
        if (i > 0) {
            const float a = 6.2831853f * (float(i) + rng.Range(-0.3f, 0.3f)) / float(lobes);
            const float d = t.r * rng.Range(0.36f, 0.5f);
            lx = std::cos(a) * d;
            ly = std::sin(a) * d;
            lr = t.r * rng.Range(0.42f, 0.56f);
            base = 0.0f;
        }
        const float d2 = (dx - lx) * (dx - lx) + (dy - ly) * (dy - ly);
        if (d2 < lr * lr) best = std::max(best, std::sqrt(lr * lr - d2) + base);
    }
    return best;
}

Canopy BuildCanopy(const std::vector<Tree>& trees) {
    Canopy c;
    c.h.assign(std::size_t(kWidth) * kHeight, -1.0f);
    c.tree.assign(std::size_t(kWidth) * kHeight, -1);
    for (std::size_t i = 0; i < trees.size(); ++i) {
        const Tree& t = trees[i];
        const int r = int(std::ceil(t.r)) + 1;
        for (int yy = int(t.y) - r; yy <= int(t.y) + r; ++yy)
            for (int xx = int(t.x) - r; xx <= int(t.x) + r; ++xx) {
                if (xx < 0 || xx >= kWidth) continue;
                const int y = WrapY(yy);
                float h = TreeHeight(t, float(xx) + 0.5f - t.x, float(yy) + 0.5f - t.y);
                if (h < 0.0f) continue;
                // Leafy relief.
                const float leaf = t.kind == 1 ? 0.8f : 1.6f;
                h += leaf * TiledNoise(float(xx), float(y), 2.5f, 600 + t.seed % 5);
                if (h > c.At(xx, y)) {
                    c.At(xx, y) = h;
                    c.tree[std::size_t(y) * kWidth + std::size_t(xx)] = int(i);
                }
            }
    }
    return c;
}

std::vector<Tree> PlantTrees() {
    std::vector<Tree> trees;
    Rng rng(4242);
    // Two rows of trees on each side, evenly spread with jitter so the wrap
    // at the top and bottom is not visible.
    auto row = [&](int count, float x0, float x1, float r0, float r1, float conifers, int kind,
                   float phase) {
        for (int i = 0; i < count; ++i) {
            Tree t;
            t.y = (float(i) + phase + rng.Range(-0.3f, 0.3f)) * float(kHeight) / float(count);
            t.x = rng.Range(x0, x1);
            t.r = rng.Range(r0, r1);
            t.kind = kind;
            if (kind == 0 && rng.Uniform() < conifers) {
                t.kind = 1;
                t.r *= 0.8f;
            }
            t.seed = int(rng.Next() % 100000u);
            trees.push_back(t);
        }
    };
    row(8, -6.0f, 14.0f, 19.0f, 27.0f, 0.3f, 0, 0.0f);
    row(7, 26.0f, 46.0f, 15.0f, 22.0f, 0.35f, 0, 0.5f);
    row(8, 646.0f, 668.0f, 19.0f, 27.0f, 0.3f, 0, 0.25f);
    row(7, 612.0f, 632.0f, 15.0f, 22.0f, 0.35f, 0, 0.75f);
    // Bushes along the gravel.
    row(9, 58.0f, 78.0f, 5.0f, 9.0f, 0.0f, 2, 0.1f);
    row(9, 572.0f, 594.0f, 5.0f, 9.0f, 0.0f, 2, 0.6f);
    // A few low shrubs in the central reservation.
    row(3, 288.0f, 300.0f, 4.0f, 6.0f, 0.0f, 2, 0.3f);
    row(3, 346.0f, 356.0f, 4.0f, 6.0f, 0.0f, 2, 0.8f);
    return trees;
}

Col TreeColour(const Tree& t, int x, int y) {
    static const Col kBroad[] = {Rgb(46, 98, 36), Rgb(64, 112, 40), Rgb(38, 86, 44),
                                 Rgb(96, 124, 44)};
    static const Col kBush[] = {Rgb(70, 120, 44), Rgb(56, 108, 50), Rgb(90, 130, 52)};
    Col c;
    if (t.kind == 1)
        c = Rgb(30, 70, 46);
    else if (t.kind == 2)
        c = kBush[std::uint32_t(t.seed) % 3];
    else
        c = kBroad[std::uint32_t(t.seed) % 4];
    return c + Grey(RndS(x, y, 700) * 5.0f);
}

// ---------------------------------------------------------------------------
// Painting helpers with vertical wrap

void BlendWrapped(Image& img, int x, int y, Col c, float a) { img.Blend(x, WrapY(y), c, a); }
void DarkenWrapped(Image& img, int x, int y, float f) {
    if (x < 0 || x >= kWidth) return;
    img.Darken(x, WrapY(y), f);
}

// A crack: a wobbly dark hairline with a lighter lip, wrapped vertically.
void Crack(Image& img, float x, float y, float dir, int steps, int seed, float x0, float x1,
           float strength = 1.0f) {
    Rng rng{std::uint32_t(seed)};
    for (int i = 0; i < steps; ++i) {
        dir += rng.Range(-0.5f, 0.5f);
        x += std::sin(dir) * 0.9f;
        y += std::cos(dir) * 0.9f;
        if (x < x0 || x > x1) break;
        const int ix = int(std::floor(x)), iy = int(std::floor(y));
        DarkenWrapped(img, ix, iy, 1.0f - 0.45f * strength);
        BlendWrapped(img, ix + 1, iy + 1, Rgb(120, 120, 122), 0.25f * strength);
        if (rng.Uniform() < 0.04f) {  // little branch
            // Random numbers are drawn one statement each: the order in which a call's
            // arguments are evaluated differs between compilers.
            const int branchSeed = int(rng.Next() % 9999u);
            const float turn = rng.Range(-1.4f, 1.4f);
            Crack(img, x, y, dir + turn, steps / 4, branchSeed, x0, x1, strength);
        }
    }
}

// Soft dark blob of spilt oil.
void OilStain(Image& img, float cx, float cy, float r, int seed) {
    const int ir = int(r * 1.6f) + 2;
    for (int dy = -ir; dy <= ir; ++dy)
        for (int dx = -ir; dx <= ir; ++dx) {
            const float fx = float(dx), fy = float(dy);
            const float ang = std::atan2(fy, fx);
            const float rr = r * (0.75f + 0.45f * Noise(ang * 1.3f + 10.0f, 0.0f, seed, 0, 0)) *
                             (0.85f + 0.3f * Noise(fx * 0.3f, fy * 0.3f, seed + 1));
            const float d = std::hypot(fx, fy * 1.25f);
            const float a = Smoothstep(rr, rr * 0.35f, d);
            if (a <= 0.0f) continue;
            const int x = int(cx) + dx, y = int(cy) + dy;
            const float splat = 0.5f + 0.5f * Rnd(x, WrapY(y), seed);
            DarkenWrapped(img, x, y, 1.0f - 0.42f * a * splat);
        }
}

// A pair of black skid marks, gently curving.
void SkidMarks(Image& img, float x, float y, float len, float bend, int seed) {
    for (int side = -1; side <= 1; side += 2)
        for (int i = 0; i < int(len); ++i) {
            const float t = float(i) / len;
            const float cx = x + float(side) * 11.0f + bend * t * t;
            const float fade = Smoothstep(0.0f, 0.15f, t) * Smoothstep(1.0f, 0.7f, t);
            for (int dx = -2; dx <= 2; ++dx) {
                const float a =
                    fade * (1.0f - float(std::abs(dx)) * 0.3f) * (0.7f + 0.3f * Rnd(i, dx, seed));
                DarkenWrapped(img, int(cx) + dx, int(y) + i, 1.0f - 0.4f * a);
            }
        }
}

}  // namespace

Image DrawRoad() {
    Image img(kWidth, kHeight);

    // Ragged edges between materials, all wrapping with the picture.
    auto edge = [](int y, float at, float amp, int seed) {
        return at + amp * (TiledFbm(0.0f, float(y), 24.0f, seed, 2) - 0.5f) * 2.0f;
    };

    // Where the old asphalt still covers the cobbles of the outer lane.
    std::vector<float> remnant(std::size_t(kWidth) * kHeight, 0.0f);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 96; x < 166; ++x) {
            const float n = TiledFbm(float(x), float(y), 22.0f, 77, 3);
            const float bias = 0.32f * Smoothstep(138.0f, 157.0f, float(x)) -
                               0.1f * Smoothstep(118.0f, 104.0f, float(x));
            remnant[std::size_t(y) * kWidth + std::size_t(x)] = (n + bias > 0.56f) ? 1.0f : 0.0f;
        }
    auto rem = [&](int x, int y) {
        return remnant[std::size_t(WrapY(y)) * kWidth + std::size_t(std::clamp(x, 0, kWidth - 1))];
    };

    // --- Base materials -----------------------------------------------------
    for (int y = 0; y < kHeight; ++y) {
        const float grassL = edge(y, 86.0f, 4.0f, 31);
        const float grassR = edge(y, 560.0f, 4.0f, 32);
        const float goodL = edge(y, kGoodLeft0, 1.5f, 33);
        for (int x = 0; x < kWidth; ++x) {
            const float fx = float(x) + 0.5f;
            Col c;
            if (fx < grassL)
                c = Grass(x, y, 10);
            else if (x < 97)
                c = Gravel(x, y, 20);
            else if (x < 103)
                c = Kerb(x, y, 97, 103, 30, 40, Rgb(150, 148, 144));
            else if (fx < goodL) {
                // Old outer lane: cobbles, partly still under cracked asphalt.
                if (rem(x, y) > 0.5f) {
                    Col a = Asphalt(x, y, 50) * 1.12f + Rgb(6, 4, 0);
                    const Cells cl = Cellular(float(x) / 7.5f, float(y) / 7.5f, 51, 0, 64);
                    if (cl.f2 - cl.f1 < 0.09f) a = a * 0.55f;  // crazed surface
                    // Raised edge: lit towards the light, chipped away from it.
                    if (rem(x - 1, y - 1) < 0.5f) a = a * 1.25f;
                    c = a;
                } else {
                    c = Cobble(x, y);
                    if (rem(x - 1, y - 1) > 0.5f || rem(x - 1, y) > 0.5f || rem(x, y - 1) > 0.5f)
                        c = c * 0.55f;
                }
            } else if (x < int(kGoodLeft1))
                c = Asphalt(x, y, 60);
            else if (x < 280)
                c = Kerb(x, y, 274, 280, 24, 41, Rgb(168, 168, 164));
            else if (x < 365)
                c = Grass(x, y, 11);
            else if (x < int(kGoodRight0))
                c = Kerb(x, y, 365, 371, 24, 42, Rgb(168, 168, 164));
            else if (x < int(kGoodRight1))
                c = Asphalt(x, y, 61);
            else if (fx < grassR)
                c = Gravel(x, y, 21);
            else
                c = Grass(x, y, 12);
            img.At(x, y) = c;
        }
    }

    // Shade of the kerbs on the grass next to them.
    for (int y = 0; y < kHeight; ++y) {
        img.Darken(280, y, 0.7f);
        img.Darken(281, y, 0.85f);
    }

    // --- Tyre tracks and oil line in each lane ------------------------------
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool good = (x >= int(kGoodLeft0) && x < int(kGoodLeft1)) ||
                              (x >= int(kGoodRight0) && x < int(kGoodRight1));
            const bool worn = x >= 103 && x < int(kGoodLeft0);
            if (!good && !worn) continue;
            float dark = 0.0f;
            for (std::size_t i = 0; i < std::size(kLanes); ++i) {
                const float c =
                    kLanes[i] +
                    1.2f * std::sin(6.2831853f * float(y) * 2.0f / float(kHeight) + float(i));
                for (int s = -1; s <= 1; s += 2) {
                    const float d = float(x) + 0.5f - (c + float(s) * 11.5f);
                    dark += 0.17f * std::exp(-d * d / (2.0f * 2.6f * 2.6f));
                }
                const float d = float(x) + 0.5f - c;
                dark += 0.07f * std::exp(-d * d / (2.0f * 3.5f * 3.5f));
            }
            dark *= 0.75f + 0.5f * TiledNoise(float(x), float(y), 30.0f, 88);
            if (worn) dark *= 0.5f;
            img.At(x, y) = img.At(x, y) * (1.0f - dark);
        }

    // --- Repairs, stains, skid marks ----------------------------------------
    // Tar patches on the old lane: darker rectangles with sealed seams.
    struct Patch {
        int x0, y0, x1, y1;
    };
    constexpr Patch kPatches[] = {{110, 300, 150, 342}, {118, 60, 146, 84}, {112, 452, 138, 500}};
    for (const Patch& p : kPatches)
        for (int yy = p.y0; yy < p.y1; ++yy)
            for (int x = p.x0; x < p.x1; ++x) {
                const int y = WrapY(yy);
                Col a = Asphalt(x, y, 70) * 0.86f;
                const bool seam = x == p.x0 || yy == p.y0 || x == p.x1 - 1 || yy == p.y1 - 1;
                if (seam) a = Mix(a, Rgb(34, 34, 36), 0.6f + 0.3f * Rnd(x, y, 71));
                // Keep the tyre wear that was there before the repair, faintly.
                img.At(x, y) = Mix(img.At(x, y), a, 0.8f);
            }

    // Potholes in the cobbled lane.
    struct Hole {
        float x, y, rx, ry;
    };
    constexpr Hole kHoles[] = {
        {126.0f, 215.0f, 7.0f, 5.0f}, {140.0f, 470.0f, 5.0f, 6.5f}, {116.0f, 395.0f, 4.5f, 3.5f}};
    for (const Hole& h : kHoles)
        for (int dy = -10; dy <= 10; ++dy)
            for (int dx = -10; dx <= 10; ++dx) {
                const float fx = float(dx) / h.rx, fy = float(dy) / h.ry;
                const float wob = 0.15f * Noise(float(dx) * 0.6f, float(dy) * 0.6f, int(h.x));
                const float d = std::sqrt(fx * fx + fy * fy) + wob;
                const int x = int(h.x) + dx, y = int(h.y) + dy;
                if (d < 1.0f) {
                    // Water at the bottom, reflecting the sky a little.
                    Col water = Mix(Rgb(40, 44, 52), Rgb(86, 96, 112),
                                    Clamp01(0.5f - fy * 0.5f - fx * 0.3f));
                    if (d > 0.8f) water = (fx + fy > 0.0f) ? Rgb(118, 108, 96) : Rgb(34, 30, 28);
                    BlendWrapped(img, x, y, water, 1.0f);
                } else if (d < 1.25f) {
                    DarkenWrapped(img, x, y, 0.8f);
                }
            }

    OilStain(img, 190.0f, 40.0f, 7.0f, 1);
    OilStain(img, 243.0f, 330.0f, 9.0f, 2);
    OilStain(img, 403.0f, 120.0f, 8.0f, 3);
    OilStain(img, 458.0f, 470.0f, 10.0f, 4);  // wraps into the top
    OilStain(img, 512.0f, 260.0f, 6.0f, 5);
    OilStain(img, 457.0f, 300.0f, 5.0f, 6);
    OilStain(img, 134.0f, 150.0f, 8.0f, 7);

    SkidMarks(img, 457.0f, 190.0f, 120.0f, 14.0f, 1);
    SkidMarks(img, 187.0f, 400.0f, 110.0f, -10.0f, 2);  // runs over the wrap
    SkidMarks(img, 512.0f, 20.0f, 70.0f, -6.0f, 3);

    // --- Markings -----------------------------------------------------------
    const Col paint = Rgb(236, 236, 228);
    auto paintPixel = [&](int x, int y, float cover) {
        float a = cover * (0.9f - 0.3f * TiledNoise(float(x), float(y), 6.0f, 300));
        if (Rnd(x, y, 301) < 0.07f) a *= 0.5f;
        const bool onCobble = x >= 103 && x < int(kGoodLeft0) - 2 && rem(x, y) < 0.5f;
        if (onCobble) a *= 0.45f;  // paint barely sticks to the stones
        img.Blend(x, y, paint, a);
    };
    // Solid edge lines.
    constexpr int kSolidLines[][2] = {{104, 107}, {266, 269}, {376, 379}, {537, 540}};
    for (const auto& s : kSolidLines)
        for (int y = 0; y < kHeight; ++y)
            for (int x = s[0]; x < s[1]; ++x) paintPixel(x, y, 1.0f);
    // Dashed lane lines: 36 painted, 44 gap, period 80 (divides 480).
    struct Dash {
        int x;
        int phase;
    };
    constexpr Dash kDashes[] = {{159, 40}, {214, 40}, {429, 0}, {484, 0}};
    for (const Dash& d : kDashes)
        for (int y = 0; y < kHeight; ++y) {
            const int p = (y + d.phase) % 80;
            if (p >= 36) continue;
            const float endSoft = (p == 0 || p == 35) ? 0.6f : 1.0f;
            paintPixel(d.x, y, endSoft);
            paintPixel(d.x + 1, y, endSoft);
            paintPixel(d.x - 1, y, 0.3f * endSoft);
            paintPixel(d.x + 2, y, 0.3f * endSoft);
        }

    // --- Cracks -------------------------------------------------------------
    Rng crackRng(99);
    for (int i = 0; i < 16; ++i) {  // lots in the old lane
        const float x = crackRng.Range(106.0f, 154.0f), y = crackRng.Range(0.0f, float(kHeight));
        const int seed = int(crackRng.Next() % 9999u);
        const int steps = 30 + int(crackRng.Next() % 40u);
        const float dir = crackRng.Range(-0.6f, 0.6f);
        Crack(img, x, y, dir, steps, seed, 104.0f, 158.0f);
    }
    constexpr float kFewCracks[][2] = {
        {170.0f, 250.0f}, {258.0f, 80.0f}, {385.0f, 300.0f}, {530.0f, 430.0f}, {470.0f, 30.0f}};
    for (const auto& c : kFewCracks) {
        const int seed = int(crackRng.Next() % 9999u);
        const float dir = crackRng.Range(-0.8f, 0.8f);
        Crack(img, c[0], c[1], dir, 40, seed, c[0] - 14.0f, c[0] + 14.0f, 0.6f);
    }

    // --- Crash barrier in the middle of the reservation ----------------------
    // Shadow first (the sun is to the upper left).
    for (int y = 0; y < kHeight; ++y)
        for (int x = 330; x < 338; ++x) img.Darken(x, y, x < 336 ? 0.6f : 0.8f);
    for (int y = 0; y < kHeight; ++y) {
        // Gap between the two rails: shaded grass with posts every 40 rows.
        for (int x = 320; x < 326; ++x) img.Darken(x, y, 0.5f);
        if (y % 40 < 5) {
            for (int x = 320; x < 326; ++x) {
                Col post = Rgb(96, 98, 104);
                if (y % 40 == 0) post = Rgb(140, 142, 148);
                if (x == 325 || y % 40 == 4) post = Rgb(60, 60, 66);
                img.At(x, y) = post;
            }
        }
        // Two corrugated steel rails.
        static const float kProfile[] = {0.55f, 0.95f, 1.22f, 0.9f, 1.12f, 0.68f};
        for (int r = 0; r < 2; ++r) {
            const int x0 = r == 0 ? 314 : 326;
            const bool joint = (y + r * 40) % 80 == 0;
            for (int i = 0; i < 6; ++i) {
                Col steel = Rgb(150, 156, 164) * kProfile[i];
                steel = steel + Grey(4.0f * TiledNoise(float(i), float(y), 12.0f, 400 + r));
                if (joint) steel = steel * 0.7f;
                if ((y + r * 40) % 80 == 2 && (i == 1 || i == 4)) steel = Rgb(60, 60, 64);  // bolts
                img.At(x0 + i, y) = steel;
            }
        }
    }

    // --- Trees, bushes and their shadows ------------------------------------
    const std::vector<Tree> trees = PlantTrees();
    const Canopy canopy = BuildCanopy(trees);
    // Shadows: the canopy shifted down and to the right.
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const float hs = canopy.Get(x - 7, y - 9);
            if (hs < 0.0f) continue;
            if (canopy.Get(x, y) >= 0.0f) continue;
            img.At(x, y) = img.At(x, y) * (1.0f - 0.5f * Smoothstep(0.0f, 1.5f, hs));
        }
    const float lx = -0.55f, ly = -0.7f, lz = 0.75f;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const float hc = canopy.Get(x, y);
            if (hc < 0.0f) continue;
            const Tree& t =
                trees[std::size_t(canopy.tree[std::size_t(y) * kWidth + std::size_t(x)])];
            auto hget = [&](int xx, int yy) {
                const float v = canopy.Get(xx, yy);
                return v < 0.0f ? 0.0f : v;
            };
            const float gx = (hget(x + 1, y) - hget(x - 1, y)) * 0.5f;
            const float gy = (hget(x, y + 1) - hget(x, y - 1)) * 0.5f;
            float nx = -gx, ny = -gy, nz = 1.0f;
            Normalise(nx, ny, nz);
            const float dif = std::max(0.0f, nx * lx + ny * ly + nz * lz);
            // Crevices between lobes are darker.
            const float occl = Smoothstep(0.0f, t.r * 0.35f, hc);
            Col c = TreeColour(t, x, y) * (0.3f + 0.95f * dif) * (0.7f + 0.3f * occl);
            if (dif > 0.85f && Rnd(x, y, 701) < 0.3f) c = c * 1.18f;  // sunlit leaves
            img.At(x, y) = c;
        }

    // Reflector posts on both verges, one every 80 rows.
    for (int k = 0; k < kHeight / 80; ++k) {
        const int posts[][2] = {{92, k * 80 + 20}, {551, k * 80 + 60}};
        for (const auto& p : posts) {
            for (int dy = 0; dy < 3; ++dy)
                for (int dx = 0; dx < 3; ++dx)
                    BlendWrapped(img, p[0] + dx + 2, p[1] + dy + 3, Rgb(0, 0, 0), 0.35f);
            for (int dy = 0; dy < 3; ++dy)
                for (int dx = 0; dx < 3; ++dx) {
                    Col c = dy == 0 ? Rgb(30, 30, 30) : Rgb(236, 236, 230);
                    if (dx == 2 && dy > 0) c = Rgb(196, 196, 190);
                    BlendWrapped(img, p[0] + dx, p[1] + dy, c, 1.0f);
                }
        }
    }

    return img;
}

}  // namespace gfx
