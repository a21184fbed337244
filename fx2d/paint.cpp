#include "fx2d/paint.hpp"

#include "fx2d/pixels.hpp"

#include <bit>
#include <cstring>

namespace {

// Four index bytes as one word, the first in the low byte; `at` starts on a 4-byte boundary.
uint32_t load_quad(const uint8_t* at) {
    uint32_t quad;
    std::memcpy(&quad, __builtin_assume_aligned(at, 4), sizeof quad);
    return std::endian::native == std::endian::little ? quad : __builtin_bswap32(quad);
}

// Four pixels from the four indices of a quad: each index times two, the byte offset of its
// colour, is taken out of the word by one shift and mask, so a pixel costs a mask and a load.
void paint_quad(uint16_t* out, uint32_t quad, const uint16_t* colours) {
    store_pixel_pair(out, colour_at(colours, quad << 1 & 0x1FE),
                     colour_at(colours, quad >> 7 & 0x1FE));
    store_pixel_pair(out + 2, colour_at(colours, quad >> 15 & 0x1FE),
                     colour_at(colours, quad >> 23 & 0x1FE));
}

} // namespace

void paint_by_index(uint16_t* out, const uint8_t* index, int32_t count, const uint16_t* colours) {
#pragma GCC unroll 2
    for (int32_t i = 0; i < count; i += 4)
        paint_quad(out + i, load_quad(index + i), colours);
}

void paint_by_index_sum(uint16_t* out, const uint8_t* first, const uint8_t* second, int32_t count,
                        const uint16_t* colours) {
    // No byte sum reaches 256, so the four sums of two quads added as words do not carry.
    for (int32_t i = 0; i < count; i += 4)
        paint_quad(out + i, load_quad(first + i) + load_quad(second + i), colours);
}
