// The platform's message queue and keyboard where tests/conformance says nothing: input that
// arrives while the game waits or between frames, auto-repeats, the activation, and every way
// of closing the window.
#include "../support/support.h"

#include <tuple>
#include <unistd.h>

using namespace testing_support;

namespace {

constexpr UINT kFirst = 0x0400, kSecond = 0x0401, kThird = 0x0402;  // beyond the system's range
using Message = std::tuple<HWND, UINT, WPARAM, uint32_t>;

// Makes the window, empties the queue (a pending quit message included) and lets go of every key.
void Quiet() {
    GameWindow();
    Backend().pending.clear();
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) continue;
    plat::ReleaseAllKeys();
    for (int vk = 1; vk < 256; ++vk) GetAsyncKeyState(vk);  // no press left unread
}

// The next message, taken with GetMessageA.
Message Next() {
    MSG m{};
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    return {m.hwnd, m.message, m.wParam, uint32_t(m.lParam)};
}

// What tests/conformance leaves out: a post to no window is refused; with nothing queued
// GetMessageA waits and the input arrives on the second poll; an auto-repeat sets bit 30 of
// lParam as a key pressed again while held does.
TEST(PlatformMessages, WaitingInputAutoRepeatAndPostsToNoWindow) {
    Quiet();
    const HWND w = GameWindow();
    MSG m{};
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(&m), kFirst, 0, 0));
    Backend().pending = {[] {}, [] { plat::KeyDown('Q', false, false); }};
    EXPECT_EQ(Next(), Message(w, WM_KEYDOWN, 'Q', 1));
    EXPECT_TRUE(Backend().pending.empty());
    plat::KeyDown(VK_RETURN, true, false);
    plat::KeyUp(VK_RETURN, false);
    EXPECT_EQ(Next(), Message(w, WM_KEYDOWN, VK_RETURN, 1u | 1u << 30));
    EXPECT_EQ(Next(), Message(w, WM_KEYUP, VK_RETURN, 1u | 3u << 30));
    Quiet();
}

// Beyond what tests/conformance holds: keys outside 0..255 are never held; an auto-repeat
// keeps a key held; input due at this moment counts only once the queue has been looked into,
// between frames. Losing the activation lets go of every key, and an auto-repeat does not press
// it again. A message without a window goes nowhere; F4 without Alt is no close request.
TEST(PlatformMessages, GetAsyncKeyStateBetweenFramesAndTheActivation) {
    Quiet();
    plat::Activate(true);
    plat::KeyDown(VK_SPACE, false, false);
    plat::KeyDown(VK_SPACE, true, false);
    for (int vk : {-1, 256}) EXPECT_EQ(GetAsyncKeyState(vk), 0) << vk;
    EXPECT_LT(GetAsyncKeyState(VK_SPACE), 0);
    Backend().pending.push_back([] { plat::KeyDown(VK_RIGHT, false, false); });
    EXPECT_EQ(GetAsyncKeyState(VK_RIGHT), 0);
    MSG peek;
    PeekMessageA(&peek, nullptr, 0, 0, PM_NOREMOVE);
    EXPECT_LT(GetAsyncKeyState(VK_RIGHT), 0);
    plat::Activate(false);
    plat::KeyDown(VK_SPACE, true, false);
    EXPECT_EQ(GetAsyncKeyState(VK_SPACE) | GetAsyncKeyState(VK_RIGHT) | AppActive, 0);
    plat::Activate(true);
    MSG m{GameWindow(), WM_SETCURSOR, 0, 0, 0, {}};
    EXPECT_EQ(DispatchMessageA(&m), 1);  // the game hides the cursor and answers 1
    m.hwnd = nullptr;
    EXPECT_EQ(DispatchMessageA(&m), 0);
    EXPECT_EQ(DefWindowProcA(GameWindow(), WM_SYSKEYDOWN, VK_F4, 0), 0);
    EXPECT_EQ(DefWindowProcA(GameWindow(), WM_KEYDOWN, VK_F4, 1 << 29), 0);
    EXPECT_TRUE(PostMessageA(GameWindow(), kFirst, 0, 0)) << "the window was destroyed";
    Quiet();
}

// In the child process of a death test: ends it with status n unless `ok`.
void Check(int n, bool ok) {
    if (!ok) _exit(n);
}

// Closes the window the given way, with the display up, the application active and a message
// for the thread and one for the window queued, then runs the game's message loop to its end
// and checks what is left: the quit message last, the thread's message handled, the window's
// only when the window was not destroyed at once, the display released, the activation gone,
// one "destroy", and no window left to post to, to destroy or to close; ends the process with
// 0 when all is well.
[[noreturn]] void CloseAndRunTheLoop(void (*close)(HWND), bool now) {
    HWND window = GameWindow();
    DisplayUp();
    Quiet();
    plat::Activate(true);
    Backend().log.clear();
    Check(1, PostMessageA(nullptr, kFirst, 0, 0) && PostMessageA(window, kSecond, 0, 0) &&
                 AppActive == 1);
    close(window);
    Check(2, (DirectDrawObject == nullptr) == now);
    MSG m{};
    int first = 0, second = 0, handled = 0;
    for (; GetMessageA(&m, nullptr, 0, 0); TranslateMessage(&m), DispatchMessageA(&m)) {
        Check(3, ++handled < 10);
        first += m.message == kFirst, second += m.message == kSecond;
    }
    Check(4, m.message == WM_QUIT && m.wParam == 0 && first == 1 && second == (now ? 0 : 1));
    Check(5, DirectDrawObject == nullptr && PrimarySurface == nullptr && BackSurface == nullptr &&
                 AppActive == 0);
    Check(6, std::count(Backend().log.begin(), Backend().log.end(), "destroy") == 1);
    Check(7, !PostMessageA(window, kThird, 0, 0) && DestroyWindow(window) == FALSE);
    plat::RequestClose();
    Check(8, !PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    _exit(0);
}

// Every way of closing ends alike: WM_DESTROY reaches the game inside DestroyWindow, which
// releases the display, lets the activation go and posts the quit message; the window's own
// queued messages go with it, the thread's stay. The game has one window per process, so each
// way runs in a child process: SC_CLOSE (its low bits are the system's), Alt+F4, and the
// system's close.
TEST(PlatformMessages, EveryCloseRequestDestroysTheWindow) {
    const std::pair<void (*)(HWND), bool> ways[] = {
        {[](HWND w) { DefWindowProcA(w, WM_SYSCOMMAND, SC_CLOSE | 0x2, 0); }, true},
        {[](HWND) { plat::KeyDown(VK_F4, false, true); }, false},
        {[](HWND) { plat::RequestClose(); }, false}};
    for (auto [close, now] : ways)
        EXPECT_EXIT(CloseAndRunTheLoop(close, now), ::testing::ExitedWithCode(0), "");
}

}  // namespace
