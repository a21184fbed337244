// moonlark-capture: plays the demo offline on a virtual clock and writes its frames as
// checksums, PNG files or raw RGB565, as fast as the CPU allows.
#include "assets/pictures.hpp"
#include "core/platform.hpp"
#include "shell/engine.hpp"
#include "shell/music.hpp"
#include "tools/capture/data_dir.hpp"
#include "tools/capture/frame_queue.hpp"
#include "tools/capture/options.hpp"
#include "tools/capture/partial_file.hpp"
#include "tools/capture/png_writer.hpp"
#include "tools/capture/video.hpp"
#include "tools/capture/wav_writer.hpp"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

uint32_t virtual_ticks = 0; // every reading within a frame returns the same value
// Persists between frames, like the demo's screen.
alignas(FRAME_ALIGNMENT) uint16_t frame[FRAME_PIXELS];
FrameQueue frames; // drawn frames on their way to the output thread

struct Outputs {
    std::FILE* checksums = nullptr;
    std::FILE* raw = nullptr;
    std::filesystem::path png_dir;
    std::vector<int32_t> png_at; // ascending; the next pending time first
    size_t next_at = 0;
    WavFile wav;
    VideoEncoder video;
    std::string video_path;                                         // absolute, as handed to ffmpeg
    std::vector<uint8_t> bytes = std::vector<uint8_t>(FRAME_BYTES); // the frame being written
    std::vector<uint8_t> audio; // the music of the frame being written
    bool music = false;         // the music is mixed for --wav or --video
};

// The output files of this capture. A failing capture removes them (and the video being
// encoded), so that no partial file is left where a file was promised.
std::vector<std::string> output_files;
VideoEncoder* unfinished_video = nullptr;

[[noreturn]] void stop(int status) {
    if (frames.output.joinable()) frame_queue_finish(frames); // no output is written any more
    for (const std::string& path : output_files)
        remove_partial_file(path);
    if (unfinished_video) video_abandon(*unfinished_video);
    std::exit(status);
}

[[noreturn]] void fail(const std::string& message, int status) {
    std::fprintf(stderr, "moonlark-capture: %s\n", message.c_str());
    stop(status);
}

std::FILE* open_output(const std::string& path, const char* mode) {
    if (path.empty()) return nullptr;
    if (path == "-") return stdout;
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (!file) fail("cannot write '" + path + "': " + std::strerror(errno), 1);
    output_files.push_back(path);
    return file;
}

void close_output(std::FILE* file, const std::string& path) {
    if (!file) return;
    const bool failed = std::ferror(file) != 0;
    if ((file == stdout ? std::fflush(file) : std::fclose(file)) != 0 || failed)
        fail("error writing '" + path + "'", 1);
}

bool wants_music(const CaptureOptions& options) {
    return !options.wav.empty() || !options.video.empty();
}

// Opened once start-up has succeeded, so that a missing or broken data file leaves no output.
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
    if (!options.wav.empty()) {
        if (!wav_open(out.wav, options.wav, music_rate())) stop(1);
        output_files.push_back(options.wav);
    }
    if (!options.video.empty()) {
        // Tried here like the other outputs: ffmpeg would say so only once it has started.
        std::fclose(open_output(options.video, "wb"));
        out.video_path = std::filesystem::absolute(options.video);
    }
    out.music = wants_music(options);
    return out;
}

void start_video(Outputs& out, const CaptureOptions& options) {
    if (out.video_path.empty()) return;
    unfinished_video = &out.video;
    const VideoSettings settings = {options.fps, options.scale, options.preset};
    if (!video_start(out.video, out.video_path, settings, music_rate())) stop(1);
}

// Closes every output; on a failure removes every output file and exits with status 1.
void close_outputs(Outputs& out, const CaptureOptions& options) {
    close_output(out.checksums, options.checksums);
    close_output(out.raw, options.raw);
    if (out.wav.file && !wav_close(out.wav)) stop(1);
    if (out.video.pid > 0) {
        unfinished_video = nullptr;
        if (!video_finish(out.video)) stop(1);
    }
    if (out.music) stop_music();
}

// Builds the tables and objects and starts the music (for --wav and --video) from the data
// folder, where their files are, then returns to the folder the tool was started in.
void start_up_in_data_dir(const CaptureOptions& options) {
    const std::string& dir = options.data_dir;
    if (!std::filesystem::is_directory(dir))
        fail("data folder '" + dir + "' does not exist (see --data)", 2);
    const int caller = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (caller < 0 || chdir(dir.c_str()) != 0)
        fail("cannot enter '" + dir + "': " + std::strerror(errno), 1);
    if (const std::string error = start_up_engine(); !error.empty()) fail(error, 1);
    if (wants_music(options)) {
        if (const std::string error = start_music(MusicOutput::PULLED); !error.empty())
            fail("cannot start the music mixer: " + error, 1);
        if (const std::string problem = music_module_problem(); !problem.empty())
            std::fprintf(stderr, "moonlark-capture: %s; the music is silent\n", problem.c_str());
    }
    if (fchdir(caller) != 0) fail(std::string("cannot return: ") + std::strerror(errno), 1);
    close(caller);
}

// Whether a frame drawn at scene clock `clock` is written as PNG: every frame without --at,
// else the first frame at or after each listed time.
bool wants_png(Outputs& out, int32_t clock) {
    if (out.png_dir.empty()) return false;
    if (out.png_at.empty()) return true;
    bool due = false;
    while (out.next_at < out.png_at.size() && out.png_at[out.next_at] <= clock) {
        due = true;
        ++out.next_at;
    }
    return due;
}

// The pixels as the byte outputs and the checksum take them: each little-endian.
void store_little_endian(const uint16_t* pixels, uint8_t* bytes) {
    for (int32_t i = 0; i < FRAME_PIXELS; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(pixels[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
    }
}

// The music that plays while frame k is shown: up to the start of frame k + 1.
const std::vector<uint8_t>& mix_sound_of_frame(Outputs& out, const CaptureOptions& options,
                                               uint64_t k) {
    out.audio.clear();
    mix_music_until((k + 1) * music_rate() / options.fps, out.audio);
    return out.audio;
}

// Writes every output of one drawn frame; false when a PNG file cannot be written.
bool write_frame(Outputs& out, const CaptureOptions& options, const FrameJob& job) {
    store_little_endian(job.pixels, out.bytes.data());
    if (out.checksums) {
        const uLong crc = crc32(crc32(0, Z_NULL, 0), out.bytes.data(), FRAME_BYTES);
        std::fprintf(out.checksums, "%llu %d %d %08lx\n", static_cast<unsigned long long>(job.k),
                     job.clock, job.state, crc);
    }
    if (out.raw) std::fwrite(out.bytes.data(), 1, FRAME_BYTES, out.raw);
    if (wants_png(out, job.clock)) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%05llu.png",
                      static_cast<unsigned long long>(job.k));
        if (!write_frame_png((out.png_dir / name).string(), job.pixels)) return false;
    }
    if (!out.music) return true;
    const std::vector<uint8_t>& sound = mix_sound_of_frame(out, options, job.k);
    if (out.wav.file) wav_append(out.wav, sound);
    if (out.video.pid > 0) video_write(out.video, out.bytes.data(), FRAME_BYTES, sound);
    return true;
}

// Hands the frame just drawn to the output thread.
void submit_frame(uint64_t k, int32_t state) {
    FrameJob& job = frame_queue_next(frames);
    job.k = k;
    job.clock = scene_clock;
    job.state = state;
    std::memcpy(job.pixels, frame, sizeof frame);
    if (!frame_queue_submit(frames)) stop(1);
}

uint32_t ticks_of_frame(const CaptureOptions& options, uint64_t k) {
    if (options.ticks_from_file) return options.ticks[k];
    return static_cast<uint32_t>(k * 1000 / options.fps);
}

// The number of frames the capture writes unless the demo is ended early: the timeline's
// states, left at most one a frame, played on the frames' clocks, up to --until or the end of
// the ticks.
uint64_t expected_frames(const CaptureOptions& options) {
    int32_t state = 0;
    uint64_t k = 0;
    for (; !options.ticks_from_file || k < options.ticks.size(); ++k) {
        const int32_t clock = static_cast<int32_t>(ticks_of_frame(options, k));
        state = state_after_frame(state, clock);
        if (state == TIMELINE_STATES) return k + 1;
        if (options.until && clock >= *options.until) return k + 1;
    }
    return k;
}

// m:ss
std::string minutes(double seconds) {
    const long whole = std::lround(seconds);
    char text[24];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

// One line on a terminal, redrawn four times a second: frames written of those expected, the
// time taken and the time left at the rate so far. Captures to a file or a pipe show nothing.
struct Progress {
    bool shown = isatty(STDERR_FILENO) != 0;
    uint64_t total = 0;
    std::string activity; // what else is going on, e.g. the video being encoded
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last = start;

    void update(uint64_t frames, bool final) {
        if (!shown) return;
        const auto now = std::chrono::steady_clock::now();
        if (!final && now - last < std::chrono::milliseconds(250)) return;
        last = now;
        const double seconds = std::chrono::duration<double>(now - start).count();
        const double left = frames > 0 && total > frames ? seconds * (total - frames) / frames : 0;
        std::fprintf(
            stderr,
            "\rframes %llu/%llu  scene %d.%03d s  %.0f fps  %s elapsed, %s left  %s\033[K%s",
            static_cast<unsigned long long>(frames), static_cast<unsigned long long>(total),
            scene_clock / 1000, scene_clock % 1000, seconds > 0 ? frames / seconds : 0.0,
            minutes(seconds).c_str(), minutes(left).c_str(), activity.c_str(), final ? "\n" : "");
    }
};

} // namespace

uint32_t platform_ticks() {
    return virtual_ticks;
}

uint16_t* platform_frame() {
    return frame;
}

int main(int argc, char** argv) {
    const CaptureOptions options = parse_capture_options(argc, argv, default_data_dir());
    std::signal(SIGPIPE, SIG_IGN); // a reader that goes away is reported as a write error
    std::memcpy(frame, title_picture, sizeof frame);
    start_up_in_data_dir(options);
    start_timeline(virtual_ticks);
    Outputs out = open_outputs(options);
    start_video(out, options);

    frame_queue_start(frames, [&](const FrameJob& job) { return write_frame(out, options, job); });
    Progress progress;
    progress.total = expected_frames(options);
    if (!options.video.empty()) progress.activity = "encoding " + options.video;
    uint64_t k = 0;
    for (; !options.ticks_from_file || k < options.ticks.size(); ++k) {
        virtual_ticks = ticks_of_frame(options, k);
        const int32_t state = timeline_state;
        run_timeline();
        submit_frame(k, state);
        progress.update(k + 1, false);
        if (quit_flag != 0 || (options.until && scene_clock >= *options.until)) {
            ++k;
            break;
        }
    }
    if (!frame_queue_finish(frames)) stop(1);
    close_outputs(out, options); // waits for the encoder's last frames
    progress.update(k, true);
    return 0;
}
