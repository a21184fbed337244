#pragma once
// The demo's shell on SDL 1.2 and libmikmod: screen, joypad, music, frame loop and launcher.
#include <SDL/SDL.h>

// Joypad button that ends the demo.
inline constexpr int QUIT_BUTTON = 8;

// Sets the quit flag for joypad button 8 pressed, the window's quit event (close, Ctrl+C,
// SIGTERM) and the Escape key; on a desktop F11 and Alt+Enter switch between the window and
// fullscreen (shell/window.hpp); every other event changes nothing.
void handle_event(const SDL_Event& event);

// Polls until the queue is empty, handling every event.
void drain_events();

// Opens the 320x240 16-bit screen (on a desktop in a window, or fullscreen when asked for) and
// joystick 0 as start-up does, going to the launcher when the screen or the joystick cannot be
// had. Returns false (after printing why) when the screen cannot be opened and the launcher
// cannot be run either.
bool open_screen_and_joypad();

// Copies the title picture to the screen and presents it.
void show_title();

// One iteration of the frame loop: draw, present, advance the music, read the events.
void run_frame();

// The whole program: start-up, frame loop, shutdown and launcher. Returns the exit status
// when the launcher cannot be executed.
int run_demo();
