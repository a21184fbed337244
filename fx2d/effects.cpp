#include "fx2d/effects.hpp"

void draw_tunnel(uint16_t*, const uint16_t*) {}
void draw_sine_layers(uint16_t*, const uint16_t*) {}
void draw_texture_backdrop(uint16_t*) {}
void draw_ground(uint16_t*) {}
