// The demo and the capture tool run as a user runs them.
#include "assets/pictures.hpp"
#include "core/frame.hpp"
#include "fx2d/ramps.hpp"
#include "tests/bad_input.hpp"
#include "tests/process.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct ChecksumLine {
    uint64_t k;
    int32_t clock, state;
    std::string crc;
};

std::vector<ChecksumLine> parse_checksums(const std::string& text) {
    std::vector<ChecksumLine> lines;
    std::istringstream in(text);
    ChecksumLine line;
    while (in >> line.k >> line.clock >> line.state >> line.crc)
        lines.push_back(line);
    return lines;
}

ProcessResult capture(std::vector<std::string> args, const std::string& cwd = "") {
    args.insert(args.begin(), CAPTURE_BIN);
    return run_process(args, cwd);
}

std::string write_file(const std::string& dir, const std::string& name, const std::string& text) {
    const std::string path = dir + "/" + name;
    std::ofstream(path) << text;
    return path;
}

TEST(Demo, EndsWithStatusZeroOnSigterm) {
    const ProcessResult r = run_process({DEMO_BIN}, DATA_DIR, 1500, 1000);
    EXPECT_FALSE(r.timed_out) << r.err;
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(Demo, RunsWithoutTheMusicModule) {
    const std::string dir = make_temp_dir();
    for (const char* mesh : {"ziriraza.3do", "gp2x.3do"}) {
        if (fs::exists(fs::path(DATA_DIR) / mesh))
            fs::copy_file(fs::path(DATA_DIR) / mesh, fs::path(dir) / mesh);
    }
    const ProcessResult r = run_process({DEMO_BIN}, dir, 1500, 1000);
    EXPECT_FALSE(r.timed_out) << r.err;
    EXPECT_EQ(r.status, 0) << r.err;
    fs::remove_all(dir);
}

TEST(Capture, FullTimelineAt60FpsIsRepeatable) {
    const ProcessResult first = capture({"--checksums", "-"});
    ASSERT_EQ(first.status, 0) << first.err;
    const std::vector<ChecksumLine> lines = parse_checksums(first.out);
    ASSERT_EQ(lines.size(), 9011u);
    EXPECT_EQ(lines.back().clock, 150166);
    int32_t state = 0;
    for (size_t k = 0; k < lines.size(); ++k) {
        ASSERT_EQ(lines[k].k, k);
        ASSERT_EQ(lines[k].clock, static_cast<int32_t>(k * 1000 / 60));
        ASSERT_TRUE(lines[k].state == state || lines[k].state == state + 1) << "frame " << k;
        state = lines[k].state;
        ASSERT_EQ(lines[k].crc.size(), 8u);
    }
    EXPECT_EQ(lines.front().state, 0);
    EXPECT_EQ(state, 6);

    const ProcessResult second = capture({"--checksums", "-"});
    EXPECT_EQ(second.out, first.out);
}

// 64-bit FNV-1a hash of text.
uint64_t fnv1a(const std::string& text) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const unsigned char c : text)
        hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

// Stages 1 and 6 are the radial blur alone, so their frames depend only on the clock and the
// colour planes. The expected hash (of the lines "clock crc" of those frames in the full 60 fps
// capture) was produced by this implementation when the blur landed; it pins every pixel of
// them against later changes, such as optimisation.
TEST(Capture, BlurStagesKeepTheirChecksumsAt60Fps) {
    const ProcessResult r = capture({"--checksums", "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string blur_lines;
    size_t frames = 0;
    for (const ChecksumLine& line : parse_checksums(r.out)) {
        if (line.state != 1 && line.state != 6) continue;
        blur_lines += std::to_string(line.clock) + " " + line.crc + "\n";
        ++frames;
    }
    EXPECT_EQ(frames, 756u + 1447u);
    EXPECT_EQ(fnv1a(blur_lines), 0x2fbfc0d20ce94706ull);
}

// Every frame of the whole demo, 3D stages included, at 60 fps and at 7 fps (where slow
// frames jump the clock further). The expected hashes (of the complete checksum output) were
// produced by this implementation when the 3D renderer landed, with glibc's rand() sequence
// placing the ripples; they guard every pixel against unnoticed change, such as optimisation.
// A new mesh file or picture changes them too: then produce them again, deliberately.
TEST(Capture, WholeDemoKeepsItsChecksums) {
    const struct {
        const char* fps;
        size_t frames;
        uint64_t hash;
    } runs[] = {{"60", 9011, 0x7c09e43661b55bceull}, {"7", 1053, 0xac4a425c43e081feull}};
    for (const auto& run : runs) {
        const ProcessResult r = capture({"--checksums", "-", "--fps", run.fps});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(parse_checksums(r.out).size(), run.frames) << run.fps << " fps";
        EXPECT_EQ(fnv1a(r.out), run.hash) << run.fps << " fps";
    }
}

TEST(Capture, UntilAndTicksFileChooseTheFrames) {
    const std::string dir = make_temp_dir();
    const ProcessResult until = capture({"--fps", "7", "--until", "1000", "--checksums", "-"});
    ASSERT_EQ(until.status, 0) << until.err;
    EXPECT_EQ(parse_checksums(until.out).size(), 8u); // clocks 0, 142, ..., 1000

    const std::string ticks = write_file(dir, "ticks", "0 5\n5\t13153 13200 99999999");
    const ProcessResult r = capture({"--ticks", ticks, "--until", "13200", "--checksums", "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<ChecksumLine> lines = parse_checksums(r.out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3].clock, 13153);
    EXPECT_EQ(lines[3].state, 0); // the frame that passes the threshold is still state 0
    EXPECT_EQ(lines[4].state, 1);
    fs::remove_all(dir);
}

// Nothing repaints rows 180-239 in the first stage, so the title picture shows there except
// where the stage's object has been drawn over it.
TEST(Capture, FirstStageKeepsTheTitleBelowTheGround) {
    const std::string dir = make_temp_dir();
    const std::string ticks = write_file(dir, "ticks", "0 6000 13000");
    const std::string raw = dir + "/frames.raw";
    const ProcessResult r = capture({"--ticks", ticks, "--raw", raw});
    ASSERT_EQ(r.status, 0) << r.err;
    std::ifstream in(raw, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), 3u * FRAME_BYTES);
    // The ground repaints rows 0-179 only: below them a pixel shows the title or the grid
    // drawn over it (entries of ramp slot 1), never the ground.
    build_all_ramps();
    const std::set<uint16_t> grid(ramp_slot(1), ramp_slot(1) + RAMP_SIZE);
    for (size_t f = 0; f < 3; ++f) {
        for (size_t i = 180 * 320; i < 240 * 320; ++i) {
            const size_t at = f * FRAME_BYTES + 2 * i;
            const uint16_t pixel = static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
            ASSERT_TRUE(pixel == title_picture[i] || grid.count(pixel))
                << "frame " << f << " pixel " << i;
        }
    }
    fs::remove_all(dir);
}

TEST(Capture, PngAtWritesTheFirstFrameAtEachTime) {
    const std::string dir = make_temp_dir();
    const ProcessResult r =
        capture({"--fps", "10", "--until", "1000", "--png", "shots", "--at", "250,0"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(dir) / "shots"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame_00000.png", "frame_00003.png"}));
    fs::remove_all(dir);
}

TEST(Capture, BadOptionsExitWithStatusTwo) {
    const std::string dir = make_temp_dir();
    const std::string falling = write_file(dir, "falling", "10 20 15");
    const std::string words = write_file(dir, "words", "10 ten");
    const std::vector<std::vector<std::string>> bad = {
        {"--frobnicate"},
        {"--fps"},
        {"--fps", "0"},
        {"--fps", "x"},
        {"--at", "100"},
        {"--until", "-5"},
        {"--ticks", falling},
        {"--ticks", words},
        {"--ticks", dir + "/absent"},
        {"--fps", "30", "--ticks", falling},
        {"--data", dir + "/absent"},
        {"--preset", "medium"},
        {"--video", dir + "/demo.mp4", "--preset", "quick"},
        {"--video", dir + "/demo.webm", "--preset", "slow"},
    };
    for (const auto& args : bad) {
        const ProcessResult r = capture(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find("moonlark-capture: "), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir + "/demo.mp4"));
    const ProcessResult help = capture({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--checksums"), std::string::npos);
    fs::remove_all(dir);
}

// Installed, the tool reads the data folder installed with it, ../share/moonlark from its own
// folder, and writes where it is started; a copy with no data there says so.
TEST(Capture, InstalledToolReadsTheDataInstalledBesideIt) {
    const std::string dir = make_temp_dir();
    const fs::path tool = fs::path(dir) / "prefix/bin/moonlark-capture";
    fs::create_directories(tool.parent_path());
    fs::copy_file(CAPTURE_BIN, tool);
    std::vector<std::string> run = emulator_words(CAPTURE_BIN); // a cross build's emulator
    run.insert(run.end(), {tool.string(), "--until", "1000", "--checksums", "frames.txt"});

    const ProcessResult missing = run_process(run, dir);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "moonlark-capture: data folder '" + dir +
                               "/prefix/share/moonlark' does not exist (see --data)\n");

    fs::create_directories(fs::path(dir) / "prefix/share");
    fs::rename(copy_of_data_folder(), fs::path(dir) / "prefix/share/moonlark");
    const ProcessResult installed = run_process(run, dir);
    ASSERT_EQ(installed.status, 0) << installed.err;
    const ProcessResult built = capture({"--until", "1000", "--checksums", "-"});
    std::ifstream in(dir + "/frames.txt");
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), built.out);
    fs::remove_all(dir);
}

// On a terminal the tool shows its progress; the count of frames it expects is the count it
// writes, however the clock runs: at 7 fps, up to --until, and on a ticks file that passes
// every state's end in one jump (the timeline leaves one state a frame, so 8 frames).
TEST(Capture, ProgressOnATerminalCountsTheFramesItWrites) {
    const std::string dir = make_temp_dir();
    const std::string ticks = write_file(dir, "ticks",
                                         "0 200000 300000 400000 500000 600000 "
                                         "700000 800000 900000 1000000");
    const struct {
        std::vector<std::string> args;
        const char* count;
    } runs[] = {{{"--fps", "7"}, "frames 1053/1053 "},
                {{"--fps", "7", "--until", "3000"}, "frames 22/22 "},
                {{"--ticks", ticks}, "frames 8/8 "}};
    for (const auto& run : runs) {
        std::string command;
        std::vector<std::string> words = emulator_words(CAPTURE_BIN);
        words.push_back(CAPTURE_BIN);
        words.insert(words.end(), run.args.begin(), run.args.end());
        words.insert(words.end(), {"--checksums", "/dev/null"});
        for (const std::string& word : words)
            command += "'" + word + "' ";
        // script(1) runs the command on a pseudo-terminal and copies what it shows.
        const ProcessResult r = run_process({"/usr/bin/script", "-qec", command, "/dev/null"}, dir);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string last = r.out.substr(r.out.rfind('\r', r.out.size() - 3) + 1);
        EXPECT_EQ(last.rfind(run.count, 0), 0u) << last;
        EXPECT_NE(last.find(" elapsed, 0:00 left"), std::string::npos) << last;
    }
    fs::remove_all(dir);
}

} // namespace
