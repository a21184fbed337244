#include "render3d/transform.hpp"

#include "core/frame.hpp"

#include <cmath>

Vec3 transformed_vertices[MESH_MAX_VERTICES];
ProjectedPoint projected_points[MESH_MAX_VERTICES];
Vec3 rotated_vertex_normals[MESH_MAX_VERTICES];

namespace {

// A matrix element: a value within -1..1, times 256, truncated toward zero.
int32_t scaled(float element) {
    return static_cast<int32_t>(element * 256.0f);
}

// row . v, wrapping to 32 bits.
int32_t dot(const int32_t row[3], Vec3 v) {
    return wrap_add(wrap_add(wrap_mul(row[0], v.x), wrap_mul(row[1], v.y)), wrap_mul(row[2], v.z));
}

// (value << 8) / z + centre, z > 0, the sum wrapping to 32 bits.
int32_t project(int32_t value, int32_t z, int32_t centre) {
    return wrap_add((value << 8) / z, centre);
}

} // namespace

RotationMatrix rotation_matrix(const float rotation[3]) {
    const float sa = std::sin(rotation[0]), sb = std::sin(rotation[1]), sc = std::sin(rotation[2]);
    const float ca = std::cos(rotation[0]), cb = std::cos(rotation[1]), cc = std::cos(rotation[2]);
    // Formed once and reused: the grouping decides the last bit of some elements.
    const float p = sa * sb;
    const float q = ca * sb;
    RotationMatrix r;
    r.m[0][0] = scaled(cb * cc);
    r.m[0][1] = scaled(cc * p - ca * sc);
    r.m[0][2] = scaled(cc * q + sa * sc);
    r.m[1][0] = scaled(cb * sc);
    r.m[1][1] = scaled(ca * cc + sc * p);
    r.m[1][2] = scaled(cc * -sa + sc * q);
    r.m[2][0] = static_cast<int32_t>(sb * -256.0f);
    r.m[2][1] = scaled(cb * sa);
    r.m[2][2] = scaled(ca * cb);
    return r;
}

Vec3 rotate(const RotationMatrix& matrix, Vec3 v) {
    return {dot(matrix.m[0], v), dot(matrix.m[1], v), dot(matrix.m[2], v)};
}

void transform_vertices(const Mesh& mesh) {
    const RotationMatrix matrix = rotation_matrix(mesh.rotation);
    for (int32_t i = 0; i < mesh.vertex_count; ++i) {
        const Vertex& v = mesh.vertices[i];
        transformed_vertices[i] = rotate(matrix, {v.x, v.y, v.z});
    }
}

void translate_and_project(const Mesh& mesh) {
    const int32_t tx = static_cast<int32_t>(mesh.position[0] * 256.0f);
    const int32_t ty = static_cast<int32_t>(mesh.position[1] * 256.0f);
    const int32_t tz = static_cast<int32_t>(mesh.position[2] * 256.0f);
    for (int32_t i = 0; i < mesh.vertex_count; ++i) {
        Vec3& t = transformed_vertices[i];
        t = {wrap_add(t.x, tx), wrap_add(t.y, ty), wrap_add(t.z, tz)};
    }
    for (int32_t i = 0; i < mesh.vertex_count; ++i) {
        const Vec3& t = transformed_vertices[i];
        if (t.z <= 0) continue; // no near plane: the point keeps its old position
        projected_points[i].x = project(t.x, t.z, FRAME_CENTRE_COLUMN);
        projected_points[i].y = project(t.y, t.z, FRAME_CENTRE_ROW);
    }
}

void rotate_vertex_normals(const Mesh& mesh) {
    const RotationMatrix matrix = rotation_matrix(mesh.rotation);
    for (int32_t i = 0; i < mesh.vertex_count; ++i)
        rotated_vertex_normals[i] = rotate(matrix, mesh.vertex_normals[i]);
}

void compute_vertex_shades(const Mesh& mesh) {
    for (int32_t i = 0; i < mesh.vertex_count; ++i)
        projected_points[i].shade = shade_from_normal_z(rotated_vertex_normals[i].z);
}
