// The display device: creation, release, the retry rule, locks, blits and flips; the colour
// tables and the drawing into a locked surface; the block font; colour keys.
#include "../support/drawn.h"

#include <map>
#include <set>

using namespace testing_support;

namespace {

// Release finds only what exists, before any Init, twice in a row, and after an Init that
// failed part way; Init reports each failure and releases nothing itself.
TEST(DisplayDevice, InitAndRelease) {
    auto variables = [] {
        return std::vector{DirectDrawObject != nullptr, PrimarySurface != nullptr,
                           BackSurface != nullptr};
    };
    DisplayDown();
    DisplayDevice.Release();
    DisplayDevice.Flip();  // the device's calls find nothing to act on
    DisplayDevice.ClearSurface(BackSurface);
    EXPECT_FALSE(DisplayDevice.LockSurface(BackSurface, &LockDesc) ||
                 DisplayDevice.UnlockSurface(BackSurface));
    Backend().failDisplay = true;  // no DirectDraw at all
    EXPECT_FALSE(DisplayDevice.Init(GameWindow()));
    Backend().failDisplay = false;
    EXPECT_EQ(variables(), (std::vector{false, false, false}));
    EXPECT_FALSE(DisplayDevice.Init(nullptr));  // no window: no exclusive level
    EXPECT_EQ(variables(), (std::vector{true, false, false}));
    DisplayDevice.Release();
    EXPECT_EQ(variables(), (std::vector{false, false, false}));
    EXPECT_TRUE(DisplayDevice.Init(GameWindow()));
    EXPECT_EQ(variables(), (std::vector{true, true, true}));
    DisplayDevice.Release();
    EXPECT_EQ(variables(), (std::vector{false, false, false}));
}

// Clear, blit and flip repeat a call while it answers DDERR_WASSTILLDRAWING, and only then.
TEST(DisplayDevice, RetriesWhileTheBlitterIsBusy) {
    DisplayUp();
    LPDIRECTDRAWSURFACE primary = PrimarySurface, back = BackSurface;
    RECT r{0, 0, 1, 1};
    for (int busy : {0, 3}) {
        FakeSurface clear(busy), flip(busy), blit(busy);
        DisplayDevice.ClearSurface(&clear);
        PrimarySurface = &flip, BackSurface = &blit;
        DisplayDevice.Flip();
        DisplayDevice.BlitToBack(0, 0, &blit, &r, DDBLTFAST_NOCOLORKEY);
        PrimarySurface = primary, BackSurface = back;
        EXPECT_EQ((std::vector{clear.calls, flip.calls, blit.calls}),
                  std::vector<int>(3, busy + 1));
    }
}

// One frame as the game makes it: clear, blits, flip. Nothing is clipped, so a rectangle that
// does not fit is not drawn at all; a flip while the back buffer is locked is refused and not
// repeated.
TEST(DisplayDevice, ClearBlitAndFlip) {
    DisplayUp();
    IDirectDrawSurface* picture = MakeSurface(8, 4);
    FillSurface(picture, 0x1234);
    FillSurface(BackSurface, 0xFFFF);
    DisplayDevice.ClearSurface(BackSurface);
    RECT r{2, 1, 6, 3};
    for (auto [x, y] : {std::pair{630, 470}, {637, 10}, {-1, 10}, {10, 479}})
        DisplayDevice.BlitToBack(x, y, picture, &r, DDBLTFAST_NOCOLORKEY);
    // A picture that failed to load.
    DisplayDevice.BlitToBack(0, 0, nullptr, &r, DDBLTFAST_NOCOLORKEY);
    const int flips = Backend().flips;
    DisplayDevice.Flip();
    int wrong = 0;  // the front is black but for the 4 x 2 rectangle at (630, 470)
    EachPixel(PrimarySurface, 640, 480, [&wrong](int x, int y, uint16_t& pixel) {
        wrong += pixel != (x >= 630 && x < 634 && y >= 470 && y < 472 ? 0x1234 : 0);
    });
    EXPECT_EQ(wrong, 0);
    ASSERT_TRUE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    DisplayDevice.Flip();
    EXPECT_EQ(Backend().flips, flips + 1);
    EXPECT_TRUE(DisplayDevice.UnlockSurface(BackSurface));
    EXPECT_FALSE(DisplayDevice.UnlockSurface(BackSurface));
    picture->Release();
}

using Spans = std::map<int, std::pair<int, int>>;

// The back buffer, cleared and locked into LockDesc for the test's drawing.
class Drawing : public ::testing::Test {
protected:
    void SetUp() override {
        DisplayUp();
        ASSERT_TRUE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
        Clear();
    }
    void TearDown() override { EXPECT_TRUE(DisplayDevice.UnlockSurface(BackSurface)); }
    static uint8_t* Row(int y) {
        return static_cast<uint8_t*>(LockDesc.lpSurface) + y * LockDesc.lPitch;
    }
    static uint16_t At(int x, int y) { return reinterpret_cast<uint16_t*>(Row(y))[x]; }
    static void Clear() {
        for (int y = 0; y < 480; ++y) std::memset(Row(y), 0, 1280);
    }
    // The lit pixels of each row as row -> (first, last); fails unless each row is one span.
    static Spans Rows() {
        Spans rows;
        for (int y = 0; y < 480; ++y) {
            int first = -1, last = -1, count = 0;
            for (int x = 0; x < 640; ++x)
                if (At(x, y) != 0) first = first < 0 ? x : first, last = x, ++count;
            if (count > 0) rows[y] = {first, last};
            EXPECT_EQ(count, count > 0 ? last - first + 1 : 0) << "row " << y << " has a gap";
        }
        return rows;
    }
};

// Each component is scaled into its field by truncation: a 5-bit field gives 0 for 0..8 and 1
// for 9..16, a 6-bit field 0 for 0..4; only 255 reaches the field's maximum. Each row: 5-5-5
// or not, the colour, the pixel.
TEST_F(Drawing, PackedColoursIn565And555) {
    const int cases[][5] = {
        {0, 4, 4, 4, 0x0000},       {0, 5, 5, 5, 0x0020},       {0, 8, 8, 8, 0x0020},
        {0, 9, 9, 9, 0x0841},       {0, 16, 16, 16, 0x0861},    {0, 17, 17, 17, 0x1082},
        {0, 128, 128, 128, 0x7BEF}, {0, 255, 255, 255, 0xFFFF}, {0, 0, 255, 0, 0x07E0},
        {0, 255, 0, 255, 0xF81F},   {1, 8, 8, 8, 0x0000},       {1, 9, 9, 9, 0x0421},
        {1, 128, 128, 128, 0x3DEF}, {1, 255, 255, 255, 0x7FFF},
    };
    for (auto [is555, r, g, b, want] : cases) {
        TearDown();
        DisplayUp(is555 ? plat::kFormat555 : plat::kFormat565);
        ASSERT_TRUE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
        for (int y : {1, 3, 5}) std::memset(Row(y) + 2, 0x5A, 2);  // so that black shows too
        DisplayDevice.PutPixel(1, 1, r, g, b, &LockDesc);
        DisplayDevice.DrawHLine(1, 1, 3, r, g, b, &LockDesc);
        DisplayDevice.DrawVLine(1, 5, 5, r, g, b, &LockDesc);
        EXPECT_EQ((std::vector<int>{At(1, 1), At(1, 3), At(1, 5)}), std::vector<int>(3, want))
            << r << "," << g;
    }
}

// Pixels only on columns and rows from 1, inside the surface, through its pitch. A surface
// smaller than the screen: its size stops every drawing operation, one column and one row
// short of the guard words around it.
TEST_F(Drawing, PutPixelOnlyOnColumnsAndRowsFrom1InsideTheSurfaceAndThroughThePitch) {
    const std::pair<int, int> spots[] = {{0, 10}, {10, 0},      {640, 10},   {10, 480},  {-1, 5},
                                         {5, -1}, {-100000, 3}, {3, 100000}, {639, 479}, {1, 1}};
    for (auto [x, y] : spots) DisplayDevice.PutPixel(x, y, 255, 255, 255, &LockDesc);
    EXPECT_EQ(Rows(), (Spans{{1, {1, 1}}, {479, {639, 639}}}));
    ASSERT_GT(LockDesc.lPitch, 1280);
    DisplayDevice.PutPixel(10, 2, 255, 0, 0, &LockDesc);
    EXPECT_EQ(At(10, 2), 0xF800);
    std::vector<uint16_t> memory(6 * 8, 0x5555);
    DDSURFACEDESC small = LockDesc;
    small.lpSurface = memory.data(), small.lPitch = 16, small.dwWidth = 7, small.dwHeight = 5;
    for (auto [x, y] : {std::pair{1, 5}, {7, 1}, {3, 2}})
        DisplayDevice.PutPixel(x, y, 255, 255, 255, &small);
    DisplayDevice.DrawHLine(0, 100, 5, 255, 255, 255, &small);
    DisplayDevice.DrawHLine(0, 100, 4, 255, 255, 255, &small);
    DisplayDevice.DrawVLine(7, 0, 100, 255, 255, 255, &small);
    DisplayDevice.DrawVLine(6, 0, 100, 255, 255, 255, &small);
    for (int i = 0; i < 48; ++i) {
        const int x = i % 8, y = i / 8;
        const bool drawn = (y == 4 && x < 7) || (x == 6 && y < 5) || (x == 3 && y == 2);
        EXPECT_EQ(memory[size_t(i)], drawn ? 0xFFFF : 0x5555) << x << "," << y;
    }
}

// Every drawing operation (0 a span, 1 a column, 2 an outline, 3 a box) with its corners, the
// number of pixels it lights and their bounding box.
TEST_F(Drawing, SpansOutlinesAndBoxes) {
    const int outline = 2 * 474 + 2 * 472;
    const int cases[][10] = {
        {0, 30, 30, 20, 0, 1, 30, 20, 30, 20},
        {0, 30, 29, 20, 0, 0},
        {0, 5, 14, 7, 0, 10, 5, 7, 14, 7},
        {0, 0, 639, 0, 0, 640, 0, 0, 639, 0},
        {1, 40, 50, 49, 0, 0},
        {1, 0, 0, 479, 0, 480, 0, 0, 0, 479},
        {2, 3, 3, 476, 476, outline, 3, 3, 476, 476},
        {2, 476, 476, 3, 3, outline, 3, 3, 476, 476},
        {2, 0, 0, 479, 479, 4 * 479, 0, 0, 479, 479},
        {2, 9, 9, 9, 9, 1, 9, 9, 9, 9},
        {3, 10, 0, 20, 5, 5 * 11, 10, 1, 20, 5},
        {3, 600, 470, 700, 480, 10 * 40, 600, 470, 639, 479},
        {3, -30, 100, 2, 100, 3, 0, 100, 2, 100},
        {3, 20, 10, 10, 20, 0},
        {3, 10, 20, 20, 10, 0},
        {3, 0, 0, 639, 479, 640 * 479, 0, 1, 639, 479},
    };
    for (const auto& k : cases) {
        Clear();
        const int r = 96, g = 96, b = 96;  // 0x5AEB
        if (k[0] == 0) DisplayDevice.DrawHLine(k[1], k[2], k[3], r, g, b, &LockDesc);
        if (k[0] == 1) DisplayDevice.DrawVLine(k[1], k[2], k[3], r, g, b, &LockDesc);
        if (k[0] == 2) DisplayDevice.DrawRect(k[1], k[2], k[3], k[4], r, g, b);
        if (k[0] == 3) DisplayDevice.FillRect(k[1], k[2], k[3], k[4], r, g, b);
        int count = 0, x1 = 639, y1 = 479, x2 = 0, y2 = 0, colours = 0;
        for (int i = 0; i < 640 * 480; ++i) {
            const int x = i % 640, y = i / 640;
            if (At(x, y) == 0) continue;
            colours += At(x, y) != 0x5AEB, ++count;
            x1 = std::min(x1, x), y1 = std::min(y1, y), x2 = std::max(x2, x), y2 = std::max(y2, y);
        }
        EXPECT_EQ((std::vector{count, x1, y1, x2, y2, colours}),
                  (std::vector{k[5], k[5] ? k[6] : 639, k[5] ? k[7] : 479, k[8], k[9], 0}))
            << &k - cases;
    }
}

// Half-widths of discs by row offset from -radius to radius, drawn on rows 1..479 only, with
// columns cut to 0..639.
TEST_F(Drawing, FilledDiscs) {
    const std::vector<int> r3 = {1, 2, 3, 3, 3, 2, 1}, r5 = {2, 3, 4, 5, 5, 5, 5, 5, 4, 3, 2};
    const std::vector<int> r10 = {3,  5,  6,  7, 8, 9, 9, 10, 10, 10, 10,
                                  10, 10, 10, 9, 9, 8, 7, 6,  5,  3};
    const std::tuple<int, int, int, std::vector<int>> cases[] = {
        {100, 100, 3, r3},  {20, 100, 5, r5}, {300, 240, 10, r10}, {100, 100, 0, {0}},
        {100, 100, -1, {}}, {2, 100, 5, r5},  {100, 2, 5, r5},     {637, 477, 5, r5},
        {100, 484, 5, r5},  {100, -5, 5, r5}, {-20, 100, 5, r5},   {100, 600, 5, r5}};
    for (const auto& [cx, cy, radius, half] : cases) {
        Clear();
        DisplayDevice.FillCircle(cx, cy, radius, 255, 255, 0);
        Spans want;
        for (int dy = -radius; dy <= radius; ++dy) {
            int y = cy + dy, w = half.at(size_t(dy + radius));
            if (y >= 1 && y <= 479 && cx + w >= 0 && cx - w <= 639)
                want[y] = {std::max(0, cx - w), std::min(639, cx + w)};
        }
        EXPECT_EQ(Rows(), want) << "disc at " << cx << "," << cy << " radius " << radius;
    }
    DisplayDevice.FillCircle(100, 100, 3, 255, 255, 0);
    EXPECT_EQ(At(100, 100), 0xFFE0);
}

// Nothing is drawn through a lock that failed (a second lock into LockDesc, which it clears) or
// before the colour tables.
TEST_F(Drawing, NothingIsDrawnThroughAFailedLockOrBeforeTheColourTables) {
    auto drawEverything = [] {
        DisplayDevice.PutPixel(10, 10, 255, 255, 255, &LockDesc);
        DisplayDevice.DrawHLine(0, 639, 10, 255, 255, 255, &LockDesc);
        DisplayDevice.DrawVLine(10, 0, 479, 255, 255, 255, &LockDesc);
        DisplayDevice.DrawRect(5, 5, 100, 100, 255, 255, 255);
        DisplayDevice.FillRect(5, 5, 100, 100, 255, 255, 255);
        DisplayDevice.FillCircle(50, 50, 10, 255, 255, 255);
        DisplayDevice.DrawBlockText(20, 20, "ABC", 255, 255, 255);
    };
    DDSURFACEDESC view = LockDesc;
    EXPECT_FALSE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    EXPECT_EQ(LockDesc.lpSurface, nullptr);
    drawEverything();
    LockDesc = view;
    std::unique_ptr<uint32_t[]> tables = std::move(DisplayDevice.tableBlock);
    drawEverything();
    DisplayDevice.tableBlock = std::move(tables);
    EXPECT_TRUE(Rows().empty()) << "drawn without a lock or without colour tables";
}

// Row `row` of the glyph of c in the tests' own copy of the font.
int GlyphRow(char c, int row) {
    for (const Glyph& g : kFont)
        if (g.c == c) return int((g.rows >> (56 - 8 * row)) & 0xFF);
    return 0;
}

TEST_F(Drawing, GlyphsMatchTheCopyAndOtherCharactersHaveNone) {
    for (const Glyph& g : kFont) {
        const BlockGlyph* glyph = FindGlyph(g.c);
        ASSERT_NE(glyph, nullptr) << g.c;
        for (int row = 0; row < 8; ++row)
            EXPECT_EQ(glyph->rows[row], GlyphRow(g.c, row)) << g.c << row;
    }
    for (char c : {'a', 'z', ' ', '?', '.', ':', '\0', char(0xC4)})
        EXPECT_EQ(FindGlyph(c), nullptr) << int(c);
}

// Every byte of a text takes eight columns, and each pixel is clipped to columns and rows from
// 1 by itself: a glyph at column 633 loses its last column, one at column 0 its first, one at
// row 0 its first row. Texts wholly off the screen draw nothing.
TEST_F(Drawing, BlockTextTakesEightColumnsAByteAndEachPixelIsClippedByItself) {
    const std::tuple<int, int, const char*, std::string> cases[] = {
        {100, 50, " AB", " AB"}, {40, 300, "??aa1", "    1"}, {633, 50, "X", "X"},
        {0, 50, "BB", "BB"},     {100, 0, "AX", "AX"},        {100, -4, "H", "H"},
        {100, 476, "H", "H"},    {-12, 200, "HHH", "HHH"},    {620, 200, "HHHHH", "HHHHH"},
        {700, 200, "HHH", ""},   {-100, 200, "HHH", ""},      {100, 480, "HHH", ""},
        {100, -8, "HHH", ""},
    };
    for (const auto& [x0, y0, text, glyphs] : cases) {
        Clear();
        DisplayDevice.DrawBlockText(x0, y0, text, 128, 0, 0);
        std::set<std::pair<int, int>> want, lit;
        for (size_t n = 0; n < glyphs.size(); ++n)
            for (int i = 0; i < 64; ++i) {
                int x = x0 + 8 * int(n) + i % 8, y = y0 + i / 8;
                if ((GlyphRow(glyphs[n], i / 8) & (0x80 >> i % 8)) && x >= 1 && x <= 639 &&
                    y >= 1 && y <= 479)
                    want.emplace(x, y);
            }
        int colours = 0;
        for (int i = 0; i < 640 * 480; ++i)
            if (At(i % 640, i / 640) != 0)
                lit.emplace(i % 640, i / 640), colours += At(i % 640, i / 640) != 0x7800;
        EXPECT_EQ(std::pair(lit, colours), std::pair(want, 0)) << text << " at " << x0 << "," << y0;
    }
}

// A new surface holding `rows` rows of four pixels.
IDirectDrawSurface* Picture(const uint16_t (*pixels)[4], int rows) {
    return MakeSurface(4, rows, [=](int x, int y) { return pixels[y][x]; });
}

// The colour's value in the surface's format, with nothing from the all-ones pixel next to
// the probe pixel, which is put back. No colour: the probe's own value, nothing written. A
// surface locked elsewhere can be neither written nor read.
TEST(ColourKey, MatchGivesTheSurfacesOwnValue) {
    const uint16_t pixels[1][4] = {{0x0421, 0xFFFF, 0x0421, 0x0421}};
    for (auto [format, colour, want] :
         {std::tuple{plat::kFormat565, RGB(255, 0, 255), DWORD{0xF81F}},
          {plat::kFormat555, RGB(255, 0, 255), 0x7C1F},
          {plat::kFormat565, CLR_INVALID, 0x0421}}) {
        DisplayUp(format);
        IDirectDrawSurface* s = Picture(pixels, 1);
        EXPECT_EQ(ColourMatch(s, colour), want) << std::hex << colour;
        EXPECT_EQ(SurfacePixel(s, 0, 0) * 0x10000 + SurfacePixel(s, 1, 0), 0x0421FFFF);
        s->Release();
    }
    DisplayUp();
    IDirectDrawSurface* s = Picture(pixels, 1);
    DDSURFACEDESC desc = Sized<DDSURFACEDESC>();
    ASSERT_EQ(s->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(ColourMatch(s, RGB(255, 0, 255)), CLR_INVALID);
    EXPECT_EQ(s->Unlock(nullptr), DD_OK);
    EXPECT_EQ(SurfacePixel(s, 0, 0), 0x0421);
    s->Release();
    EXPECT_EQ(ColourMatch(nullptr, RGB(255, 0, 255)), CLR_INVALID);
    EXPECT_EQ(SetColourKey(nullptr, RGB(255, 0, 255)), DDERR_INVALIDOBJECT);
    // Whatever the width of the surface's pixels, the first pixel's bytes come back whole, and
    // nothing beyond them.
    uint8_t memory[8] = {0x78, 0x56, 0x34, 0xF2, 0xAA, 0xBB, 0xCC, 0xDD};
    const std::pair<DWORD, DWORD> firstPixels[] = {{32, 0xF2345678}, {24, 0x345678}, {16, 0x5678},
                                                   {15, 0x5678},     {12, 0x678},    {8, 0x78},
                                                   {1, 0},           {0, 0}};
    for (auto [bits, value] : firstPixels) {
        FakeSurface surface(0, memory, bits);
        EXPECT_EQ(ColourMatch(&surface, RGB(255, 0, 255)), value) << bits << " bits";
    }
}

// A sprite with magenta corners (the probe pixel among them) and a pixel one below magenta.
TEST(ColourKey, KeyedBlitLeavesMagentaOut) {
    DisplayUp();
    const uint16_t pixels[2][4] = {{0xF81F, 0x1234, 0x0001, 0xF81F},
                                   {0xF81E, 0xF81F, 0x07E0, 0xFFFF}};
    IDirectDrawSurface* sprite = Picture(pixels, 2);
    EXPECT_EQ(SetColourKey(sprite, RGB(255, 0, 255)), DD_OK);
    FillSurface(BackSurface, 0x5555);
    RECT r{0, 0, 4, 2};
    DisplayDevice.BlitToBack(100, 50, sprite, &r, DDBLTFAST_SRCCOLORKEY);
    for (int i = 0; i < 12; ++i) {
        const int x = i % 6 - 1, y = i / 6;
        const bool drawn = x >= 0 && x < 4 && pixels[y][x] != 0xF81F;
        EXPECT_EQ(SurfacePixel(BackSurface, 100 + x, 50 + y), drawn ? pixels[y][x] : 0x5555)
            << x << "," << y;
    }
    sprite->Release();
}

}  // namespace
