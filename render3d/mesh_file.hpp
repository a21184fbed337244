#pragma once
// The .3do mesh file: little-endian signed 32-bit integers, no magic, no padding.
//   header   V (vertices), E (edges), F (faces), in that order
//   V x      x, y, z, each stored as coordinate + 65536, in file units
//   E x      first vertex, second vertex (0-based)
//   F x      vertex of corner 0, corner 1, corner 2 (the winding)
// Nothing after the last face is read.
#include "render3d/mesh.hpp"

#include <cstdint>
#include <string>

// Reads the named file into mesh: counts, vertices (coordinate / scale in single precision,
// truncated, tag -1), edges (colour 0x00FFFFFF) and face corners, then the face normals with
// flip and the vertex normals. Materials, face materials and the pose are left to the caller.
// scale must exceed 1, so that every coordinate fits 32 bits.
// Returns "" on success. Otherwise returns "<file name>: <problem>" and leaves mesh as it was:
// a file that cannot be opened or read (a folder, say) or ends early, a negative count, more
// vertices or faces than the renderer holds, a face or edge naming a vertex outside the file,
// or a vertex named by more than 255 face corners (its normal could not be averaged).
std::string mesh_load_3do(const char* file_name, Mesh& mesh, int32_t flip, float scale);
