#pragma once
// glibc's rand() for a C library that has another one. glibc's default generator is an
// additive lagged-Fibonacci generator over 31 words, r[i] = r[i - 31] + r[i - 3] (mod 2^32),
// whose table is seeded by the Lehmer generator 16807 * r mod (2^31 - 1) and stirred by 310
// discarded results; each result is the new word shifted right by one.
#include <cstdint>

struct GlibcRand {
    uint32_t table[31];
    int32_t front; // index of r[i - 3], the word that receives the sum
    int32_t rear;  // index of r[i - 31]
};

// srand(seed): seed 0 acts as 1, and seed 1 gives the sequence of a program that never seeds.
void glibc_srand(GlibcRand& state, uint32_t seed);

// rand(): the next number, 0 .. 2^31 - 1.
int32_t glibc_rand(GlibcRand& state);
