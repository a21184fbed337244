// moonlark-capture: plays the demo offline on a virtual clock and writes its frames as
// checksums, PNG files or raw RGB565, as fast as the CPU allows.
#include "assets/pictures.hpp"
#include "shell/platform.hpp"
#include "shell/startup.hpp"
#include "shell/timeline.hpp"
#include "tools/capture/options.hpp"
#include "tools/capture/png_writer.hpp"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

constexpr size_t FRAME_PIXELS = 320 * 240;
constexpr size_t FRAME_BYTES = FRAME_PIXELS * 2;

uint32_t virtual_ticks = 0;     // every reading within a frame returns the same value
uint16_t frame[FRAME_PIXELS];   // persists between frames, like the demo's screen
uint8_t frame_le[FRAME_BYTES];  // the frame as little-endian bytes, for checksums and raw output

struct Outputs {
    std::FILE* checksums = nullptr;
    std::FILE* raw = nullptr;
    std::filesystem::path png_dir;
    std::vector<int32_t> png_at; // ascending; the next pending time first
    size_t next_at = 0;
};

[[noreturn]] void fail(const std::string& message, int status) {
    std::fprintf(stderr, "moonlark-capture: %s\n", message.c_str());
    std::exit(status);
}

std::FILE* open_output(const std::string& path, const char* mode) {
    if (path.empty()) return nullptr;
    if (path == "-") return stdout;
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (!file) fail("cannot write '" + path + "': " + std::strerror(errno), 1);
    return file;
}

void close_output(std::FILE* file, const std::string& path) {
    if (!file) return;
    const bool failed = std::ferror(file) != 0;
    if ((file == stdout ? std::fflush(file) : std::fclose(file)) != 0 || failed)
        fail("error writing '" + path + "'", 1);
}

Outputs open_outputs(const CaptureOptions& options) {
    Outputs out;
    out.checksums = open_output(options.checksums, "w");
    out.raw = open_output(options.raw, "wb");
    if (!options.png_dir.empty()) {
        std::error_code error;
        out.png_dir = std::filesystem::absolute(options.png_dir);
        std::filesystem::create_directories(out.png_dir, error);
        if (error) fail("cannot create '" + options.png_dir + "': " + error.message(), 1);
    }
    out.png_at = options.png_at;
    std::sort(out.png_at.begin(), out.png_at.end());
    return out;
}

void enter_data_dir(const std::string& dir) {
    if (!std::filesystem::is_directory(dir))
        fail("data folder '" + dir + "' does not exist (see --data)", 2);
    if (chdir(dir.c_str()) != 0) fail("cannot enter '" + dir + "': " + std::strerror(errno), 1);
}

// Whether frame k is written as PNG: every frame without --at, else the first frame at or
// after each listed time.
bool wants_png(Outputs& out) {
    if (out.png_dir.empty()) return false;
    if (out.png_at.empty()) return true;
    bool due = false;
    while (out.next_at < out.png_at.size() && out.png_at[out.next_at] <= scene_clock) {
        due = true;
        ++out.next_at;
    }
    return due;
}

void write_frame(Outputs& out, uint64_t k, int32_t state) {
    for (size_t i = 0; i < FRAME_PIXELS; ++i) {
        frame_le[2 * i] = static_cast<uint8_t>(frame[i]);
        frame_le[2 * i + 1] = static_cast<uint8_t>(frame[i] >> 8);
    }
    if (out.checksums) {
        const uLong crc = crc32(crc32(0, Z_NULL, 0), frame_le, FRAME_BYTES);
        std::fprintf(out.checksums, "%llu %d %d %08lx\n", static_cast<unsigned long long>(k),
                     scene_clock, state, crc);
    }
    if (out.raw) std::fwrite(frame_le, 1, FRAME_BYTES, out.raw);
    if (wants_png(out)) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%05llu.png", static_cast<unsigned long long>(k));
        if (!write_frame_png((out.png_dir / name).string(), frame)) std::exit(1);
    }
}

struct Progress {
    bool shown = isatty(STDERR_FILENO) != 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last = start;

    void update(uint64_t frames, bool final) {
        if (!shown) return;
        const auto now = std::chrono::steady_clock::now();
        if (!final && now - last < std::chrono::milliseconds(250)) return;
        last = now;
        const double seconds = std::chrono::duration<double>(now - start).count();
        std::fprintf(stderr, "\rframes %llu  scene %d.%03d s  %.0f fps   %s",
                     static_cast<unsigned long long>(frames), scene_clock / 1000,
                     scene_clock % 1000, seconds > 0 ? frames / seconds : 0.0, final ? "\n" : "");
    }
};

uint32_t ticks_of_frame(const CaptureOptions& options, uint64_t k) {
    if (options.ticks_from_file) return options.ticks[k];
    return static_cast<uint32_t>(k * 1000 / options.fps);
}

} // namespace

uint32_t platform_ticks() { return virtual_ticks; }

uint16_t* platform_frame() { return frame; }

int main(int argc, char** argv) {
    const CaptureOptions options = parse_capture_options(argc, argv, MOONLARK_DATA_DIR);
    Outputs out = open_outputs(options);
    enter_data_dir(options.data_dir);

    std::memcpy(frame, title_picture, sizeof frame);
    build_tables_and_objects();
    start_time = virtual_ticks;

    Progress progress;
    uint64_t k = 0;
    for (; !options.ticks_from_file || k < options.ticks.size(); ++k) {
        virtual_ticks = ticks_of_frame(options, k);
        const int32_t state = timeline_state;
        run_timeline();
        write_frame(out, k, state);
        progress.update(k + 1, false);
        if (quit_flag != 0 || (options.until && scene_clock >= *options.until)) {
            ++k;
            break;
        }
    }
    progress.update(k, true);
    close_output(out.checksums, options.checksums);
    close_output(out.raw, options.raw);
    return 0;
}
