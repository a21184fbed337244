// The shell's event handling, against SDL's dummy video driver (set by CTest).
#include "core/frame.hpp"
#include "shell/shell.hpp"
#include "shell/timeline.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

// SDL 2, under the SDL 1.2 layer, keeps a little memory each time it is started again, as these
// tests do; the sanitizer build's leak check is told that memory is SDL's.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libSDL2-2.0.so\n";
}

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

SDL_Event key_event(Uint8 type, SDLKey key, SDLMod mod) {
    SDL_Event e{};
    e.type = type;
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    return e;
}

SDL_Event key_down(SDLKey key, SDLMod mod = KMOD_NONE) {
    return key_event(SDL_KEYDOWN, key, mod);
}

bool fullscreen() {
    return (SDL_GetVideoSurface()->flags & SDL_FULLSCREEN) != 0;
}

// The window keys work on a desktop; the handheld's build (MOONLARK_HANDHELD) ignores them.
constexpr bool WINDOW_KEYS = !MOONLARK_HANDHELD;

SDL_Event quit_event() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    return e;
}

class Shell : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        unsetenv("MOONLARK_FULLSCREEN"); // every test starts from the window
        ASSERT_TRUE(open_screen_and_joypad());
    }
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

TEST_F(Shell, F11AndAltEnterSwitchToFullscreenAndBack) {
    SDL_Surface* const surface = SDL_GetVideoSurface();
    for (const SDL_Event& press : {key_down(SDLK_F11), key_down(SDLK_RETURN, KMOD_LALT),
                                   key_down(SDLK_KP_ENTER, KMOD_RALT)}) {
        frame_with({press});
        EXPECT_EQ(fullscreen(), WINDOW_KEYS) << press.key.keysym.sym;
        frame_with({press});
        EXPECT_FALSE(fullscreen()) << press.key.keysym.sym;
    }
    EXPECT_EQ(SDL_GetVideoSurface(), surface);
    EXPECT_EQ(quit_flag, 0);
}

TEST_F(Shell, OtherKeysLeaveTheWindowAsItIs) {
    frame_with({key_down(SDLK_RETURN), key_down(SDLK_KP_ENTER, KMOD_LCTRL), key_down(SDLK_F10),
                key_down(SDLK_LALT, KMOD_LALT), key_event(SDL_KEYUP, SDLK_F11, KMOD_NONE),
                key_event(SDL_KEYUP, SDLK_RETURN, KMOD_LALT)});
    EXPECT_FALSE(fullscreen());
    EXPECT_EQ(quit_flag, 0);
}

// The frame persists between frames, so switching must keep the surface's pixels as they were.
TEST_F(Shell, SwitchingKeepsTheFrame) {
    SDL_Surface* const surface = SDL_GetVideoSurface();
    ASSERT_EQ(surface->pitch, 640);
    SDL_LockSurface(surface);
    auto* pixels = static_cast<uint16_t*>(surface->pixels);
    for (int i = 0; i < FRAME_PIXELS; ++i)
        pixels[i] = static_cast<uint16_t>(i * 37);
    const std::vector<uint16_t> drawn(pixels, pixels + FRAME_PIXELS);
    SDL_UnlockSurface(surface);
    for (int press = 0; press < 2; ++press) {
        handle_event(key_down(SDLK_F11));
        SDL_Surface* const now = SDL_GetVideoSurface();
        ASSERT_EQ(now, surface);
        ASSERT_EQ(now->pitch, 640);
        SDL_LockSurface(now);
        EXPECT_EQ(std::memcmp(now->pixels, drawn.data(), drawn.size() * 2), 0) << press;
        SDL_UnlockSurface(now);
    }
}

TEST_F(Shell, MoonlarkFullscreenOpensFullscreen) {
    for (const char* value : {"1", "0", ""}) {
        SDL_Quit();
        setenv("MOONLARK_FULLSCREEN", value, 1);
        ASSERT_TRUE(open_screen_and_joypad());
        EXPECT_EQ(fullscreen(), WINDOW_KEYS && *value == '1') << '"' << value << '"';
    }
    unsetenv("MOONLARK_FULLSCREEN");
}

} // namespace
