#pragma once
// The 3D object model and the integer vector maths that gives it its normals.
//
// A Mesh is built once at start-up (from a mesh file or procedurally) and never freed. Per
// frame the scene path may change its pose and the z of its vertices; everything else is
// read only. Its normals are never recomputed, not even when the heights change.
//
// The records hold every field of the object model, also those that nothing reads (a vertex's
// tag, a corner's u and v, a face's shade, the edges): they are part of the model as defined,
// and stay.
#include "core/numbers.hpp"

#include <cstdint>
#include <vector>

// Capacities of the per-vertex pipeline arrays and of the 16-bit face order: no Mesh is larger.
inline constexpr int32_t MESH_MAX_VERTICES = 262144;
inline constexpr int32_t MESH_MAX_FACES = 65536;

// An integer vector; as a direction its unit length is 256 (8 fraction bits).
struct Vec3 {
    int32_t x, y, z;
    bool operator==(const Vec3&) const = default;
};

struct Vertex {
    int32_t x, y, z; // model units
    int16_t tag;     // -1 from the mesh-file loader; nothing reads it
};

struct Corner {
    int32_t vertex; // index into Mesh::vertices
    int32_t u, v;   // per-corner texture coordinates: never set or read
};

// One triangle. The corner order is its winding: it decides the direction of the face normal
// and, once projected, whether a renderer culls the face.
struct Face {
    Corner corners[3];
    int32_t shade;    // flat shade slot: never set or read
    int32_t material; // index into Mesh::materials
};

// A line between two vertices, as read from a mesh file; no scene draws it.
struct Edge {
    int32_t from, to; // vertex indices
    uint32_t colour;  // low 16 bits RGB565; the loader sets 0x00FFFFFF
};

// A square texture addressed by 8-bit coordinates u, v (0..255): 256 >> shift texels a side,
// texel (u, v) at ((v >> shift) << (8 - shift)) + (u >> shift).
struct Texture {
    int32_t shift;
    const uint16_t* pixels; // RGB565, row after row along v; owned by the built-in pictures
};

inline constexpr int32_t MATERIAL_RAMP = 8;
inline constexpr int32_t MATERIAL_TEXTURE = 16;

// What the faces naming it are filled with. Only the first entry of a list is ever used.
struct Material {
    int32_t type = 0;                   // MATERIAL_RAMP or MATERIAL_TEXTURE
    int32_t ramp_count = 0;             // entries in ramps: 1 on ramp materials
    int32_t texture_count = 0;          // entries in textures: 1 on texture materials
    std::vector<const uint16_t*> ramps; // colour ramps of 256 entries in the ramp bank
    std::vector<Texture> textures;
};

// One 3D object. Each count equals the size of its arrays (edges: edge_count entries,
// face_normals: face_count, vertex_normals: vertex_count); every Corner::vertex, Edge::from
// and Edge::to is below vertex_count, every Face::material below materials.size().
// A default Mesh is the all-zero, unbuilt object.
struct Mesh {
    int32_t vertex_count = 0; // at most MESH_MAX_VERTICES
    int32_t face_count = 0;   // at most MESH_MAX_FACES
    int32_t edge_count = 0;
    std::vector<Vertex> vertices;
    std::vector<Face> faces;
    std::vector<Edge> edges;
    std::vector<Vec3> face_normals;   // unit length 256, one per face
    std::vector<Vec3> vertex_normals; // unit length 256 (or zero), one per vertex
    std::vector<Material> materials;
    float rotation[3] = {0, 0, 0}; // radians about x, y, z
    float position[3] = {0, 0, 0}; // model units, added after rotation
};

// (a.y*b.z - a.z*b.y, a.z*b.x - a.x*b.z, a.x*b.y - a.y*b.x), wrapping to 32 bits.
Vec3 vec_cross(Vec3 a, Vec3 b);

// a scaled to length 256: L = sqrt(x*x + y*y + z*z) with the sum of squares wrapping to 32
// bits, the root in double truncated; (x << 8) / L per component, or zero when L is 0.
// A short vector can come out longer than 256, a long one (sum past 2^31) zero or wrong.
Vec3 vec_normalise(Vec3 a);

// (-x, -y, -z).
Vec3 vec_negate(Vec3 a);

// Fills face_normals from the current vertices: normalised (P2 - P1) x (P1 - P0), negated
// when flip is 1. Every builder passes 1.
void mesh_face_normals(Mesh& mesh, int32_t flip);

// Fills vertex_normals from face_normals: each vertex's normal is the normalised mean of the
// normals of the face corners naming it (a face naming it twice counts twice, an unused
// vertex keeps zero). At most 255 corners may name one vertex.
void mesh_vertex_normals(Mesh& mesh);

// Swaps the vertex of corner 0 with that of corner 2 in every face (u, v stay in place).
void mesh_reverse_winding(Mesh& mesh);
