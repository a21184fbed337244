#include "fx2d/effects.hpp"

#include "assets/pictures.hpp"
#include "fx2d/pixels.hpp"
#include "fx2d/tables.hpp"
#include "shell/platform.hpp"
#include "shell/timeline.hpp"

namespace {

// Rows 0..rows-1 of the frame, every pixel (x, y) set to pixel_at(x, y), two per store.
template <typename PixelAt> void paint_rows(uint16_t* frame, int32_t rows, PixelAt pixel_at) {
    for (int32_t y = 0; y < rows; ++y) {
        uint16_t* line = frame + y * SCREEN_WIDTH;
        for (int32_t x = 0; x < SCREEN_WIDTH; x += 2)
            store_pixel_pair(line + x, pixel_at(x, y), pixel_at(x + 1, y));
    }
}

// The ground's visible rows; below them the frame keeps whatever was drawn before.
constexpr int32_t GROUND_ROWS = 180;

} // namespace

void draw_tunnel(uint16_t* frame, const uint16_t* ramp) {
    const int32_t t = (scene_clock >> 3) & 0xFF;
    paint_rows(frame, SCREEN_HEIGHT, [=](int32_t x, int32_t y) {
        const TunnelPair pair = tunnel_map[y * SCREEN_WIDTH + x];
        return ramp[(t + pair.distance + pair.angle) & 0xFF];
    });
}

void draw_sine_layers(uint16_t* frame, const uint16_t* ramp) {
    // The drift table holds 2048 entries and is read up to m + 239 + 319, so m must stay in
    // 0..437; a negative clock (never seen on the timeline) wraps into that range too.
    int32_t m = (scene_clock >> 4) % 438;
    if (m < 0) m += 438;
    paint_rows(frame, SCREEN_HEIGHT, [=](int32_t x, int32_t y) {
        return ramp[(column_sine_table[x] + row_sine_table[y] + drift_sine_table[m + y + x]) &
                    0xFF];
    });
}

void draw_texture_backdrop(uint16_t* frame) {
    // The texture is stored bottom row first; screen column 160 shows texture column 0.
    paint_rows(frame, SCREEN_HEIGHT, [](int32_t x, int32_t y) {
        return landscape_texture[(255 - y) * 256 + ((x - 160) & 0xFF)];
    });
}

void draw_ground(uint16_t* frame) {
    // Timed by the tick counter itself, read as signed: one texel of depth every 16 ms.
    const int32_t t = static_cast<int32_t>(platform_ticks()) >> 4;
    paint_rows(frame, GROUND_ROWS, [=](int32_t x, int32_t y) {
        const GroundPair pair = ground_map[y * SCREEN_WIDTH + x];
        const int32_t v = (pair.depth + t) & 127;
        const int32_t u = pair.lateral & 127;
        return ground_texture[v * 128 + u];
    });
}
