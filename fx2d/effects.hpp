#pragma once
// Full-screen background effects; each paints the frame from the lookup tables.
#include <cstdint>

void draw_tunnel(uint16_t* frame, const uint16_t* ramp);
void draw_sine_layers(uint16_t* frame, const uint16_t* ramp);
void draw_texture_backdrop(uint16_t* frame);
void draw_ground(uint16_t* frame);
