#pragma once
// The built-in pictures: constant RGB565 arrays generated at build time from assets/*.png.
// Each is stored row after row, element j * width + i.
#include <cstdint>

inline constexpr int PICTURE_WIDTH = 320;
inline constexpr int PICTURE_HEIGHT = 240;

// Title screen, stored top row first: copied unchanged to the screen at start-up.
extern const uint16_t title_picture[320 * 240];
// Closing picture, stored bottom row first: source of the colour planes in the last stage.
extern const uint16_t closing_picture[320 * 240];
// Sunset landscape, stored bottom row first: backdrop and the first stage's colour planes.
extern const uint16_t landscape_texture[256 * 256];
// Ground texture, texel (v, u) at v * 128 + u; tiled by the perspective ground.
extern const uint16_t ground_texture[128 * 128];
// Light maps, texel (v, u) at v * 64 + u; environment and material textures.
extern const uint16_t violet_light_map[64 * 64];
extern const uint16_t grey_light_map[64 * 64];
extern const uint16_t red_light_map[64 * 64];
