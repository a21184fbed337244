#pragma once
// The object table: the demo's 3D objects, built once at start-up.
#include "render3d/mesh.hpp"

#include <cstdint>
#include <string>

// Objects 0, 1 and 3 are height grids, 2 and 6 come from mesh files; 4 and 5 stay all zero.
inline constexpr int32_t OBJECT_COUNT = 7;
inline constexpr int32_t OBJECT_GROUND_GRID = 0; // Gouraud-shaded grid over the ground
inline constexpr int32_t OBJECT_SINE_FIELD = 1;  // grid whose heights follow sine waves
inline constexpr int32_t OBJECT_EMBLEM = 2;      // the mesh of ziriraza.3do
inline constexpr int32_t OBJECT_RIPPLES = 3;     // grid the rain falls on
inline constexpr int32_t OBJECT_CONSOLE = 6;     // the mesh of gp2x.3do, textured by material
extern Mesh object_table[OBJECT_COUNT];

// Height grids: 33 x 33 vertices, x and y from -160 to 160 in steps of 10, two faces a square.
inline constexpr int32_t GRID_SIDE = 33;
inline constexpr int32_t GRID_VERTICES = GRID_SIDE * GRID_SIDE;
inline constexpr int32_t GRID_FACES = 32 * 32 * 2;

// Builds object number n into mesh (nothing for 4 and 5). Reads the mesh files of objects 2
// and 6 from the current folder and needs the ramp bank built. Returns "" on success, else a
// message naming the file and the problem; mesh is then left unbuilt.
std::string build_object(Mesh& mesh, int32_t n);

// Builds every object of the table in order, stopping at the first failure (its message).
std::string build_objects();
