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

// The colour at an even byte offset into a table of 16-bit colours: where an index times two
// comes out of a shift and a mask, this saves the shift back.
inline uint16_t colour_at(const uint16_t* colours, uint32_t byte_offset) {
    uint16_t colour;
    const uint8_t* at = reinterpret_cast<const uint8_t*>(colours) + byte_offset;
    std::memcpy(&colour, __builtin_assume_aligned(at, 2), sizeof colour);
    return colour;
}
