#include "fx2d/ramps.hpp"

#include <gtest/gtest.h>

namespace {

class Ramps : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { build_all_ramps(); }
    static uint16_t entry(int32_t slot, int32_t i) { return ramp_slot(slot)[i]; }
};

TEST_F(Ramps, WorkedExamples) {
    EXPECT_EQ(entry(5, 0), 0x0000);
    EXPECT_EQ(entry(5, 8), 0x0080);
    EXPECT_EQ(entry(5, 9), 0x0881);
    EXPECT_EQ(entry(5, 63), 0x3BE7);
    EXPECT_EQ(entry(5, 64), 0x33C6);
    EXPECT_EQ(entry(5, 127), 0x0000);
    EXPECT_EQ(entry(1, 0), 0x3860);
    EXPECT_EQ(entry(1, 255), 0xFFFF);
    EXPECT_EQ(entry(4, 0), 0xF3C7);
    EXPECT_EQ(entry(4, 255), 0xFBE7);
    for (int32_t i = 0; i < 128; ++i)
        EXPECT_EQ(entry(12, i), 0x0000) << "slot 12 entry " << i;
}

// The single-precision accumulation must land exactly on each segment's end colour.
TEST_F(Ramps, EverySegmentEndsOnItsEndColour) {
    struct End {
        int32_t slot, last;
        uint16_t colour;
    };
    auto rgb565 = [](int r, int g, int b) { return static_cast<uint16_t>(r << 11 | g << 5 | b); };
    const End ends[] = {
        {0, 159, rgb565(31, 31, 0)},   {0, 191, rgb565(31, 63, 0)},   {0, 255, rgb565(31, 63, 31)},
        {1, 127, rgb565(15, 7, 0)},    {1, 191, rgb565(31, 15, 0)},   {2, 63, rgb565(31, 15, 7)},
        {2, 191, rgb565(31, 63, 15)},  {2, 255, rgb565(31, 63, 31)},  {3, 63, rgb565(15, 31, 15)},
        {3, 191, rgb565(15, 55, 31)},  {3, 255, rgb565(31, 63, 31)},  {4, 63, rgb565(7, 0, 15)},
        {4, 127, rgb565(15, 7, 31)},   {4, 191, rgb565(7, 0, 15)},    {5, 191, rgb565(7, 31, 7)},
        {5, 255, rgb565(0, 0, 0)},     {6, 63, rgb565(15, 63, 0)},    {6, 127, rgb565(31, 63, 15)},
        {6, 191, rgb565(15, 63, 0)},   {6, 255, rgb565(15, 31, 0)},   {7, 63, rgb565(31, 63, 15)},
        {7, 127, rgb565(15, 31, 0)},   {7, 191, rgb565(31, 63, 15)},  {7, 255, rgb565(15, 0, 0)},
        {8, 63, rgb565(15, 0, 31)},    {8, 127, rgb565(31, 63, 31)},  {8, 191, rgb565(15, 0, 31)},
        {8, 255, rgb565(31, 0, 0)},    {9, 63, rgb565(31, 63, 31)},   {9, 127, rgb565(0, 0, 0)},
        {9, 191, rgb565(31, 63, 31)},  {9, 255, rgb565(0, 0, 0)},     {10, 127, rgb565(15, 0, 15)},
        {10, 191, rgb565(31, 0, 15)},  {10, 255, rgb565(31, 63, 15)}, {11, 127, rgb565(7, 31, 7)},
        {11, 191, rgb565(31, 31, 0)},  {11, 255, rgb565(31, 63, 31)}, {12, 159, rgb565(15, 31, 31)},
        {12, 191, rgb565(31, 63, 31)}, {12, 223, rgb565(15, 63, 31)}, {12, 255, rgb565(15, 0, 31)},
    };
    for (const End& e : ends)
        EXPECT_EQ(entry(e.slot, e.last), e.colour) << "slot " << e.slot << " entry " << e.last;
}

TEST(BuildRamp, WritesOnlyItsRange) {
    uint16_t ramp[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    build_ramp(ramp, ramp_colour(0, 0, 0), ramp_colour(31, 63, 31), 3, 2); // empty range
    for (uint16_t v : ramp)
        EXPECT_EQ(v, 1);
    build_ramp(ramp, ramp_colour(0, 0, 0), ramp_colour(31, 63, 31), 2, 5);
    EXPECT_EQ(ramp[1], 1);
    EXPECT_EQ(ramp[5], 0xFFFF);
    EXPECT_EQ(ramp[6], 1);
}

} // namespace
