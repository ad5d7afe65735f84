// The block font: its glyph table and DrawBlockText.
#include "../support/support.h"

#include "../../src/display/display.h"
#include "../../src/display/font.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace testing_support;

namespace {

// The back buffer, cleared and locked into LockDesc.
class Canvas {
public:
    Canvas() {
        DisplayUp();
        if (BackSurface == nullptr) return;
        DisplayDevice.ClearSurface(BackSurface);
        locked_ = DisplayDevice.LockSurface(BackSurface, &LockDesc);
    }
    ~Canvas() {
        if (locked_) {
            EXPECT_TRUE(DisplayDevice.UnlockSurface(BackSurface));
        }
        DisplayDown();
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Ready() const { return locked_; }
    uint16_t At(int x, int y) const {
        uint16_t v = 0;
        std::memcpy(&v, static_cast<const uint8_t*>(LockDesc.lpSurface) + y * LockDesc.lPitch + 2 * x, 2);
        return v;
    }
    bool Set(int x, int y) const { return At(x, y) != 0; }
    std::set<std::pair<int, int>> Lit() const {
        std::set<std::pair<int, int>> out;
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                if (Set(x, y)) out.emplace(x, y);
            }
        }
        return out;
    }
    void Clear() {
        for (int y = 0; y < 480; ++y) {
            std::memset(static_cast<uint8_t*>(LockDesc.lpSurface) + y * LockDesc.lPitch, 0, 1280);
        }
    }

private:
    bool locked_ = false;
};

// The cells of a glyph placed at (x, y) that lie on columns 1..639 and rows 1..479.
std::set<std::pair<int, int>> Cells(char ch, int x, int y) {
    std::set<std::pair<int, int>> out;
    const BlockGlyph* glyph = FindGlyph(ch);
    if (glyph == nullptr) return out;
    for (int row = 0; row < 8; ++row) {
        for (int col = 0; col < 8; ++col) {
            if ((glyph->rows[row] & (0x80 >> col)) == 0) continue;
            int px = x + col;
            int py = y + row;
            if (px >= 1 && px <= 639 && py >= 1 && py <= 479) out.emplace(px, py);
        }
    }
    return out;
}

TEST(BlockFont, GlyphTableProperties) {
    const std::string supported = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-!/";
    ASSERT_EQ(BlockFontGlyphs, 39);
    std::set<char> seen;
    for (const BlockGlyph& g : BlockFont) {
        EXPECT_NE(supported.find(g.character), std::string::npos) << g.character;
        EXPECT_TRUE(seen.insert(g.character).second) << "two glyphs for " << g.character;
        EXPECT_EQ(FindGlyph(g.character), &g);
        bool usesColumn7 = false;
        for (uint8_t row : g.rows) usesColumn7 = usesColumn7 || (row & 0x01) != 0;
        EXPECT_EQ(usesColumn7, g.character == 'X') << g.character;
        bool row7 = g.rows[7] != 0;
        EXPECT_EQ(row7, g.character == 'Q' || g.character == '!') << g.character;
        bool blank = true;
        for (uint8_t row : g.rows) blank = blank && row == 0;
        EXPECT_FALSE(blank) << g.character;
    }
    EXPECT_EQ(seen.size(), 39u);
    // The hyphen: a bar on rows 3 and 4, the lower one a column further left.
    const BlockGlyph* hyphen = FindGlyph('-');
    ASSERT_NE(hyphen, nullptr);
    for (int row : {0, 1, 2, 5, 6, 7}) EXPECT_EQ(hyphen->rows[row], 0) << row;
    EXPECT_NE(hyphen->rows[3], 0);
    EXPECT_EQ(hyphen->rows[4], static_cast<uint8_t>(hyphen->rows[3] << 1));
    // Two spelled-out rows: the top of A covers columns 2..6, the top of X columns 0, 1, 6, 7.
    ASSERT_NE(FindGlyph('A'), nullptr);
    EXPECT_EQ(FindGlyph('A')->rows[0], 0x3E);
    ASSERT_NE(FindGlyph('X'), nullptr);
    EXPECT_EQ(FindGlyph('X')->rows[0], 0xC3);
    for (char ch : {'a', 'z', ' ', '?', '.', ':', '\0', static_cast<char>(0xC4)}) {
        EXPECT_EQ(FindGlyph(ch), nullptr) << static_cast<int>(ch);
    }
}

TEST(BlockFont, EveryGlyphIsDrawnCellByCell) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    for (const BlockGlyph& g : BlockFont) {
        c.Clear();
        const char text[2] = {g.character, '\0'};
        DisplayDevice.DrawBlockText(300, 200, text, 255, 255, 255);
        EXPECT_EQ(c.Lit(), Cells(g.character, 300, 200)) << g.character;
    }
}

TEST(BlockFont, LetterAAtItsPlace) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    DisplayDevice.DrawBlockText(100, 50, "A", 255, 0, 0);
    for (int x = 102; x <= 106; ++x) EXPECT_EQ(c.At(x, 50), 0xF800) << x;
    EXPECT_FALSE(c.Set(100, 50));
    EXPECT_FALSE(c.Set(101, 50));
    EXPECT_FALSE(c.Set(107, 50));
    for (int x = 95; x < 115; ++x) EXPECT_FALSE(c.Set(x, 57)) << x;
    // Its bar on row 3 spans columns 0..6.
    for (int x = 100; x <= 106; ++x) EXPECT_TRUE(c.Set(x, 53)) << x;
    EXPECT_FALSE(c.Set(107, 53));
    EXPECT_EQ(c.Lit().size(), Cells('A', 100, 50).size());
}

TEST(BlockFont, EachByteTakesEightColumns) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    DisplayDevice.DrawBlockText(100, 50, "AB", 255, 255, 255);
    auto want = Cells('A', 100, 50);
    auto b = Cells('B', 108, 50);
    want.insert(b.begin(), b.end());
    EXPECT_EQ(c.Lit(), want);
    EXPECT_TRUE(c.Set(108, 50)) << "B's column 0 is not at x + 8";
    c.Clear();

    DisplayDevice.DrawBlockText(100, 50, " A", 255, 255, 255);
    EXPECT_EQ(c.Lit(), Cells('A', 108, 50));
    c.Clear();

    DisplayDevice.DrawBlockText(100, 50, "abc", 255, 255, 255);
    DisplayDevice.DrawBlockText(100, 50, "?", 255, 255, 255);
    DisplayDevice.DrawBlockText(100, 50, "", 255, 255, 255);
    DisplayDevice.DrawBlockText(100, 50, ".:, ", 255, 255, 255);
    EXPECT_TRUE(c.Lit().empty());

    // n bytes without glyphs still advance 8n columns.
    for (int n = 0; n <= 6; ++n) {
        c.Clear();
        std::string text(static_cast<size_t>(n), '?');
        text.insert(static_cast<size_t>(n) / 2, static_cast<size_t>(n) - static_cast<size_t>(n) / 2, 'a');
        text += "1";
        DisplayDevice.DrawBlockText(40, 300, text.c_str(), 255, 255, 255);
        EXPECT_EQ(c.Lit(), Cells('1', 40 + 8 * static_cast<int>(text.size() - 1), 300)) << text;
    }
    // Glyphs 8 columns apart touch only where an X stands.
    c.Clear();
    DisplayDevice.DrawBlockText(10, 100, "ARE YOU READY", 255, 255, 255);
    std::set<std::pair<int, int>> union_;
    const std::string line = "ARE YOU READY";
    for (size_t i = 0; i < line.size(); ++i) {
        auto cells = Cells(line[i], 10 + 8 * static_cast<int>(i), 100);
        union_.insert(cells.begin(), cells.end());
    }
    EXPECT_EQ(c.Lit(), union_);
}

TEST(BlockFont, ClippedPixelByPixelAtTheEdges) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    DisplayDevice.DrawBlockText(632, 50, "X", 255, 255, 255);
    EXPECT_TRUE(c.Set(639, 50));
    EXPECT_TRUE(c.Set(638, 50));
    EXPECT_EQ(c.Lit(), Cells('X', 632, 50));
    c.Clear();
    DisplayDevice.DrawBlockText(633, 50, "X", 255, 255, 255);
    auto full = Cells('X', 633, 50);  // already without the column beyond 639
    EXPECT_EQ(c.Lit(), full);
    EXPECT_EQ(full.size(), Cells('X', 632, 50).size() - 2) << "X loses only its last column";
    c.Clear();

    // x = 0 loses column 0 of the first glyph only.
    DisplayDevice.DrawBlockText(0, 50, "BB", 255, 255, 255);
    EXPECT_FALSE(c.Set(0, 50));
    EXPECT_TRUE(c.Set(1, 50));
    EXPECT_TRUE(c.Set(8, 50));
    auto want = Cells('B', 0, 50);
    auto second = Cells('B', 8, 50);
    want.insert(second.begin(), second.end());
    EXPECT_EQ(c.Lit(), want);
    c.Clear();

    // y = 0 loses row 0 of every glyph.
    DisplayDevice.DrawBlockText(100, 0, "AX", 255, 255, 255);
    for (int x = 100; x < 116; ++x) EXPECT_FALSE(c.Set(x, 0)) << x;
    EXPECT_TRUE(c.Set(101, 1));  // row 1 of A: 76
    EXPECT_TRUE(c.Set(109, 1));  // row 1 of X: 66
    want = Cells('A', 100, 0);
    second = Cells('X', 108, 0);
    want.insert(second.begin(), second.end());
    EXPECT_EQ(c.Lit(), want);
    c.Clear();

    // Text partly above, below, left of and past the screen.
    DisplayDevice.DrawBlockText(100, -4, "H", 255, 255, 255);
    EXPECT_EQ(c.Lit(), Cells('H', 100, -4));
    c.Clear();
    DisplayDevice.DrawBlockText(100, 476, "H", 255, 255, 255);
    EXPECT_EQ(c.Lit(), Cells('H', 100, 476));
    c.Clear();
    DisplayDevice.DrawBlockText(-12, 200, "HHH", 255, 255, 255);
    want = Cells('H', -4, 200);  // the first H is wholly off, the second partly
    EXPECT_FALSE(want.empty());
    second = Cells('H', 4, 200);
    want.insert(second.begin(), second.end());
    EXPECT_EQ(c.Lit(), want);
    c.Clear();
    DisplayDevice.DrawBlockText(620, 200, "HHHHHHHHHH", 255, 255, 255);
    want = Cells('H', 620, 200);
    second = Cells('H', 628, 200);
    want.insert(second.begin(), second.end());
    second = Cells('H', 636, 200);
    want.insert(second.begin(), second.end());
    EXPECT_EQ(c.Lit(), want);
    c.Clear();
    DisplayDevice.DrawBlockText(700, 200, "HHH", 255, 255, 255);
    DisplayDevice.DrawBlockText(-100, 200, "HHH", 255, 255, 255);
    DisplayDevice.DrawBlockText(100, 480, "HHH", 255, 255, 255);
    DisplayDevice.DrawBlockText(100, -8, "HHH", 255, 255, 255);
    EXPECT_TRUE(c.Lit().empty());
}

TEST(BlockFont, ExclamationMarkHasItsDotOnRow7) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    DisplayDevice.DrawBlockText(100, 50, "!", 255, 255, 255);
    for (int x = 100; x < 108; ++x) EXPECT_FALSE(c.Set(x, 56)) << x;
    EXPECT_TRUE(c.Set(103, 57));
    EXPECT_TRUE(c.Set(104, 57));
    EXPECT_FALSE(c.Set(102, 57));
    EXPECT_FALSE(c.Set(105, 57));
    EXPECT_TRUE(c.Set(103, 55));
    // "TIME OUT !": the space before the mark is an empty cell of 8 columns.
    c.Clear();
    DisplayDevice.DrawBlockText(10, 10, "TIME OUT !", 255, 255, 255);
    for (int x = 74; x < 82; ++x) {
        for (int y = 10; y < 18; ++y) EXPECT_FALSE(c.Set(x, y)) << x << "," << y;
    }
    EXPECT_TRUE(c.Set(85, 17));
}

TEST(BlockFont, TextTakesItsColourFromTheTables) {
    Canvas c;
    ASSERT_TRUE(c.Ready());
    DisplayDevice.DrawBlockText(100, 50, "8", 96, 96, 96);
    auto lit = c.Lit();
    ASSERT_FALSE(lit.empty());
    for (auto [x, y] : lit) EXPECT_EQ(c.At(x, y), 0x5AEB);
    // A second pass one pixel right and lower in another colour, as the shadowed texts do.
    DisplayDevice.DrawBlockText(101, 51, "8", 255, 255, 255);
    EXPECT_EQ(c.At(103, 51), 0xFFFF);   // top row of 8 (3C) at columns 2..5, moved by one
    EXPECT_EQ(c.At(102, 50), 0x5AEB);   // the shadow's top row stays
}

}  // namespace
