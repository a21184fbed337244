#pragma once
// What the timeline decides once per frame and everything drawn in that frame reads: the scene
// clock and the render selection, plus the quit flag that ends the frame loop. These globals are
// the demo's defined interface between the timeline and the parts it drives; only the timeline
// writes them (and the front ends' input, the quit flag).
#include <cstdint>

extern int32_t scene_clock;     // ms since the end of start-up, set at the start of each frame
extern int32_t timeline_state;  // 0..6, the stage being drawn
extern int32_t scene_selector;  // object number the scene path draws: 0, 1, 2, 3 or 6
extern int32_t renderer_choice; // RENDERER_BY_MATERIAL, otherwise the ramp and light-map renderer
extern int32_t scene_fill_mode; // draw_mesh's fill mode: FILL_GOURAUD or FILL_ENVIRONMENT
extern int32_t scene_ramp_slot; // ramp bank slot for draw_mesh

// Values of renderer_choice: draw_mesh, or draw_mesh_by_material (which ignores the fill mode
// and the ramp slot).
inline constexpr int32_t RENDERER_MESH = 0;
inline constexpr int32_t RENDERER_BY_MATERIAL = 1;

// The frame loop runs while it is 0; set by joypad button 8 (or a front end's quit events) and
// by the end of the last stage.
extern int32_t quit_flag;
