#include "render3d/face_order.hpp"

#include "render3d/halves.hpp"
#include "render3d/transform.hpp"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <thread>
#include <utility>

#if MOONLARK_SIMD && defined(__x86_64__) && defined(__GNUC__)
#define MOONLARK_VECTOR_SCAN 1
#include <immintrin.h>
#endif

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

// Keys read by one block scan. Stops found past where the scans meet are wasted, so the scalar
// scan reads fewer keys; the vector scan, whose keys cost much less each, reads more and so
// pays the setting up of a block less often. VECTOR_BLOCK is a multiple of the 16 keys a
// vector scan compares at once.
constexpr int32_t SCALAR_BLOCK = 64;
#if MOONLARK_VECTOR_SCAN
constexpr int32_t VECTOR_BLOCK = 256;
static_assert(VECTOR_BLOCK % 16 == 0 && VECTOR_BLOCK >= SCALAR_BLOCK);
constexpr int32_t MAX_BLOCK = VECTOR_BLOCK;
#else
constexpr int32_t MAX_BLOCK = SCALAR_BLOCK;
#endif

// Positions where Hoare's scans stop, ascending from the left or descending from the right,
// gathered a block at a time without a branch per key.
struct Stoppers {
    int32_t at[MAX_BLOCK];
    int32_t count = 0, next = 0;
    int32_t frontier; // the next position a block scan reads
    bool empty() const { return next == count; }
};

// Appends the stops among the n keys frontier, frontier + step, ... and moves the frontier
// past them: keys not below the pivot for step +1, not above it for step -1.
void gather_stops(Stoppers& s, const int32_t* keys, int32_t step, int32_t n, int32_t pivot) {
    for (int32_t k = 0; k < n; ++k, s.frontier += step) {
        const int32_t key = keys[s.frontier];
        s.at[s.count] = s.frontier;
        s.count += step > 0 ? key >= pivot : key <= pivot;
    }
}

#if MOONLARK_VECTOR_SCAN

// gather_stops with AVX-512F, sixteen keys per step, for n <= VECTOR_BLOCK into an empty
// Stoppers: before group g at most 16 g stops are stored, so storing all sixteen lanes of a
// compressed group stays inside `at`. The lanes of a last, partial group past the n keys are
// masked off, so no key outside them is read. The right-hand scan reverses its sixteen keys so
// that its stops come out descending.
__attribute__((target("avx512f,popcnt"))) void
gather_stops_avx512(Stoppers& s, const int32_t* keys, int32_t step, int32_t n, int32_t pivot) {
    const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m512i reverse = _mm512_setr_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    const __m512i pivots = _mm512_set1_epi32(pivot);
    // Kept in locals: the stores into `at` might otherwise alias them.
    int32_t count = s.count, frontier = s.frontier;
    for (int32_t done = 0; done < n; done += 16) {
        const int32_t m = std::min(16, n - done);
        const __mmask16 valid = static_cast<__mmask16>((1u << m) - 1);
        __mmask16 stops;
        __m512i positions;
        if (step > 0) {
            const __m512i key = _mm512_maskz_loadu_epi32(valid, keys + frontier);
            stops = _mm512_mask_cmpge_epi32_mask(valid, key, pivots);
            positions = _mm512_add_epi32(_mm512_set1_epi32(frontier), lane);
        } else {
            // Lane u holds the key at top - u; the m keys read are in lanes 16 - m .. 15.
            const int32_t base = frontier - m + 1, top = base + 15;
            const __m512i key = _mm512_maskz_permutexvar_epi32(
                0xFFFF, reverse, _mm512_maskz_loadu_epi32(valid, keys + base));
            stops = _mm512_mask_cmple_epi32_mask(static_cast<__mmask16>(valid << (16 - m)), key,
                                                 pivots);
            positions = _mm512_sub_epi32(_mm512_set1_epi32(top), lane);
        }
        _mm512_storeu_si512(s.at + count, _mm512_maskz_compress_epi32(stops, positions));
        count += _mm_popcnt_u32(stops);
        frontier += step * m;
    }
    s.count = count;
    s.frontier = frontier;
}

// Whether the processor running us has AVX-512F (and the system keeps its registers), asked
// once.
bool has_avx512f() {
    static const bool avx512f = __builtin_cpu_supports("avx512f");
    return avx512f;
}

#endif

// gather_stops or gather_stops_avx512.
using Gatherer = void (*)(Stoppers& s, const int32_t* keys, int32_t step, int32_t n, int32_t pivot);

// Gathers the stops among frontier, frontier + step, ... up to `limit` (inclusive), reading at
// most BLOCK_KEYS keys.
template <Gatherer GATHER, int32_t BLOCK_KEYS>
[[gnu::always_inline]] inline void scan_block(Stoppers& s, const int32_t* keys, int32_t step,
                                              int32_t limit, int32_t pivot) {
    s.count = 0;
    s.next = 0;
    GATHER(s, keys, step, std::min(BLOCK_KEYS, (limit - s.frontier) * step + 1), pivot);
}

// One Hoare partition pass over lo..hi; returns the final (j, i): lo..j and i..hi remain to
// sort. The scans' stops are found a block at a time among keys not yet exchanged, and where
// the one-key-at-a-time scans would step onto an exchanged key the outcome follows from the
// stops alone, so the pass makes exactly the exchanges of those scans.
template <Gatherer GATHER, int32_t BLOCK_KEYS>
[[gnu::always_inline]] inline std::pair<int32_t, int32_t> partition(int32_t lo, int32_t hi,
                                                                    int32_t* keys) {
    const int32_t pivot = keys[(lo + hi) >> 1];
    Stoppers left, right;
    left.frontier = lo;
    right.frontier = hi;
    int32_t j = hi; // keys after the last exchanged left stop, up to j, are untouched
    for (;;) {
        while (left.empty() && left.frontier <= j)
            scan_block<GATHER, BLOCK_KEYS>(left, keys, +1, j, pivot);
        // No key at or above the pivot up to j: the left scan stops on the last exchanged
        // right key, just past j.
        if (left.empty() || left.at[left.next] > j) return {j, j + 1};
        const int32_t l = left.at[left.next++];
        while (right.empty() && right.frontier >= l)
            scan_block<GATHER, BLOCK_KEYS>(right, keys, -1, l, pivot);
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

#if MOONLARK_VECTOR_SCAN

// The partition pass with the vector scans, compiled for AVX-512F as a whole so that the scans
// are inlined into it.
__attribute__((target("avx512f,popcnt"))) std::pair<int32_t, int32_t>
partition_avx512(int32_t lo, int32_t hi, int32_t* keys) {
    return partition<gather_stops_avx512, VECTOR_BLOCK>(lo, hi, keys);
}

#endif

// The partition pass with block scans, vector ones where the processor has them.
std::pair<int32_t, int32_t> block_partition(int32_t lo, int32_t hi, int32_t* keys) {
#if MOONLARK_VECTOR_SCAN
    if (has_avx512f()) return partition_avx512(lo, hi, keys);
#endif
    return partition<gather_stops, SCALAR_BLOCK>(lo, hi, keys);
}

// Below this many keys a block scan reads most of the range from both ends and mispredicts its
// exit, so the keys are scanned one at a time. Cores up to ARMv5 (the handheld's ARM9) predict
// no branch, so block scans save them nothing and cost more instructions a key (for the emblem
// 2.5 million a frame against 1.5 million key by key): there every range is scanned key by key.
#if defined(__ARM_ARCH) && __ARM_ARCH <= 5
constexpr int32_t PLAIN_BELOW = INT32_MAX;
#else
constexpr int32_t PLAIN_BELOW = 8;
#endif

// Hoare's partition pass over lo..hi with one key per step; returns (j, i) like partition.
std::pair<int32_t, int32_t> plain_partition(int32_t lo, int32_t hi, int32_t* keys) {
    const int32_t pivot = keys[(lo + hi) >> 1];
    int32_t* i = keys + lo;
    int32_t* j = keys + hi;
    for (;;) {
        while (*i < pivot)
            ++i;
        while (*j > pivot)
            --j;
        if (j < i) break;
        std::swap(*i, *j);
        std::swap(face_order[i - keys], face_order[j - keys]);
        if (++i > --j) break;
    }
    return {static_cast<int32_t>(j - keys), static_cast<int32_t>(i - keys)};
}

// One partition pass over lo..hi, key by key for short ranges; returns (j, i) like partition.
std::pair<int32_t, int32_t> partition_pass(int32_t lo, int32_t hi, int32_t* keys) {
    return hi - lo < PLAIN_BELOW ? plain_partition(lo, hi, keys) : block_partition(lo, hi, keys);
}

// A range still to sort.
struct Range {
    int32_t lo, hi;
};

// Ranges of a split sort waiting for either half, and how many ranges are not yet sorted
// (waiting or being sorted). Both halves take ranges from here until none is left, so a half
// that starts late or draws small ranges just sorts fewer of them.
struct SharedSort {
    int32_t* keys;
    Range waiting[64];
    int32_t waiting_count = 0;
    int32_t unsorted = 0;
    std::atomic<bool> locked{false}; // guards the three fields above
};

// Ranges at least this long are offered to the other half; shorter ones are sorted at once.
constexpr int32_t SHARE_FROM = 128;

void lock(SharedSort& sort) {
    while (sort.locked.exchange(true, std::memory_order_acquire)) {
    }
}

void unlock(SharedSort& sort) {
    sort.locked.store(false, std::memory_order_release);
}

// Takes a waiting range into r; false once every range is sorted. Waits while the other half
// is still partitioning.
bool take_range(SharedSort& sort, Range& r) {
    for (;;) {
        lock(sort);
        const bool got = sort.waiting_count > 0;
        if (got) r = sort.waiting[--sort.waiting_count];
        const bool done = !got && sort.unsorted == 0;
        unlock(sort);
        if (got || done) return got;
        std::this_thread::yield();
    }
}

// Adds r to the waiting ranges, or sorts it here when they are full.
void offer_range(SharedSort& sort, Range r) {
    lock(sort);
    const bool room = sort.waiting_count < static_cast<int32_t>(std::size(sort.waiting));
    if (room) {
        sort.waiting[sort.waiting_count++] = r;
        ++sort.unsorted;
    }
    unlock(sort);
    if (!room) sort_faces(r.lo, r.hi, sort.keys);
}

// One half of a split sort: partitions the ranges it takes, offers the larger part of each
// and goes on with the smaller.
void sort_shared(int32_t, void* job) {
    SharedSort& sort = *static_cast<SharedSort*>(job);
    Range r;
    while (take_range(sort, r)) {
        while (r.hi - r.lo >= SHARE_FROM) {
            const auto [j, i] = partition_pass(r.lo, r.hi, sort.keys);
            const bool left_smaller = j - r.lo < r.hi - i;
            offer_range(sort, left_smaller ? Range{i, r.hi} : Range{r.lo, j});
            r = left_smaller ? Range{r.lo, j} : Range{i, r.hi};
        }
        sort_faces(r.lo, r.hi, sort.keys);
        lock(sort);
        --sort.unsorted;
        unlock(sort);
    }
}

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
            const auto [j, i] = partition_pass(r.lo, r.hi, keys);
            const bool left_smaller = j - r.lo < r.hi - i;
            pending[waiting++] = left_smaller ? Range{i, r.hi} : Range{r.lo, j};
            r = left_smaller ? Range{r.lo, j} : Range{i, r.hi};
            continue;
        }
        if (waiting == 0) return;
        r = pending[--waiting];
    }
}

void sort_faces_in_halves(int32_t first, int32_t last, int32_t* keys) {
    if (!run_halves || last - first < SPLIT_SORT_FROM) return sort_faces(first, last, keys);
    SharedSort sort;
    sort.keys = keys;
    sort.waiting[0] = {first, last};
    sort.waiting_count = sort.unsorted = 1;
    run_halves(sort_shared, &sort);
}
