// moonlark-bench: the engine's drawing, one whole frame per iteration, timed by Google
// Benchmark. Read every figure as a ratio to frame_memset measured in the same run.
#include "core/platform.hpp"
#include "fx2d/ramps.hpp"
#include "fx2d/tables.hpp"
#include "tools/bench/bench.hpp"

#include <benchmark/benchmark.h>

alignas(FRAME_ALIGNMENT) uint16_t bench_frame[FRAME_PIXELS];
uint32_t bench_ticks = 0;

uint32_t platform_ticks() {
    return bench_ticks;
}

uint16_t* platform_frame() {
    return bench_frame;
}

void prepare_effects() {
    static bool prepared = false;
    if (prepared) return;
    build_all_ramps();
    build_effect_tables();
    prepared = true;
}

BENCHMARK_MAIN();
