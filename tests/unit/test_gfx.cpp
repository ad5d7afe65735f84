// The .gfx picture loader: PCX files of every plane and bit layout, written into a temporary
// folder and loaded onto offscreen surfaces.
#include "../support/support.h"

#include "../../src/assets/assets.h"
#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

using Bytes = std::vector<uint8_t>;

uint16_t Pack565(int r, int g, int b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

uint16_t Pack555(int r, int g, int b) {
    return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

// A PCX picture to be written: header fields, decoded scan lines (each bytesPerLine × planes
// bytes) and an optional 256-colour palette at the end.
struct Pcx {
    int bitsPerPixel = 8;
    int planes = 1;
    int xmin = 0;
    int ymin = 0;
    int xmax = 0;
    int ymax = 0;
    int bytesPerLine = 0;
    uint8_t colourMap[48] = {};
    std::vector<Bytes> lines;
    bool withPalette = false;
    uint8_t marker = 12;
    uint8_t palette[768] = {};

    Pcx(int width, int height, int bpp, int planeCount, int lineBytes) {
        xmax = width - 1;
        ymax = height - 1;
        bitsPerPixel = bpp;
        planes = planeCount;
        bytesPerLine = lineBytes;
        lines.assign(static_cast<size_t>(height), Bytes(static_cast<size_t>(lineBytes * planeCount), 0));
    }

    Bytes Header() const {
        Bytes h(128, 0);
        h[0] = 10;
        h[1] = 5;
        h[2] = 1;
        h[3] = static_cast<uint8_t>(bitsPerPixel);
        auto word = [&h](int at, int v) {
            h[static_cast<size_t>(at)] = static_cast<uint8_t>(v & 0xFF);
            h[static_cast<size_t>(at) + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
        };
        word(4, xmin);
        word(6, ymin);
        word(8, xmax);
        word(10, ymax);
        word(12, 72);
        word(14, 72);
        std::memcpy(h.data() + 16, colourMap, 48);
        h[65] = static_cast<uint8_t>(planes);
        word(66, bytesPerLine);
        word(68, 1);
        return h;
    }

    static void EncodeLine(const Bytes& line, Bytes& out) {
        size_t i = 0;
        while (i < line.size()) {
            size_t run = 1;
            while (i + run < line.size() && run < 63 && line[i + run] == line[i]) ++run;
            if (run == 1 && line[i] < 0xC0) {
                out.push_back(line[i]);
            } else {
                out.push_back(static_cast<uint8_t>(0xC0 | run));
                out.push_back(line[i]);
            }
            i += run;
        }
    }

    Bytes Encode() const {
        Bytes out = Header();
        for (const Bytes& line : lines) EncodeLine(line, out);
        if (withPalette) {
            out.push_back(marker);
            out.insert(out.end(), palette, palette + 768);
        }
        return out;
    }

    void Colour(int i, int r, int g, int b) {
        palette[3 * i] = static_cast<uint8_t>(r);
        palette[3 * i + 1] = static_cast<uint8_t>(g);
        palette[3 * i + 2] = static_cast<uint8_t>(b);
    }
    void MapColour(int i, int r, int g, int b) {
        colourMap[3 * i] = static_cast<uint8_t>(r);
        colourMap[3 * i + 1] = static_cast<uint8_t>(g);
        colourMap[3 * i + 2] = static_cast<uint8_t>(b);
    }
    // Byte i of plane p of scan line y.
    uint8_t& At(int y, int plane, int i) {
        return lines[static_cast<size_t>(y)][static_cast<size_t>(plane * bytesPerLine + i)];
    }
};

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    if (!bytes.empty()) {
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    std::fclose(f);
}

int OpenFiles() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
    return count;
}

// A loaded picture's surface: its size and pixels; releases the surface.
struct Loaded {
    GfxImage image = nullptr;
    int width = 0;
    int height = 0;
    std::vector<uint16_t> pixels;

    explicit Loaded(GfxImage loaded) : image(loaded) {
        if (image == nullptr) return;
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (image->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) {
            ADD_FAILURE() << "cannot lock the picture";
            return;
        }
        width = static_cast<int>(desc.dwWidth);
        height = static_cast<int>(desc.dwHeight);
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(desc.lpSurface) +
                                                                y * desc.lPitch);
            pixels.insert(pixels.end(), row, row + width);
        }
        EXPECT_EQ(image->Unlock(nullptr), DD_OK);
    }
    ~Loaded() {
        if (image != nullptr) image->Release();
    }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;
    uint16_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

class GfxLoader : public ::testing::Test {
protected:
    void SetUp() override {
        DisplayUp();
        dir_ = TempDir("gfx");
    }
    void TearDown() override {
        DisplayDown();
        Backend().format = plat::kFormat565;
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    GfxImage Load(const std::string& name) {
        return DisplayDevice.LoadGfxImage(DirectDrawObject, Path(name).c_str());
    }
    GfxImage Write(const std::string& name, const Bytes& bytes) {
        WriteFile(Path(name), bytes);
        return Load(name);
    }
    std::string dir_;
};

TEST_F(GfxLoader, RefusedFiles) {
    Pcx good(4, 2, 8, 1, 4);
    const Bytes header = good.Header();
    struct Case {
        const char* name;
        Bytes bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"short", Bytes(header.begin(), header.begin() + 127)});
    Bytes notTen = good.Encode();
    notTen[0] = 11;
    cases.push_back({"not-ten", notTen});
    Bytes zero = good.Encode();
    zero[0] = 0;
    cases.push_back({"zero", zero});
    Pcx narrow(4, 2, 8, 1, 4);
    narrow.xmin = 5;
    narrow.xmax = 4;  // width 0
    cases.push_back({"no-width", narrow.Encode()});
    Pcx inverted(4, 2, 8, 1, 4);
    inverted.xmin = 10;
    inverted.xmax = 2;  // width -7
    cases.push_back({"negative-width", inverted.Encode()});
    Pcx flat(4, 2, 8, 1, 4);
    flat.ymin = 3;
    flat.ymax = 1;
    cases.push_back({"negative-height", flat.Encode()});
    Pcx wide(4, 2, 8, 1, 4);
    wide.xmax = 16384;  // 16385 pixels
    cases.push_back({"too-wide", wide.Encode()});
    Pcx tall(4, 2, 8, 1, 4);
    tall.ymax = 16384;
    cases.push_back({"too-tall", tall.Encode()});
    Pcx huge(4, 2, 8, 1, 4);
    huge.xmax = 65535;
    huge.ymax = 65535;
    cases.push_back({"huge", huge.Encode()});

    int before = OpenFiles();
    EXPECT_EQ(Load("missing.gfx"), nullptr);
    for (const Case& c : cases) {
        EXPECT_EQ(Write(std::string(c.name) + ".gfx", c.bytes), nullptr) << c.name;
    }
    EXPECT_EQ(DisplayDevice.LoadGfxImage(DirectDrawObject, nullptr), nullptr);
    EXPECT_EQ(DisplayDevice.LoadGfxImage(nullptr, Path("empty.gfx").c_str()), nullptr);
    EXPECT_EQ(OpenFiles(), before) << "a refused picture left its file open";

    // Exactly 128 bytes: a header and no data is still a picture, all black.
    {
        Loaded p(Write("header-only.gfx", header));
        ASSERT_NE(p.image, nullptr);
        EXPECT_EQ(p.width, 4);
        EXPECT_EQ(p.height, 2);
        for (uint16_t px : p.pixels) EXPECT_EQ(px, 0);
    }
    // The largest side is accepted.
    {
        Pcx longest(16384, 1, 8, 1, 16384);
        Loaded p(Write("longest.gfx", longest.Encode()));
        ASSERT_NE(p.image, nullptr);
        EXPECT_EQ(p.width, 16384);
        EXPECT_EQ(p.height, 1);
    }
    EXPECT_EQ(OpenFiles(), before) << "a loaded picture left its file open";
}

TEST_F(GfxLoader, EightBitsWithPalette) {
    Pcx pcx(640, 480, 8, 1, 640);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) pcx.At(y, 0, x) = static_cast<uint8_t>((3 * x + 7 * y) & 0xFF);
    }
    for (int i = 0; i < 256; ++i) pcx.Colour(i, i, (5 * i) & 0xFF, 255 - i);
    pcx.withPalette = true;
    // Colours in the header's map are not the picture's.
    for (int i = 0; i < 16; ++i) pcx.MapColour(i, 255, 255, 255);
    Loaded p(Write("palette.gfx", pcx.Encode()));
    ASSERT_NE(p.image, nullptr);
    ASSERT_EQ(p.width, 640);
    ASSERT_EQ(p.height, 480);
    int wrong = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            int i = (3 * x + 7 * y) & 0xFF;
            if (p.At(x, y) != Pack565(i, (5 * i) & 0xFF, 255 - i) && ++wrong < 5) {
                ADD_FAILURE() << "pixel " << x << "," << y;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(GfxLoader, EightBitsWithPaletteIn555) {
    DisplayUp(plat::kFormat555);
    Pcx pcx(3, 2, 8, 1, 4);
    for (int x = 0; x < 3; ++x) {
        pcx.At(0, 0, x) = static_cast<uint8_t>(x);
        pcx.At(1, 0, x) = static_cast<uint8_t>(200 + x);
    }
    pcx.Colour(0, 255, 0, 255);
    pcx.Colour(1, 0x17, 0x2F, 0xFE);
    pcx.Colour(2, 255, 255, 255);
    pcx.Colour(200, 128, 0, 0);
    pcx.Colour(201, 0, 128, 0);
    pcx.Colour(202, 0, 0, 128);
    pcx.withPalette = true;
    Loaded p(Write("palette555.gfx", pcx.Encode()));
    ASSERT_NE(p.image, nullptr);
    EXPECT_EQ(p.At(0, 0), 0x7C1F);
    EXPECT_EQ(p.At(1, 0), Pack555(0x17, 0x2F, 0xFE));
    EXPECT_EQ(p.At(2, 0), 0x7FFF);
    EXPECT_EQ(p.At(0, 1), 0x4000);
    EXPECT_EQ(p.At(1, 1), 0x0200);
    EXPECT_EQ(p.At(2, 1), 0x0010);
}

TEST_F(GfxLoader, EightBitsWithoutTheMarkerAreBlack) {
    Pcx pcx(640, 480, 8, 1, 640);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) pcx.At(y, 0, x) = static_cast<uint8_t>((x + y) & 0xFF);
    }
    for (int i = 0; i < 256; ++i) pcx.Colour(i, 255, 255, 255);
    pcx.withPalette = true;
    pcx.marker = 0;
    {
        Loaded p(Write("nomarker.gfx", pcx.Encode()));
        ASSERT_NE(p.image, nullptr);
        ASSERT_EQ(p.width, 640);
        ASSERT_EQ(p.height, 480);
        int lit = 0;
        for (uint16_t px : p.pixels) lit += px != 0;
        EXPECT_EQ(lit, 0);
    }
    // A palette that is one byte short leaves the marker one byte too early: black too.
    pcx.marker = 12;
    Bytes bytes = pcx.Encode();
    bytes.pop_back();
    {
        Loaded p(Write("shortpalette.gfx", bytes));
        ASSERT_NE(p.image, nullptr);
        int lit = 0;
        for (uint16_t px : p.pixels) lit += px != 0;
        EXPECT_EQ(lit, 0);
    }
    // A small file has no room for a palette at all.
    Pcx small(2, 2, 8, 1, 2);
    small.At(0, 0, 0) = 12;
    small.At(1, 0, 1) = 12;
    {
        Loaded p(Write("small8.gfx", small.Encode()));
        ASSERT_NE(p.image, nullptr);
        for (uint16_t px : p.pixels) EXPECT_EQ(px, 0);
    }
}

TEST_F(GfxLoader, OneBitIsBlackAndWhite) {
    // 21 pixels wide; four bytes per line (PCX lines have an even length).
    Pcx pcx(21, 5, 1, 1, 4);
    for (int i = 0; i < 16; ++i) pcx.MapColour(i, 200, 10 * i, 50);  // ignored
    auto set = [](int x, int y) { return (x * 7 + y * 3) % 5 < 2; };
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 21; ++x) {
            if (set(x, y)) pcx.At(y, 0, x / 8) |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
        pcx.At(y, 0, 3) = 0xFF;  // bits past the width
    }
    Loaded p(Write("onebit.gfx", pcx.Encode()));
    ASSERT_NE(p.image, nullptr);
    ASSERT_EQ(p.width, 21);
    ASSERT_EQ(p.height, 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 21; ++x) {
            EXPECT_EQ(p.At(x, y), set(x, y) ? 0xFFFF : 0x0000) << x << "," << y;
        }
    }
}

// Index of pixel (x, y) in the bit-plane pictures.
int PlaneIndex(int x, int y) { return (x + 3 * y) & 15; }

void FillPlanes(Pcx& pcx, int width, int height) {
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int index = PlaneIndex(x, y);
            for (int p = 0; p < pcx.planes; ++p) {
                if ((index >> p) & 1) pcx.At(y, p, x / 8) |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    for (int i = 0; i < 16; ++i) pcx.MapColour(i, 16 * i, 255 - 16 * i, (8 * i + 7) & 0xFF);
}

TEST_F(GfxLoader, FourPlanesOfOneBitUseTheColourMap) {
    Pcx pcx(19, 4, 1, 4, 4);
    FillPlanes(pcx, 19, 4);
    Loaded p(Write("planes4.gfx", pcx.Encode()));
    ASSERT_NE(p.image, nullptr);
    ASSERT_EQ(p.width, 19);
    ASSERT_EQ(p.height, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 19; ++x) {
            int i = PlaneIndex(x, y);
            EXPECT_EQ(p.At(x, y), Pack565(16 * i, 255 - 16 * i, (8 * i + 7) & 0xFF))
                << x << "," << y << " index " << i;
        }
    }
}

TEST_F(GfxLoader, TwoAndThreePlanesOfOneBitUseTheLowIndexBits) {
    for (int planes : {2, 3}) {
        Pcx pcx(10, 3, 1, planes, 2);
        FillPlanes(pcx, 10, 3);
        Loaded p(Write("planes" + std::to_string(planes) + ".gfx", pcx.Encode()));
        ASSERT_NE(p.image, nullptr);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 10; ++x) {
                int i = PlaneIndex(x, y) & ((1 << planes) - 1);
                EXPECT_EQ(p.At(x, y), Pack565(16 * i, 255 - 16 * i, (8 * i + 7) & 0xFF))
                    << planes << " planes, " << x << "," << y;
            }
        }
    }
}

TEST_F(GfxLoader, OnePlaneOfFourBits) {
    Pcx pcx(5, 2, 4, 1, 4);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x) {
            int index = PlaneIndex(x, y);
            pcx.At(y, 0, x / 2) |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
        }
    }
    for (int i = 0; i < 16; ++i) pcx.MapColour(i, 16 * i, 255 - 16 * i, (8 * i + 7) & 0xFF);
    Loaded p(Write("nibbles.gfx", pcx.Encode()));
    ASSERT_NE(p.image, nullptr);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x) {
            int i = PlaneIndex(x, y);
            EXPECT_EQ(p.At(x, y), Pack565(16 * i, 255 - 16 * i, (8 * i + 7) & 0xFF)) << x << "," << y;
        }
    }
}

TEST_F(GfxLoader, ThreePlanesOfEightBitsAreRedGreenBlue) {
    for (int planes : {3, 4}) {
        Pcx pcx(5, 3, 8, planes, 6);
        pcx.xmin = 100;  // the size comes from the corner differences
        pcx.xmax = 104;
        pcx.ymin = 7;
        pcx.ymax = 9;
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 6; ++x) {
                pcx.At(y, 0, x) = static_cast<uint8_t>(200 + 10 * y + x);  // red
                pcx.At(y, 1, x) = static_cast<uint8_t>(40 * x + 3);        // green
                pcx.At(y, 2, x) = static_cast<uint8_t>(250 - 60 * y);      // blue
                if (planes == 4) pcx.At(y, 3, x) = 0xFF;                   // ignored
            }
        }
        pcx.withPalette = true;  // a 24-bit picture has no palette to use
        Loaded p(Write("rgb" + std::to_string(planes) + ".gfx", pcx.Encode()));
        ASSERT_NE(p.image, nullptr);
        ASSERT_EQ(p.width, 5);
        ASSERT_EQ(p.height, 3);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(p.At(x, y), Pack565(200 + 10 * y + x, 40 * x + 3, 250 - 60 * y))
                    << planes << " planes, " << x << "," << y;
            }
        }
    }
}

TEST_F(GfxLoader, Width641) {
    Pcx pcx(641, 3, 8, 1, 642);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 642; ++x) pcx.At(y, 0, x) = static_cast<uint8_t>((x + 5 * y) % 251);
        pcx.At(y, 0, 641) = 255;  // the byte past the width
    }
    for (int i = 0; i < 256; ++i) pcx.Colour(i, i, 255 - i, 0);
    pcx.withPalette = true;
    Loaded p(Write("wide.gfx", pcx.Encode()));
    ASSERT_NE(p.image, nullptr);
    ASSERT_EQ(p.width, 641);
    ASSERT_EQ(p.height, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 641; ++x) {
            int i = (x + 5 * y) % 251;
            ASSERT_EQ(p.At(x, y), Pack565(i, 255 - i, 0)) << x << "," << y;
        }
    }
}

// A picture of 8-bit pixels with hand-made pixel data and a grey-ramp palette (i → 10i).
Bytes Handmade(int width, int height, int bytesPerLine, const Bytes& data) {
    Pcx pcx(width, height, 8, 1, bytesPerLine);
    Bytes out = pcx.Header();
    out.insert(out.end(), data.begin(), data.end());
    out.push_back(12);
    for (int i = 0; i < 256; ++i) {
        uint8_t v = static_cast<uint8_t>(i < 25 ? 10 * i : 255);
        out.insert(out.end(), {v, v, v});
    }
    return out;
}

uint16_t Grey(int index) {
    int v = 10 * index;
    return Pack565(v, v, v);
}

TEST_F(GfxLoader, RunOfCountZeroConsumesItsValue) {
    Loaded p(Write("c0.gfx", Handmade(4, 1, 4, {0xC0, 0x07, 0x01, 0x02, 0xC2, 0x03})));
    ASSERT_NE(p.image, nullptr);
    EXPECT_EQ(p.At(0, 0), Grey(1));
    EXPECT_EQ(p.At(1, 0), Grey(2));
    EXPECT_EQ(p.At(2, 0), Grey(3));
    EXPECT_EQ(p.At(3, 0), Grey(3));
}

TEST_F(GfxLoader, RunsStopAtTheEndOfTheScanLine) {
    // Six 9s for a line of four: the last two are dropped and the next line starts afresh.
    Loaded p(Write("cut.gfx", Handmade(4, 3, 4, {0xC6, 0x09, 0x01, 0x02, 0x03, 0x04, 0xC4, 0x05})));
    ASSERT_NE(p.image, nullptr);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(p.At(x, 0), Grey(9)) << x;
    for (int x = 0; x < 4; ++x) EXPECT_EQ(p.At(x, 1), Grey(x + 1)) << x;
    for (int x = 0; x < 4; ++x) EXPECT_EQ(p.At(x, 2), Grey(5)) << x;
}

TEST_F(GfxLoader, TruncatedFileGivesAPictureOfTheHeadersSize) {
    Pcx pcx(16, 8, 1, 1, 2);
    for (int y = 0; y < 8; ++y) pcx.At(y, 0, 0) = pcx.At(y, 0, 1) = 0xFF;
    Bytes bytes = pcx.Encode();
    // Each line is one run (C2 FF); keep three lines and half of the fourth.
    ASSERT_EQ(bytes.size(), 128u + 8u * 2u);
    bytes.resize(128 + 3 * 2 + 1);
    {
        Loaded p(Write("truncated.gfx", bytes));
        ASSERT_NE(p.image, nullptr);
        ASSERT_EQ(p.width, 16);
        ASSERT_EQ(p.height, 8);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 16; ++x) EXPECT_EQ(p.At(x, y), 0xFFFF) << x << "," << y;
        }
        for (int y = 4; y < 8; ++y) {
            for (int x = 0; x < 16; ++x) EXPECT_EQ(p.At(x, y), 0) << x << "," << y;
        }
    }
    // Ending after the first byte of a line of literal bytes.
    Pcx rgb(4, 4, 8, 3, 4);
    for (int y = 0; y < 4; ++y) {
        for (int i = 0; i < 12; ++i) rgb.lines[static_cast<size_t>(y)][static_cast<size_t>(i)] = static_cast<uint8_t>(0x20 + i);
    }
    bytes = rgb.Encode();
    ASSERT_EQ(bytes.size(), 128u + 4u * 12u);
    bytes.resize(128 + 12 + 1);
    {
        Loaded p(Write("truncated24.gfx", bytes));
        ASSERT_NE(p.image, nullptr);
        ASSERT_EQ(p.width, 4);
        ASSERT_EQ(p.height, 4);
        for (int x = 0; x < 4; ++x) EXPECT_EQ(p.At(x, 0), Pack565(0x20 + x, 0x24 + x, 0x28 + x)) << x;
        for (int y = 2; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) EXPECT_EQ(p.At(x, y), 0) << x << "," << y;
        }
    }
    // Ending on a run code whose value never comes.
    Bytes cut = Handmade(4, 2, 4, {0x01, 0x02, 0x03, 0x04, 0xC3});
    cut.resize(128 + 5);
    {
        Loaded p(Write("cutrun.gfx", cut));
        ASSERT_NE(p.image, nullptr);
        EXPECT_EQ(p.width, 4);
        EXPECT_EQ(p.height, 2);
    }
}

TEST_F(GfxLoader, OddLayoutsNeverCrash) {
    struct Layout {
        int bpp;
        int planes;
        int bytesPerLine;
    };
    const Layout layouts[] = {
        {8, 2, 8},  {8, 2, 1},  {1, 2, 2},   {1, 3, 2},   {2, 1, 2},   {4, 2, 4}, {2, 4, 2},
        {4, 4, 4},  {1, 5, 2},  {8, 5, 8},   {1, 8, 2},   {0, 1, 8},   {8, 0, 8}, {16, 1, 14},
        {24, 1, 21}, {1, 4, 0}, {8, 1, 0},   {8, 3, 1},   {8, 3, 0},   {1, 1, 1}, {8, 1, 3},
        {8, 4, 100}, {1, 4, 40}, {255, 255, 2}, {8, 1, 65535}, {1, 4, 65535}, {8, 3, 65535},
    };
    int count = 0;
    for (const Layout& l : layouts) {
        Pcx pcx(7, 3, l.bpp, l.planes, 0);
        pcx.bytesPerLine = l.bytesPerLine;
        Bytes bytes = pcx.Header();
        // Pixel data of every kind of byte, and a palette.
        for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<uint8_t>((i * 37) & 0xFF));
        bytes.push_back(12);
        for (int i = 0; i < 768; ++i) bytes.push_back(static_cast<uint8_t>(i));
        std::string name = "odd" + std::to_string(++count) + ".gfx";
        Loaded p(Write(name, bytes));
        if (p.image != nullptr) {
            EXPECT_EQ(p.width, 7) << name;
            EXPECT_EQ(p.height, 3) << name;
            // The picture can be blitted like any other.
            RECT r{0, 0, 7, 3};
            DisplayDevice.BlitToBack(10, 10, p.image, &r, DDBLTFAST_NOCOLORKEY);
        }
    }
    // Two planes of 8 bits would make a 24-bit picture without its third plane.
    Pcx two(3, 1, 8, 2, 4);
    for (int i = 0; i < 8; ++i) two.lines[0][static_cast<size_t>(i)] = 0xBB;
    Loaded p(Write("two8.gfx", two.Encode()));
    if (p.image != nullptr) {
        EXPECT_EQ(p.width, 3);
        EXPECT_EQ(p.height, 1);
    }
}

TEST(GfxRowStride, RowLengthAndDepthForEachBitCount) {
    struct Case {
        int bits;
        int width;
        int length;
        int depth;
    };
    const Case cases[] = {
        {1, 1, 4, 1},     {1, 32, 4, 1},     {1, 33, 8, 1},     {1, 21, 4, 1},   {1, 640, 80, 1},
        {1, 641, 84, 1},  {2, 1, 4, 4},      {3, 8, 4, 4},      {4, 9, 8, 4},    {4, 641, 324, 4},
        {4, 16, 8, 4},    {5, 3, 4, 8},      {8, 640, 640, 8},  {8, 641, 644, 8}, {8, 1, 4, 8},
        {6, 5, 8, 8},     {9, 1, 4, 24},     {16, 5, 16, 24},   {24, 641, 1924, 24},
        {24, 640, 1920, 24}, {32, 3, 12, 24}, {0, 10, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t bits = c.bits;
        EXPECT_EQ(DibRowStride(bits, c.width), c.length) << c.bits << " bits, width " << c.width;
        EXPECT_EQ(bits, c.depth) << c.bits << " bits, width " << c.width;
        EXPECT_EQ(c.length % 4, 0);
    }
}

}  // namespace
