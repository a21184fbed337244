#include "render3d/scene.hpp"

void animate_and_draw_scene(uint16_t*, int32_t) {}
