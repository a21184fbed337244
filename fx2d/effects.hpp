#pragma once
// Full-screen background effects. Each repaints its area of the frame (320 x 240 RGB565) from
// the lookup tables and its time source alone; none reads the frame or keeps state.
#include <cstdint>

// Tunnel spiral coloured from ramp (256 entries), running one entry every 8 ms of scene clock.
void draw_tunnel(uint16_t* frame, const uint16_t* ramp);
// Three layered sine waves coloured from ramp, drifting with the scene clock (which must not be
// negative); the picture repeats every 7008 ms.
void draw_sine_layers(uint16_t* frame, const uint16_t* ramp);
// The upper 240 rows of the landscape texture, upright; the same picture on every call.
void draw_texture_backdrop(uint16_t* frame);
// Perspective ground on rows 0..179, scrolling with platform_ticks() (not the scene clock);
// rows 180..239 are left as they are.
void draw_ground(uint16_t* frame);
