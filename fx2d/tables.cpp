#include "fx2d/tables.hpp"

int32_t column_sine_table[2048];
int32_t row_sine_table[2048];
int32_t drift_sine_table[2048];
int32_t grid_diagonal_wave_table[2048];
int32_t grid_column_wave_table[2048];
int32_t grid_row_wave_table[2048];
int32_t reciprocal_table[4096];

void build_effect_tables() {}

void load_planes_from_image() {}
