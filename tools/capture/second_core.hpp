#pragma once
// A second drawing thread for the renderer's two-half jobs (render3d/halves.hpp): half 1 of
// each job runs there while the drawing thread runs half 0.

// Starts the thread and makes the renderer hand it half of each job.
void second_core_start();

// Makes the renderer draw on the calling thread alone again and ends the thread. Call from the
// drawing thread, outside a job.
void second_core_stop();
