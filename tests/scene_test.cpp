#include "render3d/scene.hpp"

#include "fx2d/tables.hpp"
#include "render3d/objects.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// A flat height grid: the layout of the built-in grids, every height 0.
Mesh flat_grid() {
    Mesh mesh;
    mesh.vertex_count = GRID_VERTICES;
    mesh.vertices.assign(GRID_VERTICES, Vertex{0, 0, 0, 0});
    return mesh;
}

std::vector<int32_t> heights(const Mesh& mesh) {
    std::vector<int32_t> z;
    for (const Vertex& v : mesh.vertices)
        z.push_back(v.z);
    return z;
}

int32_t& height(Mesh& mesh, int32_t row, int32_t column) {
    return mesh.vertices[row * GRID_SIDE + column].z;
}

uint32_t bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

TEST(Pose, TiltAndSpinPerScene) {
    Mesh mesh = flat_grid();
    animate_pose(mesh, 0, 2048);
    EXPECT_EQ(mesh.rotation[1], -1.0f);
    EXPECT_EQ(bits(mesh.rotation[0]), 0xBFC90E9Du); // -1.5707585
    EXPECT_EQ(mesh.position[1], 64.0f);
    animate_pose(mesh, 0, 0);
    EXPECT_EQ(mesh.rotation[1], 0.0f);
    EXPECT_FALSE(std::signbit(mesh.rotation[1])); // the negation is done on the integer

    animate_pose(mesh, 1, 1024);
    EXPECT_EQ(mesh.rotation[0], -0.78537923f);
    EXPECT_EQ(mesh.rotation[1], -0.5f);
    EXPECT_EQ(mesh.position[2], 384.0f);

    animate_pose(mesh, 2, 0);
    EXPECT_EQ(mesh.rotation[0], 3.1415169f);
    EXPECT_EQ(mesh.position[1], 1024.0f);
}

TEST(Pose, RipplingGridBobs) {
    Mesh mesh = flat_grid();
    animate_pose(mesh, 3, 0);
    EXPECT_EQ(mesh.position[1], 96.0f);
    EXPECT_EQ(bits(mesh.rotation[0]), 0x3FC90E9Du); // 1.5707585
    animate_pose(mesh, 3, 804);
    EXPECT_NEAR(mesh.position[1], 120.0f, 0.001f);
}

TEST(Pose, ConsoleTurnsSlowlyAndKeepsItsBuiltTilt) {
    Mesh mesh;
    mesh.rotation[0] = 1.5707585f;
    mesh.rotation[2] = 0.39268962f;
    animate_pose(mesh, 6, 540);
    EXPECT_EQ(mesh.rotation[1], static_cast<float>(540 / 3.0 / 180.0 / -3.14151693));
    EXPECT_NEAR(mesh.rotation[1], -0.3183f, 0.0001f);
    EXPECT_EQ(mesh.rotation[0], 1.5707585f);
    EXPECT_EQ(mesh.rotation[2], 0.39268962f);
}

TEST(SineField, RepeatsWithItsPeriods) {
    build_effect_tables();
    Mesh at0 = flat_grid(), at800 = flat_grid(), at2400 = flat_grid();
    update_sine_field(at0, 0);
    update_sine_field(at800, 800);
    update_sine_field(at2400, 2400);
    EXPECT_EQ(heights(at2400), heights(at0));
    EXPECT_EQ(height(at0, 0, 0),
              grid_row_wave_table[0] + grid_diagonal_wave_table[0] + grid_column_wave_table[0]);
    // At 800 ms only the row term has moved (p = 25): along a row the change is constant.
    for (int32_t r = 0; r < GRID_SIDE; ++r)
        for (int32_t c = 0; c < GRID_SIDE; ++c)
            ASSERT_EQ(height(at800, r, c) - height(at0, r, c),
                      grid_row_wave_table[25 + r] - grid_row_wave_table[r]);
}

TEST(Ripples, DropPlacesABlockFromTwoRandDraws) {
    GlibcRand unseeded = GLIBC_UNSEEDED;
    const int32_t a = glibc_rand(unseeded) % 14 - 7, b = glibc_rand(unseeded) % 14 - 7;
    reset_ripples();
    Mesh mesh = flat_grid();
    ripple_drop(mesh, 255);
    for (int32_t r = 0; r < GRID_SIDE; ++r)
        for (int32_t c = 0; c < GRID_SIDE; ++c) {
            const bool in_block = r >= 15 + b && r <= 17 + b && c >= 15 + a && c <= 17 + a;
            ASSERT_EQ(height(mesh, r, c), in_block ? 255 : 0) << r << ", " << c;
        }
}

TEST(Ripples, RelaxationAveragesNeighboursInPlaceRoundingDown) {
    Mesh mesh = flat_grid();
    height(mesh, 1, 0) = -1; // border: (1, 1)'s neighbours sum to -1
    height(mesh, 5, 6) = 3;  // (5, 5)'s neighbours sum to 3
    relax_ripples(mesh);
    EXPECT_EQ(height(mesh, 1, 0), -1);
    EXPECT_EQ(height(mesh, 1, 1), -1);
    EXPECT_EQ(height(mesh, 1, 2), -1); // the updated left neighbour already counts
    EXPECT_EQ(height(mesh, 5, 5), 0);
    EXPECT_EQ(height(mesh, 5, 6), 0); // its own height is not part of its average
}

TEST(Ripples, FirstCallDropsLargeThenSmallThenRelaxes) {
    Mesh expected = flat_grid();
    reset_ripples();
    ripple_drop(expected, 255);
    ripple_drop(expected, 63);
    relax_ripples(expected);

    reset_ripples();
    Mesh mesh = flat_grid();
    update_ripples(mesh, 75625);
    EXPECT_EQ(heights(mesh), heights(expected));

    // Then each at its own pace: nothing within 32 ms, relaxation alone at 32 ms, the
    // small drop at 512 ms and the large one at 1024 ms.
    const std::vector<int32_t> settled = heights(mesh);
    update_ripples(mesh, 75625 + 31);
    EXPECT_EQ(heights(mesh), settled);
    update_ripples(mesh, 75625 + 32);
    EXPECT_EQ(ripple_timers.relaxation, 75625u + 32);
    EXPECT_EQ(ripple_timers.small_drop, 75625u);
    update_ripples(mesh, 75625 + 512);
    EXPECT_EQ(ripple_timers.small_drop, 75625u + 512);
    EXPECT_EQ(ripple_timers.large_drop, 75625u);
    update_ripples(mesh, 75625 + 1024);
    EXPECT_EQ(ripple_timers.large_drop, 75625u + 1024);
}

} // namespace
