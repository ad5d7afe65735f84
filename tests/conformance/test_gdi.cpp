// GDI on a surface's device context, as the game loads its pictures and finds its colour
// keys: StretchDIBits of bottom-up DIBs of every depth the game reads into a 16-bit surface,
// single pixels written and read back, and colour keys set from what landed.
#include "conformance.h"

#include <cstring>

namespace conformance {
namespace {

struct Rgb {
    uint8_t r, g, b;
};

// 5-6-5 keeps the top five, six and five bits of each colour.
uint16_t To565(Rgb c) {
    return static_cast<uint16_t>(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3));
}

// Colours whose low bits, dropped or rounded, give different 5-6-5 values.
const Rgb kColours[16] = {
    {0x00, 0x00, 0x00}, {0xFF, 0xFF, 0xFF}, {0x0F, 0x0F, 0x0F}, {0x08, 0x04, 0x08},
    {0x07, 0x03, 0x07}, {0xFF, 0x80, 0x00}, {0x12, 0x34, 0x56}, {0xF8, 0xFC, 0xF8},
    {0x84, 0x42, 0x21}, {0x7F, 0x7F, 0x7F}, {0xFE, 0x01, 0xFD}, {0x3C, 0xC3, 0x5A},
    {0xA5, 0x5A, 0x0F}, {0x01, 0xFE, 0x81}, {0xC0, 0x1F, 0xE7}, {0x66, 0x99, 0xCC},
};

Rgb Colour(int i) {
    if (i < 16) return kColours[i];
    return Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
               static_cast<uint8_t>((i * 7) & 0xFF)};
}

// A DIB of width 5 and height 3 (rows padded to four bytes), stored bottom up.
constexpr int kWidth = 5, kHeight = 3;

struct Dib {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info;
    std::vector<uint8_t> bits;
    Rgb shown[kHeight][kWidth];  // the colour each pixel stands for, counted from the top
};

// Which colour a pixel takes: an index of the colour table, or a colour of its own at 24 bits.
int IndexAt(int bitCount, int x, int y) {
    switch (bitCount) {
        case 1: return (x + y) % 2;
        case 4: return (x * 3 + y * 5) % 16;
        case 8: return (x * 37 + y * 11 + 9) % 256;
        default: return x * kHeight + y;
    }
}

Dib MakeDib(int bitCount) {
    Dib dib{};
    BITMAPINFOHEADER& h = dib.info.header;
    h.biSize = sizeof h;
    h.biWidth = kWidth;
    h.biHeight = kHeight;  // bottom up
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bitCount);
    h.biCompression = BI_RGB;
    const int stride = ((kWidth * bitCount + 31) / 32) * 4;
    dib.bits.assign(static_cast<size_t>(stride * kHeight), 0);
    // Colour i of a 1-bit table is colour 5 i + 2 of the list.
    auto colourOf = [bitCount](int index) { return Colour(bitCount == 1 ? index * 5 + 2 : index); };
    auto quad = [](Rgb c) { return RGBQUAD{c.b, c.g, c.r, 0}; };
    for (int i = 0; bitCount <= 8 && i < (1 << bitCount); ++i)
        dib.info.colours[i] = quad(colourOf(i));
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = &dib.bits[static_cast<size_t>((kHeight - 1 - y) * stride)];
        for (int x = 0; x < kWidth; ++x) {
            const int index = IndexAt(bitCount, x, y);
            const RGBQUAD colour = quad(dib.shown[y][x] = colourOf(index));
            // Indices fill each byte from its top bits down; 24-bit pixels are blue, green, red.
            if (bitCount <= 8)
                row[x * bitCount / 8] |=
                    static_cast<uint8_t>(index << (8 - bitCount - x * bitCount % 8));
            else
                std::memcpy(&row[x * 3], &colour, 3);
        }
    }
    return dib;
}

// StretchDIBits of a DIB's source rectangle at (sx, sy) to the rectangle `to` of a surface of
// 8 x 4 filled with 0x5555, its answer, and every pixel of the surface after.
class Gdi : public DisplayTest {
protected:
    static void ExpectStretch(Dib& dib, RECT to, int sx, int sy, int answer,
                              const std::function<int(int, int)>& expected) {
        Released<IDirectDrawSurface> surface(MakeSurface(8, 4));
        ASSERT_NE(surface.get(), nullptr);
        ASSERT_HR(Fill(surface.get(), 0x5555), DD_OK);
        HDC dc = nullptr;
        ASSERT_HR(surface->GetDC(&dc), DD_OK);
        const int width = to.right - to.left, height = to.bottom - to.top;
        EXPECT_EQ(StretchDIBits(dc, to.left, to.top, width, height, sx, sy, width, height,
                                dib.bits.data(), reinterpret_cast<BITMAPINFO*>(&dib.info),
                                DIB_RGB_COLORS, SRCCOPY),
                  answer);
        EXPECT_HR(surface->ReleaseDC(dc), DD_OK);
        ExpectPixels(surface.get(), 8, 4, expected);
    }
};

TEST_F(Gdi, StretchDIBitsConvertsEveryDepthToFiveSixFive) {
    for (int bitCount : {1, 4, 8, 24}) {
        SCOPED_TRACE(bitCount);
        Dib dib = MakeDib(bitCount);
        // As the game loads a picture: the whole DIB at the surface's top left corner.
        ExpectStretch(dib, {0, 0, kWidth, kHeight}, 0, 0, kHeight, [&](int x, int y) {
            return x < kWidth && y < kHeight ? To565(dib.shown[y][x]) : 0x5555;
        });
    }
}

// Microsoft: "The origin of a bottom-up DIB is the lower-left corner". A source rectangle of a
// bottom-up DIB is counted from its last row.
TEST_F(Gdi, StretchDIBitsCountsABottomUpSourceFromItsLowerLeftCorner) {
    Dib dib = MakeDib(24);
    // Source columns 1 to 3 of the two lowest rows, to columns 2 to 4 of rows 1 and 2. The
    // answer is documented as the number of rows copied; Wine answers the height of the whole
    // DIB. The game looks at neither.
    const RECT to{2, 1, 5, 3};
    ExpectStretch(dib, to, 1, 0, UnderWine() ? kHeight : 2, [&](int x, int y) {
        return Inside(to, x, y) ? To565(dib.shown[y][x - 1]) : 0x5555;
    });
}

TEST_F(Gdi, SetPixelAndGetPixelRoundTrip) {
    Released<IDirectDrawSurface> surface(MakeSurface(4, 4));
    ASSERT_NE(surface.get(), nullptr);
    ASSERT_HR(Fill(surface.get(), 0), DD_OK);
    HDC dc = nullptr;
    ASSERT_HR(surface->GetDC(&dc), DD_OK);
    // Written colours lose their low bits; read back, the bits kept are widened again by
    // repeating their top bits into the low ones.
    const struct {
        COLORREF written;
        uint16_t stored;
        COLORREF read;
    } kCases[] = {
        {RGB(0x0F, 0x0F, 0x0F), 0x0861, RGB(0x08, 0x0C, 0x08)},
        {RGB(0xFF, 0xFF, 0xFF), 0xFFFF, RGB(0xFF, 0xFF, 0xFF)},
        {RGB(0xFF, 0x00, 0xFF), 0xF81F, RGB(0xFF, 0x00, 0xFF)},
        {RGB(0x80, 0x80, 0x80), 0x8410, RGB(0x84, 0x82, 0x84)},
        {RGB(0x12, 0x34, 0x56), 0x11AA, RGB(0x10, 0x34, 0x52)},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(SetPixel(dc, 1, 2, c.written), c.read) << std::hex << c.written;
        EXPECT_EQ(GetPixel(dc, 1, 2), c.read) << std::hex << c.written;
    }
    for (POINT outside : {POINT{4, 0}, POINT{0, -1}})
        EXPECT_EQ(GetPixel(dc, outside.x, outside.y), CLR_INVALID) << outside.x << "," << outside.y;
    // A pixel outside is documented to fail with -1; Wine answers 0. The game writes inside.
    EXPECT_EQ(SetPixel(dc, 0, 4, RGB(1, 2, 3)), UnderWine() ? 0 : static_cast<COLORREF>(-1));
    EXPECT_HR(surface->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(Pixel(surface.get(), 1, 2), kCases[4].stored);

    // What the game saves with GetPixel and puts back with SetPixel is the same pixel value.
    for (uint16_t value : {0x0000, 0xFFFF, 0x0861, 0xF81F, 0x07E0, 0x1234, 0xABCD, 0x8410}) {
        SetPixelValue(surface.get(), 3, 1, value);
        ASSERT_HR(surface->GetDC(&dc), DD_OK);
        COLORREF saved = GetPixel(dc, 3, 1);
        SetPixel(dc, 3, 1, RGB(0x40, 0x40, 0x40));
        SetPixel(dc, 3, 1, saved);
        EXPECT_HR(surface->ReleaseDC(dc), DD_OK);
        EXPECT_EQ(Pixel(surface.get(), 3, 1), value) << std::hex << value;
    }
}

// The game's colour key: the colour written with SetPixel, the value found with Lock, and a
// key of that value.
TEST_F(Gdi, AColourKeyOfTheValueGdiWrote) {
    Released<IDirectDrawSurface> surface(MakeSurface(4, 1)), to(MakeSurface(4, 1));
    ASSERT_TRUE(surface && to);
    const COLORREF kKey = RGB(0xFF, 0x00, 0xFE);
    HDC dc = nullptr;
    ASSERT_HR(surface->GetDC(&dc), DD_OK);
    // The key, the same 5-6-5 value, one step of red less, and green.
    const COLORREF kRow[] = {kKey, RGB(0xF8, 0x00, 0xF8), RGB(0xF0, 0x00, 0xF8), RGB(0, 0x80, 0)};
    for (int x = 0; x < 4; ++x) SetPixel(dc, x, 0, kRow[x]);
    EXPECT_HR(surface->ReleaseDC(dc), DD_OK);
    const uint16_t value = Pixel(surface.get(), 0, 0);
    EXPECT_EQ(value, 0xF81F);

    DDCOLORKEY key{value, value};
    EXPECT_HR(surface->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_HR(surface->SetColorKey(0, &key), DDERR_INVALIDPARAMS);
    ASSERT_HR(Fill(to.get(), 0x0001), DD_OK);
    EXPECT_HR(BltFast(to.get(), 0, 0, surface.get(), nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    EXPECT_EQ(Read(to.get()).values, (std::vector<uint16_t>{0x0001, 0x0001, 0xF01F, 0x0400}));
}

}  // namespace
}  // namespace conformance
