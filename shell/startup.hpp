#pragma once
// Start-up work shared by every front end: ramps, effect tables and objects, in that order.

void build_tables_and_objects();
