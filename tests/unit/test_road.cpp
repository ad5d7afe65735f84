// The road, the car sprites and the two bonus items.
#include "../support/support.h"

using namespace testing_support;

namespace {

const uint16_t Magenta = Pack565(255, 0, 255), White = Pack565(255, 255, 255),
               Yellow = Pack565(255, 255, 0);
const uint16_t Untouched = 0xFFFE;  // a value no test picture holds

// Test pictures: in the cars, every pixel names its own place except the magenta ones (each
// car's gap column, the gap row and three spots inside each car); in the road, the row sits in
// the low 9 bits and the column modulo 128 above it.
uint16_t CarPixel(int x, int y) {
    const int column = x % 31;
    const bool magenta = column == 30 || y == 70 || (column == 5 && y == 10) ||
                         (column == 6 && y == 80) || (column == 29 && y == 69);
    return magenta ? Magenta : static_cast<uint16_t>(1 + x * 141 + y);
}
uint16_t RoadPixel(int x, int y) { return static_cast<uint16_t>(((x % 128) << 9) | y); }

// Compares the whole back buffer with what `expected` says of each pixel.
void ExpectBack(const std::function<uint16_t(int, int)>& expected) {
    int wrong = 0;
    EachPixel(BackSurface, 640, 480, [&](int x, int y, uint16_t& pixel) {
        if (pixel != expected(x, y) && ++wrong <= 3)
            ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << pixel << ", expected "
                          << expected(x, y);
    });
    EXPECT_EQ(wrong, 0);
}

// A car sprite from the source rectangle at (left, top), width by height, with its top left
// corner on screen at (x, y); magenta and everything outside it untouched.
void ExpectSprite(int x, int y, int left, int top, int width, int height) {
    ExpectBack([=](int px, int py) {
        const bool inside = px >= x && px < x + width && py >= y && py < y + height;
        const uint16_t source = inside ? CarPixel(left + px - x, top + py - y) : Magenta;
        return source == Magenta ? Untouched : source;
    });
}

// After the race's countdown, standing still, on a back buffer of Untouched.
class Road : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        RaceState.countdown = RaceState.speed = 0;
        FillSurface(BackSurface, Untouched);
    }
};

TEST_F(Road, ViewFollowsThePlayerBetweenTheEdges) {
    CarsImage = MakeSurface(279, 141, CarPixel);
    ASSERT_NE(CarsImage, nullptr);
    // playerX, ViewOffset, the player's car's screen x: 240 while the view can follow.
    const int32_t cases[][3] = {{22, 0, 22},     {240, 0, 240},   {241, 1, 240},
                                {420, 180, 240}, {421, 180, 241}, {638, 180, 458}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        RaceState.playerX = c[0];
        EXPECT_EQ(ViewOffset(), c[1]);
        FillSurface(BackSurface, Untouched);
        DrawPlayerCar();
        ExpectSprite(c[2] - 15, 400 - 35, 31, 0, 30, 70);
    }
}

TEST_F(Road, RoadScrollsWrapsWithoutCarryAndRollsThePictureDown) {
    RoadImage = MakeSurface(660, 480, RoadPixel);
    ASSERT_NE(RoadImage, nullptr);
    // Generator states whose next R%40 is 1 (a car is added) and is not.
    uint32_t adds = 1, none = 1;
    for (uint32_t next = adds; Draw(next, 40) != 1;) adds = next;
    for (uint32_t next = none; Draw(next, 40) == 1;) none = next;
    const struct {
        int32_t roadScroll, speed;
        bool paused;
        int32_t activeCars, playerX;
        uint32_t generator;
        int32_t wantScroll, wantCars, draws;
    } cases[] = {
        {476, 100, false, 5, 402, adds, 0, 6, 1},  {476, 100, false, 5, 240, none, 0, 5, 1},
        {479, 15, false, 15, 638, adds, 0, 15, 1}, {100, 100, false, 5, 420, adds, 106, 5, 0},
        {473, 100, false, 5, 22, adds, 479, 5, 0}, {234, 90, false, 5, 300, adds, 240, 5, 0},
        {0, -30, false, 5, 402, adds, 480, 5, 0},  {480, -30, false, 5, 402, adds, 478, 5, 0},
        {1, -15, false, 5, 402, adds, 0, 5, 0},    {0, -14, false, 5, 402, adds, 0, 5, 0},
        {476, 100, true, 5, 402, adds, 476, 5, 0}, {6, 0, false, 5, 240, adds, 6, 5, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.roadScroll);
        RaceState.roadScroll = c.roadScroll, RaceState.speed = c.speed;
        RaceState.quitConfirm = c.paused, RaceState.activeCars = c.activeCars;
        RaceState.playerX = c.playerX, RandomState = c.generator;
        uint32_t next = c.generator;
        for (int i = 0; i < c.draws; ++i) Draw(next, 40);
        FillSurface(BackSurface, Untouched);
        DrawRoad();
        EXPECT_EQ(std::tuple(RaceState.roadScroll, RaceState.activeCars, RandomState),
                  std::tuple(c.wantScroll, c.wantCars, next));
        // The view: the road's last `roadScroll` rows on top, its first rows below them.
        const int32_t scroll = c.wantScroll, offset = ViewOffset();
        ExpectBack([=](int x, int y) {
            return x < 480 ? RoadPixel(offset + x, y < scroll ? 480 - scroll + y : y - scroll)
                           : Untouched;
        });
    }
}

TEST_F(Road, CarSpritesComeFromTheirColumnAndRowClippedToTheView) {
    CarsImage = MakeSurface(279, 141, CarPixel);
    ASSERT_NE(CarsImage, nullptr);
    // Rejected outright, or clipped away to nothing.
    // Top and left edges: drawn from screen row or column 1.
    // Bottom and right edges: cut exactly at 480.
    // Both edges of a corner at once, also inside the oncoming row.
    // Each row: kind, x, y, oncoming; then where the sprite lands, the source's corner and the
    // size drawn (width 0: nothing).
    const int cases[][10] = {
        {2, 240, 400, 0, 225, 365, 31, 0, 30, 70},  {2, 240, 400, 1, 225, 365, 31, 71, 30, 70},
        {9, 240, 200, 0, 225, 165, 248, 0, 30, 70}, {5, 100, -70, 0, 0, 0, 0, 0, 0, 0},
        {5, -30, 100, 0, 0, 0, 0, 0, 0, 0},         {5, 100, 480, 0, 0, 0, 0, 0, 0, 0},
        {5, 480, 100, 0, 0, 0, 0, 0, 0, 0},         {5, 100, -35, 0, 0, 0, 0, 0, 0, 0},
        {5, -15, 100, 0, 0, 0, 0, 0, 0, 0},         {5, 100, -34, 0, 85, 1, 124, 69, 30, 1},
        {5, 100, 35, 0, 85, 1, 124, 0, 30, 70},     {5, 100, 36, 0, 85, 1, 124, 0, 30, 70},
        {5, 16, 100, 0, 1, 65, 124, 0, 30, 70},     {5, 15, 100, 0, 1, 65, 124, 0, 30, 70},
        {5, -14, 100, 0, 1, 65, 153, 0, 1, 70},     {5, 100, 444, 0, 85, 409, 124, 0, 30, 70},
        {5, 100, 445, 0, 85, 410, 124, 0, 30, 70},  {5, 100, 446, 0, 85, 411, 124, 0, 30, 69},
        {5, 464, 100, 0, 449, 65, 124, 0, 30, 70},  {5, 465, 100, 0, 450, 65, 124, 0, 30, 70},
        {5, 466, 100, 0, 451, 65, 124, 0, 29, 70},  {5, -10, -20, 0, 1, 1, 149, 55, 5, 15},
        {5, 470, 470, 0, 455, 435, 124, 0, 25, 45}, {7, -10, -20, 1, 1, 1, 211, 126, 5, 15},
    };
    for (auto [kind, x, y, oncoming, destX, destY, left, top, width, height] : cases) {
        FillSurface(BackSurface, Untouched);
        DrawCarSprite(kind, x, y, oncoming);
        ExpectSprite(destX, destY, left, top, width, height);
    }
}

TEST_F(Road, BonusItemsMoveAreCollectedUnderTheCarAndComeBack) {
    ASSERT_TRUE(DirectSoundObject != nullptr || SoundDevice.Init());
    SoundDevice.LoadSound(kBonusSlot, (GameDir() + "/Bonus.snd").c_str());
    ASSERT_NE(BonusSound, nullptr);
    const std::string play =
        "sound " + std::to_string(plat::SoundBufferIndex(BonusSound)) + " play";
    const bool T = true, F = false;
    // The time bonus under the car at 402, 400: road x 383..421, y 371..439.
    // It moves with the road before the test; a car at the view's edge collects by road x.
    // Missed below the view's last row it comes back; paused it stands but is collected.
    // After the clock has run out it neither moves nor is collected.
    // The energy bonus: 100 more, at most 1000; the same window; it goes on after time out.
    const struct {
        bool energyItem;
        int32_t playerX, speed;
        bool paused;
        int32_t timeLeft, energy, xOffset, y;
        bool collected;
        int32_t wantY, wantEnergy;  // wantY only when not collected
    } cases[] = {
        {F, 402, 0, F, 100, 500, 32, 370, F, 370, 500},
        {F, 402, 0, F, 100, 500, 32, 371, T, 0, 500},
        {F, 402, 0, F, 100, 500, 32, 439, T, 0, 500},
        {F, 402, 0, F, 100, 500, 32, 440, F, 440, 500},
        {F, 402, 0, F, 100, 500, 12, 400, F, 400, 500},
        {F, 402, 0, F, 100, 500, 13, 400, T, 0, 500},
        {F, 402, 0, F, 100, 500, 51, 400, T, 0, 500},
        {F, 402, 0, F, 100, 500, 52, 400, F, 400, 500},
        {F, 402, 100, F, 100, 500, 32, 365, T, 0, 500},
        {F, 402, 100, F, 100, 500, 32, 434, F, 440, 500},
        {F, 630, 0, F, 100, 500, 149, 400, F, 400, 500},
        {F, 500, 0, F, 100, 500, 149, 400, T, 0, 500},
        {F, 402, 0, F, 100, 500, 10, 481, F, -1000, 500},
        {F, 402, 0, F, 100, 500, 10, 480, F, 480, 500},
        {F, 402, 100, F, 100, 500, 10, 475, F, -1000, 500},
        {F, 402, 150, T, 100, 500, 100, 300, F, 300, 500},
        {F, 402, 150, T, 100, 500, 32, 420, T, 0, 500},
        {F, 402, 100, F, 0, 500, 32, 400, F, 400, 500},
        {F, 402, 100, F, -3, 500, 10, 481, F, 481, 500},
        {T, 402, 0, F, 100, 900, 32, 405, T, 0, 1000},
        {T, 402, 0, F, 100, 899, 32, 405, T, 0, 999},
        {T, 402, 0, F, 100, -30, 32, 405, T, 0, 70},
        {T, 402, 0, F, 100, -100, 32, 405, T, 0, 0},
        {T, 402, 0, F, 100, 500, 32, 370, F, 370, 500},
        {T, 402, 0, F, 100, 500, 52, 400, F, 400, 500},
        {T, 402, 0, F, 100, 500, 51, 439, T, 0, 600},
        {T, 402, 100, F, 0, 300, 32, 394, T, 0, 400},
        {T, 402, 0, F, 100, 500, 10, 481, F, -5000, 500},
        {T, 402, 150, T, 100, 500, 100, 100, F, 100, 500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        RaceState = {402, 400, c.speed, 200, c.energy, c.timeLeft, 0, 0, 7};
        RaceState.playerX = c.playerX, RaceState.quitConfirm = c.paused;
        BonusItem& item = c.energyItem ? RaceState.energyBonus : RaceState.timeBonus;
        item = {c.xOffset, c.y};
        BonusSound->Stop();
        Backend().Reset();
        uint32_t next = RandomState;
        c.energyItem ? UpdateEnergyBonus() : UpdateTimeBonus();
        // Respawned items take a fresh x offset; a time bonus brings 50 more time and points.
        const int32_t wantY = c.collected ? (c.energyItem ? -5000 : -1000) : c.wantY;
        const int64_t x = wantY < -480 ? Draw(next, 150) : c.xOffset,
                      gain = c.collected && !c.energyItem ? 50 : 0;
        EXPECT_EQ(
            (std::vector<int64_t>{item.y, item.xOffset, RandomState, RaceState.timeLeft,
                                  RaceState.pendingPoints, RaceState.energy}),
            (std::vector<int64_t>{wantY, x, next, c.timeLeft + gain, 7 + gain, c.wantEnergy}));
        // The bonus sound only for a collected item.
        EXPECT_EQ(Only(Backend().log, {"sound"}),
                  c.collected ? std::vector{play} : std::vector<std::string>{});
    }
}

TEST_F(Road, BonusDiscsAreDrawnAtTheirRoadPlaceUntilTheClockRunsOut) {
    RaceState.playerX = 402;  // view offset 162
    RaceState.timeLeft = 100;
    RaceState.timeBonus = {100, 200};   // screen (308, 200)
    RaceState.energyBonus = {40, 100};  // screen (248, 100)
    FillSurface(BackSurface, 0);
    UpdateTimeBonus();
    UpdateEnergyBonus();
    // Magenta inside white, and white inside yellow: radii 3 and 5.
    const struct {
        int x, y;
        uint16_t colour;
    } pixels[] = {{308, 200, Magenta}, {311, 200, Magenta}, {312, 200, White},   {303, 200, White},
                  {313, 200, White},   {314, 200, 0},       {308, 197, Magenta}, {310, 195, White},
                  {308, 194, 0},       {308, 206, 0},       {248, 100, White},   {251, 100, White},
                  {252, 100, Yellow},  {248, 105, Yellow},  {254, 100, 0}};
    for (const auto& p : pixels)
        EXPECT_EQ(SurfacePixel(BackSurface, p.x, p.y), p.colour) << p.x << ", " << p.y;
    // Once the clock has run out the time bonus is no longer drawn.
    RaceState.timeLeft = 0;
    FillSurface(BackSurface, 0);
    UpdateTimeBonus();
    UpdateEnergyBonus();
    EXPECT_EQ(SurfacePixel(BackSurface, 308, 200), 0);
    EXPECT_EQ(SurfacePixel(BackSurface, 248, 100), White);
}

}  // namespace
