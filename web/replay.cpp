#include "web/replay.hpp"

#include "render3d/scene.hpp"
#include "shell/startup.hpp"
#include "shell/timeline.hpp"

std::string prepare_play() {
    const std::string error = build_tables_and_objects();
    timeline_state = 0;
    quit_flag = 0;
    scene_selector = 0;
    renderer_choice = 0;
    scene_fill_mode = 0;
    scene_ramp_slot = 0;
    reset_ripples();
    return error;
}
