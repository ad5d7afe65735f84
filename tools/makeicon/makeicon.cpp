// makeicon - paints Asphaltix's icon: the player's red car from above, on a tile of asphalt
// between two lane markings.
//
//   makeicon OUTDIR
//
// Writes OUTDIR/asphaltix-N.png for the sizes a desktop's icon theme asks for (16 to 256
// pixels), each painted at its own size so that small ones stay sharp, and
// OUTDIR/asphaltix_icon.h, the 64-pixel icon as RGBA bytes for the game's window.

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "../makegfx/gfx.h"
#include "../tool_main.h"

namespace {

using gfx::Col;
using gfx::Rgb;

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
constexpr int kWindowIconSize = 64;

struct Sample {
    Col colour;
    float alpha;
};

// The icon at a point (x and y from 0 to 1 across the tile); alpha 0 outside the tile.
Sample Paint(float x, float y) {
    const float tile = gfx::SdBox(x, y, 0.5f, 0.5f, 0.47f, 0.47f, 0.16f);
    if (tile > 0.0f) return {Col{}, 0.0f};
    // Asphalt, lit from the top, with a lighter rim.
    Col c = gfx::Mix(Rgb(70, 74, 84), Rgb(34, 36, 42), y);
    if (tile > -0.025f) c = gfx::Mix(c, Rgb(150, 154, 166), 0.7f);
    // Lane markings, dashed, on both sides of the car, clear of the tile's corners.
    for (float lane : {0.17f, 0.83f}) {
        const float dash = std::fmod(y - 0.12f + 0.26f, 0.26f);
        if (std::fabs(x - lane) < 0.032f && dash < 0.14f && y > 0.1f && y < 0.9f) {
            c = Rgb(236, 236, 226);
        }
    }
    // The car's shadow, its wheels, then the car: a red body with rounded ends, two white
    // stripes, dark windows front and back and headlights at the front.
    if (gfx::SdBox(x, y, 0.53f, 0.53f, 0.2f, 0.39f, 0.11f) < 0.0f) c = c * 0.45f;
    for (float wy : {0.28f, 0.72f}) {
        if (gfx::SdBox(x, y, 0.5f, wy, 0.225f, 0.07f, 0.02f) < 0.0f) c = Rgb(18, 18, 20);
    }
    const float body = gfx::SdBox(x, y, 0.5f, 0.5f, 0.2f, 0.39f, 0.11f);
    if (body < 0.0f) {
        const float lit = gfx::Clamp01(0.6f - (x - 0.3f) * 1.2f);
        c = gfx::Mix(Rgb(150, 16, 14), Rgb(236, 44, 34), lit);
        if (body > -0.02f) c = Rgb(90, 8, 8);
        if (std::fabs(x - 0.5f) > 0.02f && std::fabs(x - 0.5f) < 0.08f) c = Rgb(244, 244, 236);
        const bool front =
            y > 0.3f && y < 0.41f && std::fabs(x - 0.5f) < 0.16f - (0.41f - y) * 0.35f;
        const bool rear = y > 0.7f && y < 0.78f && std::fabs(x - 0.5f) < 0.14f;
        if (front || rear) {
            c = gfx::Mix(Rgb(24, 30, 44), Rgb(80, 104, 140), front ? (0.41f - y) * 6.0f : 0.2f);
        }
        if (y < 0.16f && std::fabs(std::fabs(x - 0.5f) - 0.13f) < 0.035f) c = Rgb(255, 236, 160);
    }
    return {c, 1.0f};
}

// RGBA bytes of the icon at `size` pixels, each pixel the mean of 4 x 4 samples.
std::vector<unsigned char> Draw(int size) {
    std::vector<unsigned char> rgba(static_cast<size_t>(size) * static_cast<size_t>(size) * 4);
    constexpr int kSub = 4;
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    const Sample s = Paint((float(px) + (float(sx) + 0.5f) / kSub) / float(size),
                                           (float(py) + (float(sy) + 0.5f) / kSub) / float(size));
                    r += s.colour.r * s.alpha;
                    g += s.colour.g * s.alpha;
                    b += s.colour.b * s.alpha;
                    a += s.alpha;
                }
            }
            unsigned char* out = &rgba[(static_cast<size_t>(py) * static_cast<size_t>(size) +
                                        static_cast<size_t>(px)) *
                                       4];
            // Colours are stored unmultiplied by their coverage.
            const float cover = a > 0.0f ? a : 1.0f;
            out[0] = static_cast<unsigned char>(std::lround(std::clamp(r / cover, 0.0f, 255.0f)));
            out[1] = static_cast<unsigned char>(std::lround(std::clamp(g / cover, 0.0f, 255.0f)));
            out[2] = static_cast<unsigned char>(std::lround(std::clamp(b / cover, 0.0f, 255.0f)));
            out[3] = static_cast<unsigned char>(std::lround(255.0f * a / (kSub * kSub)));
        }
    }
    return rgba;
}

bool WritePng(const std::filesystem::path& path, int size, const std::vector<unsigned char>& rgba) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "makeicon: cannot open %s for writing\n", path.c_str());
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = info != nullptr && setjmp(png_jmpbuf(png)) == 0;
    if (ok) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 8,
                     PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < size; ++y) {
            png_write_row(png, &rgba[static_cast<size_t>(y) * static_cast<size_t>(size) * 4]);
        }
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::fprintf(stderr, "makeicon: error writing %s\n", path.c_str());
    return ok;
}

std::string Header(const std::vector<unsigned char>& rgba) {
    std::string out =
        "// The game's window icon, made by makeicon: RGBA bytes, row by row from the top.\n"
        "#pragma once\n\n"
        "constexpr int kIconSize = " +
        std::to_string(kWindowIconSize) + ";\nconstexpr unsigned char kIconRgba[] = {";
    for (size_t i = 0; i < rgba.size(); ++i) {
        out += i % 16 == 0 ? "\n    " : " ";
        out += std::to_string(rgba[i]) + ",";
    }
    return out + "\n};\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path dir;
    if (!tool::OutputFolder(argc, argv, "makeicon", dir)) return 2;
    bool ok = true;
    for (int size : kSizes) {
        const std::vector<unsigned char> rgba = Draw(size);
        ok = WritePng(dir / ("asphaltix-" + std::to_string(size) + ".png"), size, rgba) && ok;
        if (size == kWindowIconSize) {
            const std::string header = Header(rgba);
            ok = tool::WriteFile("makeicon", dir / "asphaltix_icon.h", header.data(),
                                 header.size()) &&
                 ok;
        }
    }
    return ok ? 0 : 1;
}
