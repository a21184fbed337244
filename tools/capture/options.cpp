#include "tools/capture/options.hpp"

#include "tools/capture/video.hpp"

#include <getopt.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

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
    const char* end = text.data() + text.size();
    uint32_t value = 0;
    const std::from_chars_result read = std::from_chars(text.data(), end, value);
    if (read.ec != std::errc() || read.ptr != end || value > max) return std::nullopt;
    return value;
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

// The long options' codes, above the characters getopt_long returns itself; each one's entry
// in LONG_OPTIONS is its code less FPS.
enum OptionCode : int {
    FPS = 256,
    TICKS,
    UNTIL,
    CHECKSUMS,
    PNG,
    AT,
    RAW,
    WAV,
    VIDEO,
    SCALE,
    PRESET,
    DATA,
    HELP
};

// --help takes an optional value so that "--help=anything" shows the help too.
constexpr option LONG_OPTIONS[] = {{"fps", required_argument, nullptr, FPS},
                                   {"ticks", required_argument, nullptr, TICKS},
                                   {"until", required_argument, nullptr, UNTIL},
                                   {"checksums", required_argument, nullptr, CHECKSUMS},
                                   {"png", required_argument, nullptr, PNG},
                                   {"at", required_argument, nullptr, AT},
                                   {"raw", required_argument, nullptr, RAW},
                                   {"wav", required_argument, nullptr, WAV},
                                   {"video", required_argument, nullptr, VIDEO},
                                   {"scale", required_argument, nullptr, SCALE},
                                   {"preset", required_argument, nullptr, PRESET},
                                   {"data", required_argument, nullptr, DATA},
                                   {"help", optional_argument, nullptr, HELP},
                                   {nullptr, 0, nullptr, 0}};

// A command-line word as an option's name: a long option's without its "=value".
std::string typed_name(const char* word) {
    const std::string text = word;
    return text.rfind("--", 0) == 0 ? text.substr(0, text.find('=')) : text;
}

// The next option and its value, in the order given: its code, or -1 after the last word.
// Anything else exits with status 2: an unknown option, a word that is no option (or "--" and
// "-", where getopt_long would stop), a missing value. Only full names count: getopt_long would
// take an unambiguous prefix (--fp), which would stop meaning the same once a new option
// shares it.
std::pair<int, std::string> next_option(int argc, char** argv) {
    const int at = optind;
    // "-": words that are no options come back in place (code 1) rather than moved to the end;
    // ":": a missing value comes back as ':'.
    int code = getopt_long(argc, argv, "-:", LONG_OPTIONS, nullptr);
    if (code == -1 && at >= argc) return {-1, ""};
    const std::string name = typed_name(argv[at]);
    const bool missing = code == ':';
    if (missing) code = optopt;
    if (code < FPS || code > HELP || name != std::string("--") + LONG_OPTIONS[code - FPS].name)
        bad_option("unknown option '" + name + "'");
    if (code == HELP) {
        std::fputs(USAGE, stdout);
        std::exit(0);
    }
    if (missing || *optarg == '\0') bad_option("option '" + name + "' needs a value");
    return {code, optarg};
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
    opterr = 0; // our messages, not getopt_long's
    for (;;) {
        const auto [code, value] = next_option(argc, argv);
        if (code == -1) break;
        if (code == FPS) {
            options.fps = number_option("--fps", value, 1, 1000);
            fps_given = true;
        } else if (code == TICKS) {
            options.ticks = read_ticks(value);
            options.ticks_from_file = true;
        } else if (code == UNTIL) {
            options.until = static_cast<int32_t>(number_option("--until", value, 0, INT32_MAX));
        } else if (code == CHECKSUMS) {
            options.checksums = value;
        } else if (code == PNG) {
            options.png_dir = value;
        } else if (code == AT) {
            options.png_at = parse_times(value);
        } else if (code == RAW) {
            options.raw = value;
        } else if (code == WAV) {
            options.wav = value;
        } else if (code == VIDEO) {
            options.video = value;
        } else if (code == SCALE) {
            options.scale = number_option("--scale", value, 1, 16);
            scale_given = true;
        } else if (code == PRESET) {
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
