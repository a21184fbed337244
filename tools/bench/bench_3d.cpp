// The 3D stages' scene path: animate, transform, order and fill one object per iteration, with
// the object, renderer, fill mode and ramp the timeline gives each stage, at scene clocks
// inside that stage. The background is not drawn (see the 2D benchmarks for it).
#include "render3d/objects.hpp"
#include "render3d/scene.hpp"
#include "shell/timeline.hpp"
#include "tools/bench/bench.hpp"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

// Builds the objects from the mesh files in the build's data folder, so that the benchmark
// runs from any folder, and returns to the folder it was started in; the message of the
// failure, or "".
std::string build_objects_in_data_dir() {
    const int caller = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (caller < 0 || chdir(MOONLARK_DATA_DIR) != 0)
        return std::string("cannot enter '") + MOONLARK_DATA_DIR + "': " + std::strerror(errno);
    const std::string error = build_objects();
    const bool returned = fchdir(caller) == 0;
    close(caller);
    return returned ? error : std::string("cannot return: ") + std::strerror(errno);
}

// Builds the objects once per process; the message of the first failure, or "".
const std::string& prepare_objects() {
    static const std::string error = [] {
        prepare_effects();
        return build_objects_in_data_dir();
    }();
    return error;
}

struct Stage {
    int32_t first, span;                              // scene clocks of the stage
    int32_t selector, renderer, fill_mode, ramp_slot; // as the timeline sets them
    int32_t variant;                                  // 1: sine field first
};

void run_stage(benchmark::State& state, const Stage& stage) {
    if (const std::string& error = prepare_objects(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    scene_selector = stage.selector;
    renderer_choice = stage.renderer;
    scene_fill_mode = stage.fill_mode;
    scene_ramp_slot = stage.ramp_slot;
    int64_t i = 0;
    for (auto _ : state) {
        scene_clock = clock_of(i++, stage.first, stage.span);
        animate_and_draw_scene(bench_frame, stage.variant);
        benchmark::DoNotOptimize(bench_frame);
        benchmark::ClobberMemory();
    }
}

void scene_ground_grid(benchmark::State& state) {
    run_stage(state, {0, 13152, 0, 0, 8, 1, 0});
}
void scene_sine_field(benchmark::State& state) {
    run_stage(state, {25756, 24660, 1, 0, 16, 1, 1});
}
void scene_emblem(benchmark::State& state) {
    run_stage(state, {50416, 25208, 2, 0, 8, 6, 0});
}
void scene_ripples(benchmark::State& state) {
    run_stage(state, {75624, 25208, 3, 0, 8, 2, 0});
}
void scene_console(benchmark::State& state) {
    run_stage(state, {100832, 25208, 6, 1, 8, 2, 0});
}

} // namespace

BENCHMARK(scene_ground_grid);
BENCHMARK(scene_sine_field);
BENCHMARK(scene_emblem);
BENCHMARK(scene_ripples);
BENCHMARK(scene_console);
