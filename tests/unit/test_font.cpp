// The block font: its glyph table and DrawBlockText.
#include "../support/support.h"

#include "../../src/display/display.h"
#include "../../src/display/font.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace testing_support;

namespace {

// A copy of the font kept apart from the game's table: each character followed by its rows
// 0 to 7 in hexadecimal (bit 0x80 is column 0).
const std::string kReference =
    "A3E76E6FEE6E6E600 BF8ECECFEE6FEFC00 C3E76E0E0E6FE7E00 DF8ECE6E6E6E6FC00 E3E76E0F8E0FEFE00 "
    "F3E76E0F8E0F0F000 G3E76E0EEE6FE7E00 H2666E6FEE6E6E600 I3E7C1818183E7C00 J1E3E0646C6FE7C00 "
    "K2666ECF8ECE6E600 L2060E0E0E0E6FE00 M266EFED6C6C6C600 N2676FEDECEC6C600 O3C76E6E6E6FE7C00 "
    "P3CE6E6FCE0F0F000 Q3C76E6E6E6FE7C06 R3C46C6FCE6E6E600 S3E70E07C06FEFC00 T7EFC303030787800 "
    "U2666E6E6E6FE7E00 V2666ECECF8F87000 W2666E6F6FEEEC600 XC3663C183C66C300 Y2666E67E06FEFC00 "
    "ZFEC60C18307EFE00 01C366E76667E3C00 118183838187E7E00 27C66063C607E7E00 37C061C06067E7C00 "
    "4CCCCCCFE0C1E1E00 57E607C06067E7C00 63E607C66667E3C00 77E66060C18181800 83C663C66667E3C00 "
    "93C66663E067E7C00 -0000007EFC000000 !183C3C1818180018 /040E1C3870E04000 ";

// Row `row` of the copy's glyph of c.
int Row(char c, int row) {
    size_t at = 0;
    while (kReference.at(at) != c) at += 18;
    std::string hex = kReference.substr(at + 1 + 2 * static_cast<size_t>(row), 2);
    return static_cast<int>(std::strtol(hex.c_str(), nullptr, 16));
}

using Cells = std::set<std::pair<int, int>>;

// The set cells of glyphs placed at (x, y) that lie on columns 1..639 and rows 1..479.
struct Placed { char c; int x, y; };
Cells Expected(const std::vector<Placed>& glyphs) {
    Cells out;
    for (const Placed& p : glyphs) {
        for (int row = 0; row < 8; ++row) {
            for (int col = 0; col < 8; ++col) {
                int x = p.x + col, y = p.y + row;
                if ((Row(p.c, row) & (0x80 >> col)) && x >= 1 && x <= 639 && y >= 1 && y <= 479) out.emplace(x, y);
            }
        }
    }
    return out;
}

TEST(BlockFont, GlyphsMatchTheCopyAndOtherCharactersHaveNone) {
    for (size_t at = 0; at < kReference.size(); at += 18) {
        const BlockGlyph* g = FindGlyph(kReference[at]);
        ASSERT_NE(g, nullptr) << kReference[at];
        for (int row = 0; row < 8; ++row) {
            EXPECT_EQ(g->rows[row], Row(kReference[at], row)) << kReference[at] << " row " << row;
        }
    }
    for (char c : {'a', 'z', ' ', '?', '.', ':', '\0', static_cast<char>(0xC4)}) {
        EXPECT_EQ(FindGlyph(c), nullptr) << int(c);
    }
}

// The back buffer locked into LockDesc; Draw clears it, draws a text and gives the lit pixels.
class BlockText : public ::testing::Test {
protected:
    void SetUp() override {
        DisplayUp();
        ASSERT_TRUE(DisplayDevice.LockSurface(BackSurface, &LockDesc));
    }
    void TearDown() override {
        EXPECT_TRUE(DisplayDevice.UnlockSurface(BackSurface));
        DisplayDown();
    }
    static uint8_t* Row(int y) { return static_cast<uint8_t*>(LockDesc.lpSurface) + y * LockDesc.lPitch; }
    static uint16_t At(int x, int y) {
        uint16_t v = 0;
        std::memcpy(&v, Row(y) + 2 * x, 2);
        return v;
    }
    static Cells Draw(int x, int y, const char* text, int r = 255, int g = 255, int b = 255) {
        for (int row = 0; row < 480; ++row) std::memset(Row(row), 0, 1280);
        DisplayDevice.DrawBlockText(x, y, text, r, g, b);
        Cells lit;
        for (int i = 0; i < 640 * 480; ++i) {
            if (At(i % 640, i / 640) != 0) lit.emplace(i % 640, i / 640);
        }
        return lit;
    }
};

TEST_F(BlockText, EveryByteTakesEightColumnsAndEachPixelIsClippedByItself) {
    struct Case { int x, y; const char* text; std::vector<Placed> glyphs; } const cases[] = {
        {100, 50, "AB", {{'A', 100, 50}, {'B', 108, 50}}},
        {100, 50, " A", {{'A', 108, 50}}},
        {100, 50, "abc?.: ", {}}, {100, 50, "", {}},
        {40, 300, "??aa1", {{'1', 72, 300}}},
        {10, 10, "TIME OUT !",
         {{'T', 10, 10}, {'I', 18, 10}, {'M', 26, 10}, {'E', 34, 10}, {'O', 50, 10}, {'U', 58, 10}, {'T', 66, 10},
          {'!', 82, 10}}},
        {632, 50, "X", {{'X', 632, 50}}},   // up to column 639
        {633, 50, "X", {{'X', 633, 50}}},   // loses its last column
        {0, 50, "BB", {{'B', 0, 50}, {'B', 8, 50}}},  // loses column 0 of the first glyph
        {100, 0, "AX", {{'A', 100, 0}, {'X', 108, 0}}},  // loses row 0 of every glyph
        {100, -4, "H", {{'H', 100, -4}}},
        {100, 476, "H", {{'H', 100, 476}}},
        {-12, 200, "HHH", {{'H', -4, 200}, {'H', 4, 200}}},
        {620, 200, "HHHHHHHHHH", {{'H', 620, 200}, {'H', 628, 200}, {'H', 636, 200}}},
        {700, 200, "HHH", {}}, {-100, 200, "HHH", {}}, {100, 480, "HHH", {}}, {100, -8, "HHH", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Draw(c.x, c.y, c.text), Expected(c.glyphs)) << c.text << " at " << c.x << "," << c.y;
    }
}

TEST_F(BlockText, CellsAndColours) {
    // The top row of A covers columns 2..6.
    Cells a = Draw(100, 50, "A", 128, 0, 0);
    for (int x = 98; x < 110; ++x) EXPECT_EQ(a.count({x, 50}), x >= 102 && x <= 106 ? 1u : 0u) << x;
    for (auto [x, y] : a) EXPECT_EQ(At(x, y), 0x7800) << x << "," << y;
    // A shadowed text: a second pass one pixel right and lower in another colour.
    Draw(100, 50, "8", 128, 0, 0);
    DisplayDevice.DrawBlockText(101, 51, "8", 255, 255, 255);
    EXPECT_EQ(At(103, 51), 0xFFFF);
    EXPECT_EQ(At(102, 50), 0x7800);
}

}  // namespace
