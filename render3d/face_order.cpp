#include "render3d/face_order.hpp"

#include "render3d/transform.hpp"

#include <algorithm>
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

// Positions gathered by one block scan.
constexpr int32_t BLOCK = 64;

// Positions where Hoare's scans stop, ascending from the left or descending from the right,
// gathered a block at a time without a branch per key.
struct Stoppers {
    int32_t at[BLOCK];
    int32_t count = 0, next = 0;
    int32_t frontier; // the next position a block scan reads
    bool empty() const { return next == count; }
};

// Gathers the stops among frontier, frontier + step, ... up to `limit` (inclusive), reading at
// most BLOCK keys: keys not below the pivot for step +1, not above it for step -1.
void scan_block(Stoppers& s, const int32_t* keys, int32_t step, int32_t limit, int32_t pivot) {
    const int32_t n = std::min(BLOCK, (limit - s.frontier) * step + 1);
    s.count = 0;
    s.next = 0;
    for (int32_t k = 0; k < n; ++k, s.frontier += step) {
        const int32_t key = keys[s.frontier];
        s.at[s.count] = s.frontier;
        s.count += step > 0 ? key >= pivot : key <= pivot;
    }
}

// One Hoare partition pass over lo..hi; returns the final (j, i): lo..j and i..hi remain to
// sort. The scans' stops are found a block at a time among keys not yet exchanged, and where
// the one-key-at-a-time scans would step onto an exchanged key the outcome follows from the
// stops alone, so the pass makes exactly the exchanges of those scans.
std::pair<int32_t, int32_t> partition(int32_t lo, int32_t hi, int32_t* keys) {
    const int32_t pivot = keys[(lo + hi) >> 1];
    Stoppers left, right;
    left.frontier = lo;
    right.frontier = hi;
    int32_t j = hi; // keys after the last exchanged left stop, up to j, are untouched
    for (;;) {
        while (left.empty() && left.frontier <= j)
            scan_block(left, keys, +1, j, pivot);
        // No key at or above the pivot up to j: the left scan stops on the last exchanged
        // right key, just past j.
        if (left.empty() || left.at[left.next] > j) return {j, j + 1};
        const int32_t l = left.at[left.next++];
        while (right.empty() && right.frontier >= l)
            scan_block(right, keys, -1, l, pivot);
        // No key at or below the pivot from l on: the right scan stops just before l, where
        // every key is below the pivot or was exchanged there.
        if (right.empty() || right.at[right.next] < l) return {l - 1, l};
        const int32_t r = right.at[right.next++];
        if (r == l) return {l - 1, l + 1}; // a key equal to the pivot, exchanged with itself
        std::swap(keys[l], keys[r]);
        std::swap(face_order[l], face_order[r]);
        j = r - 1;
        if (l + 1 > j) return {j, l + 1};
    }
}

// Below this many keys a block scan reads most of the range from both ends and mispredicts its
// exit, so the keys are scanned one at a time.
constexpr int32_t PLAIN_BELOW = 8;

// Hoare's partition pass over lo..hi with one key per step; returns (j, i) like partition.
std::pair<int32_t, int32_t> plain_partition(int32_t lo, int32_t hi, int32_t* keys) {
    const int32_t pivot = keys[(lo + hi) >> 1];
    int32_t i = lo, j = hi;
    for (;;) {
        while (keys[i] < pivot)
            ++i;
        while (keys[j] > pivot)
            --j;
        if (j < i) return {j, i};
        std::swap(keys[i], keys[j]);
        std::swap(face_order[i], face_order[j]);
        if (++i > --j) return {j, i};
    }
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
            const auto [j, i] = r.hi - r.lo < PLAIN_BELOW ? plain_partition(r.lo, r.hi, keys)
                                                          : partition(r.lo, r.hi, keys);
            const bool left_smaller = j - r.lo < r.hi - i;
            pending[waiting++] = left_smaller ? Range{i, r.hi} : Range{r.lo, j};
            r = left_smaller ? Range{r.lo, j} : Range{i, r.hi};
            continue;
        }
        if (waiting == 0) return;
        r = pending[--waiting];
    }
}
