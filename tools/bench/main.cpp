// moonlark-bench: the engine's drawing, one whole frame per iteration, timed by Google
// Benchmark. Read every figure as a ratio to frame_memset measured in the same run.
#include "core/platform.hpp"
#include "fx2d/ramps.hpp"
#include "fx2d/tables.hpp"
#include "shell/timeline.hpp"
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

int32_t stage_clock(int32_t number, int64_t i) {
    const int32_t first = number == 0 ? 0 : STAGES[number - 1].until;
    return first + static_cast<int32_t>((i * 17) % (STAGES[number].until - first));
}

void prepare_effects() {
    static bool prepared = false;
    if (prepared) return;
    build_all_ramps();
    build_effect_tables();
    prepared = true;
}

BENCHMARK_MAIN();
