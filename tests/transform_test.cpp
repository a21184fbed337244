#include "render3d/transform.hpp"

#include <gtest/gtest.h>

#include <array>

namespace {

using Rows = std::array<std::array<int32_t, 3>, 3>;

Rows rows_of(float r0, float r1, float r2) {
    const float angles[3] = {r0, r1, r2};
    const RotationMatrix m = rotation_matrix(angles);
    Rows rows;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            rows[r][c] = m.m[r][c];
    return rows;
}

TEST(RotationMatrix, IdentityAndQuarterTurns) {
    EXPECT_EQ(rows_of(0, 0, 0), (Rows{{{256, 0, 0}, {0, 256, 0}, {0, 0, 256}}}));
    // cos of the quarter turn built from the demo's pi, times 256, truncates to 0.
    EXPECT_EQ(rows_of(-1.5707585f, 0, 0), (Rows{{{256, 0, 0}, {0, 0, 256}, {0, -256, 0}}}));
    EXPECT_EQ(rows_of(0, 1.5707585f, 0), (Rows{{{0, 0, 256}, {0, 256, 0}, {-256, 0, 0}}}));
}

TEST(RotationMatrix, RotatesVectorsWithWrapping) {
    const float none[3] = {0, 0, 0};
    const RotationMatrix identity = rotation_matrix(none);
    const Vec3 v = rotate(identity, {10, -3, 7});
    EXPECT_EQ(v.x, 2560);
    EXPECT_EQ(v.y, -768);
    EXPECT_EQ(v.z, 1792);
    // 2^24 * 256 wraps to 0 in 32 bits.
    EXPECT_EQ(rotate(identity, {1 << 24, 0, 0}).x, 0);
}

// A Mesh with `count` vertices at the origin and an identity pose.
Mesh points(int32_t count) {
    Mesh mesh;
    mesh.vertex_count = count;
    mesh.vertices.assign(count, Vertex{0, 0, 0, 0});
    mesh.vertex_normals.assign(count, Vec3{0, 0, 0});
    return mesh;
}

TEST(TranslateAndProject, ProjectsTruncatingTowardZero) {
    Mesh mesh = points(3);
    transformed_vertices[0] = {0, 0, 65536};
    transformed_vertices[1] = {2560, 0, 65536};
    transformed_vertices[2] = {-100, 0, 65536};
    translate_and_project(mesh);
    EXPECT_EQ(projected_points[0].x, 160);
    EXPECT_EQ(projected_points[0].y, 120);
    EXPECT_EQ(projected_points[1].x, 170);
    EXPECT_EQ(projected_points[1].y, 120);
    EXPECT_EQ(projected_points[2].x, 160); // -25600 / 65536 truncates to 0
}

TEST(TranslateAndProject, PointsAtOrBehindTheViewerKeepTheirOldPosition) {
    Mesh mesh = points(2);
    projected_points[0] = {7, 8, 99};
    projected_points[1] = {9, 10, 99};
    transformed_vertices[0] = {256, 256, 0};
    transformed_vertices[1] = {256, 256, -5};
    translate_and_project(mesh);
    EXPECT_EQ(projected_points[0].x, 7);
    EXPECT_EQ(projected_points[0].y, 8);
    EXPECT_EQ(projected_points[1].x, 9);
    EXPECT_EQ(projected_points[1].y, 10);
    // The shade is still recomputed for them.
    mesh.vertex_normals[0] = {0, 0, 256};
    rotate_vertex_normals(mesh);
    compute_vertex_shades(mesh);
    EXPECT_EQ(projected_points[0].shade, 255);
    EXPECT_EQ(projected_points[1].shade, 0);
}

TEST(TranslateAndProject, PositionIsTruncatedAfterScaling) {
    Mesh mesh = points(1);
    mesh.position[0] = -0.5f;
    mesh.position[1] = 0.001f;
    mesh.position[2] = 256.0f;
    transform_vertices(mesh);
    translate_and_project(mesh);
    EXPECT_EQ(transformed_vertices[0].x, -128);
    EXPECT_EQ(transformed_vertices[0].y, 0);
    EXPECT_EQ(transformed_vertices[0].z, 65536);
    EXPECT_EQ(projected_points[0].x, 160); // -32768 / 65536 truncates to 0
}

TEST(TranslateAndProject, LeavesEntriesBeyondTheMeshAlone) {
    Mesh mesh = points(1);
    transformed_vertices[1] = {1, 2, 3};
    mesh.position[2] = 1.0f;
    transform_vertices(mesh);
    translate_and_project(mesh);
    EXPECT_EQ(transformed_vertices[1].z, 3);
}

TEST(Shades, ComeFromTheRotatedNormalsZ) {
    EXPECT_EQ(shade_from_normal_z(65536), 255); // 256 clamps to 255
    EXPECT_EQ(shade_from_normal_z(65535), 255);
    EXPECT_EQ(shade_from_normal_z(32768), 128);
    EXPECT_EQ(shade_from_normal_z(255), 0);
    EXPECT_EQ(shade_from_normal_z(-1), 0);
}

} // namespace
