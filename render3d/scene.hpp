#pragma once
// The 3D scene path of one frame: poses the object the timeline selected from the scene
// clock, reshapes its height grid where its scene asks for it, transforms and projects it,
// and hands it to the renderer the timeline chose.
#include "core/glibc_rand.hpp"
#include "render3d/mesh.hpp"

#include <cstdint>

// Scene-clock times (ms) of the last large drop, small drop and relaxation pass of the
// ripples. Zero at start, so the first call of update_ripples does all three.
struct RippleTimers {
    uint32_t large_drop, small_drop, relaxation;
};
extern RippleTimers ripple_timers;
// Places the drops; nothing else draws from it.
extern GlibcRand ripple_random;

// Puts the timers and the random numbers back as a fresh process starts with them.
void reset_ripples();

// The object the scene selector names, posed for the scene clock, projected and drawn by the
// renderer the timeline chose. Variant 1 first reshapes the sine field (object 1); the rain
// falls on the ripple grid (object 3) in the frames that draw it.
void animate_and_draw_scene(uint16_t* frame, int32_t variant);

// Writes the pose of object number `selector` for scene clock t.
void animate_pose(Mesh& mesh, int32_t selector, int32_t t);

// Heights of a height grid from the three grid wave tables, flowing with scene clock t: the
// row term repeats every 2400 ms, the column term every 800 ms.
void update_sine_field(Mesh& mesh, int32_t t);

// Rain on a height grid at scene clock t: a large drop every 1024 ms, a small one every
// 512 ms, a relaxation pass every 32 ms.
void update_ripples(Mesh& mesh, int32_t t);

// Sets a 3 x 3 block of heights near the grid's centre, placed by two draws of ripple_random:
// column offset first, then row offset, each -7..6.
void ripple_drop(Mesh& mesh, int32_t height);

// One in-place pass over the inner vertices, rows then columns ascending: each height becomes
// the sum of its four neighbours >> 2. The border keeps its built heights.
void relax_ripples(Mesh& mesh);
