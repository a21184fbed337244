#pragma once
// The frame's shape and the one way the effects write to it.
#include <bit>
#include <cstdint>
#include <cstring>

inline constexpr int32_t SCREEN_WIDTH = 320;
inline constexpr int32_t SCREEN_HEIGHT = 240;
inline constexpr int32_t SCREEN_PIXELS = SCREEN_WIDTH * SCREEN_HEIGHT;

// Every frame the engine draws into starts on a 4-byte boundary, so that a pixel pair at an
// even position is one aligned word: a single store, also on cores without unaligned access.
inline constexpr int32_t FRAME_ALIGNMENT = 4;

// Writes at[0] = left and at[1] = right (colours, each below 65536) with one 32-bit store;
// `at` is an even pixel of a frame. On a little-endian machine the left pixel is the word's low
// half; on a big-endian one it goes in the high half, so memory (and the screen) receives the same
// two pixels either way.
inline void store_pixel_pair(uint16_t* at, uint32_t left, uint32_t right) {
    const uint32_t pair =
        std::endian::native == std::endian::little ? left | right << 16 : right | left << 16;
    std::memcpy(__builtin_assume_aligned(at, FRAME_ALIGNMENT), &pair, sizeof pair);
}
