#include "shell/timeline.hpp"

#include "core/platform.hpp"
#include "fx2d/effects.hpp"
#include "fx2d/radial_blur.hpp"
#include "fx2d/ramps.hpp"
#include "fx2d/tables.hpp"
#include "render3d/scene.hpp"

#include <cstring>

uint32_t start_time = 0;

const int32_t TIMELINE_THRESHOLDS[TIMELINE_STATES] = {13152,  25756,  50416, 75624,
                                                      100832, 126040, 150152};

namespace {

void select_scene(int32_t selector, int32_t renderer, int32_t fill_mode, int32_t ramp_slot) {
    scene_selector = selector;
    renderer_choice = renderer;
    scene_fill_mode = fill_mode;
    scene_ramp_slot = ramp_slot;
}

void draw_state(uint16_t* frame) {
    switch (timeline_state) {
    case 0:
        draw_ground(frame); // repaints rows 0..179 only
        select_scene(0, 0, 8, 1);
        animate_and_draw_scene(frame, 0);
        break;
    case 1:
        draw_radial_blur(frame, 1);
        break;
    case 2:
        draw_texture_backdrop(frame);
        select_scene(1, 0, 16, 1);
        animate_and_draw_scene(frame, 1);
        break;
    case 3:
        draw_tunnel(frame, ramp_slot(4));
        select_scene(2, 0, 8, 6);
        animate_and_draw_scene(frame, 0);
        break;
    case 4:
        draw_sine_layers(frame, ramp_slot(5));
        select_scene(3, 0, 8, 2);
        animate_and_draw_scene(frame, 0);
        break;
    case 5:
        // Fill mode and ramp slot keep state 4's values; the material renderer ignores them.
        std::memset(frame, 0, FRAME_BYTES);
        renderer_choice = 1;
        scene_selector = 6;
        animate_and_draw_scene(frame, 0);
        break;
    default:
        draw_radial_blur(frame, 0);
        break;
    }
}

void leave_state() {
    if (timeline_state == 5) load_planes_from_image();
    if (timeline_state == TIMELINE_STATES - 1)
        quit_flag = 1;
    else
        ++timeline_state;
}

} // namespace

void run_timeline() {
    uint16_t* frame = platform_frame();
    // Unsigned difference, so the clock stays right when the tick counter wraps.
    scene_clock = static_cast<int32_t>(platform_ticks() - start_time);
    draw_state(frame);
    // Compared after drawing: the frame that passes a threshold is still the old state's.
    if (scene_clock > TIMELINE_THRESHOLDS[timeline_state]) leave_state();
}
