#pragma once
// The polygon renderers: draw a transformed and projected Mesh into the 320 x 240 RGB565
// frame as filled triangles in painter's order, far faces first. No depth is stored.
#include "render3d/mesh.hpp"

#include <cstdint>

// Fill modes of draw_mesh.
inline constexpr int32_t FILL_GOURAUD = 8;      // colour ramp indexed by the vertex shades; culled
inline constexpr int32_t FILL_ENVIRONMENT = 16; // violet light map by environment coordinates

// draw_mesh's fill mode, stored by its caller right before each call: part of the renderer's
// defined interface, as the scene path sets it (from the scene fill mode) and draw_mesh reads it.
extern int32_t fill_mode;

// Texture coordinates derived from a vertex's rotated normal, each 0..255.
struct EnvironmentCoordinate {
    int32_t u, v;
};

// Rebuilt for the Mesh being drawn by every environment-mapped or material fill.
extern EnvironmentCoordinate environment_coordinates[MESH_MAX_VERTICES];

// Fills environment_coordinates for the Mesh's vertices from rotated_vertex_normals.
void compute_environment_coordinates(const Mesh& mesh);

// Draws the Mesh in fill_mode: FILL_GOURAUD with the ramp of the given bank slot, faces
// turned away culled; FILL_ENVIRONMENT with the violet light map, every face filled. Needs
// this frame's transform_vertices and translate_and_project.
void draw_mesh(const Mesh& mesh, int32_t ramp_slot_number, uint16_t* frame);

// Draws the Mesh environment-mapped with each face's own Material texture, faces turned away
// culled. Needs this frame's transform_vertices and translate_and_project.
void draw_mesh_by_material(const Mesh& mesh, uint16_t* frame);
