#include "render3d/face_order.hpp"

#include "render3d/transform.hpp"

#include <bit>
#include <utility>

#if MOONLARK_SIMD && defined(__SSE2__)
#include <emmintrin.h>
#define MOONLARK_VECTOR_SCAN 1
#else
#define MOONLARK_VECTOR_SCAN 0
#endif

int32_t depth_keys[MESH_MAX_VERTICES];
uint16_t face_order[MESH_MAX_VERTICES];

namespace {

int32_t depth_key(const Face& face) {
    int32_t sum = 0;
    for (const Corner& corner : face.corners)
        sum = wrap_add(sum, transformed_vertices[corner.vertex].z);
    return -(sum >> 2); // sum >> 2 >= -2^29: the negation cannot overflow
}

// The first position from i on whose key is not below the pivot; one lies at or before hi.
int32_t scan_up(const int32_t* keys, int32_t i, int32_t hi, int32_t pivot) {
#if MOONLARK_VECTOR_SCAN
    // Four keys per compare while all four lie inside i..hi: the scan's exit is then rarely
    // mispredicted.
    const __m128i p = _mm_set1_epi32(pivot);
    for (; i + 3 <= hi; i += 4) {
        const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(keys + i));
        const int below = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmplt_epi32(k, p)));
        if (below != 0xF) return i + std::countr_one(static_cast<unsigned>(below));
    }
#else
    (void)hi;
#endif
    while (keys[i] < pivot)
        ++i;
    return i;
}

// The last position from j down whose key is not above the pivot; one lies at or after lo.
int32_t scan_down(const int32_t* keys, int32_t j, int32_t lo, int32_t pivot) {
#if MOONLARK_VECTOR_SCAN
    const __m128i p = _mm_set1_epi32(pivot);
    for (; j - 3 >= lo; j -= 4) {
        const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(keys + j - 3));
        const unsigned above =
            static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(k, p))));
        if (above != 0xF) return j - std::countl_one(above << 28);
    }
#else
    (void)lo;
#endif
    while (keys[j] > pivot)
        --j;
    return j;
}

// One partition pass over lo..hi; returns the final (j, i): lo..j and i..hi remain to sort.
std::pair<int32_t, int32_t> partition(int32_t lo, int32_t hi, int32_t* keys) {
    const int32_t pivot = keys[(lo + hi) >> 1];
    int32_t i = lo, j = hi;
    for (;;) {
        i = scan_up(keys, i, hi, pivot);
        j = scan_down(keys, j, lo, pivot);
        if (j < i) break;
        std::swap(keys[i], keys[j]);
        std::swap(face_order[i], face_order[j]);
        ++i;
        --j;
        if (i > j) break;
    }
    return {j, i};
}

// A range still to sort.
struct Range {
    int32_t lo, hi;
};

} // namespace

void build_depth_keys(const Mesh& mesh) {
    for (int32_t i = 0; i < mesh.face_count; ++i) {
        depth_keys[i] = depth_key(mesh.faces[i]);
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
