#include "core/numbers.hpp"
#include "fx2d/tables.hpp"

#include "assets/pictures.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

class EffectTables : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { build_effect_tables(); }
    static void TearDownTestSuite() { build_effect_tables(); } // planes back to the landscape

    static GroundPair ground(int32_t row, int32_t column) {
        return ground_map[row * FRAME_WIDTH + column];
    }
    static TunnelPair tunnel(int32_t row, int32_t column) {
        return tunnel_map[row * FRAME_WIDTH + column];
    }
    static int32_t zoom(const int16_t* map, int32_t j, int32_t i) {
        return map[j * FRAME_WIDTH + i];
    }
    // The three planes at (row, column) hold texel's channels widened by shifting.
    static void expect_planes_hold(int32_t row, int32_t column, uint16_t texel) {
        const uint32_t pixel = colour_planes[row * FRAME_WIDTH + column];
        EXPECT_EQ(plane_red(pixel), (texel >> 11) * 8u) << row << "," << column;
        EXPECT_EQ(plane_green(pixel), ((texel >> 5) & 63) * 4u) << row << "," << column;
        EXPECT_EQ(plane_blue(pixel), (texel & 31) * 8u) << row << "," << column;
        EXPECT_EQ(pixel >> 30, 0u) << row << "," << column;
    }
};

TEST(TruncSaturating, TruncatesTowardZeroAndSaturates) {
    constexpr int32_t max = std::numeric_limits<int32_t>::max();
    constexpr int32_t min = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(trunc_saturating(1.9), 1);
    EXPECT_EQ(trunc_saturating(-1.9), -1);
    EXPECT_EQ(trunc_saturating(2147483647.9), max);
    EXPECT_EQ(trunc_saturating(-2147483648.9), min);
    EXPECT_EQ(trunc_saturating(3e9), max);
    EXPECT_EQ(trunc_saturating(-3e9), min);
    EXPECT_EQ(trunc_saturating(INFINITY), max);
    EXPECT_EQ(trunc_saturating(-INFINITY), min);
    EXPECT_EQ(trunc_saturating(NAN), 0);
}

// Expected entries and sums come from an independent model of the tables (Python: the argument
// rounded to float32, then sin, multiply and add in double).
TEST_F(EffectTables, SineTables) {
    struct Expected {
        const int32_t* table;
        int32_t sum, at0, at1, at100, at1000, at2047;
    };
    const Expected expected[] = {
        {column_sine_table, 74999, 36, 38, 29, 71, 8},
        {row_sine_table, 87913, 43, 44, 68, 37, 77},
        {drift_sine_table, 105214, 49, 49, 97, 97, 8},
        {grid_diagonal_wave_table, 190, 0, 0, 0, -2, 6},
        {grid_column_wave_table, 127, 0, 1, -1, -9, -15},
        {grid_row_wave_table, 184, 0, 2, 28, 31, 25},
    };
    for (const Expected& e : expected) {
        const int32_t* t = e.table;
        EXPECT_EQ(std::accumulate(t, t + 2048, 0), e.sum);
        EXPECT_EQ(t[0], e.at0);
        EXPECT_EQ(t[1], e.at1);
        EXPECT_EQ(t[100], e.at100);
        EXPECT_EQ(t[1000], e.at1000);
        EXPECT_EQ(t[2047], e.at2047);
    }
    const auto max_of = [](const int32_t* t) { return *std::max_element(t, t + 2048); };
    EXPECT_EQ(max_of(column_sine_table) + max_of(row_sine_table) + max_of(drift_sine_table), 257);
}

// The layered sine's prepared bytes: the drift table at each of the four alignments, and
// column and drift bytes that never carry out of their byte when added, so the effect adds
// them four at a time, with the row term keeping the index below SINE_INDEX_LIMIT.
TEST_F(EffectTables, SineBytesAddFourAtATime) {
    for (int32_t k = 0; k < 4; ++k)
        for (int32_t i = 0; i < 1024; ++i)
            ASSERT_EQ(drift_sine_bytes[k][i], drift_sine_table[i + k]) << k << " " << i;
    const int32_t column = *std::max_element(column_sine_bytes, column_sine_bytes + FRAME_WIDTH);
    const int32_t drift = *std::max_element(drift_sine_table, drift_sine_table + 1024);
    const int32_t row = *std::max_element(row_sine_table, row_sine_table + FRAME_HEIGHT);
    EXPECT_LE(column + drift, 255);
    EXPECT_LT(row + column + drift, SINE_INDEX_LIMIT);
}

TEST_F(EffectTables, ReciprocalTable) {
    EXPECT_EQ(reciprocal_table[0], -32);
    EXPECT_EQ(reciprocal_table[2047], -65536);
    EXPECT_EQ(reciprocal_table[2048], 65536);
    EXPECT_EQ(reciprocal_table[2049], 65536);
    EXPECT_EQ(reciprocal_table[4095], 32);
    EXPECT_EQ(reciprocal_table[2048 - 3], -21845); // truncated toward zero, not floored
}

TEST_F(EffectTables, GroundMap) {
    EXPECT_EQ(ground(0, 0).depth, 81);
    EXPECT_EQ(ground(0, 0).lateral, -102);
    EXPECT_EQ(ground(0, 160).depth, 81);
    EXPECT_EQ(ground(0, 160).lateral, 0);
    EXPECT_EQ(ground(179, 319).depth, 12);
    EXPECT_EQ(ground(179, 319).lateral, 969);
    // y = -196, x = -147: the integer quotient 128 * 147 / 196 is exactly 96, but the reciprocal
    // of sqrt(y * y) times x times 128 lands just above -96 and truncates to -95.
    EXPECT_EQ(ground(4, 13).lateral, -95);
    EXPECT_EQ(ground(4, 209).lateral, 31); // quotient 32
    // The row of the singular y = 0 is built from saturated values; nothing reads it.
    EXPECT_EQ(ground(200, 0).depth, 127);
    EXPECT_EQ(ground(200, 160).lateral, 0);
    // The ground draws a row from one texture row: the depth must not change along a row.
    for (int32_t row = 0; row < GROUND_ROWS; ++row)
        for (int32_t column = 1; column < FRAME_WIDTH; ++column)
            ASSERT_EQ(ground(row, column).depth, ground(row, 0).depth) << row << "," << column;
}

TEST_F(EffectTables, TunnelMap) {
    const auto expect_pair = [](int32_t row, int32_t column, int distance, int angle) {
        EXPECT_EQ(tunnel(row, column).distance, distance) << row << "," << column;
        EXPECT_EQ(tunnel(row, column).angle, angle) << row << "," << column;
    };
    expect_pair(120, 160, 255, 0); // saturated distance, atan2(0, 0) = 0
    expect_pair(120, 161, 0, 0);
    expect_pair(120, 159, 0, 0);
    expect_pair(119, 160, 0, 128); // atan2 takes the row offset first
    expect_pair(121, 160, 0, 128);
    expect_pair(0, 0, 30, 53);
    // Dividing by the demo's pi 3.14151693 rather than 3.14159265 gives 180 here, not 181.
    expect_pair(0, 249, 41, 180);
}

TEST_F(EffectTables, ZoomMapsFloorTheirShifts) {
    const int16_t* a1 = zoom_map_a[0];
    EXPECT_EQ(zoom(a1, 0, 0), 0);
    EXPECT_EQ(zoom(a1, 3, 3), 0);
    EXPECT_EQ(zoom(a1, 4, 4), -321);
    EXPECT_EQ(zoom(a1, 239, 319), -9640);
    EXPECT_EQ(zoom(zoom_map_b[0], 239, 319), 9240);
    // -1 >> k stays -1 while +1 >> k is 0: one pixel of movement at every level for set A.
    EXPECT_EQ(zoom(zoom_map_a[2], 4, 4), -321);
    EXPECT_EQ(zoom(zoom_map_b[0], 4, 4), -1);
    EXPECT_EQ(zoom(zoom_map_a[2], 239, 319), -8 * 320 - 10);
    EXPECT_EQ(zoom(zoom_map_b[2], 239, 319), 7 * 320 - 10);
    // The blur takes an entry as its row part (column 0) plus its column part (row 0).
    for (const auto* set : {zoom_map_a, zoom_map_b})
        for (int32_t k = 0; k < ZOOM_LEVELS; ++k)
            for (int32_t j = 0; j < FRAME_HEIGHT; ++j)
                for (int32_t i = 0; i < FRAME_WIDTH; ++i)
                    ASSERT_EQ(zoom(set[k], j, i), zoom(set[k], j, 0) + zoom(set[k], 0, i))
                        << k << ":" << j << "," << i;
}

TEST_F(EffectTables, ColourPlanesHoldTheLandscapeThenTheClosingPicture) {
    expect_planes_hold(0, 0, landscape_texture[239 * 256]);
    expect_planes_hold(0, 256, landscape_texture[239 * 256]); // columns 0..63 appear twice
    expect_planes_hold(239, 319, landscape_texture[63]);
    expect_planes_hold(100, 200, landscape_texture[139 * 256 + 200]);

    load_planes_from_image();
    expect_planes_hold(0, 0, closing_picture[239 * 320]);
    expect_planes_hold(0, 256, closing_picture[239 * 320 + 256]);
    expect_planes_hold(239, 319, closing_picture[319]);
    expect_planes_hold(100, 200, closing_picture[139 * 320 + 200]);
}

} // namespace
