// The handheld's screen: the whole display, no window, no keyboard (see shell/window.hpp).
#include "shell/window.hpp"

#include <cstdlib>

// SDL's framebuffer console driver will not start without a mouse unless SDL_NOMOUSE is set, and
// a handheld has none (the demo shows no cursor anyway).
void prepare_window() {
    setenv("SDL_NOMOUSE", "1", 0);
}

void start_window() {}

void handle_window_key(const SDL_Event&) {}
