// PNG pictures of the visible screen.
#include "headless.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace headless {

bool WritePng(const std::string& path, const uint8_t* pixels, int pitch, int width, int height,
              const plat::PixelFormat& format) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);
    if (pixels != nullptr) {
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const uint16_t*>(
                pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch));
            for (int x = 0; x < width; ++x) {
                plat::PixelToRgb(row[x], format,
                                 &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) +
                                       static_cast<size_t>(x)) *
                                      3]);
            }
        }
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    // libpng reports its errors by a longjmp back to here from its own C frames: no destructor
    // is skipped, and the pixels above stay in scope.
    if (setjmp(png_jmpbuf(png))) {  // NOLINT(cert-err52-cpp)
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, &rgb[static_cast<size_t>(y) * static_cast<size_t>(width) * 3]);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

bool WriteScreenPng(const std::string& path) {
    plat::FrontView front = plat::Front();
    return WritePng(path, front.pixels, front.pitch, plat::kScreenWidth, plat::kScreenHeight,
                    front.format);
}

}  // namespace headless
