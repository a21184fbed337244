#include "render3d/objects.hpp"

void build_objects() {}
