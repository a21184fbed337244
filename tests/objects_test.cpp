// The object table: height grids, the two file objects, their materials and poses.
#include "assets/pictures.hpp"
#include "fx2d/ramps.hpp"
#include "render3d/objects.hpp"
#include "tests/mesh_files.hpp"
#include "tests/process.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>

static std::ostream& operator<<(std::ostream& out, Vec3 v) {
    return out << "(" << v.x << ", " << v.y << ", " << v.z << ")";
}

namespace {

Mesh built(int32_t n) {
    Mesh mesh;
    EXPECT_EQ(build_object(mesh, n), "");
    return mesh;
}

std::vector<int32_t> corners(const Mesh& mesh, int32_t f) {
    const Corner* c = mesh.faces[f].corners;
    return {c[0].vertex, c[1].vertex, c[2].vertex};
}

int32_t height(const Mesh& grid, int32_t i, int32_t j) {
    return grid.vertices[i * 33 + j].z;
}

uint32_t bits(float value) {
    uint32_t b;
    std::memcpy(&b, &value, sizeof b);
    return b;
}

TEST(HeightGrids, VerticesAndFaces) {
    for (const int32_t n : {0, 1, 3}) {
        const Mesh grid = built(n);
        ASSERT_EQ(grid.vertex_count, 1089);
        ASSERT_EQ(grid.face_count, 2048);
        EXPECT_EQ(grid.edge_count, 0);
        EXPECT_EQ(grid.vertices[0].x, -160);
        EXPECT_EQ(grid.vertices[0].y, -160);
        EXPECT_EQ(grid.vertices[0].z, 0);
        EXPECT_EQ(grid.vertices[1].x, -150);
        EXPECT_EQ(grid.vertices[33].y, -150);
        EXPECT_EQ(grid.vertices[1088].x, 160);
        EXPECT_EQ(grid.vertices[1088].y, 160);
        if (n == 3) continue;
        EXPECT_EQ(corners(grid, 0), (std::vector<int32_t>{0, 1, 33}));
        EXPECT_EQ(corners(grid, 1), (std::vector<int32_t>{33, 1, 34}));
        EXPECT_EQ(corners(grid, 62), (std::vector<int32_t>{31, 32, 64}));
        EXPECT_EQ(corners(grid, 63), (std::vector<int32_t>{64, 32, 65}));
        EXPECT_EQ(corners(grid, 2047), (std::vector<int32_t>{1087, 1055, 1088}));
    }
    const Mesh reversed = built(3);
    EXPECT_EQ(corners(reversed, 0), (std::vector<int32_t>{33, 1, 0}));
    EXPECT_EQ(corners(reversed, 1), (std::vector<int32_t>{34, 1, 33}));
}

TEST(HeightGrids, HeightsTruncateTowardZero) {
    const Mesh grid0 = built(0);
    EXPECT_EQ(height(grid0, 0, 1), 17);
    EXPECT_EQ(height(grid0, 1, 0), 24);
    EXPECT_EQ(height(grid0, 2, 5), -5);
    const Mesh grid1 = built(1);
    EXPECT_EQ(height(grid1, 0, 1), 3);
    EXPECT_EQ(height(grid1, 16, 16), -24);
    const Mesh grid3 = built(3);
    EXPECT_EQ(height(grid3, 0, 1), 11);
    EXPECT_EQ(height(grid3, 32, 32), -12);

    const std::pair<int32_t, int32_t> ranges[] = {{-39, 42}, {-31, 31}, {-39, 39}};
    const Mesh* grids[] = {&grid0, &grid1, &grid3};
    for (int32_t g = 0; g < 3; ++g) {
        int32_t low = 0, high = 0;
        for (const Vertex& v : grids[g]->vertices) {
            low = std::min(low, v.z);
            high = std::max(high, v.z);
        }
        EXPECT_EQ(low, ranges[g].first) << "grid " << g;
        EXPECT_EQ(high, ranges[g].second) << "grid " << g;
    }
}

TEST(HeightGrids, Normals) {
    EXPECT_EQ(built(0).face_normals[0], (Vec3{-140, -198, 82}));
    const Mesh grid1 = built(1);
    EXPECT_EQ(grid1.face_normals[0], (Vec3{-71, -71, 237}));
    EXPECT_EQ(grid1.vertex_normals[0], (Vec3{-70, -70, 236})); // renormalised with L = 257
    EXPECT_EQ(built(3).face_normals[0], (Vec3{138, 175, -125}));
}

TEST(HeightGrids, MaterialsAndPoses) {
    const Mesh grid0 = built(0);
    ASSERT_EQ(grid0.materials.size(), 1u);
    EXPECT_EQ(grid0.materials[0].type, MATERIAL_RAMP);
    EXPECT_EQ(grid0.materials[0].ramp_count, 1);
    EXPECT_EQ(grid0.materials[0].ramps[0], ramp_slot(1));
    EXPECT_EQ(grid0.position[2], 256.0f);
    for (const int32_t n : {1, 3}) {
        const Mesh grid = built(n);
        ASSERT_EQ(grid.materials.size(), 1u);
        EXPECT_EQ(grid.materials[0].type, MATERIAL_TEXTURE);
        EXPECT_EQ(grid.materials[0].texture_count, 1);
        EXPECT_EQ(grid.materials[0].textures[0].shift, 2);
        EXPECT_EQ(grid.materials[0].textures[0].pixels, violet_light_map);
        EXPECT_EQ(grid.position[2], n == 1 ? 256.0f : 384.0f);
        for (const Face& f : grid.faces)
            ASSERT_EQ(f.material, 0);
    }
}

// Builds the table in a folder of test mesh files, as start-up does in the data folder.
class ObjectTable : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = make_temp_dir();
        home = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        write_int32s("ziriraza.3do", separate_triangles(2));
        write_int32s("gp2x.3do", separate_triangles(495));
    }
    void TearDown() override {
        std::filesystem::current_path(home);
        std::filesystem::remove_all(dir);
        for (Mesh& mesh : object_table)
            mesh = Mesh{};
    }
    std::string dir;
    std::filesystem::path home;
};

TEST_F(ObjectTable, BuildsTheFileObjects) {
    ASSERT_EQ(build_objects(), "");
    const Mesh& emblem = object_table[2];
    EXPECT_EQ(emblem.face_count, 2);
    ASSERT_EQ(emblem.materials.size(), 1u);
    EXPECT_EQ(emblem.materials[0].ramps[0], ramp_slot(2));
    EXPECT_EQ(emblem.position[1], 180.0f);
    EXPECT_EQ(emblem.position[2], 8192.0f);

    const Mesh& console = object_table[6];
    ASSERT_EQ(console.face_count, 495);
    ASSERT_EQ(console.materials.size(), 2u);
    EXPECT_EQ(console.materials[0].textures[0].pixels, grey_light_map);
    EXPECT_EQ(console.materials[1].textures[0].pixels, red_light_map);
    for (const int32_t f : {0, 63, 356, 493})
        EXPECT_EQ(console.faces[f].material, 1) << f;
    for (const int32_t f : {64, 355, 494})
        EXPECT_EQ(console.faces[f].material, 0) << f;
    EXPECT_EQ(bits(console.rotation[0]), 0x3FC90E9Du);
    EXPECT_EQ(console.rotation[1], 0.0f);
    EXPECT_EQ(bits(console.rotation[2]), 0x3EC90E9Du);
    EXPECT_EQ(console.position[2], 512.0f);

    for (const int32_t n : {4, 5}) {
        const Mesh& none = object_table[n];
        EXPECT_EQ(none.vertex_count + none.face_count + none.edge_count, 0);
        EXPECT_TRUE(none.vertices.empty() && none.faces.empty() && none.materials.empty());
        EXPECT_EQ(none.position[2], 0.0f);
    }
}

TEST_F(ObjectTable, StopsAtAMissingOrTooSmallFile) {
    std::filesystem::remove("ziriraza.3do");
    EXPECT_EQ(build_objects(), "./ziriraza.3do: cannot open: No such file or directory");
    EXPECT_EQ(object_table[2].face_count, 0);
    EXPECT_TRUE(object_table[2].materials.empty());

    write_int32s("ziriraza.3do", separate_triangles(2));
    write_int32s("gp2x.3do", separate_triangles(493));
    EXPECT_EQ(build_objects(), "./gp2x.3do: has 493 faces, fewer than the 494 it needs");
    EXPECT_EQ(object_table[6].face_count, 0);
    EXPECT_TRUE(object_table[6].faces.empty());
}

} // namespace
