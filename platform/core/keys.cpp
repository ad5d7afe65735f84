// Key names of the headless scripts, shared by every backend that reads or writes them.
#include "keys.h"

namespace plat {
namespace {

struct NamedKey {
    int vk;
    const char* name;
};

#define PLAT_NAMED_KEY(vk, script, sdl, dom) {vk, script},
constexpr NamedKey kNamedKeys[] = {PLAT_KEYS(PLAT_NAMED_KEY)};
#undef PLAT_NAMED_KEY

#define PLAT_DOM_KEY(vk, script, sdl, dom) {vk, dom},
constexpr NamedKey kDomKeys[] = {PLAT_KEYS(PLAT_DOM_KEY)};
#undef PLAT_DOM_KEY

int DomKey(const std::string& name) {
    if (name.empty()) return 0;
    for (const NamedKey& key : kDomKeys) {
        if (name == key.name) return key.vk;
    }
    return 0;
}

// A letter or digit, upper case for letters; 0 for anything else.
int LetterOrDigit(char c) {
    if (c >= 'a' && c <= 'z') return 'A' + (c - 'a');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
    return 0;
}

// A decimal number of digits only, at most 1000 (larger ones as 1000); -1 otherwise.
int SmallNumber(const std::string& text) {
    if (text.empty()) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
        if (value > 1000) value = 1000;
    }
    return value;
}

}  // namespace

int KeyFromName(const std::string& name) {
    for (const NamedKey& key : kNamedKeys) {
        if (name == key.name) return key.vk;
    }
    if (name.size() == 1 &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9'))) {
        return name[0];
    }
    if (name.size() >= 2 && name[0] == 'F' && name[1] != '0') {
        int n = SmallNumber(name.substr(1));
        if (n >= 1 && n <= 12) return VK_F1 + n - 1;
    }
    if (name.rfind("code:", 0) == 0) {
        int n = SmallNumber(name.substr(5));
        if (n >= 1 && n <= 254) return n;
    }
    return -1;
}

std::string NameOfKey(int vk) {
    for (const NamedKey& key : kNamedKeys) {
        if (key.vk == vk) return key.name;
    }
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, char(vk));
    std::string name = vk >= VK_F1 && vk < VK_F1 + 12 ? "F" : "code:";
    name += std::to_string(vk >= VK_F1 && vk < VK_F1 + 12 ? vk - VK_F1 + 1 : vk);
    return name;
}

int KeyFromBrowser(const std::string& key, const std::string& code, bool keypad) {
    // The keypad's digits and signs are the keypad's keys with or without Num Lock, as in SDL.
    if (keypad) {
        if (code.size() == 7 && code.rfind("Numpad", 0) == 0 && code[6] >= '0' && code[6] <= '9') {
            return VK_NUMPAD0 + (code[6] - '0');
        }
        if (int vk = DomKey(code); vk != 0) return vk;
    }
    if (key.size() == 1) {
        if (int vk = LetterOrDigit(key[0]); vk != 0) return vk;
    }
    if (key.size() >= 2 && key[0] == 'F' && key[1] != '0') {
        const int n = SmallNumber(key.substr(1));
        if (n >= 1 && n <= 12) return VK_F1 + n - 1;
    }
    if (int vk = DomKey(key); vk != 0) return vk;
    // No key the table knows: the letter or digit printed on the physical key, if any.
    if (code.size() == 4 && code.rfind("Key", 0) == 0) return LetterOrDigit(code[3]);
    if (code.size() == 6 && code.rfind("Digit", 0) == 0) return LetterOrDigit(code[5]);
    return 0;
}

}  // namespace plat
