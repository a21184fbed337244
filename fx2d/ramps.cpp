#include "fx2d/ramps.hpp"

#include "core/frame.hpp"

uint16_t ramp_bank[RAMP_SLOTS * RAMP_SIZE];

namespace {

struct RampSegment {
    int32_t slot;
    int32_t first;
    int32_t last;
    uint32_t from;
    uint32_t to;
};

constexpr uint32_t C(uint32_t red, uint32_t green, uint32_t blue) {
    return ramp_colour(red, green, blue);
}

// Each slot is a chain of segments; a segment starts on the colour its predecessor ended on.
// Slot 12 leaves entries 0-127 black.
constexpr RampSegment RAMP_SEGMENTS[] = {
    {0, 0, 159, C(15, 0, 31), C(31, 31, 0)},      {0, 160, 191, C(31, 31, 0), C(31, 63, 0)},
    {0, 192, 255, C(31, 63, 0), C(31, 63, 31)},   {1, 0, 127, C(7, 3, 0), C(15, 7, 0)},
    {1, 128, 191, C(15, 7, 0), C(31, 15, 0)},     {1, 192, 255, C(31, 15, 0), C(31, 63, 31)},
    {2, 0, 63, C(15, 7, 0), C(31, 15, 7)},        {2, 64, 191, C(31, 15, 7), C(31, 63, 15)},
    {2, 192, 255, C(31, 63, 15), C(31, 63, 31)},  {3, 0, 63, C(7, 15, 7), C(15, 31, 15)},
    {3, 64, 191, C(15, 31, 15), C(15, 55, 31)},   {3, 192, 255, C(15, 55, 31), C(31, 63, 31)},
    {4, 0, 63, C(31, 31, 7), C(7, 0, 15)},        {4, 64, 127, C(7, 0, 15), C(15, 7, 31)},
    {4, 128, 191, C(15, 7, 31), C(7, 0, 15)},     {4, 192, 255, C(7, 0, 15), C(31, 31, 7)},
    {5, 0, 63, C(0, 0, 0), C(7, 31, 7)},          {5, 64, 127, C(7, 31, 7), C(0, 0, 0)},
    {5, 128, 191, C(0, 0, 0), C(7, 31, 7)},       {5, 192, 255, C(7, 31, 7), C(0, 0, 0)},
    {6, 0, 63, C(15, 31, 0), C(15, 63, 0)},       {6, 64, 127, C(15, 63, 0), C(31, 63, 15)},
    {6, 128, 191, C(31, 63, 15), C(15, 63, 0)},   {6, 192, 255, C(15, 63, 0), C(15, 31, 0)},
    {7, 0, 63, C(15, 0, 0), C(31, 63, 15)},       {7, 64, 127, C(31, 63, 15), C(15, 31, 0)},
    {7, 128, 191, C(15, 31, 0), C(31, 63, 15)},   {7, 192, 255, C(31, 63, 15), C(15, 0, 0)},
    {8, 0, 63, C(31, 0, 0), C(15, 0, 31)},        {8, 64, 127, C(15, 0, 31), C(31, 63, 31)},
    {8, 128, 191, C(31, 63, 31), C(15, 0, 31)},   {8, 192, 255, C(15, 0, 31), C(31, 0, 0)},
    {9, 0, 63, C(0, 0, 0), C(31, 63, 31)},        {9, 64, 127, C(31, 63, 31), C(0, 0, 0)},
    {9, 128, 191, C(0, 0, 0), C(31, 63, 31)},     {9, 192, 255, C(31, 63, 31), C(0, 0, 0)},
    {10, 0, 127, C(15, 31, 15), C(15, 0, 15)},    {10, 128, 191, C(15, 0, 15), C(31, 0, 15)},
    {10, 192, 255, C(31, 0, 15), C(31, 63, 15)},  {11, 0, 127, C(0, 0, 15), C(7, 31, 7)},
    {11, 128, 191, C(7, 31, 7), C(31, 31, 0)},    {11, 192, 255, C(31, 31, 0), C(31, 63, 31)},
    {12, 128, 159, C(15, 0, 31), C(15, 31, 31)},  {12, 160, 191, C(15, 31, 31), C(31, 63, 31)},
    {12, 192, 223, C(31, 63, 31), C(15, 63, 31)}, {12, 224, 255, C(15, 63, 31), C(15, 0, 31)},
};

// Component at bit offset shift of a ramp colour, as a float.
float component(uint32_t colour, int shift) {
    return static_cast<float>(static_cast<uint8_t>(colour >> shift));
}

} // namespace

void build_ramp(uint16_t* ramp, uint32_t start, uint32_t end, int32_t first, int32_t last) {
    if (last < first) return;
    const float n = static_cast<float>(last - first + 1);
    float red = component(start, 0), green = component(start, 8), blue = component(start, 16);
    const float red_step = (component(end, 0) - red) / n;
    const float green_step = (component(end, 8) - green) / n;
    const float blue_step = (component(end, 16) - blue) / n;
    for (int32_t i = first; i <= last; ++i) {
        red += red_step;
        green += green_step;
        blue += blue_step;
        ramp[i] = rgb565(static_cast<int32_t>(red), static_cast<int32_t>(green),
                         static_cast<int32_t>(blue));
    }
}

void build_all_ramps() {
    for (const RampSegment& s : RAMP_SEGMENTS)
        build_ramp(ramp_slot(s.slot), s.from, s.to, s.first, s.last);
}
