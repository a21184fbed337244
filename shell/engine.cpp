#include "shell/engine.hpp"

#include "fx2d/ramps.hpp"
#include "fx2d/tables.hpp"
#include "render3d/objects.hpp"
#include "render3d/scene.hpp"

std::string start_up_engine() {
    build_all_ramps();
    build_effect_tables();
    reset_ripples();
    return build_objects();
}
