// The keys every backend knows, in one table, so that a key means the same virtual key
// whichever backend reads it. Each row: the virtual key, its name in headless scripts, the
// SDL key code's name (SDLK_ and it) and the browser's KeyboardEvent.key for it; the keypad's
// keys give the same characters as others, so they have their KeyboardEvent.code instead.
// Letters, digits and F1 to F12 are ranges and are not in the table.
#pragma once

#include <windows.h>

#include <string>

// clang-format off
#define PLAT_KEYS(X)                                               \
    X(VK_RETURN,     "ENTER",      RETURN,       "Enter")          \
    X(VK_SPACE,      "SPACE",      SPACE,        " ")              \
    X(VK_ESCAPE,     "ESCAPE",     ESCAPE,       "Escape")         \
    X(VK_UP,         "UP",         UP,           "ArrowUp")        \
    X(VK_DOWN,       "DOWN",       DOWN,         "ArrowDown")      \
    X(VK_LEFT,       "LEFT",       LEFT,         "ArrowLeft")      \
    X(VK_RIGHT,      "RIGHT",      RIGHT,        "ArrowRight")     \
    X(VK_BACK,       "BACKSPACE",  BACKSPACE,    "Backspace")      \
    X(VK_TAB,        "TAB",        TAB,          "Tab")            \
    X(VK_SHIFT,      "SHIFT",      LSHIFT,       "Shift")          \
    X(VK_SHIFT,      "SHIFT",      RSHIFT,       "Shift")          \
    X(VK_CONTROL,    "CONTROL",    LCTRL,        "Control")        \
    X(VK_CONTROL,    "CONTROL",    RCTRL,        "Control")        \
    X(VK_MENU,       "ALT",        LALT,         "Alt")            \
    X(VK_MENU,       "ALT",        RALT,         "AltGraph")       \
    X(VK_PAUSE,      "PAUSE",      PAUSE,        "Pause")          \
    X(VK_CAPITAL,    "CAPSLOCK",   CAPSLOCK,     "CapsLock")       \
    X(VK_PRIOR,      "PAGEUP",     PAGEUP,       "PageUp")         \
    X(VK_NEXT,       "PAGEDOWN",   PAGEDOWN,     "PageDown")       \
    X(VK_END,        "END",        END,          "End")            \
    X(VK_HOME,       "HOME",       HOME,         "Home")           \
    X(VK_INSERT,     "INSERT",     INSERT,       "Insert")         \
    X(VK_DELETE,     "DELETE",     DELETE,       "Delete")         \
    X(VK_NUMLOCK,    "NUMLOCK",    NUMLOCKCLEAR, "NumLock")        \
    X(VK_SCROLL,     "SCROLLLOCK", SCROLLLOCK,   "ScrollLock")     \
    X(VK_RETURN,     "ENTER",      KP_ENTER,     "NumpadEnter")    \
    X(VK_NUMPAD0,    "NUMPAD0",    KP_0,         "Numpad0")        \
    X(VK_MULTIPLY,   "MULTIPLY",   KP_MULTIPLY,  "NumpadMultiply") \
    X(VK_ADD,        "ADD",        KP_PLUS,      "NumpadAdd")      \
    X(VK_SUBTRACT,   "SUBTRACT",   KP_MINUS,     "NumpadSubtract") \
    X(VK_DECIMAL,    "DECIMAL",    KP_PERIOD,    "NumpadDecimal")  \
    X(VK_DIVIDE,     "DIVIDE",     KP_DIVIDE,    "NumpadDivide")   \
    X(VK_OEM_1,      "OEM_1",      SEMICOLON,    ";")              \
    X(VK_OEM_PLUS,   "OEM_PLUS",   EQUALS,       "=")              \
    X(VK_OEM_COMMA,  "OEM_COMMA",  COMMA,        ",")              \
    X(VK_OEM_MINUS,  "OEM_MINUS",  MINUS,        "-")              \
    X(VK_OEM_PERIOD, "OEM_PERIOD", PERIOD,       ".")              \
    X(VK_OEM_2,      "OEM_2",      SLASH,        "/")              \
    X(VK_OEM_3,      "OEM_3",      BACKQUOTE,    "`")              \
    X(VK_OEM_4,      "OEM_4",      LEFTBRACKET,  "[")              \
    X(VK_OEM_5,      "OEM_5",      BACKSLASH,    "\\")             \
    X(VK_OEM_6,      "OEM_6",      RIGHTBRACKET, "]")              \
    X(VK_OEM_7,      "OEM_7",      QUOTE,        "'")
// clang-format on

namespace plat {

// The virtual key a script names: a name of the table, one capital letter or digit, F1 to
// F12, or code:N for any code N from 1 to 254; -1 for anything else.
int KeyFromName(const std::string& name);
// The name a script gives a virtual key (code:N where it has no other).
std::string NameOfKey(int vk);

// The virtual key of a browser's key event, 0 for none: from the layout's character or key name
// (KeyboardEvent.key), as Windows and SDL follow the layout; from the physical key
// (KeyboardEvent.code) only on the keypad and where the key gives no character the table knows
// (a dead key, or a shifted digit).
int KeyFromBrowser(const std::string& key, const std::string& code, bool keypad);

}  // namespace plat
