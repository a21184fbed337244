// The handheld's screen: the whole display, no window, no keyboard (see shell/window.hpp).
#include "shell/window.hpp"

void prepare_window() {}

void start_window() {}

void handle_window_key(const SDL_Event&) {}
