#include "fx2d/paint.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Every run length around the vector width, both table sizes, every index value: each pixel
// is its own index's colour and nothing past the run is written.
TEST(PaintByIndex, EachPixelTakesItsIndexedColour) {
    std::vector<uint16_t> colours(256);
    for (int32_t i = 0; i < 256; ++i)
        colours[i] = static_cast<uint16_t>(i * 257 ^ 0x5A5A);
    std::mt19937 random(7);
    for (int32_t colour_count : {128, 256}) {
        for (int32_t count : {2, 30, 32, 34, 62, 64, 66, 320}) {
            std::vector<uint8_t> index(count);
            for (int32_t i = 0; i < count; ++i)
                index[i] = static_cast<uint8_t>(i < colour_count ? i : random() % colour_count);
            std::vector<uint16_t> out(count + 8, 0xDEAD);
            paint_by_index(out.data(), index.data(), count, colours.data(), colour_count);
            for (int32_t i = 0; i < count; ++i)
                ASSERT_EQ(out[i], colours[index[i]]) << colour_count << " " << count << " " << i;
            for (int32_t i = count; i < count + 8; ++i)
                ASSERT_EQ(out[i], 0xDEAD);
        }
    }
}

} // namespace
