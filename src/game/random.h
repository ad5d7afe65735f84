// The race's one pseudo-random generator: never seeded, so every run draws the same numbers.
#pragma once

#include <cstdint>

extern uint32_t RandomState;

// A fresh number in 0..32767.
int32_t NextRandom();
// R%n: a fresh number reduced modulo n (n > 0).
int32_t RandomBelow(int32_t n);
