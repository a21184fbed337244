// The shell's event handling, against SDL's dummy video driver (set by CTest).
#include "shell/shell.hpp"
#include "shell/timeline.hpp"

#include <gtest/gtest.h>

namespace {

SDL_Event joy_button(Uint8 type, Uint8 button) {
    SDL_Event e{};
    e.type = type;
    e.jbutton.type = type;
    e.jbutton.which = 0;
    e.jbutton.button = button;
    e.jbutton.state = type == SDL_JOYBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    return e;
}

SDL_Event key_down(SDLKey key) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = key;
    return e;
}

SDL_Event quit_event() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    return e;
}

class Shell : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(open_screen_and_joypad()); }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override {
        drain_events();
        quit_flag = 0;
    }
    // Pushes the events, then runs one whole frame of the loop.
    static void frame_with(std::initializer_list<SDL_Event> events) {
        for (SDL_Event e : events)
            ASSERT_EQ(SDL_PushEvent(&e), 0);
        run_frame();
    }
};

TEST_F(Shell, ButtonEightDownQuitsAfterTheFrame) {
    frame_with({joy_button(SDL_JOYBUTTONDOWN, QUIT_BUTTON)});
    EXPECT_EQ(quit_flag, 1);
}

TEST_F(Shell, ButtonEightUpOrOtherButtonsChangeNothing) {
    frame_with({joy_button(SDL_JOYBUTTONUP, QUIT_BUTTON), joy_button(SDL_JOYBUTTONDOWN, 0),
                joy_button(SDL_JOYBUTTONDOWN, 7), joy_button(SDL_JOYBUTTONDOWN, 9),
                key_down(SDLK_SPACE)});
    EXPECT_EQ(quit_flag, 0);
}

TEST_F(Shell, WindowCloseAndEscapeQuit) {
    frame_with({quit_event()});
    EXPECT_EQ(quit_flag, 1);
    quit_flag = 0;
    frame_with({key_down(SDLK_ESCAPE)});
    EXPECT_EQ(quit_flag, 1);
}

TEST_F(Shell, QueueIsDrainedAfterTheQuitButton) {
    frame_with({joy_button(SDL_JOYBUTTONDOWN, QUIT_BUTTON), key_down(SDLK_a), key_down(SDLK_b)});
    EXPECT_EQ(quit_flag, 1);
    SDL_Event e;
    EXPECT_EQ(SDL_PollEvent(&e), 0);
}

} // namespace
