#include "fx2d/paint.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Runs of several lengths, every index value: each pixel is its own index's colour and
// nothing past the run is written.
TEST(PaintByIndex, EachPixelTakesItsIndexedColour) {
    std::vector<uint16_t> colours(256);
    for (int32_t i = 0; i < 256; ++i)
        colours[i] = static_cast<uint16_t>(i * 257 ^ 0x5A5A);
    std::mt19937 random(7);
    for (int32_t count : {8, 16, 24, 40, 320}) {
        std::vector<uint32_t> words(count / 4); // indices on a 4-byte boundary
        uint8_t* index = reinterpret_cast<uint8_t*>(words.data());
        for (int32_t i = 0; i < count; ++i)
            index[i] = static_cast<uint8_t>(i < 256 ? i : random() % 256);
        std::vector<uint16_t> out(count + 8, 0xDEAD);
        paint_by_index(out.data(), index, count, colours.data());
        for (int32_t i = 0; i < count; ++i)
            ASSERT_EQ(out[i], colours[index[i]]) << count << " " << i;
        for (int32_t i = count; i < count + 8; ++i)
            ASSERT_EQ(out[i], 0xDEAD);
    }
}

// Two index bytes summed per pixel, up to 255 where a carry out of a byte would show: each
// pixel takes the colour of its own sum, whatever the sums of its neighbours.
TEST(PaintByIndex, SumOfTwoIndicesPicksTheColour) {
    std::vector<uint16_t> colours(256);
    for (int32_t i = 0; i < 256; ++i)
        colours[i] = static_cast<uint16_t>(i * 97 + 3);
    std::mt19937 random(11);
    constexpr int32_t count = 320;
    std::vector<uint32_t> first_words(count / 4), second_words(count / 4);
    uint8_t* first = reinterpret_cast<uint8_t*>(first_words.data());
    uint8_t* second = reinterpret_cast<uint8_t*>(second_words.data());
    for (int32_t i = 0; i < count; ++i) {
        first[i] = static_cast<uint8_t>(random() % 256);
        // Every third pixel sums to 255, the largest sum, next to pixels with other sums.
        second[i] = static_cast<uint8_t>(i % 3 == 0 ? 255 - first[i] : random() % (256 - first[i]));
    }
    std::vector<uint16_t> out(count);
    paint_by_index_sum(out.data(), first, second, count, colours.data());
    for (int32_t i = 0; i < count; ++i)
        ASSERT_EQ(out[i], colours[first[i] + second[i]]) << i;
}

} // namespace
