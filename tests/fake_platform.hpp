#pragma once
// A clock and a frame the engine tests control.
#include <cstdint>

extern uint32_t fake_ticks;
extern uint16_t fake_frame[320 * 240];
