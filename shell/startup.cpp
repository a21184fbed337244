#include "shell/startup.hpp"

#include "fx2d/ramps.hpp"
#include "fx2d/tables.hpp"
#include "render3d/objects.hpp"

std::string build_tables_and_objects() {
    build_all_ramps();
    build_effect_tables();
    return build_objects();
}
