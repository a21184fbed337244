#pragma once
// How the renderer may run a job made of two independent halves (the two row bands of a
// fill, the ranges of a face sort). The halves touch disjoint memory, so running them at the
// same time gives the same result as one after the other.
#include <cstdint>

// One half of a job: half is 0 or 1, job the job's own record.
using HalfWork = void (*)(int32_t half, void* job);

// Runs work(0, job) and work(1, job) at the same time and returns when both are done: the
// half that finished last, by which callers balance later jobs.
using HalfRunner = int32_t (*)(HalfWork work, void* job);

// None by default: the renderer then does each job in one piece on the calling thread. The
// capture tool installs a runner with a second thread before drawing starts.
inline HalfRunner run_halves = nullptr;
