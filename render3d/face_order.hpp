#pragma once
// Painter's ordering: every face of the Mesh being drawn gets a depth key, and the faces are
// sorted far to near. Both arrays are rebuilt for every Mesh drawn.
#include "render3d/mesh.hpp"

#include <cstdint>

// Entry k belongs to the face named at position k of face_order.
extern int32_t depth_keys[MESH_MAX_VERTICES];
// Face indices in drawing order once sorted; 16 bits, hence at most 65536 faces.
extern uint16_t face_order[MESH_MAX_VERTICES];

// The vertices of the corners of the Mesh's faces, by face index: a compact copy of the
// Faces' corner vertices for the fills, which read them in drawing order.
struct FaceCorners {
    int32_t vertex[3];
};
extern FaceCorners face_corners[MESH_MAX_FACES];

// For every face i of the Mesh: face_order[i] = i and depth_keys[i] = -(s >> 2), s the sum
// (wrapping) of the transformed z of its three corners, so the farthest face has the least key;
// face_corners[i] = its corners' vertices.
void build_depth_keys(const Mesh& mesh);

// Sorts keys[first..last] ascending by quicksort with Hoare partitioning, moving each
// face_order entry with its key. Unstable: equal keys end up in the order these exact
// exchanges give, which decides which of two equally deep faces stays visible.
void sort_faces(int32_t first, int32_t last, int32_t* keys);
