#pragma once
// The triangle filler and its rules, shared by the two renderers in raster.cpp and by the tests
// that check them one by one. Nothing else draws through these.
#include "core/frame.hpp"
#include "render3d/raster.hpp"

#include <algorithm>
#include <cstdint>

// A triangle corner for the filler: frame column and row, then one or two attributes
// (shade, or u and v), each 0..255.
struct FillVertex {
    int32_t x, y;
    int32_t a[2];
};

// Fills a triangle with attribute 0 as the shade, coloured from a 256-entry ramp. Scanline y
// lands in frame row y + 1; spans exclude their right end.
void fill_triangle(const FillVertex& c0, const FillVertex& c1, const FillVertex& c2,
                   const uint16_t* ramp, uint16_t* frame);

// Fills a triangle with attributes 0 and 1 as u and v, coloured from the texture.
void fill_triangle(const FillVertex& c0, const FillVertex& c1, const FillVertex& c2,
                   const Texture& texture, uint16_t* frame);

// 65536 / n truncated toward zero: from the reciprocal table for n in -2048..2047 (65536 for
// n = 0), computed directly for an edge taller or a span wider than the table.
int32_t reciprocal(int32_t n);

// The change per step of a quantity that changes by `change` over n steps, given
// reciprocal = 65536 / n: (change * reciprocal) >> 16, the product wrapping to 32 bits. Every
// edge and span slope is this (raster_arm.S computes its spans' the same way).
inline int32_t slope(int32_t change, int32_t reciprocal) {
    return wrap_mul(change, reciprocal) >> 16;
}

// A run of frame rows or columns: first .. end - 1.
struct PixelRange {
    int32_t first, end;
};

// Every row of the frame.
inline constexpr PixelRange ALL_ROWS{0, FRAME_HEIGHT};

// The part of first .. end - 1 within `within`, for first and end of any integer type. The
// frame test is this with columns 0 .. 319 and rows 0 .. 239: a pixel is written only inside
// both.
template <class Int> PixelRange clip_to(Int first, Int end, PixelRange within) {
    const Int clipped_first = std::clamp<Int>(first, within.first, within.end);
    const Int clipped_end = std::clamp<Int>(end, clipped_first, within.end);
    return {static_cast<int32_t>(clipped_first), static_cast<int32_t>(clipped_end)};
}

// The ramp entry of a running shade (value x 256): shade >> 8, clamped to 0..255.
int32_t ramp_index(int32_t shade);

// The texel of running coordinates u, v (value x 256) in a texture of 256 >> shift texels a
// side: row (v >> 8) >> shift and column (u >> 8) >> shift, each masked to the side.
int32_t texel_index(int32_t u, int32_t v, int32_t shift);

// Whether projected corners p0, p1, p2 (projected points or fill corners) run clockwise on the
// frame (y down): (x0 - x1)(y2 - y1) - (x2 - x1)(y0 - y1) < 0, wrapping to 32 bits. Zero area
// faces away.
template <class Point> bool faces_viewer(const Point& p0, const Point& p1, const Point& p2) {
    const int32_t c = wrap_sub(wrap_mul(wrap_sub(p0.x, p1.x), wrap_sub(p2.y, p1.y)),
                               wrap_mul(wrap_sub(p2.x, p1.x), wrap_sub(p0.y, p1.y)));
    return c < 0;
}

// u = |(nx >> 9) + 127| & 255, v likewise from ny: about 127 + 128 * the normal's component,
// folded into 0..255.
EnvironmentCoordinate environment_coordinate(Vec3 rotated_normal);
