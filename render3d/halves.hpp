#pragma once
// How the renderer runs a job made of two independent halves (the two row bands of a fill,
// the two ranges left by a sort's first pass). The halves touch disjoint memory, so running
// them at the same time gives the same result as one after the other.
#include <cstdint>

// One half of a job: half is 0 or 1, job the job's own record.
using HalfWork = void (*)(int32_t half, void* job);

// Runs work(0, job) and work(1, job) and returns when both are done: the half that finished
// last when they ran at the same time, else -1. Callers may use it to balance later jobs.
using HalfRunner = int32_t (*)(HalfWork work, void* job);

// Runs half 0, then half 1, on the calling thread; returns -1.
int32_t run_halves_in_turn(HalfWork work, void* job);

// The renderer's runner: run_halves_in_turn unless the front end installs another (the
// capture tool gives half 1 to a second core). Set before drawing starts.
extern HalfRunner run_halves;
