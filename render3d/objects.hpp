#pragma once
// The object table: the demo's 3D objects, built once at start-up.

void build_objects();
