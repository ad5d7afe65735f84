// What the backends share for the player: the sharp scaling of the picture and what of it is
// shown anew, the pacing of the frames, game controllers and a browser's key events as keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "../../platform/core/gamepad.h"
#include "../../platform/core/keys.h"
#include "../../platform/core/pacer.h"
#include "../../platform/core/present.h"

namespace {

// A 640 x 480 picture whose every row (or every column) has a colour of its own: single-pixel
// lines. Bit replication widens each to a colour no other row has.
std::vector<uint16_t> Lines(bool rows) {
    std::vector<uint16_t> picture(640 * 480);
    for (int i = 0; i < 640 * 480; ++i)
        picture[i] = static_cast<uint16_t>((rows ? i / 640 : i % 640) * 97 + 1);
    return picture;
}

struct Target {
    int width, height;
    std::vector<uint32_t> pixels;
    Target(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, 0xDEADBEEF) {}
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

std::vector<plat::Rect> Draw(plat::Presenter& presenter, const std::vector<uint16_t>& picture,
                             Target& target, const plat::Presenter::Layout& layout = {}) {
    plat::FrontView front{reinterpret_cast<const uint8_t*>(picture.data()), 1280, plat::kFormat565};
    return presenter.Draw(front, target.pixels.data(), target.width * 4, layout);
}

// Checks the sharp-scaling rule along one line of target pixels: the colours of the source
// lines 0..n-1 appear in order, each floor(s) or ceil(s) times in a row, with at most one
// other pixel between two, blended from the two: each component between theirs.
void CheckRule(const std::vector<uint32_t>& line, const std::vector<uint32_t>& colours, double s,
               const std::string& where) {
    SCOPED_TRACE(where);
    size_t i = 0;
    for (size_t j = 0; j < colours.size(); ++j) {
        size_t run = 0;
        while (i < line.size() && line[i] == colours[j]) ++i, ++run;
        ASSERT_TRUE(run == static_cast<size_t>(std::floor(s)) ||
                    run == static_cast<size_t>(std::ceil(s)))
            << "line " << j << " shown " << run << " times at scale " << s;
        if (j + 1 == colours.size() || i >= line.size() || line[i] == colours[j + 1]) continue;
        for (int shift : {0, 8, 16}) {
            const uint32_t a = (colours[j] >> shift) & 0xFF, b = (colours[j + 1] >> shift) & 0xFF;
            const uint32_t c = (line[i] >> shift) & 0xFF;
            ASSERT_TRUE(c >= std::min(a, b) && c <= std::max(a, b))
                << "pixel " << i << " is no blend";
        }
        ++i;
    }
    EXPECT_EQ(i, line.size());
}

TEST(Presentation, SharpScalingKeepsTheShapeAndGivesEachLineWholePixels) {
    const struct {
        int width, height, x, y, w, h;
        bool whole;
    } cases[] = {
        {1920, 1080, 240, 0, 1440, 1080, false},  // bound by the height: bars left and right
        {1280, 1024, 0, 32, 1280, 960, false},    // bound by the width: bars above and below
        {1920, 1080, 320, 60, 1280, 960, true},   // whole multiples: wider bars
        {1366, 768, 171, 0, 1024, 768, false},   {800, 600, 0, 0, 800, 600, false},
        {2560, 1440, 320, 0, 1920, 1440, false}, {701, 533, 0, 4, 701, 525, false},
        {640, 480, 0, 0, 640, 480, false},       {1000, 700, 33, 0, 933, 700, false},
    };
    for (const auto& c : cases) {
        plat::Presenter presenter;
        presenter.SetTarget(c.width, c.height, c.whole);
        const plat::Rect& p = presenter.Picture();
        EXPECT_EQ((std::vector<int>{p.x, p.y, p.width, p.height}),
                  (std::vector<int>{c.x, c.y, c.w, c.h}));
        for (bool rows : {true, false}) {
            Target target(c.width, c.height);
            const auto picture = Lines(rows);
            presenter.Invalidate();  // a new target: all of it
            Draw(presenter, picture, target);
            std::vector<uint32_t> colours, line;
            for (int k = 0; k < (rows ? 480 : 640); ++k) {
                uint8_t rgb[3];
                plat::PixelToRgb(picture[rows ? k * 640 : k], plat::kFormat565, rgb);
                colours.push_back(static_cast<uint32_t>(rgb[0]) << 16 | rgb[1] << 8 | rgb[2]);
            }
            for (int k = 0; k < (rows ? p.height : p.width); ++k)
                line.push_back(rows ? target.At(p.x + p.width / 2, p.y + k)
                                    : target.At(p.x + k, p.y + p.height / 2));
            CheckRule(line, colours, rows ? p.height / 480.0 : p.width / 640.0,
                      std::to_string(c.width) + "x" + std::to_string(c.height) +
                          (rows ? " rows" : " columns"));
            // The bars are black.
            EXPECT_EQ(p.x > 0 ? target.At(p.x - 1, c.height / 2) : 0u, 0u);
            EXPECT_EQ(p.y > 0 ? target.At(c.width / 2, p.y - 1) : 0u, 0u);
        }
    }
}

TEST(Presentation, OnlyWhatChangedIsShownAnew) {
    plat::Presenter presenter;
    presenter.SetTarget(1920, 1080, false);
    Target target(1920, 1080);
    auto picture = Lines(true);
    auto rects = Draw(presenter, picture, target);
    ASSERT_EQ(rects.size(), 1u);  // the first picture: all of it, bars included
    EXPECT_EQ(rects[0].width * rects[0].height, 1920 * 1080);
    EXPECT_TRUE(Draw(presenter, picture, target).empty());  // the same picture: nothing
    // One pixel of the panel's numbers changes: a small rectangle around it, scaled anew.
    picture[210 * 640 + 600] = 0xFFFF;
    const Target before = target;
    rects = Draw(presenter, picture, target);
    ASSERT_EQ(rects.size(), 1u);
    const plat::Rect r = rects[0];
    EXPECT_LE(r.width * r.height, 200 * 10);
    int white = 0;
    for (size_t i = 0; i < target.pixels.size(); ++i) {
        const int x = static_cast<int>(i % 1920), y = static_cast<int>(i / 1920);
        const bool inside = x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
        if (!inside) {
            ASSERT_EQ(target.pixels[i], before.pixels[i]) << x << ", " << y;
        }
        white += inside && target.pixels[i] == 0xFFFFFFu;
    }
    EXPECT_EQ(white, 4);  // 2.25 x 2.25 target pixels: two whole ones each way
    // A notice over the picture is a change; taking it away is another.
    const Target plain = target;
    presenter.SetNotice("PAUSED");
    EXPECT_FALSE(Draw(presenter, picture, target).empty());
    EXPECT_NE(target.At(960, 540), before.At(960, 540));
    presenter.SetNotice("");
    EXPECT_FALSE(Draw(presenter, picture, target).empty());
    EXPECT_TRUE(target.pixels == plain.pixels);
}

// A clock that only moves when told: sleeping takes exactly as long as asked, plus a little.
class SimulatedClock : public plat::Clock {
public:
    int64_t now = 1000000000;
    int64_t NowNs() override { return now; }
    void SleepUntilNs(int64_t when) override { now = std::max(now, when) + 50000; }
};

TEST(Presentation, PacingHoldsSixtyFramesASecondOnAnyMonitorAndAfterStalls) {
    for (int hz : {60, 144, 240, 0}) {  // 0: no vsync
        SimulatedClock clock;
        plat::Pacer pacer(clock);
        const int64_t start = clock.now, vblank = hz > 0 ? 1000000000 / hz : 0;
        std::map<int64_t, int> perSecond;
        std::vector<int64_t> stalls;  // the seconds a stall falls in
        for (int64_t frame = 0; clock.now - start < int64_t{600} * 1000000000; ++frame) {
            pacer.WaitForFrame();
            clock.now += 1500000;  // the frame's own work
            // A present waits for the monitor.
            if (vblank > 0) clock.now += vblank - clock.now % vblank;
            ++perSecond[(clock.now - start) / 1000000000];
            if (frame % 9000 == 4000) {  // a window dragged, a process stopped: 2.5 s lost
                stalls.push_back((clock.now - start) / 1000000000);
                clock.now += 2500000000;
            }
        }
        int most = 0, frames = 0, seconds = 0;
        for (const auto& [second, count] : perSecond) {
            most = std::max(most, count);
            bool nearStall = false;
            for (int64_t s : stalls) nearStall = nearStall || (second >= s && second <= s + 3);
            if (nearStall || second >= 599) continue;  // the last second is cut short
            frames += count, ++seconds;
        }
        SCOPED_TRACE(hz);
        EXPECT_LE(most, 61);  // no burst to catch up after a stall
        EXPECT_NEAR(static_cast<double>(frames) / seconds, 60.0, 0.05);
        std::printf(
            "monitor %3d Hz: %.3f frames a second over 10 minutes, %zu stalls, at most %d in a "
            "second\n",
            hz, static_cast<double>(frames) / seconds, stalls.size(), most);
    }
}

TEST(Presentation, ControllersGiveTheGamesKeysAndHeldDirectionsRepeat) {
    std::vector<std::string> got;
    plat::GamepadKeys pads([&](int vk, bool down, bool repeat) {
        got.push_back(std::string(down ? (repeat ? "repeat " : "down ") : "up ") +
                      std::to_string(vk));
    });
    using P = plat::PadInput;
    // A held d-pad direction: down at once, repeats from half a second, 30 a second.
    pads.Set(0, P::kDpadDown, true, 1000);
    for (int64_t now = 1000; now < 1610; now += 16) pads.Tick(now);  // a frame's ticks
    pads.Set(0, P::kDpadDown, false, 1610);
    pads.Tick(2000);
    const std::string d = std::to_string(VK_DOWN);
    EXPECT_EQ(got, (std::vector<std::string>{"down " + d, "repeat " + d, "repeat " + d,
                                             "repeat " + d, "repeat " + d, "up " + d}));
    // The stick counts from halfway and lets go a little nearer the middle; a key held by
    // two inputs (stick and d-pad, two controllers) goes up when the last lets go.
    got.clear();
    pads.Stick(0, false, -15000, 0);
    pads.Stick(0, false, -17000, 0);
    pads.Stick(0, false, -13000, 0);
    pads.Set(1, P::kDpadLeft, true, 0);
    pads.Stick(0, false, -11000, 0);
    pads.Remove(1, 0);
    pads.Trigger(0, true, 20000, 0);
    pads.Trigger(0, true, 13000, 0);
    pads.Trigger(0, true, 0, 0);
    const std::string l = std::to_string(VK_LEFT), u = std::to_string(VK_UP);
    EXPECT_EQ(got, (std::vector<std::string>{"down " + l, "up " + l, "down " + u, "up " + u}));
}

}  // namespace

// A canvas takes its bytes as red, green, blue and alpha; every pixel of it, bars and blended
// lines included, must say opaque, and the colours land where the layout puts them.
TEST(Presentation, ACanvasLayoutGivesOpaquePixelsInItsOrder) {
    plat::Presenter presenter;
    presenter.SetTarget(1000, 600, false);
    Target target(1000, 600);
    // Pure red in 5-6-5, drawn with red in the low byte, blue in the third and alpha on top.
    Draw(presenter, std::vector<uint16_t>(640 * 480, 0xF800), target, {0, 8, 16, 0xFF000000u});
    const plat::Rect& p = presenter.Picture();
    EXPECT_EQ(target.At(0, 0), 0xFF000000u);  // a black bar
    EXPECT_EQ(target.At(p.x + p.width / 2, p.y + p.height / 2), 0xFF0000FFu);
    for (uint32_t pixel : target.pixels) ASSERT_EQ(pixel >> 24, 0xFFu);
}

// A browser's key events give the keys SDL gives for the same keys: letters as the layout
// names them, the keypad by its own keys, and the physical key only where no character helps.
TEST(Presentation, BrowserKeysMeanWhatTheyMeanInTheWindow) {
    EXPECT_EQ(plat::KeyFromBrowser("ArrowUp", "ArrowUp", false), VK_UP);
    EXPECT_EQ(plat::KeyFromBrowser(" ", "Space", false), VK_SPACE);
    EXPECT_EQ(plat::KeyFromBrowser("Enter", "NumpadEnter", true), VK_RETURN);
    EXPECT_EQ(plat::KeyFromBrowser("y", "KeyZ", false), 'Y');  // a German keyboard's Z key
    EXPECT_EQ(plat::KeyFromBrowser("N", "KeyN", false), 'N');
    EXPECT_EQ(plat::KeyFromBrowser("!", "Digit1", false), '1');
    EXPECT_EQ(plat::KeyFromBrowser("Dead", "Backquote", false), 0);
    EXPECT_EQ(plat::KeyFromBrowser("Dead", "KeyE", false), 'E');
    EXPECT_EQ(plat::KeyFromBrowser("7", "Numpad7", true), VK_NUMPAD0 + 7);
    EXPECT_EQ(plat::KeyFromBrowser("Home", "Numpad7", true), VK_NUMPAD0 + 7);
    EXPECT_EQ(plat::KeyFromBrowser("*", "NumpadMultiply", true), VK_MULTIPLY);
    EXPECT_EQ(plat::KeyFromBrowser("7", "Digit7", false), '7');
    EXPECT_EQ(plat::KeyFromBrowser("F10", "F10", false), VK_F1 + 9);
    EXPECT_EQ(plat::KeyFromBrowser("F13", "F13", false), 0);
    EXPECT_EQ(plat::KeyFromBrowser("Alt", "AltLeft", false), VK_MENU);
    EXPECT_EQ(plat::KeyFromBrowser("AltGraph", "AltRight", false), VK_MENU);
    EXPECT_EQ(plat::KeyFromBrowser("Escape", "Escape", false), VK_ESCAPE);
    EXPECT_EQ(plat::KeyFromBrowser("Unidentified", "", false), 0);
}
