#include "fx2d/radial_blur.hpp"

#include "fx2d/convert.hpp"
#include "fx2d/pixels.hpp"
#include "fx2d/tables.hpp"
#include "shell/timeline.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Copies of the colour planes, blurred in place by each call; nothing reads them between calls.
uint8_t working_red[SCREEN_PIXELS];
uint8_t working_green[SCREEN_PIXELS];
uint8_t working_blue[SCREEN_PIXELS];

// plane[p] = (plane[p] + plane[s1] + plane[s2] + plane[s3]) >> 2, every read before the write
// (a sample may be p itself); returns the new value.
uint8_t average_in_place(uint8_t* plane, int32_t p, int32_t s1, int32_t s2, int32_t s3) {
    const uint8_t v = static_cast<uint8_t>((plane[p] + plane[s1] + plane[s2] + plane[s3]) >> 2);
    plane[p] = v;
    return v;
}

// Blurs pixel p of the three working planes from samples s1..s3; returns its RGB565 colour.
uint16_t blur_pixel(int32_t p, int32_t s1, int32_t s2, int32_t s3) {
    const int32_t red = average_in_place(working_red, p, s1, s2, s3);
    const int32_t green = average_in_place(working_green, p, s1, s2, s3);
    const int32_t blue = average_in_place(working_blue, p, s1, s2, s3);
    return static_cast<uint16_t>((red >> 3) << 11 | (green >> 2) << 5 | blue >> 3);
}

// Blurs one quadrant of rows x columns pixels, starting at (first_row, first_column) next to
// the centre and moving away from it by ROW_STEP and COLUMN_STEP (+1 or -1). The zoom maps'
// column parts point left and their row parts up (set A) or down (set B): a quadrant whose
// steps agree uses set A, the others set B, and multiplying by COLUMN_STEP turns every sample
// back toward the centre. Samples stay inside the quadrant, between the pixel and the centre,
// so each is either the pixel itself or one already blurred in this call.
template <int32_t ROW_STEP, int32_t COLUMN_STEP>
void blur_quadrant(uint16_t* frame, int32_t first_row, int32_t rows, int32_t first_column,
                   int32_t columns) {
    const auto& maps = ROW_STEP == COLUMN_STEP ? zoom_map_a : zoom_map_b;
    for (int32_t dy = 0; dy < rows; ++dy) {
        const int32_t start = (first_row + ROW_STEP * dy) * SCREEN_WIDTH + first_column;
        const int16_t* level1 = maps[0] + dy * SCREEN_WIDTH;
        const int16_t* level2 = maps[1] + dy * SCREEN_WIDTH;
        const int16_t* level3 = maps[2] + dy * SCREEN_WIDTH;
        for (int32_t dx = 0; dx < columns; ++dx) {
            const int32_t p = start + COLUMN_STEP * dx;
            frame[p] = blur_pixel(p, p + COLUMN_STEP * level1[dx], p + COLUMN_STEP * level2[dx],
                                  p + COLUMN_STEP * level3[dx]);
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
    std::memcpy(working_red, red_plane, sizeof working_red);
    std::memcpy(working_green, green_plane, sizeof working_green);
    std::memcpy(working_blue, blue_plane, sizeof working_blue);
    const BlurCentre centre = blur_centre(scene_clock, variant);
    const int32_t x = centre.column, y = centre.row;
    blur_quadrant<-1, -1>(frame, y - 1, y, x - 1, x);
    blur_quadrant<-1, +1>(frame, y - 1, y, x, SCREEN_WIDTH - x);
    blur_quadrant<+1, +1>(frame, y, SCREEN_HEIGHT - y, x, SCREEN_WIDTH - x);
    blur_quadrant<+1, -1>(frame, y, SCREEN_HEIGHT - y, x - 1, x);
}
