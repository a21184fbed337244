#include "fx2d/radial_blur.hpp"

#include "fx2d/convert.hpp"
#include "fx2d/pixels.hpp"
#include "fx2d/tables.hpp"
#include "shell/timeline.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// A blurred pixel's three channels are the sums of four pixels' (ten bits each, see
// colour_planes) shifted right by 2; the shift moves each channel's lowest two bits into the
// top of the channel below it, which CHANNELS clears.
constexpr uint32_t CHANNELS = plane_pixel(0xFF, 0xFF, 0xFF);

// This call's blurred pixels, a row at a time as each row is done: the samples of rows far
// after it. Nothing reads a row of an earlier call.
uint32_t working[SCREEN_PIXELS];
// The last RECENT_ROWS rows blurred, row r in slot r % RECENT_ROWS, the one being blurred
// included: it starts as the picture's row and is blurred in place, so a pixel's samples on
// its own row are pixels of it blurred before. Used over and over, these rows stay in the
// data cache, where most samples are found; `working` is written without being read and so
// is not cached (the handheld's cache allocates lines on reads only). Level k samples lie
// (dy / 4) >> k rows or one more nearer the centre, so 8 rows hold the level 3 samples of
// every row and the level 2 samples of the rows within 128 of the centre.
constexpr int32_t RECENT_ROWS = 8;
uint32_t recent[RECENT_ROWS][SCREEN_WIDTH];

// The RGB565 colour of a blurred pixel (bits 28 and up are clear).
uint32_t rgb565(uint32_t packed) {
    return (packed & 0xF8) << 8 | (packed >> 7 & 0x7E0) | packed >> 23;
}

// One packed pixel blurred from itself and its three samples.
uint32_t blurred(uint32_t pixel, uint32_t sample1, uint32_t sample2, uint32_t sample3) {
    return ((pixel + sample1 + sample2 + sample3) >> 2) & CHANNELS;
}

// How far along its row, from its quadrant's first column, the level k sample of the pixel dx
// columns into the quadrant lies: dx plus the zoom maps' column part, (-(dx / 4)) >> k.
constexpr int32_t reach(int32_t k, int32_t dx) {
    return dx + ((-(dx >> 2)) >> k);
}

// Pixels blurred as one group, whose samples lie at fixed distances from the group's first
// samples: with GROUP a multiple of 4 << ZOOM_LEVELS, reach(k, m * GROUP + j) =
// reach(k, m * GROUP) + reach(k, j) for j below GROUP, so a group's sample offsets are
// constants.
constexpr int32_t GROUP = 32;
static_assert(GROUP % (4 << ZOOM_LEVELS) == 0);

// One row of one quadrant: `pixels` blurred in place from `pixel` on, moving away from the
// centre by STEP (+1 or -1); sample[k - 1] is where the level k samples of the row lie, at
// the row's first column.
template <int32_t STEP> struct QuadrantRow {
    uint32_t* pixel;
    const uint32_t* sample[ZOOM_LEVELS];
    int32_t pixels;
};

// Blurs pixels dx = first .. first + GROUP - 1 of the row (first a multiple of GROUP). Every
// read of a pixel comes before its write: a sample may be the pixel itself, or (on the
// centre's rows) a pixel of the row blurred just before.
template <int32_t STEP> void blur_group(const QuadrantRow<STEP>& row, int32_t first) {
    uint32_t* pixel = row.pixel + STEP * first;
    const uint32_t* s1 = row.sample[0] + STEP * reach(1, first);
    const uint32_t* s2 = row.sample[1] + STEP * reach(2, first);
    const uint32_t* s3 = row.sample[2] + STEP * reach(3, first);
#pragma GCC unroll 32
    for (int32_t j = 0; j < GROUP; ++j)
        pixel[STEP * j] = blurred(pixel[STEP * j], s1[STEP * reach(1, j)], s2[STEP * reach(2, j)],
                                  s3[STEP * reach(3, j)]);
}

template <int32_t STEP> void blur_row(const QuadrantRow<STEP>& row) {
    int32_t dx = 0;
    for (; dx + GROUP <= row.pixels; dx += GROUP)
        blur_group(row, dx);
    for (; dx < row.pixels; ++dx)
        row.pixel[STEP * dx] =
            blurred(row.pixel[STEP * dx], row.sample[0][STEP * reach(1, dx)],
                    row.sample[1][STEP * reach(2, dx)], row.sample[2][STEP * reach(3, dx)]);
}

// Blurs the part of row `row` (dy rows from its quadrant's first row) in the quadrant whose
// rows move away from the centre by ROW_STEP and columns by COLUMN_STEP, from first_column on.
// The zoom maps' row parts point up (set A) or down (set B): a quadrant whose steps agree uses
// set A, the others set B, and multiplying by COLUMN_STEP turns every sample back toward the
// centre. Every zoom map entry (dy, dx) is its row part, entry (dy, 0), plus its column part,
// entry (0, dx). Samples stay inside the quadrant, between the pixel and the centre, so each
// is the pixel itself, a pixel of this row blurred before it, or a pixel of a row done before.
template <int32_t ROW_STEP, int32_t COLUMN_STEP>
void blur_part(int32_t row, int32_t dy, int32_t first_column, int32_t columns) {
    const auto& maps = ROW_STEP == COLUMN_STEP ? zoom_map_a : zoom_map_b;
    QuadrantRow<COLUMN_STEP> part{recent[row % RECENT_ROWS] + first_column, {}, columns};
    for (int32_t k = 0; k < ZOOM_LEVELS; ++k) {
        // The row part of the zoom maps, in whole rows (times 320), toward the centre.
        const int32_t rows = COLUMN_STEP * maps[k][dy * SCREEN_WIDTH] / SCREEN_WIDTH;
        const int32_t sample_row = row + rows;
        part.sample[k] = (rows < 0 ? -rows : rows) < RECENT_ROWS
                             ? recent[sample_row % RECENT_ROWS] + first_column
                             : working + sample_row * SCREEN_WIDTH + first_column;
    }
    blur_row(part);
}

// The row to blur, from the picture.
void start_row(int32_t row) {
    std::memcpy(recent[row % RECENT_ROWS], colour_planes + row * SCREEN_WIDTH, sizeof recent[0]);
}

// The row, blurred, becomes a row of the frame, and a row of samples for the rows far after.
void finish_row(int32_t row, uint16_t* frame) {
    const uint32_t* blurred_row = recent[row % RECENT_ROWS];
    uint32_t* samples = working + row * SCREEN_WIDTH;
    uint16_t* out = frame + row * SCREEN_WIDTH;
    for (int32_t x = 0; x < SCREEN_WIDTH; x += 2) {
        const uint32_t left = blurred_row[x], right = blurred_row[x + 1];
        samples[x] = left;
        samples[x + 1] = right;
        store_pixel_pair(out + x, rgb565(left), rgb565(right));
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
    const BlurCentre centre = blur_centre(scene_clock, variant);
    const int32_t x = centre.column, y = centre.row;
    // The four quadrants do not sample each other, so each row's two parts are blurred
    // together: the rows above the centre upwards, then the rows below it downwards.
    for (int32_t row = y - 1; row >= 0; --row) {
        start_row(row);
        blur_part<-1, -1>(row, y - 1 - row, x - 1, x);
        blur_part<-1, +1>(row, y - 1 - row, x, SCREEN_WIDTH - x);
        finish_row(row, frame);
    }
    for (int32_t row = y; row < SCREEN_HEIGHT; ++row) {
        start_row(row);
        blur_part<+1, +1>(row, row - y, x, SCREEN_WIDTH - x);
        blur_part<+1, -1>(row, row - y, x - 1, x);
        finish_row(row, frame);
    }
}
