#pragma once
// Per-frame vertex pipeline: rotate a Mesh by its pose, move it by its position, project it
// onto the 320 x 240 frame and shade its vertices. The results land in three static arrays
// indexed by vertex number, shared by every Mesh drawn; entries at and beyond a Mesh's
// vertex_count are never touched by its calls.
#include "render3d/mesh.hpp"

#include <cstdint>

// Camera frame: x right, y down, z away from the viewer at the origin.
struct ProjectedPoint {
    int32_t x, y;   // frame column and row (whole pixels)
    uint16_t shade; // 0..255, from compute_vertex_shades
};

// Rotated and translated vertices, camera coordinates in 24.8 (a model unit is 256).
extern Vec3 transformed_vertices[MESH_MAX_VERTICES];
// Projected vertices; a vertex at z <= 0 keeps whatever its entry held before.
extern ProjectedPoint projected_points[MESH_MAX_VERTICES];
// Rotated vertex normals; a unit normal (256 in the Mesh) has length 65536 here.
extern Vec3 rotated_vertex_normals[MESH_MAX_VERTICES];

// A rotation scaled by 256, elements truncated toward zero: Rz(r2) * Ry(r1) * Rx(r0).
struct RotationMatrix {
    int32_t m[3][3]; // [row][column]
};

// The matrix of a Mesh's rotation angles, built in single precision.
RotationMatrix rotation_matrix(const float rotation[3]);

// matrix * v, wrapping to 32 bits.
Vec3 rotate(const RotationMatrix& matrix, Vec3 v);

// Transformed entries = rotation matrix * vertices.
void transform_vertices(const Mesh& mesh);

// Adds the position (x 256, truncated) to the transformed entries, then projects those with
// z > 0 to ((x << 8) / z + 160, (y << 8) / z + 120).
void translate_and_project(const Mesh& mesh);

// Rotated normal entries = rotation matrix * vertex normals.
void rotate_vertex_normals(const Mesh& mesh);

// Shade of each projected point from its rotated normal's z (after rotate_vertex_normals).
void compute_vertex_shades(const Mesh& mesh);

// (nz >> 8) clamped to 0..255: normals turned away from the viewer are the brightest.
inline uint16_t shade_from_normal_z(int32_t nz) {
    const int32_t s = nz >> 8;
    return static_cast<uint16_t>(s < 0 ? 0 : s > 255 ? 255 : s);
}
