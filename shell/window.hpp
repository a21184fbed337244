#pragma once
// The window around the demo's 320x240 screen. On a desktop it has a caption, opens fullscreen
// when MOONLARK_FULLSCREEN is set (to anything but "" or "0"), and F11 or Alt+Enter switch it
// between the window and fullscreen at any time. SDL 1.2's layer over SDL 2 draws the frame
// scaled into the window: fullscreen fills the display with the picture as large as fits, its
// aspect kept, with black bars around it. The handheld's screen is the whole display and it
// has no keyboard: its build (MOONLARK_HANDHELD) links shell/handheld_window.cpp, where all of
// this does nothing.
#include <SDL/SDL.h>

// Before SDL_Init: a 320x240 window is tiny on a desktop screen, so the frame is shown three
// times larger with sharp pixels, unless the user chose otherwise (SDL12COMPAT_WINDOW_SCALING,
// SDL12COMPAT_SCALE_METHOD).
void prepare_window();

// After the video mode is set, before anything is shown: caption, and fullscreen if asked for.
void start_window();

// Switches between the window and fullscreen on F11 or Alt+Enter pressed; every other event
// changes nothing. The screen surface, its pixels and the clock are left as they are.
void handle_window_key(const SDL_Event& event);
