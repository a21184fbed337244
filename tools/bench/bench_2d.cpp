// The 2D effects, each drawing one whole frame at a scene clock inside its own stage, against
// the baseline of clearing the frame once.
#include "fx2d/tables.hpp"
#include "shell/timeline.hpp"
#include "tools/bench/bench.hpp"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

// Touching every byte of the frame once: the unit the effects are compared with.
void frame_memset(benchmark::State& state) {
    for (auto _ : state) {
        std::memset(bench_frame, 0, sizeof bench_frame);
        benchmark::DoNotOptimize(bench_frame);
        benchmark::ClobberMemory();
    }
}

// The background of stage `number` once per iteration, with the scene clock stepping through
// the stage.
void run_background(benchmark::State& state, int32_t number) {
    prepare_effects();
    run_through_stage(state, number, draw_stage_background);
}

void ground(benchmark::State& state) {
    run_background(state, 0);
}
void radial_blur_landscape(benchmark::State& state) {
    build_effect_tables(); // the colour planes back on the landscape
    run_background(state, 1);
}
void backdrop(benchmark::State& state) {
    run_background(state, 2);
}
void tunnel(benchmark::State& state) {
    run_background(state, 3);
}
void sine_layers(benchmark::State& state) {
    run_background(state, 4);
}
void radial_blur_closing(benchmark::State& state) {
    prepare_effects();
    load_planes_from_image(); // as stage 5 leaves them
    run_background(state, 6);
}

} // namespace

BENCHMARK(frame_memset);
BENCHMARK(tunnel);
BENCHMARK(sine_layers);
BENCHMARK(backdrop);
BENCHMARK(ground);
BENCHMARK(radial_blur_landscape);
BENCHMARK(radial_blur_closing);
