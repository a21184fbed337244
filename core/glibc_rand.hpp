#pragma once
// The ripples' random numbers, the same on every C library: glibc's rand() sequence, reproduced.
// glibc's default generator is an additive lagged-Fibonacci generator over 31 words,
// r[i] = r[i - 31] + r[i - 3] (mod 2^32), whose table is seeded by the Lehmer generator
// 16807 * r mod (2^31 - 1) and stirred by 310 discarded results; each result is the new word
// shifted right by one. musl and the browser have other generators, so the engine never calls
// the C library's rand(), and the music library's own random() calls cannot move the ripples.
#include <cstdint>

struct GlibcRand {
    uint32_t table[31];
    int32_t front; // index of r[i - 3], the word that receives the sum
    int32_t rear;  // index of r[i - 31]
};

// rand(): the next number, 0 .. 2^31 - 1.
constexpr int32_t glibc_rand(GlibcRand& state) {
    uint32_t& word = state.table[state.front];
    word += state.table[state.rear];
    state.front = (state.front + 1) % 31;
    state.rear = (state.rear + 1) % 31;
    return static_cast<int32_t>(word >> 1);
}

// The state after srand(seed): seed 0 acts as 1, and seed 1 gives the sequence of a program
// that never seeds.
constexpr GlibcRand glibc_seeded(uint32_t seed) {
    // 16807 * word mod (2^31 - 1) by Schrage's method in signed 32-bit arithmetic, as glibc
    // does it (a seed of 2^31 or more enters as a negative word).
    constexpr auto lehmer_step = [](int32_t word) {
        const int32_t next = 16807 * (word % 127773) - 2836 * (word / 127773);
        return next < 0 ? next + 2147483647 : next;
    };
    GlibcRand state{{}, 3, 0};
    if (seed == 0) seed = 1;
    state.table[0] = seed;
    int32_t word = static_cast<int32_t>(seed);
    for (int32_t i = 1; i < 31; ++i) {
        word = lehmer_step(word);
        state.table[i] = static_cast<uint32_t>(word);
    }
    for (int32_t i = 0; i < 310; ++i)
        glibc_rand(state);
    return state;
}

// The sequence of a program that never calls srand().
inline constexpr GlibcRand GLIBC_UNSEEDED = glibc_seeded(1);
