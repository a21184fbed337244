#include "fx2d/paint.hpp"

#include "core/frame.hpp"

#include <bit>
#include <cstring>

namespace {

// Four index bytes as one word, the first in the low byte; `at` starts on a 4-byte boundary.
uint32_t load_quad(const uint8_t* at) {
    uint32_t quad;
    std::memcpy(&quad, __builtin_assume_aligned(at, 4), sizeof quad);
    return std::endian::native == std::endian::little ? quad : __builtin_bswap32(quad);
}

// Eight pixels from the eight indices of two quads: each index times two, the byte offset of
// its colour, is taken out of its word by one shift and mask, so a pixel costs a mask and a
// load. All eight colours are loaded before the first store.
void paint_octet(uint16_t* out, uint32_t first, uint32_t second, const uint16_t* colours) {
    const uint32_t c0 = colour_at(colours, first << 1 & 0x1FE);
    const uint32_t c1 = colour_at(colours, first >> 7 & 0x1FE);
    const uint32_t c2 = colour_at(colours, first >> 15 & 0x1FE);
    const uint32_t c3 = colour_at(colours, first >> 23 & 0x1FE);
    const uint32_t c4 = colour_at(colours, second << 1 & 0x1FE);
    const uint32_t c5 = colour_at(colours, second >> 7 & 0x1FE);
    const uint32_t c6 = colour_at(colours, second >> 15 & 0x1FE);
    const uint32_t c7 = colour_at(colours, second >> 23 & 0x1FE);
    store_pixel_pair(out, c0, c1);
    store_pixel_pair(out + 2, c2, c3);
    store_pixel_pair(out + 4, c4, c5);
    store_pixel_pair(out + 6, c6, c7);
}

} // namespace

void paint_by_index(uint16_t* out, const uint8_t* index, int32_t count, const uint16_t* colours) {
    for (int32_t i = 0; i < count; i += 8)
        paint_octet(out + i, load_quad(index + i), load_quad(index + i + 4), colours);
}

void paint_by_index_sum(uint16_t* out, const uint8_t* first, const uint8_t* second, int32_t count,
                        const uint16_t* colours) {
    // No byte sum reaches 256, so the four sums of two quads added as words do not carry.
    for (int32_t i = 0; i < count; i += 8)
        paint_octet(out + i, load_quad(first + i) + load_quad(second + i),
                    load_quad(first + i + 4) + load_quad(second + i + 4), colours);
}
