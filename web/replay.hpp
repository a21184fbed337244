#pragma once
// A page may play the demo again without being reloaded, so each play repeats the demo's
// start-up and puts back the engine state that a fresh process starts with.
#include <string>

// Builds the ramps, tables and objects (again) and resets the timeline and the ripples; the
// caller sets start_time. Returns "" or, when a mesh
// file is missing or malformed, the line that says so.
std::string prepare_play();
