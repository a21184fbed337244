#include "fx2d/effects.hpp"

#include "assets/pictures.hpp"
#include "core/demo_state.hpp"
#include "core/frame.hpp"
#include "core/platform.hpp"
#include "fx2d/paint.hpp"
#include "fx2d/tables.hpp"

#include <cstring>

void draw_tunnel(uint16_t* frame, const uint16_t* ramp) {
    // The ramp turned by t: pixel p is then entry tunnel_spiral[p] of it, one lookup each.
    const int32_t t = (scene_clock >> 3) & 0xFF;
    uint16_t turned[256];
    for (int32_t i = 0; i < 256; ++i)
        turned[i] = ramp[(t + i) & 0xFF];
    paint_by_index(frame, tunnel_spiral, FRAME_PIXELS, turned);
}

void draw_sine_layers(uint16_t* frame, const uint16_t* ramp) {
    // The drift table holds 2048 entries and is read up to m + 239 + 319, so m must stay in
    // 0..437; a negative clock (never seen on the timeline) wraps into that range too.
    int32_t m = (scene_clock >> 4) % 438;
    if (m < 0) m += 438;
    // The ramp continued past its end, so that a row's colours are the ramp turned by its row
    // term: the column and drift terms then index it at wrapped[row term + their sum].
    uint16_t wrapped[SINE_INDEX_LIMIT];
    for (int32_t i = 0; i < SINE_INDEX_LIMIT; ++i)
        wrapped[i] = ramp[i & 0xFF];
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y) {
        const int32_t drift = m + y; // the row's first drift entry
        paint_by_index_sum(frame + y * FRAME_WIDTH, column_sine_bytes,
                           drift_sine_bytes[drift & 3] + (drift & ~3), FRAME_WIDTH,
                           wrapped + row_sine_table[y]);
    }
}

void draw_texture_backdrop(uint16_t* frame) {
    std::memcpy(frame, backdrop_picture, sizeof backdrop_picture);
}

void draw_ground(uint16_t* frame) {
    // Timed by the tick counter itself, read as signed: one texel of depth every 16 ms. A
    // frame row shows one texture row, chosen by its depth.
    const int32_t t = static_cast<int32_t>(platform_ticks()) >> 4;
    for (int32_t y = 0; y < GROUND_ROWS; ++y) {
        const int32_t v = (ground_map[y * FRAME_WIDTH].depth + t) & 127;
        paint_by_index(frame + y * FRAME_WIDTH, ground_column + y * FRAME_WIDTH, FRAME_WIDTH,
                       ground_texture + v * 128);
    }
}
