// libFuzzer target: arbitrary bytes as both mesh files, built by the object table as at
// start-up (the emblem at scale 1024; the console at scale 256, with its face count check and
// material ranges). Every mesh accepted is then animated and drawn by each renderer that
// could draw it, so no file the loader lets through can upset the 3D pipeline.
// The files are written into a temporary folder of the target's own, the working folder only
// while the objects are built (libFuzzer's own paths stay relative to the caller's).
#include "core/platform.hpp"
#include "fx2d/ramps.hpp"
#include "fx2d/tables.hpp"
#include "render3d/objects.hpp"
#include "render3d/raster.hpp"
#include "render3d/scene.hpp"
#include "shell/timeline.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

alignas(4) uint16_t frame[FRAME_WIDTH * FRAME_HEIGHT];
std::filesystem::path work_dir, caller_dir;

void remove_work_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(work_dir, ignored);
}

void write_file(const char* name, const uint8_t* data, size_t size) {
    const std::string path = work_dir / name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

// Builds object n from its file in the work folder; whether the object table accepted it.
bool build_in_work_dir(int32_t n) {
    object_table[n] = Mesh{};
    std::filesystem::current_path(work_dir);
    const bool built = build_object(object_table[n], n).empty();
    std::filesystem::current_path(caller_dir);
    return built;
}

// Draws object n as the timeline's stages do, at scene clock t.
void draw(int32_t n, int32_t t, int32_t renderer, int32_t fill, int32_t ramp) {
    scene_clock = t;
    scene_selector = n;
    renderer_choice = renderer;
    scene_fill_mode = fill;
    scene_ramp_slot = ramp;
    animate_and_draw_scene(frame, 0);
}

} // namespace

uint32_t platform_ticks() {
    return 0;
}

uint16_t* platform_frame() {
    return frame;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    build_all_ramps();
    build_effect_tables();
    std::string pattern = (std::filesystem::temp_directory_path() / "moonlark-fuzz-XXXXXX");
    if (!mkdtemp(pattern.data())) {
        std::perror("moonlark mesh fuzz: temporary folder");
        std::abort();
    }
    work_dir = pattern;
    caller_dir = std::filesystem::current_path();
    std::atexit(remove_work_dir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    write_file("ziriraza.3do", data, size);
    write_file("gp2x.3do", data, size);
    if (build_in_work_dir(2)) {
        draw(2, 60000, 0, FILL_GOURAUD, 2);
        draw(2, 61000, 0, FILL_ENVIRONMENT, 2);
    }
    if (build_in_work_dir(6)) draw(6, 110000, 1, FILL_GOURAUD, 0);
    return 0;
}
