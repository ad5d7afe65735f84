// The .gfx picture loader: PCX files of every plane and bit layout, written into a temporary
// folder and loaded onto offscreen surfaces.
#include "../support/support.h"

#include "../../src/assets/assets.h"
#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace testing_support;

namespace {

using Bytes = std::vector<uint8_t>;
using Rgb = std::array<int, 3>;

// The pixel a colour of a picture becomes on the 5-6-5 display.
uint16_t Shown(Rgb c) { return static_cast<uint16_t>(((c[0] >> 3) << 11) | ((c[1] >> 2) << 5) | (c[2] >> 3)); }

// A colour table of red, green, blue bytes: entry i is colour(i).
Bytes Table(int entries, const std::function<Rgb(int)>& colour) {
    Bytes table;
    for (int i = 0; i < entries; ++i) {
        for (int c : colour(i)) table.push_back(static_cast<uint8_t>(c));
    }
    return table;
}

// A PCX picture to be written: header fields, decoded scan lines (each bytesPerLine × planes
// bytes) and, when not empty, the 768-byte palette written after a marker byte 12.
struct Pcx {
    int bitsPerPixel, planes, bytesPerLine, xmin = 0, ymin = 0, xmax, ymax;
    std::vector<Bytes> lines;
    Bytes colourMap = Bytes(48, 0), palette;

    Pcx(int width, int height, int bits, int planeCount, int lineBytes)
        : bitsPerPixel(bits), planes(planeCount), bytesPerLine(lineBytes), xmax(width - 1), ymax(height - 1),
          lines(static_cast<size_t>(height), Bytes(static_cast<size_t>(lineBytes * planeCount), 0)) {}

    Bytes Header() const {
        Bytes h(128, 0);
        h[0] = 10, h[3] = static_cast<uint8_t>(bitsPerPixel), h[65] = static_cast<uint8_t>(planes);
        const std::pair<size_t, int> words[] = {{4, xmin}, {6, ymin}, {8, xmax}, {10, ymax}, {66, bytesPerLine}};
        for (auto [at, v] : words) h[at] = static_cast<uint8_t>(v & 0xFF), h[at + 1] = static_cast<uint8_t>(v >> 8);
        std::copy(colourMap.begin(), colourMap.end(), h.begin() + 16);
        return h;
    }
    // Runs of up to 63 equal bytes; a single byte of 0xC0 or more is a run of one.
    Bytes Encode() const {
        Bytes out = Header();
        for (const Bytes& line : lines) {
            for (size_t i = 0, run = 1; i < line.size(); i += run) {
                for (run = 1; i + run < line.size() && run < 63 && line[i + run] == line[i];) ++run;
                if (run > 1 || line[i] >= 0xC0) out.push_back(static_cast<uint8_t>(0xC0 | run));
                out.push_back(line[i]);
            }
        }
        if (!palette.empty()) out.push_back(12);
        out.insert(out.end(), palette.begin(), palette.end());
        return out;
    }
    // Byte i of plane p of scan line y.
    uint8_t& At(int y, int plane, int i) { return lines.at(y).at(plane * bytesPerLine + i); }
};

std::ptrdiff_t OpenFiles() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
}

// A loaded picture's surface: its size and pixels; releases the surface.
struct Loaded {
    GfxImage image = nullptr;
    int width = 0, height = 0;
    std::vector<uint16_t> pixels;

    explicit Loaded(GfxImage loaded) : image(loaded) {
        DDSURFACEDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        if (image == nullptr || image->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return;
        width = static_cast<int>(desc.dwWidth), height = static_cast<int>(desc.dwHeight);
        const auto* base = static_cast<const uint8_t*>(desc.lpSurface);
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const uint16_t*>(base + y * desc.lPitch);
            pixels.insert(pixels.end(), row, row + width);
        }
        EXPECT_EQ(image->Unlock(nullptr), DD_OK);
    }
    ~Loaded() {
        if (image != nullptr) image->Release();
    }
    std::pair<int, int> Size() const { return {width, height}; }
    bool Black() const { return std::all_of(pixels.begin(), pixels.end(), [](uint16_t p) { return p == 0; }); }
    // Checks the size and the pixels of rows first..last against want(x, y).
    void Expect(int w, int h, const std::function<uint16_t(int, int)>& want, int first = 0, int last = 1 << 30) const {
        ASSERT_EQ(Size(), (std::pair{w, h}));
        int wrong = 0;
        for (int y = first; y < h && y <= last; ++y) {
            for (int x = 0; x < w; ++x) {
                uint16_t is = pixels[static_cast<size_t>(y * w + x)];
                if (is != want(x, y) && ++wrong <= 3) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << is << ", not " << want(x, y);
                }
            }
        }
    }
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
    GfxImage Load(const std::string& name) { return DisplayDevice.LoadGfxImage(DirectDrawObject, Path(name).c_str()); }
    GfxImage Write(const std::string& name, const Bytes& bytes) {
        std::ofstream file(Path(name), std::ios::binary);
        EXPECT_TRUE(file.write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes)).good()) << name;
        file.close();
        return Load(name);
    }
    std::string dir_;
};

TEST_F(GfxLoader, RefusedFilesAndTheLargestSide) {
    const Bytes ok = Pcx(4, 2, 8, 1, 4).Encode();  // corners (0, 0) and (3, 1)
    auto patched = [&ok](size_t at, int v) { Bytes b = ok; b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); return b; };
    const std::pair<const char*, Bytes> refused[] = {
        {"empty", {}}, {"short", Bytes(ok.begin(), ok.begin() + 127)}, {"not-ten", patched(0, 11)},
        {"no-width", patched(4, 4)}, {"negative-width", patched(4, 10)}, {"negative-height", patched(6, 3)},
        {"too-wide", patched(8, 16384)}, {"too-tall", patched(10, 16384)},
    };
    int before = OpenFiles();
    EXPECT_EQ(Load("missing.gfx"), nullptr);
    for (const auto& [name, bytes] : refused) EXPECT_EQ(Write(std::string(name) + ".gfx", bytes), nullptr) << name;
    EXPECT_EQ(DisplayDevice.LoadGfxImage(DirectDrawObject, nullptr), nullptr);
    EXPECT_EQ(DisplayDevice.LoadGfxImage(nullptr, Path("empty.gfx").c_str()), nullptr);
    {
        // Exactly 128 bytes: a header and no data is still a picture, all black.
        Loaded p(Write("header-only.gfx", Bytes(ok.begin(), ok.begin() + 128)));
        EXPECT_EQ(p.Size(), (std::pair{4, 2}));
        EXPECT_TRUE(p.Black());
        Loaded longest(Write("longest.gfx", Pcx(16384, 1, 8, 1, 16384).Encode()));
        EXPECT_EQ(longest.Size(), (std::pair{16384, 1}));
    }
    EXPECT_EQ(OpenFiles(), before) << "a picture left its file open";
}

TEST_F(GfxLoader, EightBitsTakeThePaletteAfterTheMarkerOrAreBlack) {
    // 641 pixels wide: DIB rows of 644 bytes, whose padding (and the line's 642nd byte) never shows.
    auto index = [](int x, int y) { return (3 * x + 7 * y) & 0xFF; };
    auto colour = [](int i) { return Rgb{i, (5 * i) & 0xFF, 255 - i}; };
    Pcx pcx(641, 480, 8, 1, 642);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 641; ++x) pcx.At(y, 0, x) = static_cast<uint8_t>(index(x, y));
        pcx.At(y, 0, 641) = 0xFF;
    }
    pcx.palette = Table(256, colour);
    pcx.colourMap = Table(16, [](int) { return Rgb{255, 255, 255}; });  // not the picture's colours
    const Bytes bytes = pcx.Encode();
    Loaded(Write("palette.gfx", bytes)).Expect(641, 480, [&](int x, int y) { return Shown(colour(index(x, y))); });
    // Without the marker 12 at 769 bytes before the end, or in a file too small to hold a
    // palette, every colour is black.
    Bytes noMarker = bytes, shortPalette = bytes;
    noMarker[bytes.size() - 769] = 0;
    shortPalette.pop_back();
    Pcx small(2, 2, 8, 1, 2);
    small.At(0, 0, 0) = small.At(1, 0, 1) = 12;
    for (const Bytes& b : {noMarker, shortPalette, small.Encode()}) {
        Loaded p(Write("black.gfx", b));
        EXPECT_TRUE(p.image != nullptr && p.Black()) << b.size() << " bytes";
    }
    // On a 5-5-5 display the picture takes the display's format.
    DisplayUp(plat::kFormat555);
    Pcx rgb(3, 1, 8, 1, 4);
    rgb.At(0, 0, 1) = 1, rgb.At(0, 0, 2) = 2;
    rgb.palette = {255, 0, 255, 128, 0, 0, 0x17, 0x2F, 0xFE};
    rgb.palette.resize(768);
    EXPECT_EQ(Loaded(Write("palette555.gfx", rgb.Encode())).pixels, (std::vector<uint16_t>{0x7C1F, 0x4000, 0x08BF}));
}

TEST_F(GfxLoader, OneBitIsBlackAndWhite) {
    // 21 pixels wide; four bytes per line (PCX lines have an even length).
    Pcx pcx(21, 5, 1, 1, 4);
    pcx.colourMap = Table(16, [](int i) { return Rgb{200, 10 * i, 50}; });  // ignored
    auto set = [](int x, int y) { return (x * 7 + y * 3) % 5 < 2; };
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 21; ++x) pcx.At(y, 0, x / 8) |= static_cast<uint8_t>(set(x, y) ? 0x80 >> (x % 8) : 0);
        pcx.At(y, 0, 3) = 0xFF;  // bits past the width
    }
    Loaded(Write("onebit.gfx", pcx.Encode())).Expect(21, 5, [&](int x, int y) { return set(x, y) ? 0xFFFF : 0; });
}

TEST_F(GfxLoader, SixteenColoursFromPlanesOrNibblesUseTheColourMap) {
    auto colour = [](int i) { return Rgb{16 * i, 255 - 16 * i, (8 * i + 7) & 0xFF}; };
    struct Case { int bits, planes, bytesPerLine; } const cases[] = {{1, 4, 4}, {1, 3, 4}, {1, 2, 4}, {4, 1, 10}};
    for (const Case& k : cases) {
        // Colour index (x + 3y) mod 16; plane p gives bit p, as many bits as there are planes.
        const int mask = k.planes == 1 ? 15 : (1 << k.planes) - 1;
        Pcx pcx(19, 4, k.bits, k.planes, k.bytesPerLine);
        pcx.colourMap = Table(16, colour);
        for (int i = 0; i < 19 * 4; ++i) {
            int x = i % 19, y = i / 19, index = (x + 3 * y) & 15;
            if (k.planes == 1) {
                pcx.At(y, 0, x / 2) |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
                continue;
            }
            for (int p = 0; p < k.planes; ++p) {
                pcx.At(y, p, x / 8) |= static_cast<uint8_t>((index >> p) & 1 ? 0x80 >> (x % 8) : 0);
            }
        }
        SCOPED_TRACE(std::to_string(k.planes) + " planes of " + std::to_string(k.bits) + " bits");
        Loaded p(Write("planes.gfx", pcx.Encode()));
        p.Expect(19, 4, [&](int x, int y) { return Shown(colour((x + 3 * y) & mask)); });
    }
}

TEST_F(GfxLoader, ThreePlanesOfEightBitsAreRedGreenBlue) {
    auto colour = [](int x, int y) { return Rgb{200 + 10 * y + x, 40 * x + 3, 250 - 60 * y}; };
    for (int planes : {3, 4}) {
        Pcx pcx(5, 3, 8, planes, 6);
        pcx.xmin = 100, pcx.xmax = 104, pcx.ymin = 7, pcx.ymax = 9;  // the size comes from the corners
        for (int i = 0; i < 6 * 3; ++i) {
            Rgb c = colour(i % 6, i / 6);
            for (int p = 0; p < planes; ++p) {
                pcx.At(i / 6, p, i % 6) = static_cast<uint8_t>(p < 3 ? c[static_cast<size_t>(p)] : 0xFF);
            }
        }
        pcx.palette.assign(768, 0);  // a 24-bit picture has no palette to use
        SCOPED_TRACE(std::to_string(planes) + " planes");
        Loaded(Write("rgb.gfx", pcx.Encode())).Expect(5, 3, [&](int x, int y) { return Shown(colour(x, y)); });
    }
}

TEST_F(GfxLoader, RunsNeverCrossAScanLineAndACountOf0StoresNothing) {
    // 8-bit pictures 4 pixels wide with hand-made pixel data; palette entry i is grey 10 × i.
    struct Case { Bytes data; std::vector<int> greys; } const cases[] = {
        {{0xC0, 0x07, 0x01, 0x02, 0xC2, 0x03}, {1, 2, 3, 3}},
        {{0xC6, 0x09, 0x01, 0x02, 0x03, 0x04, 0xC4, 0x05}, {9, 9, 9, 9, 1, 2, 3, 4, 5, 5, 5, 5}},
    };
    for (const Case& k : cases) {
        Bytes bytes = Pcx(4, static_cast<int>(k.greys.size() / 4), 8, 1, 4).Header();
        bytes.insert(bytes.end(), k.data.begin(), k.data.end());
        bytes.push_back(12);
        Bytes palette = Table(256, [](int i) { return Rgb{(10 * i) & 0xFF, (10 * i) & 0xFF, (10 * i) & 0xFF}; });
        bytes.insert(bytes.end(), palette.begin(), palette.end());
        std::vector<uint16_t> want;
        for (int g : k.greys) want.push_back(Shown({10 * g, 10 * g, 10 * g}));
        EXPECT_EQ(Loaded(Write("runs.gfx", bytes)).pixels, want);
    }
}

TEST_F(GfxLoader, TruncatedFileGivesAPictureOfTheHeadersSize) {
    // Each line is one run (C2 FF); three lines and half of the fourth are kept.
    Pcx white(16, 8, 1, 1, 2);
    for (Bytes& line : white.lines) line.assign(2, 0xFF);
    Bytes bytes = white.Encode();
    bytes.resize(128 + 3 * 2 + 1);
    Loaded p(Write("truncated.gfx", bytes));
    p.Expect(16, 8, [](int, int) { return 0xFFFF; }, 0, 2);
    p.Expect(16, 8, [](int, int) { return 0; }, 4);
    // Ending on a run code whose value never comes.
    Bytes cut = Pcx(4, 2, 8, 1, 4).Header();
    cut.insert(cut.end(), {0x01, 0x02, 0x03, 0x04, 0xC3});
    EXPECT_EQ(Loaded(Write("cutrun.gfx", cut)).Size(), (std::pair{4, 2}));
}

TEST_F(GfxLoader, OddLayoutsNeverCrash) {
    struct Layout { int bits, planes, bytesPerLine; } const layouts[] = {
        {8, 2, 8},   {8, 2, 1},  {1, 2, 2},     {1, 3, 2},     {2, 1, 2},     {4, 2, 4},    {2, 4, 2},
        {4, 4, 4},   {1, 5, 2},  {8, 5, 8},     {1, 8, 2},     {0, 1, 8},     {8, 0, 8},    {16, 1, 14},
        {24, 1, 21}, {1, 4, 0},  {8, 1, 0},     {8, 3, 1},     {8, 3, 0},     {1, 1, 1},    {8, 1, 3},
        {8, 4, 100}, {1, 4, 40}, {255, 255, 2}, {8, 1, 65535}, {1, 4, 65535}, {8, 3, 65535},
    };
    for (const Layout& l : layouts) {
        // Pixel data of every kind of byte, and a palette.
        Bytes bytes = Pcx(7, 3, l.bits, l.planes, l.bytesPerLine).Header();
        for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<uint8_t>((i * 37) & 0xFF));
        bytes.push_back(12);
        for (int i = 0; i < 768; ++i) bytes.push_back(static_cast<uint8_t>(i));
        Loaded p(Write("odd.gfx", bytes));
        if (p.image == nullptr) continue;
        EXPECT_EQ(p.Size(), (std::pair{7, 3})) << l.bits << " bits, " << l.planes << " planes";
        RECT r{0, 0, 7, 3};  // it can be blitted like any other picture
        DisplayDevice.BlitToBack(10, 10, p.image, &r, DDBLTFAST_NOCOLORKEY);
    }
}

TEST(GfxRowStride, RowLengthAndDepthForEachBitCount) {
    struct Case { int bits, width, length, depth; } const cases[] = {
        {1, 1, 4, 1},    {1, 32, 4, 1},    {1, 33, 8, 1},   {1, 641, 84, 1},     {2, 1, 4, 4},
        {3, 8, 4, 4},    {4, 9, 8, 4},     {4, 641, 324, 4}, {5, 3, 4, 8},       {8, 640, 640, 8},
        {8, 641, 644, 8}, {6, 5, 8, 8},    {9, 1, 4, 24},   {16, 5, 16, 24},     {24, 641, 1924, 24},
        {32, 3, 12, 24}, {0, 10, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t bits = c.bits;
        EXPECT_EQ(DibRowStride(bits, c.width), c.length) << c.bits << " bits, width " << c.width;
        EXPECT_EQ(bits, c.depth) << c.bits << " bits, width " << c.width;
    }
}

}  // namespace
