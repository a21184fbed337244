#pragma once
// Colour ramps: 256 RGB565 colours indexed by an 8-bit value, thirteen of them in one bank.
#include <cstdint>

inline constexpr int32_t RAMP_SLOTS = 13;
inline constexpr int32_t RAMP_SIZE = 256;

// The slots the stages draw with: the height grids' and the emblem's shades, the tunnel's and
// the layered sines' colours.
inline constexpr int32_t RAMP_GROUND_GRID = 1;
inline constexpr int32_t RAMP_RIPPLES = 2;
inline constexpr int32_t RAMP_TUNNEL = 4;
inline constexpr int32_t RAMP_SINE_LAYERS = 5;
inline constexpr int32_t RAMP_EMBLEM = 6;

// Slot k's entry i at k * 256 + i. Zero until build_all_ramps; read-only afterwards.
extern uint16_t ramp_bank[RAMP_SLOTS * RAMP_SIZE];

// Entry 0 of slot k.
inline uint16_t* ramp_slot(int32_t slot) {
    return ramp_bank + slot * RAMP_SIZE;
}

// A ramp colour packs components at RGB565 field width: bits 0-7 red (0-31),
// bits 8-15 green (0-63), bits 16-23 blue (0-31).
inline constexpr uint32_t ramp_colour(uint32_t red, uint32_t green, uint32_t blue) {
    return red | (green << 8) | (blue << 16);
}

// Writes entries first..last of ramp, blending from start (exclusive) to end (inclusive) by
// repeated single-precision addition; nothing when last < first.
void build_ramp(uint16_t* ramp, uint32_t start, uint32_t end, int32_t first, int32_t last);

// Builds all thirteen slots of the bank.
void build_all_ramps();
