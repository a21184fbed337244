#include "fx2d/radial_blur.hpp"

#include "assets/pictures.hpp"
#include "fx2d/tables.hpp"
#include "shell/timeline.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

using Frame = std::vector<uint16_t>;

class RadialBlur : public ::testing::Test {
  protected:
    void SetUp() override { build_effect_tables(); } // planes hold the landscape
    void TearDown() override { build_effect_tables(); }

    static Frame blurred(int32_t clock, int32_t variant, uint16_t fill = 0xABCD) {
        Frame frame(FRAME_PIXELS, fill);
        scene_clock = clock;
        draw_radial_blur(frame.data(), variant);
        return frame;
    }
    // The colour planes at (row, column) as RGB565.
    static uint16_t source(int32_t row, int32_t column) {
        const uint32_t pixel = colour_planes[row * FRAME_WIDTH + column];
        return static_cast<uint16_t>((plane_red(pixel) >> 3) << 11 |
                                     (plane_green(pixel) >> 2) << 5 | plane_blue(pixel) >> 3);
    }
    static void fill_planes(uint8_t red, uint8_t green, uint8_t blue) {
        std::fill(std::begin(colour_planes), std::end(colour_planes),
                  plane_pixel(red, green, blue));
    }
};

TEST(BlurCentre, SwingsFromTheScreenCentre) {
    const auto expect_centre = [](int32_t clock, int32_t variant, int32_t column, int32_t row) {
        const BlurCentre c = blur_centre(clock, variant);
        EXPECT_EQ(c.column, column) << "clock " << clock;
        EXPECT_EQ(c.row, row) << "clock " << clock;
    };
    expect_centre(0, 1, 160, 120);
    expect_centre(11, 1, 160, 120); // t = clock / 12 = 0
    expect_centre(1200, 1, 160 + 156, 120 + 93);
    expect_centre(3504, 1, 160 - 121, 120 + 61); // -121.09 truncates toward zero
    expect_centre(5000, 1, 160 - 88, 120 - 65);
    expect_centre(5000, 0, 160 - 88, 120);
}

TEST(BlurCentre, StaysOnRow120WithVariant0AndOnTheScreenForAnyVariant) {
    for (int32_t clock = 0; clock <= 150152; clock += 7)
        ASSERT_EQ(blur_centre(clock, 0).row, 120) << "clock " << clock;
    EXPECT_EQ(blur_centre(1200, 1000000).row, 240);
    EXPECT_EQ(blur_centre(1200, -1000000).row, 0);
    EXPECT_EQ(blur_centre(1200, 2147483647).row, 240);
}

TEST_F(RadialBlur, KeepsThe8By8BlockAroundTheCentreUnblurred) {
    for (const int32_t clock : {0, 3504, 20000}) {
        const BlurCentre c = blur_centre(clock, 1);
        const Frame frame = blurred(clock, 1);
        for (int32_t row = c.row - 4; row < c.row + 4; ++row)
            for (int32_t column = c.column - 4; column < c.column + 4; ++column)
                ASSERT_EQ(frame[row * FRAME_WIDTH + column], source(row, column))
                    << "clock " << clock << " at " << row << "," << column;
        int32_t changed = 0;
        for (int32_t p = 0; p < FRAME_PIXELS; ++p)
            changed += frame[p] != source(p / FRAME_WIDTH, p % FRAME_WIDTH);
        EXPECT_GT(changed, FRAME_PIXELS / 4) << "clock " << clock;
    }
}

TEST_F(RadialBlur, FlatPictureComesOutUnchangedOverTheWholeFrame) {
    fill_planes(0x98, 0x64, 0x30);
    const uint16_t colour = (0x98 >> 3) << 11 | (0x64 >> 2) << 5 | 0x30 >> 3;
    for (const int32_t variant : {0, 1, 1000000, -1000000}) {
        const Frame frame = blurred(1200, variant);
        EXPECT_TRUE(
            std::all_of(frame.begin(), frame.end(), [=](uint16_t p) { return p == colour; }))
            << "variant " << variant;
    }
}

TEST_F(RadialBlur, SameClockGivesTheSameFrame) {
    EXPECT_EQ(blurred(20000, 1, 0x0000), blurred(20000, 1, 0xFFFF));
    load_planes_from_image();
    EXPECT_EQ(blurred(140000, 0, 0x0000), blurred(140000, 0, 0xFFFF));
}

// One white pixel 8 rows and 8 columns into each quadrant, on black: blurring moves light only
// away from the centre, so the lit pixels form a streak outward from it, inside its quadrant.
TEST_F(RadialBlur, StreaksRunOutwardWithinEachQuadrant) {
    const BlurCentre c = blur_centre(0, 1); // (160, 120)
    struct Quadrant {
        int32_t first_row, row_step, first_column, column_step;
    };
    const Quadrant quadrants[] = {{c.row - 1, -1, c.column - 1, -1},
                                  {c.row - 1, -1, c.column, +1},
                                  {c.row, +1, c.column, +1},
                                  {c.row, +1, c.column - 1, -1}};
    for (const Quadrant& q : quadrants) {
        fill_planes(0, 0, 0);
        const int32_t row = q.first_row + 8 * q.row_step,
                      column = q.first_column + 8 * q.column_step;
        const int32_t p = row * FRAME_WIDTH + column;
        colour_planes[p] = plane_pixel(248, 252, 248);
        const Frame frame = blurred(0, 1);
        int32_t beyond = 0;
        for (int32_t i = 0; i < FRAME_PIXELS; ++i) {
            if (frame[i] == 0) continue;
            const int32_t dy = (i / FRAME_WIDTH - q.first_row) * q.row_step;
            const int32_t dx = (i % FRAME_WIDTH - q.first_column) * q.column_step;
            ASSERT_GE(dy, 8) << "lit pixel " << i;
            ASSERT_GE(dx, 8) << "lit pixel " << i;
            beyond += dy > 8 && dx > 8;
        }
        EXPECT_NE(frame[p], 0);
        EXPECT_GT(beyond, 4) << "quadrant from " << q.first_row << "," << q.first_column;
    }
}

} // namespace
