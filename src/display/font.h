// The built-in 8 x 8 block font: capitals, digits, hyphen, exclamation mark and slash.
#pragma once

#include <cstdint>

struct BlockGlyph {
    char character;
    uint8_t rows[8];  // row 0 first; bit 0x80 is column 0
};

constexpr int kBlockFontGlyphs = 39;
extern const BlockGlyph BlockFont[kBlockFontGlyphs];

// The glyph of a character, or null when the font has none.
const BlockGlyph* FindGlyph(char character);
