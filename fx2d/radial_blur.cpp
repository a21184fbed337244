#include "fx2d/radial_blur.hpp"

#include "fx2d/convert.hpp"
#include "fx2d/pixels.hpp"
#include "fx2d/tables.hpp"
#include "shell/timeline.hpp"

#include <algorithm>
#include <cmath>

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

// The RGB565 colour of a packed pixel.
uint16_t rgb565(uint32_t packed) {
    return static_cast<uint16_t>((packed & 0xF8) << 8 | (packed >> 7 & 0x7E0) |
                                 (packed >> 23 & 0x1F));
}

// Blurs pixel p from samples s1..s3: each channel becomes (p + s1 + s2 + s3) >> 2, every read
// before the write (a sample may be p itself); returns its RGB565 colour.
uint16_t blur_pixel(int32_t p, int32_t s1, int32_t s2, int32_t s3) {
    const uint32_t v = ((working[p] + working[s1] + working[s2] + working[s3]) >> 2) & CHANNELS;
    working[p] = v;
    return rgb565(v);
}

// Blurs one quadrant of rows x columns pixels, starting at (first_row, first_column) next to
// the centre and moving away from it by ROW_STEP and COLUMN_STEP (+1 or -1). The zoom maps'
// column parts point left and their row parts up (set A) or down (set B): a quadrant whose
// steps agree uses set A, the others set B, and multiplying by COLUMN_STEP turns every sample
// back toward the centre. Samples stay inside the quadrant, between the pixel and the centre,
// so each is either the pixel itself or one already blurred in this call. Every zoom map
// entry (dy, dx) is its row part, entry (dy, 0), plus its column part, entry (0, dx): the row
// parts are taken once per row.
template <int32_t ROW_STEP, int32_t COLUMN_STEP>
void blur_quadrant(uint16_t* frame, int32_t first_row, int32_t rows, int32_t first_column,
                   int32_t columns) {
    const auto& maps = ROW_STEP == COLUMN_STEP ? zoom_map_a : zoom_map_b;
    const int16_t *across1 = maps[0], *across2 = maps[1], *across3 = maps[2];
    for (int32_t dy = 0; dy < rows; ++dy) {
        const int32_t start = (first_row + ROW_STEP * dy) * SCREEN_WIDTH + first_column;
        const int32_t down1 = start + COLUMN_STEP * maps[0][dy * SCREEN_WIDTH];
        const int32_t down2 = start + COLUMN_STEP * maps[1][dy * SCREEN_WIDTH];
        const int32_t down3 = start + COLUMN_STEP * maps[2][dy * SCREEN_WIDTH];
        for (int32_t dx = 0; dx < columns; ++dx) {
            const int32_t step = COLUMN_STEP * dx;
            frame[start + step] = blur_pixel(start + step, down1 + step + COLUMN_STEP * across1[dx],
                                             down2 + step + COLUMN_STEP * across2[dx],
                                             down3 + step + COLUMN_STEP * across3[dx]);
        }
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
    const BlurCentre centre = blur_centre(scene_clock, variant);
    const int32_t x = centre.column, y = centre.row;
    blur_quadrant<-1, -1>(frame, y - 1, y, x - 1, x);
    blur_quadrant<-1, +1>(frame, y - 1, y, x, SCREEN_WIDTH - x);
    blur_quadrant<+1, +1>(frame, y, SCREEN_HEIGHT - y, x, SCREEN_WIDTH - x);
    blur_quadrant<+1, -1>(frame, y, SCREEN_HEIGHT - y, x - 1, x);
}
