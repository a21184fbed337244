#include "render3d/face_order.hpp"
#include "render3d/transform.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// Sorts faces 0..n-1 with the given keys and returns the drawing order.
std::vector<int> drawing_order(const std::vector<int32_t>& keys) {
    const int32_t n = static_cast<int32_t>(keys.size());
    for (int32_t i = 0; i < n; ++i) {
        depth_keys[i] = keys[i];
        face_order[i] = static_cast<uint16_t>(i);
    }
    sort_faces(0, n - 1, depth_keys);
    return std::vector<int>(face_order, face_order + n);
}

TEST(SortFaces, EqualKeysAreExchangedPairwiseFromBothEnds) {
    EXPECT_EQ(drawing_order({5, 5}), (std::vector<int>{1, 0}));
    EXPECT_EQ(drawing_order({5, 5, 5}), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(drawing_order({5, 5, 5, 5}), (std::vector<int>{2, 3, 0, 1}));
    EXPECT_EQ(drawing_order({5, 5, 5, 5, 5}), (std::vector<int>{3, 4, 2, 0, 1}));
}

TEST(SortFaces, MixedKeys) {
    EXPECT_EQ(drawing_order({3, -1, 3, 0, 7}), (std::vector<int>{1, 3, 2, 0, 4}));
    EXPECT_EQ(drawing_order({-4, 0, 2, 9}), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(drawing_order({}), (std::vector<int>{}));
}

TEST(SortFaces, LargeInputsComeOutAscendingWithTheirFaces) {
    std::mt19937 random(7);
    for (int32_t range : {4, 1000, 1 << 30}) {
        std::vector<int32_t> keys(MESH_MAX_FACES);
        for (int32_t& k : keys)
            k = static_cast<int32_t>(random() % range) - range / 2;
        const std::vector<int> order = drawing_order(keys);
        for (int32_t i = 0; i < MESH_MAX_FACES; ++i) {
            ASSERT_EQ(depth_keys[i], keys[order[i]]) << "position " << i;
            if (i > 0) {
                ASSERT_LE(depth_keys[i - 1], depth_keys[i]) << "position " << i;
            }
        }
    }
}

// The sort as first written: recursive Hoare partitioning over separate keys and faces. The
// faster sort must make exactly its exchanges, which decide the order of equal keys.
void reference_sort(int32_t lo, int32_t hi, std::vector<int32_t>& keys, std::vector<int>& faces) {
    while (lo < hi) {
        const int32_t pivot = keys[(lo + hi) >> 1];
        int32_t i = lo, j = hi;
        for (;;) {
            while (keys[i] < pivot)
                ++i;
            while (keys[j] > pivot)
                --j;
            if (j < i) break;
            std::swap(keys[i], keys[j]);
            std::swap(faces[i], faces[j]);
            ++i;
            --j;
            if (i > j) break;
        }
        if (j - lo < hi - i) {
            reference_sort(lo, j, keys, faces);
            lo = i;
        } else {
            reference_sort(i, hi, keys, faces);
            hi = j;
        }
    }
}

TEST(SortFaces, MakesTheExchangesOfPlainRecursiveQuicksort) {
    std::mt19937 random(11);
    // Small sizes, where the two-key ranges are settled directly, and large ones.
    for (int32_t size :
         {2, 3, 5, 8, 13, 16, 17, 31, 33, 63, 64, 65, 100, 255, 257, 2000, MESH_MAX_FACES}) {
        // Random keys from ranges of 1 (all equal) .. 2^20 values, then ascending, descending
        // and sawtooth runs (range 0, -1 and -2) and keys at the ends of the int32_t range
        // mixed with 0 (range -3).
        for (int32_t range : {1, 2, 5, 40, 1 << 20, 0, -1, -2, -3}) {
            const int32_t extremes[3] = {INT32_MIN, 0, INT32_MAX};
            std::vector<int32_t> keys(size);
            for (int32_t i = 0; i < size; ++i)
                keys[i] = range == 0    ? i
                          : range == -1 ? -i
                          : range == -2 ? i % 67
                          : range == -3 ? extremes[random() % 3]
                                        : static_cast<int32_t>(random() % range) - range / 2;
            std::vector<int> expected(size);
            for (int32_t i = 0; i < size; ++i)
                expected[i] = i;
            const std::vector<int> order = drawing_order(keys);
            reference_sort(0, size - 1, keys, expected);
            ASSERT_EQ(order, expected) << size << " keys below " << range;
        }
    }
}

TEST(DepthKeys, AreTheNegatedFlooredQuarterOfTheDepthSum) {
    Mesh mesh;
    mesh.vertex_count = 4;
    mesh.face_count = 3;
    mesh.faces.resize(3);
    const int32_t z[4] = {-1, 3, 4, 0};
    for (int32_t i = 0; i < 4; ++i)
        transformed_vertices[i].z = z[i];
    for (int32_t f = 0; f < 3; ++f) {
        mesh.faces[f].corners[0].vertex = f; // the other corners are at depth 0
        mesh.faces[f].corners[1].vertex = 3;
        mesh.faces[f].corners[2].vertex = 3;
    }
    build_depth_keys(mesh);
    EXPECT_EQ(depth_keys[0], 1);  // sum -1
    EXPECT_EQ(depth_keys[1], 0);  // sum 3
    EXPECT_EQ(depth_keys[2], -1); // sum 4
    for (int f = 0; f < 3; ++f)
        EXPECT_EQ(face_order[f], f);
}

} // namespace
