// The platform calls the game makes, stated as facts that hold on Windows and on our own
// platform layer alike. The tests are written against the system's headers only: the same
// sources build against our layer (run natively) and with mingw-w64 against the real system
// libraries (run on Windows, or under Wine).
//
// Where Wine answers otherwise than Windows, a test expects each its own answer and says why
// (UnderWine). Our layer always answers as Windows does.
#pragma once

#include <windows.h>
#include <ddraw.h>
#include <dsound.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

namespace conformance {

// A result code, printed in hexadecimal.
struct Hr {
    HRESULT value;
    friend bool operator==(Hr a, Hr b) { return a.value == b.value; }
};
std::ostream& operator<<(std::ostream& out, Hr hr);
#define EXPECT_HR(actual, expected) \
    EXPECT_EQ(::conformance::Hr{(actual)}, ::conformance::Hr{(expected)})
#define ASSERT_HR(actual, expected) \
    ASSERT_EQ(::conformance::Hr{(actual)}, ::conformance::Hr{(expected)})

// A zeroed structure of the kind that carries its own size in dwSize.
template <class T>
T Sized() {
    T value{};
    value.dwSize = sizeof value;
    return value;
}

// Whether a pixel lies in a rectangle: its right and bottom edges are outside.
inline bool Inside(const RECT& rect, int x, int y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

// The one window of the program, created before the tests run: DirectDraw's exclusive mode
// and DirectSound's cooperative level need it, and synthesised keys come to it.
HWND Window();

// Whether the program runs under Wine rather than Windows or our own layer (answered by the
// entry function of each build).
bool UnderWine();

// Registers the window class, makes the window, shows it, handles what showing it brought,
// and runs every test. The entry function of each build calls it.
int Run(int argc, char** argv);

// Handles every message queued for the program (as a frame of the game does), so that a test
// starts from an empty queue.
void DrainMessages();

// A surface's pixels, row after row.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> values;
    uint16_t At(int x, int y) const { return values[static_cast<size_t>(y * width + x)]; }
    uint16_t& At(int x, int y) { return values[static_cast<size_t>(y * width + x)]; }
};

// A 16-bit surface, its flip chain and offscreen surfaces: the display mode the game sets.
// The DirectDraw object and the flip chain are made once for all tests that use them.
class DisplayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    // An offscreen plain surface of the display's format, as the game makes its pictures.
    static LPDIRECTDRAWSURFACE MakeSurface(int width, int height);
    // Fills a rectangle (the whole surface for null) with a pixel value, as the game clears.
    static HRESULT Fill(LPDIRECTDRAWSURFACE surface, uint16_t value, RECT* rect = nullptr);
    // A BltFast as the game makes it: tried again while the blitter is busy.
    static HRESULT BltFast(LPDIRECTDRAWSURFACE to, DWORD x, DWORD y, LPDIRECTDRAWSURFACE from,
                           RECT* rect, DWORD flags);

    // A surface's pixels, read and written through Lock.
    static Pixels Read(LPDIRECTDRAWSURFACE surface);
    static void Write(LPDIRECTDRAWSURFACE surface, Pixels pixels);
    static uint16_t Pixel(LPDIRECTDRAWSURFACE surface, int x, int y);
    static void SetPixelValue(LPDIRECTDRAWSURFACE surface, int x, int y, uint16_t value);
    // Every pixel of a surface of the given size against expected(x, y).
    static void ExpectPixels(LPDIRECTDRAWSURFACE surface, int width, int height,
                             const std::function<int(int, int)>& expected);

    static inline LPDIRECTDRAW directDraw = nullptr;
    static inline LPDIRECTDRAWSURFACE primary = nullptr;
    static inline LPDIRECTDRAWSURFACE back = nullptr;
    // The result of each step of the set-up, checked by a test of their own.
    static inline HRESULT createResult = E_FAIL, levelResult = E_FAIL, modeResult = E_FAIL,
                          primaryResult = E_FAIL, attachedResult = E_FAIL;

private:
    // Copies a surface's pixels out, or (to) in, through Lock.
    static void Transfer(LPDIRECTDRAWSURFACE surface, Pixels& pixels, bool to);
};

// Releases a COM object at the end of a scope.
template <class T>
class Released {
public:
    explicit Released(T* object = nullptr) : object_(object) {}
    ~Released() {
        if (object_ != nullptr) object_->Release();
    }
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    T** Out() { return &object_; }

private:
    T* object_;
};

}  // namespace conformance
