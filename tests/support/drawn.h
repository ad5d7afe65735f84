// For the whole-game scenarios: what the game should have drawn, pixel by pixel (from an
// independent copy of the block font), runs with pictures, and reading the runner's log.
#pragma once

#include "support.h"

#include <cstdio>
#include <fstream>

namespace testing_support {

// The block font's glyphs: eight rows, the top one in the high byte; bit 0x80 of a row is
// its leftmost column.
struct Glyph {
    char c;
    uint64_t rows;
};
constexpr Glyph kFont[] = {
    {'A', 0x3E76E6FEE6E6E600}, {'B', 0xF8ECECFEE6FEFC00}, {'C', 0x3E76E0E0E6FE7E00},
    {'D', 0xF8ECE6E6E6E6FC00}, {'E', 0x3E76E0F8E0FEFE00}, {'F', 0x3E76E0F8E0F0F000},
    {'G', 0x3E76E0EEE6FE7E00}, {'H', 0x2666E6FEE6E6E600}, {'I', 0x3E7C1818183E7C00},
    {'J', 0x1E3E0646C6FE7C00}, {'K', 0x2666ECF8ECE6E600}, {'L', 0x2060E0E0E0E6FE00},
    {'M', 0x266EFED6C6C6C600}, {'N', 0x2676FEDECEC6C600}, {'O', 0x3C76E6E6E6FE7C00},
    {'P', 0x3CE6E6FCE0F0F000}, {'Q', 0x3C76E6E6E6FE7C06}, {'R', 0x3C46C6FCE6E6E600},
    {'S', 0x3E70E07C06FEFC00}, {'T', 0x7EFC303030787800}, {'U', 0x2666E6E6E6FE7E00},
    {'V', 0x2666ECECF8F87000}, {'W', 0x2666E6F6FEEEC600}, {'X', 0xC3663C183C66C300},
    {'Y', 0x2666E67E06FEFC00}, {'Z', 0xFEC60C18307EFE00}, {'0', 0x1C366E76667E3C00},
    {'1', 0x18183838187E7E00}, {'2', 0x7C66063C607E7E00}, {'3', 0x7C061C06067E7C00},
    {'4', 0xCCCCCCFE0C1E1E00}, {'5', 0x7E607C06067E7C00}, {'6', 0x3E607C66667E3C00},
    {'7', 0x7E66060C18181800}, {'8', 0x3C663C66667E3C00}, {'9', 0x3C66663E067E7C00},
    {'-', 0x0000007EFC000000}, {'!', 0x183C3C1818180018}, {'/', 0x040E1C3870E04000},
};

// What the game should have drawn over the backdrop, pixel by pixel, in drawing order.
class Drawn {
public:
    Drawn() : colour_(640 * 480, -1) {}

    // Text in the block font (a character without a glyph is skipped); glyph pixels in
    // column 0 or row 0 are never written.
    void Text(int x, int y, const std::string& text, uint32_t c) {
        for (char ch : text) {
            const Glyph* g = nullptr;
            for (const Glyph& glyph : kFont) g = glyph.c == ch ? &glyph : g;
            for (int i = 0; g != nullptr && i < 64; ++i) {
                int px = x + i % 8, py = y + i / 8;
                bool set = (g->rows >> (63 - i)) & 1;
                if (set && px >= 1 && py >= 1 && px < 640 && py < 480) Set(px, py, c);
            }
            x += 8;
        }
    }
    // A rectangle's outline; with y1 == y2, a line.
    void Rect(int x1, int y1, int x2, int y2, uint32_t c) {
        for (int x = x1; x <= x2; ++x) Set(x, y1, c), Set(x, y2, c);
        for (int y = y1; y <= y2; ++y) Set(x1, y, c), Set(x2, y, c);
    }
    // Empty when the picture shows every drawn pixel; otherwise how many it does not, and the first
    // few.
    std::string Misdrawn(const Picture& picture) const {
        int count = 0;
        std::string report;
        for (int i = 0; i < 640 * 480; ++i) {
            int64_t want = colour_[static_cast<size_t>(i)];
            uint32_t shown = picture.At(i % 640, i / 640);
            if (want < 0 || shown == want || ++count > 5) continue;
            char line[64];
            std::snprintf(line, sizeof line, "(%d,%d) shows %06X, drawn %06X; ", i % 640, i / 640,
                          shown, static_cast<unsigned>(want));
            report += line;
        }
        return count == 0 ? "" : std::to_string(count) + " pixels wrong: " + report;
    }

private:
    void Set(int x, int y, uint32_t c) { colour_[static_cast<size_t>(y * 640 + x)] = c; }
    std::vector<int64_t> colour_;
};

// A run of `frames` frames with pictures after the frames in `shots` (one not written is black).
struct Shots {
    HeadlessRun run;
    std::vector<Picture> at;
};
inline Shots Shoot(const std::string& script, const std::vector<int>& shots, int frames,
                   std::vector<std::string> args = {}, const std::string& gameDir = "") {
    static int counter = 0;
    std::string dir = TempDir("shots" + std::to_string(++counter)) + "/";
    args.insert(args.end(), {"--frames", std::to_string(frames)});
    for (int f : shots)
        args.insert(args.end(),
                    {"--shot", std::to_string(f) + ":" + dir + std::to_string(f) + ".png"});
    Shots result{RunHeadless(args, script, gameDir), {}};
    EXPECT_EQ(result.run.status, 0) << result.run.stderrText;
    for (int f : shots) {
        result.at.push_back(ReadPng(dir + std::to_string(f) + ".png"));
        if (result.at.back().width != 640)
            result.at.back() = Picture{640, 480, std::vector<uint8_t>(640 * 480 * 3)};
    }
    return result;
}

// An expected log from lines and runs of flips: Seq("sleep 1000", Flips(1, 5), "stop 5").
inline std::vector<std::string> Flips(int from, int to) {
    std::vector<std::string> out;
    for (int i = from; i <= to; ++i) out.push_back("flip " + std::to_string(i));
    return out;
}
inline void Append(std::vector<std::string>& v, const std::string& line) { v.push_back(line); }
inline void Append(std::vector<std::string>& v, const std::vector<std::string>& lines) {
    v.insert(v.end(), lines.begin(), lines.end());
}
template <class... Pieces>
std::vector<std::string> Seq(const Pieces&... pieces) {
    std::vector<std::string> v;
    (Append(v, pieces), ...);
    return v;
}

// The game's error box: the title "Asphaltix 1.0, " with a notice after it, then the text.
inline bool IsBox(const std::string& line, const std::string& text) {
    const std::string head = "messagebox 0x10 Asphaltix 1.0, ";
    size_t bar = line.find('|');
    return line.rfind(head, 0) == 0 && bar != std::string::npos && bar > head.size() &&
           line.substr(bar + 1) == text;
}

}  // namespace testing_support
