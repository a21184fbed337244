#include "fx2d/tables.hpp"

#include "assets/pictures.hpp"
#include "core/numbers.hpp"

#include <cmath>

int32_t column_sine_table[2048];
int32_t row_sine_table[2048];
int32_t drift_sine_table[2048];
int32_t grid_diagonal_wave_table[2048];
int32_t grid_column_wave_table[2048];
int32_t grid_row_wave_table[2048];
int32_t reciprocal_table[4096];
GroundPair ground_map[FRAME_PIXELS];
TunnelPair tunnel_map[FRAME_PIXELS];
int16_t zoom_map_a[ZOOM_LEVELS][FRAME_PIXELS];
int16_t zoom_map_b[ZOOM_LEVELS][FRAME_PIXELS];
uint32_t colour_planes[FRAME_PIXELS];
alignas(4) uint8_t tunnel_spiral[FRAME_PIXELS];
alignas(4) uint8_t column_sine_bytes[FRAME_WIDTH];
alignas(4) uint8_t drift_sine_bytes[4][1024];
alignas(4) uint8_t ground_column[GROUND_ROWS * FRAME_WIDTH];
uint16_t backdrop_picture[FRAME_PIXELS];

namespace {

// The layered sine effect adds one entry of each of its three tables; their amplitudes are the
// floats nearest to 480/13, 560/13 and 640/13, so the sum of three entries never passes 257.
constexpr double COLUMN_AMPLITUDE = 36.92307662963867;
constexpr double ROW_AMPLITUDE = 43.07692337036133;
constexpr double DRIFT_AMPLITUDE = 49.230770111083984;

// One sine table: table[i] = trunc(sin(x) * amplitude + offset) for i = 0..2047, where
// x = (i * multiplier) / divisor is formed in single precision and only then widened to double.
// Each table uses one of multiplier and divisor; the other is 1 and changes no bit.
struct SineTable {
    int32_t* table;
    float multiplier;
    float divisor;
    double amplitude;
    double offset;
};

// Column, row and drift sine tables (0..73, 0..86, 0..98): read by the layered sine effect at
// the column, the row, and time step + row + column (at most 995).
// Grid diagonal, column and row wave tables (-7..7, -15..15, -31..31): read by the 3D grid
// animation.
const SineTable SINE_TABLES[] = {
    {column_sine_table, 1.0f, 30.0f, COLUMN_AMPLITUDE, COLUMN_AMPLITUDE},
    {row_sine_table, 1.0f, 40.0f, ROW_AMPLITUDE, ROW_AMPLITUDE},
    {drift_sine_table, 1.0f, 70.0f, DRIFT_AMPLITUDE, DRIFT_AMPLITUDE},
    {grid_diagonal_wave_table, 0.0625f, 1.0f, 8.0, 0.0},
    {grid_column_wave_table, 0.125f, 1.0f, 16.0, 0.0},
    {grid_row_wave_table, 1.0f, 12.0f, 32.0, 0.0},
};

void build_sine_tables() {
    for (const SineTable& s : SINE_TABLES) {
        for (int32_t i = 0; i < 2048; ++i) {
            const float x = (static_cast<float>(i) * s.multiplier) / s.divisor;
            s.table[i] =
                trunc_saturating(std::sin(static_cast<double>(x)) * s.amplitude + s.offset);
        }
    }
}

// 4096 entries, index d + 2048 for d = -2048..2047: 65536 / d truncated toward zero (-65536..
// 65536), with 65536 standing in for d = 0. Read by the triangle fillers.
void build_reciprocal_table() {
    for (int32_t i = 0; i < 4096; ++i) {
        const int32_t d = i - 2048;
        reciprocal_table[i] = d == 0 ? 65536 : 65536 / d;
    }
}

// Row-major 320 x 240 pairs for a viewer 200 rows below the top: depth = (16384 / |y|) & 127
// and lateral = 128 * x / |y| (low 16 bits, -20480..20352), with y = row - 200 and
// x = column - 160. Both go through the double reciprocal of sqrt(y * y) in this exact order,
// which differs from the integer quotient in a few entries. The ground effect reads rows 0..179;
// row 200 (y = 0) divides by zero and holds saturated values nothing reads.
void build_ground_map() {
    for (int32_t row = 0; row < FRAME_HEIGHT; ++row) {
        const int32_t y = row - 200;
        const double inverse = 1.0 / std::sqrt(static_cast<double>(y * y));
        for (int32_t column = 0; column < FRAME_WIDTH; ++column) {
            const int32_t x = column - FRAME_CENTRE_COLUMN;
            GroundPair& pair = ground_map[row * FRAME_WIDTH + column];
            pair.depth = static_cast<int16_t>(trunc_saturating(inverse * 16384.0) & 127);
            pair.lateral = static_cast<int16_t>(trunc_saturating((inverse * x) * 128.0));
        }
    }
}

// Row-major 320 x 240 pairs around the screen centre (row 120, column 160), both the low byte
// of a truncated value: distance = 6144 / (distance in pixels), angle = atan2 scaled to 256
// units per half turn (so the byte wraps twice per turn). At the centre the distance
// saturates (byte 255) and the angle is 0. Read by the tunnel effect.
void build_tunnel_map() {
    for (int32_t row = 0; row < FRAME_HEIGHT; ++row) {
        const int32_t y = row - FRAME_CENTRE_ROW;
        for (int32_t column = 0; column < FRAME_WIDTH; ++column) {
            const int32_t x = column - FRAME_CENTRE_COLUMN;
            const double inverse = 1.0 / std::sqrt(static_cast<double>(x * x + y * y));
            const double angle =
                (std::atan2(static_cast<double>(y), static_cast<double>(x)) * 256.0) / DEMO_PI;
            TunnelPair& pair = tunnel_map[row * FRAME_WIDTH + column];
            pair.distance = static_cast<uint8_t>(trunc_saturating(inverse * 6144.0) & 0xFF);
            pair.angle = static_cast<uint8_t>(trunc_saturating(angle) & 0xFF);
        }
    }
}

// Fills the colour planes from a picture stored bottom row first, width 256 or 320: plane row r
// takes stored row 239 - r, and a 256-wide picture repeats its columns 0..63 at 256..319.
// Values 0..248 (red, blue) and 0..252 (green). Read by the radial blur.
void load_planes(const uint16_t* picture, int32_t width) {
    for (int32_t row = 0; row < FRAME_HEIGHT; ++row) {
        for (int32_t column = 0; column < FRAME_WIDTH; ++column) {
            const uint16_t texel = picture[(FRAME_HEIGHT - 1 - row) * width + column % width];
            colour_planes[row * FRAME_WIDTH + column] = plane_pixel(
                rgb565_red(texel) << 3, rgb565_green(texel) << 2, rgb565_blue(texel) << 3);
        }
    }
}

// Row-major 320 x 240 offsets each, entry (j, i) = (a >> k) * 320 + (b >> k) for level
// k = 1..3, with b = -(i / 4) and a = -(j / 4) in set A, +(j / 4) in set B; the shifts floor,
// so every negative part moves at least one pixel once j or i reaches 4. Values -9640..9240
// (level 1). Level k reaches about 1/2^(k+2) of the way to the blur centre. Read by the blur.
void build_zoom_maps() {
    for (int32_t j = 0; j < FRAME_HEIGHT; ++j) {
        for (int32_t i = 0; i < FRAME_WIDTH; ++i) {
            const int32_t rows = j / 4, columns = -(i / 4);
            for (int32_t k = 1; k <= ZOOM_LEVELS; ++k) {
                const int32_t across = columns >> k;
                zoom_map_a[k - 1][j * FRAME_WIDTH + i] =
                    static_cast<int16_t>((-rows >> k) * FRAME_WIDTH + across);
                zoom_map_b[k - 1][j * FRAME_WIDTH + i] =
                    static_cast<int16_t>((rows >> k) * FRAME_WIDTH + across);
            }
        }
    }
}

// The effects' prepared tables (tables.hpp says what each holds), from the maps and pictures.
void build_prepared_tables() {
    for (int32_t p = 0; p < FRAME_PIXELS; ++p)
        tunnel_spiral[p] = static_cast<uint8_t>(tunnel_map[p].distance + tunnel_map[p].angle);
    for (int32_t x = 0; x < FRAME_WIDTH; ++x)
        column_sine_bytes[x] = static_cast<uint8_t>(column_sine_table[x]);
    for (int32_t k = 0; k < 4; ++k)
        for (int32_t i = 0; i < 1024; ++i)
            drift_sine_bytes[k][i] = static_cast<uint8_t>(drift_sine_table[i + k]);
    for (int32_t p = 0; p < GROUND_ROWS * FRAME_WIDTH; ++p)
        ground_column[p] = static_cast<uint8_t>(ground_map[p].lateral & 127);
    for (int32_t y = 0; y < FRAME_HEIGHT; ++y)
        for (int32_t x = 0; x < FRAME_WIDTH; ++x)
            backdrop_picture[y * FRAME_WIDTH + x] =
                landscape_texture[(255 - y) * 256 + ((x - 160) & 0xFF)];
}

} // namespace

void build_effect_tables() {
    build_sine_tables();
    build_reciprocal_table();
    build_ground_map();
    build_tunnel_map();
    load_planes(landscape_texture, 256);
    build_zoom_maps();
    build_prepared_tables();
}

void load_planes_from_image() {
    load_planes(closing_picture, FRAME_WIDTH);
}
