#include "fx2d/radial_blur.hpp"

#include "fx2d/convert.hpp"
#include "fx2d/pixels.hpp"
#include "fx2d/tables.hpp"
#include "shell/timeline.hpp"

#include <algorithm>
#include <cmath>

#if MOONLARK_SIMD && defined(__x86_64__) && defined(__GNUC__)
#define MOONLARK_VECTOR_BLUR 1
#include <immintrin.h>
#endif

namespace {

// The three colour planes packed into one word per pixel, so that one load and one add serve
// all three channels: red in bits 0..9, green in 10..19, blue in 20..29. A channel holds
// 0..255; the sum of four fits its ten bits, and after the sum's shift by 2 the channel's
// upper two bits hold what the next channel's low bits shifted in, which CHANNELS clears.
constexpr int32_t GREEN_SHIFT = 10;
constexpr int32_t BLUE_SHIFT = 20;
constexpr uint32_t CHANNELS = 0xFFu | 0xFFu << GREEN_SHIFT | 0xFFu << BLUE_SHIFT;

// Copy of the colour planes, packed, blurred in place by each call; nothing reads it between
// calls.
uint32_t working[SCREEN_PIXELS];

void pack_planes() {
    for (int32_t p = 0; p < SCREEN_PIXELS; ++p)
        working[p] = red_plane[p] | static_cast<uint32_t>(green_plane[p]) << GREEN_SHIFT |
                     static_cast<uint32_t>(blue_plane[p]) << BLUE_SHIFT;
}

// The RGB565 colour of a packed pixel (bits 28 and up are clear).
uint16_t rgb565(uint32_t packed) {
    return static_cast<uint16_t>((packed & 0xF8) << 8 | (packed >> 7 & 0x7E0) | packed >> 23);
}

// reach[s][k - 1][dx]: how far along its row, from its quadrant's first column, the level k
// sample of the pixel at column distance dx lies, times the column step (+1 for s = 0, -1 for
// s = 1). It is dx plus the zoom maps' column part, which sets A and B share.
using Reach = int32_t[2][ZOOM_LEVELS][SCREEN_WIDTH];

void build_reach(Reach& reach) {
    for (int32_t k = 0; k < ZOOM_LEVELS; ++k) {
        for (int32_t dx = 0; dx < SCREEN_WIDTH; ++dx) {
            reach[0][k][dx] = dx + zoom_map_a[k][dx];
            reach[1][k][dx] = -reach[0][k][dx];
        }
    }
}

// One packed pixel blurred from itself and its three samples.
uint32_t blurred(uint32_t pixel, uint32_t sample1, uint32_t sample2, uint32_t sample3) {
    return ((pixel + sample1 + sample2 + sample3) >> 2) & CHANNELS;
}

#if MOONLARK_VECTOR_BLUR

// Blurs the row's columns 0 .. columns - 1 sixteen at a time with AVX-512F, as far as whole
// groups of sixteen reach, and returns how many it blurred. Only for rows whose samples all
// lie on other rows, already blurred: no sample is then a pixel of the same group. A level's
// reach grows by 0 or 1 per column, so a group's sixteen samples lie within sixteen adjacent
// pixels: one load of those and a permute stand for a gather. Moving left (COLUMN_STEP -1),
// pixels and samples lie in memory in the reverse order of the lanes. The intrinsics are the
// masked forms with every lane set: the plain ones start from an undefined register, which
// GCC 12 reports as uninitialised.
template <int32_t COLUMN_STEP>
__attribute__((target("avx512f"))) int32_t
blur_row_avx512(uint32_t* pixel, const uint32_t* const (&level)[ZOOM_LEVELS],
                const int32_t (&along)[ZOOM_LEVELS][SCREEN_WIDTH], int32_t columns) {
    const __m512i reverse = _mm512_set_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m512i channels = _mm512_set1_epi32(static_cast<int32_t>(CHANNELS));
    const __mmask16 all = 0xFFFF;
    int32_t dx = 0;
    for (; dx + 16 <= columns; dx += 16) {
        uint32_t* group = COLUMN_STEP > 0 ? pixel + dx : pixel - dx - 15;
        __m512i sum = _mm512_loadu_si512(group);
        if constexpr (COLUMN_STEP < 0) sum = _mm512_maskz_permutexvar_epi32(all, reverse, sum);
        for (int32_t k = 0; k < ZOOM_LEVELS; ++k) {
            // The window holds the group's sample nearest the centre and the fifteen pixels
            // beyond it, away from the centre: all within the quadrant's row.
            const int32_t window_start = COLUMN_STEP > 0 ? along[k][dx] : along[k][dx] - 15;
            const __m512i lane = _mm512_sub_epi32(_mm512_loadu_si512(along[k] + dx),
                                                  _mm512_set1_epi32(window_start));
            const __m512i window = _mm512_loadu_si512(level[k] + window_start);
            sum = _mm512_add_epi32(sum, _mm512_maskz_permutexvar_epi32(all, lane, window));
        }
        __m512i v = _mm512_and_si512(_mm512_maskz_srli_epi32(all, sum, 2), channels);
        if constexpr (COLUMN_STEP < 0) v = _mm512_maskz_permutexvar_epi32(all, reverse, v);
        _mm512_storeu_si512(group, v);
    }
    return dx;
}

// Whether the processor running us has AVX-512F (and the system keeps its registers), asked
// once.
bool has_avx512f() {
    static const bool avx512f = __builtin_cpu_supports("avx512f");
    return avx512f;
}

#endif

// Blurs the row's columns `from` .. columns - 1 one at a time.
template <int32_t COLUMN_STEP>
void blur_row_scalar(uint32_t* pixel, const uint32_t* const (&level)[ZOOM_LEVELS],
                     const int32_t (&along)[ZOOM_LEVELS][SCREEN_WIDTH], int32_t from,
                     int32_t columns) {
    for (int32_t dx = from; dx < columns; ++dx) {
        // Every read before the write: a sample may be the pixel itself.
        pixel[COLUMN_STEP * dx] = blurred(pixel[COLUMN_STEP * dx], level[0][along[0][dx]],
                                          level[1][along[1][dx]], level[2][along[2][dx]]);
    }
}

// Blurs one quadrant of rows x columns pixels, starting at (first_row, first_column) next to
// the centre and moving away from it by ROW_STEP and COLUMN_STEP (+1 or -1). The zoom maps'
// column parts point left and their row parts up (set A) or down (set B): a quadrant whose
// steps agree uses set A, the others set B, and multiplying by COLUMN_STEP turns every sample
// back toward the centre. Samples stay inside the quadrant, between the pixel and the centre,
// so each is either the pixel itself or one already blurred in this call. Every zoom map
// entry (dy, dx) is its row part, entry (dy, 0), plus its column part, entry (0, dx): a row's
// samples at level k lie on the row its row part names, at reach[k - 1][dx] along it.
template <int32_t ROW_STEP, int32_t COLUMN_STEP>
void blur_quadrant(int32_t first_row, int32_t rows, int32_t first_column, int32_t columns,
                   const Reach& reach) {
    const auto& maps = ROW_STEP == COLUMN_STEP ? zoom_map_a : zoom_map_b;
    const auto& along = reach[COLUMN_STEP > 0 ? 0 : 1];
    for (int32_t dy = 0; dy < rows; ++dy) {
        const int32_t start = (first_row + ROW_STEP * dy) * SCREEN_WIDTH + first_column;
        // The row parts: 0 where a level's samples lie on this row itself.
        const int32_t row_part[ZOOM_LEVELS] = {
            maps[0][dy * SCREEN_WIDTH], maps[1][dy * SCREEN_WIDTH], maps[2][dy * SCREEN_WIDTH]};
        const uint32_t* const level[ZOOM_LEVELS] = {working + start + COLUMN_STEP * row_part[0],
                                                    working + start + COLUMN_STEP * row_part[1],
                                                    working + start + COLUMN_STEP * row_part[2]};
        uint32_t* pixel = working + start;
        int32_t done = 0;
#if MOONLARK_VECTOR_BLUR
        if (row_part[0] != 0 && row_part[1] != 0 && row_part[2] != 0 && has_avx512f())
            done = blur_row_avx512<COLUMN_STEP>(pixel, level, along, columns);
#endif
        blur_row_scalar<COLUMN_STEP>(pixel, level, along, done, columns);
    }
}

} // namespace

BlurCentre blur_centre(int32_t clock, int32_t variant) {
    const int32_t t = clock / 12;
    const int32_t cx = trunc_saturating(std::sin(t / 73.0) * 160.0);
    const int32_t cy =
        trunc_saturating((static_cast<double>(variant) * std::sin(t / 112.0)) * 120.0);
    // Only variants beyond -1..1 can reach past the screen; the centre then stops at its edge,
    // where the quadrants on the far side have no rows and every sample stays in the planes.
    return {160 + cx, 120 + std::clamp(cy, -120, 120)};
}

void draw_radial_blur(uint16_t* frame, int32_t variant) {
    pack_planes();
    Reach reach;
    build_reach(reach);
    const BlurCentre centre = blur_centre(scene_clock, variant);
    const int32_t x = centre.column, y = centre.row;
    blur_quadrant<-1, -1>(y - 1, y, x - 1, x, reach);
    blur_quadrant<-1, +1>(y - 1, y, x, SCREEN_WIDTH - x, reach);
    blur_quadrant<+1, +1>(y, SCREEN_HEIGHT - y, x, SCREEN_WIDTH - x, reach);
    blur_quadrant<+1, -1>(y, SCREEN_HEIGHT - y, x - 1, x, reach);
    // Each pixel's colour is final once it is blurred, so the frame is written in one pass.
    for (int32_t p = 0; p < SCREEN_PIXELS; ++p)
        frame[p] = rgb565(working[p]);
}
