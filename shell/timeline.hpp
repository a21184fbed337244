#pragma once
// The timeline: seven states advanced by the scene clock, and the globals through which it
// tells the 3D scene path what to draw. Only the timeline writes the selection globals.
#include <cstdint>

inline constexpr int32_t TIMELINE_STATES = 7;

// Set by start-up: platform_ticks() at the end of start-up, the origin of the scene clock.
extern uint32_t start_time;
// The frame loop runs while it is 0; set by joypad button 8 (or quit events) and by the end
// of the last state.
extern int32_t quit_flag;

extern int32_t scene_clock;     // ms since start_time, read by everything drawn this frame
extern int32_t timeline_state;  // 0..6
extern int32_t scene_selector;  // object number drawn by the scene path: 0, 1, 2, 3 or 6
extern int32_t renderer_choice; // 1: draw_mesh_by_material, otherwise draw_mesh
extern int32_t scene_fill_mode; // fill mode for draw_mesh: 8 (Gouraud) or 16 (environment)
extern int32_t scene_ramp_slot; // ramp bank slot for draw_mesh

// End of each state in scene-clock ms: a clock strictly above it leaves the state.
extern const int32_t TIMELINE_THRESHOLDS[TIMELINE_STATES];

// Draws one frame into platform_frame() and advances the state at most once.
void run_timeline();
