#include "fx2d/paint.hpp"

#include "fx2d/pixels.hpp"

void paint_by_byte_index(uint16_t* out, const uint8_t* index, int32_t count,
                         const uint16_t* colours) {
    for (int32_t i = 0; i < count; i += 2)
        store_pixel_pair(out + i, colours[index[i]], colours[index[i + 1]]);
}

void paint_by_texel_index(uint16_t* out, const uint16_t* base, int32_t count, uint32_t offset,
                          const uint16_t* texels) {
    for (int32_t i = 0; i < count; i += 2)
        store_pixel_pair(out + i, texels[(base[i] + offset) & 16383],
                         texels[(base[i + 1] + offset) & 16383]);
}
