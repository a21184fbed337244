#pragma once
// The timeline: seven states advanced by the scene clock, and the globals through which it
// tells the 3D scene path what to draw. Only the timeline writes the selection globals.
#include "core/demo_state.hpp"

#include <cstdint>

inline constexpr int32_t TIMELINE_STATES = 7;

// Set by start-up: platform_ticks() at the end of start-up, the origin of the scene clock.
extern uint32_t start_time;

// End of each state in scene-clock ms: a clock strictly above it leaves the state.
extern const int32_t TIMELINE_THRESHOLDS[TIMELINE_STATES];

// Draws one frame into platform_frame() and advances the state at most once.
void run_timeline();
