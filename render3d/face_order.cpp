#include "render3d/face_order.hpp"

#include "render3d/transform.hpp"

#include <utility>

int32_t depth_keys[MESH_MAX_VERTICES];
uint16_t face_order[MESH_MAX_VERTICES];

namespace {

int32_t depth_key(const Face& face) {
    int32_t sum = 0;
    for (const Corner& corner : face.corners)
        sum = wrap_add(sum, transformed_vertices[corner.vertex].z);
    return -(sum >> 2); // sum >> 2 >= -2^29: the negation cannot overflow
}

// One partition pass over lo..hi; returns the final (j, i): lo..j and i..hi remain to sort.
std::pair<int32_t, int32_t> partition(int32_t lo, int32_t hi, int32_t* keys) {
    const int32_t pivot = keys[(lo + hi) >> 1];
    int32_t i = lo, j = hi;
    for (;;) {
        while (keys[i] < pivot)
            ++i;
        while (keys[j] > pivot)
            --j;
        if (j < i) break;
        std::swap(keys[i], keys[j]);
        std::swap(face_order[i], face_order[j]);
        ++i;
        --j;
        if (i > j) break;
    }
    return {j, i};
}

} // namespace

void build_depth_keys(const Mesh& mesh) {
    for (int32_t i = 0; i < mesh.face_count; ++i) {
        depth_keys[i] = depth_key(mesh.faces[i]);
        face_order[i] = static_cast<uint16_t>(i);
    }
}

void sort_faces(int32_t first, int32_t last, int32_t* keys) {
    int32_t lo = first, hi = last;
    while (lo < hi) {
        const auto [j, i] = partition(lo, hi, keys);
        // The two ranges are disjoint, so the order they are sorted in changes nothing;
        // recursing into the smaller one bounds the stack depth at log2 of the face count.
        if (j - lo < hi - i) {
            sort_faces(lo, j, keys);
            lo = i;
        } else {
            sort_faces(i, hi, keys);
            hi = j;
        }
    }
}
