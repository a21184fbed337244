#pragma once
// The table lookups the full-screen effects spend their time in: a run of pixels, each one
// entry of a colour table chosen by its own byte index.
#include <cstdint>

// out[i] = colours[index[i]] for i = 0 .. count - 1, a multiple of 8; out is an even pixel of
// a frame and index starts on a 4-byte boundary.
void paint_by_index(uint16_t* out, const uint8_t* index, int32_t count, const uint16_t* colours);

// out[i] = colours[first[i] + second[i]] for i = 0 .. count - 1, a multiple of 8; as for
// paint_by_index, and every sum of two index bytes is below 256.
void paint_by_index_sum(uint16_t* out, const uint8_t* first, const uint8_t* second, int32_t count,
                        const uint16_t* colours);
