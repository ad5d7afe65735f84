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

#include "gfx.hpp"

namespace gfx {
namespace {

constexpr int W = 660;
constexpr int H = 480;

int wrapY(int y)
{
    y %= H;
    return y < 0 ? y + H : y;
}

// Noise with a feature size of roughly `cell` pixels that repeats every H rows.
float tnoise(float x, float y, float cell, int seed)
{
    const int py = std::max(1, int(std::lround(float(H) / cell)));
    return noise(x / cell, y * float(py) / float(H), seed, 0, py);
}

float tfbm(float x, float y, float cell, int seed, int octaves)
{
    const int py = std::max(1, int(std::lround(float(H) / cell)));
    return fbm(x / cell, y * float(py) / float(H), seed, octaves, 0, py);
}

// Lane geometry.
constexpr float kLanes[] = {132.0f, 187.0f, 242.0f, 402.0f, 457.0f, 512.0f};
constexpr float kGoodLeft0 = 157.0f;   // good asphalt, left carriageway
constexpr float kGoodLeft1 = 274.0f;
constexpr float kGoodRight0 = 371.0f;  // right carriageway
constexpr float kGoodRight1 = 546.0f;

// ---------------------------------------------------------------------------
// Surfaces

Col asphalt(int x, int y, int seed)
{
    const float mottle = tfbm(float(x), float(y), 40.0f, seed, 3) - 0.5f;
    const float fine = tnoise(float(x), float(y), 3.0f, seed + 5) - 0.5f;
    float v = 86.0f + mottle * 16.0f + fine * 8.0f;
    v += rndS(x, y, seed) * 9.0f;
    const float grit = rnd(x, y, seed + 1);
    if (grit < 0.05f) v += 20.0f;
    else if (grit > 0.965f) v -= 16.0f;
    return {v * 0.97f, v * 0.98f, v * 1.04f};
}

Col grass(int x, int y, int seed)
{
    const float n = tfbm(float(x), float(y), 36.0f, seed, 4);
    const float dry = tfbm(float(x) + 311.0f, float(y), 60.0f, seed + 1, 3);
    Col g = mix(rgb(40, 86, 30), rgb(92, 146, 48), smoothstep(0.2f, 0.8f, n));
    g = mix(g, rgb(128, 134, 66), smoothstep(0.58f, 0.74f, dry) * 0.55f);
    // Blades: short vertical streaks of light and dark.
    const float blade = rndS(x, y / 3, seed + 2) * 14.0f + rndS(x, y, seed + 3) * 8.0f;
    g = g + Col{blade * 0.55f, blade, blade * 0.35f};
    // Tiny flowers here and there.
    const float f = rnd(x, y, seed + 4);
    if (f < 0.0012f) g = rgb(235, 230, 120);
    else if (f < 0.0020f) g = rgb(230, 235, 240);
    return g;
}

Col gravel(int x, int y, int seed)
{
    static const Col stones[] = {rgb(150, 144, 132), rgb(118, 113, 106), rgb(172, 166, 152),
                                 rgb(98, 96, 94),    rgb(138, 126, 108), rgb(160, 150, 128)};
    const int cx = (x + int(hash4(y / 2, seed) & 1)) / 2, cy = y / 2;
    const Col s = stones[hash4(cx, cy, seed) % 6];
    // Each pebble lit from the top left.
    const int lx = (x + int(hash4(y / 2, seed) & 1)) & 1, ly = y & 1;
    const float lit = (lx == 0 && ly == 0) ? 1.12f : (lx == 1 && ly == 1) ? 0.82f : 0.97f;
    return s * lit + grey(rndS(x, y, seed + 1) * 6.0f);
}

// Granite / concrete kerb stones along a strip [x0, x1), blocks `len` rows.
Col kerb(int x, int y, int x0, int x1, int len, int seed, Col base)
{
    const int block = y / len, v = y % len;
    const int u = x - x0, wdt = x1 - x0;
    Col c = base * (0.94f + 0.12f * rnd(block, seed)) + grey(rndS(x, y, seed) * 7.0f);
    if (v == 0) return c * 0.45f;                 // joint
    if (v == 1) c = c * 1.08f;
    if (u == 0) c = c * 1.15f;                    // lit edge
    if (u == wdt - 1) c = c * 0.7f;               // shaded edge
    return c;
}

// Cobbles in rows of 10 pixels (48 rows per picture).
Col cobble(int x, int y)
{
    const int row = y / 10;
    const int v = y % 10;
    Rng rng(std::uint32_t(row * 7919 + 17));
    float bx = 96.0f - rng.range(0.0f, 10.0f);
    float bw = rng.range(8.0f, 13.0f);
    int k = 0;
    while (bx + bw <= float(x)) {
        bx += bw;
        bw = rng.range(8.0f, 13.0f);
        ++k;
    }
    const float u = float(x) - bx + 0.5f;
    const float fv = float(v) + 0.5f;
    const float cu = bw * 0.5f, cv = 5.0f;
    const float inset = 0.9f + 0.5f * rnd(row, k, 3);
    const float sd = sdBox(u, fv, cu, cv, cu - inset, cv - inset, 2.6f);
    Col joint = rgb(58, 53, 46) + grey(rndS(x, y, 91) * 8.0f);
    if (rnd(x, y, 92) < 0.15f) joint = rgb(112, 100, 80);  // sand
    if (sd > 0.0f) return joint;
    static const Col tones[] = {rgb(122, 118, 112), rgb(104, 104, 110), rgb(134, 124, 110),
                                rgb(112, 108, 100), rgb(96, 94, 92),    rgb(128, 126, 122)};
    Col c = tones[hash4(row, k, 5) % 6];
    // Domed top, lit from the upper left.
    const float nx = (u - cu) / cu, ny = (fv - cv) / cv;
    const float lit = 1.0f - 0.22f * (nx + ny) - 0.18f * (nx * nx + ny * ny);
    c = c * lit;
    c = c * (0.9f + 0.2f * smoothstep(0.0f, -1.6f, sd));  // rim
    return c + grey(rndS(x, y, 93) * 7.0f);
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
    float& at(int x, int y) { return h[std::size_t(y) * W + std::size_t(x)]; }
    float get(int x, int y) const
    {
        if (x < 0 || x >= W) return -1.0f;
        return h[std::size_t(wrapY(y)) * W + std::size_t(x)];
    }
};

float treeHeight(const Tree& t, float dx, float dy)
{
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
            const float a = 6.2831853f * (float(i) + rng.range(-0.3f, 0.3f)) / float(lobes);
            const float d = t.r * rng.range(0.36f, 0.5f);
            lx = std::cos(a) * d;
            ly = std::sin(a) * d;
            lr = t.r * rng.range(0.42f, 0.56f);
            base = 0.0f;
        }
        const float d2 = (dx - lx) * (dx - lx) + (dy - ly) * (dy - ly);
        if (d2 < lr * lr) best = std::max(best, std::sqrt(lr * lr - d2) + base);
    }
    return best;
}

Canopy buildCanopy(const std::vector<Tree>& trees)
{
    Canopy c;
    c.h.assign(std::size_t(W) * H, -1.0f);
    c.tree.assign(std::size_t(W) * H, -1);
    for (std::size_t i = 0; i < trees.size(); ++i) {
        const Tree& t = trees[i];
        const int r = int(std::ceil(t.r)) + 1;
        for (int yy = int(t.y) - r; yy <= int(t.y) + r; ++yy)
            for (int xx = int(t.x) - r; xx <= int(t.x) + r; ++xx) {
                if (xx < 0 || xx >= W) continue;
                const int y = wrapY(yy);
                float h = treeHeight(t, float(xx) + 0.5f - t.x, float(yy) + 0.5f - t.y);
                if (h < 0.0f) continue;
                // Leafy relief.
                const float leaf = t.kind == 1 ? 0.8f : 1.6f;
                h += leaf * tnoise(float(xx), float(y), 2.5f, 600 + t.seed % 5);
                if (h > c.at(xx, y)) {
                    c.at(xx, y) = h;
                    c.tree[std::size_t(y) * W + std::size_t(xx)] = int(i);
                }
            }
    }
    return c;
}

std::vector<Tree> plantTrees()
{
    std::vector<Tree> trees;
    Rng rng(4242);
    // Two rows of trees on each side, evenly spread with jitter so the wrap
    // at the top and bottom is not visible.
    auto row = [&](int count, float x0, float x1, float r0, float r1, float conifers, int kind, float phase) {
        for (int i = 0; i < count; ++i) {
            Tree t;
            t.y = (float(i) + phase + rng.range(-0.3f, 0.3f)) * float(H) / float(count);
            t.x = rng.range(x0, x1);
            t.r = rng.range(r0, r1);
            t.kind = kind;
            if (kind == 0 && rng.uniform() < conifers) {
                t.kind = 1;
                t.r *= 0.8f;
            }
            t.seed = int(rng.next() % 100000u);
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

Col treeColour(const Tree& t, int x, int y)
{
    static const Col broad[] = {rgb(46, 98, 36), rgb(64, 112, 40), rgb(38, 86, 44), rgb(96, 124, 44)};
    static const Col bush[] = {rgb(70, 120, 44), rgb(56, 108, 50), rgb(90, 130, 52)};
    Col c;
    if (t.kind == 1) c = rgb(30, 70, 46);
    else if (t.kind == 2) c = bush[std::uint32_t(t.seed) % 3];
    else c = broad[std::uint32_t(t.seed) % 4];
    return c + grey(rndS(x, y, 700) * 5.0f);
}

// ---------------------------------------------------------------------------
// Painting helpers with vertical wrap

void blendW(Image& img, int x, int y, Col c, float a) { img.blend(x, wrapY(y), c, a); }
void darkW(Image& img, int x, int y, float f)
{
    if (x < 0 || x >= W) return;
    img.darken(x, wrapY(y), f);
}

// A crack: a wobbly dark hairline with a lighter lip, wrapped vertically.
void crack(Image& img, float x, float y, float dir, int steps, int seed, float x0, float x1, float strength = 1.0f)
{
    Rng rng{std::uint32_t(seed)};
    for (int i = 0; i < steps; ++i) {
        dir += rng.range(-0.5f, 0.5f);
        x += std::sin(dir) * 0.9f;
        y += std::cos(dir) * 0.9f;
        if (x < x0 || x > x1) break;
        const int ix = int(std::floor(x)), iy = int(std::floor(y));
        darkW(img, ix, iy, 1.0f - 0.45f * strength);
        blendW(img, ix + 1, iy + 1, rgb(120, 120, 122), 0.25f * strength);
        if (rng.uniform() < 0.04f) {  // little branch
            crack(img, x, y, dir + rng.range(-1.4f, 1.4f), steps / 4, int(rng.next() % 9999u), x0, x1, strength);
        }
    }
}

// Soft dark blob of spilt oil.
void oilStain(Image& img, float cx, float cy, float r, int seed)
{
    const int ir = int(r * 1.6f) + 2;
    for (int dy = -ir; dy <= ir; ++dy)
        for (int dx = -ir; dx <= ir; ++dx) {
            const float fx = float(dx), fy = float(dy);
            const float ang = std::atan2(fy, fx);
            const float rr = r * (0.75f + 0.45f * noise(ang * 1.3f + 10.0f, 0.0f, seed, 0, 0)) *
                             (0.85f + 0.3f * noise(fx * 0.3f, fy * 0.3f, seed + 1));
            const float d = std::hypot(fx, fy * 1.25f);
            const float a = smoothstep(rr, rr * 0.35f, d);
            if (a <= 0.0f) continue;
            const int x = int(cx) + dx, y = int(cy) + dy;
            const float splat = 0.5f + 0.5f * rnd(x, wrapY(y), seed);
            darkW(img, x, y, 1.0f - 0.42f * a * splat);
        }
}

// A pair of black skid marks, gently curving.
void skidMarks(Image& img, float x, float y, float len, float bend, int seed)
{
    for (int side = -1; side <= 1; side += 2)
        for (int i = 0; i < int(len); ++i) {
            const float t = float(i) / len;
            const float cx = x + float(side) * 11.0f + bend * t * t;
            const float fade = smoothstep(0.0f, 0.15f, t) * smoothstep(1.0f, 0.7f, t);
            for (int dx = -2; dx <= 2; ++dx) {
                const float a = fade * (1.0f - float(std::abs(dx)) * 0.3f) * (0.7f + 0.3f * rnd(i, dx, seed));
                darkW(img, int(cx) + dx, int(y) + i, 1.0f - 0.4f * a);
            }
        }
}

}  // namespace

Image drawRoad()
{
    Image img(W, H);

    // Ragged edges between materials, all wrapping with the picture.
    auto edge = [](int y, float at, float amp, int seed) {
        return at + amp * (tfbm(0.0f, float(y), 24.0f, seed, 2) - 0.5f) * 2.0f;
    };

    // Where the old asphalt still covers the cobbles of the outer lane.
    std::vector<float> remnant(std::size_t(W) * H, 0.0f);
    for (int y = 0; y < H; ++y)
        for (int x = 96; x < 166; ++x) {
            const float n = tfbm(float(x), float(y), 22.0f, 77, 3);
            const float bias = 0.32f * smoothstep(138.0f, 157.0f, float(x)) - 0.1f * smoothstep(118.0f, 104.0f, float(x));
            remnant[std::size_t(y) * W + std::size_t(x)] = (n + bias > 0.56f) ? 1.0f : 0.0f;
        }
    auto rem = [&](int x, int y) { return remnant[std::size_t(wrapY(y)) * W + std::size_t(std::clamp(x, 0, W - 1))]; };

    // --- Base materials -----------------------------------------------------
    for (int y = 0; y < H; ++y) {
        const float grassL = edge(y, 86.0f, 4.0f, 31);
        const float grassR = edge(y, 560.0f, 4.0f, 32);
        const float goodL = edge(y, kGoodLeft0, 1.5f, 33);
        for (int x = 0; x < W; ++x) {
            const float fx = float(x) + 0.5f;
            Col c;
            if (fx < grassL) c = grass(x, y, 10);
            else if (x < 97) c = gravel(x, y, 20);
            else if (x < 103) c = kerb(x, y, 97, 103, 30, 40, rgb(150, 148, 144));
            else if (fx < goodL) {
                // Old outer lane: cobbles, partly still under cracked asphalt.
                if (rem(x, y) > 0.5f) {
                    Col a = asphalt(x, y, 50) * 1.12f + rgb(6, 4, 0);
                    const Cells cl = cells(float(x) / 7.5f, float(y) / 7.5f, 51, 0, 64);
                    if (cl.f2 - cl.f1 < 0.09f) a = a * 0.55f;  // crazed surface
                    // Raised edge: lit towards the light, chipped away from it.
                    if (rem(x - 1, y - 1) < 0.5f) a = a * 1.25f;
                    c = a;
                } else {
                    c = cobble(x, y);
                    if (rem(x - 1, y - 1) > 0.5f || rem(x - 1, y) > 0.5f || rem(x, y - 1) > 0.5f) c = c * 0.55f;
                }
            } else if (x < int(kGoodLeft1)) c = asphalt(x, y, 60);
            else if (x < 280) c = kerb(x, y, 274, 280, 24, 41, rgb(168, 168, 164));
            else if (x < 365) c = grass(x, y, 11);
            else if (x < int(kGoodRight0)) c = kerb(x, y, 365, 371, 24, 42, rgb(168, 168, 164));
            else if (x < int(kGoodRight1)) c = asphalt(x, y, 61);
            else if (fx < grassR) c = gravel(x, y, 21);
            else c = grass(x, y, 12);
            img.at(x, y) = c;
        }
    }

    // Shade of the kerbs on the grass next to them.
    for (int y = 0; y < H; ++y) {
        img.darken(280, y, 0.7f);
        img.darken(281, y, 0.85f);
    }

    // --- Tyre tracks and oil line in each lane ------------------------------
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const bool good = (x >= int(kGoodLeft0) && x < int(kGoodLeft1)) || (x >= int(kGoodRight0) && x < int(kGoodRight1));
            const bool worn = x >= 103 && x < int(kGoodLeft0);
            if (!good && !worn) continue;
            float dark = 0.0f;
            for (std::size_t i = 0; i < std::size(kLanes); ++i) {
                const float c = kLanes[i] + 1.2f * std::sin(6.2831853f * float(y) * 2.0f / float(H) + float(i));
                for (int s = -1; s <= 1; s += 2) {
                    const float d = float(x) + 0.5f - (c + float(s) * 11.5f);
                    dark += 0.17f * std::exp(-d * d / (2.0f * 2.6f * 2.6f));
                }
                const float d = float(x) + 0.5f - c;
                dark += 0.07f * std::exp(-d * d / (2.0f * 3.5f * 3.5f));
            }
            dark *= 0.75f + 0.5f * tnoise(float(x), float(y), 30.0f, 88);
            if (worn) dark *= 0.5f;
            img.at(x, y) = img.at(x, y) * (1.0f - dark);
        }

    // --- Repairs, stains, skid marks ----------------------------------------
    // Tar patches on the old lane: darker rectangles with sealed seams.
    struct Patch {
        int x0, y0, x1, y1;
    };
    const Patch patches[] = {{110, 300, 150, 342}, {118, 60, 146, 84}, {112, 452, 138, 500}};
    for (const Patch& p : patches)
        for (int yy = p.y0; yy < p.y1; ++yy)
            for (int x = p.x0; x < p.x1; ++x) {
                const int y = wrapY(yy);
                Col a = asphalt(x, y, 70) * 0.86f;
                const bool seam = x == p.x0 || yy == p.y0 || x == p.x1 - 1 || yy == p.y1 - 1;
                if (seam) a = mix(a, rgb(34, 34, 36), 0.6f + 0.3f * rnd(x, y, 71));
                // Keep the tyre wear that was there before the repair, faintly.
                img.at(x, y) = mix(img.at(x, y), a, 0.8f);
            }

    // Potholes in the cobbled lane.
    struct Hole {
        float x, y, rx, ry;
    };
    const Hole holes[] = {{126.0f, 215.0f, 7.0f, 5.0f}, {140.0f, 470.0f, 5.0f, 6.5f}, {116.0f, 395.0f, 4.5f, 3.5f}};
    for (const Hole& h : holes)
        for (int dy = -10; dy <= 10; ++dy)
            for (int dx = -10; dx <= 10; ++dx) {
                const float fx = float(dx) / h.rx, fy = float(dy) / h.ry;
                const float wob = 0.15f * noise(float(dx) * 0.6f, float(dy) * 0.6f, int(h.x));
                const float d = std::sqrt(fx * fx + fy * fy) + wob;
                const int x = int(h.x) + dx, y = int(h.y) + dy;
                if (d < 1.0f) {
                    // Water at the bottom, reflecting the sky a little.
                    Col water = mix(rgb(40, 44, 52), rgb(86, 96, 112), clamp01(0.5f - fy * 0.5f - fx * 0.3f));
                    if (d > 0.8f) water = (fx + fy > 0.0f) ? rgb(118, 108, 96) : rgb(34, 30, 28);
                    blendW(img, x, y, water, 1.0f);
                } else if (d < 1.25f) {
                    darkW(img, x, y, 0.8f);
                }
            }

    oilStain(img, 190.0f, 40.0f, 7.0f, 1);
    oilStain(img, 243.0f, 330.0f, 9.0f, 2);
    oilStain(img, 403.0f, 120.0f, 8.0f, 3);
    oilStain(img, 458.0f, 470.0f, 10.0f, 4);  // wraps into the top
    oilStain(img, 512.0f, 260.0f, 6.0f, 5);
    oilStain(img, 457.0f, 300.0f, 5.0f, 6);
    oilStain(img, 134.0f, 150.0f, 8.0f, 7);

    skidMarks(img, 457.0f, 190.0f, 120.0f, 14.0f, 1);
    skidMarks(img, 187.0f, 400.0f, 110.0f, -10.0f, 2);  // runs over the wrap
    skidMarks(img, 512.0f, 20.0f, 70.0f, -6.0f, 3);

    // --- Markings -----------------------------------------------------------
    const Col paint = rgb(236, 236, 228);
    auto paintPixel = [&](int x, int y, float cover) {
        float a = cover * (0.9f - 0.3f * tnoise(float(x), float(y), 6.0f, 300));
        if (rnd(x, y, 301) < 0.07f) a *= 0.5f;
        const bool onCobble = x >= 103 && x < int(kGoodLeft0) - 2 && rem(x, y) < 0.5f;
        if (onCobble) a *= 0.45f;  // paint barely sticks to the stones
        img.blend(x, y, paint, a);
    };
    // Solid edge lines.
    const int solid[][2] = {{104, 107}, {266, 269}, {376, 379}, {537, 540}};
    for (const auto& s : solid)
        for (int y = 0; y < H; ++y)
            for (int x = s[0]; x < s[1]; ++x) paintPixel(x, y, 1.0f);
    // Dashed lane lines: 36 painted, 44 gap, period 80 (divides 480).
    struct Dash {
        int x;
        int phase;
    };
    const Dash dashes[] = {{159, 40}, {214, 40}, {429, 0}, {484, 0}};
    for (const Dash& d : dashes)
        for (int y = 0; y < H; ++y) {
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
        const float x = crackRng.range(106.0f, 154.0f), y = crackRng.range(0.0f, float(H));
        crack(img, x, y, crackRng.range(-0.6f, 0.6f), 30 + int(crackRng.next() % 40u), int(crackRng.next() % 9999u), 104.0f,
              158.0f);
    }
    const float fewCracks[][2] = {{170.0f, 250.0f}, {258.0f, 80.0f}, {385.0f, 300.0f}, {530.0f, 430.0f}, {470.0f, 30.0f}};
    for (const auto& c : fewCracks)
        crack(img, c[0], c[1], crackRng.range(-0.8f, 0.8f), 40, int(crackRng.next() % 9999u), c[0] - 14.0f, c[0] + 14.0f, 0.6f);

    // --- Crash barrier in the middle of the reservation ----------------------
    // Shadow first (the sun is to the upper left).
    for (int y = 0; y < H; ++y)
        for (int x = 330; x < 338; ++x) img.darken(x, y, x < 336 ? 0.6f : 0.8f);
    for (int y = 0; y < H; ++y) {
        // Gap between the two rails: shaded grass with posts every 40 rows.
        for (int x = 320; x < 326; ++x) img.darken(x, y, 0.5f);
        if (y % 40 < 5) {
            for (int x = 320; x < 326; ++x) {
                Col post = rgb(96, 98, 104);
                if (y % 40 == 0) post = rgb(140, 142, 148);
                if (x == 325 || y % 40 == 4) post = rgb(60, 60, 66);
                img.at(x, y) = post;
            }
        }
        // Two corrugated steel rails.
        static const float profile[] = {0.55f, 0.95f, 1.22f, 0.9f, 1.12f, 0.68f};
        for (int r = 0; r < 2; ++r) {
            const int x0 = r == 0 ? 314 : 326;
            const bool joint = (y + r * 40) % 80 == 0;
            for (int i = 0; i < 6; ++i) {
                Col steel = rgb(150, 156, 164) * profile[i];
                steel = steel + grey(4.0f * tnoise(float(i), float(y), 12.0f, 400 + r));
                if (joint) steel = steel * 0.7f;
                if ((y + r * 40) % 80 == 2 && (i == 1 || i == 4)) steel = rgb(60, 60, 64);  // bolts
                img.at(x0 + i, y) = steel;
            }
        }
    }

    // --- Trees, bushes and their shadows ------------------------------------
    const std::vector<Tree> trees = plantTrees();
    const Canopy canopy = buildCanopy(trees);
    // Shadows: the canopy shifted down and to the right.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const float hs = canopy.get(x - 7, y - 9);
            if (hs < 0.0f) continue;
            if (canopy.get(x, y) >= 0.0f) continue;
            img.at(x, y) = img.at(x, y) * (1.0f - 0.5f * smoothstep(0.0f, 1.5f, hs));
        }
    const float lx = -0.55f, ly = -0.7f, lz = 0.75f;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const float hc = canopy.get(x, y);
            if (hc < 0.0f) continue;
            const Tree& t = trees[std::size_t(canopy.tree[std::size_t(y) * W + std::size_t(x)])];
            auto hget = [&](int xx, int yy) {
                const float v = canopy.get(xx, yy);
                return v < 0.0f ? 0.0f : v;
            };
            const float gx = (hget(x + 1, y) - hget(x - 1, y)) * 0.5f;
            const float gy = (hget(x, y + 1) - hget(x, y - 1)) * 0.5f;
            float nx = -gx, ny = -gy, nz = 1.0f;
            const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
            nx /= len;
            ny /= len;
            nz /= len;
            const float dif = std::max(0.0f, nx * lx + ny * ly + nz * lz);
            // Crevices between lobes are darker.
            const float occl = smoothstep(0.0f, t.r * 0.35f, hc);
            Col c = treeColour(t, x, y) * (0.3f + 0.95f * dif) * (0.7f + 0.3f * occl);
            if (dif > 0.85f && rnd(x, y, 701) < 0.3f) c = c * 1.18f;  // sunlit leaves
            img.at(x, y) = c;
        }

    // Reflector posts on both verges, one every 80 rows.
    for (int k = 0; k < H / 80; ++k) {
        const int posts[][2] = {{92, k * 80 + 20}, {551, k * 80 + 60}};
        for (const auto& p : posts) {
            for (int dy = 0; dy < 3; ++dy)
                for (int dx = 0; dx < 3; ++dx) blendW(img, p[0] + dx + 2, p[1] + dy + 3, rgb(0, 0, 0), 0.35f);
            for (int dy = 0; dy < 3; ++dy)
                for (int dx = 0; dx < 3; ++dx) {
                    Col c = dy == 0 ? rgb(30, 30, 30) : rgb(236, 236, 230);
                    if (dx == 2 && dy > 0) c = rgb(196, 196, 190);
                    blendW(img, p[0] + dx, p[1] + dy, c, 1.0f);
                }
        }
    }

    return img;
}

}  // namespace gfx
