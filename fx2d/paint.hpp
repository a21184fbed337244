#pragma once
// The table lookups the full-screen effects spend their time in: a run of pixels, each one
// entry of a colour table chosen by its own index. Built with MOONLARK_SIMD set, x86-64 takes
// a vector path where the processor has one; every path writes the same pixels.
#include <cstdint>

// out[i] = colours[index[i]] for i = 0 .. count - 1; count is even, colours has 256 entries.
void paint_by_byte_index(uint16_t* out, const uint8_t* index, int32_t count,
                         const uint16_t* colours);

// out[i] = texels[(base[i] + offset) & 16383] for i = 0 .. count - 1; count is even, texels
// has 16384 entries (a 128 x 128 texture).
void paint_by_texel_index(uint16_t* out, const uint16_t* base, int32_t count, uint32_t offset,
                          const uint16_t* texels);
