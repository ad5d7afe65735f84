// Autos.gfx - the car sprites, 279 x 141 on a magenta (transparent) ground.
//
// Nine columns, 31 pixels apart, each holding a 30 x 70 car. The top row
// drives up the screen (nose at the top), the bottom row (from y = 71) is the
// same cars flipped to drive down. Column 2 is the player's car, columns 5-9
// are the traffic.
//
// Each car is described by a handful of dimensions and painted per sample:
// the body is a rounded box whose height field is lit from the upper left,
// glass and lights are coloured directly. 4x4 samples per pixel; a pixel
// belongs to the car when at least half its samples do, so the sprites have
// hard edges and no magenta fringe.

#include "gfx.h"

namespace gfx {
namespace {

constexpr int kCarW = 30;
constexpr int kCarH = 70;

// The models, in the order of their columns in the picture.
enum class Kind { kHatch, kSports, kPickup, kRoadster, kSaloon, kVan, kTaxi, kPolice, kEstate };

// A model's dimensions, in pixels: u across from the centre line, v along from the nose.
struct Shape {
    float hw;                    // half width of the body
    float front, back;           // body extent along the car
    float rf, rb;                // corner radii at nose and tail
    float noseTaper, tailTaper;  // how much narrower nose and tail are
    float axleF, axleR;          // wheel centres
    float wheelLen;              // half length of a tyre
    float wheelOut;              // outer edge of the tyres (|u|)
    float ws, roofF, roofB, rw;  // windscreen base, roof front/back, rear window base
    float roofHw;                // half width of the roof
    float gloss;
};

// In the order of Kind: hw, front, back, rf, rb, noseTaper, tailTaper, axleF, axleR, wheelLen,
// wheelOut, ws, roofF, roofB, rw, roofHw, gloss.
constexpr Shape kShapes[] = {
    // Hatch: short and tall.
    {12.2, 7, 63, 5.5, 4.5, 1.4, 0.8, 18, 52, 4.6, 13.4, 21, 28, 53, 58.5, 8.6, 1},
    // Sports car, the player's: long bonnet, cabin set back, fat rear tyres.
    {13.4, 1.5, 68, 6, 3.5, 2.4, 0.4, 14, 52, 5.2, 14.6, 25, 32.5, 43.5, 51, 8.2, 1.4},
    // Pickup: short cab, long load bed.
    {13, 2, 68, 4, 2, 1.4, 0, 14.5, 54, 5, 14.4, 17, 23.5, 34, 36.5, 9.6, 0.7},
    // Roadster: no roof at all.
    {12.2, 4, 65, 6.5, 6, 2.2, 1.6, 16, 51, 4.6, 13.4, 23, 0, 0, 0, 0, 1.3},
    // Saloon: the medium car the others started from.
    {12.6, 2.5, 67.5, 5, 4, 1.4, 0.8, 15, 53, 4.6, 13.8, 20, 27, 43, 50, 8.6, 1},
    // Van: boxy, wide, short cab.
    {13.6, 1, 69, 4, 1.5, 1.6, 0, 11, 56, 4.8, 14.5, 8, 15.5, 68, 68, 12.6, 0.6},
    // Taxi: a saloon stretched a little.
    {12.6, 2, 68, 5, 4, 1.4, 0.8, 15, 53, 4.6, 13.8, 20, 27, 44, 51, 8.6, 0.9},
    // Police car: a saloon a little longer and wider.
    {12.8, 2, 68, 5, 4, 1.4, 0.8, 15, 53, 4.6, 13.8, 20.5, 27.5, 44.5, 51.5, 8.6, 1},
    // Estate: long roof right to the tail.
    {12.6, 2, 68.5, 5, 2.5, 1.4, 0.2, 15, 55, 4.6, 13.8, 19, 26, 59, 64, 8.6, 1},
};

// Paint and trim (stripes, livery, the police car's dark panels), in the order of Kind.
constexpr Col kColours[][2] = {
    {{104, 58, 164}, {0, 0, 0}},       // hatch
    {{226, 28, 22}, {246, 246, 240}},  // sports car
    {{232, 124, 24}, {0, 0, 0}},       // pickup
    {{182, 188, 198}, {0, 0, 0}},      // roadster
    {{30, 108, 66}, {0, 0, 0}},        // saloon
    {{232, 232, 226}, {40, 96, 200}},  // van
    {{246, 196, 30}, {0, 0, 0}},       // taxi
    {{236, 238, 240}, {34, 36, 44}},   // police car
    {{124, 26, 46}, {0, 0, 0}},        // estate
};

struct Sample {
    bool in;
    Col c;
};

// Sun from the upper left and a little in front of the viewer.
constexpr float kLx = -0.43f, kLy = -0.56f, kLz = 0.70f;
constexpr float kHx = -0.236f, kHy = -0.307f, kHz = 0.922f;

class CarPainter {
public:
    explicit CarPainter(Kind kind)
        : kind_(kind),
          c_(kShapes[int(kind)]),
          paint_(kColours[int(kind)][0]),
          trim_(kColours[int(kind)][1]) {}

    Sample At(float u, float v) const {
        const float sd = BodySd(u, v);
        const float au = std::fabs(u);
        if (sd < 0.0f) {
            Col col = Surface(u, v, sd);
            // Dark rim so the car reads against any road.
            if (sd > -0.8f) col = col * 0.6f;
            return {true, col};
        }
        // Door mirrors.
        if (kind_ != Kind::kVan && v > c_.ws + 0.3f && v < c_.ws + 2.6f && au < c_.hw + 1.5f &&
            au > c_.hw - 1.0f) {
            const bool tip = au > c_.hw + 0.8f;
            return {true, tip ? paint_ * 0.45f : Lit(paint_, u, v, 0.6f) * 0.85f};
        }
        // Tyres, peeking out beside the body.
        for (float axle : {c_.axleF, c_.axleR}) {
            if (std::fabs(v - axle) < c_.wheelLen && au < c_.wheelOut) {
                const bool tread = int(std::floor((v - axle + 20.0f) * 0.9f)) % 2 == 0;
                Col t = tread ? Rgb(30, 30, 34) : Rgb(18, 18, 20);
                if (std::fabs(v - axle) > c_.wheelLen - 0.7f) t = Rgb(14, 14, 16);
                if (u < 0.0f && au > c_.wheelOut - 0.6f) t = t + Grey(22.0f);  // lit shoulder
                return {true, t};
            }
        }
        return {false, {}};
    }

private:
    float HwAt(float v) const {
        float w = c_.hw;
        w -= c_.noseTaper * Sq(Clamp01((c_.front + 12.0f - v) / 12.0f));
        w -= c_.tailTaper * Sq(Clamp01((v - (c_.back - 10.0f)) / 10.0f));
        return w;
    }

    float BodySd(float u, float v) const {
        const float cy = 0.5f * (c_.front + c_.back), hy = 0.5f * (c_.back - c_.front);
        const float r = v < cy ? c_.rf : c_.rb;
        return SdBox(u, v, 0.0f, cy, HwAt(v), hy, r);
    }

    float RoofSd(float u, float v) const {
        if (c_.roofHw <= 0.0f) return 1.0f;
        const float hy = 0.5f * (c_.roofB - c_.roofF) - 0.9f * Sq(u / c_.roofHw);
        return SdBox(u, v, 0.0f, 0.5f * (c_.roofF + c_.roofB), c_.roofHw, hy, 2.2f);
    }

    // Half width of the glasshouse at v, or -1 outside it.
    float GlassHw(float u, float v) const {
        const float wsEdge = c_.ws + 1.8f * Sq(u / c_.hw);
        const float rwEdge = c_.rw - 1.4f * Sq(u / c_.hw);
        if (v < wsEdge || v > rwEdge) return -1.0f;
        const float side = c_.roofHw + 1.4f;
        if (v < c_.roofF)
            return Lerp(HwAt(v) - 1.5f, side, Clamp01((v - c_.ws) / (c_.roofF - c_.ws)));
        if (v > c_.roofB)
            return Lerp(side, HwAt(v) - 1.8f, Clamp01((v - c_.roofB) / (c_.rw - c_.roofB)));
        return side;
    }

    bool Spoiler(float u, float v) const {
        return kind_ == Kind::kSports && v > c_.back - 7.0f && v < c_.back - 3.8f &&
               std::fabs(u) < c_.hw - 0.6f;
    }

    // What some models carry on the body: Height() raises or sinks it, Surface() colours it.
    bool LoadBed(float au, float v) const {
        return v > c_.rw + 2.0f && v < c_.back - 2.4f && au < c_.hw - 1.8f;
    }
    bool TaxiSign(float au, float v) const {
        return au < 4.6f && v > c_.roofF + 3.0f && v < c_.roofF + 7.0f;
    }
    bool LightBar(float au, float v) const {
        return au < 7.2f && v > c_.roofF + 2.5f && v < c_.roofF + 5.5f;
    }
    bool RoofRail(float au, float v) const {
        return au > c_.roofHw - 1.8f && au < c_.roofHw - 0.6f && v > c_.roofF + 2.0f &&
               v < c_.roofB - 1.0f;
    }

    float Height(float u, float v) const {
        const float sd = BodySd(u, v);
        if (sd >= 0.0f) return 0.0f;
        float h = Smoothstep(0.0f, 3.4f, -sd);
        const float au = std::fabs(u);
        h += 0.45f * Smoothstep(0.0f, 1.3f, -RoofSd(u, v));
        switch (kind_) {
            case Kind::kSports:
                if (Spoiler(u, v)) h += 0.55f;
                // Bulges over the wheels.
                h += 0.12f * std::exp(-Sq(au - (c_.hw - 3.5f)) / 4.0f) *
                     (std::exp(-Sq(v - c_.axleF) / 30.0f) + std::exp(-Sq(v - c_.axleR) / 30.0f));
                break;
            case Kind::kVan:
                if (v > c_.roofF + 3.0f && v < c_.back - 2.0f && au < c_.roofHw - 1.0f) {
                    // Pressed ribs across the roof panel.
                    h += 0.05f * std::cos((v - c_.roofF) * 6.2831853f / 6.0f);
                }
                break;
            case Kind::kPickup:
                if (LoadBed(au, v)) h -= 0.5f;
                break;
            case Kind::kRoadster:
                if (Cockpit(u, v)) h -= 0.45f;
                break;
            case Kind::kTaxi:
                if (TaxiSign(au, v)) h += 0.5f;
                break;
            case Kind::kPolice:
                if (LightBar(au, v)) h += 0.45f;
                break;
            case Kind::kEstate:
                if (RoofRail(au, v)) h += 0.3f;
                break;
            default: break;
        }
        // A soft crease along the bonnet.
        if (v < c_.ws && kind_ != Kind::kVan) h += 0.06f * std::exp(-Sq(au - 5.5f) / 1.5f);
        return h;
    }

    Col Lit(Col base, float u, float v, float gloss) const {
        const float e = 0.45f;
        const float gx = (Height(u + e, v) - Height(u - e, v)) / (2.0f * e);
        const float gy = (Height(u, v + e) - Height(u, v - e)) / (2.0f * e);
        float nx = -gx * 2.2f, ny = -gy * 2.2f, nz = 1.0f;
        Normalise(nx, ny, nz);
        const float dif = std::max(0.0f, nx * kLx + ny * kLy + nz * kLz);
        const float nh = std::max(0.0f, nx * kHx + ny * kHy + nz * kHz);
        const float shine = std::pow(nh, 28.0f) * gloss;
        return base * (0.36f + 0.8f * dif) + Grey(150.0f * shine);
    }

    bool Cockpit(float u, float v) const {
        return kind_ == Kind::kRoadster && v > c_.ws + 3.2f && v < c_.ws + 19.0f &&
               std::fabs(u) < c_.hw - 2.6f - 0.8f * Sq(Clamp01((v - (c_.ws + 15.0f)) / 4.0f));
    }

    Col Glass(float u, float v, float along, bool front) const {
        // along: 0 at the edge towards the bodywork, 1 at the roof.
        Col g = front ? Mix(Rgb(92, 116, 140), Rgb(26, 34, 48), along)
                      : Mix(Rgb(60, 72, 92), Rgb(22, 28, 40), along);
        // Diagonal streak of reflected sky.
        const float streak = std::fabs((v + u * 0.7f) - (front ? c_.ws + 3.0f : c_.rw - 3.5f));
        if (streak < 1.1f) g = Mix(g, Rgb(190, 210, 225), 0.55f * (1.0f - streak / 1.1f));
        return g;
    }

    Col PaintAt(float u, float v) const {
        const float au = std::fabs(u);
        switch (kind_) {
            case Kind::kSports:
                if (au > 1.3f && au < 4.2f) return trim_;  // twin racing stripes
                break;
            case Kind::kPolice:
                // Dark bonnet and boot, white doors and roof.
                if (v < c_.ws + 1.8f * Sq(u / c_.hw) || v > c_.rw - 1.0f) return trim_;
                break;
            case Kind::kTaxi:
                if (au > c_.hw - 2.9f && au < c_.hw - 1.2f && v > c_.ws + 4.0f &&
                    v < c_.rw - 3.0f) {
                    const int cu = int(std::floor(au * 0.9f)), cv = int(std::floor(v * 0.55f));
                    return (cu + cv) % 2 ? Rgb(24, 24, 24) : Rgb(240, 240, 236);
                }
                break;
            case Kind::kVan:
                if (v > c_.roofF + 1.0f && au > c_.roofHw - 3.6f && au < c_.roofHw - 1.6f)
                    return trim_;
                if (v < c_.ws + 2.0f) return trim_;  // cab front in the livery colour
                break;
            default: break;
        }
        return paint_;
    }

    Col Surface(float u, float v, float sd) const {
        const float au = std::fabs(u);
        const float hw = HwAt(v);

        // Lamps and grille at the nose.
        if (v < c_.front + 3.4f && sd < -0.4f) {
            if (au > hw - 7.2f && au < hw - 1.3f) {
                const float cx = hw - 4.2f;
                const float d = std::hypot((au - cx) / 3.0f, (v - (c_.front + 1.8f)) / 1.6f);
                if (d < 1.0f) return Mix(Rgb(255, 252, 226), Rgb(196, 190, 160), d * d);
            }
            if (au < hw - 7.6f && v < c_.front + 2.4f && kind_ != Kind::kRoadster) {
                return (int(std::floor(v * 2.0f)) % 2) ? Rgb(30, 32, 36) : Rgb(70, 72, 78);
            }
        }
        // Tail lights and bumper.
        if (v > c_.back - 3.2f && sd < -0.3f) {
            if (au > hw - 6.4f && au < hw - 1.2f) {
                const bool core =
                    v > c_.back - 2.4f && v < c_.back - 1.0f && au > hw - 5.0f && au < hw - 2.2f;
                return core ? Rgb(255, 96, 76) : Rgb(196, 20, 24);
            }
            if (v > c_.back - 1.2f) return Rgb(48, 48, 52);
        }

        // Extras that only some models have on top of the body.
        switch (kind_) {
            case Kind::kSports:
                if (Spoiler(u, v)) {
                    Col base = PaintAt(u, v) * 0.92f;
                    if (au > c_.hw - 2.0f) base = Rgb(36, 36, 40);  // end plates
                    return Lit(base, u, v, c_.gloss);
                }
                // Bonnet vents.
                if (v > c_.front + 9.0f && v < c_.front + 15.0f && au > 6.0f && au < 9.5f &&
                    int(std::floor((v - c_.front) * 0.5f)) % 2 == 0)
                    return Rgb(40, 16, 16);
                break;
            case Kind::kPickup:
                if (LoadBed(au, v)) {
                    // Load bed with ribs, and a wooden crate.
                    const float cu = u + 3.5f, cvv = v - (c_.rw + 7.5f);
                    if (std::fabs(cu) < 4.3f && std::fabs(cvv) < 4.3f) {
                        Col wood = Rgb(170, 126, 72);
                        if (std::fabs(cu) > 3.4f || std::fabs(cvv) > 3.4f) wood = Rgb(120, 84, 44);
                        if (std::fabs(cu - cvv) < 0.6f) wood = Rgb(132, 94, 50);
                        return Lit(wood, u, v, 0.1f) * 1.1f;
                    }
                    const bool rib = std::fmod(au + 100.0f, 3.5f) < 0.9f;
                    Col bed = rib ? Rgb(92, 92, 96) : Rgb(58, 58, 62);
                    if (v < c_.rw + 3.2f || au > c_.hw - 3.0f)
                        bed = bed * 0.6f;  // shade under the walls
                    return bed;
                }
                break;
            case Kind::kRoadster:
                if (Cockpit(u, v)) {
                    const float seatV = c_.ws + 9.5f;
                    const float sdSeat = std::min(SdBox(u, v, -4.2f, seatV, 2.9f, 4.6f, 1.6f),
                                                  SdBox(u, v, 4.2f, seatV, 2.9f, 4.6f, 1.6f));
                    if (sdSeat < 0.0f) {
                        Col leather = Rgb(150, 70, 44);
                        if (sdSeat > -0.6f) leather = leather * 0.6f;
                        if (v > seatV + 2.5f)
                            leather = leather * 1.15f;  // backrest top catches light
                        return leather;
                    }
                    // Steering wheel.
                    const float dw = std::hypot(u + 4.2f, v - (c_.ws + 4.6f));
                    if (std::fabs(dw - 1.9f) < 0.55f) return Rgb(20, 20, 22);
                    // Roll hoops behind the seats.
                    if (v > c_.ws + 15.4f && v < c_.ws + 16.8f && au > 1.2f && au < 7.4f)
                        return Rgb(200, 204, 210);
                    return Rgb(40, 34, 32);
                }
                break;
            case Kind::kTaxi:
                if (TaxiSign(au, v)) {
                    Col sign = Rgb(250, 244, 196);
                    if (std::fabs(v - (c_.roofF + 5.0f)) < 0.6f && au < 3.4f)
                        sign = Rgb(40, 36, 30);
                    return Lit(sign, u, v, 0.3f);
                }
                break;
            case Kind::kPolice:
                if (LightBar(au, v)) {
                    if (au < 1.4f) return Rgb(60, 60, 66);
                    const Col lamp = u < 0.0f ? Rgb(50, 110, 255) : Rgb(255, 46, 40);
                    const bool hot =
                        std::fabs(v - (c_.roofF + 3.7f)) < 0.8f && au > 3.0f && au < 5.6f;
                    return hot ? Mix(lamp, Rgb(255, 255, 255), 0.6f) : lamp;
                }
                break;
            case Kind::kEstate:
                if (RoofRail(au, v)) return Lit(Rgb(170, 172, 178), u, v, 0.5f);
                break;
            case Kind::kVan:
                // Roof hatch.
                if (std::fabs(u) < 4.0f && std::fabs(v - (c_.roofF + 22.0f)) < 3.5f) {
                    const float d = SdBox(u, v, 0.0f, c_.roofF + 22.0f, 4.0f, 3.5f, 1.0f);
                    if (d > -0.7f) return Rgb(110, 112, 118);
                    return Lit(Rgb(200, 204, 210), u, v, 0.4f);
                }
                break;
            default: break;
        }

        // Glass.
        const float g = kind_ == Kind::kRoadster ? -1.0f : GlassHw(u, v);
        if (g > 0.0f && au < g && RoofSd(u, v) > 0.0f) {
            if (v < c_.roofF || v > c_.roofB) {
                // Windscreen with the A pillars, or rear window with the C pillars.
                const bool front = v < c_.roofF;
                const float t = front ? Clamp01((v - c_.ws) / (c_.roofF - c_.ws))
                                      : Clamp01((c_.rw - v) / (c_.rw - c_.roofB));
                const float pillar = Lerp(HwAt(v) - (front ? 1.5f : 1.8f), c_.roofHw, t);
                if (std::fabs(au - pillar) < 0.5f) return Lit(paint_ * 0.75f, u, v, 0.3f);
                if (au < pillar) return Glass(u, v, t, front);
                return Glass(u, v, 0.8f, false) * 0.8f;
            }
            // Side windows with a B pillar.
            if (std::fabs(v - 0.5f * (c_.roofF + c_.roofB) - 1.0f) < 0.6f)
                return Lit(paint_ * 0.7f, u, v, 0.2f);
            return Glass(u, v, 0.9f, false) * 0.75f;
        }
        // Roadster: a short, steep windscreen.
        if (kind_ == Kind::kRoadster && v > c_.ws + 1.6f * Sq(u / c_.hw) && v < c_.ws + 3.2f &&
            au < hw - 1.6f) {
            if (au > hw - 2.4f) return Rgb(190, 194, 200);  // frame
            return Glass(u, v, (v - c_.ws) / 3.2f, true);
        }

        // Paintwork.
        Col base = PaintAt(u, v);
        const bool onRoof = RoofSd(u, v) < 0.0f;
        if (onRoof && kind_ != Kind::kVan) base = base * 1.04f;
        return Lit(base, u, v, c_.gloss);
    }

    Kind kind_;
    const Shape& c_;
    Col paint_, trim_;
};

void PaintCar(Image& img, Kind kind) {
    const CarPainter painter(kind);
    const int x0 = 31 * int(kind);
    constexpr int kSS = 4;
    for (int y = 0; y < kCarH; ++y)
        for (int x = 0; x < kCarW; ++x) {
            Col sum{};
            int hits = 0;
            for (int sy = 0; sy < kSS; ++sy)
                for (int sx = 0; sx < kSS; ++sx) {
                    const float u = float(x) + (float(sx) + 0.5f) / kSS - 15.0f;
                    const float v = float(y) + (float(sy) + 0.5f) / kSS;
                    const Sample s = painter.At(u, v);
                    if (!s.in) continue;
                    sum = sum + s.c;
                    ++hits;
                }
            if (hits * 2 < kSS * kSS) continue;
            Col c = sum * (1.0f / float(hits));
            c = ClampColour(c);
            img.At(x0 + x, y) = c;
            img.At(x0 + x, 140 - y) = c;  // the same car driving down
        }
}

}  // namespace

Image DrawCars() {
    Image img(279, 141, kTransparent);
    for (int i = 0; i < int(std::size(kShapes)); ++i) PaintCar(img, Kind(i));
    return img;
}

}  // namespace gfx
