// The engine's number rules: the division by reciprocal estimates against the division operator.
#include "core/numbers.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Divisors small, large and at every power of two's edge (where the leading zeros change and
// the table's first and last entries are used), numerators at the extremes, around multiples of
// the divisor and at random: every quotient as `/` gives it, also those of 4096 and more.
TEST(Divide, EqualsTheDivisionOperator) {
    std::vector<int32_t> divisors;
    for (int32_t d = 1; d <= 600; ++d)
        divisors.push_back(d);
    for (int32_t bit = 9; bit < 31; ++bit)
        for (const int32_t delta : {-1, 0, 1, 3})
            divisors.push_back((int32_t{1} << bit) + delta);
    divisors.push_back(INT32_MAX);
    std::mt19937 random(5);
    for (int32_t i = 0; i < 400; ++i)
        divisors.push_back(static_cast<int32_t>(random() >> (1 + random() % 31)) | 1);
    for (const int32_t d : divisors) {
        const Divisor by = divisor(d);
        std::vector<int32_t> numerators = {0, 1, -1, INT32_MAX, INT32_MIN, INT32_MIN + 1};
        for (const int64_t k : {1, 2, 255, 256, 257, 4095, 4096, 4097, 100000})
            for (const int64_t delta : {-1, 0, 1})
                if (const int64_t n = k * d + delta; n <= INT32_MAX) {
                    numerators.push_back(static_cast<int32_t>(n));
                    numerators.push_back(static_cast<int32_t>(-n));
                }
        for (int32_t i = 0; i < 60; ++i)
            numerators.push_back(static_cast<int32_t>(random()) >> (random() % 31));
        for (const int32_t n : numerators)
            ASSERT_EQ(divide(n, by), n / d) << n << " / " << d;
    }
}

} // namespace
