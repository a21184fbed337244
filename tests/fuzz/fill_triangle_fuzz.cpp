// libFuzzer target: one triangle through the filler, with arbitrary corners (far outside the
// frame, stale projected points, the whole 32-bit range), arbitrary attributes, and either the
// ramp rule or a texture of any shift. Input, short inputs read as if padded with zeros:
//   byte 0       colour rule: 0 the shade ramp; 1 + s a texture of shift s (s = 0..8)
//   bytes 1-48   corners 0, 1, 2: x, y, attribute 0, attribute 1, little-endian int32 each
// The frame, the ramp and the textures have their exact sizes, so AddressSanitizer stops any
// access outside them (or outside the reciprocal table). Pixels may change only on frame rows
// y(T) + 1 .. y(B), where the triangle's scanlines land.
#include "fx2d/tables.hpp"
#include "render3d/raster_internal.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr int32_t MAX_SHIFT = 8;
constexpr uint16_t UNTOUCHED = 0xFFFF; // no ramp entry or texel below has this value

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

uint8_t next_byte(Input& in) {
    return in.at < in.size ? in.data[in.at++] : (++in.at, 0);
}

int32_t next_int32(Input& in) {
    uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8)
        value |= static_cast<uint32_t>(next_byte(in)) << shift;
    return static_cast<int32_t>(value);
}

alignas(4) uint16_t frame[FRAME_WIDTH * FRAME_HEIGHT];
// The ramp, then the texture of each shift s: 256 >> s texels a side. Values 0, 1, 2, ...
std::vector<uint16_t> ramp, textures[MAX_SHIFT + 1];

std::vector<uint16_t> colours(size_t count) {
    std::vector<uint16_t> c(count);
    for (size_t i = 0; i < count; ++i)
        c[i] = static_cast<uint16_t>(i & 0x7FFF);
    return c;
}

// Stops the run when a pixel outside rows first .. last changed; sets those rows back to
// UNTOUCHED for the next input.
void check_and_clear_rows(int64_t first, int64_t last) {
    for (int64_t r = 0; r < FRAME_HEIGHT; ++r) {
        uint16_t* row = frame + r * FRAME_WIDTH;
        if (r >= first && r <= last)
            std::fill(row, row + FRAME_WIDTH, UNTOUCHED);
        else if (std::any_of(row, row + FRAME_WIDTH, [](uint16_t p) { return p != UNTOUCHED; }))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    build_effect_tables();
    std::fill(std::begin(frame), std::end(frame), UNTOUCHED);
    ramp = colours(256);
    for (int32_t s = 0; s <= MAX_SHIFT; ++s)
        textures[s] = colours((size_t{256} >> s) * (size_t{256} >> s));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    const int32_t rule = next_byte(in) % (MAX_SHIFT + 2);
    FillVertex corners[3];
    for (FillVertex& c : corners)
        c = {next_int32(in), next_int32(in), {next_int32(in), next_int32(in)}};

    if (rule == 0)
        fill_triangle(corners[0], corners[1], corners[2], ramp.data(), frame);
    else
        fill_triangle(corners[0], corners[1], corners[2],
                      Texture{rule - 1, textures[rule - 1].data()}, frame);
    const auto [top, bottom] = std::minmax({corners[0].y, corners[1].y, corners[2].y});
    check_and_clear_rows(int64_t{top} + 1, bottom);
    return 0;
}
