#pragma once
// The 3D scene path of one frame: animates the selected object and draws it.
#include <cstdint>

// variant 1 first updates the sine height field of object 1.
void animate_and_draw_scene(uint16_t* frame, int32_t variant);
