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

}  // namespace plat
