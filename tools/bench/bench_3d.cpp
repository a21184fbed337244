// The 3D stages' scene path: animate, transform, order and fill one object per iteration, with
// the render selection of its stage, at scene clocks inside that stage. The background is not
// drawn (see the 2D benchmarks for it).
#include "render3d/objects.hpp"
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

// The object of stage `number` once per iteration, with the scene clock stepping through the
// stage.
void run_stage(benchmark::State& state, int32_t number) {
    if (const std::string& error = prepare_objects(); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    run_through_stage(state, number, draw_stage_object);
}

void scene_ground_grid(benchmark::State& state) {
    run_stage(state, 0);
}
void scene_sine_field(benchmark::State& state) {
    run_stage(state, 2);
}
void scene_emblem(benchmark::State& state) {
    run_stage(state, 3);
}
void scene_ripples(benchmark::State& state) {
    run_stage(state, 4);
}
void scene_console(benchmark::State& state) {
    run_stage(state, 5);
}

} // namespace

BENCHMARK(scene_ground_grid);
BENCHMARK(scene_sine_field);
BENCHMARK(scene_emblem);
BENCHMARK(scene_ripples);
BENCHMARK(scene_console);
