#pragma once
// The number rules the whole engine shares: 32-bit arithmetic that wraps as the hardware's
// does, the one saturating float-to-integer conversion, and the demo's value of pi.
#include <array>
#include <cstdint>
#include <limits>

// The value of pi the tunnel map's angles and the scene animation's pose angles are built with.
// It is not a mistyped 3.14159265: the frames are defined by this value (the tunnel's angle
// bytes and every pose differ with the true one), so it must not be corrected.
inline constexpr double DEMO_PI = 3.14151693;

// a + b, a - b and a * b, each wrapping to 32 bits as two's-complement hardware does.
inline int32_t wrap_add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t wrap_sub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t wrap_mul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// v truncated toward zero to a signed 32-bit integer; beyond that range (infinities included)
// it saturates to the nearest end, and NaN gives 0.
inline int32_t trunc_saturating(double v) {
    if (v != v) return 0;
    if (v >= 2147483648.0) return std::numeric_limits<int32_t>::max();
    if (v < -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// Quotients by one positive divisor, n / d truncated toward zero exactly as the division
// operator gives them, for a core without a divide instruction (the handheld's): the quotient is
// estimated from a table of reciprocals by one long multiplication and corrected by the
// remainder, so one count of leading zeros and one table lookup serve every quotient by d.
// Quotients of 4096 or more are divided as usual.
struct Divisor {
    uint32_t value;    // d, at least 1
    uint32_t estimate; // about 2^39 / the top nine bits of d, never below it
    int32_t shift;     // 62 - the leading zero bits of d
};

// 2^39 / (256 + i), rounded up, for i = 0..255: 1 / a number whose top nine bits are 256 + i,
// overestimated by at most 1/256 of itself.
inline constexpr std::array<uint32_t, 256> RECIPROCAL_ESTIMATES = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i)
        table[i] = static_cast<uint32_t>(((uint64_t{1} << 39) + 255 + i) / (256 + i));
    return table;
}();

// d must be at least 1.
inline Divisor divisor(int32_t d) {
    const auto value = static_cast<uint32_t>(d);
    const int32_t zeros = __builtin_clz(value);
    return {value, RECIPROCAL_ESTIMATES[((value << zeros) >> 23) - 256], 62 - zeros};
}

inline int32_t divide(int32_t n, const Divisor& d) {
    const uint32_t a = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
    // a * estimate / 2^shift is at least a / d and at most (a / d) * 257 / 256 + 1.
    auto q = static_cast<uint32_t>((uint64_t{a} * d.estimate) >> d.shift);
    if (q >= 4096) return n / static_cast<int32_t>(d.value);
    while (uint64_t{q} * d.value > a)
        --q;
    return n < 0 ? static_cast<int32_t>(0u - q) : static_cast<int32_t>(q);
}
