#include "web/glibc_rand.hpp"

namespace {

constexpr int32_t DEGREE = 31;
constexpr int32_t SEPARATION = 3;
constexpr int32_t STIR_ROUNDS = 10 * DEGREE;

// 16807 * word mod (2^31 - 1) by Schrage's method in signed 32-bit arithmetic, as glibc does
// it (a seed of 2^31 or more enters as a negative word).
int32_t lehmer_step(int32_t word) {
    const int32_t hi = word / 127773;
    const int32_t lo = word % 127773;
    const int32_t next = 16807 * lo - 2836 * hi;
    return next < 0 ? next + 2147483647 : next;
}

} // namespace

void glibc_srand(GlibcRand& state, uint32_t seed) {
    if (seed == 0) seed = 1;
    state.table[0] = seed;
    int32_t word = static_cast<int32_t>(seed);
    for (int32_t i = 1; i < DEGREE; ++i) {
        word = lehmer_step(word);
        state.table[i] = static_cast<uint32_t>(word);
    }
    state.front = SEPARATION;
    state.rear = 0;
    for (int32_t i = 0; i < STIR_ROUNDS; ++i)
        glibc_rand(state);
}

int32_t glibc_rand(GlibcRand& state) {
    uint32_t& word = state.table[state.front];
    word += state.table[state.rear];
    state.front = (state.front + 1) % DEGREE;
    state.rear = (state.rear + 1) % DEGREE;
    return static_cast<int32_t>(word >> 1);
}
