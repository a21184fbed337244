#include "render3d/objects.hpp"

#include "assets/pictures.hpp"
#include "fx2d/ramps.hpp"
#include "render3d/mesh_file.hpp"

#include <cmath>

Mesh object_table[OBJECT_COUNT];

namespace {

constexpr const char* EMBLEM_FILE = "./ziriraza.3do";
constexpr const char* CONSOLE_FILE = "./gp2x.3do";
constexpr float EMBLEM_SCALE = 1024.0f;
constexpr float CONSOLE_SCALE = 256.0f;
// Object 6's material ranges name faces up to 493.
constexpr int32_t CONSOLE_MIN_FACES = 494;
constexpr int32_t LIGHT_MAP_SHIFT = 2; // 64 x 64 texels

// Height of grid object n at row i, column j: a sum of sines in double precision, terms added
// left to right, truncated toward zero. Heights stay within -39..42.
int32_t grid_height(int32_t n, int32_t i, int32_t j) {
    const double di = i;
    const double dj = j;
    const double diagonal = i + j; // summed as integers
    double h = 0;
    if (n == 0)
        h = 8 * std::sin(dj) + 12 * std::sin(di) + 12 * std::sin(0.5 * diagonal) +
            8 * std::sin(di + 0.5 * dj) + 4 * std::sin(0.25 * dj + 4 * std::sin(0.125 * di));
    else if (n == 1)
        h = 16 * std::sin(0.25 * dj) + 16 * std::sin(0.25 * di);
    else
        h = 16 * std::sin(dj / 3.0) + 16 * std::sin(0.5 * di) + 8 * std::sin(diagonal);
    return static_cast<int32_t>(h);
}

void set_corners(Face& face, int32_t a, int32_t b, int32_t c) {
    face.corners[0].vertex = a;
    face.corners[1].vertex = b;
    face.corners[2].vertex = c;
}

// Vertices row by row, x = j * 10 - 160, y = i * 10 - 160; each square of row r, column c gives
// faces 64r + 2c and 64r + 2c + 1.
void build_grid_geometry(Mesh& mesh, int32_t n) {
    mesh.vertex_count = GRID_VERTICES;
    mesh.face_count = GRID_FACES;
    mesh.vertices.assign(GRID_VERTICES, Vertex{});
    mesh.faces.assign(GRID_FACES, Face{});
    for (int32_t i = 0; i < GRID_SIDE; ++i)
        for (int32_t j = 0; j < GRID_SIDE; ++j)
            mesh.vertices[i * GRID_SIDE + j] = {j * 10 - 160, i * 10 - 160, grid_height(n, i, j),
                                                0};
    for (int32_t r = 0; r < GRID_SIDE - 1; ++r) {
        for (int32_t c = 0; c < GRID_SIDE - 1; ++c) {
            const int32_t v = r * GRID_SIDE + c;
            Face* square = &mesh.faces[64 * r + 2 * c];
            set_corners(square[0], v, v + 1, v + GRID_SIDE);
            set_corners(square[1], v + GRID_SIDE, v + 1, v + GRID_SIDE + 1);
        }
    }
}

Material ramp_material(int32_t slot) {
    Material m;
    m.type = MATERIAL_RAMP;
    m.ramp_count = 1;
    m.ramps = {ramp_slot(slot)};
    return m;
}

Material texture_material(const uint16_t* light_map) {
    Material m;
    m.type = MATERIAL_TEXTURE;
    m.texture_count = 1;
    m.textures = {Texture{LIGHT_MAP_SHIFT, light_map}};
    return m;
}

// Faces first..last (inclusive, clipped to the mesh) take the given material.
void set_material(Mesh& mesh, int32_t first, int32_t last, int32_t material) {
    for (int32_t f = first; f <= last && f < mesh.face_count; ++f)
        mesh.faces[f].material = material;
}

void set_pose(Mesh& mesh, float rx, float ry, float rz, float x, float y, float z) {
    mesh.rotation[0] = rx;
    mesh.rotation[1] = ry;
    mesh.rotation[2] = rz;
    mesh.position[0] = x;
    mesh.position[1] = y;
    mesh.position[2] = z;
}

void build_grid(Mesh& mesh, int32_t n, Material material, float z) {
    build_grid_geometry(mesh, n);
    set_pose(mesh, 0, 0, 0, 0, 0, z);
    mesh.materials = {material};
    set_material(mesh, 0, mesh.face_count - 1, 0);
    if (n == OBJECT_RIPPLES) mesh_reverse_winding(mesh);
    mesh_face_normals(mesh, 1);
    mesh_vertex_normals(mesh);
}

std::string build_emblem(Mesh& mesh) {
    std::string error = mesh_load_3do(EMBLEM_FILE, mesh, 1, EMBLEM_SCALE);
    if (!error.empty()) return error;
    mesh.materials = {ramp_material(2)};
    set_material(mesh, 0, mesh.face_count - 1, 0);
    set_pose(mesh, 0, 0, 0, 0, 180.0f, 8192.0f);
    return "";
}

// Grey body and screen, red buttons and stick, by face ranges the mesh file is ordered for.
std::string build_console(Mesh& mesh) {
    std::string error = mesh_load_3do(CONSOLE_FILE, mesh, 1, CONSOLE_SCALE);
    if (!error.empty()) return error;
    if (mesh.face_count < CONSOLE_MIN_FACES)
        return std::string(CONSOLE_FILE) + ": has " + std::to_string(mesh.face_count) +
               " faces, fewer than the " + std::to_string(CONSOLE_MIN_FACES) + " it needs";
    mesh.materials = {texture_material(grey_light_map), texture_material(red_light_map)};
    set_material(mesh, 0, 63, 1);
    set_material(mesh, 64, 355, 0);
    set_material(mesh, 356, 493, 1);
    set_material(mesh, 494, mesh.face_count - 1, 0);
    // 0x3FC90E9D and a quarter of it, 0x3EC90E9D: just short of pi / 2 and pi / 8.
    set_pose(mesh, 1.5707585f, 0, 0.39268962f, 0, 0, 512.0f);
    return "";
}

} // namespace

std::string build_object(Mesh& mesh, int32_t n) {
    Mesh built;
    std::string error;
    switch (n) {
    case OBJECT_GROUND_GRID:
        build_grid(built, n, ramp_material(1), 256.0f);
        break;
    case OBJECT_SINE_FIELD:
        build_grid(built, n, texture_material(violet_light_map), 256.0f);
        break;
    case OBJECT_EMBLEM:
        error = build_emblem(built);
        break;
    case OBJECT_RIPPLES:
        build_grid(built, n, texture_material(violet_light_map), 384.0f);
        break;
    case OBJECT_CONSOLE:
        error = build_console(built);
        break;
    default:
        return "";
    }
    if (error.empty()) mesh = std::move(built);
    return error;
}

std::string build_objects() {
    for (int32_t n = 0; n < OBJECT_COUNT; ++n) {
        std::string error = build_object(object_table[n], n);
        if (!error.empty()) return error;
    }
    return "";
}
