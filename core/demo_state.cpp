#include "core/demo_state.hpp"

int32_t scene_clock = 0;
int32_t timeline_state = 0;
int32_t scene_selector = 0;
int32_t renderer_choice = 0;
int32_t scene_fill_mode = 0;
int32_t scene_ramp_slot = 0;
int32_t quit_flag = 0;
