// The .gfx picture loader: PCX data decoded into a DIB and drawn onto a new offscreen
// surface by GDI, which converts it to the display's pixel format.
#include "assets.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

GfxImage RoadImage = nullptr;
GfxImage CarsImage = nullptr;
GfxImage BackImage = nullptr;
GfxImage StatusImage = nullptr;

namespace {

constexpr int kHeaderSize = 128;
constexpr int kPaletteMarker = 12;

uint32_t Word(const uint8_t* header, int offset) {
    return static_cast<uint32_t>(header[offset]) | (static_cast<uint32_t>(header[offset + 1]) << 8);
}

struct DibInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};
static_assert(sizeof(DibInfo) == 1064, "a BITMAPINFO with 256 colours");

// Bit tests of the plane conversion.
constexpr uint8_t kHighBit[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
constexpr uint8_t kLowBit[8] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};

// Decodes one run-length encoded scan line; false once the data has ended.
bool DecodeLine(std::FILE* file, uint8_t* line, int32_t length) {
    int32_t stored = 0;
    while (stored < length) {
        if (std::feof(file) || std::ferror(file)) break;
        int b = std::fgetc(file);
        if (b == EOF) break;
        if ((b & 0xC0) == 0xC0) {
            int count = b & 0x3F;
            int v = std::fgetc(file);
            if (v == EOF) break;
            for (int i = 0; i < count && stored < length; ++i)
                line[stored++] = static_cast<uint8_t>(v);
        } else {
            line[stored++] = static_cast<uint8_t>(b);
        }
    }
    if (stored < length) {
        // The data ended inside the line: the rest of it is black.
        std::memset(line + stored, 0, static_cast<size_t>(length - stored));
        return false;
    }
    return true;
}

}  // namespace

int32_t DibRowStride(int32_t& bitCount, int32_t width) {
    if (width <= 0 || width > kGfxMaxSide) return 0;
    int32_t length = 0;
    if (bitCount == 1) {
        length = (width + 7) / 8;
    } else if (bitCount >= 2 && bitCount <= 4) {
        length = ((width + 7) / 8) * 4;
        bitCount = 4;
    } else if (bitCount >= 5 && bitCount <= 8) {
        length = width;
        bitCount = 8;
    } else if (bitCount >= 9) {
        length = width * 3;
        bitCount = 24;
    }
    if ((length & 3) != 0) length = (length | 3) + 1;
    return length;
}

GfxImage DirectDrawDevice::LoadGfxImage(LPDIRECTDRAW directDraw, const char* fileName) {
    if (directDraw == nullptr || fileName == nullptr) return nullptr;
    std::FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) return nullptr;
    struct Closer {
        std::FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{file};

    uint8_t header[kHeaderSize];
    if (std::fread(header, 1, kHeaderSize, file) != kHeaderSize) return nullptr;
    if (header[0] != 10) return nullptr;

    int32_t width =
        static_cast<int32_t>(Word(header, 8)) - static_cast<int32_t>(Word(header, 4)) + 1;
    int32_t height =
        static_cast<int32_t>(Word(header, 10)) - static_cast<int32_t>(Word(header, 6)) + 1;
    int32_t planes = header[65];
    int32_t bitCount = static_cast<int32_t>(header[3]) * planes;
    int32_t lineLength = static_cast<int32_t>(Word(header, 66)) * planes;
    // No picture without pixels, and none too large to hold safely.
    if (width <= 0 || height <= 0 || width > kGfxMaxSide || height > kGfxMaxSide) return nullptr;
    int32_t rowLength = DibRowStride(bitCount, width);
    if (rowLength <= 0 || planes <= 0) return nullptr;

    uint8_t palette[256 * 3];
    std::memset(palette, 0, sizeof palette);
    if (bitCount <= 8) {
        if (bitCount == 1) {
            std::memset(palette + 3, 255, 3);
        } else if (bitCount == 4) {
            std::memcpy(palette, header + 16, 48);
        } else if (std::fseek(file, -769, SEEK_END) == 0 && std::fgetc(file) == kPaletteMarker) {
            if (std::fread(palette, 1, sizeof palette, file) != sizeof palette) {
                std::memset(palette, 0, sizeof palette);
            }
        }
    }

    // Rows outside the data, and row padding, stay black. Every row takes exactly rowLength
    // bytes, whatever the header says a scan line holds, so that is all the buffer needs.
    std::unique_ptr<uint8_t[]> dib(
        new (std::nothrow) uint8_t[static_cast<size_t>(rowLength) * static_cast<size_t>(height)]());
    if (!dib) return nullptr;
    int32_t lineBuffer = std::max({width, lineLength, rowLength});
    std::unique_ptr<uint8_t[]> decoded(new (std::nothrow)
                                           uint8_t[static_cast<size_t>(lineBuffer)]());
    std::unique_ptr<uint8_t[]> converted(new (std::nothrow)
                                             uint8_t[static_cast<size_t>(lineBuffer)]());
    if (!decoded || !converted) return nullptr;

    std::fseek(file, kHeaderSize, SEEK_SET);
    const int32_t planeBytes = lineLength / planes;
    for (int32_t line = 0; line < height; ++line) {
        // The DIB is bottom-up: the picture's first line is its last row.
        uint8_t* destination =
            dib.get() + static_cast<size_t>(height - 1 - line) * static_cast<size_t>(rowLength);
        bool whole = DecodeLine(file, decoded.get(), lineLength);
        if (planes == 1) {
            int32_t n = std::min(lineLength, rowLength);
            std::memcpy(destination, decoded.get(), static_cast<size_t>(n));
        } else if (planes <= 4 && bitCount == 24) {
            // Planes red, green, blue become blue, green, red pixels; a missing plane is 0.
            std::memset(converted.get(), 0, static_cast<size_t>(rowLength));
            int32_t out = 0;
            for (int32_t i = 0; i < planeBytes && out + 3 <= rowLength; ++i) {
                for (int32_t plane = 2; plane >= 0; --plane) {
                    converted[out++] = plane < planes ? decoded[plane * planeBytes + i] : 0;
                }
            }
            std::memcpy(destination, converted.get(), static_cast<size_t>(rowLength));
        } else if (planes <= 4) {
            // Bit planes become 4-bit pixels, two to a byte, plane p giving bit p.
            std::memset(converted.get(), 0, static_cast<size_t>(rowLength));
            int32_t out = 0;
            for (int32_t i = 0; i < planeBytes && out < rowLength; ++i) {
                for (size_t k = 0; k < 4 && out < rowLength; ++k) {
                    uint8_t value = 0;
                    for (int32_t plane = 0; plane < planes; ++plane) {
                        uint8_t bits = decoded[plane * planeBytes + i];
                        if ((bits & kHighBit[2 * k]) != 0)
                            value |= static_cast<uint8_t>(kLowBit[4 + plane]);
                        if ((bits & kHighBit[2 * k + 1]) != 0) value |= kLowBit[plane];
                    }
                    converted[out++] = value;
                }
            }
            std::memcpy(destination, converted.get(), static_cast<size_t>(rowLength));
        }
        if (!whole) break;  // the data has ended: the rows above stay black
    }

    DibInfo info;
    std::memset(&info, 0, sizeof info);
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bitCount);
    info.header.biCompression = BI_RGB;
    if (bitCount <= 8) {
        for (size_t i = 0; i < 256; ++i) {
            info.colours[i].rgbRed = palette[3 * i];
            info.colours[i].rgbGreen = palette[3 * i + 1];
            info.colours[i].rgbBlue = palette[3 * i + 2];
            info.colours[i].rgbReserved = 0;
        }
    }

    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    GfxImage image = nullptr;
    if (directDraw->CreateSurface(&desc, &image, nullptr) < 0 || image == nullptr) return nullptr;
    HDC dc = nullptr;
    if (image->GetDC(&dc) == DD_OK) {
        StretchDIBits(dc, 0, 0, width, height, 0, 0, width, height, dib.get(),
                      reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
        image->ReleaseDC(dc);
    }
    return image;
}
