#pragma once
// How a front end (the demo, the capture tool, the web page, the tests) drives the engine:
// start it up once per play, start the timeline, then run it once per frame. Besides these it
// answers the seam of core/platform.hpp and may set the quit flag.
#include "shell/timeline.hpp"

#include <string>

// Builds the colour ramps, the effect tables and the objects, in that order, and puts the
// ripples back as a fresh process has them: everything a play changes. Returns "" on success,
// else one line for the user naming the file and the problem (a mesh file missing or
// malformed); the front end then stops.
std::string start_up_engine();
