#include "shell/timeline.hpp"

#include "core/frame.hpp"
#include "core/platform.hpp"
#include "fx2d/effects.hpp"
#include "fx2d/radial_blur.hpp"
#include "fx2d/ramps.hpp"
#include "fx2d/tables.hpp"
#include "render3d/objects.hpp"
#include "render3d/raster.hpp"
#include "render3d/scene.hpp"

#include <cstring>

// The ground repaints rows 0..179 only: below them the title picture stays, drawn over by the
// grid. The radial blur starts on the landscape texture the tables were built with.
const Stage STAGES[TIMELINE_STATES] = {
    {.until = 13152,
     .background = Background::GROUND,
     .has_object = true,
     .scene = {.selector = OBJECT_GROUND_GRID,
               .renderer = RENDERER_MESH,
               .fill_mode = FILL_GOURAUD,
               .ramp_slot = RAMP_GROUND_GRID}},
    {.until = 25756, .background = Background::RADIAL_BLUR, .blur_variant = 1},
    {.until = 50416,
     .background = Background::BACKDROP,
     .has_object = true,
     .scene = {.selector = OBJECT_SINE_FIELD,
               .renderer = RENDERER_MESH,
               .fill_mode = FILL_ENVIRONMENT,
               .ramp_slot = RAMP_GROUND_GRID,
               .variant = 1}},
    {.until = 75624,
     .background = Background::TUNNEL,
     .ramp_slot = RAMP_TUNNEL,
     .has_object = true,
     .scene = {.selector = OBJECT_EMBLEM,
               .renderer = RENDERER_MESH,
               .fill_mode = FILL_GOURAUD,
               .ramp_slot = RAMP_EMBLEM}},
    {.until = 100832,
     .background = Background::SINE_LAYERS,
     .ramp_slot = RAMP_SINE_LAYERS,
     .has_object = true,
     .scene = {.selector = OBJECT_RIPPLES,
               .renderer = RENDERER_MESH,
               .fill_mode = FILL_GOURAUD,
               .ramp_slot = RAMP_RIPPLES}},
    {.until = 126040,
     .background = Background::BLACK,
     .has_object = true,
     .scene = {.selector = OBJECT_CONSOLE, .renderer = RENDERER_BY_MATERIAL},
     .closing_planes_after = true},
    {.until = 150152, .background = Background::RADIAL_BLUR, .blur_variant = 0},
};

namespace {

uint32_t start_time = 0; // platform_ticks() at the end of start-up

void select_scene(const SceneChoice& scene) {
    scene_selector = scene.selector;
    renderer_choice = scene.renderer;
    if (scene.renderer == RENDERER_BY_MATERIAL) return;
    scene_fill_mode = scene.fill_mode;
    scene_ramp_slot = scene.ramp_slot;
}

} // namespace

void draw_stage_background(const Stage& stage, uint16_t* frame) {
    switch (stage.background) {
    case Background::GROUND:
        return draw_ground(frame);
    case Background::RADIAL_BLUR:
        return draw_radial_blur(frame, stage.blur_variant);
    case Background::BACKDROP:
        return draw_texture_backdrop(frame);
    case Background::TUNNEL:
        return draw_tunnel(frame, ramp_slot(stage.ramp_slot));
    case Background::SINE_LAYERS:
        return draw_sine_layers(frame, ramp_slot(stage.ramp_slot));
    case Background::BLACK:
        std::memset(frame, 0, FRAME_BYTES);
        return;
    }
}

void draw_stage_object(const Stage& stage, uint16_t* frame) {
    if (!stage.has_object) return;
    select_scene(stage.scene);
    animate_and_draw_scene(frame, stage.scene.variant);
}

int32_t state_after_frame(int32_t state, int32_t clock) {
    // Compared after drawing: the frame that passes a threshold is still the old state's.
    return clock > STAGES[state].until ? state + 1 : state;
}

void start_timeline(uint32_t now) {
    start_time = now;
    timeline_state = 0;
    quit_flag = 0;
    select_scene({});
}

void run_timeline() {
    uint16_t* frame = platform_frame();
    // Unsigned difference, so the clock stays right when the tick counter wraps.
    scene_clock = static_cast<int32_t>(platform_ticks() - start_time);
    const Stage& stage = STAGES[timeline_state];
    draw_stage_background(stage, frame);
    draw_stage_object(stage, frame);
    const int32_t next = state_after_frame(timeline_state, scene_clock);
    if (next == timeline_state) return;
    if (stage.closing_planes_after) load_planes_from_image();
    if (next == TIMELINE_STATES)
        quit_flag = 1;
    else
        timeline_state = next;
}
