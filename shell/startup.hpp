#pragma once
// Start-up work shared by every front end: ramps, effect tables and objects, in that order.
#include <string>

// Returns "" on success, else one line for the user naming the file and the problem (a mesh
// file missing or malformed); the front end then stops.
std::string build_tables_and_objects();
