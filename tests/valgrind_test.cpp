// The capture tool and the demo under valgrind's memcheck: no invalid read or write and no use
// of an uninitialised value (valgrind --error-exitcode=1 turns any of them into status 1).
// Skipped in the sanitizer build, whose binaries cannot run under valgrind, and in a cross
// build, whose binaries run under an emulator.
#include "tests/process.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::string VALGRIND = "/usr/bin/valgrind";

#if defined(__SANITIZE_ADDRESS__) || defined(TARGET_EMULATOR)
constexpr bool RUNS_ELSEWHERE = true;
#else
constexpr bool RUNS_ELSEWHERE = false;
#endif

std::vector<std::string> under_valgrind(const std::vector<std::string>& argv) {
    std::vector<std::string> command = {VALGRIND, "--error-exitcode=1", "--quiet"};
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

class Valgrind : public ::testing::Test {
  protected:
    void SetUp() override {
        if (RUNS_ELSEWHERE) GTEST_SKIP() << "sanitizer or cross build";
        if (access(VALGRIND.c_str(), X_OK) != 0) GTEST_SKIP() << "valgrind is not installed";
    }
};

// One frame in each state of the timeline (the frame that passes a threshold still draws its
// state), then the frame that ends the demo.
TEST_F(Valgrind, CaptureOfEveryStage) {
    const std::string dir = make_temp_dir();
    const std::string ticks = dir + "/ticks";
    std::ofstream(ticks) << "0 13200 25800 50500 75700 100900 126100 150200\n";
    const ProcessResult r =
        run_process(under_valgrind({CAPTURE_BIN, "--ticks", ticks, "--checksums", "-"}), "");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::istringstream lines(r.out);
    std::string line, last;
    int count = 0;
    while (std::getline(lines, line)) {
        last = line;
        ++count;
    }
    EXPECT_EQ(count, 8);
    EXPECT_EQ(last.substr(0, 11), "7 150200 6 ");
    std::filesystem::remove_all(dir);
}

// Start-up and the first seconds of the frame loop on SDL's dummy driver (set by CTest),
// ended by SIGTERM as a user's Ctrl+C would.
TEST_F(Valgrind, DemoForAFewSeconds) {
    const ProcessResult r = run_process(under_valgrind({DEMO_BIN}), DATA_DIR, 8000, 30000);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("=="), std::string::npos) << r.err; // no report of valgrind's
}

} // namespace
