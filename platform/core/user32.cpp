// Windows, the thread's message queue, the keyboard state, message boxes and Sleep.
#include "platform.h"

#include <array>
#include <cstdio>
#include <deque>
#include <string>

struct HWND__ {
    WNDPROC proc = nullptr;
    bool alive = false;
    bool destroying = false;
};

namespace plat {
namespace {

Backend* g_backend = nullptr;

struct WindowClass {
    bool registered = false;
    std::string name;
    WNDPROC proc = nullptr;
};

struct State {
    WindowClass wndClass;
    HWND__ window;
    bool windowExists = false;
    std::deque<MSG> posted;  // posted messages, handed out first
    std::deque<MSG> input;   // keyboard input, after the posted messages
    bool quitPosted = false;
    int quitCode = 0;
    bool active = false;
    int cursorCount = 0;
    std::array<bool, 256> keys{};
    // Keys pressed since GetAsyncKeyState last answered for them.
    std::array<bool, 256> pressed{};
};

State& S() {
    static State state;
    return state;
}

bool IsWindow(HWND hwnd) { return hwnd != nullptr && hwnd == &S().window && S().windowExists; }

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hwnd) || hwnd->proc == nullptr) return 0;
    return hwnd->proc(hwnd, msg, wParam, lParam);
}

MSG Make(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    return m;
}

void Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    S().posted.push_back(Make(hwnd, msg, wParam, lParam));
}

void PostInput(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    S().input.push_back(Make(hwnd, msg, wParam, lParam));
}

bool QueueEmpty() { return S().posted.empty() && S().input.empty(); }

// Key message lParam: repeat count 1, bit 29 with Alt held, bit 30 when the key was down
// before, bits 30 and 31 on release.
LPARAM KeyParam(bool repeat, bool alt, bool release) {
    uint32_t value = 1;
    if (alt) value |= 1u << 29;
    if (repeat || release) value |= 1u << 30;
    if (release) value |= 1u << 31;
    return static_cast<LPARAM>(value);
}

// The character a key makes, as TranslateMessage reports it; 0 for none.
int KeyChar(int vk) {
    const auto& keys = S().keys;
    bool shift = keys[VK_SHIFT] || keys[VK_LSHIFT] || keys[VK_RSHIFT];
    if (vk >= 'A' && vk <= 'Z') return shift ? vk : vk - 'A' + 'a';
    if (vk >= '0' && vk <= '9') return vk;
    switch (vk) {
        case VK_SPACE: return ' ';
        case VK_RETURN: return '\r';
        case VK_ESCAPE: return 0x1B;
        case VK_BACK: return 0x08;
        case VK_TAB: return '\t';
        default: return 0;
    }
}

bool TakeMessage(LPMSG msg, bool remove) {
    State& s = S();
    // As in Windows: posted messages first, then keyboard input, then the quit message.
    for (std::deque<MSG>* queue : {&s.posted, &s.input}) {
        if (queue->empty()) continue;
        if (msg != nullptr) *msg = queue->front();
        if (remove) queue->pop_front();
        return true;
    }
    if (s.quitPosted) {
        if (msg != nullptr) {
            *msg = MSG{};
            msg->message = WM_QUIT;
            msg->wParam = static_cast<WPARAM>(s.quitCode);
        }
        if (remove) s.quitPosted = false;
        return true;
    }
    return false;
}

}  // namespace

void Install(Backend* backend) { g_backend = backend; }

Backend& Current() {
    if (g_backend == nullptr) {
        std::fputs("platform: no backend installed\n", stderr);
        std::abort();
    }
    return *g_backend;
}

void KeyDown(int vk, bool repeat, bool alt) {
    if (vk < 0 || vk > 255) return;
    alt = alt || vk == VK_MENU;  // the Alt key itself comes as a system key
    State& s = S();
    bool wasDown = s.keys[static_cast<size_t>(vk)];
    // An auto-repeat leaves the key's held state as it is, and is no new press.
    if (!repeat) {
        s.keys[static_cast<size_t>(vk)] = true;
        s.pressed[static_cast<size_t>(vk)] = true;
    }
    bool system = alt || vk == VK_F10;
    PostInput(s.windowExists ? &s.window : nullptr, system ? WM_SYSKEYDOWN : WM_KEYDOWN,
              static_cast<WPARAM>(vk), KeyParam(repeat || wasDown, alt, false));
}

void KeyUp(int vk, bool alt) {
    if (vk < 0 || vk > 255) return;
    alt = alt || vk == VK_MENU;
    State& s = S();
    s.keys[static_cast<size_t>(vk)] = false;
    bool system = alt || vk == VK_F10;
    PostInput(s.windowExists ? &s.window : nullptr, system ? WM_SYSKEYUP : WM_KEYUP,
              static_cast<WPARAM>(vk), KeyParam(false, alt, true));
}

void ReleaseAllKeys() { S().keys.fill(false); }

void Activate(bool active) {
    State& s = S();
    if (!s.windowExists || s.active == active) return;
    s.active = active;
    if (!active) ReleaseAllKeys();
    Send(&s.window, WM_ACTIVATEAPP, active ? 1 : 0, 0);
}

void RequestClose() {
    State& s = S();
    if (s.windowExists) Post(&s.window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

}  // namespace plat

using plat::S;

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (wc == nullptr || wc->lpszClassName == nullptr || wc->lpfnWndProc == nullptr) return 0;
    auto& cls = S().wndClass;
    if (cls.registered) return 0;  // the one class of the program exists already
    cls.registered = true;
    cls.name = wc->lpszClassName;
    cls.proc = wc->lpfnWndProc;
    return 0xC000;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD, int, int, int, int,
                            HWND, HMENU, HINSTANCE, LPVOID) {
    auto& s = S();
    if (className == nullptr || !s.wndClass.registered || s.wndClass.name != className) {
        return nullptr;
    }
    if (s.windowExists) return nullptr;  // one window per program
    if (!plat::Current().CreateWindow(windowName != nullptr ? windowName : "")) return nullptr;
    s.window.proc = s.wndClass.proc;
    s.window.alive = true;
    s.window.destroying = false;
    s.windowExists = true;
    plat::Send(&s.window, WM_CREATE, 0, 0);
    return &s.window;
}

BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow) {
    if (!plat::IsWindow(hwnd)) return FALSE;
    if (cmdShow != SW_HIDE && plat::Current().ActivateOnShow()) plat::Activate(true);
    return FALSE;  // the window was not visible before
}

BOOL WINAPI UpdateWindow(HWND hwnd) { return plat::IsWindow(hwnd) ? TRUE : FALSE; }

BOOL WINAPI DestroyWindow(HWND hwnd) {
    auto& s = S();
    if (!plat::IsWindow(hwnd) || hwnd->destroying) return FALSE;
    hwnd->destroying = true;
    if (s.active) {
        s.active = false;
        plat::Send(hwnd, WM_ACTIVATEAPP, 0, 0);
    }
    plat::Send(hwnd, WM_DESTROY, 0, 0);
    s.windowExists = false;
    hwnd->alive = false;
    // Messages still queued for the window go with it.
    for (std::deque<MSG>* queue : {&s.posted, &s.input}) {
        std::deque<MSG> kept;
        for (const MSG& m : *queue) {
            if (m.hwnd != hwnd) kept.push_back(m);
        }
        queue->swap(kept);
    }
    plat::Current().DestroyWindow();
    return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SYSKEYDOWN:
            // Alt+F4 asks the window to close.
            if (wParam == VK_F4 && (static_cast<uint32_t>(lParam) & (1u << 29)) != 0) {
                plat::Send(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) plat::Send(hwnd, WM_CLOSE, 0, 0);
            return 0;
        case WM_CLOSE: DestroyWindow(hwnd); return 0;
        default: return 0;  // WM_SETCURSOR among them: no cursor is set
    }
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return plat::Send(hwnd, msg, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd != nullptr && !plat::IsWindow(hwnd)) return FALSE;
    plat::Post(hwnd, msg, wParam, lParam);
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
    S().quitPosted = true;
    S().quitCode = exitCode;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND, UINT, UINT, UINT removeMsg) {
    plat::Current().PollInput();
    return plat::TakeMessage(msg, (removeMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND, UINT, UINT) {
    MSG local{};
    for (;;) {
        plat::Current().PollInput();
        if (plat::TakeMessage(&local, true)) break;
        plat::Current().WaitForInput();
    }
    if (msg != nullptr) *msg = local;
    return local.message == WM_QUIT ? FALSE : TRUE;
}

// The answer is TRUE for every key message, whether a character came of it or not, as
// Windows answers; FALSE for any other message.
BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (msg == nullptr) return FALSE;
    const UINT m = msg->message;
    if (m != WM_KEYDOWN && m != WM_SYSKEYDOWN && m != WM_KEYUP && m != WM_SYSKEYUP) return FALSE;
    if (m == WM_KEYUP || m == WM_SYSKEYUP) return TRUE;
    int ch = plat::KeyChar(static_cast<int>(msg->wParam & 0xFF));
    if (ch == 0) return TRUE;
    UINT charMsg = m == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    // The character message is posted, so it comes before the keyboard input still queued.
    plat::Post(msg->hwnd, charMsg, static_cast<WPARAM>(ch), msg->lParam);
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr) return 0;
    return plat::Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI WaitMessage(void) {
    auto& backend = plat::Current();
    backend.PollInput();
    if (plat::QueueEmpty() && !S().quitPosted) backend.WaitForInput();
    return TRUE;
}

// Keys change state only where the backend delivers input: at the game's looks into its
// message queue, between frames. The top bit says the key is held; the low bit, as on Windows,
// that it was pressed since the previous call for it ("the key was pressed after the previous
// call to GetAsyncKeyState"), so a key pressed and released between two reads is seen once,
// and a key pressed before the race counts on its first frame.
SHORT WINAPI GetAsyncKeyState(int vKey) {
    if (vKey < 0 || vKey > 255) return 0;
    auto& s = S();
    const auto key = static_cast<size_t>(vKey);
    uint16_t state = s.keys[key] ? 0x8000 : 0;
    if (s.pressed[key]) state |= 0x0001;
    s.pressed[key] = false;
    return static_cast<SHORT>(state);
}

// Synthesised keys take the backends' way in: the key's state changes at once, and its
// message joins the keyboard input behind what is queued. A key made by scan code or as a
// character has no virtual key here, and is refused with what follows it.
UINT WINAPI SendInput(UINT inputCount, LPINPUT inputs, int size) {
    if (inputs == nullptr || size != static_cast<int>(sizeof(INPUT))) return 0;
    UINT sent = 0;
    for (; sent < inputCount; ++sent) {
        const INPUT& input = inputs[sent];
        if (input.type != INPUT_KEYBOARD) break;
        const KEYBDINPUT& key = input.ki;
        if ((key.dwFlags & (KEYEVENTF_UNICODE | KEYEVENTF_SCANCODE)) != 0) break;
        int vk = key.wVk;
        if (vk == 0 || vk > 254) break;
        const auto& keys = S().keys;
        bool alt = keys[VK_MENU] || keys[VK_LMENU] || keys[VK_RMENU];
        if ((key.dwFlags & KEYEVENTF_KEYUP) != 0) {
            plat::KeyUp(vk, alt);
        } else {
            plat::KeyDown(vk, false, alt);
        }
    }
    return sent;
}

int WINAPI GetSystemMetrics(int index) {
    int width = 0;
    int height = 0;
    plat::Current().ScreenSize(width, height);
    if (index == SM_CXSCREEN) return width;
    if (index == SM_CYSCREEN) return height;
    return 0;
}

int WINAPI ShowCursor(BOOL show) {
    auto& s = S();
    s.cursorCount += show ? 1 : -1;
    return s.cursorCount;
}

HCURSOR WINAPI SetCursor(HCURSOR) { return nullptr; }

HICON WINAPI LoadIconA(HINSTANCE, LPCSTR) { return nullptr; }

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    static HCURSOR__* arrow = reinterpret_cast<HCURSOR__*>(static_cast<uintptr_t>(0x10003));
    if (instance == nullptr && name == IDC_ARROW) return arrow;
    return nullptr;
}

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    plat::Current().ShowMessageBox(caption != nullptr ? caption : "Error",
                                   text != nullptr ? text : "", type);
    return IDOK;
}

void WINAPI Sleep(DWORD milliseconds) { plat::Current().Sleep(milliseconds); }
