// The colour tables and the drawing into a locked surface: pixels, spans, rectangle outlines,
// filled boxes and filled discs.
#include "../support/support.h"

#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
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
        DisplayDevice.ClearSurface(BackSurface);
        locked_ = DisplayDevice.LockSurface(BackSurface, &LockDesc);
        EXPECT_TRUE(locked_);
    }
    ~Canvas() {
        if (locked_) {
            EXPECT_TRUE(DisplayDevice.UnlockSurface(BackSurface));
        }
        DisplayDown();
        Backend().format = plat::kFormat565;
    }
    bool Ready() const { return locked_; }
    static uint8_t* Row(int y) { return static_cast<uint8_t*>(LockDesc.lpSurface) + y * LockDesc.lPitch; }
    static uint16_t At(int x, int y) {
        uint16_t v = 0;
        std::memcpy(&v, Row(y) + 2 * x, 2);
        return v;
    }
    static void Set(int x, int y) { std::memset(Row(y) + 2 * x, 0x5A, 2); }
    static void Clear() {
        for (int y = 0; y < 480; ++y) std::memset(Row(y), 0, 1280);
    }
    // The lit pixels of each row as row → (first, last); fails unless each row is one span.
    static std::map<int, std::pair<int, int>> Rows() {
        std::map<int, std::pair<int, int>> rows;
        for (int y = 0; y < 480; ++y) {
            int first = -1, last = -1, count = 0;
            for (int x = 0; x < 640; ++x) {
                if (At(x, y) == 0) continue;
                if (first < 0) first = x;
                last = x;
                ++count;
            }
            if (count == 0) continue;
            EXPECT_EQ(count, last - first + 1) << "row " << y << " has a gap";
            rows[y] = {first, last};
        }
        return rows;
    }

private:
    bool locked_ = false;
};

// Each component is scaled into its field by truncation: a 5-bit field gives 0 for 0..8 and 1
// for 9..16, a 6-bit field 0 for 0..4; only 255 reaches the field's maximum.
TEST(ColourTables, PackedColoursIn565And555) {
    struct Case { plat::PixelFormat format; int r, g, b; uint16_t want; } const cases[] = {
        {plat::kFormat565, 4, 4, 4, 0x0000},       {plat::kFormat565, 5, 5, 5, 0x0020},
        {plat::kFormat565, 8, 8, 8, 0x0020},       {plat::kFormat565, 9, 9, 9, 0x0841},
        {plat::kFormat565, 16, 16, 16, 0x0861},    {plat::kFormat565, 17, 17, 17, 0x1082},
        {plat::kFormat565, 128, 128, 128, 0x7BEF}, {plat::kFormat565, 200, 200, 200, 0xC638},
        {plat::kFormat565, 255, 255, 255, 0xFFFF}, {plat::kFormat565, 96, 96, 96, 0x5AEB},
        {plat::kFormat565, 128, 0, 0, 0x7800},     {plat::kFormat565, 114, 0, 0, 0x6800},
        {plat::kFormat565, 0, 255, 0, 0x07E0},     {plat::kFormat565, 255, 0, 255, 0xF81F},
        {plat::kFormat555, 8, 8, 8, 0x0000},       {plat::kFormat555, 9, 9, 9, 0x0421},
        {plat::kFormat555, 128, 128, 128, 0x3DEF}, {plat::kFormat555, 255, 255, 255, 0x7FFF},
        {plat::kFormat555, 128, 0, 0, 0x3C00},
    };
    for (const Case& k : cases) {
        Canvas c(k.format);
        ASSERT_TRUE(c.Ready());
        c.Set(1, 1), c.Set(5, 3), c.Set(7, 3);  // so that black shows too
        DisplayDevice.PutPixel(1, 1, k.r, k.g, k.b, &LockDesc);
        DisplayDevice.DrawHLine(5, 5, 3, k.r, k.g, k.b, &LockDesc);
        DisplayDevice.DrawVLine(7, 3, 3, k.r, k.g, k.b, &LockDesc);
        for (auto [x, y] : {std::pair{1, 1}, {5, 3}, {7, 3}}) {
            EXPECT_EQ(c.At(x, y), k.want) << k.r << "," << k.g << "," << k.b;
        }
    }
}

TEST(PixelDrawing, PutPixelOnlyOnColumnsAndRowsFrom1AndThroughThePitch) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    for (auto [x, y] : {std::pair{0, 10}, {10, 0}, {640, 10}, {10, 480}, {-1, 5}, {5, -1}, {-100000, 3}, {3, 100000}}) {
        DisplayDevice.PutPixel(x, y, 255, 255, 255, &LockDesc);
        EXPECT_TRUE(c.Rows().empty()) << x << "," << y << " was drawn";
    }
    DisplayDevice.PutPixel(639, 479, 255, 255, 255, &LockDesc);
    DisplayDevice.PutPixel(1, 1, 255, 255, 255, &LockDesc);
    EXPECT_EQ(c.Rows(), (std::map<int, std::pair<int, int>>{{1, {1, 1}}, {479, {639, 639}}}));
    // Pixel (10, 2) is the word 2 × pitch + 20 bytes into the surface; the pitch is wider than a row.
    ASSERT_GT(LockDesc.lPitch, 1280);
    DisplayDevice.PutPixel(10, 2, 255, 0, 0, &LockDesc);
    uint16_t word = 0;
    std::memcpy(&word, static_cast<const uint8_t*>(LockDesc.lpSurface) + 2 * LockDesc.lPitch + 20, 2);
    EXPECT_EQ(word, 0xF800);
}

TEST(PixelDrawing, BytesPastEachRowAreNeverWritten) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    const int pitch = LockDesc.lPitch;
    auto* base = static_cast<uint8_t*>(LockDesc.lpSurface);
    for (int y = 0; y < 480; ++y) std::memset(base + y * pitch + 1280, 0xA5, static_cast<size_t>(pitch - 1280));
    DisplayDevice.FillRect(-50, -50, 5000, 5000, 255, 255, 255);
    DisplayDevice.FillCircle(639, 240, 300, 200, 100, 50);
    DisplayDevice.DrawRect(0, 0, 639, 479, 9, 9, 9);
    DisplayDevice.DrawHLine(0, 639, 479, 255, 255, 255, &LockDesc);
    for (int x = 630; x < 700; ++x) DisplayDevice.PutPixel(x, 100, 255, 255, 255, &LockDesc);
    DisplayDevice.DrawBlockText(630, 475, "WWW", 255, 255, 255);
    for (int y = 0; y < 480; ++y) {
        EXPECT_EQ(std::count(base + y * pitch + 1280, base + (y + 1) * pitch, 0xA5), pitch - 1280) << "row " << y;
    }
    EXPECT_EQ(c.At(639, 479), 0xFFFF);
}

// Every drawing operation, with the number of pixels it lights and their bounding box.
TEST(ShapeDrawing, SpansOutlinesAndBoxes) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    const int r = 96, g = 96, b = 96;  // 0x5AEB
    struct Case { const char* what; std::function<void()> draw; int count, x1, y1, x2, y2; } const cases[] = {
        {"hline x2 = x1", [&] { DisplayDevice.DrawHLine(30, 30, 20, r, g, b, &LockDesc); }, 1, 30, 20, 30, 20},
        {"hline x2 = x1 - 1", [&] { DisplayDevice.DrawHLine(30, 29, 20, r, g, b, &LockDesc); }, 0, 0, 0, 0, 0},
        {"hline", [&] { DisplayDevice.DrawHLine(5, 14, 7, r, g, b, &LockDesc); }, 10, 5, 7, 14, 7},
        {"hline on row 0", [&] { DisplayDevice.DrawHLine(0, 639, 0, r, g, b, &LockDesc); }, 640, 0, 0, 639, 0},
        {"vline y2 = y1", [&] { DisplayDevice.DrawVLine(40, 50, 50, r, g, b, &LockDesc); }, 1, 40, 50, 40, 50},
        {"vline y2 = y1 - 1", [&] { DisplayDevice.DrawVLine(40, 50, 49, r, g, b, &LockDesc); }, 0, 0, 0, 0, 0},
        {"vline on column 0", [&] { DisplayDevice.DrawVLine(0, 0, 479, r, g, b, &LockDesc); }, 480, 0, 0, 0, 479},
        {"rect", [&] { DisplayDevice.DrawRect(3, 3, 476, 476, r, g, b); }, 2 * 474 + 2 * 472, 3, 3, 476, 476},
        {"rect swapped", [&] { DisplayDevice.DrawRect(476, 476, 3, 3, r, g, b); }, 2 * 474 + 2 * 472, 3, 3, 476, 476},
        {"rect half swapped", [&] { DisplayDevice.DrawRect(476, 3, 3, 476, r, g, b); }, 2 * 474 + 2 * 472, 3, 3, 476, 476},
        {"rect from 0", [&] { DisplayDevice.DrawRect(0, 0, 479, 479, r, g, b); }, 4 * 479, 0, 0, 479, 479},
        {"rect of one pixel", [&] { DisplayDevice.DrawRect(9, 9, 9, 9, r, g, b); }, 1, 9, 9, 9, 9},
        {"box from row 0", [&] { DisplayDevice.FillRect(10, 0, 20, 5, r, g, b); }, 5 * 11, 10, 1, 20, 5},
        {"box past the corner", [&] { DisplayDevice.FillRect(600, 470, 700, 480, r, g, b); }, 10 * 40, 600, 470, 639, 479},
        {"box left of the screen", [&] { DisplayDevice.FillRect(-30, 100, 2, 100, r, g, b); }, 3, 0, 100, 2, 100},
        {"box with x1 > x2", [&] { DisplayDevice.FillRect(20, 10, 10, 20, r, g, b); }, 0, 0, 0, 0, 0},
        {"box with y1 > y2", [&] { DisplayDevice.FillRect(10, 20, 20, 10, r, g, b); }, 0, 0, 0, 0, 0},
        {"box of the screen", [&] { DisplayDevice.FillRect(0, 0, 639, 479, r, g, b); }, 640 * 479, 0, 1, 639, 479},
    };
    for (const Case& k : cases) {
        c.Clear();
        k.draw();
        int count = 0, x1 = 639, y1 = 479, x2 = 0, y2 = 0;
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                if (c.At(x, y) == 0) continue;
                EXPECT_EQ(c.At(x, y), 0x5AEB) << k.what;
                ++count, x1 = std::min(x1, x), y1 = std::min(y1, y), x2 = std::max(x2, x), y2 = std::max(y2, y);
            }
        }
        EXPECT_EQ(count, k.count) << k.what;
        if (count > 0) {
            EXPECT_EQ((std::vector{x1, y1, x2, y2}), (std::vector{k.x1, k.y1, k.x2, k.y2})) << k.what;
        }
    }
}

TEST(ShapeDrawing, FilledDiscs) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    // Half-widths by row offset from -radius to radius.
    const std::vector<int> r3 = {1, 2, 3, 3, 3, 2, 1}, r5 = {2, 3, 4, 5, 5, 5, 5, 5, 4, 3, 2};
    const std::vector<int> r10 = {3, 5, 6, 7, 8, 9, 9, 10, 10, 10, 10, 10, 10, 10, 9, 9, 8, 7, 6, 5, 3};
    struct Case { int cx, cy, radius; std::vector<int> half; } const cases[] = {
        {100, 100, 3, r3}, {20, 100, 5, r5}, {300, 240, 10, r10}, {100, 100, 0, {0}}, {100, 100, -1, {}},
        {100, 100, -5, {}}, {2, 100, 5, r5}, {100, 2, 5, r5}, {637, 477, 5, r5}, {100, 484, 5, r5},
        {100, -5, 5, r5}, {-20, 100, 5, r5}, {100, -20, 5, r5}, {100, 600, 5, r5},
    };
    for (const Case& k : cases) {
        c.Clear();
        DisplayDevice.FillCircle(k.cx, k.cy, k.radius, 255, 255, 0);
        // Rows 1..479 only; columns cut to 0..639.
        std::map<int, std::pair<int, int>> want;
        for (int dy = -k.radius; dy <= k.radius; ++dy) {
            int y = k.cy + dy, w = k.half.at(static_cast<size_t>(dy + k.radius));
            if (y >= 1 && y <= 479 && k.cx + w >= 0 && k.cx - w <= 639) {
                want[y] = {std::max(0, k.cx - w), std::min(639, k.cx + w)};
            }
        }
        EXPECT_EQ(c.Rows(), want) << "disc at " << k.cx << "," << k.cy << " radius " << k.radius;
    }
    DisplayDevice.FillCircle(100, 100, 3, 255, 255, 0);
    EXPECT_EQ(c.At(100, 100), 0xFFE0);
}

TEST(ShapeDrawing, NothingIsDrawnThroughAFailedLockOrBeforeTheColourTables) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    auto drawEverything = [] {
        DisplayDevice.PutPixel(10, 10, 255, 255, 255, &LockDesc);
        DisplayDevice.DrawHLine(0, 639, 10, 255, 255, 255, &LockDesc);
        DisplayDevice.DrawVLine(10, 0, 479, 255, 255, 255, &LockDesc);
        DisplayDevice.DrawRect(5, 5, 100, 100, 255, 255, 255);
        DisplayDevice.FillRect(5, 5, 100, 100, 255, 255, 255);
        DisplayDevice.FillCircle(50, 50, 10, 255, 255, 255);
        DisplayDevice.DrawBlockText(20, 20, "ABC", 255, 255, 255);
    };
    // The canvas holds the lock; a second lock into LockDesc fails and clears it.
    DDSURFACEDESC view = LockDesc;
    EXPECT_FALSE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    EXPECT_EQ(LockDesc.lpSurface, nullptr);
    drawEverything();
    LockDesc = view;
    uint32_t** fields[4] = {&DisplayDevice.tableBlock, &DisplayDevice.redTable, &DisplayDevice.greenTable,
                            &DisplayDevice.blueTable};
    uint32_t* saved[4];
    for (int i = 0; i < 4; ++i) saved[i] = std::exchange(*fields[i], nullptr);
    drawEverything();
    for (int i = 0; i < 4; ++i) *fields[i] = saved[i];
    EXPECT_TRUE(c.Rows().empty()) << "drawn without a lock or without colour tables";
}

}  // namespace
