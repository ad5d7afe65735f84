// The picture as a player sees it: the visible 640 x 480 surface, with a notice over it when
// the backend has one to show, scaled sharply into a 32-bit target of any size with its 4:3
// shape kept and black bars around it. Only what changed since the last picture is scaled
// again, and the backend is told which rectangles of the target to show anew.
#pragma once

#include "platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// Where each target pixel along one axis takes its colour from: source pixel `from`, blended
// with `from + 1` by weight / 256 when weight is not 0.
struct AxisMap {
    std::vector<int> from;
    std::vector<uint16_t> weight;
    // The target pixels each source pixel reaches: first[i] up to last[i], inclusive.
    std::vector<int> first;
    std::vector<int> last;
};

// Maps `source` pixels onto `target` pixels. Enlarging by s, each source pixel becomes floor(s)
// or ceil(s) target pixels of its own colour, and between two of them stands at most one pixel
// blended from both; shrinking takes the nearest source pixel.
AxisMap MapAxis(int source, int target);

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class Presenter {
public:
    // A target of width x height pixels. The picture fills the largest 4:3 rectangle that
    // fits; `wholeMultiples` keeps it to a whole multiple of 640 x 480 where one fits.
    void SetTarget(int width, int height, bool wholeMultiples);
    const Rect& Picture() const { return picture_; }

    // A line of text shown over the picture ("PAUSED"); empty for none.
    void SetNotice(const std::string& text);

    // Scales what changed of `front` (or all of it, and the bars, when the target is new)
    // into `pixels`, 32-bit pixels with 8-bit components as `rgb` places them, `pitch` bytes
    // apart. Returns the rectangles of the target that changed; none when the picture is the
    // same as the last one shown.
    struct Layout {
        int redShift = 16;
        int greenShift = 8;
        int blueShift = 0;
        // Bits set in every pixel, bars included: an alpha channel that must say opaque.
        uint32_t opaque = 0;
    };
    std::vector<Rect> Draw(const FrontView& front, uint32_t* pixels, int pitch, const Layout& rgb);

    // Forgets what was shown: the next Draw draws everything.
    void Invalidate() { valid_ = false; }

private:
    // The picture to show: the front surface itself, or a copy with the notice over it.
    const uint16_t* Compose(const FrontView& front, size_t& pitch);
    void BuildColours(const PixelFormat& format, const Layout& rgb);
    void ScaleRect(const Rect& source, uint32_t* pixels, int pitch, Rect& target);

    int targetWidth_ = 0;
    int targetHeight_ = 0;
    bool wholeMultiples_ = false;
    Rect picture_;
    AxisMap columns_;
    AxisMap rows_;
    std::string notice_;

    bool valid_ = false;
    std::vector<uint16_t> composed_;  // the front surface with the notice, 640 x 480
    std::vector<uint16_t> shown_;     // what is shown, 640 x 480
    PixelFormat format_{};
    Layout layout_{};
    std::vector<uint32_t> colours_;  // 16-bit pixel to 32-bit target pixel
    std::vector<uint32_t> line_[2];  // source rows widened to the target's columns
    int lineRow_[2] = {-1, -1};
};

}  // namespace plat
