#include "render3d/mesh.hpp"

#include <cmath>

namespace {

// Scratch of mesh_vertex_normals: how many face corners name each vertex, wrapping at 256.
uint8_t normal_use_counts[MESH_MAX_VERTICES];

Vec3 vec_sub(Vec3 a, Vec3 b) {
    return {wrap_sub(a.x, b.x), wrap_sub(a.y, b.y), wrap_sub(a.z, b.z)};
}

Vec3 vec_add(Vec3 a, Vec3 b) {
    return {wrap_add(a.x, b.x), wrap_add(a.y, b.y), wrap_add(a.z, b.z)};
}

Vec3 position_of(const Mesh& mesh, const Corner& corner) {
    const Vertex& v = mesh.vertices[corner.vertex];
    return {v.x, v.y, v.z};
}

// x*x + y*y + z*z wrapping to 32 bits.
int32_t squared_length(Vec3 a) {
    return wrap_add(wrap_add(wrap_mul(a.x, a.x), wrap_mul(a.y, a.y)), wrap_mul(a.z, a.z));
}

// The square root truncated toward zero. A sum of squares that wrapped below zero has no root:
// it counts as length 0, so that vector normalises to zero.
int32_t truncated_length(int32_t squared) {
    if (squared < 0) return 0;
    return static_cast<int32_t>(std::sqrt(static_cast<double>(squared)));
}

} // namespace

Vec3 vec_cross(Vec3 a, Vec3 b) {
    return {wrap_sub(wrap_mul(a.y, b.z), wrap_mul(a.z, b.y)),
            wrap_sub(wrap_mul(a.z, b.x), wrap_mul(a.x, b.z)),
            wrap_sub(wrap_mul(a.x, b.y), wrap_mul(a.y, b.x))};
}

Vec3 vec_normalise(Vec3 a) {
    const int32_t length = truncated_length(squared_length(a));
    if (length == 0) return {0, 0, 0};
    return {wrap_mul(a.x, 256) / length, wrap_mul(a.y, 256) / length, wrap_mul(a.z, 256) / length};
}

Vec3 vec_negate(Vec3 a) {
    return {wrap_sub(0, a.x), wrap_sub(0, a.y), wrap_sub(0, a.z)};
}

void mesh_face_normals(Mesh& mesh, int32_t flip) {
    mesh.face_normals.assign(mesh.face_count, Vec3{0, 0, 0});
    for (int32_t f = 0; f < mesh.face_count; ++f) {
        const Corner* corners = mesh.faces[f].corners;
        const Vec3 p0 = position_of(mesh, corners[0]);
        const Vec3 p1 = position_of(mesh, corners[1]);
        const Vec3 p2 = position_of(mesh, corners[2]);
        const Vec3 n = vec_normalise(vec_cross(vec_sub(p2, p1), vec_sub(p1, p0)));
        mesh.face_normals[f] = flip == 1 ? vec_negate(n) : n;
    }
}

void mesh_vertex_normals(Mesh& mesh) {
    mesh.vertex_normals.assign(mesh.vertex_count, Vec3{0, 0, 0});
    for (uint8_t& count : normal_use_counts)
        count = 0;
    for (int32_t f = 0; f < mesh.face_count; ++f) {
        for (const Corner& corner : mesh.faces[f].corners) {
            Vec3& sum = mesh.vertex_normals[corner.vertex];
            sum = vec_add(sum, mesh.face_normals[f]);
            ++normal_use_counts[corner.vertex];
        }
    }
    for (int32_t v = 0; v < mesh.vertex_count; ++v) {
        const int32_t uses = normal_use_counts[v];
        if (uses == 0) continue;
        const Vec3 sum = mesh.vertex_normals[v];
        mesh.vertex_normals[v] = vec_normalise({sum.x / uses, sum.y / uses, sum.z / uses});
    }
}

void mesh_reverse_winding(Mesh& mesh) {
    for (int32_t f = 0; f < mesh.face_count; ++f) {
        Corner* corners = mesh.faces[f].corners;
        const int32_t first = corners[0].vertex;
        corners[0].vertex = corners[2].vertex;
        corners[2].vertex = first;
    }
}
