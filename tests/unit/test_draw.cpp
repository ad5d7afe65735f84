// The colour tables and the drawing into a locked surface: pixels, spans, rectangle outlines,
// filled boxes and filled discs.
#include "../support/support.h"

#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <utility>
#include <vector>

using namespace testing_support;

namespace {

// The back buffer, cleared and locked into LockDesc for the test's drawing.
class Canvas {
public:
    explicit Canvas(plat::PixelFormat format = plat::kFormat565) {
        DisplayUp(format);
        if (BackSurface == nullptr) return;
        DisplayDevice.ClearSurface(BackSurface);
        locked_ = DisplayDevice.LockSurface(BackSurface, &LockDesc);
    }
    ~Canvas() {
        if (locked_) {
            EXPECT_TRUE(DisplayDevice.UnlockSurface(BackSurface));
        }
        DisplayDown();
        Backend().format = plat::kFormat565;
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Ready() const { return locked_; }
    uint16_t At(int x, int y) const {
        uint16_t v = 0;
        std::memcpy(&v, Base() + y * LockDesc.lPitch + 2 * x, 2);
        return v;
    }
    void Set(int x, int y, uint16_t v) { std::memcpy(Base() + y * LockDesc.lPitch + 2 * x, &v, 2); }
    // Every pixel that is not 0, as (x, y).
    std::vector<std::pair<int, int>> Lit() const {
        std::vector<std::pair<int, int>> out;
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                if (At(x, y) != 0) out.emplace_back(x, y);
            }
        }
        return out;
    }
    // The lit columns of each row: row → (first, last, count).
    struct Span {
        int first = 0;
        int last = 0;
        int count = 0;
    };
    std::map<int, Span> Rows() const {
        std::map<int, Span> rows;
        for (auto [x, y] : Lit()) {
            auto it = rows.find(y);
            if (it == rows.end()) {
                rows[y] = Span{x, x, 1};
            } else {
                it->second.last = x;
                ++it->second.count;
            }
        }
        return rows;
    }
    void Clear() {
        for (int y = 0; y < 480; ++y) std::memset(Base() + y * LockDesc.lPitch, 0, 1280);
    }

private:
    uint8_t* Base() const { return static_cast<uint8_t*>(LockDesc.lpSurface); }
    bool locked_ = false;
};

uint32_t Expected(int i, uint32_t mask) {
    // floor(i * (2^n - 1) / 255) placed at the mask's position.
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) ++shift;
    uint32_t top = mask >> shift;
    return (static_cast<uint32_t>(i) * top / 255) << shift;
}

TEST(ColourTables, RowsIn565) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    ASSERT_NE(DisplayDevice.tableBlock, nullptr);
    EXPECT_EQ(DisplayDevice.redTable, DisplayDevice.tableBlock);
    EXPECT_EQ(DisplayDevice.greenTable, DisplayDevice.tableBlock + 256);
    EXPECT_EQ(DisplayDevice.blueTable, DisplayDevice.tableBlock + 512);
    struct Row {
        int i;
        uint32_t r, g, b;
    };
    const Row rows[] = {
        {0, 0x0000, 0x0000, 0x0000},   {8, 0x0000, 0x0020, 0x0000},
        {9, 0x0800, 0x0040, 0x0001},   {128, 0x7800, 0x03E0, 0x000F},
        {200, 0xC000, 0x0620, 0x0018}, {255, 0xF800, 0x07E0, 0x001F},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DisplayDevice.redTable[row.i], row.r) << row.i;
        EXPECT_EQ(DisplayDevice.greenTable[row.i], row.g) << row.i;
        EXPECT_EQ(DisplayDevice.blueTable[row.i], row.b) << row.i;
    }
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(DisplayDevice.redTable[i], Expected(i, 0xF800)) << i;
        EXPECT_EQ(DisplayDevice.greenTable[i], Expected(i, 0x07E0)) << i;
        EXPECT_EQ(DisplayDevice.blueTable[i], Expected(i, 0x001F)) << i;
    }
    // Truncation, not rounding: 5-bit fields give 0 for 0..8 and 1 for 9..16.
    EXPECT_EQ(DisplayDevice.blueTable[16], 1u);
    EXPECT_EQ(DisplayDevice.blueTable[17], 2u);
    EXPECT_EQ(DisplayDevice.greenTable[4], 0u);
    EXPECT_EQ(DisplayDevice.greenTable[5], 0x20u);
}

TEST(ColourTables, RowsIn555) {
    Canvas c(plat::kFormat555);
    ASSERT_TRUE(c.Ready());
    ASSERT_NE(DisplayDevice.tableBlock, nullptr);
    EXPECT_EQ(DisplayDevice.redTable[255], 0x7C00u);
    EXPECT_EQ(DisplayDevice.greenTable[255], 0x03E0u);
    EXPECT_EQ(DisplayDevice.blueTable[255], 0x001Fu);
    EXPECT_EQ(DisplayDevice.redTable[128], 0x3C00u);
    EXPECT_EQ(DisplayDevice.greenTable[128], 0x01E0u);
    EXPECT_EQ(DisplayDevice.redTable[8], 0u);
    EXPECT_EQ(DisplayDevice.redTable[9], 0x0400u);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(DisplayDevice.redTable[i], Expected(i, 0x7C00)) << i;
        EXPECT_EQ(DisplayDevice.greenTable[i], Expected(i, 0x03E0)) << i;
        EXPECT_EQ(DisplayDevice.blueTable[i], Expected(i, 0x001F)) << i;
    }
}

TEST(PixelDrawing, PackedColoursIn565) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    struct Case {
        int r, g, b;
        uint16_t want;
    };
    const Case cases[] = {{255, 255, 255, 0xFFFF}, {96, 96, 96, 0x5AEB}, {128, 0, 0, 0x7800},
                          {114, 0, 0, 0x6800},     {0, 0, 0, 0x0000},    {0, 255, 0, 0x07E0},
                          {0, 0, 255, 0x001F},     {255, 0, 255, 0xF81F}};
    for (const Case& k : cases) {
        DisplayDevice.PutPixel(1, 1, k.r, k.g, k.b, &LockDesc);
        EXPECT_EQ(c.At(1, 1), k.want) << k.r << "," << k.g << "," << k.b;
    }
}

TEST(PixelDrawing, PackedColoursIn555) {
    Canvas c(plat::kFormat555);
    ASSERT_TRUE(c.Ready());
    DisplayDevice.PutPixel(1, 1, 255, 255, 255, &LockDesc);
    EXPECT_EQ(c.At(1, 1), 0x7FFF);
    DisplayDevice.PutPixel(1, 1, 128, 0, 0, &LockDesc);
    EXPECT_EQ(c.At(1, 1), 0x3C00);
    DisplayDevice.DrawHLine(5, 6, 3, 255, 0, 255, &LockDesc);
    EXPECT_EQ(c.At(5, 3), 0x7C1F);
}

TEST(PixelDrawing, PutPixelBounds) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    const std::pair<int, int> off[] = {{0, 10}, {10, 0}, {640, 10}, {10, 480}, {0, 0},
                                       {-1, 5}, {5, -1}, {-100000, 3}, {3, 100000}, {640, 480}};
    for (auto [x, y] : off) {
        DisplayDevice.PutPixel(x, y, 255, 255, 255, &LockDesc);
        EXPECT_TRUE(c.Lit().empty()) << x << "," << y << " was drawn";
        c.Clear();
    }
    // The last pixel of the surface.
    DisplayDevice.PutPixel(639, 479, 255, 255, 255, &LockDesc);
    auto lit = c.Lit();
    ASSERT_EQ(lit.size(), 1u);
    EXPECT_EQ(lit[0], std::make_pair(639, 479));
    uint16_t last = 0;
    std::memcpy(&last, static_cast<uint8_t*>(LockDesc.lpSurface) + 479 * LockDesc.lPitch + 1278, 2);
    EXPECT_EQ(last, 0xFFFF);
    c.Clear();
    // The first that may be drawn.
    DisplayDevice.PutPixel(1, 1, 255, 255, 255, &LockDesc);
    EXPECT_EQ(c.At(1, 1), 0xFFFF);
}

TEST(PixelDrawing, PixelAddressUsesThePitch) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    ASSERT_GT(LockDesc.lPitch, 1280);
    DisplayDevice.PutPixel(10, 2, 255, 0, 0, &LockDesc);
    const auto* base = static_cast<const uint8_t*>(LockDesc.lpSurface);
    uint16_t word = 0;
    std::memcpy(&word, base + 2 * LockDesc.lPitch + 20, 2);
    EXPECT_EQ(word, 0xF800);
    EXPECT_EQ(c.Lit().size(), 1u);
}

TEST(PixelDrawing, BytesPastEachRowAreNeverWritten) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    const int pitch = LockDesc.lPitch;
    ASSERT_GT(pitch, 1280);
    auto* base = static_cast<uint8_t*>(LockDesc.lpSurface);
    for (int y = 0; y < 480; ++y) std::memset(base + y * pitch + 1280, 0xA5, static_cast<size_t>(pitch - 1280));

    DisplayDevice.FillRect(-50, -50, 5000, 5000, 255, 255, 255);
    DisplayDevice.FillCircle(639, 240, 300, 200, 100, 50);
    DisplayDevice.FillCircle(620, 470, 40, 1, 2, 3);
    DisplayDevice.DrawRect(0, 0, 639, 479, 9, 9, 9);
    DisplayDevice.DrawHLine(0, 639, 479, 255, 255, 255, &LockDesc);
    DisplayDevice.DrawVLine(639, 0, 479, 255, 255, 255, &LockDesc);
    for (int x = 600; x < 700; ++x) {
        for (int y = 0; y < 490; y += 7) DisplayDevice.PutPixel(x, y, 255, 255, 255, &LockDesc);
    }
    DisplayDevice.DrawBlockText(600, 100, "XXXXXXXXXXXXXXXX", 255, 255, 255);
    DisplayDevice.DrawBlockText(630, 475, "WWW", 255, 255, 255);

    int touched = 0;
    for (int y = 0; y < 480; ++y) {
        for (int i = 1280; i < pitch; ++i) {
            if (base[y * pitch + i] != 0xA5) ++touched;
        }
    }
    EXPECT_EQ(touched, 0) << "bytes beyond column 639 were written";
    EXPECT_EQ(c.At(639, 479), 0xFFFF);
}

TEST(PixelDrawing, SpanLengths) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    DisplayDevice.DrawHLine(30, 30, 20, 255, 255, 255, &LockDesc);
    auto lit = c.Lit();
    ASSERT_EQ(lit.size(), 1u);
    EXPECT_EQ(lit[0], std::make_pair(30, 20));
    c.Clear();
    DisplayDevice.DrawHLine(30, 29, 20, 255, 255, 255, &LockDesc);
    DisplayDevice.DrawHLine(30, 10, 20, 255, 255, 255, &LockDesc);
    EXPECT_TRUE(c.Lit().empty());
    DisplayDevice.DrawHLine(5, 14, 7, 255, 255, 255, &LockDesc);
    auto rows = c.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[7].first, 5);
    EXPECT_EQ(rows[7].last, 14);
    EXPECT_EQ(rows[7].count, 10);
    c.Clear();

    DisplayDevice.DrawVLine(40, 50, 50, 255, 255, 255, &LockDesc);
    lit = c.Lit();
    ASSERT_EQ(lit.size(), 1u);
    EXPECT_EQ(lit[0], std::make_pair(40, 50));
    c.Clear();
    DisplayDevice.DrawVLine(40, 50, 49, 255, 255, 255, &LockDesc);
    EXPECT_TRUE(c.Lit().empty());
    DisplayDevice.DrawVLine(0, 0, 479, 255, 255, 255, &LockDesc);
    lit = c.Lit();
    ASSERT_EQ(lit.size(), 480u);
    EXPECT_EQ(lit.front(), std::make_pair(0, 0));
    EXPECT_EQ(lit.back(), std::make_pair(0, 479));
    c.Clear();
    // Spans have no on-screen test: column 0 and row 0 are drawn.
    DisplayDevice.DrawHLine(0, 639, 0, 255, 255, 255, &LockDesc);
    lit = c.Lit();
    ASSERT_EQ(lit.size(), 640u);
    EXPECT_EQ(lit.front(), std::make_pair(0, 0));
    EXPECT_EQ(lit.back(), std::make_pair(639, 0));
}

TEST(ShapeDrawing, RectangleOutline) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    DisplayDevice.DrawRect(3, 3, 476, 476, 96, 96, 96);
    auto forward = c.Lit();
    EXPECT_EQ(forward.size(), 2u * 474u + 2u * 472u);
    EXPECT_EQ(c.At(3, 3), 0x5AEB);
    EXPECT_EQ(c.At(476, 3), 0x5AEB);
    EXPECT_EQ(c.At(3, 476), 0x5AEB);
    EXPECT_EQ(c.At(476, 476), 0x5AEB);
    EXPECT_EQ(c.At(240, 3), 0x5AEB);
    EXPECT_EQ(c.At(3, 240), 0x5AEB);
    EXPECT_EQ(c.At(240, 240), 0);
    EXPECT_EQ(c.At(4, 4), 0);
    c.Clear();
    DisplayDevice.DrawRect(476, 476, 3, 3, 96, 96, 96);
    EXPECT_EQ(c.Lit(), forward);
    c.Clear();
    DisplayDevice.DrawRect(476, 3, 3, 476, 96, 96, 96);
    EXPECT_EQ(c.Lit(), forward);
    c.Clear();
    DisplayDevice.DrawRect(0, 0, 479, 479, 255, 255, 255);
    EXPECT_EQ(c.At(0, 0), 0xFFFF);
    EXPECT_EQ(c.At(200, 0), 0xFFFF);
    EXPECT_EQ(c.At(0, 200), 0xFFFF);
    EXPECT_EQ(c.At(479, 479), 0xFFFF);
    EXPECT_EQ(c.At(479, 0), 0xFFFF);
    EXPECT_EQ(c.At(480, 0), 0);
    c.Clear();
    // A degenerate rectangle is a single pixel.
    DisplayDevice.DrawRect(9, 9, 9, 9, 255, 255, 255);
    auto lit = c.Lit();
    ASSERT_EQ(lit.size(), 1u);
    EXPECT_EQ(lit[0], std::make_pair(9, 9));
}

TEST(ShapeDrawing, FilledBox) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    DisplayDevice.FillRect(10, 0, 20, 5, 255, 255, 255);
    auto rows = c.Rows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows.begin()->first, 1) << "row 0 was filled";
    EXPECT_EQ(rows.rbegin()->first, 5);
    for (auto& [y, span] : rows) {
        EXPECT_EQ(span.first, 10) << y;
        EXPECT_EQ(span.last, 20) << y;
        EXPECT_EQ(span.count, 11) << y;
    }
    c.Clear();
    DisplayDevice.FillRect(600, 470, 700, 480, 255, 255, 255);
    rows = c.Rows();
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows.begin()->first, 470);
    EXPECT_EQ(rows.rbegin()->first, 479);
    EXPECT_EQ(rows[475].first, 600);
    EXPECT_EQ(rows[475].last, 639);
    c.Clear();
    // Columns are clamped to 0..639, so column 0 can be filled.
    DisplayDevice.FillRect(-30, 100, 2, 100, 255, 255, 255);
    rows = c.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[100].first, 0);
    EXPECT_EQ(rows[100].last, 2);
    c.Clear();
    // Corners are not swapped.
    DisplayDevice.FillRect(20, 10, 10, 20, 255, 255, 255);
    DisplayDevice.FillRect(10, 20, 20, 10, 255, 255, 255);
    EXPECT_TRUE(c.Lit().empty());
    // The whole screen but row 0.
    DisplayDevice.FillRect(0, 0, 639, 479, 255, 255, 255);
    EXPECT_EQ(c.Lit().size(), 640u * 479u);
    EXPECT_EQ(c.At(0, 1), 0xFFFF);
    EXPECT_EQ(c.At(0, 0), 0);
}

// Checks that the disc at (cx, cy) has the given half-width on each row offset from -R to R
// and nothing else.
void ExpectDisc(const Canvas& c, int cx, int cy, const std::vector<int>& halfWidths) {
    auto rows = c.Rows();
    int radius = static_cast<int>(halfWidths.size() / 2);
    EXPECT_EQ(rows.size(), halfWidths.size());
    for (int dy = -radius; dy <= radius; ++dy) {
        int w = halfWidths[static_cast<size_t>(dy + radius)];
        auto it = rows.find(cy + dy);
        if (it == rows.end()) {
            ADD_FAILURE() << "row " << cy + dy << " is empty";
            continue;
        }
        EXPECT_EQ(it->second.first, cx - w) << "offset " << dy;
        EXPECT_EQ(it->second.last, cx + w) << "offset " << dy;
        EXPECT_EQ(it->second.count, 2 * w + 1) << "offset " << dy;
    }
}

TEST(ShapeDrawing, FilledDiscHalfWidths) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    DisplayDevice.FillCircle(100, 100, 3, 255, 255, 0);
    ExpectDisc(c, 100, 100, {1, 2, 3, 3, 3, 2, 1});
    EXPECT_EQ(c.At(100, 100), 0xFFE0);
    c.Clear();
    DisplayDevice.FillCircle(100, 100, 5, 255, 255, 0);
    ExpectDisc(c, 100, 100, {2, 3, 4, 5, 5, 5, 5, 5, 4, 3, 2});
    c.Clear();
    DisplayDevice.FillCircle(100, 100, 0, 255, 255, 255);
    auto lit = c.Lit();
    ASSERT_EQ(lit.size(), 1u);
    EXPECT_EQ(lit[0], std::make_pair(100, 100));
    c.Clear();
    DisplayDevice.FillCircle(100, 100, -1, 255, 255, 255);
    DisplayDevice.FillCircle(100, 100, -5, 255, 255, 255);
    EXPECT_TRUE(c.Lit().empty());
    // A larger disc is symmetric and grows no wider than its radius.
    DisplayDevice.FillCircle(300, 240, 40, 255, 255, 255);
    auto rows = c.Rows();
    EXPECT_EQ(rows.size(), 81u);
    for (int dy = 0; dy <= 40; ++dy) {
        EXPECT_EQ(rows[240 + dy].first, rows[240 - dy].first) << dy;
        EXPECT_EQ(rows[240 + dy].last, 600 - rows[240 + dy].first) << dy;
        EXPECT_GE(rows[240 + dy].first, 260) << dy;
    }
    EXPECT_EQ(rows[240].first, 260);
}

TEST(ShapeDrawing, FilledDiscAtTheEdges) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    DisplayDevice.FillCircle(20, 100, 5, 255, 255, 255);
    auto rows = c.Rows();
    for (int y = 98; y <= 102; ++y) {
        EXPECT_EQ(rows[y].first, 15) << y;
        EXPECT_EQ(rows[y].last, 25) << y;
    }
    c.Clear();
    // Near the left edge the spans start at column 0 on both halves.
    DisplayDevice.FillCircle(2, 100, 5, 255, 255, 255);
    const int half[] = {2, 3, 4, 5, 5, 5, 5, 5, 4, 3, 2};
    rows = c.Rows();
    ASSERT_EQ(rows.size(), 11u);
    for (int dy = -5; dy <= 5; ++dy) {
        EXPECT_EQ(rows[100 + dy].first, 0) << dy;
        EXPECT_EQ(rows[100 + dy].last, 2 + half[dy + 5]) << dy;
    }
    c.Clear();
    // Near the top edge rows -3..0 are skipped.
    DisplayDevice.FillCircle(100, 2, 5, 255, 255, 255);
    rows = c.Rows();
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows.begin()->first, 1);
    EXPECT_EQ(rows.rbegin()->first, 7);
    for (int y = 1; y <= 7; ++y) {
        int w = half[y - 2 + 5];
        EXPECT_EQ(rows[y].first, 100 - w) << y;
        EXPECT_EQ(rows[y].last, 100 + w) << y;
    }
    c.Clear();
    // Right and bottom edges: columns end at 639, rows at 479.
    DisplayDevice.FillCircle(637, 477, 5, 255, 255, 255);
    rows = c.Rows();
    EXPECT_EQ(rows.rbegin()->first, 479);
    EXPECT_EQ(rows.begin()->first, 472);
    for (auto& [y, span] : rows) EXPECT_EQ(span.last, 639) << y;
    c.Clear();
    // Wholly off the screen: nothing.
    DisplayDevice.FillCircle(-20, 100, 5, 255, 255, 255);
    DisplayDevice.FillCircle(100, -20, 5, 255, 255, 255);
    DisplayDevice.FillCircle(100, 600, 5, 255, 255, 255);
    EXPECT_TRUE(c.Lit().empty());
}

TEST(ShapeDrawing, NothingIsDrawnThroughAFailedLock) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    // The canvas holds the lock; a second lock into LockDesc fails and clears it.
    DDSURFACEDESC view = LockDesc;
    EXPECT_FALSE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    EXPECT_EQ(LockDesc.lpSurface, nullptr);
    DisplayDevice.PutPixel(10, 10, 255, 255, 255, &LockDesc);
    DisplayDevice.DrawHLine(0, 639, 10, 255, 255, 255, &LockDesc);
    DisplayDevice.DrawVLine(10, 0, 479, 255, 255, 255, &LockDesc);
    DisplayDevice.DrawRect(5, 5, 100, 100, 255, 255, 255);
    DisplayDevice.FillRect(5, 5, 100, 100, 255, 255, 255);
    DisplayDevice.FillCircle(50, 50, 10, 255, 255, 255);
    DisplayDevice.DrawBlockText(20, 20, "ABC", 255, 255, 255);
    LockDesc = view;
    EXPECT_TRUE(c.Lit().empty()) << "drawn through a description without a lock";
}

TEST(ShapeDrawing, NothingIsDrawnBeforeTheColourTablesExist) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    uint32_t* saved[4] = {DisplayDevice.tableBlock, DisplayDevice.redTable,
                          DisplayDevice.greenTable, DisplayDevice.blueTable};
    DisplayDevice.tableBlock = nullptr;
    DisplayDevice.redTable = nullptr;
    DisplayDevice.greenTable = nullptr;
    DisplayDevice.blueTable = nullptr;
    DisplayDevice.PutPixel(10, 10, 255, 255, 255, &LockDesc);
    DisplayDevice.DrawHLine(0, 639, 10, 255, 255, 255, &LockDesc);
    DisplayDevice.DrawVLine(10, 0, 479, 255, 255, 255, &LockDesc);
    DisplayDevice.DrawRect(5, 5, 100, 100, 255, 255, 255);
    DisplayDevice.FillRect(5, 5, 100, 100, 255, 255, 255);
    DisplayDevice.FillCircle(50, 50, 10, 255, 255, 255);
    DisplayDevice.DrawBlockText(20, 20, "ABC", 255, 255, 255);
    DisplayDevice.tableBlock = saved[0];
    DisplayDevice.redTable = saved[1];
    DisplayDevice.greenTable = saved[2];
    DisplayDevice.blueTable = saved[3];
    EXPECT_TRUE(c.Lit().empty()) << "drawn without colour tables";
    DisplayDevice.PutPixel(10, 10, 255, 255, 255, &LockDesc);
    EXPECT_EQ(c.At(10, 10), 0xFFFF);
}

TEST(ShapeDrawing, DrawingReachesTheFrontSurfaceToo) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    ASSERT_TRUE(DisplayDevice.UnlockSurface(BackSurface));
    // The curtain is drawn onto the visible surface with the same description.
    DisplayDevice.ClearSurface(PrimarySurface);
    int changes = Backend().frontChanges;
    ASSERT_TRUE(DisplayDevice.LockSurface(PrimarySurface, &LockDesc));
    DisplayDevice.DrawHLine(0, 639, 7, 255, 255, 255, &LockDesc);
    ASSERT_TRUE(DisplayDevice.UnlockSurface(PrimarySurface));
    EXPECT_GT(Backend().frontChanges, changes) << "the backend was not told of the change";
    EXPECT_EQ(SurfacePixel(PrimarySurface, 0, 7), 0xFFFF);
    EXPECT_EQ(SurfacePixel(PrimarySurface, 639, 7), 0xFFFF);
    EXPECT_EQ(SurfacePixel(BackSurface, 0, 7), 0);
    ASSERT_TRUE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
}

}  // namespace
