#include "fx2d/radial_blur.hpp"

void draw_radial_blur(uint16_t*, int32_t) {}
