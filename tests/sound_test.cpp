// The module as libmikmod and an independent player play it, and the capture tool's sound
// outputs (--wav, --video).
#include "shell/music.hpp"
#include "tests/process.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const std::string MODULE_PATH = std::string(DATA_DIR) + "/moonlark.mod";

uint64_t file_size(const std::string& path) {
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

// Plays the whole module through the capture tool's mixer; returns its length in seconds.
double mixed_module_seconds() {
    const fs::path here = fs::current_path();
    fs::current_path(DATA_DIR);
    const std::string error = start_music(MusicOutput::PULLED);
    fs::current_path(here);
    EXPECT_EQ(error, "");
    std::vector<uint8_t> samples;
    const uint64_t limit = uint64_t{200} * music_rate();
    uint64_t end = 0;
    size_t heard = 0; // bytes up to the last sound
    while (end < limit) {
        end += music_rate() / 10;
        samples.clear();
        mix_music_until(end, samples);
        for (size_t i = 0; i < samples.size(); ++i)
            if (samples[i] != 0) heard = static_cast<size_t>((end - music_rate() / 10) * 4 + i);
    }
    stop_music();
    return static_cast<double>(heard) / 4 / music_rate();
}

TEST(Module, PlaysForTheLengthOfTheTimelineThenEnds) {
    const double seconds = mixed_module_seconds();
    EXPECT_GT(seconds, 150.2);
    EXPECT_LT(seconds, 160.0);
}

TEST(Module, AnIndependentPlayerRendersItCleanly) {
    const std::string dir = make_temp_dir();
    fs::copy_file(MODULE_PATH, dir + "/module.mod");
    const std::string wav = dir + "/module.mod.wav"; // the player names it after the module
    const ProcessResult r =
        run_process({"/usr/bin/openmpt123", "--quiet", "--render", "module.mod"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_GT(file_size(wav), 44u + 150u * 44100u * 4u);
    fs::remove_all(dir);
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
