#pragma once
// Radial blur of the colour planes from a wandering centre.
#include <cstdint>

// variant: factor of the centre's vertical swing (1 over the landscape, 0 over the closing picture).
void draw_radial_blur(uint16_t* frame, int32_t variant);
