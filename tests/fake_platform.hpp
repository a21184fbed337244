#pragma once
// A clock and a frame the engine tests control.
#include "core/frame.hpp"

#include <cstdint>

extern uint32_t fake_ticks;
extern uint16_t fake_frame[FRAME_PIXELS];
