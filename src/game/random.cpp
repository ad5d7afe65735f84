#include "random.h"

uint32_t RandomState = 1;

int32_t NextRandom() {
    RandomState = RandomState * 214013u + 2531011u;
    return static_cast<int32_t>((RandomState >> 16) & 0x7FFF);
}

int32_t RandomBelow(int32_t n) {
    int32_t value = NextRandom();
    return n > 0 ? value % n : 0;
}
