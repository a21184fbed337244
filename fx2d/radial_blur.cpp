#include "fx2d/radial_blur.hpp"

#include "core/demo_state.hpp"
#include "core/frame.hpp"
#include "core/numbers.hpp"
#include "fx2d/tables.hpp"

#include <algorithm>
#include <cmath>

namespace {

// A blurred pixel's three channels are the sums of four pixels' (ten bits each, see
// colour_planes) shifted right by 2; the shift moves each channel's lowest two bits into the
// top of the channel below it, which CHANNELS clears.
constexpr uint32_t CHANNELS = plane_pixel(0xFF, 0xFF, 0xFF);

// This call's blurred pixels, row-major like the planes, each written as it is blurred:
// where every pixel finds its samples. Nothing reads a pixel of an earlier call.
uint32_t working[FRAME_PIXELS];

// The RGB565 colour of a blurred pixel, whose channels are below 256.
uint16_t rgb565_of_blurred(uint32_t packed) {
    return rgb565_of_rgb888(packed & 0xFF, packed >> PLANE_GREEN_SHIFT & 0xFF,
                            packed >> PLANE_BLUE_SHIFT);
}

// One packed pixel blurred from itself and its three samples.
uint32_t blurred(uint32_t pixel, uint32_t sample1, uint32_t sample2, uint32_t sample3) {
    return ((pixel + sample1 + sample2 + sample3) >> 2) & CHANNELS;
}

// How far along its row, from its quadrant's first column, the level k sample of the pixel dx
// columns into the quadrant lies: dx plus the zoom maps' column part, (-(dx / 4)) >> k. Only
// the first 4 pixels of a row have a part of 0 and can sample themselves.
constexpr int32_t reach(int32_t k, int32_t dx) {
    return dx + ((-(dx >> 2)) >> k);
}
constexpr int32_t SELF_SAMPLING = 4;

// Pixels blurred as one group, whose samples lie at fixed distances from the group's first
// samples: with GROUP a multiple of 4 << ZOOM_LEVELS, reach(k, m * GROUP + j) =
// reach(k, m * GROUP) + reach(k, j) for j below GROUP, so a group's sample offsets are
// constants.
constexpr int32_t GROUP = 32;
static_assert(GROUP % (4 << ZOOM_LEVELS) == 0);

// One row of one quadrant, `pixels` long, from its first column (next to the centre's) on,
// moving away from the centre by STEP (+1 or -1): the picture's pixels, where the blurred ones
// go in `working` and in the frame, and where the level k samples of the row lie (sample[k -
// 1], at the row's first column).
template <int32_t STEP> struct QuadrantRow {
    const uint32_t* picture;
    uint32_t* blurred;
    uint16_t* frame;
    const uint32_t* sample[ZOOM_LEVELS];
    int32_t pixels;
};

// Blurs pixel dx of the row. Its samples are read before it is written: one may be the pixel
// itself (see blur_part), another pixel of its row blurred just before, or one of a row done
// before.
template <int32_t STEP>
[[gnu::always_inline]] inline void blur_pixel(const QuadrantRow<STEP>& row, int32_t dx,
                                              const uint32_t* s1, const uint32_t* s2,
                                              const uint32_t* s3) {
    const uint32_t v = blurred(row.picture[STEP * dx], *s1, *s2, *s3);
    row.blurred[STEP * dx] = v;
    row.frame[STEP * dx] = rgb565_of_blurred(v);
}

template <int32_t STEP> void blur_row(const QuadrantRow<STEP>& row) {
    int32_t dx = 0;
    for (; dx + GROUP <= row.pixels; dx += GROUP) {
        const uint32_t* s1 = row.sample[0] + STEP * reach(1, dx);
        const uint32_t* s2 = row.sample[1] + STEP * reach(2, dx);
        const uint32_t* s3 = row.sample[2] + STEP * reach(3, dx);
#pragma GCC unroll 32
        for (int32_t j = 0; j < GROUP; ++j)
            blur_pixel(row, dx + j, s1 + STEP * reach(1, j), s2 + STEP * reach(2, j),
                       s3 + STEP * reach(3, j));
    }
    for (; dx < row.pixels; ++dx)
        blur_pixel(row, dx, row.sample[0] + STEP * reach(1, dx),
                   row.sample[1] + STEP * reach(2, dx), row.sample[2] + STEP * reach(3, dx));
}

// Blurs the part of row `row` (dy rows from its quadrant's first row) in the quadrant whose
// rows move away from the centre by ROW_STEP and columns by COLUMN_STEP, from first_column on.
// The zoom maps' row parts point up (set A) or down (set B): a quadrant whose steps agree uses
// set A, the others set B, and multiplying by COLUMN_STEP turns every sample back toward the
// centre. Every zoom map entry (dy, dx) is its row part, entry (dy, 0), plus its column part,
// entry (0, dx). Samples stay inside the quadrant, between the pixel and the centre.
template <int32_t ROW_STEP, int32_t COLUMN_STEP>
void blur_part(int32_t row, int32_t dy, int32_t first_column, int32_t columns, uint16_t* frame) {
    const auto& maps = ROW_STEP == COLUMN_STEP ? zoom_map_a : zoom_map_b;
    const int32_t start = row * FRAME_WIDTH + first_column;
    QuadrantRow<COLUMN_STEP> part{
        colour_planes + start, working + start, frame + start, {}, columns};
    bool on_own_row = false;
    for (int32_t k = 0; k < ZOOM_LEVELS; ++k) {
        const int32_t offset = COLUMN_STEP * maps[k][dy * FRAME_WIDTH]; // whole rows
        part.sample[k] = working + start + offset;
        on_own_row |= offset == 0;
    }
    // A pixel that samples itself reads its picture's colour from `working` before blurring it.
    if (on_own_row)
        for (int32_t dx = 0; dx < std::min(columns, SELF_SAMPLING); ++dx)
            part.blurred[COLUMN_STEP * dx] = part.picture[COLUMN_STEP * dx];
    blur_row(part);
}

} // namespace

BlurCentre blur_centre(int32_t clock, int32_t variant) {
    const int32_t t = clock / 12;
    const int32_t cx = trunc_saturating(std::sin(t / 73.0) * 160.0);
    const int32_t cy =
        trunc_saturating((static_cast<double>(variant) * std::sin(t / 112.0)) * 120.0);
    // Only variants beyond -1..1 can reach past the screen; the centre then stops at its edge,
    // where the quadrants on the far side have no rows and every sample stays in the planes.
    return {FRAME_CENTRE_COLUMN + cx,
            FRAME_CENTRE_ROW + std::clamp(cy, -FRAME_CENTRE_ROW, FRAME_CENTRE_ROW)};
}

void draw_radial_blur(uint16_t* frame, int32_t variant) {
    const BlurCentre centre = blur_centre(scene_clock, variant);
    const int32_t x = centre.column, y = centre.row;
    // The four quadrants do not sample each other, so each row's two parts are blurred
    // together: the rows above the centre upwards, then the rows below it downwards.
    for (int32_t row = y - 1; row >= 0; --row) {
        blur_part<-1, -1>(row, y - 1 - row, x - 1, x, frame);
        blur_part<-1, +1>(row, y - 1 - row, x, FRAME_WIDTH - x, frame);
    }
    for (int32_t row = y; row < FRAME_HEIGHT; ++row) {
        blur_part<+1, +1>(row, row - y, x, FRAME_WIDTH - x, frame);
        blur_part<+1, -1>(row, row - y, x - 1, x, frame);
    }
}
