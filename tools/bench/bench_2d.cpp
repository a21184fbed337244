// The 2D effects, each drawing one whole frame at a scene clock inside its own stage, against
// the baseline of clearing the frame once.
#include "fx2d/effects.hpp"
#include "fx2d/radial_blur.hpp"
#include "fx2d/ramps.hpp"
#include "fx2d/tables.hpp"
#include "shell/timeline.hpp"
#include "tools/bench/bench.hpp"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

// Runs draw once per iteration with the scene clock stepping through [first, first + span).
template <typename Draw>
void run_frames(benchmark::State& state, int32_t first, int32_t span, Draw draw) {
    int64_t i = 0;
    for (auto _ : state) {
        scene_clock = clock_of(i++, first, span);
        draw();
        benchmark::DoNotOptimize(bench_frame);
        benchmark::ClobberMemory();
    }
}

// Touching every byte of the frame once: the unit the effects are compared with.
void frame_memset(benchmark::State& state) {
    run_frames(state, 0, 1, [] { std::memset(bench_frame, 0, sizeof bench_frame); });
}

void tunnel(benchmark::State& state) {
    prepare_effects();
    run_frames(state, 50416, 25208, [] { draw_tunnel(bench_frame, ramp_slot(4)); });
}

void sine_layers(benchmark::State& state) {
    prepare_effects();
    run_frames(state, 75624, 25208, [] { draw_sine_layers(bench_frame, ramp_slot(5)); });
}

void backdrop(benchmark::State& state) {
    prepare_effects();
    run_frames(state, 25756, 24660, [] { draw_texture_backdrop(bench_frame); });
}

void ground(benchmark::State& state) {
    prepare_effects();
    // The ground reads the tick counter itself, not the scene clock.
    run_frames(state, 0, 13152, [] {
        bench_ticks = static_cast<uint32_t>(scene_clock);
        draw_ground(bench_frame);
    });
}

void radial_blur_landscape(benchmark::State& state) {
    prepare_effects();
    build_effect_tables(); // the colour planes back on the landscape
    run_frames(state, 13152, 12604, [] { draw_radial_blur(bench_frame, 1); });
}

void radial_blur_closing(benchmark::State& state) {
    prepare_effects();
    load_planes_from_image();
    run_frames(state, 126040, 24112, [] { draw_radial_blur(bench_frame, 0); });
}

} // namespace

BENCHMARK(frame_memset);
BENCHMARK(tunnel);
BENCHMARK(sine_layers);
BENCHMARK(backdrop);
BENCHMARK(ground);
BENCHMARK(radial_blur_landscape);
BENCHMARK(radial_blur_closing);
