// The module as libmikmod and two independent players play it, and the capture tool's sound
// outputs (--wav, --video). What the music sounds like is checked by music_test.py.
#include "shell/music.hpp"
#include "tests/process.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

namespace fs = std::filesystem;

namespace {

const std::string MODULE_PATH = std::string(DATA_DIR) + "/moonlark.mod";

uint64_t file_size(const std::string& path) {
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

// Plays the whole module through the capture tool's mixer; returns how long libmikmod plays
// it, in seconds, to the 10 ms block in which its player stops.
double mixed_module_seconds() {
    const fs::path here = fs::current_path();
    fs::current_path(DATA_DIR);
    const std::string error = start_music(MusicOutput::PULLED);
    fs::current_path(here);
    EXPECT_EQ(error, "");
    std::vector<uint8_t> samples;
    const uint64_t block = music_rate() / 100;
    const uint64_t limit = uint64_t{200} * music_rate();
    uint64_t end = 0;
    while (end < limit && music_position() >= 0) {
        end += block;
        samples.clear();
        mix_music_until(end, samples);
    }
    stop_music();
    return static_cast<double>(end) / music_rate();
}

// Bytes of sound in a WAV file: the size of its "data" chunk (0 when it has none).
uint64_t wav_data_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8 |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
    };
    for (size_t at = 12; at + 8 <= bytes.size(); at += 8 + u32(at + 4))
        if (bytes.compare(at, 4, "data") == 0) return u32(at + 4);
    return 0;
}

// openmpt123 and xmp render the module to 16-bit stereo WAV files at 44.1 kHz (xmp for at most
// 200 s); each must end its render cleanly. Returns the two renders' lengths in seconds.
std::pair<double, double> other_players_seconds() {
    const std::string dir = make_temp_dir();
    fs::copy_file(MODULE_PATH, dir + "/module.mod");
    const ProcessResult openmpt = run_process({"/usr/bin/openmpt123", "--quiet", "--no-float",
                                               "--samplerate", "44100", "--render", "module.mod"},
                                              dir);
    EXPECT_EQ(openmpt.status, 0) << openmpt.err;
    EXPECT_EQ(openmpt.err, "");
    // xmp reports the module's type among its lines on standard error.
    const ProcessResult xmp = run_process({"/usr/bin/xmp", "--norc", "--nocmd", "-f", "44100", "-t",
                                           "200", "-o", "xmp.wav", "module.mod"},
                                          dir);
    EXPECT_EQ(xmp.status, 0) << xmp.err;
    EXPECT_NE(xmp.err.find("Module type  : Protracker M.K."), std::string::npos) << xmp.err;
    const double bytes_per_second = 44100.0 * 4;
    const std::pair<double, double> seconds = {wav_data_bytes(dir + "/module.mod.wav") /
                                                   bytes_per_second, // named after the module
                                               wav_data_bytes(dir + "/xmp.wav") / bytes_per_second};
    fs::remove_all(dir);
    return seconds;
}

// libmikmod (the demo's player), libopenmpt and libxmp each play the module for the length of
// the timeline and then stop, all three within half a second of each other; libxmp takes it
// for a ProTracker module (it would read the tempo commands as speeds were it Noisetracker's).
TEST(Module, EveryPlayerPlaysItForTheLengthOfTheTimelineThenEnds) {
    const double mikmod = mixed_module_seconds();
    const auto [openmpt, xmp] = other_players_seconds();
    for (const double seconds : {mikmod, openmpt, xmp}) {
        EXPECT_GT(seconds, 150.2);
        EXPECT_LT(seconds, 160.0);
    }
    EXPECT_LT(std::max({mikmod, openmpt, xmp}) - std::min({mikmod, openmpt, xmp}), 0.5)
        << "libmikmod " << mikmod << " s, openmpt123 " << openmpt << " s, xmp " << xmp << " s";
}

TEST(CaptureSound, WavIsExactlyAsLongAsTheFrames) {
    const std::string dir = make_temp_dir();
    const ProcessResult r =
        run_process({CAPTURE_BIN, "--fps", "7", "--until", "3000", "--wav", "music.wav"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    // Frames 0..21 (clock 3000 is frame 21): 22 frames at 7 fps, 44100 samples a second.
    EXPECT_EQ(file_size(dir + "/music.wav"), 44u + 22u * 44100u / 7u * 4u);
    fs::remove_all(dir);
}

std::string probe(const std::string& path) {
    const ProcessResult r = run_process({"/usr/bin/ffprobe", "-v", "error", "-show_entries",
                                         "stream=codec_type,width,height,r_frame_rate,duration",
                                         "-of", "compact", path},
                                        "");
    return r.out;
}

TEST(CaptureSound, VideoHasScaledFramesAndMusicOfTheSameLength) {
    const std::string dir = make_temp_dir();
    const ProcessResult r =
        run_process({CAPTURE_BIN, "--fps", "25", "--until", "2000", "--video", "demo.mp4"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(dir + "/demo.mp4"),
              "stream|codec_type=video|width=960|height=720|r_frame_rate=25/1|duration=2.040000\n"
              "stream|codec_type=audio|r_frame_rate=0/0|duration=2.040000\n");
    fs::remove_all(dir);
}

// x264 states its settings in the stream: "... options: cabac=1 ref=1 ... crf=20.0 ...".
std::string x264_settings(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const size_t start = bytes.find("options: ");
    if (start == std::string::npos) return "";
    return bytes.substr(start, bytes.find('\0', start) - start) + " ";
}

// The default encodes quickly (superfast, with the macroblock tree, tuned for animation, at
// quality 20); a named preset is x264's own with ffmpeg's other defaults (medium: quality 23).
TEST(CaptureSound, PresetChoosesTheEncoderSettings) {
    const std::string dir = make_temp_dir();
    const struct {
        std::vector<std::string> preset;
        std::vector<std::string> settings;
    } runs[] = {
        {{}, {"subme=1 ", "rc_lookahead=10 ", "mbtree=1 ", "crf=20.0 ", "psy_rd=0.40:"}},
        {{"--preset", "medium"}, {"subme=7 ", "rc_lookahead=40 ", "crf=23.0 ", "psy_rd=1.00:"}}};
    for (const auto& run : runs) {
        std::vector<std::string> args = {CAPTURE_BIN, "--fps",   "25",      "--until",
                                         "400",       "--video", "demo.mkv"};
        args.insert(args.end(), run.preset.begin(), run.preset.end());
        const ProcessResult r = run_process(args, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string settings = x264_settings(dir + "/demo.mkv");
        for (const std::string& setting : run.settings)
            EXPECT_NE(settings.find(" " + setting), std::string::npos)
                << setting << " in " << settings;
    }
    fs::remove_all(dir);
}

TEST(CaptureSound, VideoWithoutFfmpegNamesThePackage) {
    const std::string dir = make_temp_dir();
    const ProcessResult r = run_process(
        {"/usr/bin/env", "PATH=" + dir, CAPTURE_BIN, "--until", "100", "--video", "demo.mp4"}, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("apt-get install ffmpeg"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir + "/demo.mp4"));
    fs::remove_all(dir);
}

} // namespace
