#pragma once
// The frame's shape and the one way the effects write to it.
#include <bit>
#include <cstdint>
#include <cstring>

inline constexpr int32_t SCREEN_WIDTH = 320;
inline constexpr int32_t SCREEN_HEIGHT = 240;
inline constexpr int32_t SCREEN_PIXELS = SCREEN_WIDTH * SCREEN_HEIGHT;

// Writes at[0] = left and at[1] = right with one 32-bit store. On a little-endian machine the
// left pixel is the word's low half; on a big-endian one it goes in the high half, so memory
// (and the screen) receives the same two pixels either way.
inline void store_pixel_pair(uint16_t* at, uint16_t left, uint16_t right) {
    const uint32_t pair = std::endian::native == std::endian::little
                              ? left | static_cast<uint32_t>(right) << 16
                              : right | static_cast<uint32_t>(left) << 16;
    std::memcpy(at, &pair, sizeof pair);
}
