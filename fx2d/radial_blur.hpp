#pragma once
// Radial blur of the colour planes (fx2d/tables.hpp) from a wandering centre: every pixel of
// the frame averages itself with three samples nearer the centre, blurred just before it.
#include <cstdint>

struct BlurCentre {
    int32_t column; // 1..319
    int32_t row;    // 0..240; 120 when the variant is 0
};

// The centre at a scene clock: it swings horizontally, and vertically by variant times the
// vertical swing (the timeline passes 1 or 0). Kept within the screen for any variant.
BlurCentre blur_centre(int32_t clock, int32_t variant);

// Writes every pixel of frame (320 x 240 RGB565) from the planes blurred around
// blur_centre(scene_clock, variant).
void draw_radial_blur(uint16_t* frame, int32_t variant);
