#include "fx2d/paint.hpp"

#include "fx2d/pixels.hpp"

#include <bit>
#include <cstring>

#if MOONLARK_SIMD && defined(__x86_64__) && defined(__GNUC__)
#define MOONLARK_VECTOR_PAINT 1
#include <immintrin.h>
#endif

namespace {

// Four index bytes as one word, the first in the low byte; `at` starts on a 4-byte boundary.
uint32_t load_quad(const uint8_t* at) {
    uint32_t quad;
    std::memcpy(&quad, __builtin_assume_aligned(at, 4), sizeof quad);
    return std::endian::native == std::endian::little ? quad : __builtin_bswap32(quad);
}

// The colour at an even byte offset into the colour table.
uint16_t colour_at(const uint16_t* colours, uint32_t byte_offset) {
    uint16_t colour;
    const uint8_t* at = reinterpret_cast<const uint8_t*>(colours) + byte_offset;
    std::memcpy(&colour, __builtin_assume_aligned(at, 2), sizeof colour);
    return colour;
}

// Four pixels from the four indices of a quad: each index times two, the byte offset of its
// colour, is taken out of the word by one shift and mask, so a pixel costs a mask and a load.
void paint_quad(uint16_t* out, uint32_t quad, const uint16_t* colours) {
    store_pixel_pair(out, colour_at(colours, quad << 1 & 0x1FE),
                     colour_at(colours, quad >> 7 & 0x1FE));
    store_pixel_pair(out + 2, colour_at(colours, quad >> 15 & 0x1FE),
                     colour_at(colours, quad >> 23 & 0x1FE));
}

void paint_scalar(uint16_t* out, const uint8_t* index, int32_t count, const uint16_t* colours) {
#pragma GCC unroll 2
    for (int32_t i = 0; i < count; i += 4)
        paint_quad(out + i, load_quad(index + i), colours);
}

#if MOONLARK_VECTOR_PAINT

// With AVX-512BW a register holds 32 colours, and a two-register permute looks up 32 pixels
// at once among 64 colours (index bits 0..5). Two such lookups cover 128 colours, bit 6 of
// each index choosing between them; four cover 256, bit 7 choosing between the two pairs.
template <int32_t COLOURS>
__attribute__((target("avx512bw"))) void paint_avx512(uint16_t* out, const uint8_t* index,
                                                      int32_t count, const uint16_t* colours) {
    __m512i part[COLOURS / 32];
    for (int32_t k = 0; k < COLOURS / 32; ++k)
        part[k] = _mm512_loadu_si512(colours + 32 * k);
    int32_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m512i at =
            _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(index + i)));
        const __mmask32 bit6 = _mm512_test_epi16_mask(at, _mm512_set1_epi16(64));
        __m512i pixels =
            _mm512_mask_blend_epi16(bit6, _mm512_permutex2var_epi16(part[0], at, part[1]),
                                    _mm512_permutex2var_epi16(part[2], at, part[3]));
        if constexpr (COLOURS == 256) {
            const __mmask32 bit7 = _mm512_test_epi16_mask(at, _mm512_set1_epi16(128));
            const __m512i upper =
                _mm512_mask_blend_epi16(bit6, _mm512_permutex2var_epi16(part[4], at, part[5]),
                                        _mm512_permutex2var_epi16(part[6], at, part[7]));
            pixels = _mm512_mask_blend_epi16(bit7, pixels, upper);
        }
        _mm512_storeu_si512(out + i, pixels);
    }
    paint_scalar(out + i, index + i, count - i, colours);
}

// Whether the processor running us has AVX-512BW (and the system keeps its registers), asked
// once.
bool has_avx512bw() {
    static const bool avx512bw = __builtin_cpu_supports("avx512bw");
    return avx512bw;
}

#endif

} // namespace

void paint_by_index(uint16_t* out, const uint8_t* index, int32_t count, const uint16_t* colours,
                    int32_t colour_count) {
#if MOONLARK_VECTOR_PAINT
    if (has_avx512bw()) {
        if (colour_count == 128) return paint_avx512<128>(out, index, count, colours);
        return paint_avx512<256>(out, index, count, colours);
    }
#else
    static_cast<void>(colour_count); // the scalar path reads only the entries indexed
#endif
    paint_scalar(out, index, count, colours);
}

void paint_by_index_sum(uint16_t* out, const uint8_t* first, const uint8_t* second, int32_t count,
                        const uint16_t* colours) {
    // No byte sum reaches 256, so the four sums of two quads added as words do not carry.
    for (int32_t i = 0; i < count; i += 4)
        paint_quad(out + i, load_quad(first + i) + load_quad(second + i), colours);
}
