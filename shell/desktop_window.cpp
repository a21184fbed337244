#include "shell/window.hpp"

#include <cstdlib>
#include <cstring>

namespace {

bool fullscreen_asked() {
    const char* value = std::getenv("MOONLARK_FULLSCREEN");
    return value && *value && std::strcmp(value, "0") != 0;
}

bool is_fullscreen_key(const SDL_Event& e) {
    if (e.type != SDL_KEYDOWN) return false;
    const SDLKey key = e.key.keysym.sym;
    const bool enter = key == SDLK_RETURN || key == SDLK_KP_ENTER;
    return key == SDLK_F11 || (enter && (e.key.keysym.mod & KMOD_ALT) != 0);
}

// The layer keeps the surface and its pixels and switches the window to the desktop's own
// resolution; where a display cannot switch, the window stays as it was.
void toggle_fullscreen() {
    SDL_WM_ToggleFullScreen(SDL_GetVideoSurface());
}

} // namespace

void prepare_window() {
    setenv("SDL12COMPAT_WINDOW_SCALING", "3", 0);
    setenv("SDL12COMPAT_SCALE_METHOD", "nearest", 0);
}

void start_window() {
    SDL_WM_SetCaption("Moonlark", "Moonlark");
    if (fullscreen_asked()) toggle_fullscreen();
}

void handle_window_key(const SDL_Event& event) {
    if (is_fullscreen_key(event)) toggle_fullscreen();
}
