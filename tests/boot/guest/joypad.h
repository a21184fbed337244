#pragma once
// The board's joypad: a joystick made through uinput, driven from the keyboard the host types on.

// Waits (up to five seconds) for the keyboard's event device and opens it; -1 if none came.
int open_keyboard(void);

// Creates the joypad: 12 buttons, numbered 0..11 as SDL's Linux joystick driver counts them
// (BTN_TRIGGER + n), and the X and Y axes that driver requires of a joystick. Returns the uinput
// descriptor, or -1 after a line on the console.
int make_joypad(void);

// Never returns: each press of a digit key n on the keyboard presses and releases button n of
// the joypad, and says so on the console.
void relay_keys(int keyboard, int joypad);
