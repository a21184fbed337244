// What the demo and the capture tool do without their music, display or sound device, and when
// an output cannot be written: one line naming the resource and the problem, the exit status
// of the README's bad-input table, no crash, no hang, no partial output file.
#include "tests/bad_input.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// SDL's dummy sound device: the music library starts, so the module is read.
const std::vector<std::string> SOUND = {"/usr/bin/env", "PULSE_SERVER=/nonexistent",
                                        "SDL_AUDIODRIVER=dummy"};
// No sound device the music library can open: PulseAudio absent, SDL's device unopenable.
const std::vector<std::string> NO_SOUND = {"/usr/bin/env", "PULSE_SERVER=/nonexistent",
                                           "SDL_AUDIODRIVER=disk",
                                           "SDL_DISKAUDIOFILE=/nonexistent/sound"};

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

uint64_t file_size(const std::string& path) {
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

// The handheld's build plays through OSS alone, and the machine its tests run on (under the
// emulator) has no OSS device: its demo never gets as far as reading the module.
const bool HANDHELD_WITHOUT_SOUND = MOONLARK_HANDHELD && !fs::exists("/dev/dsp");
const std::string NO_OSS_DEVICE = "no sound device (Sound device not detected)";

// The demo plays (it is ended by SIGTERM after a second and a half) after exactly this line;
// the capture tool makes a silent WAV as long as its frames after the same problem.
void expect_silent_music(const std::string& dir, const std::string& problem) {
    const ProcessResult demo = run_demo(dir, 1500, SOUND);
    EXPECT_FALSE(demo.timed_out);
    EXPECT_EQ(demo.status, 0);
    EXPECT_EQ(demo.err, "moonlark: " + (HANDHELD_WITHOUT_SOUND ? NO_OSS_DEVICE : problem) +
                            "; playing without music\n");

    const ProcessResult capture =
        run_capture(dir, {"--fps", "10", "--until", "900", "--wav", "music.wav"});
    EXPECT_EQ(capture.status, 0);
    EXPECT_EQ(capture.err, "moonlark-capture: " + problem + "; the music is silent\n");
    std::ifstream wav(dir + "/music.wav", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(wav)), {});
    EXPECT_EQ(bytes.size(), 44u + 10u * 4410u * 4u); // frames 0..9 at 44100 Hz
    EXPECT_EQ(bytes.find_first_not_of('\0', 44), std::string::npos);
    fs::remove_all(dir);
}

const std::string UNREADABLE_MODULE =
    "moonlark.mod: not a module the music library reads (Module format not recognized)";

TEST(BadMusic, ModuleMissing) {
    const std::string dir = copy_of_data_folder();
    fs::remove(dir + "/moonlark.mod");
    expect_silent_music(dir, "moonlark.mod: cannot open: No such file or directory");
}

TEST(BadMusic, ModuleEmpty) {
    const std::string dir = copy_of_data_folder();
    write_bytes(dir + "/moonlark.mod", "");
    expect_silent_music(dir, UNREADABLE_MODULE);
}

TEST(BadMusic, ModuleOfRandomBytes) {
    const std::string dir = copy_of_data_folder();
    std::string bytes(100000, '\0');
    uint32_t state = 6; // a fixed linear congruential sequence
    for (char& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<char>(state >> 24);
    }
    write_bytes(dir + "/moonlark.mod", bytes);
    expect_silent_music(dir, UNREADABLE_MODULE);
}

// A sound file of a format the music library does not read, under the module's name.
TEST(BadMusic, ModuleOfAnotherFormat) {
    const std::string dir = copy_of_data_folder();
    const ProcessResult wav = run_capture(dir, {"--fps", "10", "--until", "500", "--wav", "x.wav"});
    ASSERT_EQ(wav.status, 0) << wav.err;
    fs::rename(dir + "/x.wav", dir + "/moonlark.mod");
    expect_silent_music(dir, UNREADABLE_MODULE);
}

// Without a display SDL would fall back to an offscreen screen nobody sees: the demo says so
// and stops. The handheld's SDL has no such fallback: without a frame buffer (here one that
// does not exist) it finds no video device. The capture tool needs no display.
TEST(BadEnvironment, NoDisplay) {
    const std::string dir = copy_of_data_folder();
    const std::vector<std::string> no_display = {
        "/usr/bin/env", "-u", "SDL_VIDEODRIVER", "-u",
        "DISPLAY",      "-u", "WAYLAND_DISPLAY", "SDL_FBDEV=/nonexistent/fb0"};
    const ProcessResult demo = run_demo(dir, -1, no_display);
    EXPECT_FALSE(demo.timed_out);
    EXPECT_EQ(demo.status, 1);
    EXPECT_EQ(demo.err, MOONLARK_HANDHELD
                            ? "moonlark: cannot initialise the screen: No available video device\n"
                            : "moonlark: cannot initialise the screen: no display found (SDL fell "
                              "back to its offscreen driver)\n");

    const ProcessResult capture =
        run_capture(dir, {"--until", "100", "--checksums", "-"}, no_display);
    EXPECT_EQ(capture.status, 0);
    EXPECT_EQ(capture.err, "");
    fs::remove_all(dir);
}

// Without a sound device the demo plays silently after one line; the capture tool mixes
// without a device.
TEST(BadEnvironment, NoSoundDevice) {
    const std::string dir = copy_of_data_folder();
    const ProcessResult demo = run_demo(dir, 1500, NO_SOUND);
    EXPECT_FALSE(demo.timed_out);
    EXPECT_EQ(demo.status, 0);
    EXPECT_EQ(demo.err, "moonlark: " +
                            (HANDHELD_WITHOUT_SOUND ? NO_OSS_DEVICE
                                                    : "no sound device (Could not open sound "
                                                      "device)") +
                            "; playing without music\n");

    const ProcessResult capture =
        run_capture(dir, {"--fps", "10", "--until", "500", "--wav", "music.wav"}, NO_SOUND);
    EXPECT_EQ(capture.status, 0);
    EXPECT_EQ(capture.err, "");
    EXPECT_GT(file_size(dir + "/music.wav"), 44u);
    fs::remove_all(dir);
}

// Each output that cannot be written stops the capture with status 1 and one line naming it,
// and the other outputs it had begun are removed.
TEST(BadOutput, PathCannotBeWritten) {
    const std::string dir = copy_of_data_folder();
    write_bytes(dir + "/file", "");
    const std::string absent = dir + "/absent/x";
    const struct {
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {{"--raw", absent}, "cannot write '" + absent + "': No such file or directory"},
        {{"--raw", dir}, "cannot write '" + dir + "': Is a directory"},
        {{"--wav", absent}, "cannot write '" + absent + "': No such file or directory"},
        {{"--png", dir + "/file/shots"}, "cannot create '" + dir + "/file/shots': Not a directory"},
        {{"--raw", "/dev/full"}, "error writing '/dev/full'"},
        {{"--video", absent + ".mp4"},
         "cannot write '" + absent + ".mp4': No such file or directory"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--until", "100", "--checksums", "sums.txt"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult r = run_capture(dir, args);
        EXPECT_EQ(r.status, 1) << c.line;
        EXPECT_EQ(r.err, "moonlark-capture: " + c.line + "\n");
        EXPECT_FALSE(exists(dir + "/sums.txt")) << c.line;
    }
    fs::remove_all(dir);
}

// A failed encoding removes its partial file, but never what is not a regular file: as root,
// removing a device named as the output would delete it from the system.
TEST(BadOutput, FailedVideoLeavesADeviceAlone) {
    if (!exists("/usr/bin/ffmpeg")) GTEST_SKIP() << "no ffmpeg";
    const std::string dir = copy_of_data_folder();
    const std::string device = dir + "/full.mp4";
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
        fs::remove_all(dir);
        GTEST_SKIP() << "cannot make a device node (needs root)";
    }
    const ProcessResult r = run_capture(dir, {"--until", "100", "--video", device});
    EXPECT_EQ(r.status, 1);
    const std::string line = "moonlark-capture: ffmpeg could not encode '" + device + "'\n";
    EXPECT_NE(r.err.find(line), std::string::npos) << r.err; // after ffmpeg's own words
    EXPECT_TRUE(exists(device));
    fs::remove_all(dir);
}

} // namespace
