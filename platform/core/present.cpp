#include "present.h"

#include <algorithm>
#include <cstring>

namespace plat {
namespace {

constexpr int kWidth = kScreenWidth;
constexpr size_t kRowBytes = size_t{kWidth} * 2;
constexpr int kHeight = kScreenHeight;

// Columns are compared in bands this wide, so that a change in one corner of the picture
// (a number on the race's panel) is not shown as a change of whole rows.
constexpr int kBand = 80;

// The notice: capitals of a 5 x 7 font, drawn twice as large in a dark box with a frame.
struct NoticeGlyph {
    char c;
    uint8_t rows[7];  // bit 4 is the leftmost column
};
constexpr NoticeGlyph kNoticeFont[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
};
constexpr int kNoticeScale = 3;

uint16_t Pack(const PixelFormat& f, uint8_t r, uint8_t g, uint8_t b) {
    auto part = [](uint32_t mask, uint8_t v) {
        if (mask == 0) return 0u;
        int shift = 0;
        while (((mask >> shift) & 1u) == 0) ++shift;
        int width = 0;
        while (((mask >> (shift + width)) & 1u) != 0) ++width;
        return (static_cast<uint32_t>(v) >> (8 - width)) << shift;
    };
    return static_cast<uint16_t>(part(f.red, r) | part(f.green, g) | part(f.blue, b));
}

// a * (256 - w) + b * w, per 8-bit component of two 32-bit pixels.
uint32_t Blend(uint32_t a, uint32_t b, uint32_t w) {
    const uint32_t v = 256 - w;
    const uint32_t rb = (((a & 0x00FF00FFu) * v + (b & 0x00FF00FFu) * w) >> 8) & 0x00FF00FFu;
    const uint32_t ag = (((a >> 8) & 0x00FF00FFu) * v + ((b >> 8) & 0x00FF00FFu) * w) & 0xFF00FF00u;
    return rb | ag;
}

}  // namespace

AxisMap MapAxis(int source, int target) {
    AxisMap map;
    if (source <= 0 || target <= 0) return map;
    map.from.resize(static_cast<size_t>(target));
    map.weight.assign(static_cast<size_t>(target), 0);
    map.first.assign(static_cast<size_t>(source), target);
    map.last.assign(static_cast<size_t>(source), -1);
    if (target < source) {
        // Shrinking: each target pixel takes the source pixel under its centre.
        for (int i = 0; i < target; ++i) {
            map.from[static_cast<size_t>(i)] = static_cast<int>(
                (2 * static_cast<int64_t>(i) + 1) * source / (2 * static_cast<int64_t>(target)));
        }
    } else {
        // Enlarging: each source pixel gets the whole number of pixels q = floor(s); where the
        // ideal end of its span lies further on, by `d` (in target pixels, times `source`), it
        // gets one pixel more (d above 3/4), or one pixel blended with its neighbour by the
        // part of it that lies on its side (d from 1/4 to 3/4), or nothing (d below 1/4).
        const int q = target / source;
        int i = 0;
        for (int j = 0; j < source; ++j) {
            for (int k = 0; k < q; ++k) map.from[static_cast<size_t>(i++)] = j;
            const int64_t d =
                static_cast<int64_t>(j + 1) * target - static_cast<int64_t>(i) * source;
            if (j + 1 == source) break;
            if (4 * d > 3 * static_cast<int64_t>(source)) {
                map.from[static_cast<size_t>(i++)] = j;
            } else if (4 * d >= source) {
                map.from[static_cast<size_t>(i)] = j;
                // The next source pixel's part of this target pixel, in 256ths.
                map.weight[static_cast<size_t>(i)] = static_cast<uint16_t>(
                    (static_cast<int64_t>(source - d) * 256 + source / 2) / source);
                ++i;
            }
        }
        // The last source pixel takes what is left (the steps above keep it to q or q + 1).
        while (i < target) map.from[static_cast<size_t>(i++)] = source - 1;
    }
    for (int i = 0; i < target; ++i) {
        const auto at = static_cast<size_t>(i);
        const auto j = static_cast<size_t>(map.from[at]);
        map.first[j] = std::min(map.first[j], i);
        map.last[j] = std::max(map.last[j], i);
        if (map.weight[at] != 0 && j + 1 < static_cast<size_t>(source)) {
            map.first[j + 1] = std::min(map.first[j + 1], i);
            map.last[j + 1] = std::max(map.last[j + 1], i);
        }
    }
    return map;
}

void Presenter::SetTarget(int width, int height, bool wholeMultiples) {
    if (width == targetWidth_ && height == targetHeight_ && wholeMultiples == wholeMultiples_)
        return;
    targetWidth_ = std::max(width, 1);
    targetHeight_ = std::max(height, 1);
    wholeMultiples_ = wholeMultiples;
    int w;
    int h;
    const int whole = std::min(targetWidth_ / kWidth, targetHeight_ / kHeight);
    if (wholeMultiples && whole >= 1) {
        w = kWidth * whole;
        h = kHeight * whole;
    } else if (static_cast<int64_t>(targetWidth_) * kHeight <=
               static_cast<int64_t>(targetHeight_) * kWidth) {
        w = targetWidth_;  // bound by the width (1280 x 1024)
        h = std::max(1, static_cast<int>(static_cast<int64_t>(w) * kHeight / kWidth));
    } else {
        h = targetHeight_;  // bound by the height (1920 x 1080)
        w = std::max(1, static_cast<int>(static_cast<int64_t>(h) * kWidth / kHeight));
    }
    picture_ = Rect{(targetWidth_ - w) / 2, (targetHeight_ - h) / 2, w, h};
    columns_ = MapAxis(kWidth, w);
    rows_ = MapAxis(kHeight, h);
    for (auto& line : line_) line.assign(static_cast<size_t>(w), 0);
    valid_ = false;
}

void Presenter::SetNotice(const std::string& text) {
    if (text == notice_) return;
    notice_ = text;
}

void Presenter::BuildColours(const PixelFormat& format, const Layout& rgb) {
    if (!colours_.empty() && std::memcmp(&format, &format_, sizeof format) == 0 &&
        std::memcmp(&rgb, &layout_, sizeof rgb) == 0) {
        return;
    }
    format_ = format;
    layout_ = rgb;
    colours_.resize(65536);
    for (uint32_t p = 0; p < 65536; ++p) {
        uint8_t c[3];
        PixelToRgb(static_cast<uint16_t>(p), format, c);
        colours_[p] = (static_cast<uint32_t>(c[0]) << rgb.redShift) |
                      (static_cast<uint32_t>(c[1]) << rgb.greenShift) |
                      (static_cast<uint32_t>(c[2]) << rgb.blueShift) | rgb.opaque;
    }
    valid_ = false;
}

const uint16_t* Presenter::Compose(const FrontView& front, size_t& pitch) {
    if (notice_.empty() && front.pixels != nullptr) {
        pitch = static_cast<size_t>(front.pitch) / 2;
        return reinterpret_cast<const uint16_t*>(front.pixels);
    }
    // A copy of the picture (black without one) with the notice drawn over it.
    pitch = kWidth;
    composed_.assign(static_cast<size_t>(kWidth) * kHeight, 0);
    for (int y = 0; y < kHeight && front.pixels != nullptr; ++y) {
        std::memcpy(&composed_[static_cast<size_t>(y) * kWidth],
                    front.pixels + static_cast<size_t>(y) * static_cast<size_t>(front.pitch),
                    kRowBytes);
    }
    if (notice_.empty()) return composed_.data();
    const int cell = 6 * kNoticeScale;
    const int textWidth = cell * static_cast<int>(notice_.size()) - kNoticeScale;
    const int boxWidth = textWidth + 24;
    const int boxHeight = 7 * kNoticeScale + 20;
    const int left = (kWidth - boxWidth) / 2;
    const int top = (kHeight - boxHeight) / 2;
    const uint16_t frame = Pack(format_, 255, 255, 255);
    const uint16_t fill = Pack(format_, 24, 24, 32);
    const uint16_t ink = Pack(format_, 255, 208, 64);
    for (int y = top; y < top + boxHeight; ++y) {
        for (int x = left; x < left + boxWidth; ++x) {
            const bool edge =
                y < top + 2 || y >= top + boxHeight - 2 || x < left + 2 || x >= left + boxWidth - 2;
            composed_[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)] =
                edge ? frame : fill;
        }
    }
    int x = left + 12;
    for (char c : notice_) {
        for (const NoticeGlyph& glyph : kNoticeFont) {
            if (glyph.c != c) continue;
            for (int r = 0; r < 7 * kNoticeScale; ++r) {
                for (int col = 0; col < 5 * kNoticeScale; ++col) {
                    if ((glyph.rows[r / kNoticeScale] & (0x10 >> (col / kNoticeScale))) == 0)
                        continue;
                    const size_t at =
                        static_cast<size_t>(top + 10 + r) * kWidth + static_cast<size_t>(x + col);
                    composed_[at] = ink;
                }
            }
        }
        x += cell;
    }
    return composed_.data();
}

void Presenter::ScaleRect(const Rect& source, uint32_t* pixels, int pitch, Rect& target) {
    const int x0 = columns_.first[static_cast<size_t>(source.x)];
    const int x1 = columns_.last[static_cast<size_t>(source.x + source.width - 1)] + 1;
    const int y0 = rows_.first[static_cast<size_t>(source.y)];
    const int y1 = rows_.last[static_cast<size_t>(source.y + source.height - 1)] + 1;
    target = Rect{picture_.x + x0, picture_.y + y0, x1 - x0, y1 - y0};
    lineRow_[0] = lineRow_[1] = -1;
    // Widens source row `row` over the target columns x0..x1 into line_[slot].
    auto widen = [&](int slot, int row) {
        if (lineRow_[slot] == row) return;
        lineRow_[slot] = row;
        const uint16_t* src = &shown_[static_cast<size_t>(row) * kWidth];
        uint32_t* out = line_[slot].data();
        for (int i = x0; i < x1; ++i) {
            const auto at = static_cast<size_t>(i);
            const int from = columns_.from[at];
            const uint32_t a = colours_[src[from]];
            const uint32_t w = columns_.weight[at];
            out[at] = w == 0 ? a : Blend(a, colours_[src[from + 1]], w);
        }
    };
    for (int y = y0; y < y1; ++y) {
        const auto at = static_cast<size_t>(y);
        const int row = rows_.from[at];
        const uint32_t w = rows_.weight[at];
        auto* out = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(pixels) +
                                                static_cast<size_t>(picture_.y + y) *
                                                    static_cast<size_t>(pitch)) +
                    picture_.x;
        // Two slots hold the last two source rows widened, so that runs of target rows from
        // one source row, and blends of two, widen each source row once.
        int slot =
            lineRow_[0] == row ? 0 : (lineRow_[1] == row ? 1 : (lineRow_[0] == row + 1 ? 1 : 0));
        widen(slot, row);
        const uint32_t* a = line_[slot].data();
        if (w == 0) {
            std::memcpy(out + x0, a + x0, static_cast<size_t>(x1 - x0) * 4);
            continue;
        }
        widen(1 - slot, row + 1);
        const uint32_t* b = line_[1 - slot].data();
        for (int i = x0; i < x1; ++i) out[i] = Blend(a[i], b[i], w);
    }
}

std::vector<Rect> Presenter::Draw(const FrontView& front, uint32_t* pixels, int pitch,
                                  const Layout& rgb) {
    std::vector<Rect> changed;
    if (pixels == nullptr || picture_.width <= 0 || picture_.height <= 0) return changed;
    BuildColours(front.pixels != nullptr ? front.format : format_, rgb);
    size_t sourcePitch = 0;
    const uint16_t* source = Compose(front, sourcePitch);
    shown_.resize(static_cast<size_t>(kWidth) * kHeight);
    if (!valid_) {
        // Black bars and the whole picture.
        for (int y = 0; y < targetHeight_; ++y) {
            uint32_t* row =
                reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(pixels) +
                                            static_cast<size_t>(y) * static_cast<size_t>(pitch));
            std::fill(row, row + targetWidth_, layout_.opaque);
        }
        for (int y = 0; y < kHeight; ++y) {
            std::memcpy(&shown_[static_cast<size_t>(y) * kWidth],
                        source + static_cast<size_t>(y) * sourcePitch, kRowBytes);
        }
        Rect all;
        ScaleRect(Rect{0, 0, kWidth, kHeight}, pixels, pitch, all);
        valid_ = true;
        changed.push_back(Rect{0, 0, targetWidth_, targetHeight_});
        return changed;
    }
    // Runs of changed rows in each band of columns, taken over into what is shown, then
    // scaled a pixel wider each way for the blended target pixels they share with their
    // neighbours.
    for (int band = 0; band < kWidth; band += kBand) {
        int runStart = -1;
        for (int y = 0; y <= kHeight; ++y) {
            bool differs = false;
            if (y < kHeight) {
                const uint16_t* now = source + static_cast<size_t>(y) * sourcePitch + band;
                uint16_t* before =
                    &shown_[static_cast<size_t>(y) * kWidth + static_cast<size_t>(band)];
                differs = std::memcmp(now, before, size_t{kBand} * 2) != 0;
                if (differs) std::memcpy(before, now, size_t{kBand} * 2);
            }
            if (differs && runStart < 0) runStart = y;
            if (differs || runStart < 0) continue;
            const int sx = std::max(band - 1, 0);
            const int sy = std::max(runStart - 1, 0);
            const int ex = std::min(band + kBand + 1, kWidth);
            const int ey = std::min(y + 1, kHeight);
            Rect target;
            ScaleRect(Rect{sx, sy, ex - sx, ey - sy}, pixels, pitch, target);
            changed.push_back(target);
            runStart = -1;
        }
    }
    return changed;
}

}  // namespace plat
