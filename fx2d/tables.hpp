#pragma once
// Lookup tables of the 2D effects and of the triangle filler. build_effect_tables fills them
// once at start-up; afterwards only the colour planes change (load_planes_from_image). Every
// reader treats them as read-only. Each table's range and readers are described where it is
// built, in tables.cpp.
#include "core/frame.hpp"

#include <cstdint>

// Sine tables, 2048 entries each, indexed by a column, row or time step.
extern int32_t column_sine_table[2048];
extern int32_t row_sine_table[2048];
extern int32_t drift_sine_table[2048];
extern int32_t grid_diagonal_wave_table[2048];
extern int32_t grid_column_wave_table[2048];
extern int32_t grid_row_wave_table[2048];

// Entry d + 2048 = 65536 / d truncated toward zero, d = -2048..2047; entry 2048 (d = 0) is 65536.
extern int32_t reciprocal_table[4096];

// Perspective ground: texture row (before scrolling) and column of each screen pixel.
struct GroundPair {
    int16_t depth;   // 0..127
    int16_t lateral; // low 16 bits of the column offset; the ground uses its low 7 bits
};
static_assert(sizeof(GroundPair) == 4);
// Row-major, entry (row, column) at row * 320 + column.
extern GroundPair ground_map[FRAME_PIXELS];

// Tunnel: distance and angle bytes of each screen pixel around the screen centre.
struct TunnelPair {
    uint8_t distance;
    uint8_t angle; // 0..255 twice per turn
};
static_assert(sizeof(TunnelPair) == 2);
// Row-major, entry (row, column) at row * 320 + column.
extern TunnelPair tunnel_map[FRAME_PIXELS];

// Zoom maps of the radial blur, level k = 1..3 at index k - 1: combined pixel offsets
// (rows * 320 + columns) indexed by dy * 320 + dx, the distance of a pixel from the first row
// and column of its blur quadrant. Set A points up and left, set B down and left.
inline constexpr int32_t ZOOM_LEVELS = 3;
extern int16_t zoom_map_a[ZOOM_LEVELS][FRAME_PIXELS];
extern int16_t zoom_map_b[ZOOM_LEVELS][FRAME_PIXELS];

// The radial blur's source picture, upright and row-major: its red, green and blue planes
// interleaved, one word per pixel holding the three channels widened to 8 bits (red and blue
// the RGB565 channel * 8, green the channel * 4) in fields of ten bits, so that one addition
// adds all three: red in bits 0..9, green in 10..19, blue in 20..29. Four channel values sum
// to at most 1020, which still fits a field.
inline constexpr int32_t PLANE_GREEN_SHIFT = 10;
inline constexpr int32_t PLANE_BLUE_SHIFT = 20;
extern uint32_t colour_planes[FRAME_PIXELS];

// A pixel of the colour planes from its three channels, each 0..255.
constexpr uint32_t plane_pixel(uint32_t red, uint32_t green, uint32_t blue) {
    return red | green << PLANE_GREEN_SHIFT | blue << PLANE_BLUE_SHIFT;
}
// The channels of a pixel of the colour planes.
constexpr uint32_t plane_red(uint32_t pixel) {
    return pixel & 0x3FF;
}
constexpr uint32_t plane_green(uint32_t pixel) {
    return pixel >> PLANE_GREEN_SHIFT & 0x3FF;
}
constexpr uint32_t plane_blue(uint32_t pixel) {
    return pixel >> PLANE_BLUE_SHIFT & 0x3FF;
}

// Prepared from the tables above, for the effects' inner loops (built last by
// build_effect_tables, never changed afterwards):
// the tunnel's ramp index at scene clock 0, (distance + angle) & 255 of each tunnel map pair;
extern uint8_t tunnel_spiral[FRAME_PIXELS];
// the layered sine's column and drift sine tables as bytes, read four at a time from 4-byte
// boundaries: the drift table once per alignment, drift_sine_bytes[k][i] = entry i + k, read
// at i = (d & ~3) + x for drift entry d + x = m + y + x (up to 995). A column entry plus a
// drift entry is at most 73 + 98 = 171, so four such sums add as one word without carries;
// with the row entry (up to 86) an index stays below SINE_INDEX_LIMIT;
inline constexpr int32_t SINE_INDEX_LIMIT = 86 + 171 + 1;
extern uint8_t column_sine_bytes[FRAME_WIDTH];
extern uint8_t drift_sine_bytes[4][1024];
// the ground's rows and the texture column of each of their pixels, lateral & 127 of each
// ground map pair (the depth is the same along a row: it is the row's texture row at t = 0);
inline constexpr int32_t GROUND_ROWS = 180;
extern uint8_t ground_column[GROUND_ROWS * FRAME_WIDTH];
// the backdrop, the same frame on every call: pixel (x, y) = landscape texel at stored row
// 255 - y, column (x - 160) & 255.
extern uint16_t backdrop_picture[FRAME_PIXELS];

// Builds every table, in a fixed order, with the colour planes holding the landscape texture.
void build_effect_tables();

// Overwrites the colour planes with the closing picture.
void load_planes_from_image();
