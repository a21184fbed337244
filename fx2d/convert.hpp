#pragma once
// Floating-point to integer conversion for the table builders, the per-frame blur centre and
// the mesh file's coordinates.
#include <cstdint>
#include <limits>

// v truncated toward zero to a signed 32-bit integer; beyond that range (infinities included)
// it saturates to the nearest end, and NaN gives 0.
inline int32_t trunc_saturating(double v) {
    if (v != v) return 0;
    if (v >= 2147483648.0) return std::numeric_limits<int32_t>::max();
    if (v < -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}
