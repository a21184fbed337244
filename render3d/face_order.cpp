#include "render3d/face_order.hpp"

#include "render3d/transform.hpp"

#include <utility>

int32_t depth_keys[MESH_MAX_VERTICES];
uint16_t face_order[MESH_MAX_VERTICES];
FaceCorners face_corners[MESH_MAX_FACES];

namespace {

int32_t depth_key(const FaceCorners& face) {
    int32_t sum = 0;
    for (const int32_t vertex : face.vertex)
        sum = wrap_add(sum, transformed_vertices[vertex].z);
    return -(sum >> 2); // sum >> 2 >= -2^29: the negation cannot overflow
}

// The first key from `at` on that is not below the pivot, and the last key from `at` back that is
// not above it; there is one within the range, so the scans stop there. Two keys a step: on a
// core without branch prediction a loop's taken branch costs more than a test that falls
// through.
int32_t* first_not_below(int32_t* at, int32_t pivot) {
    for (;; at += 2) {
        if (at[0] >= pivot) return at;
        if (at[1] >= pivot) return at + 1;
    }
}
int32_t* last_not_above(int32_t* at, int32_t pivot) {
    for (;; at -= 2) {
        if (at[0] <= pivot) return at;
        if (at[-1] <= pivot) return at - 1;
    }
}

// Hoare's partition pass over lo..hi; returns the final (j, i): lo..j and i..hi remain to
// sort. The scans stop on keys equal to the pivot, so those are exchanged too.
std::pair<int32_t, int32_t> partition(int32_t lo, int32_t hi, int32_t* keys) {
    const int32_t pivot = keys[(lo + hi) >> 1];
    int32_t* i = keys + lo;
    int32_t* j = keys + hi;
    for (;;) {
        i = first_not_below(i, pivot);
        j = last_not_above(j, pivot);
        if (j < i) break;
        std::swap(*i, *j);
        std::swap(face_order[i - keys], face_order[j - keys]);
        if (++i > --j) break;
    }
    return {static_cast<int32_t>(j - keys), static_cast<int32_t>(i - keys)};
}

// A range still to sort.
struct Range {
    int32_t lo, hi;
};

} // namespace

void build_depth_keys(const Mesh& mesh) {
    for (int32_t i = 0; i < mesh.face_count; ++i) {
        const Face& face = mesh.faces[i];
        face_corners[i] = {
            {face.corners[0].vertex, face.corners[1].vertex, face.corners[2].vertex}};
        depth_keys[i] = depth_key(face_corners[i]);
        face_order[i] = static_cast<uint16_t>(i);
    }
}

void sort_faces(int32_t first, int32_t last, int32_t* keys) {
    // The ranges a partition leaves are disjoint, so the order they are sorted in changes
    // nothing. The larger one waits on the stack, which so never holds more than log2 of the
    // face count ranges.
    Range pending[32];
    int32_t waiting = 0;
    Range r{first, last};
    for (;;) {
        if (r.hi - r.lo == 1) {
            // What a partition pass does to two keys: the pivot is the first, and an equal
            // second key is exchanged with it too.
            if (keys[r.hi] <= keys[r.lo]) {
                std::swap(keys[r.lo], keys[r.hi]);
                std::swap(face_order[r.lo], face_order[r.hi]);
            }
        } else if (r.lo < r.hi) {
            const auto [j, i] = partition(r.lo, r.hi, keys);
            const bool left_smaller = j - r.lo < r.hi - i;
            pending[waiting++] = left_smaller ? Range{i, r.hi} : Range{r.lo, j};
            r = left_smaller ? Range{r.lo, j} : Range{i, r.hi};
            continue;
        }
        if (waiting == 0) return;
        r = pending[--waiting];
    }
}
