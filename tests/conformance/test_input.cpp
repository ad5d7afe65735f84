// The keyboard and the message queue as the game reads them: GetAsyncKeyState in the race,
// and the queue of posted messages, keyboard input and the quit message in the main loop. Keys
// are pressed with SendInput, which comes in where the keyboard's keys do.
#include "conformance.h"

namespace conformance {
namespace {

UINT Send(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki = KEYBDINPUT{vk, 0, up ? KEYEVENTF_KEYUP : 0u, 0, 0};
    return SendInput(1, &input, sizeof input);
}

// Presses, or releases, the keys in turn.
void Down(std::initializer_list<WORD> keys) {
    for (WORD vk : keys) EXPECT_EQ(Send(vk, false), 1u) << "down " << vk;
}
void Up(std::initializer_list<WORD> keys) {
    for (WORD vk : keys) EXPECT_EQ(Send(vk, true), 1u) << "up " << vk;
}
void Tap(WORD vk) { Down({vk}), Up({vk}); }

// GetAsyncKeyState of each key in turn.
using States = std::vector<uint16_t>;
States Async(std::initializer_list<int> keys) {
    States states;
    for (int vk : keys) states.push_back(static_cast<uint16_t>(GetAsyncKeyState(vk)));
    return states;
}

// The next message a test looks for, taken with GetMessageA as the game takes them; anything
// else the system queues for a window (painting, for one) is handled on the way. False when
// nothing is queued: GetMessageA would wait.
bool Next(MSG& message) {
    for (;;) {
        MSG peeked;
        if (!PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE)) return false;
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        EXPECT_EQ(got, message.message == WM_QUIT ? FALSE : TRUE);
        // The quit message, key and character messages, and the tests' own.
        const UINT kind = message.message;
        if (kind == WM_QUIT || (kind >= WM_KEYDOWN && kind <= WM_SYSCHAR) ||
            (kind >= WM_USER && kind < 0x8000))
            return true;
        DispatchMessageA(&message);
    }
}

// A key message's lParam: the repeat count of 1, bit 29 with Alt held, bit 30 when the key was
// down before, bit 31 on release. Bits 16 to 24 (the scan code and the extended key) vary.
constexpr uint32_t kKeyBits = 0xE000FFFFu, kPressed = 1u, kRepeated = 1u | (1u << 30),
                   kReleased = 1u | (1u << 30) | (1u << 31), kWithAlt = 1u << 29;

// The next message is the given key message; it is left in *taken when asked.
void ExpectKey(UINT message, WPARAM key, uint32_t bits, MSG* taken = nullptr) {
    MSG m;
    ASSERT_TRUE(Next(m)) << "no message " << std::hex << message << " for key " << key;
    // What the message is, its key, its window and its lParam's bits.
    EXPECT_EQ(std::tuple(m.message, m.wParam, m.hwnd, static_cast<uint32_t>(m.lParam) & kKeyBits),
              std::tuple(message, key, Window(), bits));
    if (taken != nullptr) *taken = m;
}

void ExpectPosted(HWND window, UINT message, WPARAM wParam) {
    MSG m;
    ASSERT_TRUE(Next(m)) << "no message " << std::hex << message;
    EXPECT_EQ(std::tuple(m.message, m.hwnd, m.wParam), std::tuple(message, window, wParam));
}

void ExpectNothingMore() {
    MSG m;
    EXPECT_FALSE(Next(m)) << "message " << std::hex << m.message << " " << m.wParam;
}

// Windows sets the low bit of GetAsyncKeyState for a key pressed since the previous call
// ("If the least significant bit is set, the key was pressed after the previous call to
// GetAsyncKeyState"), so a tap between two reads is seen once.
TEST(Input, GetAsyncKeyStateReportsHeldKeysAndPressesSinceTheLastCall) {
    DrainMessages();
    const WORD kKey = 'G';
    const uint16_t kHeld = 0x8000, kSince = 0x0001;  // held; pressed since the previous call
    Async({kKey, 'H'});                              // forgets any earlier press
    EXPECT_EQ(Async({kKey}), States{0});
    Down({kKey});
    EXPECT_EQ(Async({kKey, kKey, 'H'}), (States{kHeld | kSince, kHeld, 0}));
    Up({kKey});
    EXPECT_EQ(Async({kKey}), States{0});

    // A tap between two reads, and two of them: seen once.
    Tap(kKey);
    EXPECT_EQ(Async({kKey, kKey}), (States{kSince, 0}));
    Tap(kKey);
    Tap(kKey);
    EXPECT_EQ(Async({kKey, kKey}), (States{kSince, 0}));

    // Each key has its own; another key's read leaves it.
    Down({'H', kKey});
    EXPECT_EQ(Async({kKey, 'H', 'H'}), (States{kHeld | kSince, kHeld | kSince, kHeld}));
    // Pressed again while held, the key counts as pressed again.
    Down({kKey});
    EXPECT_EQ(Async({kKey}), States{kHeld | kSince});
    Up({kKey, 'H'});
    EXPECT_EQ(Async({kKey, 'H'}), (States{0, 0}));
    DrainMessages();
}

TEST(Input, PostedMessagesComeBeforeKeysAndTheQuitMessageLast) {
    DrainMessages();
    const HWND window = Window();
    EXPECT_TRUE(PostMessageA(window, WM_USER + 1, 1, 0));
    Down({'G'});
    EXPECT_TRUE(PostMessageA(window, WM_USER + 2, 2, 0));
    EXPECT_TRUE(PostMessageA(nullptr, WM_USER + 3, 3, 0));  // to the thread, not a window
    Up({'G'});

    // A look without removing shows the first message and leaves it.
    MSG m;
    for (int look = 0; look < 2; ++look) {
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 1));
    }

    // Posted messages in the order posted, then keyboard input in the order typed.
    ExpectPosted(window, WM_USER + 1, 1);
    ExpectPosted(window, WM_USER + 2, 2);
    ExpectPosted(nullptr, WM_USER + 3, 3);
    ExpectKey(WM_KEYDOWN, 'G', kPressed);
    ExpectKey(WM_KEYUP, 'G', kReleased);
    ExpectNothingMore();

    // The quit message waits behind posted messages, even those posted after it, and ends
    // GetMessageA with the exit code; then it is gone.
    PostQuitMessage(7);
    EXPECT_TRUE(PostMessageA(window, WM_USER + 4, 4, 0));
    ExpectPosted(window, WM_USER + 4, 4);
    ASSERT_TRUE(Next(m));
    EXPECT_EQ(std::pair(m.message, m.wParam), (std::pair<UINT, WPARAM>(WM_QUIT, 7)));
    ExpectNothingMore();
}

TEST(Input, KeyMessagesAndTheCharactersTranslated) {
    DrainMessages();
    // A key pressed while held is a repeat.
    Down({'G', 'G', 'H'});
    Up({'H', 'G'});
    MSG m;
    ExpectKey(WM_KEYDOWN, 'G', kPressed, &m);
    // TranslateMessage posts the character, so it comes before the keys still queued.
    EXPECT_TRUE(TranslateMessage(&m));
    ExpectPosted(Window(), WM_CHAR, 'g');
    ExpectKey(WM_KEYDOWN, 'G', kRepeated);
    ExpectKey(WM_KEYDOWN, 'H', kPressed);
    ExpectKey(WM_KEYUP, 'H', kReleased);
    // Every key message is answered TRUE, whether a character came of it or not.
    ASSERT_TRUE(Next(m));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_KEYUP));
    EXPECT_TRUE(TranslateMessage(&m));
    const MSG arrow{m.hwnd, WM_KEYDOWN, VK_LEFT, 1, m.time, m.pt};
    EXPECT_TRUE(TranslateMessage(&arrow));
    const MSG posted{m.hwnd, WM_USER, m.wParam, m.lParam, m.time, m.pt};
    EXPECT_FALSE(TranslateMessage(&posted));
    ExpectNothingMore();

    // With Alt held, and F10 alone, keys are system keys.
    Down({VK_MENU});
    Tap('G');
    ExpectKey(WM_SYSKEYDOWN, VK_MENU, kPressed | kWithAlt);
    ExpectKey(WM_SYSKEYDOWN, 'G', kPressed | kWithAlt);
    ExpectKey(WM_SYSKEYUP, 'G', kReleased | kWithAlt);
    Up({VK_MENU});
    ASSERT_TRUE(Next(m));  // the release of Alt itself, whichever message it comes as
    EXPECT_EQ(m.wParam, static_cast<WPARAM>(VK_MENU));
    Tap(VK_F10);
    ExpectKey(WM_SYSKEYDOWN, VK_F10, kPressed);
    ExpectKey(WM_SYSKEYUP, VK_F10, kReleased);
    ExpectNothingMore();
}

}  // namespace
}  // namespace conformance
