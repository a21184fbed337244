#pragma once
// Lookup tables of the 2D effects and of the triangle filler, built once at start-up.
#include <cstdint>

// Sine tables, 2048 entries each (filled by build_effect_tables).
extern int32_t column_sine_table[2048];
extern int32_t row_sine_table[2048];
extern int32_t drift_sine_table[2048];
extern int32_t grid_diagonal_wave_table[2048];
extern int32_t grid_column_wave_table[2048];
extern int32_t grid_row_wave_table[2048];

// Entry d + 2048 = 65536 / d truncated toward zero, d = -2048..2047; entry 2048 (d = 0) is 65536.
extern int32_t reciprocal_table[4096];

// Builds every table and loads the colour planes from the landscape texture.
void build_effect_tables();

// Overwrites the colour planes with the closing picture.
void load_planes_from_image();
