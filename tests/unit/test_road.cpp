// The road, the car sprites and the two bonus items.
#include "../support/support.h"

#include "../../platform/core/mixer.h"
#include "../../src/app/app.h"
#include "../../src/assets/assets.h"
#include "../../src/audio/sound.h"
#include "../../src/display/display.h"
#include "../../src/game/race.h"
#include "../../src/game/random.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// The race's generator, stepped on a copy of its state to know the next numbers.
struct Generator {
    uint32_t state;
    int32_t Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int32_t>((state >> 16) & 0x7FFF);
    }
    int32_t Below(int32_t n) { return Next() % n; }
};

// A generator state whose next R%40 is (or, with `wanted` false, is not) 1.
uint32_t StateBeforeWrapDraw(bool wanted) {
    Generator search{1};
    for (int i = 0; i < 100000; ++i) {
        uint32_t candidate = search.state;
        Generator probe{candidate};
        if ((probe.Below(40) == 1) == wanted) return candidate;
        search.Next();
    }
    ADD_FAILURE() << "no such state";
    return 1;
}

uint16_t Pack565(int r, int g, int b) {
    return static_cast<uint16_t>(((r * 31 / 255) << 11) | ((g * 63 / 255) << 5) | (b * 31 / 255));
}
const uint16_t Magenta = Pack565(255, 0, 255);
const uint16_t White = Pack565(255, 255, 255);
const uint16_t Yellow = Pack565(255, 255, 0);
const uint16_t Untouched = 0xFFFE;  // a value no test picture holds

struct Screen {
    std::vector<uint16_t> pixels;
    uint16_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * 640 + static_cast<size_t>(x)]; }
};

Screen Snapshot(IDirectDrawSurface* surface) {
    Screen screen;
    screen.pixels.assign(640 * 480, 0);
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    EXPECT_NE(surface, nullptr);
    if (surface == nullptr) return screen;
    HRESULT locked = surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    EXPECT_EQ(locked, DD_OK);
    if (locked != DD_OK) return screen;
    for (int y = 0; y < 480; ++y) {
        std::memcpy(&screen.pixels[static_cast<size_t>(y) * 640],
                    static_cast<const uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch, 640 * 2);
    }
    EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
    return screen;
}

// Writes every pixel of a surface from a function of its position.
template <typename F>
void Paint(IDirectDrawSurface* surface, int width, int height, F colour) {
    ASSERT_NE(surface, nullptr);
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(y) * desc.lPitch);
        for (int x = 0; x < width; ++x) row[x] = colour(x, y);
    }
    ASSERT_EQ(surface->Unlock(nullptr), DD_OK);
}

// The test car picture: every pixel names its own position, except the magenta ones:
// the gap column of each car, the gap row, and two spots inside each car image.
uint16_t CarCode(int x, int y) { return static_cast<uint16_t>(1 + x * 141 + y); }
bool CarMagenta(int x, int y) {
    int column = x % 31;
    return column == 30 || y == 70 || (column == 5 && y == 10) || (column == 6 && y == 80) ||
           (column == 29 && y == 69);
}
uint16_t CarPixel(int x, int y) { return CarMagenta(x, y) ? Magenta : CarCode(x, y); }

// The road test picture: the row in the low 9 bits, the column modulo 128 above it.
uint16_t RoadPixel(int x, int y) { return static_cast<uint16_t>(((x % 128) << 9) | y); }

void DropQueuedMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

class Road : public ::testing::Test {
protected:
    void SetUp() override {
        Backend();
        ASSERT_NE(GameWindow(), nullptr);
        DisplayUp();
        ASSERT_NE(BackSurface, nullptr);
        savedPictures_ = {RoadImage, CarsImage, BackImage, StatusImage};
        RoadImage = CarsImage = BackImage = StatusImage = nullptr;
        for (int slot = 0; slot < SoundSlots; ++slot) {
            savedSounds_[static_cast<size_t>(slot)] = SoundBuffers[slot];
            SoundBuffers[slot] = nullptr;
        }
        plat::ReleaseAllKeys();
        DropQueuedMessages();
        Backend().Reset();
        ScreenState = 1;
        CurtainPos = 0;
        RaceState = {};
        RaceState.countdown = 0;
        RaceState.timeLeft = 100;
        RaceState.speed = 0;
        RandomState = 1;
    }
    void TearDown() override {
        plat::ReleaseAllKeys();
        DropQueuedMessages();
        for (IDirectDrawSurface* made : made_) made->Release();
        RoadImage = savedPictures_[0];
        CarsImage = savedPictures_[1];
        BackImage = savedPictures_[2];
        StatusImage = savedPictures_[3];
        for (int slot = 0; slot < SoundSlots; ++slot) SoundBuffers[slot] = savedSounds_[static_cast<size_t>(slot)];
        RaceState = {};
        ScreenState = 0;
    }

    IDirectDrawSurface* Made(int width, int height) {
        IDirectDrawSurface* surface = MakeSurface(width, height);
        if (surface != nullptr) made_.push_back(surface);
        return surface;
    }
    void UseTestCars() {
        CarsImage = Made(279, 141);
        Paint(CarsImage, 279, 141, CarPixel);
    }

    // Checks the whole back buffer: inside the destination rectangle the sprite's pixels
    // from the source rectangle (magenta left out), everywhere else untouched.
    void ExpectSprite(int destX, int destY, int srcLeft, int srcTop, int width, int height) {
        Screen screen = Snapshot(BackSurface);
        int wrong = 0;
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                uint16_t expected = Untouched;
                int dx = x - destX;
                int dy = y - destY;
                if (dx >= 0 && dx < width && dy >= 0 && dy < height) {
                    uint16_t source = CarPixel(srcLeft + dx, srcTop + dy);
                    if (source != Magenta) expected = source;
                }
                if (screen.At(x, y) != expected && ++wrong <= 3) {
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << screen.At(x, y) << ", expected "
                                  << expected;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }

private:
    std::array<IDirectDrawSurface*, 4> savedPictures_{};
    std::array<LPDIRECTSOUNDBUFFER, SoundSlots> savedSounds_{};
    std::vector<IDirectDrawSurface*> made_;
};

// ---------------------------------------------------------------------------------------
// The view and the road.

TEST_F(Road, ViewFollowsThePlayerBetweenTheEdges) {
    const int32_t cases[][2] = {{22, 0}, {239, 0}, {240, 0}, {241, 1}, {300, 60}, {402, 162},
                                {419, 179}, {420, 180}, {421, 180}, {638, 180}};
    for (const auto& c : cases) {
        RaceState.playerX = c[0];
        EXPECT_EQ(ViewOffset(), c[1]) << c[0];
    }
    // The player's car stays at screen x 240 while the view can follow.
    UseTestCars();
    const int32_t cars[][2] = {{240, 240}, {300, 240}, {420, 240}, {100, 100}, {500, 320}, {638, 458}};
    for (const auto& c : cars) {
        SCOPED_TRACE(c[0]);
        RaceState.playerX = c[0];
        FillSurface(BackSurface, Untouched);
        DrawPlayerCar();
        ExpectSprite(c[1] - 15, 400 - 35, 31, 0, 30, 70);
    }
}

TEST_F(Road, ScrollWrapsWithoutCarryAndMayAddACar) {
    uint32_t addsCar = StateBeforeWrapDraw(true);
    uint32_t addsNone = StateBeforeWrapDraw(false);

    RaceState.speed = 100;
    RaceState.roadScroll = 476;
    RaceState.activeCars = 5;
    RandomState = addsCar;
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 0);  // 482 wraps to 0, not 2
    EXPECT_EQ(RaceState.activeCars, 6);
    Generator one{addsCar};
    one.Next();
    EXPECT_EQ(RandomState, one.state);  // exactly one number drawn

    RaceState.roadScroll = 476;
    RandomState = addsNone;
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 0);
    EXPECT_EQ(RaceState.activeCars, 6);
    Generator other{addsNone};
    other.Next();
    EXPECT_EQ(RandomState, other.state);

    // At 15 cars the number is still drawn, and nothing is added.
    RaceState.roadScroll = 479;
    RaceState.speed = 15;
    RaceState.activeCars = 15;
    RandomState = addsCar;
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 0);
    EXPECT_EQ(RaceState.activeCars, 15);
    EXPECT_EQ(RandomState, one.state);

    // No wrap, no number.
    RaceState.roadScroll = 100;
    RaceState.speed = 100;
    RandomState = addsCar;
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 106);
    EXPECT_EQ(RandomState, addsCar);
    RaceState.roadScroll = 473;
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 479);
    EXPECT_EQ(RandomState, addsCar);

    // At speed 100 the road wraps every 80 frames.
    RaceState.roadScroll = 0;
    RaceState.activeCars = 5;
    int wraps = 0;
    uint32_t before = RandomState;
    for (int frame = 1; frame <= 800; ++frame) {
        DrawRoad();
        if (RaceState.roadScroll == 0) {
            ++wraps;
            EXPECT_EQ(frame % 80, 0) << frame;
        }
    }
    EXPECT_EQ(wraps, 10);
    Generator ten{before};
    for (int i = 0; i < 10; ++i) ten.Next();
    EXPECT_EQ(RandomState, ten.state);
}

TEST_F(Road, ScrollBackwardsAndPaused) {
    RaceState.roadScroll = 0;
    RaceState.speed = -30;
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 480);
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 478);
    EXPECT_EQ(RandomState, 1u);  // going backwards draws nothing

    RaceState.roadScroll = 1;
    RaceState.speed = -15;
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 0);
    RaceState.speed = -14;  // -14 / 15 is 0
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 0);

    RaceState.quitConfirm = true;
    RaceState.speed = 100;
    RaceState.roadScroll = 476;
    DrawRoad();
    EXPECT_EQ(RaceState.roadScroll, 476);
    EXPECT_EQ(RandomState, 1u);
}

TEST_F(Road, RoadPictureRollsDownTheView) {
    RoadImage = Made(660, 480);
    Paint(RoadImage, 660, 480, RoadPixel);
    struct Case {
        int32_t roadScroll;
        int32_t speed;
        int32_t playerX;
        int32_t shownScroll;
        int32_t offset;
    };
    const Case cases[] = {{0, 0, 402, 0, 162},   {6, 0, 240, 6, 0},      {234, 90, 300, 240, 60},
                          {0, -30, 638, 480, 180}, {479, 0, 420, 479, 180}, {476, 100, 22, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.roadScroll);
        SCOPED_TRACE(c.speed);
        RaceState.roadScroll = c.roadScroll;
        RaceState.speed = c.speed;
        RaceState.playerX = c.playerX;
        FillSurface(BackSurface, Untouched);
        DrawRoad();
        ASSERT_EQ(RaceState.roadScroll, c.shownScroll);
        Screen screen = Snapshot(BackSurface);
        int wrong = 0;
        for (int y = 0; y < 480; ++y) {
            int sourceRow = y < c.shownScroll ? 480 - c.shownScroll + y : y - c.shownScroll;
            for (int x = 0; x < 640; ++x) {
                uint16_t expected = x < 480 ? RoadPixel(c.offset + x, sourceRow) : Untouched;
                if (screen.At(x, y) != expected && ++wrong <= 3) {
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << screen.At(x, y) << ", expected "
                                  << expected;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

// ---------------------------------------------------------------------------------------
// Car sprites.

TEST_F(Road, CarSpritesComeFromTheirColumnAndRow) {
    UseTestCars();
    struct Case {
        int32_t kind, x, y;
        bool oncoming;
        int destX, destY, srcLeft, srcTop, width, height;
    };
    const Case cases[] = {
        {2, 240, 400, false, 225, 365, 31, 0, 30, 70},
        {2, 240, 400, true, 225, 365, 31, 71, 30, 70},
        {5, 100, 200, false, 85, 165, 124, 0, 30, 70},
        {9, 240, 200, false, 225, 165, 248, 0, 30, 70},  // picture columns 248..277
        {9, 240, 200, true, 225, 165, 248, 71, 30, 70},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        SCOPED_TRACE(c.oncoming);
        FillSurface(BackSurface, Untouched);
        DrawCarSprite(c.kind, c.x, c.y, c.oncoming);
        ExpectSprite(c.destX, c.destY, c.srcLeft, c.srcTop, c.width, c.height);
    }
    // The magenta spot inside the player's car leaves the back buffer as it was.
    FillSurface(BackSurface, Untouched);
    DrawCarSprite(2, 240, 400, false);
    Screen screen = Snapshot(BackSurface);
    EXPECT_EQ(screen.At(225 + 5, 365 + 10), Untouched);
    EXPECT_EQ(screen.At(225 + 4, 365 + 10), CarCode(31 + 4, 10));
    EXPECT_EQ(screen.At(225 + 29, 365 + 69), Untouched);
}

TEST_F(Road, CarSpritesAreClippedToTheView) {
    UseTestCars();
    struct Case {
        int32_t x, y;
        int destX, destY, srcLeft, srcTop, width, height;  // width 0: nothing drawn
    };
    const Case cases[] = {
        // Rejected outright, or clipped away to nothing.
        {100, -70, 0, 0, 0, 0, 0, 0},
        {-30, 100, 0, 0, 0, 0, 0, 0},
        {100, 480, 0, 0, 0, 0, 0, 0},
        {480, 100, 0, 0, 0, 0, 0, 0},
        {100, -35, 0, 0, 0, 0, 0, 0},
        {-15, 100, 0, 0, 0, 0, 0, 0},
        // Top edge: drawn from screen row 1.
        {100, -34, 85, 1, 124, 69, 30, 1},
        {100, 0, 85, 1, 124, 35, 30, 35},
        {100, 35, 85, 1, 124, 0, 30, 70},
        {100, 36, 85, 1, 124, 0, 30, 70},
        // Bottom edge: cut exactly at row 480.
        {100, 444, 85, 409, 124, 0, 30, 70},
        {100, 445, 85, 410, 124, 0, 30, 70},
        {100, 446, 85, 411, 124, 0, 30, 69},
        {100, 479, 85, 444, 124, 0, 30, 36},
        // Left edge: drawn from screen column 1.
        {16, 100, 1, 65, 124, 0, 30, 70},
        {15, 100, 1, 65, 124, 0, 30, 70},
        {0, 100, 1, 65, 139, 0, 15, 70},
        {-14, 100, 1, 65, 153, 0, 1, 70},
        // Right edge: cut exactly at column 480.
        {464, 100, 449, 65, 124, 0, 30, 70},
        {465, 100, 450, 65, 124, 0, 30, 70},
        {466, 100, 451, 65, 124, 0, 29, 70},
        {479, 100, 464, 65, 124, 0, 16, 70},
        // Both a corner's edges at once.
        {-10, -20, 1, 1, 149, 55, 5, 15},
        {470, 470, 455, 435, 124, 0, 25, 45},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        SCOPED_TRACE(c.y);
        FillSurface(BackSurface, Untouched);
        DrawCarSprite(5, c.x, c.y, false);
        ExpectSprite(c.destX, c.destY, c.srcLeft, c.srcTop, c.width, c.height);
    }
    // Oncoming images are cut the same way inside their own row.
    FillSurface(BackSurface, Untouched);
    DrawCarSprite(7, -10, -20, true);
    ExpectSprite(1, 1, 211, 126, 5, 15);
}

// ---------------------------------------------------------------------------------------
// Bonus items.

TEST_F(Road, TimeBonusIsCollectedUnderTheCar) {
    struct Case {
        int32_t xOffset, y;
        bool collected;
    };
    const Case cases[] = {{32, 370, false}, {32, 371, true},  {32, 400, true},  {32, 439, true},
                          {32, 440, false}, {13, 400, true},  {12, 400, false}, {51, 400, true},
                          {52, 400, false}, {13, 371, true},  {51, 439, true},  {52, 371, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xOffset);
        SCOPED_TRACE(c.y);
        RaceState.playerX = 402;
        RaceState.timeLeft = 100;
        RaceState.pendingPoints = 7;
        RaceState.timeBonus = {c.xOffset, c.y};
        Generator next{RandomState};
        UpdateTimeBonus();
        if (c.collected) {
            EXPECT_EQ(RaceState.timeLeft, 150);
            EXPECT_EQ(RaceState.pendingPoints, 57);
            EXPECT_EQ(RaceState.timeBonus.y, -1000);
            EXPECT_EQ(RaceState.timeBonus.xOffset, next.Below(150));
        } else {
            EXPECT_EQ(RaceState.timeLeft, 100);
            EXPECT_EQ(RaceState.pendingPoints, 7);
            EXPECT_EQ(RaceState.timeBonus.y, c.y);
            EXPECT_EQ(RaceState.timeBonus.xOffset, c.xOffset);
        }
    }
    // It moves with the road before the test.
    RaceState.speed = 100;
    RaceState.timeBonus = {32, 365};
    UpdateTimeBonus();
    EXPECT_EQ(RaceState.timeBonus.y, -1000);
    RaceState.timeBonus = {32, 434};
    UpdateTimeBonus();
    EXPECT_EQ(RaceState.timeBonus.y, 440);
    // A car at the view's edge collects where its road x says.
    RaceState.speed = 0;
    RaceState.playerX = 630;
    RaceState.timeBonus = {149, 400};  // road x 519
    UpdateTimeBonus();
    EXPECT_EQ(RaceState.timeBonus.y, 400);
    RaceState.playerX = 500;
    UpdateTimeBonus();
    EXPECT_EQ(RaceState.timeBonus.y, -1000);
}

TEST_F(Road, EnergyBonusRepairsUpToFullEnergy) {
    const int32_t cases[][2] = {{950, 1000}, {900, 1000}, {899, 999}, {500, 600}, {-30, 70}, {-100, 0}, {1000, 1000}};
    for (const auto& c : cases) {
        RaceState.energy = c[0];
        RaceState.energyBonus = {32, 405};
        Generator next{RandomState};
        UpdateEnergyBonus();
        EXPECT_EQ(RaceState.energy, c[1]) << c[0];
        EXPECT_EQ(RaceState.energyBonus.y, -5000);
        EXPECT_EQ(RaceState.energyBonus.xOffset, next.Below(150));
    }
    // The same window as the time bonus.
    for (int32_t y : {370, 440}) {
        RaceState.energy = 500;
        RaceState.energyBonus = {32, y};
        UpdateEnergyBonus();
        EXPECT_EQ(RaceState.energy, 500);
        EXPECT_EQ(RaceState.energyBonus.y, y);
    }
    RaceState.energyBonus = {52, 400};
    UpdateEnergyBonus();
    EXPECT_EQ(RaceState.energy, 500);
    RaceState.energyBonus = {51, 439};
    UpdateEnergyBonus();
    EXPECT_EQ(RaceState.energy, 600);
}

TEST_F(Road, RespawnsLieFarAboveTheView) {
    for (int i = 0; i < 100; ++i) {
        Generator next{RandomState};
        RespawnTimeBonus();
        EXPECT_EQ(RaceState.timeBonus.y, -1000);
        EXPECT_EQ(RaceState.timeBonus.xOffset, next.Below(150));
        RespawnEnergyBonus();
        EXPECT_EQ(RaceState.energyBonus.y, -5000);
        EXPECT_EQ(RaceState.energyBonus.xOffset, next.Below(150));
        EXPECT_EQ(RandomState, next.state);
    }
    // Missed items come back too: once below the view's last row.
    RaceState.timeBonus = {10, 481};
    RaceState.energyBonus = {10, 481};
    Generator next{RandomState};
    UpdateTimeBonus();
    UpdateEnergyBonus();
    EXPECT_EQ(RaceState.timeBonus.y, -1000);
    EXPECT_EQ(RaceState.timeBonus.xOffset, next.Below(150));
    EXPECT_EQ(RaceState.energyBonus.y, -5000);
    EXPECT_EQ(RaceState.energyBonus.xOffset, next.Below(150));
    RaceState.timeBonus = {10, 480};
    RaceState.energyBonus = {10, 480};
    UpdateTimeBonus();
    UpdateEnergyBonus();
    EXPECT_EQ(RaceState.timeBonus.y, 480);
    EXPECT_EQ(RaceState.energyBonus.y, 480);
    RaceState.speed = 100;
    RaceState.timeBonus = {10, 475};
    UpdateTimeBonus();
    EXPECT_EQ(RaceState.timeBonus.y, -1000);
}

TEST_F(Road, BonusDiscsAreDrawnAtTheirRoadPlace) {
    RaceState.playerX = 402;  // view offset 162
    RaceState.timeBonus = {100, 200};
    RaceState.energyBonus = {40, 100};
    FillSurface(BackSurface, 0);
    UpdateTimeBonus();
    UpdateEnergyBonus();
    Screen screen = Snapshot(BackSurface);
    // Time bonus at screen (308, 200): magenta inside white.
    EXPECT_EQ(screen.At(308, 200), Magenta);
    EXPECT_EQ(screen.At(311, 200), Magenta);
    EXPECT_EQ(screen.At(312, 200), White);
    EXPECT_EQ(screen.At(303, 200), White);
    EXPECT_EQ(screen.At(313, 200), White);
    EXPECT_EQ(screen.At(314, 200), 0);
    EXPECT_EQ(screen.At(308, 197), Magenta);
    EXPECT_EQ(screen.At(310, 195), White);
    EXPECT_EQ(screen.At(308, 194), 0);
    EXPECT_EQ(screen.At(308, 206), 0);
    // Energy bonus at screen (248, 100): white inside yellow.
    EXPECT_EQ(screen.At(248, 100), White);
    EXPECT_EQ(screen.At(251, 100), White);
    EXPECT_EQ(screen.At(252, 100), Yellow);
    EXPECT_EQ(screen.At(248, 105), Yellow);
    EXPECT_EQ(screen.At(254, 100), 0);
}

TEST_F(Road, AfterTimeOutOnlyTheEnergyBonusGoesOn) {
    RaceState.speed = 100;
    RaceState.timeLeft = 0;
    RaceState.pendingPoints = 0;
    RaceState.timeBonus = {32, 400};  // under the car
    FillSurface(BackSurface, Untouched);
    UpdateTimeBonus();
    EXPECT_EQ(RaceState.timeBonus.y, 400);
    EXPECT_EQ(RaceState.timeLeft, 0);
    EXPECT_EQ(RaceState.pendingPoints, 0);
    EXPECT_EQ(Snapshot(BackSurface).At(240, 400), Untouched);  // not drawn
    RaceState.energy = 300;
    RaceState.energyBonus = {32, 394};
    UpdateEnergyBonus();
    EXPECT_EQ(RaceState.energy, 400);

    // The same inside a running race frame: the time bonus neither moves nor shows.
    RaceState = {};
    RaceState.countdown = 0;
    RaceState.activeCars = 0;
    RaceState.speed = 100;
    RaceState.timeLeft = -3;
    RaceState.timeBonus = {100, 200};
    RaceState.energyBonus = {120, 200};
    RaceTick();
    EXPECT_EQ(RaceState.timeBonus.y, 200);
    EXPECT_EQ(RaceState.energyBonus.y, 206);
    Screen front = Snapshot(PrimarySurface);
    EXPECT_EQ(front.At(308, 200), 0);
    EXPECT_EQ(front.At(328, 206), White);
    EXPECT_EQ(front.At(333, 206), Yellow);
}

TEST_F(Road, PausedBonusesStandStillButCanBeCollected) {
    RaceState.quitConfirm = true;
    RaceState.speed = 150;
    RaceState.timeBonus = {100, 300};
    RaceState.energyBonus = {100, 100};
    UpdateTimeBonus();
    UpdateEnergyBonus();
    EXPECT_EQ(RaceState.timeBonus.y, 300);
    EXPECT_EQ(RaceState.energyBonus.y, 100);
    RaceState.timeBonus = {32, 420};
    UpdateTimeBonus();
    EXPECT_EQ(RaceState.timeBonus.y, -1000);
    EXPECT_EQ(RaceState.timeLeft, 150);
}

TEST_F(Road, CollectingPlaysTheBonusSound) {
    LPDIRECTSOUNDBUFFER bonus = nullptr;
    {
        if (DirectSoundObject == nullptr) {
            ASSERT_TRUE(SoundDevice.Init());
        }
        static LPDIRECTSOUNDBUFFER loaded = [] {
            LPDIRECTSOUNDBUFFER before = SoundBuffers[5];
            SoundBuffers[5] = nullptr;
            SoundDevice.LoadSound(5, (GameDir() + "/Bonus.snd").c_str());
            LPDIRECTSOUNDBUFFER made = SoundBuffers[5];
            SoundBuffers[5] = before;
            return made;
        }();
        bonus = loaded;
    }
    if (bonus == nullptr) GTEST_SKIP() << "Bonus.snd could not be loaded";
    bonus->Stop();
    BonusSound = bonus;
    std::string index = std::to_string(plat::SoundBufferIndex(bonus));
    Backend().Reset();
    RaceState.timeBonus = {32, 400};
    UpdateTimeBonus();
    EXPECT_EQ(Backend().Lines("sound"), (std::vector<std::string>{"sound " + index + " play"}));
    // Missed items and items beside the car are silent.
    bonus->Stop();
    Backend().Reset();
    RaceState.timeBonus = {10, 481};
    RaceState.energyBonus = {100, 400};
    UpdateTimeBonus();
    UpdateEnergyBonus();
    EXPECT_TRUE(Backend().Lines("sound").empty());
    RaceState.energyBonus = {32, 400};
    UpdateEnergyBonus();
    EXPECT_EQ(Backend().Lines("sound"), (std::vector<std::string>{"sound " + index + " play"}));
    bonus->Stop();
}

}  // namespace
