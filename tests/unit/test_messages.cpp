// The platform's message queue and keyboard: PeekMessageA and GetMessageA, the order of
// posted messages, the quit message, TranslateMessage, GetAsyncKeyState, and the default
// window procedure closing the window.
//
// The game has one window per process. Tests that destroy it run in a forked child, so that
// the other tests of the same process keep their window.
#include "../support/support.h"

#include "../../src/app/app.h"
#include "../../src/display/display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace {

constexpr UINT kFirst = 0x0400;  // messages of our own, beyond the system's range
constexpr UINT kSecond = 0x0401;
constexpr UINT kThird = 0x0402;

// Empties the queue (a pending quit message included) and lets go of every key.
void Quiet() {
    Backend().pending.clear();
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    plat::ReleaseAllKeys();
}

// Runs `body` in a forked child and answers its exit status; the body answers 0 when all
// went well, or the number of the check that failed.
int InChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int code = body();
        std::fflush(nullptr);
        _exit(code);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#define CHILD_CHECK(n, condition)                                               \
    do {                                                                        \
        if (!(condition)) {                                                     \
            std::fprintf(stderr, "child check %d failed: %s\n", n, #condition); \
            return n;                                                           \
        }                                                                       \
    } while (0)

TEST(PlatformMessages, PeekWithoutRemovingThenGet) {
    GameWindow();
    Quiet();
    MSG m{};
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PostMessageA(nullptr, kFirst, 7, 8));
    for (int i = 0; i < 2; ++i) {
        m = MSG{};
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(m.message, kFirst);
        EXPECT_EQ(m.wParam, 7u);
        EXPECT_EQ(m.lParam, 8);
        EXPECT_EQ(m.hwnd, nullptr);
    }
    m = MSG{};
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, kFirst);
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_EQ(m.lParam, 8);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE)) << "the message was not removed";

    // PM_REMOVE takes it at once.
    ASSERT_TRUE(PostMessageA(GameWindow(), kSecond, 1, 2));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, kSecond);
    EXPECT_EQ(m.hwnd, GameWindow());
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST(PlatformMessages, PostedMessagesArriveInOrder) {
    GameWindow();
    Quiet();
    ASSERT_TRUE(PostMessageA(nullptr, kFirst, 1, 0));
    ASSERT_TRUE(PostMessageA(GameWindow(), kSecond, 2, 0));
    plat::KeyDown(VK_DOWN, false, false);
    ASSERT_TRUE(PostMessageA(nullptr, kThird, 3, 0));
    const UINT want[] = {kFirst, kSecond, WM_KEYDOWN, kThird};
    for (UINT w : want) {
        MSG m{};
        ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
        EXPECT_EQ(m.message, w);
    }
    MSG m{};
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    // A window that does not exist takes no messages.
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(&m), kFirst, 0, 0));
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    Quiet();
}

TEST(PlatformMessages, QuitComesAfterEveryOtherMessage) {
    GameWindow();
    Quiet();
    ASSERT_TRUE(PostMessageA(nullptr, kFirst, 0, 0));
    ASSERT_TRUE(PostMessageA(nullptr, kSecond, 0, 0));
    PostQuitMessage(42);
    ASSERT_TRUE(PostMessageA(nullptr, kThird, 0, 0));  // posted after the quit, still first
    MSG m{};
    ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, kFirst);
    ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, kSecond);
    ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, kThird);
    // Looking at the quit message leaves it there.
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    m = MSG{};
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 42u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) << "the quit message came twice";
}

TEST(PlatformMessages, GetMessageWaitsForInput) {
    GameWindow();
    Quiet();
    // The input arrives on the second poll: GetMessageA has to wait for it.
    Backend().pending.push_back([] {});
    Backend().pending.push_back([] { plat::KeyDown('Q', false, false); });
    MSG m{};
    ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>('Q'));
    EXPECT_EQ(m.hwnd, GameWindow());
    EXPECT_TRUE(Backend().pending.empty());
    Quiet();
}

TEST(PlatformMessages, KeyMessagesCarryRepeatAndAltBits) {
    GameWindow();
    Quiet();
    plat::KeyDown(VK_RETURN, false, false);
    plat::KeyDown(VK_RETURN, true, false);
    plat::KeyUp(VK_RETURN, false);
    plat::KeyDown('X', false, true);
    plat::KeyDown(VK_F10, false, false);
    plat::KeyUp('X', true);
    struct Want {
        UINT message;
        WPARAM key;
        uint32_t lParam;
    };
    const Want want[] = {
        {WM_KEYDOWN, VK_RETURN, 1},
        {WM_KEYDOWN, VK_RETURN, 1u | (1u << 30)},
        {WM_KEYUP, VK_RETURN, 1u | (1u << 30) | (1u << 31)},
        {WM_SYSKEYDOWN, 'X', 1u | (1u << 29)},
        {WM_SYSKEYDOWN, VK_F10, 1},
        {WM_SYSKEYUP, 'X', 1u | (1u << 29) | (1u << 30) | (1u << 31)},
    };
    for (const Want& w : want) {
        MSG m{};
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(m.message, w.message);
        EXPECT_EQ(m.wParam, w.key);
        EXPECT_EQ(static_cast<uint32_t>(m.lParam), w.lParam) << std::hex << m.message;
        EXPECT_EQ(m.hwnd, GameWindow());
    }
    Quiet();
}

// The character message that TranslateMessage makes for a key, or 0 for none.
struct Translated {
    BOOL result = FALSE;
    UINT message = 0;
    WPARAM character = 0;
};

Translated Translate(int vk, bool alt = false) {
    Quiet();
    plat::KeyDown(vk, false, alt);
    Translated t;
    MSG key{};
    if (GetMessageA(&key, nullptr, 0, 0) != TRUE) {
        ADD_FAILURE() << "no key message";
        return t;
    }
    t.result = TranslateMessage(&key);
    PostMessageA(nullptr, kFirst, 0, 0);  // a later message stays behind the character
    MSG next{};
    if (GetMessageA(&next, nullptr, 0, 0) != TRUE) return t;
    if (next.message != kFirst) {
        t.message = next.message;
        t.character = next.wParam;
        EXPECT_EQ(next.hwnd, key.hwnd);
        EXPECT_EQ(next.lParam, key.lParam);
    }
    Quiet();
    return t;
}

TEST(PlatformMessages, TranslateMessageMakesCharactersForCharacterKeys) {
    GameWindow();
    struct Case {
        int vk;
        WPARAM ch;
    };
    const Case keys[] = {{'A', 'a'}, {'Y', 'y'}, {'N', 'n'}, {'0', '0'}, {'7', '7'},
                         {VK_SPACE, ' '}, {VK_RETURN, '\r'}, {VK_ESCAPE, 0x1B}, {VK_BACK, 0x08},
                         {VK_TAB, '\t'}};
    for (const Case& c : keys) {
        Translated t = Translate(c.vk);
        EXPECT_EQ(t.result, TRUE) << c.vk;
        EXPECT_EQ(t.message, static_cast<UINT>(WM_CHAR)) << c.vk;
        EXPECT_EQ(t.character, c.ch) << c.vk;
    }
    // With Shift held the letters are capitals.
    plat::KeyDown(VK_SHIFT, false, false);
    {
        MSG m{};
        PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);
        plat::KeyDown('Q', false, false);
        MSG key{};
        ASSERT_EQ(GetMessageA(&key, nullptr, 0, 0), TRUE);
        EXPECT_EQ(TranslateMessage(&key), TRUE);
        MSG ch{};
        ASSERT_EQ(GetMessageA(&ch, nullptr, 0, 0), TRUE);
        EXPECT_EQ(ch.message, static_cast<UINT>(WM_CHAR));
        EXPECT_EQ(ch.wParam, static_cast<WPARAM>('Q'));
    }
    Quiet();
    // A key held with Alt makes a system character.
    Translated alt = Translate('D', true);
    EXPECT_EQ(alt.result, TRUE);
    EXPECT_EQ(alt.message, static_cast<UINT>(WM_SYSCHAR));
    EXPECT_EQ(alt.character, static_cast<WPARAM>('d'));
}

TEST(PlatformMessages, TranslateMessageMakesNoCharacterForOtherKeys) {
    GameWindow();
    for (int vk : {VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_F1, VK_F12, VK_SHIFT, VK_CONTROL,
                   VK_INSERT, VK_HOME}) {
        Translated t = Translate(vk);
        EXPECT_EQ(t.result, FALSE) << vk;
        EXPECT_EQ(t.message, 0u) << vk << " made a character";
    }
    // Only key-down messages are translated.
    Quiet();
    MSG up{};
    up.hwnd = GameWindow();
    up.message = WM_KEYUP;
    up.wParam = 'A';
    EXPECT_EQ(TranslateMessage(&up), FALSE);
    MSG other{};
    other.message = kFirst;
    other.wParam = 'A';
    EXPECT_EQ(TranslateMessage(&other), FALSE);
    EXPECT_EQ(TranslateMessage(nullptr), FALSE);
    MSG m{};
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST(PlatformMessages, GetAsyncKeyStateReportsHeldKeys) {
    GameWindow();
    plat::Activate(true);
    Quiet();
    for (int vk : {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_SPACE}) {
        EXPECT_EQ(GetAsyncKeyState(vk), 0) << vk;
    }
    plat::KeyDown(VK_LEFT, false, false);
    plat::KeyDown(VK_SPACE, false, false);
    SHORT left = GetAsyncKeyState(VK_LEFT);
    EXPECT_LT(left, 0);
    EXPECT_NE(static_cast<uint16_t>(left) & 0x8000, 0);
    EXPECT_LT(GetAsyncKeyState(VK_SPACE), 0);
    EXPECT_EQ(GetAsyncKeyState(VK_RIGHT), 0);
    EXPECT_EQ(GetAsyncKeyState(VK_UP), 0);
    // An auto-repeat keeps it held; the release clears it.
    plat::KeyDown(VK_LEFT, true, false);
    EXPECT_LT(GetAsyncKeyState(VK_LEFT), 0);
    plat::KeyUp(VK_LEFT, false);
    EXPECT_EQ(GetAsyncKeyState(VK_LEFT), 0);
    EXPECT_LT(GetAsyncKeyState(VK_SPACE), 0);
    // Codes outside the key range are never held.
    EXPECT_EQ(GetAsyncKeyState(-1), 0);
    EXPECT_EQ(GetAsyncKeyState(256), 0);
    // The state is read fresh: input due at this moment counts.
    Backend().pending.push_back([] { plat::KeyDown(VK_RIGHT, false, false); });
    EXPECT_LT(GetAsyncKeyState(VK_RIGHT), 0);
    // Losing the activation lets go of every key.
    plat::Activate(false);
    EXPECT_EQ(GetAsyncKeyState(VK_SPACE), 0);
    EXPECT_EQ(GetAsyncKeyState(VK_RIGHT), 0);
    EXPECT_EQ(AppActive, 0);
    plat::Activate(true);
    EXPECT_EQ(AppActive, 1);
    Quiet();
}

TEST(PlatformMessages, DispatchMessageCallsTheWindowProcedure) {
    GameWindow();
    Quiet();
    MSG m{};
    m.hwnd = GameWindow();
    m.message = WM_SETCURSOR;
    EXPECT_EQ(DispatchMessageA(&m), 1);  // the game hides the cursor and answers 1
    m.message = WM_ACTIVATEAPP;
    m.wParam = 0;
    DispatchMessageA(&m);
    EXPECT_EQ(AppActive, 0);
    m.wParam = 1;
    DispatchMessageA(&m);
    EXPECT_EQ(AppActive, 1);
    // A message without a window goes nowhere.
    m.hwnd = nullptr;
    m.message = WM_ACTIVATEAPP;
    m.wParam = 0;
    EXPECT_EQ(DispatchMessageA(&m), 0);
    EXPECT_EQ(AppActive, 1);
    // F4 without Alt is no close request.
    EXPECT_EQ(DefWindowProcA(GameWindow(), WM_SYSKEYDOWN, VK_F4, 0), 0);
    EXPECT_EQ(DefWindowProcA(GameWindow(), WM_KEYDOWN, VK_F4, 1 << 29), 0);
    EXPECT_TRUE(PostMessageA(GameWindow(), kFirst, 0, 0)) << "the window was destroyed";
    Quiet();
}

// The close command destroys the window; WM_DESTROY reaches the game's procedure inside
// DestroyWindow, which releases the display and posts the quit message.
TEST(PlatformMessages, CloseCommandDestroysTheWindow) {
    int status = InChild([]() -> int {
        HWND window = GameWindow();
        CHILD_CHECK(1, window != nullptr);
        DisplayUp();
        CHILD_CHECK(2, DirectDrawObject != nullptr);
        Quiet();
        plat::Activate(true);
        Backend().log.clear();
        CHILD_CHECK(3, PostMessageA(nullptr, kFirst, 0, 0));
        CHILD_CHECK(4, PostMessageA(window, kSecond, 0, 0));
        CHILD_CHECK(5, AppActive == 1);

        CHILD_CHECK(6, DefWindowProcA(window, WM_SYSCOMMAND, SC_CLOSE, 0) == 0);
        // All of it happened during the call.
        CHILD_CHECK(7, DirectDrawObject == nullptr);
        CHILD_CHECK(8, PrimarySurface == nullptr && BackSurface == nullptr);
        CHILD_CHECK(9, AppActive == 0);
        CHILD_CHECK(10, std::count(Backend().log.begin(), Backend().log.end(), "destroy") == 1);
        CHILD_CHECK(11, !PostMessageA(window, kThird, 0, 0));
        CHILD_CHECK(12, DestroyWindow(window) == FALSE);
        // The window's own messages went with it; the thread's stays, before the quit.
        MSG m{};
        CHILD_CHECK(13, GetMessageA(&m, nullptr, 0, 0) == TRUE && m.message == kFirst);
        CHILD_CHECK(14, GetMessageA(&m, nullptr, 0, 0) == FALSE);
        CHILD_CHECK(15, m.message == WM_QUIT && m.wParam == 0);
        CHILD_CHECK(16, !PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
        return 0;
    });
    EXPECT_EQ(status, 0);
}

TEST(PlatformMessages, CloseCommandWithPositionBitsDestroysTheWindow) {
    int status = InChild([]() -> int {
        HWND window = GameWindow();
        CHILD_CHECK(1, window != nullptr);
        Quiet();
        // The low four bits of the command are the system's own.
        DefWindowProcA(window, WM_SYSCOMMAND, SC_CLOSE | 0x2, 0);
        CHILD_CHECK(2, !PostMessageA(window, kFirst, 0, 0));
        MSG m{};
        CHILD_CHECK(3, GetMessageA(&m, nullptr, 0, 0) == FALSE);
        return 0;
    });
    EXPECT_EQ(status, 0);
}

TEST(PlatformMessages, AltF4ThroughTheMessageLoopEndsIt) {
    int status = InChild([]() -> int {
        HWND window = GameWindow();
        CHILD_CHECK(1, window != nullptr);
        DisplayUp();
        Quiet();
        plat::KeyDown(VK_F4, false, true);
        MSG m{};
        int handled = 0;
        while (GetMessageA(&m, nullptr, 0, 0)) {
            CHILD_CHECK(2, ++handled < 10);
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        CHILD_CHECK(3, m.message == WM_QUIT && m.wParam == 0);
        CHILD_CHECK(4, DirectDrawObject == nullptr);
        CHILD_CHECK(5, !PostMessageA(window, kFirst, 0, 0));
        return 0;
    });
    EXPECT_EQ(status, 0);
}

TEST(PlatformMessages, CloseRequestOfTheSystemEndsIt) {
    int status = InChild([]() -> int {
        HWND window = GameWindow();
        CHILD_CHECK(1, window != nullptr);
        Quiet();
        plat::RequestClose();
        MSG m{};
        CHILD_CHECK(2, GetMessageA(&m, nullptr, 0, 0) == TRUE);
        CHILD_CHECK(3, m.message == WM_SYSCOMMAND && m.hwnd == window);
        DispatchMessageA(&m);
        CHILD_CHECK(4, GetMessageA(&m, nullptr, 0, 0) == FALSE);
        CHILD_CHECK(5, !PostMessageA(window, kFirst, 0, 0));
        // With no window, the system's close request has nothing to post to.
        plat::RequestClose();
        CHILD_CHECK(6, !PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
        return 0;
    });
    EXPECT_EQ(status, 0);
}

}  // namespace
