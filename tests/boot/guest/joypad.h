#pragma once
// The board's joypad: a joystick made through uinput, driven from the keyboard the host types on.

// Creates the joypad: 12 buttons, numbered 0..11 as SDL's Linux joystick driver counts them
// (BTN_TRIGGER + n), and the X and Y axes that driver requires of a joystick. Returns the uinput
// descriptor, or -1 after a line on the console.
int make_joypad(void);

// Never returns: once the keyboard is there (said on the console), each press of a digit key n
// on it presses and releases button n of the joypad, and says so on the console.
void relay_keys(int joypad);
