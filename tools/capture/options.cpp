#include "tools/capture/options.hpp"

#include "tools/capture/video.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* USAGE =
    "Usage: moonlark-capture [OPTION]...\n"
    "Plays the Moonlark demo offline on a virtual clock and writes its frames.\n"
    "Frame k sees the clock at floor(k * 1000 / fps) ms; the capture ends after the frame\n"
    "in which the demo ends (about 150 s of scene time).\n"
    "\n"
    "Exit status: 0 on success, 1 when an input or output file fails, 2 for bad options.\n"
    "\n"
    "Options:\n"
    "  --fps N             frames per second of the virtual clock (default 60)\n"
    "  --ticks FILE        frame k sees the k-th number of FILE as its clock instead\n"
    "                      (non-decreasing unsigned integers; the capture stops when they run "
    "out)\n"
    "  --until MS          stop after the first frame whose scene clock is at least MS\n"
    "  --checksums FILE    one line per frame: 'k scene_clock state crc32' ('-': standard output)\n"
    "  --png DIR           write frames as DIR/frame_NNNNN.png (320x240 RGB)\n"
    "  --at MS[,MS...]     with --png: only the first frame at or after each scene time\n"
    "  --raw FILE          every frame as 153600 bytes of RGB565 little-endian ('-': standard\n"
    "                      output), e.g. for ffmpeg -f rawvideo -pixel_format rgb565le -s 320x240\n"
    "  --wav FILE          the music as the demo's mixer plays it, 16-bit stereo, exactly as\n"
    "                      long as the captured frames\n"
    "  --video FILE        frames and music encoded by ffmpeg (H.264 and AAC for .mp4, or what\n"
    "                      ffmpeg picks for the extension)\n"
    "  --scale N           with --video: enlarge each pixel N times, sharply (default 3)\n"
    "  --preset NAME       with an H.264 video (.mp4, .m4v, .mov, .mkv): encode with x264's\n"
    "                      preset NAME and ffmpeg's other defaults instead, for a smaller file\n"
    "                      that takes longer: medium, ffmpeg's own default, about two thirds\n"
    "                      of the size in four times the time, as sharp; slow, slower and\n"
    "                      veryslow smaller still. NAME is one of ultrafast superfast veryfast\n"
    "                      faster fast medium slow slower veryslow placebo. Without it:\n"
    "                      superfast with macroblock-tree rate control, tuned for animation,\n"
    "                      quality 20: the whole demo in about a third of its length on two\n"
    "                      cores\n"
    "  --data DIR          folder holding moonlark.mod and the .3do meshes (default: the data\n"
    "                      folder installed with the tool, ../share/moonlark from its own\n"
    "                      folder; for the tool in the build folder, the build folder)\n"
    "  --help              show this help and exit\n";

[[noreturn]] void bad_option(const std::string& message) {
    std::fprintf(stderr, "moonlark-capture: %s\nTry 'moonlark-capture --help' for more.\n",
                 message.c_str());
    std::exit(2);
}

// Whole-string decimal number within 0..max, or nothing.
std::optional<uint32_t> parse_number(const std::string& text, uint32_t max) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != text.npos)
        return std::nullopt;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (value > max) return std::nullopt;
    return static_cast<uint32_t>(value);
}

uint32_t number_option(const std::string& name, const std::string& text, uint32_t min,
                       uint32_t max) {
    const std::optional<uint32_t> value = parse_number(text, max);
    if (!value || *value < min)
        bad_option("invalid value '" + text + "' for " + name + " (a whole number from " +
                   std::to_string(min) + " to " + std::to_string(max) + ")");
    return *value;
}

std::string preset_option(const std::string& name) {
    static const char* const PRESETS[] = {"ultrafast", "superfast", "veryfast", "faster",
                                          "fast",      "medium",    "slow",     "slower",
                                          "veryslow",  "placebo"};
    for (const char* preset : PRESETS)
        if (name == preset) return name;
    bad_option("invalid value '" + name +
               "' for --preset (ultrafast, superfast, veryfast, faster, "
               "fast, medium, slow, slower, veryslow or placebo)");
}

std::vector<int32_t> parse_times(const std::string& text) {
    std::vector<int32_t> times;
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ','))
        times.push_back(static_cast<int32_t>(number_option("--at", item, 0, INT32_MAX)));
    if (times.empty() || text.back() == ',') bad_option("invalid value '" + text + "' for --at");
    return times;
}

std::vector<uint32_t> read_ticks(const std::string& path) {
    std::ifstream in(path);
    if (!in) bad_option("cannot read ticks file '" + path + "': " + std::strerror(errno));
    std::vector<uint32_t> ticks;
    std::string word;
    while (in >> word) {
        const std::optional<uint32_t> value = parse_number(word, UINT32_MAX);
        const std::string where = path + ": value " + std::to_string(ticks.size() + 1);
        if (!value) bad_option(where + " '" + word + "' is not an unsigned 32-bit integer");
        if (!ticks.empty() && *value < ticks.back())
            bad_option(where + " (" + word + ") is smaller than the one before it");
        ticks.push_back(*value);
    }
    if (ticks.empty()) bad_option(path + ": holds no tick values");
    return ticks;
}

// The music follows the frame rate, and the outputs need a real file.
void validate_sound_options(const CaptureOptions& options, bool scale_given) {
    const bool sound = !options.wav.empty() || !options.video.empty();
    if (sound && options.ticks_from_file) bad_option("--wav and --video need --fps, not --ticks");
    if (options.wav == "-" || options.video == "-")
        bad_option("--wav and --video write to a file, not to standard output");
    if (scale_given && options.video.empty()) bad_option("--scale needs --video FILE");
    if (!options.preset.empty() && !is_h264_video(options.video))
        bad_option("--preset needs --video FILE ending in .mp4, .m4v, .mov or .mkv (H.264)");
    if (!options.video.empty() && !program_on_path("ffmpeg"))
        bad_option("--video needs the ffmpeg program, which is not on the PATH "
                   "(on Debian: apt-get install ffmpeg)");
}

} // namespace

CaptureOptions parse_capture_options(int argc, char** argv, const std::string& default_data_dir) {
    CaptureOptions options;
    options.data_dir = default_data_dir;
    bool fps_given = false, scale_given = false;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i], value;
        const size_t equals = name.find('=');
        const bool inline_value = name.rfind("--", 0) == 0 && equals != name.npos;
        if (inline_value) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name == "--help") {
            std::fputs(USAGE, stdout);
            std::exit(0);
        }
        static const char* const WITH_VALUE[] = {"--fps", "--ticks", "--until", "--checksums",
                                                 "--png", "--at",    "--raw",   "--data",
                                                 "--wav", "--video", "--scale", "--preset"};
        bool known = false;
        for (const char* option : WITH_VALUE)
            known = known || name == option;
        if (!known) bad_option("unknown option '" + name + "'");
        if (!inline_value) {
            if (i + 1 >= argc) bad_option("option '" + name + "' needs a value");
            value = argv[++i];
        }
        if (value.empty()) bad_option("option '" + name + "' needs a value");
        if (name == "--fps") {
            options.fps = number_option(name, value, 1, 1000);
            fps_given = true;
        } else if (name == "--ticks") {
            options.ticks = read_ticks(value);
            options.ticks_from_file = true;
        } else if (name == "--until") {
            options.until = static_cast<int32_t>(number_option(name, value, 0, INT32_MAX));
        } else if (name == "--checksums") {
            options.checksums = value;
        } else if (name == "--png") {
            options.png_dir = value;
        } else if (name == "--at") {
            options.png_at = parse_times(value);
        } else if (name == "--raw") {
            options.raw = value;
        } else if (name == "--wav") {
            options.wav = value;
        } else if (name == "--video") {
            options.video = value;
        } else if (name == "--scale") {
            options.scale = number_option(name, value, 1, 16);
            scale_given = true;
        } else if (name == "--preset") {
            options.preset = preset_option(value);
        } else {
            options.data_dir = value;
        }
    }
    if (fps_given && options.ticks_from_file) bad_option("--fps and --ticks exclude each other");
    if (!options.png_at.empty() && options.png_dir.empty()) bad_option("--at needs --png DIR");
    if (options.checksums == "-" && options.raw == "-")
        bad_option("--checksums and --raw cannot both write to standard output");
    validate_sound_options(options, scale_given);
    return options;
}
