// The timeline against recording fakes of the effects, the scene path and the platform.
#include "core/frame.hpp"
#include "core/platform.hpp"
#include "fx2d/effects.hpp"
#include "fx2d/radial_blur.hpp"
#include "fx2d/ramps.hpp"
#include "fx2d/tables.hpp"
#include "render3d/scene.hpp"
#include "shell/timeline.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

uint32_t ticks = 0;
alignas(FRAME_ALIGNMENT) uint16_t frame[FRAME_PIXELS];
std::vector<std::string> calls;

struct Selection {
    int32_t selector, renderer, fill_mode, ramp_slot, variant;
};
std::vector<Selection> scenes;

} // namespace

uint32_t platform_ticks() {
    return ticks;
}
uint16_t* platform_frame() {
    return frame;
}

void draw_ground(uint16_t*) {
    calls.push_back("ground");
}
void draw_texture_backdrop(uint16_t*) {
    calls.push_back("backdrop");
}
void draw_tunnel(uint16_t*, const uint16_t* ramp) {
    calls.push_back("tunnel " + std::to_string((ramp - ramp_bank) / RAMP_SIZE));
}
void draw_sine_layers(uint16_t*, const uint16_t* ramp) {
    calls.push_back("sine " + std::to_string((ramp - ramp_bank) / RAMP_SIZE));
}
void draw_radial_blur(uint16_t*, int32_t variant) {
    calls.push_back("blur " + std::to_string(variant));
}
void load_planes_from_image() {
    calls.push_back("planes");
}
void animate_and_draw_scene(uint16_t*, int32_t variant) {
    calls.push_back("scene");
    scenes.push_back({scene_selector, renderer_choice, scene_fill_mode, scene_ramp_slot, variant});
}

namespace {

constexpr uint32_t START_TIME = 1000;

class Timeline : public ::testing::Test {
  protected:
    void SetUp() override {
        start_timeline(START_TIME);
        calls.clear();
        scenes.clear();
    }
    // Runs one frame with the scene clock at clock; returns the calls it made.
    static std::vector<std::string> frame_at(int32_t clock) {
        calls.clear();
        ticks = START_TIME + static_cast<uint32_t>(clock);
        run_timeline();
        return calls;
    }
};

using Calls = std::vector<std::string>;

TEST_F(Timeline, EachStateDrawsItsStage) {
    const Calls expected[] = {{"ground", "scene"},
                              {"blur 1"},
                              {"backdrop", "scene"},
                              {"tunnel 4", "scene"},
                              {"sine 5", "scene"},
                              {"scene"},
                              {"blur 0"}};
    for (int32_t state = 0; state < TIMELINE_STATES; ++state) {
        timeline_state = state;
        EXPECT_EQ(frame_at(0), expected[state]) << "state " << state;
    }
}

TEST_F(Timeline, SelectionGlobalsOfEachSceneState) {
    for (int32_t state : {0, 2, 3, 4, 5}) {
        timeline_state = state;
        frame_at(0);
    }
    ASSERT_EQ(scenes.size(), 5u);
    const Selection expected[] = {
        {0, 0, 8, 1, 0}, {1, 0, 16, 1, 1}, {2, 0, 8, 6, 0}, {3, 0, 8, 2, 0}, {6, 1, 8, 2, 0}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(scenes[i].selector, expected[i].selector) << i;
        EXPECT_EQ(scenes[i].renderer, expected[i].renderer) << i;
        EXPECT_EQ(scenes[i].fill_mode, expected[i].fill_mode) << i; // state 5 keeps state 4's
        EXPECT_EQ(scenes[i].ramp_slot, expected[i].ramp_slot) << i;
        EXPECT_EQ(scenes[i].variant, expected[i].variant) << i;
    }
}

TEST_F(Timeline, ThresholdsAreStrict) {
    for (int32_t state = 0; state < TIMELINE_STATES - 1; ++state) {
        timeline_state = state;
        frame_at(STAGES[state].until);
        EXPECT_EQ(timeline_state, state) << "at exactly " << STAGES[state].until;
        frame_at(STAGES[state].until + 1);
        EXPECT_EQ(timeline_state, state + 1) << "at " << STAGES[state].until + 1;
    }
    frame_at(150152);
    EXPECT_EQ(quit_flag, 0);
    frame_at(150153);
    EXPECT_EQ(quit_flag, 1);
    EXPECT_EQ(timeline_state, 6);
}

TEST_F(Timeline, OneTransitionPerFrameAndPlanesLoadedOnce) {
    std::vector<int32_t> states;
    int planes = 0;
    while (quit_flag == 0) {
        states.push_back(timeline_state);
        for (const std::string& call : frame_at(1000000))
            planes += call == "planes";
        ASSERT_LT(states.size(), 20u);
    }
    EXPECT_EQ(states, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(planes, 1);
}

TEST_F(Timeline, PlanesSwitchAfterTheLastStateFiveFrame) {
    timeline_state = 5;
    EXPECT_EQ(frame_at(126041), (Calls{"scene", "planes"}));
    EXPECT_EQ(frame_at(126042), (Calls{"blur 0"}));
}

TEST_F(Timeline, ClockIsTicksMinusStartWithWrapAround) {
    start_timeline(0xFFFFFF00u);
    ticks = 0x00000010u;
    run_timeline();
    EXPECT_EQ(scene_clock, 0x110);
}

// A second play (the page's) begins as a fresh process does, with its own clock origin.
TEST_F(Timeline, StartingAgainBeginsAtTheFirstStage) {
    timeline_state = 6;
    quit_flag = 1;
    scene_selector = 6;
    renderer_choice = 1;
    scene_fill_mode = 8;
    scene_ramp_slot = 2;
    start_timeline(5000);
    EXPECT_EQ(timeline_state, 0);
    EXPECT_EQ(quit_flag, 0);
    EXPECT_EQ(scene_selector + renderer_choice + scene_fill_mode + scene_ramp_slot, 0);
    ticks = 5000 + 13153;
    run_timeline();
    EXPECT_EQ(scene_clock, 13153);
    EXPECT_EQ(timeline_state, 1);
}

TEST_F(Timeline, StateFiveClearsTheFrame) {
    std::fill(std::begin(frame), std::end(frame), 0xFFFF);
    timeline_state = 5;
    frame_at(0);
    for (uint16_t pixel : frame)
        ASSERT_EQ(pixel, 0);
}

} // namespace
