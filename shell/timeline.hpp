#pragma once
// The timeline: seven stages advanced by the scene clock, each drawing one whole frame. What
// each stage draws and when it ends is the table STAGES, which the benchmarks and the capture
// tool read as well. Only the timeline writes the render selection (core/demo_state.hpp).
#include "core/demo_state.hpp"

#include <cstdint>

inline constexpr int32_t TIMELINE_STATES = 7;

// What a stage draws first: a full-screen effect, or black.
enum class Background : int32_t { GROUND, RADIAL_BLUR, BACKDROP, TUNNEL, SINE_LAYERS, BLACK };

// The render selection a stage sets before its 3D object is drawn.
struct SceneChoice {
    int32_t selector = 0;  // object number
    int32_t renderer = 0;  // RENDERER_MESH or RENDERER_BY_MATERIAL
    int32_t fill_mode = 0; // RENDERER_MESH only: FILL_GOURAUD or FILL_ENVIRONMENT
    int32_t ramp_slot = 0; // RENDERER_MESH only
    int32_t variant = 0;   // 1: the sine field is reshaped before the object is drawn
};

struct Stage {
    int32_t until = 0; // ms: a scene clock strictly above it leaves the stage after the frame
    Background background = Background::GROUND;
    int32_t ramp_slot = 0;    // the tunnel's and the layered sines' colours
    int32_t blur_variant = 0; // the radial blur's: 1 swings vertically too, 0 horizontally only
    bool has_object = false;  // a 3D object is drawn over the background, as `scene` selects
    SceneChoice scene = {};
    // Leaving the stage loads the closing picture into the colour planes.
    bool closing_planes_after = false;
};
extern const Stage STAGES[TIMELINE_STATES];

// The stage's background alone, into frame.
void draw_stage_background(const Stage& stage, uint16_t* frame);

// The stage's render selection, then its object over the frame (nothing without one). The
// material renderer leaves the fill mode and the ramp slot as they were.
void draw_stage_object(const Stage& stage, uint16_t* frame);

// The state that follows a frame of `state` drawn at scene clock `clock`: the same, the next
// one, or TIMELINE_STATES after the last, when the demo ends.
int32_t state_after_frame(int32_t state, int32_t clock);

// Starts at the first stage with the scene clock's origin at `now` (the ticks at the end of
// start-up), the render selection and the quit flag as a fresh process has them.
void start_timeline(uint32_t now);

// Draws one frame into platform_frame() and advances the state at most once; the frame after
// the last stage's end sets the quit flag.
void run_timeline();
