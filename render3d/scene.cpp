#include "render3d/scene.hpp"

#include "core/demo_state.hpp"
#include "fx2d/tables.hpp"
#include "render3d/objects.hpp"
#include "render3d/raster.hpp"
#include "render3d/transform.hpp"

#include <cmath>

RippleTimers ripple_timers = {0, 0, 0};
GlibcRand ripple_random = GLIBC_UNSEEDED;

namespace {

int32_t& height(Mesh& mesh, int32_t row, int32_t column) {
    return mesh.vertices[row * GRID_SIDE + column].z;
}

// Turns the object about the vertical axis by -t / 2048 radians (t negated as an integer).
void spin(Mesh& mesh, int32_t t) {
    mesh.rotation[1] = static_cast<float>(static_cast<double>(wrap_sub(0, t)) * 0.00048828125);
}

// (t mod period) >> shift; the remainder is taken non-negative so a table index never is.
int32_t wave_phase(int32_t t, int32_t period, int32_t shift) {
    const int32_t r = t % period;
    return (r < 0 ? r + period : r) >> shift;
}

// Whether `interval` ms have passed since `last` (unsigned, so wrap-around is harmless); if
// so, `last` becomes t.
bool due(uint32_t& last, int32_t t, uint32_t interval) {
    if (static_cast<uint32_t>(t) - last < interval) return false;
    last = static_cast<uint32_t>(t);
    return true;
}

// Hands the posed and projected Mesh to the renderer the timeline chose.
void draw_selected(const Mesh& mesh, uint16_t* frame) {
    if (renderer_choice == RENDERER_BY_MATERIAL) return draw_mesh_by_material(mesh, frame);
    fill_mode = scene_fill_mode;
    draw_mesh(mesh, scene_ramp_slot, frame);
}

} // namespace

void update_sine_field(Mesh& mesh, int32_t t) {
    const int32_t p = wave_phase(t, 2400, 5); // 0..74: one row-wave entry every 32 ms
    const int32_t q = wave_phase(t, 800, 4);  // 0..49: one column-wave entry every 16 ms
    for (int32_t r = 0; r < GRID_SIDE; ++r)
        for (int32_t c = 0; c < GRID_SIDE; ++c)
            height(mesh, r, c) = grid_row_wave_table[p + r] + grid_diagonal_wave_table[r + c] +
                                 grid_column_wave_table[q + c];
}

void ripple_drop(Mesh& mesh, int32_t drop_height) {
    const int32_t a = glibc_rand(ripple_random) % 14 - 7; // column offset
    const int32_t b = glibc_rand(ripple_random) % 14 - 7; // row offset
    for (int32_t r = 15 + b; r <= 17 + b; ++r)
        for (int32_t c = 15 + a; c <= 17 + a; ++c)
            height(mesh, r, c) = drop_height;
}

void relax_ripples(Mesh& mesh) {
    for (int32_t r = 1; r < GRID_SIDE - 1; ++r)
        for (int32_t c = 1; c < GRID_SIDE - 1; ++c)
            height(mesh, r, c) = (height(mesh, r, c - 1) + height(mesh, r, c + 1) +
                                  height(mesh, r - 1, c) + height(mesh, r + 1, c)) >>
                                 2;
}

void reset_ripples() {
    ripple_timers = {0, 0, 0};
    ripple_random = GLIBC_UNSEEDED;
}

void update_ripples(Mesh& mesh, int32_t t) {
    if (due(ripple_timers.large_drop, t, 1024)) ripple_drop(mesh, 255);
    if (due(ripple_timers.small_drop, t, 512)) ripple_drop(mesh, 63);
    if (due(ripple_timers.relaxation, t, 32)) relax_ripples(mesh);
}

void animate_pose(Mesh& mesh, int32_t selector, int32_t t) {
    switch (selector) {
    case 0:
        mesh.rotation[0] = static_cast<float>(DEMO_PI / -2);
        mesh.position[1] = 64.0f;
        spin(mesh, t);
        break;
    case 1:
        mesh.position[1] = 0.0f;
        mesh.position[2] = 384.0f;
        mesh.rotation[0] = static_cast<float>(DEMO_PI / -4);
        spin(mesh, t);
        break;
    case 2:
        mesh.rotation[0] = static_cast<float>(DEMO_PI);
        mesh.position[1] = 1024.0f;
        spin(mesh, t);
        break;
    case 3:
        // Bobs 24 units about 96, one period every 512 * 2 pi ms.
        mesh.position[1] = static_cast<float>(std::sin(t * 0.001953125) * 24.0 + 96.0);
        mesh.rotation[0] = static_cast<float>(DEMO_PI / 2);
        spin(mesh, t);
        break;
    case 6:
        // One turn every 540 * 2 pi ms, the way the spin turns.
        mesh.rotation[1] = static_cast<float>(((t / 3.0) / 180.0) / -DEMO_PI);
        break;
    default:
        break;
    }
}

void animate_and_draw_scene(uint16_t* frame, int32_t variant) {
    if (variant == 1) update_sine_field(object_table[OBJECT_SINE_FIELD], scene_clock);
    if (scene_selector < 0 || scene_selector >= OBJECT_COUNT) return;
    Mesh& mesh = object_table[scene_selector];
    animate_pose(mesh, scene_selector, scene_clock);
    if (scene_selector == OBJECT_RIPPLES) update_ripples(mesh, scene_clock);
    transform_vertices(mesh);
    translate_and_project(mesh);
    draw_selected(mesh, frame);
}
