#pragma once
// The seam between the engine and its front ends (the demo, the capture tool, the tests).
// The engine declares these; each front end defines them, so the engine needs no SDL.
#include <cstdint>

// Milliseconds since some fixed origin, wrapping at 2^32 (the demo answers with SDL_GetTicks).
uint32_t platform_ticks();

// The frame being drawn: 320 x 240 RGB565 pixels, 640 bytes per row, row 0 at the top.
// Valid between the front end's lock and unlock of the screen.
uint16_t* platform_frame();
