#include "fx2d/effects.hpp"

#include "assets/pictures.hpp"
#include "fx2d/tables.hpp"
#include "shell/timeline.hpp"
#include "tests/fake_platform.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Frame = std::vector<uint16_t>;

// Entry i of this ramp is i, so a pixel drawn through it shows the ramp index itself.
struct IdentityRamp {
    uint16_t entries[256];
    IdentityRamp() {
        for (int i = 0; i < 256; ++i)
            entries[i] = static_cast<uint16_t>(i);
    }
};

class Effects : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { build_effect_tables(); }

    // A frame prefilled with fill, then drawn at the given scene clock.
    template <typename Draw> static Frame drawn(int32_t clock, Draw draw, uint16_t fill = 0xABCD) {
        Frame frame(FRAME_PIXELS, fill);
        scene_clock = clock;
        draw(frame.data());
        return frame;
    }
    static uint16_t at(const Frame& frame, int32_t row, int32_t column) {
        return frame[row * FRAME_WIDTH + column];
    }

    IdentityRamp ramp;
};

TEST_F(Effects, TunnelRunsAlongTheRampOneEntryEvery8Ms) {
    const auto tunnel = [this](uint16_t* f) { draw_tunnel(f, ramp.entries); };
    const Frame at0 = drawn(0, tunnel);
    EXPECT_EQ(at(at0, 120, 160), 255);
    EXPECT_EQ(at(at0, 120, 161), 0);
    EXPECT_EQ(at(at0, 120, 159), 0);
    EXPECT_EQ(at(at0, 0, 0), (30 + 53) & 0xFF);

    const Frame at8 = drawn(8, tunnel);
    for (int32_t p = 0; p < FRAME_PIXELS; ++p)
        ASSERT_EQ(at8[p], (at0[p] + 1) & 0xFF) << "pixel " << p;
    EXPECT_EQ(drawn(2048, tunnel), at0); // a whole ramp
}

TEST_F(Effects, SineLayersRepeatEvery7008Ms) {
    const auto sines = [this](uint16_t* f) { draw_sine_layers(f, ramp.entries); };
    const Frame at0 = drawn(0, sines);
    EXPECT_EQ(at(at0, 0, 0), 36 + 43 + 49);
    EXPECT_EQ(drawn(7008, sines), at0);
    EXPECT_NE(drawn(16, sines), at0);
    EXPECT_EQ(drawn(7008 + 16, sines), drawn(16, sines));
    // A negative clock never occurs on the timeline; it still stays inside the drift table,
    // on the picture of the equivalent positive clock.
    EXPECT_EQ(drawn(-16, sines), drawn(437 * 16, sines));
}

TEST_F(Effects, BackdropShowsTheUpperLandscapeUpright) {
    const Frame first = drawn(0, draw_texture_backdrop, 0x0000);
    EXPECT_EQ(drawn(99999, draw_texture_backdrop, 0xFFFF), first);
    EXPECT_EQ(at(first, 0, 160), landscape_texture[255 * 256]);
    EXPECT_EQ(at(first, 0, 161), landscape_texture[255 * 256 + 1]);
    EXPECT_EQ(at(first, 0, 0), landscape_texture[255 * 256 + 96]);
    EXPECT_EQ(at(first, 239, 159), landscape_texture[16 * 256 + 255]);
    EXPECT_EQ(at(first, 239, 319), landscape_texture[16 * 256 + 159]);
}

TEST_F(Effects, GroundScrollsWithTheTicksAndLeavesTheBottomRows) {
    fake_ticks = 1600; // t = 100 texels of depth
    scene_clock = 0;   // the ground does not read the scene clock
    const Frame frame = drawn(0, draw_ground, 0xABCD);
    const auto texel = [](int32_t v, int32_t u) { return ground_texture[v * 128 + u]; };
    EXPECT_EQ(at(frame, 0, 0), texel((81 + 100) & 127, -102 & 127));
    EXPECT_EQ(at(frame, 0, 1), texel((81 + 100) & 127, -101 & 127));
    EXPECT_EQ(at(frame, 179, 319), texel((12 + 100) & 127, 969 & 127));
    EXPECT_TRUE(std::all_of(frame.begin() + 180 * FRAME_WIDTH, frame.end(),
                            [](uint16_t p) { return p == 0xABCD; }));

    fake_ticks = 1600 + 16;
    EXPECT_EQ(at(drawn(0, draw_ground), 0, 0), texel((81 + 101) & 127, -102 & 127));
}

} // namespace
