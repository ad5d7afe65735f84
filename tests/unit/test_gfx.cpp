// The .gfx picture loader: PCX files of every plane and bit layout, written into a temporary
// folder and loaded onto offscreen surfaces.
#include "../support/support.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace testing_support;

namespace {

using Bytes = std::vector<uint8_t>;
using Rgb = std::array<int, 3>;

// The pixel a colour of a picture becomes on the 5-6-5 display.
uint16_t Shown(Rgb c) { return uint16_t(((c[0] >> 3) << 11) | ((c[1] >> 2) << 5) | (c[2] >> 3)); }

// A colour table of red, green, blue bytes: entry i is colour(i).
Bytes Table(int entries, const std::function<Rgb(int)>& colour) {
    Bytes table;
    for (int i = 0; i < entries; ++i)
        for (int c : colour(i)) table.push_back(uint8_t(c));
    return table;
}

// A PCX picture to be written: header fields, decoded scan lines (each bytesPerLine x planes
// bytes) and, when not empty, the 768-byte palette written after a marker byte 12.
struct Pcx {
    int bits, planes, bytesPerLine, xmin = 0, ymin = 0, xmax, ymax;
    std::vector<Bytes> lines;
    Bytes colourMap = Bytes(48, 0), palette;

    Pcx(int width, int height, int bitCount, int planeCount, int lineBytes)
        : bits(bitCount),
          planes(planeCount),
          bytesPerLine(lineBytes),
          xmax(width - 1),
          ymax(height - 1),
          lines(size_t(height), Bytes(size_t(lineBytes * planeCount), 0)) {}
    Bytes Header() const {
        Bytes h(128, 0);
        h[0] = 10, h[3] = uint8_t(bits), h[65] = uint8_t(planes);
        for (auto [at, v] :
             {std::pair{4, xmin}, {6, ymin}, {8, xmax}, {10, ymax}, {66, bytesPerLine}})
            h[size_t(at)] = uint8_t(v & 0xFF), h[size_t(at + 1)] = uint8_t(v >> 8);
        std::copy(colourMap.begin(), colourMap.end(), h.begin() + 16);
        return h;
    }
    // Runs of up to 63 equal bytes; a single byte of 0xC0 or more is a run of one.
    Bytes Encode() const {
        Bytes out = Header();
        for (const Bytes& line : lines) {
            for (size_t i = 0, run = 1; i < line.size(); i += run) {
                for (run = 1; i + run < line.size() && run < 63 && line[i + run] == line[i];) ++run;
                if (run > 1 || line[i] >= 0xC0) out.push_back(uint8_t(0xC0 | run));
                out.push_back(line[i]);
            }
        }
        if (!palette.empty()) out.push_back(12);
        out.insert(out.end(), palette.begin(), palette.end());
        return out;
    }
    // Byte i of plane p of scan line y.
    uint8_t& At(int y, int plane, int i) {
        return lines.at(size_t(y)).at(size_t(plane * bytesPerLine + i));
    }
};

// A loaded picture: made or not, its size and its pixels.
struct Loaded {
    bool made = false;
    int width = 0, height = 0;
    Pixels pixels;
    bool operator==(const Loaded&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Loaded& p) {
    return out << (p.made ? "" : "no ") << "picture " << p.width << " x " << p.height;
}
// What `want` says of each pixel of a picture of that size.
Loaded Picture(int width, int height, const std::function<uint16_t(int, int)>& want) {
    Loaded p{true, width, height, {}};
    for (int i = 0; i < width * height; ++i) p.pixels.push_back(want(i % width, i / width));
    return p;
}

class GfxLoader : public ::testing::Test {
protected:
    void SetUp() override { DisplayUp(); }
    void TearDown() override { DisplayUp(); }
    // Writes the bytes as a file, loads it and releases the picture again.
    static Loaded Load(const Bytes& bytes) {
        const std::string path = TempDir("gfx") + "/picture.gfx";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
        GfxImage image = DisplayDevice.LoadGfxImage(DirectDrawObject, path.c_str());
        if (image == nullptr) return {};
        DDSURFACEDESC d = Sized<DDSURFACEDESC>();
        EXPECT_EQ(image->GetSurfaceDesc(&d), DD_OK);
        const int width = int(d.dwWidth), height = int(d.dwHeight);
        Loaded p{true, width, height, SurfacePixels(image, width, height)};
        image->Release();
        return p;
    }
};

TEST_F(GfxLoader, RefusedFilesAndTheLargestSide) {
    const Bytes ok = Pcx(4, 2, 8, 1, 4).Encode();  // corners (0, 0) and (3, 1)
    auto patched = [&ok](size_t at, int v) {
        Bytes b = ok;
        b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8);
        return b;
    };
    auto files = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const auto before = files();
    // Empty, short, not starting with 10, without width, of negative width or height, too
    // wide, too tall.
    for (const Bytes& bytes :
         {Bytes{}, Bytes(ok.begin(), ok.begin() + 127), patched(0, 11), patched(4, 4),
          patched(4, 10), patched(6, 3), patched(8, 16384), patched(10, 16384)})
        EXPECT_EQ(Load(bytes), Loaded{}) << bytes.size();
    EXPECT_EQ(DisplayDevice.LoadGfxImage(DirectDrawObject, "/nonexistent/missing.gfx"), nullptr);
    EXPECT_EQ(DisplayDevice.LoadGfxImage(DirectDrawObject, nullptr), nullptr);
    EXPECT_EQ(DisplayDevice.LoadGfxImage(nullptr, (GameDir() + "/Back.gfx").c_str()), nullptr);
    // Exactly 128 bytes: a header and no data is still a picture, all black.
    EXPECT_EQ(Load(Bytes(ok.begin(), ok.begin() + 128)), Picture(4, 2, [](int, int) { return 0; }));
    EXPECT_EQ(std::pair(Load(Pcx(16384, 1, 8, 1, 16384).Encode()).width, files()),
              std::pair(16384, before))
        << "a picture left its file open";
}

TEST_F(GfxLoader, EightBitsTakeThePaletteAfterTheMarkerOrAreBlack) {
    // 641 pixels wide: DIB rows of 644 bytes, whose padding (and the line's 642nd byte) never
    // shows.
    auto index = [](int x, int y) { return (3 * x + 7 * y) & 0xFF; };
    auto colour = [](int i) { return Rgb{i, (5 * i) & 0xFF, 255 - i}; };
    Pcx pcx(641, 40, 8, 1, 642);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 641; ++x) pcx.At(y, 0, x) = uint8_t(index(x, y));
        pcx.At(y, 0, 641) = 0xFF;
    }
    pcx.palette = Table(256, colour);
    pcx.colourMap = Table(16, [](int) { return Rgb{255, 255, 255}; });  // not the picture's colours
    const Bytes bytes = pcx.Encode();
    EXPECT_EQ(Load(bytes),
              Picture(641, 40, [&](int x, int y) { return Shown(colour(index(x, y))); }));
    // Without the marker 12 at 769 bytes before the end, or in a file too small to hold a
    // palette, every colour is black.
    Bytes noMarker = bytes, shortPalette = bytes;
    noMarker[bytes.size() - 769] = 0;
    shortPalette.pop_back();
    Pcx small(2, 2, 8, 1, 2);
    small.At(0, 0, 0) = small.At(1, 0, 1) = 12;
    for (const Bytes& b : {noMarker, shortPalette, small.Encode()}) {
        Loaded p = Load(b);
        EXPECT_TRUE(p.made &&
                    std::count(p.pixels.begin(), p.pixels.end(), 0) == std::ssize(p.pixels))
            << b.size();
    }
    // On a 5-5-5 display the picture takes the display's format.
    DisplayUp(plat::kFormat555);
    Pcx rgb(3, 1, 8, 1, 4);
    rgb.At(0, 0, 1) = 1, rgb.At(0, 0, 2) = 2;
    rgb.palette = {255, 0, 255, 128, 0, 0, 0x17, 0x2F, 0xFE};
    rgb.palette.resize(768);
    EXPECT_EQ(Load(rgb.Encode()).pixels, (Pixels{0x7C1F, 0x4000, 0x08BF}));
}

// One bit is black and white, whatever the colour map; the bits past the width never show.
// Sixteen colours come from planes (plane p gives bit p, as many bits as there are planes) or
// from nibbles, and use the colour map.
TEST_F(GfxLoader, OneBitAndSixteenColours) {
    Pcx one(21, 5, 1, 1, 4);  // four bytes per line: PCX lines have an even length
    one.colourMap = Table(16, [](int i) { return Rgb{200, 10 * i, 50}; });
    auto set = [](int x, int y) { return (x * 7 + y * 3) % 5 < 2; };
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 21; ++x)
            one.At(y, 0, x / 8) |= uint8_t(set(x, y) ? 0x80 >> (x % 8) : 0);
        one.At(y, 0, 3) = 0xFF;
    }
    EXPECT_EQ(Load(one.Encode()),
              Picture(21, 5, [&](int x, int y) { return set(x, y) ? 0xFFFF : 0; }));
    auto colour = [](int i) { return Rgb{16 * i, 255 - 16 * i, (8 * i + 7) & 0xFF}; };
    for (auto [bits, planes, bytesPerLine] :
         {std::tuple{1, 4, 4}, {1, 3, 4}, {1, 2, 4}, {4, 1, 10}}) {
        const int mask = planes == 1 ? 15 : (1 << planes) - 1;
        Pcx pcx(19, 4, bits, planes, bytesPerLine);
        pcx.colourMap = Table(16, colour);
        for (int i = 0; i < 19 * 4; ++i) {
            int x = i % 19, y = i / 19, index = (x + 3 * y) & 15;
            if (planes == 1) pcx.At(y, 0, x / 2) |= uint8_t(x % 2 == 0 ? index << 4 : index);
            for (int p = 0; p < planes && planes > 1; ++p)
                pcx.At(y, p, x / 8) |= uint8_t((index >> p) & 1 ? 0x80 >> (x % 8) : 0);
        }
        EXPECT_EQ(Load(pcx.Encode()),
                  Picture(19, 4, [&](int x, int y) { return Shown(colour((x + 3 * y) & mask)); }))
            << planes << " planes of " << bits << " bits";
    }
}

// Three planes of eight bits are red, green and blue (a fourth is passed over); the size comes
// from the corners; a 24-bit picture has no palette to use.
TEST_F(GfxLoader, ThreePlanesOfEightBitsAreRedGreenBlue) {
    auto colour = [](int x, int y) { return Rgb{200 + 10 * y + x, 40 * x + 3, 250 - 60 * y}; };
    for (int planes : {3, 4}) {
        Pcx pcx(5, 3, 8, planes, 6);
        pcx.xmin = 100, pcx.xmax = 104, pcx.ymin = 7, pcx.ymax = 9;
        for (int i = 0; i < 6 * 3; ++i)
            for (int p = 0; p < planes; ++p)
                pcx.At(i / 6, p, i % 6) = uint8_t(p < 3 ? colour(i % 6, i / 6)[p] : 0xFF);
        pcx.palette.assign(768, 0);
        EXPECT_EQ(Load(pcx.Encode()),
                  Picture(5, 3, [&](int x, int y) { return Shown(colour(x, y)); }))
            << planes;
    }
}

// 8-bit pictures 4 pixels wide with hand-made pixel data (palette entry i is grey 10 x i): runs
// never cross a scan line, and a count of 0 stores nothing. A file cut off keeps the header's
// size: three whole lines of white, the fourth white as far as its one byte goes and black
// after it (not what the line before left), black below; or it ends on a run code whose value
// never comes after whole bytes.
TEST_F(GfxLoader, RunsNeverCrossAScanLineAndTruncatedFilesKeepTheirSize) {
    const std::pair<Bytes, Pixels> cases[] = {
        {{0xC0, 0x07, 0x01, 0x02, 0xC2, 0x03}, {1, 2, 3, 3}},
        {{0xC6, 0x09, 0x01, 0x02, 0x03, 0x04, 0xC4, 0x05}, {9, 9, 9, 9, 1, 2, 3, 4, 5, 5, 5, 5}}};
    Bytes palette = Table(256, [](int i) { return Rgb{10 * i % 256, 10 * i % 256, 10 * i % 256}; });
    for (const auto& [data, greys] : cases) {
        Bytes bytes = Pcx(4, int(greys.size() / 4), 8, 1, 4).Header();
        bytes.insert(bytes.end(), data.begin(), data.end());
        bytes.push_back(12);
        bytes.insert(bytes.end(), palette.begin(), palette.end());
        Pixels want;
        for (int g : greys) want.push_back(Shown({10 * g, 10 * g, 10 * g}));
        EXPECT_EQ(Load(bytes).pixels, want);
    }
    Pcx white(16, 8, 1, 1, 2);
    for (Bytes& line : white.lines) line.assign(2, 0xFF);
    white.lines[3] = {0x7F, 0x00};
    Bytes bytes = white.Encode();
    bytes.resize(128 + 3 * 2 + 1);
    EXPECT_EQ(Load(bytes), Picture(16, 8, [](int x, int y) {
                  return y < 3 || (y == 3 && x >= 1 && x < 8) ? 0xFFFF : 0;
              }));
    Bytes cut = Pcx(4, 2, 8, 1, 4).Header();
    cut.insert(cut.end(), {0x01, 0x02, 0x03, 0x04, 0xC3});
    const Loaded p = Load(cut);
    EXPECT_EQ(std::pair(p.width, p.height), std::pair(4, 2));
}

// The depths a DIB row is made for: 1 bit alone, 2 to 4 bits as 4, 5 to 8 as 8, 9 and more as
// 24, none for 0; every row padded to four bytes. (Bits, width; the row's length and the depth.)
TEST(GfxRowStride, DepthBoundariesAndRowPadding) {
    const int cases[][4] = {{1, 33, 8, 1},    {2, 1, 4, 4},  {4, 9, 8, 4}, {5, 3, 4, 8},
                            {8, 641, 644, 8}, {9, 1, 4, 24}, {0, 10, 0, 0}};
    for (auto [bits, width, length, depth] : cases) {
        int32_t bitCount = bits;
        EXPECT_EQ(std::pair(DibRowStride(bitCount, width), bitCount), std::pair(length, depth))
            << bits << " " << width;
    }
}

}  // namespace
