#pragma once
// The built-in pictures: constant RGB565 arrays generated at build time (tools/png_to_array)
// from the PNG files in assets/, upright there. Each is stored row after row, element
// j * width + i, in the order its readers need.
#include "core/frame.hpp"

#include <cstdint>

// Title screen, stored top row first: copied unchanged to the screen at start-up.
extern const uint16_t title_picture[FRAME_PIXELS];
// Closing picture, stored bottom row first: source of the colour planes in the last stage.
extern const uint16_t closing_picture[FRAME_PIXELS];
// Sunset landscape, stored bottom row first: backdrop and the first stage's colour planes.
extern const uint16_t landscape_texture[256 * 256];
// Ground texture, texel (v, u) at v * 128 + u; tiled by the perspective ground.
extern const uint16_t ground_texture[128 * 128];
// Light maps, texel (v, u) at v * 64 + u; environment and material textures.
extern const uint16_t violet_light_map[64 * 64];
extern const uint16_t grey_light_map[64 * 64];
extern const uint16_t red_light_map[64 * 64];

// How each array is made: its PNG file in assets/, its size, its row order. The converter
// checks every file against this list, so a picture of the wrong size fails the build.
struct PictureFormat {
    const char* file;  // PNG name inside the asset folder
    const char* array; // name of the constant array above
    uint32_t width;
    uint32_t height;
    bool bottom_up; // stored row 0 is the picture's bottom row
};
inline constexpr PictureFormat PICTURES[] = {
    {"title.png", "title_picture", FRAME_WIDTH, FRAME_HEIGHT, false},
    {"closing.png", "closing_picture", FRAME_WIDTH, FRAME_HEIGHT, true},
    {"landscape.png", "landscape_texture", 256, 256, true},
    {"ground.png", "ground_texture", 128, 128, false},
    {"violet_light.png", "violet_light_map", 64, 64, false},
    {"grey_light.png", "grey_light_map", 64, 64, false},
    {"red_light.png", "red_light_map", 64, 64, false},
};
