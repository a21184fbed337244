#pragma once
// What the benchmark files share: the frame they draw into, the tick counter the engine reads
// through the platform seam, and the start-up work the drawing needs.
#include "core/frame.hpp"

#include <cstdint>

extern uint16_t bench_frame[FRAME_PIXELS];
// platform_ticks() answers this; a benchmark sets it before drawing.
extern uint32_t bench_ticks;

// Builds the colour ramps and the effect tables, once per process; the colour planes then hold
// the landscape texture.
void prepare_effects();

// Scene clock of iteration i in stage `number`: from the end of the stage before (0 for the
// first), 17 ms further each iteration, wrapping within the stage, so that every iteration
// draws a different frame of it.
int32_t stage_clock(int32_t number, int64_t i);
