#pragma once
// The number rules the whole engine shares: 32-bit arithmetic that wraps as the hardware's
// does, the one saturating float-to-integer conversion, and the demo's value of pi.
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
