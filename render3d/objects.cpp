#include "render3d/objects.hpp"

Mesh object_table[OBJECT_COUNT];

std::string build_object(Mesh&, int32_t) {
    return "";
}

std::string build_objects() {
    for (int32_t n = 0; n < OBJECT_COUNT; ++n) {
        std::string error = build_object(object_table[n], n);
        if (!error.empty()) return error;
    }
    return "";
}
