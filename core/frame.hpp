#pragma once
// The frame every part of the program draws, stores or shows: 320 x 240 pixels of RGB565 (red in
// bits 15-11, green 10-5, blue 4-0), 640 bytes per row, row 0 at the top. Also the one place that
// packs and unpacks RGB565.
#include <bit>
#include <cstdint>
#include <cstring>

inline constexpr int32_t FRAME_WIDTH = 320;
inline constexpr int32_t FRAME_HEIGHT = 240;
inline constexpr int32_t FRAME_PIXELS = FRAME_WIDTH * FRAME_HEIGHT;
inline constexpr int32_t FRAME_PITCH = FRAME_WIDTH * 2; // bytes per row
inline constexpr int32_t FRAME_BYTES = FRAME_PIXELS * 2;
// The screen's centre: where the 3D projection puts the view axis, the tunnel its middle.
inline constexpr int32_t FRAME_CENTRE_COLUMN = FRAME_WIDTH / 2;
inline constexpr int32_t FRAME_CENTRE_ROW = FRAME_HEIGHT / 2;

// Every frame the engine draws into starts on a 4-byte boundary, so that a pixel pair at an
// even position is one aligned word: a single store, also on cores without unaligned access.
inline constexpr int32_t FRAME_ALIGNMENT = 4;

// The colour of the RGB565 fields red 0..31, green 0..63, blue 0..31.
constexpr uint16_t rgb565(uint32_t red, uint32_t green, uint32_t blue) {
    return static_cast<uint16_t>(red << 11 | green << 5 | blue);
}
constexpr uint32_t rgb565_red(uint16_t colour) {
    return colour >> 11;
}
constexpr uint32_t rgb565_green(uint16_t colour) {
    return colour >> 5 & 63;
}
constexpr uint32_t rgb565_blue(uint16_t colour) {
    return colour & 31;
}

// An 8-bit-per-channel colour (0..255 each) narrowed by truncation: R >> 3, G >> 2, B >> 3.
constexpr uint16_t rgb565_of_rgb888(uint32_t red, uint32_t green, uint32_t blue) {
    return rgb565(red >> 3, green >> 2, blue >> 3);
}

// The colour widened to 8 bits a channel by repeating each field's top bits below it, so that
// black stays 0 and full intensity becomes 255: {red, green, blue}.
struct Rgb888 {
    uint8_t red, green, blue;
};
static_assert(sizeof(Rgb888) == 3); // rows of them are handed to picture libraries as bytes
constexpr Rgb888 rgb888_of_rgb565(uint16_t colour) {
    const uint32_t r = rgb565_red(colour), g = rgb565_green(colour), b = rgb565_blue(colour);
    return {static_cast<uint8_t>(r << 3 | r >> 2), static_cast<uint8_t>(g << 2 | g >> 4),
            static_cast<uint8_t>(b << 3 | b >> 2)};
}

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
