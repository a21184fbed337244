#pragma once
// What the benchmark files share: the frame they draw into, the tick counter the engine reads
// through the platform seam, and the start-up work the drawing needs.
#include "core/frame.hpp"
#include "shell/timeline.hpp"

#include <benchmark/benchmark.h>

#include <cstdint>

extern uint16_t bench_frame[FRAME_PIXELS];
// platform_ticks() answers this; a benchmark sets it before drawing.
extern uint32_t bench_ticks;

// Builds the colour ramps and the effect tables, once per process; the colour planes then hold
// the landscape texture.
void prepare_effects();

// Scene clock of iteration i in stage `number`: from the end of the stage before (0 for the
// first), 17 ms further each iteration, wrapping within the stage, so that every iteration
// draws a different frame of it.
int32_t stage_clock(int32_t number, int64_t i);

// Runs draw(stage, frame) for stage `number` once per iteration at the scene clocks of
// stage_clock; the tick counter goes along (the start time is 0), for the ground.
template <class Draw> void run_through_stage(benchmark::State& state, int32_t number, Draw draw) {
    int64_t i = 0;
    for (auto _ : state) {
        scene_clock = stage_clock(number, i++);
        bench_ticks = static_cast<uint32_t>(scene_clock);
        draw(STAGES[number], bench_frame);
        benchmark::DoNotOptimize(bench_frame);
        benchmark::ClobberMemory();
    }
}
